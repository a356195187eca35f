// The arithmetic of the radial walks, shared by the walk of one candidate and the walk of a group
// of neighbours, which must step the same ways and compare the same integers.
#pragma once
#include <cstdint>
#include <cstdlib>

#include "analysis/AnalysisRun.h"
#include "core/ImageRecord.h"

// The eight directions in the order of the profile's distances: right, then clockwise.
constexpr int kWalkDirections[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
constexpr double kWalkSqrt2 = 1.4142135623730951;

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

// Steps that stay inside the rectangle [low, high) along one axis of a direction.
inline int64_t WalkStepsInside(int64_t position, int direction, int64_t low, int64_t high) {
  return direction > 0 ? high - 1 - position : direction < 0 ? position - low : INT64_MAX;
}

// A diagonal's drops count per unit of axis length: times 100 over 141, 283 or 424 as its span grows.
inline int64_t DiagonalDivisor(int k) { return k <= 7 ? 141 : k <= 11 ? 283 : 424; }
// Divides by constants, each a multiplication, as the walks call it at every step.
inline int64_t DiagonalDrop(int64_t drop, int k) {
  return k <= 7 ? drop * 100 / 141 : k <= 11 ? drop * 100 / 283 : drop * 100 / 424;
}

// A linear colour more than an eighth away from the centre's in any channel.
inline bool WalkColourChanged(uint32_t red, uint32_t green, uint32_t blue, const PixelValue& c0) {
  return std::llabs(int64_t(red) - c0.red) > c0.red / 8 || std::llabs(int64_t(green) - c0.green) > c0.green / 8 ||
         std::llabs(int64_t(blue) - c0.blue) > c0.blue / 8;
}
