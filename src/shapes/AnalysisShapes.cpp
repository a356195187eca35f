// Disc and ring generators. Pixels are centred on whole coordinates and the shape's centre sits
// at (phase x / 4, phase y / 4); edge pixels get partial weights, so that the measured
// brightness changes smoothly with a quarter-pixel change of radius.
#include "shapes/AnalysisShapes.h"

#include <algorithm>
#include <cmath>

#include "core/RunResult.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double RadiusOf(const Shape& shape) { return *static_cast<const double*>(shape.parameter); }

SubShapeEntry WhiteEntry(int64_t dx, int64_t dy, uint32_t weight) {
  return SubShapeEntry{int16_t(dx), int16_t(dy), kFullFraction, kFullFraction, kFullFraction, weight};
}

typedef double (*WeightRule)(double radius, double distance);  // below or at 0: no pixel

double DiscWeight(double c, double d) {
  if (d >= c + 0.6) return 0.0;
  return d <= c - 0.4 ? 1.0 : c + 0.6 - d;
}

double RingWeight(double c, double d) {
  double g = c - 0.125, v = d - 0.6, v2 = d + 0.6;
  if (c > 1 || -v <= g) {
    if (v >= c + 0.125 || v2 <= g) return 0.0;
    if (v2 >= c + 0.125 && v > g) return 2.0 * (c + 0.125 - v);
    if (v2 < c + 0.125 && v <= g) return 2.0 * (v2 - g);
    return 1.0;
  }
  double inner = g > 0 ? g : 0.0;
  return (0.6 - kPi * inner * inner) * std::sqrt(2.0);
}

// Visits only the pixels of each row that can lie within the shape's outer edge and outside its
// hole (`hole` below 0: none); the weight rule decides each of them.
bool Generate(Shape* shape, int phaseX, int phaseY, double margin, double capacity, WeightRule rule, double outer,
              double hole) {
  SubShape* subshape = &shape->subshapes[phaseX][phaseY];
  double c = RadiusOf(*shape);
  double cx = phaseX / 4.0, cy = phaseY / 4.0;
  if (!ReserveSubShapeEntries(subshape, uint64_t(capacity > 4 ? capacity : 4))) return false;
  uint32_t growth = uint32_t(capacity / 4) + 16;
  int64_t top = int64_t(cy - c - margin), bottom = int64_t(c + cy + 1.0 + margin);
  int64_t left = int64_t(cx - c - margin), right = int64_t(c + cx + 1.0 + margin);
  constexpr double kSlack = 1e-9;
  double outerSquared = (outer + kSlack) * (outer + kSlack);
  double holeSquared = hole > kSlack ? (hole - kSlack) * (hole - kSlack) : -1.0;
  for (int64_t y = top; y < bottom; ++y) {
    if (RunResult() != 0) return false;
    double dy = y - cy, dySquared = dy * dy;
    if (dySquared >= outerSquared) continue;
    double half = std::sqrt(outerSquared - dySquared);
    int64_t from = std::max(left, int64_t(std::ceil(cx - half))), to = std::min(right, int64_t(std::floor(cx + half)) + 1);
    double holeHalf = dySquared < holeSquared ? std::sqrt(holeSquared - dySquared) : -1.0;
    for (int64_t x = from; x < to; ++x) {
      double dx = x - cx;
      if (holeHalf > 0 && std::fabs(dx) < holeHalf) {
        x = int64_t(std::ceil(cx + holeHalf)) - 1;  // jump over the hole
        continue;
      }
      double weight = rule(c, std::sqrt(dx * dx + dySquared));
      if (weight <= 0.0) continue;
      if (!AddSubShapeEntry(subshape, WhiteEntry(x, y, FractionOf(weight)), growth)) return false;
    }
  }
  return true;
}

// A failed generation leaves the phase empty, so that a later acquisition starts afresh.
bool Abandon(SubShape* subshape) {
  DeallocateBuffer(&subshape->entries);
  subshape->count = 0;
  return false;
}

}  // namespace

bool GenerateDiscSubShape(Shape* shape, int phaseX, int phaseY) {
  double c = RadiusOf(*shape);
  if (!Generate(shape, phaseX, phaseY, 0.6, (c + 1) * (c + 1) * kPi + 4, DiscWeight, c + 0.6, -1.0)) {
    return Abandon(&shape->subshapes[phaseX][phaseY]);
  }
  MakeUnitWeights(&shape->subshapes[phaseX][phaseY]);
  PublishSubShape(&shape->subshapes[phaseX][phaseY]);
  return true;
}

bool GenerateRingSubShape(Shape* shape, int phaseX, int phaseY) {
  double c = RadiusOf(*shape);
  SubShape* subshape = &shape->subshapes[phaseX][phaseY];
  // Rings wider than a pixel leave out everything within c - 0.725 of the centre.
  double hole = c > 1 ? c - 0.725 : -1.0;
  if (!Generate(shape, phaseX, phaseY, 0.564, c * 2 * kPi * 3 + 4, RingWeight, c + 0.725, hole)) return Abandon(subshape);
  // A ring too thin to cover a pixel still measures the pixel at its centre, lightly.
  if (subshape->count == 0 && !AddSubShapeEntry(subshape, WhiteEntry(0, 0, 0x40000000), 1)) return Abandon(subshape);
  MakeUnitWeights(subshape);
  PublishSubShape(subshape);
  return true;
}
