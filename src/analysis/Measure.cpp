// Measuring a candidate. Radii are quarter pixels throughout, so every disc and ring used is one
// of the run's precomputed shapes; a failed shape operation drops the measurement.
//
// Sections: the probe and its memory of shape statistics, the tests (outliers, contrast), the
// refinement (hill climb, radius), the measurement after the profile, and the two ways in: a
// band measuring its own candidate, and any thread measuring one without changing anything.
#include "analysis/Measure.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "core/EightBitPixels.h"
#include "shapes/ShapeOperations.h"

namespace {

constexpr int kDirections[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
constexpr double kDiagonal = 0.7071067811865475;
constexpr uint32_t kLinearFull = 0xFFFFFF;

std::atomic<bool> gReferenceMeasurement{false};

// A measurement's view of the run: shape statistics that remember a failure, and that remember
// their results, since the refinement asks again and again about the same quarter-pixel places,
// and so do the refinements of neighbouring candidates.
struct CachedStatistics {
  const Shape* shape;
  int64_t x, y;  // centre in quarter pixels
  uint64_t viewChanges;  // of the band's view when the entry was made
  ShapeStatistics statistics;
};
constexpr uint64_t kBandCacheSlots = 512;
constexpr uint64_t kOwnCacheSlots = 256;

struct Probe {
  Probe(AnalysisRun* analysisRun, const ImageRecord& view, const BrightnessPlane* plane, CachedStatistics* slots,
        uint64_t slotCount, uint64_t changes)
      : run(analysisRun), image(view), cache(slots), cacheSlots(slotCount), viewChanges(changes) {
    if (plane != nullptr && !UsingReferenceMeasurement()) brightness = static_cast<const int32_t*>(plane->values.block);
  }
  AnalysisRun* run;
  const ImageRecord& image;
  const int32_t* brightness = nullptr;
  CachedStatistics* cache;
  uint64_t cacheSlots;
  uint64_t viewChanges;
  bool failed = false;

  // Statistics depend only on the pixel and quarter phase of the centre, and on the view.
  CachedStatistics& SlotFor(Shape* shape, double x, double y, int64_t* qx, int64_t* qy) {
    ShapePosition px = ShapePositionOf(x), py = ShapePositionOf(y);
    *qx = px.pixel * 4 + px.phase, *qy = py.pixel * 4 + py.phase;
    uint64_t hash = (uint64_t(*qx) * 0x9E3779B97F4A7C15ull) ^ (uint64_t(*qy) * 0xC2B2AE3D27D4EB4Full) ^
                    (reinterpret_cast<uintptr_t>(shape) >> 4);
    return cache[(hash ^ (hash >> 29)) & (cacheSlots - 1)];  // slot counts are powers of two
  }
  bool Remembers(const CachedStatistics& slot, Shape* shape, int64_t qx, int64_t qy) const {
    return slot.shape == shape && slot.x == qx && slot.y == qy && slot.viewChanges == viewChanges;
  }
  ShapeStatistics Statistics(Shape* shape, double x, double y) {
    int64_t qx, qy;
    CachedStatistics& slot = SlotFor(shape, x, y, &qx, &qy);
    if (Remembers(slot, shape, qx, qy)) return slot.statistics;
    ShapeStatistics s{};
    if (!AnalyzeShapeFrom(shape, image, x, y, &s, brightness)) {
      failed = true;
      return s;
    }
    slot = CachedStatistics{shape, qx, qy, viewChanges, s};
    return s;
  }
  // Up to eight at once, each as Statistics gives it; those not remembered are taken side by side.
  void StatisticsOf(const ShapeAt* shapes, int count, ShapeStatistics* out) {
    constexpr int kMost = 8;
    ShapeAt missing[kMost];
    CachedStatistics* slots[kMost];
    int64_t qxs[kMost], qys[kMost];
    int where[kMost], n = 0;
    for (int i = 0; i < count && i < kMost; ++i) {
      CachedStatistics& slot = SlotFor(shapes[i].shape, shapes[i].x, shapes[i].y, &qxs[n], &qys[n]);
      if (Remembers(slot, shapes[i].shape, qxs[n], qys[n])) out[i] = slot.statistics;
      else missing[n] = shapes[i], slots[n] = &slot, where[n++] = i;
    }
    ShapeStatistics taken[kMost];
    bool measured[kMost];
    AnalyzeShapesFrom(missing, n, image, brightness, taken, measured);
    for (int j = 0; j < n; ++j) {
      out[where[j]] = measured[j] ? taken[j] : ShapeStatistics{};
      if (!measured[j]) {
        failed = true;
        continue;
      }
      *slots[j] = CachedStatistics{missing[j].shape, qxs[j], qys[j], viewChanges, taken[j]};
    }
  }
  // The radius steps of small highlights sample the same disc at the same place up to six times.
  PixelValue Colour(Shape* shape, double x, double y) {
    if (shape == lastColour.shape && x == lastColour.x && y == lastColour.y) return lastColour.value;
    PixelValue p{};
    if (!SampleShapeFrom(shape, image, x, y, &p)) {
      failed = true;
      return p;
    }
    lastColour = SampledColour{shape, x, y, p};
    return p;
  }
  struct SampledColour {
    Shape* shape;
    double x, y;
    PixelValue value;
  };
  SampledColour lastColour{nullptr, 0, 0, PixelValue{}};
  Shape* Disc(int i) { return &run->discs[i]; }
  Shape* Ring(int i) { return &run->rings[i]; }
};

bool IsSelectedAndOpaque(const AnalysisRun& run, const ImageRecord& image, double x, double y) {
  if (!run.rect.Contains(x, y)) return false;
  PixelValue p;
  image.readPixel(&image, int64_t(x), int64_t(y), &p);
  return p.mask >= 0x7FFFFFFF && p.alpha != 0;
}

// Pulls outlying distances toward the mean; false when no direction has a distance.
bool ClampOutliers(double d[8]) {
  double sum = 0;
  int n = 0;
  for (int i = 0; i < 8; ++i) {
    if (d[i] >= 0) sum += d[i], ++n;
  }
  if (n == 0) return false;
  double mean = sum / n, squares = 0;
  for (int i = 0; i < 8; ++i) {
    if (d[i] >= 0) squares += (d[i] - mean) * (d[i] - mean);
  }
  double spread = 1.3 * std::sqrt(squares / n);
  for (int i = 0; i < 8; ++i) {
    if (d[i] < 0) continue;
    if (d[i] > mean + spread) d[i] = mean + spread;
    if (d[i] < mean - spread) d[i] = spread >= mean ? 0.1 : mean - spread;
  }
  return true;
}

double MeanPositive(const double d[8]) {
  double sum = 0;
  int n = 0;
  for (int i = 0; i < 8; ++i) {
    if (d[i] > 0) sum += d[i], ++n;
  }
  return n > 0 ? sum / n : 0.0;
}

// A highlight stands out when its inner ring is clearly brighter, relative to the image
// maximum, than the rings around it.
bool PassesContrast(Probe* probe, double x, double y, double r) {
  if (!IsSelectedAndOpaque(*probe->run, probe->image, x, y)) return false;
  int q = int(r * 4 + 0.5);
  int e = q > 23 ? q / 18 + 4 : q / 10 + 2;
  if (q < e) return true;
  int inner = q - e, outerNear = q + e + 3, outerFar = q + e + 11;
  if (outerFar >= kAnalysisShapes) return false;
  const ShapeAt rings[3] = {{probe->Ring(inner), x, y}, {probe->Ring(outerNear), x, y}, {probe->Ring(outerFar), x, y}};
  ShapeStatistics s[3];
  probe->StatisticsOf(rings, 3, s);
  int32_t innerMean = int32_t(s[0].mean);
  int32_t outerMean = int32_t(std::min(s[1].mean, s[2].mean));
  if (probe->failed) return false;
  int32_t m = int32_t(probe->run->imageMaximum);
  return (m - innerMean) * 11 < (m - outerMean) * 10 || (q < 10 && m < (innerMean - outerMean) * (10 - q));
}

// Moves the centre to where a disc slightly smaller than the highlight sees the most even,
// brightest light; true when it moved.
bool HillClimb(Probe* probe, double* x, double* y, double r) {
  int index = std::max(1, int(4 * r) - 1);
  if (index >= kAnalysisShapes) return false;
  Shape* disc = probe->Disc(index);
  double step = std::max(0.25, 0.08 * r);
  double score = probe->Statistics(disc, *x, *y).meanMinusDeviation;
  bool moved = false;
  for (int iteration = 0; iteration < 6 && !probe->failed; ++iteration) {
    double bestScore = score, bestX = *x, bestY = *y;
    ShapeAt around[8];
    for (int d = 0; d < 8; ++d) {
      double reach = (d & 1) ? step * kDiagonal : step;
      around[d] = ShapeAt{disc, *x + kDirections[d][0] * reach, *y + kDirections[d][1] * reach};
    }
    ShapeStatistics s[8];
    probe->StatisticsOf(around, 8, s);
    for (int d = 0; d < 8; ++d) {
      if (s[d].meanMinusDeviation > bestScore) bestScore = s[d].meanMinusDeviation, bestX = around[d].x, bestY = around[d].y;
    }
    if (!(bestScore > score + 1e-6)) break;
    *x = bestX, *y = bestY, score = bestScore;
    moved = true;
    step = std::max(0.25, 0.8 * step);
  }
  return moved;
}

// The core, edge and background of a highlight of radius r, relative to the image maximum.
bool LargeRadiusStep(Probe* probe, double x, double y, double* r, int iteration, bool* shrank) {
  double radius = *r;
  double step = std::max(0.25, 0.008 * radius / iteration);
  int background = int(8 * radius), core = int(2 * radius), edge = int(4 * radius) - 1;
  if (background >= kAnalysisShapes || core >= kAnalysisShapes || edge >= kAnalysisShapes || edge < 0) return false;
  double m = probe->run->imageMaximum;
  if (m <= 0) return false;
  const ShapeAt shapes[3] = {{probe->Ring(background), x, y}, {probe->Disc(core), x, y}, {probe->Ring(edge), x, y}};
  ShapeStatistics s[3];
  probe->StatisticsOf(shapes, 3, s);
  double b = s[0].meanMinusDeviation / m;
  double coreLevel = s[1].meanMinusDeviation / m;
  double edgeLevel = s[2].meanMinusDeviation / m;
  if (probe->failed || b >= 1.0) return false;
  coreLevel = (coreLevel - b) / (1 - b);
  edgeLevel = (edgeLevel - b) / (1 - b);
  if (coreLevel < 0.81 || edgeLevel < 0.42 * coreLevel) {
    *r = radius - step;
    *shrank = true;
    return true;
  }
  if (edgeLevel <= 0.75 || radius + step > 128) return false;
  *r = radius + step;
  return !*shrank;
}

// Small highlights: the radius follows how far the centre stands above its surroundings.
bool SmallRadiusStep(Probe* probe, double x, double y, double* r) {
  PixelValue colour = probe->Colour(probe->Disc(5), x, y);
  uint32_t c = std::max({colour.red, colour.green, colour.blue});
  uint32_t v = probe->Statistics(probe->Ring(10), x, y).minimum;
  if (probe->failed) return false;
  if (c <= v) {
    *r += 0.25;
    return true;
  }
  double target = 1.25;
  if (v != kLinearFull) {
    double w = double(c - v) / double(kLinearFull - v);
    if (w < 1.0) {
      uint32_t fraction = FractionOf(w);
      target = fraction <= 515396063u ? 0.25 : fraction <= 1116691471u ? 0.5 : fraction <= 1632087535u ? 0.75
             : fraction > 2448131303u ? 1.25 : 1.0;
    }
  }
  if (target == 1.25) {
    *r = 1.25;
    return true;
  }
  if (target == 0.25) {
    if (*r <= 0.25) return false;
    *r = 0.25;
    return true;
  }
  if (*r == target) return false;
  *r = target;
  return true;
}

// Up to six steps; true when the radius ends where it did not start.
bool AdjustRadius(Probe* probe, double x, double y, double* r) {
  double start = *r;
  bool shrank = false;
  for (int i = 1; i <= 6 && !probe->failed; ++i) {
    bool goOn = *r >= 1.25 ? LargeRadiusStep(probe, x, y, r, i, &shrank) : SmallRadiusStep(probe, x, y, r);
    if (!goOn) break;
  }
  return *r != start;
}

// The fine pass refines radii up to where the coarse pass takes over (6 coarse pixels) and a
// quarter beyond, so that no size of highlight falls between the passes; never below 20.
double FineRadiusCap(const AnalysisRun& run) {
  double coarseInFine = kCoarseRadiusMinimum * run.fineScaleX / run.coarseScaleX;
  return std::max(20.0, 1.25 * coarseInFine);
}

bool Refine(Probe* probe, double* x, double* y, double* r) {
  AnalysisRun* run = probe->run;
  double r0 = *r;
  double limit = 1.5 * r0 + 2;
  if (run->pass == PASS_FINE) limit = std::min(limit, FineRadiusCap(*run));
  double previousX = *x, previousY = *y;
  HillClimb(probe, x, y, *r);
  bool radiusChanged = AdjustRadius(probe, *x, *y, r);
  int iterations = int(r0 + 8);
  for (int i = 0; i < iterations; ++i) {
    if (probe->failed || run->abort) return false;
    if (!run->rect.Contains(*x, *y)) {
      *x = previousX, *y = previousY;
      return true;
    }
    previousX = *x, previousY = *y;
    bool moved = HillClimb(probe, x, y, *r);
    bool changed = (moved || radiusChanged) && AdjustRadius(probe, *x, *y, r);
    radiusChanged = changed;
    if (*r > limit || IsInsideLightSource(gLightSourceTable, *x, *y)) return false;
    if (!moved && !changed) return !probe->failed;
  }
  return *r <= 4 && !probe->failed;
}

uint32_t RatioFraction(uint32_t channel, uint32_t largest) { return FractionOf(double(channel) / double(largest)); }

ProfileOutcome WalkProfile(AnalysisRun* run, const ImageRecord& view, BrightnessPlane* plane, FillLog* log, int64_t x, int64_t y,
                           double d[8], bool fill) {
  return IsInlineReadable(view) && !UsingReferenceMeasurement() ? MeasureRadialProfileDirect(run, view, log, x, y, d, fill, plane)
                                                                : MeasureRadialProfile(run, view, log, x, y, d, fill, plane);
}

// Everything after the list point, which reads the view and changes nothing: recentring,
// contrast, refinement and colour. The one question left to the band is whether its list already
// has a light at the list point; asking it last instead of first drops the same candidates.
bool MeasureFromListPoint(Probe* probe, const double d[8], double listX, double listY, LightSource* source) {
  AnalysisRun* run = probe->run;
  double cx = listX, cy = listY;
  double r = MeanPositive(d);
  if (r <= 0 || r > 128) return false;
  if (!RecentreFromDistances(d, &cx, &cy)) return false;
  if (!PassesContrast(probe, cx, cy, r)) return false;
  if (!Refine(probe, &cx, &cy, &r)) return false;
  cx = std::trunc(cx * 4) / 4;
  cy = std::trunc(cy * 4) / 4;
  r = std::trunc(r * 4) / 4;
  *source = LightSource{};
  int w = int(r * 4);
  PixelValue ring{kLinearFull, kLinearFull, kLinearFull, 0, 0}, disc = ring;
  if (w < kAnalysisShapes) {
    ring = probe->Colour(probe->Ring(w), cx, cy);
    disc = w + 2 < kAnalysisShapes ? probe->Colour(probe->Disc(w + 2), cx, cy) : disc;
    if (probe->failed) return false;
  }
  uint32_t largest = std::max({ring.red, ring.green, ring.blue});
  source->red = largest == 0 ? kFullFraction : RatioFraction(ring.red, largest);
  source->green = largest == 0 ? kFullFraction : RatioFraction(ring.green, largest);
  source->blue = largest == 0 ? kFullFraction : RatioFraction(ring.blue, largest);
  if (!IsSelectedAndOpaque(*run, probe->image, cx, cy)) return false;
  if (run->pass == PASS_COARSE && r <= kCoarseRadiusMinimum) return false;
  source->x = cx;
  source->y = cy;
  source->radius = r;
  source->radiusSquared = r * r;
  source->brightness = (disc.red + disc.green + disc.blue) / 3;
  source->state = source->savedState = LIGHT_DETECTED;
  return true;
}

}  // namespace

void UseReferenceMeasurement(bool reference) { gReferenceMeasurement.store(reference, std::memory_order_relaxed); }
bool UsingReferenceMeasurement() { return gReferenceMeasurement.load(std::memory_order_relaxed); }

void MeasureCandidate(AnalysisSection* section, int64_t x, int64_t y) {
  AnalysisRun* run = section->run;
  if (IsInsideLightSource(gLightSourceTable, double(x), double(y))) return;
  double d[8];
  BrightnessPlane* plane = section->brightness.values.block != nullptr ? &section->brightness : nullptr;
  if (WalkProfile(run, section->view, plane, &section->fills, x, y, d, true) != PROFILE_MEASURED) return;
  CachedStatistics own[kOwnCacheSlots];
  for (CachedStatistics& slot : own) slot.shape = nullptr;
  Probe probe(run, section->view, plane, own, kOwnCacheSlots, 0);
  double listX, listY;
  LightSource source;
  if (ListPointFromProfile(d, x, y, &listX, &listY) && MeasureFromListPoint(&probe, d, listX, listY, &source) &&
      !IsInsideLightSource(section->list, listX, listY)) {
    InsertLightSource(&section->list, source);
  }
}

// The plane is not changed: the walk is told not to fill.
void EvaluateCandidate(AnalysisRun* run, const ImageRecord& view, BrightnessPlane* plane, StatisticsMemory* memory, int64_t x,
                       int64_t y, CandidateResult* result) {
  result->kind = CANDIDATE_NONE;
  if (IsInsideLightSource(gLightSourceTable, double(x), double(y))) return;
  double d[8];
  ProfileOutcome profile = WalkProfile(run, view, plane, nullptr, x, y, d, false);
  if (profile == PROFILE_OPEN_PLATEAU) result->kind = CANDIDATE_FILL;
  if (profile == PROFILE_MEASURED) EvaluateProfiledCandidate(run, view, plane, memory, x, y, d, result);
}

void EvaluateProfiledCandidate(AnalysisRun* run, const ImageRecord& view, BrightnessPlane* plane, StatisticsMemory* memory,
                               int64_t x, int64_t y, double d[8], CandidateResult* result) {
  result->kind = CANDIDATE_NONE;
  if (!ListPointFromProfile(d, x, y, &result->listX, &result->listY)) return;
  EvaluateFromListPoint(run, view, plane, memory, d, result);
}

bool ListPointFromProfile(double d[8], int64_t x, int64_t y, double* listX, double* listY) {
  if (!ClampOutliers(d)) return false;
  double cx = double(x), cy = double(y);
  if (!RecentreFromDistances(d, &cx, &cy)) return false;
  // A candidate is kept when its edges are no more than 1.25 pixels out of balance, that is when
  // the centre moves by no more than 0.625.
  if (std::fabs(cx - x) > 0.625 || std::fabs(cy - y) > 0.625) return false;
  *listX = cx, *listY = cy;
  return true;
}

void EvaluateFromListPoint(AnalysisRun* run, const ImageRecord& view, BrightnessPlane* plane, StatisticsMemory* memory,
                           const double d[8], CandidateResult* result) {
  result->kind = CANDIDATE_NONE;
  if (memory->slots.block == nullptr) {
    if (ReallocateBuffer(kBandCacheSlots * sizeof(CachedStatistics), &memory->slots) != 0) {
      result->kind = CANDIDATE_AGAIN;  // the band measures it itself, with a cache of its own
      return;
    }
    auto* slots = static_cast<CachedStatistics*>(memory->slots.block);
    for (uint64_t i = 0; i < kBandCacheSlots; ++i) slots[i].shape = nullptr;
  }
  Probe probe(run, view, plane, static_cast<CachedStatistics*>(memory->slots.block), kBandCacheSlots, memory->viewVersion);
  if (MeasureFromListPoint(&probe, d, result->listX, result->listY, &result->source)) result->kind = CANDIDATE_LIGHT;
}
