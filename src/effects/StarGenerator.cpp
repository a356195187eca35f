// The styles are tables of spikes: an angle (tenths of a degree, integer arithmetic as the
// styles were designed) and a strength for each. Spikes of the same star are drawn one after the
// other into one SubShape, overlapping entries included.
#include "effects/StarGenerator.h"

#include <algorithm>
#include <cmath>

#include "core/Fractions.h"
#include "core/ImageRecord.h"
#include "core/RunResult.h"
#include "effects/RenderBufferPool.h"
#include "effects/SpikeDrawing.h"
#include "effects/StarTables.h"
#include "params/ParameterBlock.h"
#include "params/ParameterSet.h"

namespace {


uint32_t StrengthOf(double f) { return f >= kFraction ? kFullFraction : f <= 0 ? 0u : uint32_t(f); }

// The second spike of a pair is stronger or weaker by the place of the first in the table.
double PairFactor(int64_t tenths) {
  switch (WrapAngle(tenths) % 40) {
    case 0: return 1.5;
    case 10: return 0.8;
    case 20: return 0.3;
    case 30: return 0.6;
    default: return 1.0;
  }
}

// The primary spikes of a style; t is the full strength, n the Number of Points, a the Angle.
int PrimarySpikes(uint32_t style, int64_t n, int64_t a, double t, StarSpike* out) {
  int count = 0;
  auto add = [&](int64_t angle, double strength) { out[count++] = StarSpike{angle, strength}; };
  switch (style) {
    case EFFECT_HOLLYWOOD_STAR: {
      double c = std::trunc(t / 100);
      for (int64_t i = 0; i < n; ++i) {
        int64_t b = a + i * 3600 / n - 14;
        if (i % 2 == 1) {
          add(b + 148 / n, t), add(b + 512 / n, 70 * c), add(b + 3120 / n, t);
        } else {
          add(b + 524 / n, 70 * c), add(b - 84 / n, 25 * c), add(b + 3156 / n, t), add(b + 3504 / n, 50 * c);
        }
      }
      break;
    }
    case EFFECT_RELIGIOUS_CROSS: {
      int64_t q = n / 4, r = n % 4;
      double c = std::trunc(t / 10) * 2;
      int64_t n1 = q + (r == 3) + (r == 2), n2 = q + (r == 2) + (r == 1), n3 = q + (r == 3);
      for (int64_t i = 0; i < n1; ++i) add(a + 1805 - 5 * n1 + 10 * i, t);
      for (int64_t i = 0; i < n2; ++i) add(a - 5 * n2 + 5 + 10 * i, c);
      for (int64_t j = 0; j < n3; ++j) add(a + 905 - 5 * n3 + 10 * j, c);
      for (int64_t j = 0; j < n3; ++j) add(a + 2705 - 5 * n3 + 10 * j, c);
      break;
    }
    case EFFECT_HYPER_STAR:
      for (int64_t i = 0; i < (n + 1) / 2; ++i) {
        int64_t k = i * 42 / n;
        int64_t m = kSpikeTable[k].angle % 3600;
        m = m % 20 != 0 ? m - 50 : m + 50;
        int64_t d = ((m % 1800) + 1800) % 1800;
        int64_t e = d > 900 ? (2 * d - 1800) / 3 : (-2 * d) / 3;
        double f = double(800 - std::llabs(e)) * (kSpikeTable[k].percent - 11) * 0.0002 * t;
        int64_t g = a + m + e - d + 900;
        add(g + 60, f);
        add(g + 1860, f * PairFactor(m));
      }
      break;
    case EFFECT_NORTH_STAR:
      for (int64_t i = 0; i < n; ++i) {
        int64_t b = a + i * 3600 / n;
        add(b, t), add(b + 1512 / n, std::trunc(t / 4)), add(b + 2088 / n, std::trunc(t / 4));
      }
      break;
    case EFFECT_VECTOR_STAR:
      for (int64_t i = 0; i < n; ++i) {
        int64_t b = i * 3600 / n, c = b % 1800, d;
        if (c > 1200) {
          double e = double(1800 - c);
          d = b - c + 1800 - int64_t(e * std::pow(e / 600, 1.393));
        } else {
          d = b - c + int64_t(c * std::pow(c / 1200.0, 0.393));
        }
        add(a + d + 97, t);
      }
      break;
    case EFFECT_STAR_BURST:
      for (int64_t i = 0; i < (n + 1) / 2; ++i) {
        int64_t k = i * 42 / n;
        int64_t d = (3600 - kSpikeTable[k].angle) % 3600;
        d = d % 20 != 0 ? d - 45 : d + 70;
        double f = (kSpikeTable[k].percent - 11) * 0.06 * t;
        add(a + d, f);
        add(a + d + 1800, f * PairFactor(d));
      }
      break;
    default:  // Standard Star
      for (int64_t i = 0; i < n; ++i) add(a + i * 3600 / n, t);
      break;
  }
  return count;
}

double StyleFactor(uint32_t style) {
  switch (style) {
    case EFFECT_HOLLYWOOD_STAR: return 3.5;
    case EFFECT_RELIGIOUS_CROSS: return 0.8;
    case EFFECT_NORTH_STAR: return 3.0;
    default: return 1.0;
  }
}

// A failed star keeps what it drew and is ready: its spikes so far are still a star. The
// buffer keeps its room, in case it serves as scratch again.
bool FinishStar(SubShape* subshape, bool complete) {
  PublishSubShapeKeepingRoom(subshape);
  return complete;
}

}  // namespace

namespace {

// Empties the SubShape; in the compact form (given its colours) it is given chains for the rows
// that the reach and the reference size leave (no entry lies farther than R from the centre).
bool StartStar(SubShape* subshape, const ShapeReach& reach, double reference, const float* colours) {
  DeallocateBuffer(&subshape->entries);
  ReleaseCompactRows(&subshape->compact);
  subshape->count = 0;
  subshape->rowOrdered = false;
  subshape->paintForm = 0;
  if (colours == nullptr) return true;
  int64_t extent = int64_t(reference) + 1;
  return StartCompactRows(&subshape->compact, std::max(reach.top, -extent), std::min(reach.bottom, extent + 1), colours);
}

// The star of a phase into its SubShape, as SubShapeEntry records or (given the colour table) in
// the compact form.
bool DrawStar(Shape* shape, int px, int py, const float* compactColours) {
  const auto& p = *static_cast<const ParameterSet*>(shape->parameter);
  SubShape* subshape = &shape->subshapes[px][py];
  const ShapeReach& reach = StarReachOf(px, py);
  double r = gEffectRenderMode.referenceSize;
  if (p.length < 1) return FinishStar(subshape, StartStar(subshape, reach, r, nullptr));
  if (!StartStar(subshape, reach, r, compactColours)) return FinishStar(subshape, false);
  bool compact = compactColours != nullptr;
  // Drawn into a block that an earlier phase of the render has left, where there is one.
  if (!compact) subshape->entries = TakeRenderBuffer(UINT64_MAX);
  auto draw = [&](const SpikeRequest& spike) {
    return compact ? DrawCompactSpikeWithin(subshape, px, py, spike, p, reach) : DrawSpikeWithin(subshape, px, py, spike, p, reach);
  };
  int64_t n = std::max<int64_t>(1, p.numberOfPoints);
  int64_t a = p.angle;
  double width = (std::pow(p.spikeSharpness * 0.01, 3.5) + 0.003) * 5000 / r;
  double t = double(p.intensity) * 42949672.0;
  double secondaryWidth = (std::pow(p.spikeSharpness * 0.008, 3.5) + 0.003) * 5000 / r;
  int32_t secondaryLength = int32_t((80 * int64_t(p.length) + 80) / 100);
  double u = std::trunc(std::round(std::pow(p.secondarySpikeIntensity * 0.01, 2.8) * kFraction) / 100);
  bool secondaries = p.secondarySpikeIntensity > 0 && secondaryLength > 0;
  auto secondary = [&](int k, double strength) {
    return draw(SpikeRequest{int32_t(WrapAngle(a + kSpikeTable[k].angle)), secondaryWidth, secondaryLength, p.secondarySpikeIntensity,
                             StrengthOf(strength)});
  };
  if (secondaries && !secondary(0, u * 32)) return FinishStar(subshape, false);
  uint32_t secondaryEntries = subshape->count;
  if (p.intensity > 0) {
    StarSpike spikes[kMaximumStarSpikes];
    int count = PrimarySpikes(p.effectType, std::min<int64_t>(n, 512), a, t, spikes);
    for (int i = 0; i < count; ++i) {
      uint32_t before = subshape->count;
      if (!draw(SpikeRequest{int32_t(WrapAngle(spikes[i].angle)), width, p.length, p.intensity, StrengthOf(spikes[i].strength)})) {
        return FinishStar(subshape, false);
      }
      if (i == 0 && !compact) {
        double first = double(subshape->count - before);
        double capacity = subshape->count + first * double(n) * StyleFactor(p.effectType) + secondaryEntries * 42.0;
        ReserveSubShapeEntries(subshape, uint64_t(std::min(capacity, 64.0 * 1024 * 1024)));
      }
    }
  }
  for (int k = 1; secondaries && k < kSpikeTableSize; ++k) {
    if (!secondary(k, u * kSpikeTable[k].percent)) return FinishStar(subshape, false);
  }
  return FinishStar(subshape, RunResult() == 0);
}

float gCompactStarColours[4 * (kWhiteStarColour + 1)];

}  // namespace

void PrepareCompactStarColours(const ParameterSet& parameters) {
  FillStarColourTable(parameters, gEffectRenderMode.grayImage, gCompactStarColours);
}

const float* CompactStarColours() { return gCompactStarColours; }

bool GenerateStarSubShape(Shape* shape, int px, int py) { return DrawStar(shape, px, py, nullptr); }

bool GenerateCompactStarSubShape(Shape* shape, int px, int py) { return DrawStar(shape, px, py, CompactStarColours()); }

namespace {

// The soft flare of the parameters into SubShape [0][0], as SubShapeEntry records or in the
// compact form, whose only colour is white.
bool DrawSoftFlare(Shape* shape, bool compact) {
  static const float kWhite[4] = {1.0f, 1.0f, 1.0f, 0.0f};
  const auto& p = *static_cast<const ParameterSet*>(shape->parameter);
  SubShape* subshape = &shape->subshapes[0][0];
  DeallocateBuffer(&subshape->entries);
  ReleaseCompactRows(&subshape->compact);
  subshape->count = 0;
  subshape->rowOrdered = false;
  subshape->paintForm = 0;
  auto finish = [subshape]() {
    PublishSubShape(subshape);
    return true;
  };
  auto fail = [subshape]() {
    DeallocateBuffer(&subshape->entries);
    ReleaseCompactRows(&subshape->compact);
    subshape->count = 0;
    return false;
  };
  double reference = gEffectRenderMode.softFlareReferenceSize;
  const ShapeReach& reach = SoftFlareReach();
  const int64_t extent = int64_t(reference) + 1;
  if (p.length < 1 || p.softFlareIntensity < 1) return finish();
  if (compact && !StartCompactRows(&subshape->compact, std::max(reach.top, -extent), std::min(reach.bottom, extent + 1), kWhite)) {
    return fail();
  }
  uint32_t minimum = gEffectRenderMode.visibilityMinimum;
  uint64_t capacity = uint64_t((double(p.length) * p.length + 20) * std::trunc(reference * reference / 600) / 100);
  if (!compact && !ReserveSubShapeEntries(subshape, std::max<uint64_t>(capacity, 16))) return fail();
  uint32_t growth = uint32_t(std::min<uint64_t>(capacity / 2 + 1024, 1 << 22));
  auto add = [&](int64_t dx, int64_t dy, uint32_t weight) {
    if (!reach.Holds(dx, dy)) return true;
    if (compact) return AddCompactSubShapeEntry(subshape, int32_t(dx), int32_t(dy), 0, float(weight / kFraction));
    return AddSubShapeEntry(subshape, SubShapeEntry{int16_t(dx), int16_t(dy), kFullFraction, kFullFraction, kFullFraction, weight},
                            growth);
  };
  // Rings beyond the reach on every side hold nothing that is painted.
  const int64_t outermost = std::max({-reach.left, reach.right - 1, -reach.top, reach.bottom - 1});
  if (!add(0, 0, SoftFlareWeight(p.length, 0.0))) return fail();
  for (int64_t i = 1; i <= int64_t(reference) && i <= outermost; ++i) {
    if (RunResult() != 0) return fail();
    for (int64_t j = 0; j <= i; ++j) {
      uint32_t weight = SoftFlareWeight(p.length, std::sqrt(double(i * i + j * j)));
      if (weight <= minimum) {
        if (j == 0) return finish();
        break;  // farther along the ring is farther from the centre: nothing more shows
      }
      if (!add(i, j, weight) || !add(-j, i, weight) || !add(-i, -j, weight) || !add(j, -i, weight)) return fail();
      if (j > 0 && j < i && (!add(j, i, weight) || !add(-j, -i, weight) || !add(-i, j, weight) || !add(i, -j, weight))) {
        return fail();
      }
    }
  }
  return finish();
}

}  // namespace

bool GenerateSoftFlareSubShape(Shape* shape, int, int) { return DrawSoftFlare(shape, false); }

bool GenerateCompactSoftFlareSubShape(Shape* shape, int, int) { return DrawSoftFlare(shape, true); }

int PrimaryStarSpikes(const ParameterSet& p, StarSpike* out) {
  if (p.intensity <= 0 || p.length < 1) return 0;
  int64_t n = std::max<int64_t>(1, p.numberOfPoints);
  return PrimarySpikes(p.effectType, std::min<int64_t>(n, 512), p.angle, double(p.intensity) * 42949672.0, out);
}

int SecondaryStarSpikes(const ParameterSet& p, StarSpike* out) {
  if (p.secondarySpikeIntensity <= 0 || (80 * int64_t(p.length) + 80) / 100 < 1) return 0;
  double u = std::trunc(std::round(std::pow(p.secondarySpikeIntensity * 0.01, 2.8) * kFraction) / 100);
  for (int k = 0; k < kSpikeTableSize; ++k) {
    out[k] = StarSpike{WrapAngle(p.angle + kSpikeTable[k].angle), u * (k == 0 ? 32 : kSpikeTable[k].percent)};
  }
  return kSpikeTableSize;
}
