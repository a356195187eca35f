// The reference host's document pixels: one array per plane in the host's sample form (8-bit,
// 16-bit 0..32768, 32-bit float), an optional selection mask, and the image traffic of
// advanceState over them, planes interleaved.
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

// How the host serves a plane range: as asked, or as some hosts do, from plane 0 whenever the
// range starts elsewhere (planes 0 to hi - lo are served and taken back).
enum PlaneRangeService { PLANES_AS_ASKED, PLANES_FROM_ZERO, PLANE_RANGE_SERVICE_COUNT };

struct PlaneRange {
  int lo;
  int hi;
};

// One session's image traffic: the buffers handed to the plug-in, the output still to be taken
// back, and what was asked for.
struct ImageTraffic {
  int advanceCalls = 0;
  std::vector<VRect> inputRects;
  std::vector<VRect> outputRects;
  std::vector<PlaneRange> inputPlanes;   // as asked, one per input rectangle
  std::vector<PlaneRange> outputPlanes;  // as asked, one per output rectangle
  int outputTilesCommitted = 0;
  double lastOutputSeconds = 0;  // on the host's clock: when the newest output was taken back
  std::vector<uint8_t> input, output, mask;
  bool outputPending = false;
  VRect outputRect{};
  PlaneRange outputServed{0, -1};
};

// Serves one advanceState call for the record; commits the previous output buffer first.
OSErr ServeAdvanceState(FilterRecord* record, DocumentImage* document, ImageTraffic* traffic, PlaneRangeService service);
void CommitPendingOutput(FilterRecord* record, DocumentImage* document, ImageTraffic* traffic);
