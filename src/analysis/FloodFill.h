#pragma once
#include <cstdint>

#include "analysis/AnalysisRun.h"
#include "analysis/BandLockstep.h"

// Fills the plateau around (x, y) of pixels within an eighth of the reference colour, so that
// none of them is a candidate again; false when the fill ran out of memory or was aborted.
// Every filled pixel also goes into the log, when there is one, for the other bands' views.
// A brightness plane of the view, when there is one, is filled with it.
bool FloodFillPlateau(AnalysisRun* run, const ImageRecord& image, FillLog* log, int64_t x, int64_t y, const PixelValue& reference,
                      BrightnessPlane* plane = nullptr);
inline bool FloodFillPlateau(AnalysisRun* run, int64_t x, int64_t y, const PixelValue& reference) {
  return FloodFillPlateau(run, run->image, nullptr, x, y, reference);
}
