// The edge thresholds of the radial walks, shared by the walk of one candidate and the walk of a
// group of neighbours, which must compare against the same integers.
#pragma once
#include <cstdint>

#include "analysis/AnalysisRun.h"

// The edge threshold T (the image maximum / 85) scaled for the span compared at each step; made
// once per thread and image maximum, as every candidate of a pass uses the same.
struct EdgeThresholdTable {
  int64_t t = -1;
  int64_t byStep[kCoarseStepLimit + 1];
};

inline const int64_t* EdgeThresholds(int64_t t) {
  static thread_local EdgeThresholdTable cached;
  if (cached.t != t) {
    for (int k = 0; k <= kCoarseStepLimit; ++k) {
      cached.byStep[k] = k <= 2 ? t : k == 3 ? t * 10 / 17 : k <= 7 ? t * 5 / 12 : k <= 11 ? t * 2 / 7 : t * 10 / (k + 33);
    }
    cached.t = t;
  }
  return cached.byStep;
}
