// The star generator's numbers pinned from outside: the weight of a spike at chosen pixels, the
// rainbow along it, the strengths of the secondary spikes and of every style's spikes, and the
// visibility minimum of a final render. The expected values are worked out here from the star
// model's formulas with their constants written out again, never through the generator's own
// helpers or tables, so that a change to any constant of the generator makes a case fail.
//
//   The star model, restated ............ ModelWeight, ModelColour, StyleSpikes
//   Spike weight: falloff, cross-section, sharpness, spread
//   Rainbow amplitude and period
//   Secondary spikes
//   Every style's spikes
//   Visibility minimum at 8, 16 and 32 bits
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

#include "PITypes.h"
#include "ProcessingFixture.h"
#include "effects/StarGenerator.h"
#include "effects/StarTables.h"
#include "params/ParameterBlock.h"
#include "params/ParameterSet.h"
#include "shapes/Shape.h"

namespace {

constexpr double kOne = 4294967294.0;  // 1.0 as a 32-bit fraction
constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------------------------------------
// The star model, restated

// The 42 secondary spikes: angle in tenths of a degree and strength in percent.
struct TableRow {
  int angle;
  int percent;
};
constexpr TableRow kTable[42] = {
    {40, 32},   {110, 17},  {180, 42},  {270, 19},  {340, 16},  {410, 31},  {470, 14},  {550, 24},  {640, 22},  {760, 34},
    {860, 16},  {1000, 20}, {1070, 14}, {1160, 38}, {1250, 16}, {1360, 28}, {1450, 20}, {1520, 21}, {1630, 28}, {1750, 23},
    {1830, 19}, {1890, 26}, {1990, 18}, {2070, 28}, {2150, 21}, {2260, 23}, {2330, 16}, {2460, 31}, {2510, 14}, {2600, 17},
    {2770, 18}, {2840, 16}, {2910, 25}, {2960, 15}, {3020, 18}, {3110, 15}, {3190, 27}, {3220, 14}, {3310, 18}, {3380, 21},
    {3470, 31}, {3520, 20}};

int Wrapped(int64_t tenths) { return int(((tenths % 3600) + 3600) % 3600); }

double PrimaryWidth(int sharpness, double reference) { return (std::pow(sharpness * 0.01, 3.5) + 0.003) * 5000 / reference; }
double SecondaryWidth(int sharpness, double reference) { return (std::pow(sharpness * 0.008, 3.5) + 0.003) * 5000 / reference; }
int SecondaryLength(int length) { return (80 * length + 80) / 100; }
double SecondaryBase(int secondaryIntensity) { return std::trunc(std::round(std::pow(secondaryIntensity * 0.01, 2.8) * kOne) / 100); }
double FullStrength(int intensity) { return double(intensity) * 42949672.0; }

// One spike of a star whose centre lies at quarter pixel (px, py) of its pixel grid.
struct SpikeModel {
  int angle;         // tenths of a degree, 0 up, clockwise
  double strength;   // g, a 32-bit fraction
  double width;      // w, before it is clamped to 1
  int length;        // λ
  int spread;        // Spike Spread, percent
  double reference;  // R, pixels
  int px = 0, py = 0;
};

// The spike's weight at pixel (dx, dy), 0 where it does not show (visibility minimum 0).
double ModelWeight(const SpikeModel& s, int dx, int dy) {
  double sn = std::sin(s.angle * kPi / 1800), cs = std::sin((s.angle + 900) * kPi / 1800);
  double x = 4.0 * dx, y = 4.0 * dy;
  double distance = std::hypot(x - s.px, y - s.py);
  // Distance across the axis, along the scanned column (spikes nearer horizontal) or row.
  bool columns = std::fabs(sn) >= std::fabs(cs);
  double across = columns ? std::fabs(y - (s.py - cs / sn * (x - s.px))) : std::fabs(x - (s.px - sn / cs * (y - s.py)));
  double k = columns ? std::fabs(sn) : std::fabs(cs);
  double falloff = 4 * (std::pow(1 + std::round(distance) * 150 / s.reference, -200.0 / (s.length + 28)) - 7e-6);
  double b = falloff >= 1 ? s.strength : falloff < 0 ? 0.0 : std::trunc(falloff * s.strength);
  double f = std::pow(s.spread * 0.01, 3);
  double w = std::min(s.width, 1.0);
  double widening = f * w * 0.2, dimming = f * 0.0002, halfWidth = 0.5 * w;
  double c = (1 - (across - 1 / k) * halfWidth * k / (1 + distance * widening)) / (1 + distance * dimming);
  if (c <= 0) return 0;
  c = c > 1 ? 1.0 : std::pow(c, 1.6);
  return std::round(std::round(c * kOne) / kOne * b);
}

// The rainbow's colour at a distance from the centre, quarter pixels.
struct Colour {
  double red, green, blue;
};
double Wave(int64_t tenths) { return std::round(0.5 * std::sin(double(tenths % 3600) * kPi / 1800) * kOne + 2147483647.0); }
Colour ModelColour(double distance, double reference, int rainbowIntensity, int rainbowFrequency) {
  int64_t q = int64_t(std::trunc(distance * (3e7 / reference) / double((107 - rainbowFrequency) * (107 - rainbowFrequency))));
  double a = q > 1999 ? rainbowIntensity * 42949672.0 : double(q) * std::trunc(rainbowIntensity * 42949672.0 / 2000);
  return Colour{kOne - std::round(a * Wave(q + 900) / kOne), kOne - std::round(a * Wave(q + 1800) / kOne),
                kOne - std::round(a * Wave(q) / kOne)};
}

double PairFactor(int tenths) {
  switch (Wrapped(tenths) % 40) {
    case 0: return 1.5;
    case 10: return 0.8;
    case 20: return 0.3;
    case 30: return 0.6;
    default: return 1.0;
  }
}

struct ModelSpike {
  int angle;
  double strength;
};

double AsStrength(double f) { return f >= kOne ? kOne : std::trunc(f); }

// The primary spikes of a style for N points at angle A and Intensity I (divisions of whole
// numbers are whole).
std::vector<ModelSpike> StyleSpikes(uint32_t style, int64_t n, int64_t a, int intensity) {
  int64_t t = int64_t(intensity) * 42949672;
  std::vector<ModelSpike> spikes;
  auto add = [&spikes](int64_t angle, double strength) { spikes.push_back(ModelSpike{Wrapped(angle), AsStrength(strength)}); };
  if (style == EFFECT_STANDARD_STAR) {
    for (int64_t i = 0; i < n; ++i) add(a + i * 3600 / n, double(t));
  } else if (style == EFFECT_HOLLYWOOD_STAR) {
    int64_t c = t / 100;
    for (int64_t i = 0; i < n; ++i) {
      int64_t b = a + i * 3600 / n - 14;
      if (i % 2 == 1) {
        add(b + 148 / n, double(t)), add(b + 512 / n, 70.0 * c), add(b + 3120 / n, double(t));
      } else {
        add(b + 524 / n, 70.0 * c), add(b - 84 / n, 25.0 * c), add(b + 3156 / n, double(t)), add(b + 3504 / n, 50.0 * c);
      }
    }
  } else if (style == EFFECT_RELIGIOUS_CROSS) {
    int64_t q = n / 4, r = n % 4, c = (t / 10) * 2;
    int64_t n1 = q + (r == 3) + (r == 2), n2 = q + (r == 2) + (r == 1), n3 = q + (r == 3);
    for (int64_t i = 0; i < n1; ++i) add(a + 1805 - 5 * n1 + 10 * i, double(t));
    for (int64_t i = 0; i < n2; ++i) add(a - 5 * n2 + 5 + 10 * i, double(c));
    for (int64_t j = 0; j < n3; ++j) add(a + 905 - 5 * n3 + 10 * j, double(c));
    for (int64_t j = 0; j < n3; ++j) add(a + 2705 - 5 * n3 + 10 * j, double(c));
  } else if (style == EFFECT_HYPER_STAR) {
    for (int64_t i = 0; i < (n + 1) / 2; ++i) {
      int64_t k = i * 42 / n;
      int64_t m = kTable[k].angle % 3600;
      m = m % 20 != 0 ? m - 50 : m + 50;
      int64_t d = m % 1800;
      int64_t e = d > 900 ? (2 * d - 1800) / 3 : -2 * d / 3;
      double f = double(800 - std::llabs(e)) * (kTable[k].percent - 11) * 0.0002 * double(t);
      int64_t g = a + m + e - d + 900;
      add(g + 60, f), add(g + 1860, f * PairFactor(int(m)));
    }
  } else if (style == EFFECT_NORTH_STAR) {
    for (int64_t i = 0; i < n; ++i) {
      int64_t b = a + i * 3600 / n;
      add(b, double(t)), add(b + 1512 / n, double(t / 4)), add(b + 2088 / n, double(t / 4));
    }
  } else if (style == EFFECT_VECTOR_STAR) {
    for (int64_t i = 0; i < n; ++i) {
      int64_t b = i * 3600 / n, c = b % 1800, d;
      if (c > 1200) {
        double e = double(1800 - c);
        d = b - c + 1800 - int64_t(std::trunc(e * std::pow(e / 600, 1.393)));
      } else {
        d = b - c + int64_t(std::trunc(c * std::pow(c / 1200.0, 0.393)));
      }
      add(a + d + 97, double(t));
    }
  } else if (style == EFFECT_STAR_BURST) {
    for (int64_t i = 0; i < (n + 1) / 2; ++i) {
      int64_t k = i * 42 / n;
      int64_t d = (3600 - kTable[k].angle) % 3600;
      d = d % 20 != 0 ? d - 45 : d + 70;
      double f = (kTable[k].percent - 11) * 0.06 * double(t);
      add(a + d, f), add(a + d + 1800, f * PairFactor(int(d)));
    }
  }
  return spikes;
}

// The pixel nearest to the spike's axis, rho pixels out along it, on the scanned line.
void PixelOnAxis(int angle, double rho, int* dx, int* dy) {
  double sn = std::sin(angle * kPi / 1800), cs = std::sin((angle + 900) * kPi / 1800);
  if (std::fabs(sn) >= std::fabs(cs)) {
    *dx = int(std::lround(rho * sn));
    *dy = int(std::lround(-cs / sn * *dx));
  } else {
    *dy = int(std::lround(-rho * cs));
    *dx = int(std::lround(-sn / cs * *dy));
  }
}

ParameterSet OneSpikeToTheRight() {
  ParameterSet p{};
  p.zoom = 100;
  p.intensity = 80, p.length = 50, p.angle = 900, p.numberOfPoints = 1, p.spikeSharpness = 50;
  p.rainbowIntensity = 0, p.rainbowFrequency = 50, p.secondarySpikeIntensity = 0, p.spikeSpread = 0;
  p.effectType = EFFECT_STANDARD_STAR;
  return p;
}

SpikeModel PrimaryOf(const ParameterSet& p, int angle, double reference) {
  return SpikeModel{angle, FullStrength(p.intensity), PrimaryWidth(p.spikeSharpness, reference), p.length, p.spikeSpread, reference};
}

class StarFormula : public ProcessingFixture {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    m_SavedMode = gEffectRenderMode;
    UseReference(1000.0, 0);
  }
  void TearDown() override {
    DestroyShape(&m_Shape);
    gEffectRenderMode = m_SavedMode;
    InitializeStarTables();
    ProcessingFixture::TearDown();
  }
  // Falloffs are memoised per Length for one reference size, so a new size forgets them.
  void UseReference(double reference, uint32_t visibilityMinimum) {
    gEffectRenderMode = EffectRenderMode{false, reference, reference, visibilityMinimum, false, false, {}, {}};
    InitializeStarTables();
  }
  const SubShape& Star(const ParameterSet& p, int px = 0, int py = 0) {
    DestroyShape(&m_Shape);
    m_Parameters = p;
    EXPECT_TRUE(InitializeShape(&m_Shape, GenerateStarSubShape, &m_Parameters, false));
    SubShape* s = AcquireSubShape(&m_Shape, px, py);
    EXPECT_NE(s, nullptr);
    return s != nullptr ? *s : m_Empty;
  }
  Shape m_Shape{};
  ParameterSet m_Parameters{};
  SubShape m_Empty{};
  EffectRenderMode m_SavedMode{};
};

std::vector<SubShapeEntry> EntriesAt(const SubShape& s, int dx, int dy) {
  std::vector<SubShapeEntry> found;
  for (uint32_t i = 0; i < s.count; ++i) {
    if (s.Entries()[i].dx == dx && s.Entries()[i].dy == dy) found.push_back(s.Entries()[i]);
  }
  return found;
}

// Weights agree to a few units: the generator may round a distance or a power in its last bit.
constexpr double kWeightTolerance = 3;

// The one entry at the pixel carries the model's weight; none where the model shows nothing.
void ExpectWeight(const SubShape& s, const SpikeModel& model, int dx, int dy) {
  SCOPED_TRACE(testing::Message() << "pixel (" << dx << ", " << dy << ")");
  double expected = ModelWeight(model, dx, dy);
  std::vector<SubShapeEntry> found = EntriesAt(s, dx, dy);
  if (expected <= 0) {
    EXPECT_TRUE(found.empty()) << "the model shows nothing here";
    return;
  }
  ASSERT_EQ(found.size(), 1u);
  EXPECT_NEAR(double(found[0].weight), expected, kWeightTolerance);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Spike weight: falloff, cross-section, sharpness, spread

// On the axis of a horizontal spike the cross-section is whole, so the weight is the length
// falloff times the strength; far out the falloff's small offset decides where the spike ends.
TEST_F(StarFormula, OnTheAxisTheWeightIsTheLengthFalloff) {
  ParameterSet p = OneSpikeToTheRight();
  for (int length : {20, 50, 100}) {
    SCOPED_TRACE(testing::Message() << "Length " << length);
    p.length = int16_t(length);
    SpikeModel model = PrimaryOf(p, 900, 1000.0);
    const SubShape& star = Star(p);
    for (int dx : {0, 1, 3, 10, 25, 26, 27, 28, 40, 100, 150}) ExpectWeight(star, model, dx, 0);
    int end = 1;
    while (ModelWeight(model, end, 0) > 0) ++end;
    EXPECT_EQ(star.right, std::min(end, 1001)) << "the spike ends where its falloff reaches nothing";
  }
}

// The falloff runs in units of the reference size: the same Length reaches farther on a larger
// image, and the profile beside the axis is narrower there.
TEST_F(StarFormula, TheFalloffScalesWithTheReferenceSize) {
  ParameterSet p = OneSpikeToTheRight();
  for (double reference : {400.0, 2500.0}) {
    SCOPED_TRACE(testing::Message() << "R " << reference);
    UseReference(reference, 0);
    SpikeModel model = PrimaryOf(p, 900, reference);
    const SubShape& star = Star(p);
    for (int dx : {2, 7, 30, 60}) {
      for (int dy : {0, 1}) ExpectWeight(star, model, dx, dy);
    }
  }
}

// Across the spike the weight follows the power 1.6 of a linear profile whose width comes from
// Spike Sharpness: 0 keeps only the constant part of the width, 30 and 45 bring in the power 3.5.
TEST_F(StarFormula, AcrossTheAxisTheWeightFollowsSharpnessAndTheCrossSectionPower) {
  ParameterSet p = OneSpikeToTheRight();
  p.length = 100;
  for (int sharpness : {0, 30, 45}) {
    SCOPED_TRACE(testing::Message() << "Sharpness " << sharpness);
    p.spikeSharpness = int16_t(sharpness);
    SpikeModel model = PrimaryOf(p, 900, 1000.0);
    const SubShape& star = Star(p);
    int shown = 0;
    for (int dy = -40; dy <= 40; ++dy) {
      ExpectWeight(star, model, 20, dy);
      shown += ModelWeight(model, 20, dy) > 0;
    }
    EXPECT_EQ(EntriesAt(star, 20, 0).size(), 1u);
    EXPECT_GE(shown, 3) << "the column is wider than its axis";
  }
  // The profile's partial values, where the power shows: 1 - 3h for the first pixel off the
  // axis, raised to 1.6 (Sharpness 30 on R 1000: h = 0.5 × ((0.3)^3.5 + 0.003) × 5).
  double h = 0.5 * (std::pow(0.3, 3.5) + 0.003) * 5;
  p.spikeSharpness = 30;
  const SubShape& star = Star(p);
  std::vector<SubShapeEntry> axis = EntriesAt(star, 20, 0), next = EntriesAt(star, 20, 1);
  ASSERT_EQ(axis.size(), 1u);
  ASSERT_EQ(next.size(), 1u);
  EXPECT_NEAR(double(next[0].weight) / axis[0].weight, std::pow(1 - 3 * h, 1.6), 1e-6);
}

// Spikes at other angles: a diagonal (the profile measured along a column is 1/sin wider), one
// scanned row by row, one in an arbitrary direction and a centre off the pixel grid.
TEST_F(StarFormula, SpikesAtAnyAngleAndPhaseFollowTheSameProfile) {
  ParameterSet p = OneSpikeToTheRight();
  p.length = 70;
  p.spikeSharpness = 30;
  struct Case {
    int angle, px, py;
  };
  for (Case c : {Case{450, 0, 0}, Case{300, 0, 0}, Case{1234, 0, 0}, Case{2900, 0, 0}, Case{450, 2, 1}, Case{1234, 3, 2}}) {
    SCOPED_TRACE(testing::Message() << "angle " << c.angle << " phase " << c.px << ", " << c.py);
    p.angle = int16_t(c.angle);
    SpikeModel model = PrimaryOf(p, c.angle, 1000.0);
    model.px = c.px, model.py = c.py;
    const SubShape& star = Star(p, c.px, c.py);
    for (double rho : {6.0, 25.0, 60.0}) {
      int dx, dy;
      PixelOnAxis(c.angle, rho, &dx, &dy);
      for (int across = -3; across <= 3; ++across) {
        bool columns = std::fabs(std::sin(c.angle * kPi / 1800)) >= std::fabs(std::cos(c.angle * kPi / 1800));
        if (columns) {
          ExpectWeight(star, model, dx, dy + across);
        } else {
          ExpectWeight(star, model, dx + across, dy);
        }
      }
    }
  }
}

// Spike Spread widens the spike and dims it with distance.
TEST_F(StarFormula, SpreadWidensAndDimsTheSpikeWithDistance) {
  ParameterSet p = OneSpikeToTheRight();
  p.length = 100;
  p.spikeSharpness = 30;
  for (int spread : {40, 100}) {
    SCOPED_TRACE(testing::Message() << "Spread " << spread);
    p.spikeSpread = int16_t(spread);
    SpikeModel model = PrimaryOf(p, 900, 1000.0);
    const SubShape& star = Star(p);
    for (int dx : {5, 60, 150, 300}) {
      for (int dy = 0; dy <= 12; dy += 3) ExpectWeight(star, model, dx, dy);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Rainbow amplitude and period

// Along the axis the colour runs through the wave with the period the Rainbow Frequency sets,
// its amplitude rising from the centre over the first 2000 units of phase, then constant.
TEST_F(StarFormula, TheRainbowsAmplitudeAndPeriodAlongTheSpike) {
  ParameterSet p = OneSpikeToTheRight();
  p.length = 100;
  p.intensity = 100;
  struct Case {
    int intensity, frequency;
  };
  for (Case c : {Case{100, 57}, Case{37, 57}, Case{80, 0}, Case{64, 100}}) {
    SCOPED_TRACE(testing::Message() << "Rainbow Intensity " << c.intensity << ", Frequency " << c.frequency);
    p.rainbowIntensity = int16_t(c.intensity);
    p.rainbowFrequency = int16_t(c.frequency);
    const SubShape& star = Star(p);
    for (int dx : {0, 1, 5, 12, 20, 41, 42, 75, 100, 137, 150}) {
      SCOPED_TRACE(testing::Message() << "column " << dx);
      std::vector<SubShapeEntry> found = EntriesAt(star, dx, 0);
      ASSERT_EQ(found.size(), 1u);
      Colour expected = ModelColour(4.0 * dx, 1000.0, c.intensity, c.frequency);
      EXPECT_NEAR(double(found[0].red), expected.red, 2);
      EXPECT_NEAR(double(found[0].green), expected.green, 2);
      EXPECT_NEAR(double(found[0].blue), expected.blue, 2);
    }
  }
  // At Frequency 57 the phase grows by 48 a pixel: column 41 is still fading in, column 42 is
  // not, and the two differ by far more than the rounding.
  Colour fading = ModelColour(4.0 * 41, 1000.0, 100, 57), full = ModelColour(4.0 * 42, 1000.0, 100, 57);
  EXPECT_GT(std::fabs(fading.blue - full.blue), 1e6);
  // Off the axis the colour is that of the pixel's own distance.
  p.rainbowIntensity = 100, p.rainbowFrequency = 57, p.spikeSharpness = 20;
  const SubShape& star = Star(p);
  std::vector<SubShapeEntry> off = EntriesAt(star, 30, 3);
  ASSERT_EQ(off.size(), 1u);
  Colour expected = ModelColour(std::hypot(120.0, 12.0), 1000.0, 100, 57);
  EXPECT_NEAR(double(off[0].red), expected.red, 2);
  EXPECT_NEAR(double(off[0].blue), expected.blue, 2);
}

// Colours are worked out once per phase of the wave and reused: every entry of a long spike at an
// angle and a quarter-pixel phase, through several turns of the wave and the fade-in, still has
// the colour of its own distance, and a grey image's entries are grey.
TEST_F(StarFormula, EveryEntrysColourIsTheRainbowOfItsOwnDistance) {
  ParameterSet p = OneSpikeToTheRight();
  p.length = 100, p.intensity = 100, p.angle = 1234, p.spikeSharpness = 10, p.spikeSpread = 60;
  p.rainbowIntensity = 70, p.rainbowFrequency = 90;
  for (bool gray : {false, true}) {
    SCOPED_TRACE(gray ? "grey image" : "colour image");
    gEffectRenderMode.grayImage = gray;
    const SubShape& star = Star(p, 1, 3);
    ASSERT_GT(star.count, 1000u);
    int turnsSeen = 0, mismatches = 0;
    for (uint32_t i = 0; i < star.count; ++i) {
      const SubShapeEntry& e = star.Entries()[i];
      double distance = std::hypot(4.0 * e.dx - 1, 4.0 * e.dy - 3);
      Colour expected = ModelColour(distance, 1000.0, p.rainbowIntensity, p.rainbowFrequency);
      if (gray) expected.green = expected.blue = expected.red;
      bool same = std::fabs(double(e.red) - expected.red) <= 2 && std::fabs(double(e.green) - expected.green) <= 2 &&
                  std::fabs(double(e.blue) - expected.blue) <= 2;
      if (!same && ++mismatches <= 3) ADD_FAILURE() << "entry (" << e.dx << ", " << e.dy << ") has another colour";
      turnsSeen = std::max(turnsSeen, int(distance * (3e7 / 1000.0) / (17.0 * 17.0) / 3600));
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GE(turnsSeen, 3) << "the spike runs through several turns of the wave";
  }
  gEffectRenderMode.grayImage = false;
}

// ---------------------------------------------------------------------------------------------
// Secondary spikes

// A secondary spike turned onto the horizontal: its strength is the table's percentage of the
// Secondary Spike Intensity's base, its width comes from the narrower sharpness and its length
// from four fifths of the Length.
TEST_F(StarFormula, SecondarySpikesTakeTheirStrengthFromTheirSliderAndTheTable) {
  ParameterSet p = OneSpikeToTheRight();
  p.intensity = 0;
  p.spikeSharpness = 60;  // narrow enough that the neighbours in the table stay apart
  struct Case {
    int row, secondary, length;
  };
  for (Case c : {Case{0, 100, 100}, Case{0, 45, 100}, Case{13, 100, 37}, Case{13, 20, 100}, Case{2, 70, 64}}) {
    SCOPED_TRACE(testing::Message() << "row " << c.row << ", Secondary " << c.secondary << ", Length " << c.length);
    p.secondarySpikeIntensity = int16_t(c.secondary);
    p.length = int16_t(c.length);
    p.angle = int16_t(Wrapped(900 - kTable[c.row].angle));
    SpikeModel model{900, SecondaryBase(c.secondary) * kTable[c.row].percent, SecondaryWidth(60, 1000.0), SecondaryLength(c.length), 0,
                     1000.0};
    const SubShape& star = Star(p);
    int shown = 0;
    for (int dx : {40, 90, 130}) {
      for (int dy : {-1, 0, 1}) {
        ExpectWeight(star, model, dx, dy);
        shown += ModelWeight(model, dx, dy) > 0;
      }
    }
    EXPECT_GE(shown, 3);
  }
  p.secondarySpikeIntensity = 0;
  EXPECT_EQ(Star(p).count, 0u);
}

// ---------------------------------------------------------------------------------------------
// Every style's spikes

// Each style's spikes, at pixels on and beside the axis of every spike that lies apart from the
// others: the weights there are those of the style's strength and angle for that spike.
TEST_F(StarFormula, EachStyleGivesEachSpikeItsStrength) {
  struct Case {
    uint32_t style;
    int points, angle;
  };
  // Hyper Star's 8 and 6 points between them take every factor of the second spike of a pair.
  const Case cases[] = {{EFFECT_STANDARD_STAR, 5, 123}, {EFFECT_HOLLYWOOD_STAR, 4, 0}, {EFFECT_HOLLYWOOD_STAR, 3, 200},
                        {EFFECT_RELIGIOUS_CROSS, 4, 50}, {EFFECT_RELIGIOUS_CROSS, 3, 0},  {EFFECT_HYPER_STAR, 8, 0},
                        {EFFECT_HYPER_STAR, 6, 450},     {EFFECT_NORTH_STAR, 4, 100},     {EFFECT_VECTOR_STAR, 5, 0},
                        {EFFECT_VECTOR_STAR, 7, 1300},   {EFFECT_STAR_BURST, 8, 0},       {EFFECT_STAR_BURST, 6, 300}};
  ParameterSet p = OneSpikeToTheRight();
  p.intensity = 10;  // the strongest styles stay below full strength
  p.length = 100;
  p.spikeSharpness = 40;  // a profile partial all across, so that the weights show the angle too
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "style " << c.style << ", " << c.points << " points at " << c.angle);
    p.effectType = c.style;
    p.numberOfPoints = int16_t(c.points);
    p.angle = int16_t(c.angle);
    std::vector<ModelSpike> spikes = StyleSpikes(c.style, c.points, c.angle, p.intensity);
    ASSERT_FALSE(spikes.empty());
    const SubShape& star = Star(p);
    std::set<double> strengths, probed;
    for (const ModelSpike& spike : spikes) {
      strengths.insert(spike.strength);
      int nearest = 3600;
      for (const ModelSpike& other : spikes) {
        if (&other == &spike) continue;
        int apart = std::abs(other.angle - spike.angle);
        nearest = std::min(nearest, std::min(apart, 3600 - apart));
      }
      SCOPED_TRACE(testing::Message() << "spike at " << spike.angle << ", strength " << spike.strength);
      SpikeModel model{spike.angle, spike.strength, PrimaryWidth(40, 1000.0), 100, 0, 1000.0};
      double sn = std::sin(spike.angle * kPi / 1800), cs = std::sin((spike.angle + 900) * kPi / 1800);
      bool columns = std::fabs(sn) >= std::fabs(cs);
      for (double rho : {60.0, 100.0, 140.0}) {
        // Overlapping spikes add their entries at the same pixels: probe where the nearest other
        // spike is well beyond both profiles (each about 2.5 pixels to a side).
        if (rho * std::sin(std::min(nearest, 900) * kPi / 1800) < 7) continue;
        int dx, dy;
        PixelOnAxis(spike.angle, rho, &dx, &dy);
        ASSERT_GT(ModelWeight(model, dx, dy), 0);
        for (int across = -4; across <= 4; ++across) ExpectWeight(star, model, dx + (columns ? 0 : across), dy + (columns ? across : 0));
        probed.insert(spike.strength);
      }
    }
    EXPECT_EQ(probed, strengths) << "every strength of the style is measured on some spike";
  }
}

// The style tables' strengths, worked out by hand for a few spikes, so that the model above is
// itself pinned: Intensity 10 is t = 429496720.
TEST(StarFormulaModel, TheStylesStrengthsForAFewSpikes) {
  auto find = [](const std::vector<ModelSpike>& spikes, int angle) {
    for (const ModelSpike& s : spikes) {
      if (s.angle == angle) return s.strength;
    }
    return -1.0;
  };
  std::vector<ModelSpike> hollywood = StyleSpikes(EFFECT_HOLLYWOOD_STAR, 4, 0, 10);
  EXPECT_EQ(hollywood.size(), 14u);
  EXPECT_EQ(find(hollywood, 775), 429496720.0);     // i = 0: -14 + 3156 / 4
  EXPECT_EQ(find(hollywood, 117), 70 * 4294967.0);  // -14 + 524 / 4
  EXPECT_EQ(find(hollywood, 3565), 25 * 4294967.0);
  EXPECT_EQ(find(hollywood, 862), 50 * 4294967.0);
  std::vector<ModelSpike> cross = StyleSpikes(EFFECT_RELIGIOUS_CROSS, 4, 50, 10);
  EXPECT_EQ(find(cross, 1850), 429496720.0);
  EXPECT_EQ(find(cross, 50), 85899344.0);
  std::vector<ModelSpike> hyperStar = StyleSpikes(EFFECT_HYPER_STAR, 8, 0, 10);
  EXPECT_EQ(find(hyperStar, 900), std::trunc(740 * 21 * 0.0002 * 429496720.0));  // row 0: n = 90, E = -60
  EXPECT_EQ(find(hyperStar, 2700), std::trunc(740 * 21 * 0.0002 * 429496720.0 * 0.8));
  std::vector<ModelSpike> north = StyleSpikes(EFFECT_NORTH_STAR, 4, 100, 10);
  EXPECT_EQ(find(north, 478), 107374180.0);
  std::vector<ModelSpike> vectorStar = StyleSpikes(EFFECT_VECTOR_STAR, 5, 0, 10);
  EXPECT_EQ(find(vectorStar, 686), 429496720.0);  // 720 pulled to 589, plus 97
  std::vector<ModelSpike> burst = StyleSpikes(EFFECT_STAR_BURST, 8, 0, 10);
  EXPECT_EQ(find(burst, 30), std::trunc(21 * 0.06 * 429496720.0));  // row 0: D = 3560 + 70
  EXPECT_EQ(find(burst, 1830), std::trunc(21 * 0.06 * 429496720.0 * 0.6));
}

// ---------------------------------------------------------------------------------------------
// Visibility minimum at 8, 16 and 32 bits

// A final render of an 8-bit image drops every entry of 64 or less, one of 16 or 32 bits keeps
// everything above 0: the 8-bit star is the deeper one without its faintest entries.
TEST_F(StarFormula, TheVisibilityMinimumIs64At8BitsAndNothingDeeper) {
  struct Depth {
    int32_t mode, bytes;
    uint32_t minimum;
  };
  for (Depth d : {Depth{plugInModeRGBColor, 1, 64}, Depth{plugInModeGrayScale, 1, 64}, Depth{plugInModeRGB48, 2, 0},
                  Depth{plugInModeGray16, 2, 0}, Depth{plugInModeRGB96, 4, 0}}) {
    ImageRecord image;
    image.rectangle = ImageRect{10, 20, 310, 420};
    image.mode = d.mode;
    image.bytesPerSample = d.bytes;
    EnterFinalRenderMode(image);
    EXPECT_EQ(gEffectRenderMode.visibilityMinimum, d.minimum) << "mode " << d.mode;
    EXPECT_EQ(gEffectRenderMode.referenceSize, 501.0) << "the diagonal of 300 × 400, plus one";
    EXPECT_FALSE(gEffectRenderMode.preview);
  }

  // Four spikes along the axes: their weights fall off monotonically along and across each of
  // them, so the scans at 8 bits stop exactly where the weights reach the minimum.
  ParameterSet p = OneSpikeToTheRight();
  p.numberOfPoints = 4, p.angle = 0, p.spikeSpread = 50, p.rainbowIntensity = 50;
  ImageRecord image;
  image.rectangle = ImageRect{0, 0, 600, 400};
  image.mode = plugInModeRGB48;
  image.bytesPerSample = 2;
  EnterFinalRenderMode(image);
  InitializeStarTables();
  const SubShape& deep = Star(p);
  std::vector<SubShapeEntry> visibleAt8;
  uint32_t faintest = UINT32_MAX;
  int faint = 0;
  for (uint32_t i = 0; i < deep.count; ++i) {
    const SubShapeEntry& e = deep.Entries()[i];
    faintest = std::min(faintest, e.weight);
    if (e.weight > 64) {
      visibleAt8.push_back(e);
    } else {
      ++faint;
    }
  }
  EXPECT_LE(faintest, 4u) << "at 16 bits the spikes run out to their faintest units";
  EXPECT_GT(faint, 20) << "entries of 64 or less exist to be dropped at 8 bits";
  image.mode = plugInModeRGBColor;
  image.bytesPerSample = 1;
  EnterFinalRenderMode(image);
  const SubShape& shallow = Star(p);
  ASSERT_EQ(shallow.count, visibleAt8.size());
  for (uint32_t i = 0; i < shallow.count; ++i) {
    const SubShapeEntry& a = shallow.Entries()[i];
    const SubShapeEntry& b = visibleAt8[i];
    ASSERT_TRUE(a.dx == b.dx && a.dy == b.dy && a.weight == b.weight && a.red == b.red) << "entry " << i;
  }
}
