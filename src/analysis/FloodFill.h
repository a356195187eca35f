#pragma once
#include <cstdint>

#include "analysis/AnalysisRun.h"

// Fills the plateau around (x, y) of pixels within an eighth of the reference colour, so that
// none of them is a candidate again; false when the fill ran out of memory or was aborted.
bool FloodFillPlateau(AnalysisRun* run, int64_t x, int64_t y, const PixelValue& reference);
