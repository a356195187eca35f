// The reference host's document pixels: one array per plane in the host's sample form (8-bit,
// 16-bit 0..32768, 32-bit float), an optional selection mask, and the image traffic of
// advanceState over them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "PIFilter.h"

struct DocumentImage {
  int32_t width = 0;
  int32_t height = 0;
  int colourPlanes = 3;
  bool transparency = false;
  int bytesPerSample = 1;
  std::vector<std::vector<uint8_t>> planes;  // width × height samples each
  std::vector<uint8_t> mask;                 // width × height, 255 = selected; empty without

  int Planes() const { return colourPlanes + (transparency ? 1 : 0); }
  uint8_t* Sample(int plane, int64_t x, int64_t y) { return planes[size_t(plane)].data() + (y * width + x) * bytesPerSample; }
};

// A deterministic test picture: gradients with a few bright, small highlights.
DocumentImage MakeTestDocument(int32_t width, int32_t height, int colourPlanes, bool transparency, int bytesPerSample,
                               bool selection);

struct ImageTraffic {
  int advanceCalls = 0;
  std::vector<VRect> inputRects;
  std::vector<VRect> outputRects;
  int outputTilesCommitted = 0;
};

// Serves one advanceState call for the record; commits the previous output buffer first.
OSErr ServeAdvanceState(FilterRecord* record, DocumentImage* document, ImageTraffic* traffic);
void CommitPendingOutput(FilterRecord* record, DocumentImage* document, ImageTraffic* traffic);
