// The convention by which a pass splits its rows into bands, one per worker thread: allocation,
// spawning, waiting and clean-up with the pass's own names in every message.
#pragma once
#include <cstdint>

typedef void (*BandProcedure)(void* context, int64_t rowTop, int64_t rowBottom);

struct BandPass {
  const char* name;            // "ConvertColorOf", as the messages name the pass
  const char* outOfMemoryText; // shown to the user when the pass ran out of memory
  uint32_t maximumThreads;
  bool multiThreaded;
};

// Runs the procedure over [top, bottom) in bands; false when the result cell is set afterwards.
bool RunInBands(const BandPass& pass, int64_t top, int64_t bottom, BandProcedure procedure, void* context);
