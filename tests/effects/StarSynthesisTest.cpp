// Star and soft-flare synthesis, judged by what the shapes contain: where their light goes
// (angular energy around the centre), their colours and their extent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "ProcessingFixture.h"
#include "effects/SpikeDrawing.h"
#include "effects/StarGenerator.h"
#include "effects/StarTables.h"
#include "params/ParameterBlock.h"
#include "params/ParameterSet.h"
#include "shapes/Shape.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

ParameterSet Defaults() {
  ParameterSet p{};
  p.zoom = 100;
  p.intensity = 50, p.length = 50, p.angle = 0, p.numberOfPoints = 6, p.spikeSharpness = 50;
  p.colorSaturation = 30, p.rainbowIntensity = 50, p.rainbowFrequency = 50, p.secondarySpikeIntensity = 0;
  p.softFlareIntensity = 30, p.effectType = EFFECT_STANDARD_STAR, p.quantity = 50, p.spikeSpread = 50;
  return p;
}

class StarSynthesis : public ProcessingFixture {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    InitializeStarTables();
    gEffectRenderMode = EffectRenderMode{false, 1000.0, 1000.0, 0, false, false, {}, {}};
  }
  void TearDown() override {
    DestroyShape(&m_Shape);
    ProcessingFixture::TearDown();
  }
  // The star SubShape of a phase for the parameters.
  const SubShape& Star(const ParameterSet& p, int px = 0, int py = 0) {
    DestroyShape(&m_Shape);
    m_Parameters = p;
    EXPECT_TRUE(InitializeShape(&m_Shape, GenerateStarSubShape, &m_Parameters, false));
    SubShape* s = AcquireSubShape(&m_Shape, px, py);
    EXPECT_NE(s, nullptr);
    return *s;
  }
  const SubShape& SoftFlare(const ParameterSet& p) {
    DestroyShape(&m_Shape);
    m_Parameters = p;
    EXPECT_TRUE(InitializeShape(&m_Shape, GenerateSoftFlareSubShape, &m_Parameters, true));
    SubShape* s = AcquireSubShape(&m_Shape, 0, 0);
    EXPECT_NE(s, nullptr);
    return *s;
  }
  Shape m_Shape{};
  ParameterSet m_Parameters{};
};

// The light of the entries `nearest` to 40 pixels out whose direction (0° up, clockwise) lies within
// `window` degrees of the given one.
double EnergyAt(const SubShape& s, double degrees, double window = 1.0, double nearest = 8) {
  double energy = 0;
  for (uint32_t i = 0; i < s.count; ++i) {
    const SubShapeEntry& e = s.Entries()[i];
    double d = std::hypot(e.dx, e.dy);
    if (d < nearest || d > 40) continue;
    double angle = std::atan2(double(e.dx), double(-e.dy)) * 180 / kPi;
    double difference = std::fabs(std::remainder(angle - degrees, 360.0));
    if (difference <= window) energy += e.weight / 4294967294.0;
  }
  return energy;
}

// The strongest direction's energy, for relative comparisons.
double PeakEnergy(const SubShape& s) {
  double peak = 0;
  for (int tenth = 0; tenth < 3600; tenth += 5) peak = std::max(peak, EnergyAt(s, tenth / 10.0, 0.5));
  return peak;
}

void ExpectSpikesAt(const SubShape& s, std::initializer_list<double> strong, std::initializer_list<double> dark) {
  double peak = PeakEnergy(s);
  ASSERT_GT(peak, 0);
  for (double a : strong) EXPECT_GT(EnergyAt(s, a), 0.1 * peak) << "a spike at " << a << " degrees";
  for (double a : dark) EXPECT_LT(EnergyAt(s, a), 0.02 * peak) << "no spike at " << a << " degrees";
}

}  // namespace

TEST_F(StarSynthesis, LengthZeroGivesAnEmptyStarAndNoSoftFlare) {
  ParameterSet p = Defaults();
  p.length = 0;
  p.secondarySpikeIntensity = 80;
  const SubShape& star = Star(p);
  EXPECT_EQ(star.count, 0u);
  EXPECT_TRUE(SubShapeIsReady(star));
  EXPECT_EQ(SoftFlare(p).count, 0u);
  p.length = 50;
  p.softFlareIntensity = 0;
  EXPECT_EQ(SoftFlare(p).count, 0u);
}

TEST_F(StarSynthesis, OnePointWithStandardStarPointsAtTheAngle) {
  ParameterSet p = Defaults();
  p.numberOfPoints = 1;
  ExpectSpikesAt(Star(p), {0}, {90, 180, 270, 45});
  p.angle = 900;
  ExpectSpikesAt(Star(p), {90}, {0, 180, 270});
  p.angle = -450;  // negative angles wrap: 315 degrees
  ExpectSpikesAt(Star(p), {315}, {45, 135, 225});
}

TEST_F(StarSynthesis, IntensityZeroWithSecondarySpikesDrawsOnlyTheFortyTwoOfTheTable) {
  ParameterSet p = Defaults();
  p.intensity = 0;
  p.secondarySpikeIntensity = 100;
  p.spikeSharpness = 100;  // narrow, so that neighbours in the table stay apart
  const SubShape& s = Star(p);
  ASSERT_GT(s.count, 0u);
  double weakest = 1e30;
  // Far enough out that neighbouring spikes a few degrees apart fall on different pixels.
  for (const SpikeTableRow& row : kSpikeTable) weakest = std::min(weakest, EnergyAt(s, row.angle / 10.0, 0.6, 25));
  EXPECT_GT(weakest, 0) << "every one of the 42 spikes is there";
  // Directions midway between the table's angles, where a primary spike would be, stay dark.
  for (double a : {70.0, 93.0, 120.5, 203.0, 239.5}) EXPECT_LT(EnergyAt(s, a, 0.6, 25), 0.25 * weakest) << a;
  p.secondarySpikeIntensity = 0;
  EXPECT_EQ(Star(p).count, 0u);
}

TEST_F(StarSynthesis, EachStyleSendsItsLightWhereItsDesignSays) {
  ParameterSet p = Defaults();
  p.numberOfPoints = 4;
  p.spikeSharpness = 90;
  p.effectType = EFFECT_STANDARD_STAR;
  ExpectSpikesAt(Star(p), {0, 90, 180, 270}, {45, 135, 225, 315});
  p.effectType = EFFECT_NORTH_STAR;  // each point flanked by two quarter-strength spikes
  ExpectSpikesAt(Star(p), {0, 90, 180, 270, 37.8, 52.2, 127.8, 142.2}, {20, 70, 110, 160});
  p.effectType = EFFECT_VECTOR_STAR;  // points pulled toward the vertical
  ExpectSpikesAt(Star(p), {9.7, 90, 189.7, 270}, {0, 45, 180, 135});
  p.effectType = EFFECT_HOLLYWOOD_STAR;  // full-strength pairs either side of the axes
  ExpectSpikesAt(Star(p), {77.5, 92.3, 166.6, 257.5, 272.3, 346.6}, {45, 135, 225, 315});
  p.effectType = EFFECT_HYPER_STAR;
  ExpectSpikesAt(Star(p), {90, 270, 96.6}, {0, 180, 45, 135});
  p.effectType = EFFECT_STAR_BURST;
  ExpectSpikesAt(Star(p), {3, 183, 281}, {90, 270, 45});
}

TEST_F(StarSynthesis, TheReligiousCrossHasALongLowerArm) {
  ParameterSet p = Defaults();
  p.effectType = EFFECT_RELIGIOUS_CROSS;
  p.spikeSharpness = 90;
  p.numberOfPoints = 4;
  const SubShape& four = Star(p);
  double down4 = EnergyAt(four, 180, 2), up4 = EnergyAt(four, 0, 2), left4 = EnergyAt(four, 270, 2);
  EXPECT_GT(down4, 3 * up4) << "the long arm is the full-strength one";
  EXPECT_GT(up4, 0);
  EXPECT_NEAR(left4, up4, 0.1 * up4);
  EXPECT_LT(EnergyAt(four, 45, 2), 0.01 * down4);
  p.numberOfPoints = 6;  // two spikes down, two up, one each side
  const SubShape& six = Star(p);
  EXPECT_NEAR(EnergyAt(six, 180, 2), 2 * down4, 0.25 * down4);
  EXPECT_NEAR(EnergyAt(six, 0, 2), 2 * up4, 0.25 * up4);
  EXPECT_NEAR(EnergyAt(six, 270, 2), left4, 0.1 * left4);
  EXPECT_NEAR(EnergyAt(six, 90, 2), left4, 0.1 * left4);
}

TEST_F(StarSynthesis, RainbowIntensityZeroGivesWhiteSpikesAndGreyImagesGreyOnes) {
  ParameterSet p = Defaults();
  p.rainbowIntensity = 0;
  const SubShape& white = Star(p);
  ASSERT_GT(white.count, 0u);
  for (uint32_t i = 0; i < white.count; ++i) {
    ASSERT_EQ(white.Entries()[i].red, kFullFraction);
    ASSERT_EQ(white.Entries()[i].blue, kFullFraction);
  }
  p.rainbowIntensity = 100;
  const SubShape& rainbow = Star(p);
  int coloured = 0;
  for (uint32_t i = 0; i < rainbow.count; ++i) coloured += rainbow.Entries()[i].red != rainbow.Entries()[i].blue;
  EXPECT_GT(coloured, int(rainbow.count) / 4);
  // The rainbow fades in from the centre: the centre pixel keeps white.
  for (uint32_t i = 0; i < rainbow.count; ++i) {
    const SubShapeEntry& e = rainbow.Entries()[i];
    if (e.dx == 0 && e.dy == 0) {
      EXPECT_EQ(e.red, e.blue);
    }
  }
  gEffectRenderMode.grayImage = true;
  const SubShape& grey = Star(p);
  for (uint32_t i = 0; i < grey.count; ++i) {
    ASSERT_EQ(grey.Entries()[i].red, grey.Entries()[i].green);
    ASSERT_EQ(grey.Entries()[i].red, grey.Entries()[i].blue);
  }
}

TEST_F(StarSynthesis, SharpnessNearOneHundredOnASmallImageClampsTheWidth) {
  gEffectRenderMode.referenceSize = 50;
  ParameterSet p = Defaults();
  p.spikeSharpness = 100;
  const SubShape& sharpest = Star(p);
  std::vector<SubShapeEntry> first(sharpest.Entries(), sharpest.Entries() + sharpest.count);
  ASSERT_FALSE(first.empty());
  p.spikeSharpness = 90;
  const SubShape& sharp = Star(p);
  ASSERT_EQ(sharp.count, first.size());
  EXPECT_EQ(memcmp(sharp.Entries(), first.data(), first.size() * sizeof(SubShapeEntry)), 0);
}

TEST_F(StarSynthesis, TheHorizontalFastPathGivesTheGeneralPathsEntries) {
  ParameterSet p = Defaults();
  for (int spread : {0, 50, 100}) {
    p.spikeSpread = int16_t(spread);
    SubShape fast{}, general{};
    SpikeRequest spike{900, 0.3, 60, 80, 0xC0000000u};
    ASSERT_TRUE(DrawSpike(&fast, 0, 0, spike, p));
    ASSERT_TRUE(DrawSpikeGeneral(&general, 0, 0, spike, p));
    ASSERT_GT(fast.count, 100u);
    ASSERT_EQ(fast.count, general.count) << "spread " << spread;
    EXPECT_EQ(memcmp(fast.Entries(), general.Entries(), fast.count * sizeof(SubShapeEntry)), 0) << "spread " << spread;
    DeallocateBuffer(&fast.entries);
    DeallocateBuffer(&general.entries);
  }
}

TEST_F(StarSynthesis, SpikesAreSymmetricAcrossTheirAxisAndFadeWithDistance) {
  ParameterSet p = Defaults();
  SubShape up{};
  ASSERT_TRUE(DrawSpikeGeneral(&up, 0, 0, SpikeRequest{0, 0.3, 60, 80, 0xC0000000u}, p));
  // Mirror images left and right of the vertical axis carry the same weight.
  auto weightAt = [&up](int dx, int dy) {
    for (uint32_t i = 0; i < up.count; ++i) {
      if (up.Entries()[i].dx == dx && up.Entries()[i].dy == dy) return up.Entries()[i].weight;
    }
    return 0u;
  };
  EXPECT_GT(weightAt(0, -5), 0u);
  EXPECT_EQ(weightAt(1, -5), weightAt(-1, -5));
  EXPECT_GT(weightAt(0, -5), weightAt(0, -30));
  EXPECT_EQ(weightAt(0, 5), 0u) << "a spike goes one way only";
  DeallocateBuffer(&up.entries);
}

TEST_F(StarSynthesis, TheSoftFlareIsRoundAndFadesOut) {
  ParameterSet p = Defaults();
  p.softFlareIntensity = 100;
  p.length = 80;
  const SubShape& flare = SoftFlare(p);
  ASSERT_GT(flare.count, 9u);
  const SubShapeEntry* centre = std::find_if(flare.Entries(), flare.Entries() + flare.count,
                                             [](const SubShapeEntry& e) { return e.dx == 0 && e.dy == 0; });
  ASSERT_NE(centre, flare.Entries() + flare.count);
  EXPECT_EQ(centre->weight, 67043324u);
  EXPECT_EQ(flare.left, -(flare.right - 1));
  EXPECT_EQ(flare.top, flare.left);
  // Eight-fold symmetric: every entry has its mirror images with the same weight.
  std::vector<std::vector<uint32_t>> grid(size_t(2 * flare.right + 1), std::vector<uint32_t>(size_t(2 * flare.right + 1), 0));
  for (uint32_t i = 0; i < flare.count; ++i) {
    const SubShapeEntry& e = flare.Entries()[i];
    grid[size_t(e.dx + flare.right)][size_t(e.dy + flare.right)] = e.weight;
  }
  for (int x = flare.left; x < flare.right; ++x) {
    for (int y = flare.left; y < flare.right; ++y) {
      uint32_t w = grid[size_t(x + flare.right)][size_t(y + flare.right)];
      EXPECT_EQ(w, grid[size_t(y + flare.right)][size_t(-x + flare.right)]);
      EXPECT_EQ(w, grid[size_t(-x + flare.right)][size_t(y + flare.right)]);
    }
  }
  EXPECT_GT(grid[size_t(flare.right + 1)][size_t(flare.right)], grid[size_t(flare.right + 5)][size_t(flare.right)]);
  // A shorter Length makes the glow smaller.
  p.length = 20;
  int32_t wide = flare.right;
  EXPECT_LT(SoftFlare(p).right, wide);
}

// The cross-section's power is tabled: it must agree with the library's everywhere a weight can
// come of it, across every step of its mantissa table and every binary exponent.
TEST(CrossSection, PowerAgreesWithTheLibraryWhereverAWeightCanComeOfIt) {
  for (int exponent = -40; exponent < 0; ++exponent) {
    for (int step = 0; step < 128; ++step) {
      for (double within : {0.0, 0.3, 0.5, 0.999}) {
        double x = std::ldexp(1.0 + (step + within) / 128.0, exponent);
        double expected = std::pow(x, 1.6);
        ASSERT_NEAR(CrossSectionPower(x), expected, expected * 1e-12) << x;
      }
    }
  }
  EXPECT_EQ(CrossSectionPower(1.0), 1.0);
  EXPECT_EQ(CrossSectionPower(0.0), 0.0);
  // Below 2^-40 the power times a full 32-bit fraction is far below half a unit.
  EXPECT_EQ(CrossSectionPower(std::ldexp(1.0, -41)), 0.0);
  EXPECT_LT(std::pow(std::ldexp(1.0, -40), 1.6) * 4294967294.0, 0.5);
}
