// The radial profile over an 8-bit view, as detection measures it millions of times on evenly
// bright photographs: each walk steps through the pixel rows by a fixed stride, knows beforehand
// where it leaves the analysis rectangle and compares levels with constant divisors, for the same
// distances, plateau fills and integer arithmetic as the per-pixel profile.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "analysis/FloodFill.h"
#include "analysis/Measure.h"
#include "analysis/WalkArithmetic.h"
#include "core/EightBitPixels.h"

namespace {

constexpr int64_t kLinearFull = 0xFFFFFF;

// What one walk sees of the run: the centre, its colour and the thresholds.
struct Walk {
  const int32_t* linear;  // 8-bit samples to linear light
  const uint8_t* centre;
  const int32_t* centreBrightness;  // in the view's brightness plane, when it has one
  PixelValue c0;
  const int64_t* thresholds;
  int limit;
};

struct Levels {
  int64_t earlier, later, lastDrop;
  double span, start;
};

// The levels compared at step k (k >= 2); averages are integer means with constant divisors.
inline Levels LevelsAt(const int64_t* s, int k) {
  if (k == 2) return Levels{s[0], s[1], s[1] - s[2], 1.0, 0.0};
  if (k == 3) {
    int64_t v = (s[1] + s[2]) >> 1;
    return Levels{(s[0] + s[1]) >> 1, v, v - ((s[2] + s[3]) >> 1), 1.0, 0.5};
  }
  if (k <= 7) {
    return Levels{(s[k - 4] + s[k - 3]) / 2, (s[k - 3] + s[k - 2]) / 2, (s[k - 2] + s[k - 1]) / 2 - (s[k - 1] + s[k]) / 2, 1.0,
                  k - 3.5};
  }
  if (k <= 11) {
    int64_t v = (s[k - 4] + s[k - 3] + s[k - 2]) / 3;
    return Levels{(s[k - 6] + s[k - 5] + s[k - 4]) / 3, v, v - (s[k - 2] + s[k - 1] + s[k]) / 3, 2.0, k - 5.0};
  }
  int64_t v = (s[k - 5] + s[k - 4] + s[k - 3]) / 3;
  return Levels{(s[k - 8] + s[k - 7] + s[k - 6]) / 3, v, v - (s[k - 2] + s[k - 1] + s[k]) / 3, 3.0, k - 7.0};
}

// Whether the colour changed anywhere along a walk that found no edge in its whole search: asked
// only then, as only then does it decide between no distance and a plateau to fill.
bool ColourChangedAlong(const Walk& walk, ptrdiff_t stride, int steps) {
  const uint8_t* p = walk.centre;
  for (int k = 1; k <= steps; ++k) {
    p += stride;
    uint32_t red = uint32_t(walk.linear[p[2]]), green = uint32_t(walk.linear[p[1]]), blue = uint32_t(walk.linear[p[0]]);
    if (WalkColourChanged(red, green, blue, walk.c0)) return true;
  }
  return false;
}

enum WalkEnd { WALK_EDGE, WALK_NONE, WALK_OPEN_PLATEAU };

// One direction: WALK_EDGE with its distance, WALK_NONE when it left the rectangle or found no edge
// in a changing colour, WALK_OPEN_PLATEAU when it found neither an edge nor a change of colour.
// `stride` steps through the pixels' bytes, `planeStride` through the brightness plane.
template <bool kDiagonal, bool kPlane>
WalkEnd WalkOneDirection(const Walk& walk, int64_t* s, ptrdiff_t stride, ptrdiff_t planeStride, int64_t inside, double* distance) {
  const int last = walk.limit - 1;
  const int reach = inside < last ? int(inside) : last;
  int64_t highest = s[0], lowest = kLinearFull;
  const uint8_t* p = walk.centre;
  const int32_t* b = walk.centreBrightness;
  for (int k = 1; k <= reach; ++k) {
    if (kPlane) {
      b += planeStride;
      s[k] = *b;
    } else {
      p += stride;
      uint32_t red = uint32_t(walk.linear[p[2]]), green = uint32_t(walk.linear[p[1]]), blue = uint32_t(walk.linear[p[0]]);
      s[k] = (red + green + blue) / 3;
    }
    int64_t lowestBefore = lowest;
    if (s[k] < lowest) lowest = s[k];
    if (k >= 2 && lowest < highest - highest / 35) {
      Levels e = LevelsAt(s, k);
      int64_t drop = e.earlier - e.later, lastDrop = e.lastDrop;
      if (kDiagonal) drop = DiagonalDrop(drop, k), lastDrop = DiagonalDrop(lastDrop, k);
      int64_t threshold = walk.thresholds[k];
      if (threshold < drop && threshold < drop - lastDrop) {
        double f = e.earlier == e.later ? 0.5 : double(e.earlier - (highest + lowestBefore) / 2) / double(e.earlier - e.later);
        *distance = kDiagonal ? f * e.span * kWalkSqrt2 + e.start * kWalkSqrt2 : f * e.span + e.start;
        return WALK_EDGE;
      }
    }
    if (s[k] > highest) highest = s[k];
  }
  return reach < last || ColourChangedAlong(walk, stride, last) ? WALK_NONE : WALK_OPEN_PLATEAU;
}

}  // namespace

ProfileOutcome MeasureRadialProfileDirect(AnalysisRun* run, const ImageRecord& image, FillLog* log, int64_t x, int64_t y,
                                          double distances[8], bool fill, BrightnessPlane* plane) {
  Walk walk;
  walk.linear = image.gammaTables.eightToLinear;
  walk.centre = image.Pixel(x, y);
  walk.centreBrightness = plane != nullptr ? plane->At(image, x, y) : nullptr;
  walk.c0 = PixelValue{};
  ReadEightBitColour(image, x, y, &walk.c0);
  walk.thresholds = EdgeThresholds(run->imageMaximum / 85);
  walk.limit = run->pass == PASS_COARSE ? kCoarseStepLimit : kFineStepLimit;
  const AnalysisRect& r = run->rect;
  const ptrdiff_t rowStride = ptrdiff_t(image.allocatedWidth) * 4;
  int64_t s[kCoarseStepLimit + 1];
  s[0] = BrightnessOf(walk.c0);
  for (int d = 0; d < 8; ++d) {
    distances[d] = -1;
    int dx = kWalkDirections[d][0], dy = kWalkDirections[d][1];
    int64_t inside = std::min(WalkStepsInside(x, dx, int64_t(r.left), int64_t(r.right)),
                              WalkStepsInside(y, dy, int64_t(r.top), int64_t(r.bottom)));
    ptrdiff_t stride = dx * 4 + dy * rowStride, planeStride = dx + dy * ptrdiff_t(image.allocatedWidth);
    WalkEnd end;
    if (plane != nullptr) {
      end = (d & 1) ? WalkOneDirection<true, true>(walk, s, stride, planeStride, inside, &distances[d])
                    : WalkOneDirection<false, true>(walk, s, stride, planeStride, inside, &distances[d]);
    } else {
      end = (d & 1) ? WalkOneDirection<true, false>(walk, s, stride, planeStride, inside, &distances[d])
                    : WalkOneDirection<false, false>(walk, s, stride, planeStride, inside, &distances[d]);
    }
    if (end != WALK_OPEN_PLATEAU) continue;
    // No edge within the search: on a flat plateau wider than the search, fill it away so that
    // none of its pixels is tried again.
    for (int i = 0; i < 8; ++i) distances[i] = -1;
    if (!fill) return PROFILE_OPEN_PLATEAU;
    return FloodFillPlateau(run, image, log, x, y, walk.c0, plane) ? PROFILE_PLATEAU : PROFILE_FAILED;
  }
  return PROFILE_MEASURED;
}
