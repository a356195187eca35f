// The radial profile of a candidate: in eight directions, the distance at which brightness falls
// to half way between the peak and the floor, found by comparing averaged levels over spans that
// widen with the distance, so that noise on a large soft highlight is not taken for its edge.
#include <cmath>
#include <cstdlib>

#include "analysis/FloodFill.h"
#include "analysis/Measure.h"
#include "core/EightBitPixels.h"

namespace {

constexpr int kDirections[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
constexpr double kSqrt2 = 1.4142135623730951;
constexpr int64_t kLinearFull = 0xFFFFFF;

int64_t Average(const int64_t* s, int from, int to) {
  int64_t sum = 0;
  for (int i = from; i <= to; ++i) sum += s[i];
  return sum / (to - from + 1);
}

struct EdgeTest {
  int64_t earlier, later, threshold, lastDrop;
  int64_t diagonalDivisor;
  double span;  // C along an axis; a diagonal's is √2 times as long
  double start;  // B
};

// The levels compared at step k (k ≥ 2).
EdgeTest EdgeTestAt(const int64_t* s, int k, int64_t t) {
  if (k == 2) return EdgeTest{s[0], s[1], t, s[1] - s[2], 141, 1.0, 0.0};
  if (k == 3) {
    int64_t v = (s[1] + s[2]) >> 1;
    return EdgeTest{(s[0] + s[1]) >> 1, v, t * 10 / 17, v - ((s[2] + s[3]) >> 1), 141, 1.0, 0.5};
  }
  if (k <= 7) {
    return EdgeTest{Average(s, k - 4, k - 3), Average(s, k - 3, k - 2), t * 5 / 12, Average(s, k - 2, k - 1) - Average(s, k - 1, k),
                    141, 1.0, k - 3.5};
  }
  if (k <= 11) {
    int64_t v = Average(s, k - 4, k - 2);
    return EdgeTest{Average(s, k - 6, k - 4), v, t * 2 / 7, v - Average(s, k - 2, k), 283, 2.0, k - 5.0};
  }
  int64_t v = Average(s, k - 5, k - 3);
  return EdgeTest{Average(s, k - 8, k - 6), v, t * 10 / (k + 33), v - Average(s, k - 2, k), 424, 3.0, k - 7.0};
}

bool ColourChanged(const PixelValue& p, const PixelValue& c0) {
  return std::llabs(int64_t(p.red) - c0.red) > c0.red / 8 || std::llabs(int64_t(p.green) - c0.green) > c0.green / 8 ||
         std::llabs(int64_t(p.blue) - c0.blue) > c0.blue / 8;
}

}  // namespace

ProfileOutcome MeasureRadialProfile(AnalysisRun* run, const ImageRecord& image, FillLog* log, int64_t x, int64_t y,
                                    double distances[8], bool fill, BrightnessPlane* plane) {
  int limit = run->pass == PASS_COARSE ? kCoarseStepLimit : kFineStepLimit;
  PixelValue c0;
  image.readPixel(&image, x, y, &c0);
  int64_t t = run->imageMaximum / 85;
  const bool inlineReadable = IsInlineReadable(image);
  int64_t s[kCoarseStepLimit + 1];
  s[0] = BrightnessOf(c0);
  for (int d = 0; d < 8; ++d) {
    distances[d] = -1;
    bool diagonal = (d & 1) != 0;
    int64_t highest = s[0], lowest = kLinearFull;
    bool colourChanged = false, ended = false;
    int k = 1;
    for (; k < limit; ++k) {
      double px = double(x + k * kDirections[d][0]), py = double(y + k * kDirections[d][1]);
      if (!run->rect.Contains(px, py)) {
        ended = true;
        break;
      }
      PixelValue p;
      if (inlineReadable) ReadEightBitColour(image, int64_t(px), int64_t(py), &p);
      else image.readPixel(&image, int64_t(px), int64_t(py), &p);
      s[k] = BrightnessOf(p);
      colourChanged = colourChanged || ColourChanged(p, c0);
      int64_t lowestBefore = lowest;
      if (s[k] < lowest) lowest = s[k];
      if (k >= 2 && lowest < highest - highest / 35) {
        EdgeTest e = EdgeTestAt(s, k, t);
        int64_t drop = e.earlier - e.later, lastDrop = e.lastDrop;
        if (diagonal) {
          drop = drop * 100 / e.diagonalDivisor;
          lastDrop = lastDrop * 100 / e.diagonalDivisor;
        }
        if (e.threshold < drop && e.threshold < drop - lastDrop) {
          double f = e.earlier == e.later
                         ? 0.5
                         : double(e.earlier - (highest + lowestBefore) / 2) / double(e.earlier - e.later);
          distances[d] = diagonal ? f * e.span * kSqrt2 + e.start * kSqrt2 : f * e.span + e.start;
          ended = true;
          break;
        }
      }
      if (s[k] > highest) highest = s[k];
    }
    if (ended) continue;
    // No edge within the search: on a flat plateau wider than the search, fill it away so that
    // none of its pixels is tried again.
    if (!colourChanged) {
      for (int i = 0; i < 8; ++i) distances[i] = -1;
      if (!fill) return PROFILE_OPEN_PLATEAU;
      return FloodFillPlateau(run, image, log, x, y, c0, plane) ? PROFILE_PLATEAU : PROFILE_FAILED;
    }
  }
  return PROFILE_MEASURED;
}

bool RecentreFromDistances(const double distances[8], double* x, double* y) {
  double d[8];
  for (int i = 0; i < 8; ++i) d[i] = distances[i] >= 0 && (i & 1) ? distances[i] * 0.7071067811865476 : distances[i];
  auto mean = [&](int a, int b, int c, bool* any) {
    double sum = 0;
    int n = 0;
    for (int i : {a, b, c}) {
      if (d[i] >= 0) sum += d[i], ++n;
    }
    *any = n > 0;
    return n > 0 ? sum / n : 0.0;
  };
  bool right, left, down, up;
  double dx = mean(0, 1, 7, &right) - mean(3, 4, 5, &left);
  double dy = mean(1, 2, 3, &down) - mean(5, 6, 7, &up);
  if (!right || !left || !down || !up) return false;
  *x += dx / 2;
  *y += dy / 2;
  return true;
}
