// Spikes are scanned column by column (or row by row when steep) outward from the centre; in each
// column the scan runs from the axis to both sides until the weight no longer shows, and the
// spike ends at the first column in which nothing shows. Units are quarter pixels; pixel centres
// lie on multiples of four.
//
// Sections: the spike's context and rainbow colours; one point (PointAt); the sinks (SubShapeEntry
// records, or the compact form); scanning a line, rasterising a spike and its horizontal fast
// path; the entry points and the compact stars' colour table.
#include "effects/SpikeDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#include "core/Fractions.h"
#include "core/ImageRecord.h"
#include "core/RunResult.h"
#include "effects/StarTables.h"

namespace {


uint32_t RoundFraction(double v) { return v <= 0 ? 0u : v >= kFraction ? kFullFraction : uint32_t(v + 0.5); }

constexpr double kInverseFraction = 1.0 / kFraction;

struct RainbowColour {
  uint32_t red, green, blue;
  uint32_t known;
};

// What stays the same along one spike.
struct SpikeContext {
  SubShape* subshape;
  int px, py;
  const SpikeRequest* spike;
  double halfWidth, widening, dimming;  // h, s₁, s₂
  double across;                        // k: |sn| when stepping by columns, |cs| by rows
  double reference;
  uint32_t visibilityMinimum;
  bool gray;
  uint32_t growth;
  bool failed;
  FalloffCache* falloff;
  double waveScale;      // rainbow phase per quarter pixel of distance
  double fullAmplitude;  // the rainbow's amplitude once faded in
  double amplitudeStep;  // its growth per unit of phase before that
  const uint32_t* waves;
  ShapeReach reach;  // in quarter pixels: the lines, not the pixels
  RainbowColour* colours;  // by wave phase, filled as the spike meets them
  SpikeTerms terms;        // the same for the lines scanned eight points at a time
};

// The rainbow's colour at a phase of its wave: faded in over the first 2000 units, then the same
// every turn, so 5600 colours serve every distance, indexed by the phase while it fades in and by
// 2000 plus its place in the turn after. Each is worked out the first time a spike meets it,
// instead of for every entry.
RainbowColour ComputeRainbowColour(const SpikeContext* c, int32_t index) {
  double amplitude = (index > kFadedIn - 1 ? c->fullAmplitude : double(index) * c->amplitudeStep) * kInverseFraction;
  int32_t phase = index < kFadedIn ? index : index - kFadedIn;
  auto shifted = [phase](int32_t offset) { return phase + offset >= kTenthsPerTurn ? phase + offset - kTenthsPerTurn : phase + offset; };
  const uint32_t* waves = c->waves;
  uint32_t red = kFullFraction - RoundFraction(amplitude * waves[shifted(900)]);
  uint32_t green = c->gray ? red : kFullFraction - RoundFraction(amplitude * waves[shifted(1800)]);
  uint32_t blue = c->gray ? red : kFullFraction - RoundFraction(amplitude * waves[phase]);
  return RainbowColour{red, green, blue, 1};
}

inline const RainbowColour& RainbowColourOf(SpikeContext* c, int32_t index) {
  RainbowColour& colour = c->colours[index];
  if (colour.known == 0) colour = ComputeRainbowColour(c, index);
  return colour;
}

// What shows of a spike at a pixel: the weight and the index of the rainbow's colour there.
struct SpikePoint {
  int64_t x, y;  // quarter pixels
  uint32_t weight;
  int32_t colour;  // kWhiteStarColour without a rainbow
};

// The point at quarter-pixel (x, y), d across the axis; false when it does not show.
bool PointAt(const SpikeContext* c, int64_t x, int64_t y, double d, SpikePoint* point) {
  double ex = double(x - c->px), ey = double(y - c->py);
  double p = std::sqrt(ex * ex + ey * ey);
  double q = SpikeFalloff(c->falloff, c->spike->length, int64_t(p + 0.5));  // p ≥ 0: no library rounding
  uint32_t g = c->spike->strength;
  double b = q >= 1 ? double(g) : q < 0 ? 0.0 : double(uint64_t(q * g));
  // (1 - (d - 1/k) h k / (1 + p s₁)) / (1 + p s₂), over one common denominator.
  double widened = 1 + p * c->widening;
  double section = (widened - (d * c->across - 1) * c->halfWidth) / (widened * (1 + p * c->dimming));
  if (section <= 0) return false;
  section = section > 1 ? 1.0 : CrossSectionPower(section);
  uint32_t weight = RoundFraction(RoundFraction(section * kFraction) * kInverseFraction * b);
  if (weight <= c->visibilityMinimum) return false;
  int32_t colour = c->fullAmplitude > 0 ? RainbowIndexOf(int64_t(p * c->waveScale)) : kWhiteStarColour;
  *point = SpikePoint{x, y, weight, colour};
  return true;
}

// The reach in the scan's quarter pixels: pixel offset k is line 4k.
ShapeReach ScaledReach(const ShapeReach& reach) { return ShapeReach{reach.left * 4, reach.top * 4, reach.right * 4, reach.bottom * 4}; }

// Where a spike's points go: SubShapeEntry records with their colours, or the compact form.
struct EntrySink {
  static bool Add(SpikeContext* c, const SpikePoint& point) {
    uint32_t red = kFullFraction, green = kFullFraction, blue = kFullFraction;
    if (point.colour != kWhiteStarColour) {
      const RainbowColour& colour = RainbowColourOf(c, point.colour);
      red = colour.red, green = colour.green, blue = colour.blue;
    }
    SubShapeEntry entry{int16_t(point.x / 4), int16_t(point.y / 4), red, green, blue, point.weight};
    if (AddSubShapeEntry(c->subshape, entry, std::max(c->growth, c->subshape->count / 2))) return true;
    c->failed = true;
    return false;
  }
};

struct CompactSink {
  static bool Add(SpikeContext* c, const SpikePoint& point) {
    if (AddCompactSubShapeEntry(c->subshape, int32_t(point.x / 4), int32_t(point.y / 4), uint16_t(point.colour),
                                float(point.weight * kInverseFraction))) {
      return true;
    }
    c->failed = true;
    return false;
  }
};

// One scanned line (a column, or a row with the roles of x and y exchanged): from the start line
// toward smaller coordinates, then from the line above it toward larger ones, each way until a
// point does not show. `along` is the fixed coordinate, `axis` where the spike's axis crosses the
// line. Points outside the reach are not stored (none of a line that is not `stored`, one that
// only decides whether the spike goes on), and once a way has left the reach nothing farther
// along it can be stored: it stops there, the point that left deciding (as it would have)
// whether anything of the line shows.
template <typename Sink, bool Columns>
bool ScanLinePointByPoint(SpikeContext* c, int64_t along, double axis, int64_t start, int64_t extent, bool stored) {
  const int64_t low = stored ? (Columns ? c->reach.top : c->reach.left) : INT64_MAX,
                high = stored ? (Columns ? c->reach.bottom : c->reach.right) : INT64_MIN;
  bool any = false;
  auto visit = [&](int64_t across) {
    SpikePoint point;
    bool shows = Columns ? PointAt(c, along, across, std::fabs(across - axis), &point)
                         : PointAt(c, across, along, std::fabs(across - axis), &point);
    if (!shows) return false;
    any = true;
    return across < low || across >= high || Sink::Add(c, point);
  };
  for (int64_t line = start; line >= -extent; line -= 4) {
    if (!visit(line) || line < low) break;
  }
  for (int64_t line = start + 4; line <= extent && !c->failed; line += 4) {
    if (!visit(line) || line >= high) break;
  }
  return any;
}

template <typename Sink, bool Columns>
bool ScanLine(SpikeContext* c, int64_t along, double axis, int64_t start, int64_t extent, bool stored) {
  if (std::is_same<Sink, CompactSink>::value && LineScansAvailable()) {
    CompactLineScan scan{c->subshape, Columns, along, axis, start, extent,
                         stored ? (Columns ? c->reach.top : c->reach.left) : INT64_MAX,
                         stored ? (Columns ? c->reach.bottom : c->reach.right) : INT64_MIN, c->fullAmplitude > 0};
    LineScanOutcome outcome = ScanCompactLine(c->terms, scan);
    c->failed = c->failed || outcome.failed;
    return outcome.any;
  }
  return ScanLinePointByPoint<Sink, Columns>(c, along, axis, start, extent, stored);
}

// Columns when the spike is nearer horizontal, rows otherwise; stepping away from the centre
// until a line shows nothing or lies past the reach (every later line would too).
template <typename Sink, bool Columns>
void Rasterise(SpikeContext* c, double sn, double cs) {
  double step = Columns ? sn : -cs;  // the direction along the stepped coordinate
  double slope = Columns ? -cs / sn : -sn / cs;
  int direction = step > 0 ? 1 : -1;
  int64_t extent = int64_t(4 * c->reference);
  int centreAlong = Columns ? c->px : c->py, centreAcross = Columns ? c->py : c->px;
  const int64_t low = Columns ? c->reach.left : c->reach.top, high = Columns ? c->reach.right : c->reach.bottom;
  bool decreasing = slope * direction < 0;
  for (int64_t along = direction > 0 ? 0 : -4; along >= -extent && along <= extent; along += 4 * direction) {
    if ((direction > 0 && along >= high) || (direction < 0 && along < low)) return;
    if (RunResult() != 0) {
      c->failed = true;
      return;
    }
    double axis = centreAcross + slope * double(along - centreAlong);
    int64_t start = (int64_t(axis) / 4) * 4 - (decreasing ? 4 : 0);
    if (!ScanLine<Sink, Columns>(c, along, axis, start, extent, along >= low && along < high) || c->failed) return;
  }
}

// The horizontal spike to the right at phase (0, 0) lies on a row of pixel centres: each column
// is symmetric about it, so each weight is computed once and written below and above, in the
// order of the general scan (centre, the lines below outward, the lines above outward).
template <typename Sink>
void RasteriseHorizontal(SpikeContext* c) {
  int64_t extent = int64_t(4 * c->reference);
  const ShapeReach& reach = c->reach;
  // Lines past both ends of the reach store nothing; the scan of a column stops there.
  const int64_t farthest = std::max(-reach.top, reach.bottom - 4);
  std::vector<SpikePoint> below;
  for (int64_t x = 0; x <= extent && x < reach.right; x += 4) {
    if (RunResult() != 0) {
      c->failed = true;
      return;
    }
    SpikePoint centre;
    if (!PointAt(c, x, 0, 0.0, &centre)) return;
    if (x < reach.left) continue;  // the centre showed: the spike goes on to columns that are stored
    if (reach.top <= 0 && reach.bottom > 0 && !Sink::Add(c, centre)) return;
    below.clear();
    SpikePoint point;
    for (int64_t y = 4; y <= extent && y <= farthest && PointAt(c, x, y, double(y), &point); y += 4) below.push_back(point);
    for (SpikePoint mirrored : below) {
      mirrored.y = -mirrored.y;
      if (mirrored.y < reach.top) break;
      if (mirrored.y >= reach.bottom) continue;
      if (!Sink::Add(c, mirrored)) return;
    }
    for (const SpikePoint& above : below) {
      if (above.y >= reach.bottom) break;
      if (above.y >= reach.top && !Sink::Add(c, above)) return;
    }
  }
}

template <typename Sink>
bool Draw(SubShape* subshape, int px, int py, const SpikeRequest& spike, const ParameterSet& parameters, bool fastPath,
          const ShapeReach& reach) {
  const EffectRenderMode& mode = gEffectRenderMode;
  if (spike.length < 1 || spike.strength <= mode.visibilityMinimum) return true;
  double spread = parameters.spikeSpread * 0.01;
  double f = spread * spread * spread;
  double w = std::min(spike.width, 1.0);
  double sn = SineOf(spike.angle), cs = SineOf(int64_t(spike.angle) + 900);
  bool columns = std::fabs(sn) >= std::fabs(cs);
  double r = mode.referenceSize;
  double estimate = 16 * r * r * 0.03 * (f + 0.1) * (1.2 - w) * (spike.strength / kFraction + 0.2);
  SpikeContext c{subshape, px, py, &spike, 0.5 * w, f * w * 0.2, f * 0.0002, columns ? std::fabs(sn) : std::fabs(cs), r,
                 mode.visibilityMinimum, mode.grayImage,
                 uint32_t(std::min(estimate / 8, 1048576.0)) + 1024, false, SpikeFalloffTable(spike.length),
                 (3e7 / r) / double((107 - parameters.rainbowFrequency) * (107 - parameters.rainbowFrequency)),
                 double(uint32_t(parameters.rainbowIntensity) * 42949672u), std::trunc(parameters.rainbowIntensity * 42949672.0 / 2000),
                 RainbowWaveTable(),
                 ScaledReach(reach),
                 nullptr,
                 SpikeTerms{}};
  c.terms = SpikeTerms{columns ? py : px, c.halfWidth, c.widening, c.dimming, c.across, double(spike.strength),
                       double(c.visibilityMinimum), c.falloff, spike.length, c.waveScale, columns ? px : py};
  BufferDescriptor colours;
  if (c.fullAmplitude > 0 && std::is_same<Sink, EntrySink>::value) {
    if (ReallocateBuffer(kWhiteStarColour * sizeof(RainbowColour), &colours) != 0) return false;
    memset(colours.block, 0, kWhiteStarColour * sizeof(RainbowColour));
    c.colours = static_cast<RainbowColour*>(colours.block);
  }
  if (fastPath && WrapAngle(spike.angle) == 900 && px == 0 && py == 0) {
    RasteriseHorizontal<Sink>(&c);
  } else if (columns) {
    Rasterise<Sink, true>(&c, sn, cs);
  } else {
    Rasterise<Sink, false>(&c, sn, cs);
  }
  DeallocateBuffer(&colours);
  return !c.failed;
}

// The parameters' rainbow as the spikes see it, for the colour table.
SpikeContext RainbowContextOf(const ParameterSet& parameters, bool gray, RainbowColour* colours) {
  SpikeContext c{};
  c.gray = gray;
  c.fullAmplitude = double(uint32_t(parameters.rainbowIntensity) * 42949672u);
  c.amplitudeStep = std::trunc(parameters.rainbowIntensity * 42949672.0 / 2000);
  c.waves = RainbowWaveTable();
  c.colours = colours;
  return c;
}

}  // namespace

bool DrawSpike(SubShape* subshape, int px, int py, const SpikeRequest& spike, const ParameterSet& parameters) {
  return Draw<EntrySink>(subshape, px, py, spike, parameters, true, kUnboundedReach);
}

bool DrawSpikeWithin(SubShape* subshape, int px, int py, const SpikeRequest& spike, const ParameterSet& parameters,
                     const ShapeReach& reach, bool fastPath) {
  return Draw<EntrySink>(subshape, px, py, spike, parameters, fastPath, reach);
}

bool DrawSpikeGeneral(SubShape* subshape, int px, int py, const SpikeRequest& spike, const ParameterSet& parameters) {
  return Draw<EntrySink>(subshape, px, py, spike, parameters, false, kUnboundedReach);
}

bool DrawCompactSpikeWithin(SubShape* subshape, int px, int py, const SpikeRequest& spike, const ParameterSet& parameters,
                            const ShapeReach& reach, bool fastPath) {
  return Draw<CompactSink>(subshape, px, py, spike, parameters, fastPath, reach);
}

void FillStarColourTable(const ParameterSet& parameters, bool gray, float* table) {
  std::vector<RainbowColour> colours(kWhiteStarColour);
  SpikeContext c = RainbowContextOf(parameters, gray, colours.data());
  for (int32_t i = 0; i <= kWhiteStarColour; ++i) {
    RainbowColour colour = i == kWhiteStarColour ? RainbowColour{kFullFraction, kFullFraction, kFullFraction, 1} : RainbowColourOf(&c, i);
    table[4 * i] = float(colour.red * kInverseFraction);
    table[4 * i + 1] = float(colour.green * kInverseFraction);
    table[4 * i + 2] = float(colour.blue * kInverseFraction);
    table[4 * i + 3] = 0.0f;
  }
}
