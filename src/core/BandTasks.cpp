// Splits a pass into ⌊height / N⌋-row bands (the last runs to the bottom; one band per row when
// there are fewer rows than workers) and runs them on worker threads.
#include "core/BandTasks.h"

#include <algorithm>
#include <cstdlib>

#include "core/RunResult.h"
#include "core/ThreadEntry.h"
#include "core/WorkerThreads.h"
#include "support/ErrorReport.h"

namespace {

struct BandArguments {
  BandProcedure procedure;
  void* context;
  int64_t rowTop;
  int64_t rowBottom;
};

unsigned __stdcall RunBand(void* argument) noexcept {
  auto* band = static_cast<BandArguments*>(argument);
  RunGuarded("RunBand", [&] {
    if (RunResult() == 0) band->procedure(band->context, band->rowTop, band->rowBottom);
  });
  return 0;
}

void FailPass(const BandPass& pass, const char* what, int16_t result) {
  SetRunResult(result);
  ErrorReport(__LINE__, TraceMessage).Report("%s in %s(), *gResult set to %d.", what, pass.name, result);
}

void RunThreads(const BandPass& pass, ThreadBlock* blocks, int count, int64_t top, int64_t bottom, BandProcedure procedure,
                void* context) {
  int64_t height = (bottom - top) / count;
  int prepared = 0;
  for (; prepared < count && RunResult() == 0; ++prepared) {
    auto* band = static_cast<BandArguments*>(malloc(sizeof(BandArguments)));
    if (band == nullptr) {
      FailPass(pass, "Couldn't allocate RAM for TaskArguments", kOutOfMemory);
      break;
    }
    int64_t rowTop = top + prepared * height;
    *band = {procedure, context, rowTop, prepared == count - 1 ? bottom : rowTop + height};
    blocks[prepared].startRoutine = RunBand;
    blocks[prepared].argument = band;
    blocks[prepared].index = prepared;
  }
  if (RunResult() == 0) {
    bool spawned = SpawnMultipleThreads(blocks, prepared);
    bool waited = WaitForMultipleThreads(blocks, prepared, false);
    if (!spawned && RunResult() == 0) FailPass(pass, "SpawnMultipleThreads failed", kTaskError);
    if (!waited && RunResult() == 0) FailPass(pass, "WaitForMultipleThreads failed", kTaskError);
  }
  for (int i = 0; i < count; ++i) DestroyThread(&blocks[i]);
}

}  // namespace

bool RunInBands(const BandPass& pass, int64_t top, int64_t bottom, BandProcedure procedure, void* context) {
  int64_t rows = bottom - top;
  uint32_t threads = std::min(GetWorkerCount(), pass.maximumThreads);
  if (rows <= 0) return RunResult() == 0;
  if (!pass.multiThreaded || threads < 2) {
    procedure(context, top, bottom);
    return RunResult() == 0;
  }
  int count = int(rows / threads == 0 ? rows : threads);
  auto* blocks = static_cast<ThreadBlock*>(calloc(size_t(count), sizeof(ThreadBlock)));
  if (blocks == nullptr) {
    FailPass(pass, "Couldn't allocate RAM for ThreadBlocks", kOutOfMemory);
  } else {
    RunThreads(pass, blocks, count, top, bottom, procedure, context);
    free(blocks);
  }
  if (RunResult() == -108) ErrorReport(__LINE__, UserMessage).Report(kStyleError, kTitleExitingPlugin, "%s", pass.outOfMemoryText);
  return RunResult() == 0;
}
