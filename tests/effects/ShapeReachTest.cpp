// Shapes generated only as far as their light sources meet the image: what is stored must be
// exactly the whole shape's entries inside the reach, in the same order, at every angle, phase
// and reach, the reach's own edges included.
#include <gtest/gtest.h>

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

ParameterSet Heavy() {
  ParameterSet p{};
  p.zoom = 100;
  p.intensity = 80, p.length = 100, p.angle = 0, p.numberOfPoints = 32, p.spikeSharpness = 50;
  p.colorSaturation = 30, p.rainbowIntensity = 50, p.rainbowFrequency = 50, p.secondarySpikeIntensity = 40;
  p.softFlareIntensity = 100, p.effectType = EFFECT_STANDARD_STAR, p.quantity = 50, p.spikeSpread = 50;
  return p;
}

std::vector<SubShapeEntry> EntriesOf(const SubShape& s) { return std::vector<SubShapeEntry>(s.Entries(), s.Entries() + s.count); }

std::vector<SubShapeEntry> Inside(const std::vector<SubShapeEntry>& all, const ShapeReach& reach) {
  std::vector<SubShapeEntry> kept;
  for (const SubShapeEntry& e : all) {
    if (reach.Holds(e.dx, e.dy)) kept.push_back(e);
  }
  return kept;
}

bool SameEntries(const std::vector<SubShapeEntry>& a, const std::vector<SubShapeEntry>& b) {
  return a.size() == b.size() && (a.empty() || memcmp(a.data(), b.data(), a.size() * sizeof(SubShapeEntry)) == 0);
}

class ShapeReachTest : public ProcessingFixture {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    InitializeStarTables();
    gEffectRenderMode = EffectRenderMode{false, 300.0, 300.0, 64, false, false, {}, {}};
  }
  void TearDown() override {
    DestroyShape(&m_Shape);
    gEffectRenderMode.reachKnown = false;
    ProcessingFixture::TearDown();
  }
  std::vector<SubShapeEntry> Spike(int px, int py, const SpikeRequest& spike, const ShapeReach& reach, bool fastPath) {
    SubShape s{};
    EXPECT_TRUE(DrawSpikeWithin(&s, px, py, spike, m_Parameters, reach, fastPath));
    std::vector<SubShapeEntry> entries = EntriesOf(s);
    DeallocateBuffer(&s.entries);
    return entries;
  }
  std::vector<SubShapeEntry> Generated(ShapeGenerator generator, bool singlePhase, int px, int py) {
    DestroyShape(&m_Shape);
    EXPECT_TRUE(InitializeShape(&m_Shape, generator, &m_Parameters, singlePhase));
    SubShape* s = AcquireSubShape(&m_Shape, px, py);
    EXPECT_NE(s, nullptr);
    return s == nullptr ? std::vector<SubShapeEntry>{} : EntriesOf(*s);
  }
  Shape m_Shape{};
  ParameterSet m_Parameters = Heavy();
};

// Reaches of a light in a corner, in the middle, near an edge, and one that leaves a spike's
// axis far outside (the scan must still walk back in to find the entries inside).
const ShapeReach kReaches[] = {{-40, -30, 260, 170}, {-150, -100, 150, 100}, {-290, -5, 10, 195}, {30, 40, 120, 90}, {-3, -3, 4, 4}};

}  // namespace

TEST_F(ShapeReachTest, ASpikeWithinAReachIsTheWholeSpikesEntriesInsideIt) {
  const int angles[] = {0, 300, 450, 600, 900, 1234, 1800, 2250, 2700, 3300, 3599};
  const int phases[][2] = {{0, 0}, {1, 3}, {3, 2}, {2, 0}};
  int cut = 0;
  for (int angle : angles) {
    for (const auto& phase : phases) {
      SpikeRequest spike{angle, 0.3, 100, 80, 0xC0000000u};
      std::vector<SubShapeEntry> whole = Spike(phase[0], phase[1], spike, kUnboundedReach, true);
      ASSERT_GT(whole.size(), 1000u) << angle;
      for (const ShapeReach& reach : kReaches) {
        for (bool fast : {true, false}) {
          std::vector<SubShapeEntry> within = Spike(phase[0], phase[1], spike, reach, fast);
          std::vector<SubShapeEntry> expected = Inside(whole, reach);
          EXPECT_TRUE(SameEntries(within, expected)) << "angle " << angle << ", phase " << phase[0] << "," << phase[1] << ", reach "
                                                      << reach.left << "," << reach.top << " fast " << fast << ": " << within.size()
                                                      << " entries for " << expected.size();
          cut += int(whole.size() - within.size());
        }
      }
    }
  }
  EXPECT_GT(cut, 0) << "the reaches cut something";
}

// The entries on the reach's first and last columns and rows are kept, the ones just past them not.
TEST_F(ShapeReachTest, TheReachsEdgesAreKeptAndNothingPastThem) {
  SpikeRequest right{900, 0.6, 100, 90, 0xF0000000u};
  std::vector<SubShapeEntry> whole = Spike(0, 0, right, kUnboundedReach, true);
  ShapeReach reach{-5, -2, 120, 3};
  std::vector<SubShapeEntry> within = Spike(0, 0, right, reach, true);
  auto has = [&within](int dx, int dy) {
    for (const SubShapeEntry& e : within) {
      if (e.dx == dx && e.dy == dy) return true;
    }
    return false;
  };
  auto wholeHas = [&whole](int dx, int dy) {
    for (const SubShapeEntry& e : whole) {
      if (e.dx == dx && e.dy == dy) return true;
    }
    return false;
  };
  ASSERT_TRUE(wholeHas(119, 2) && wholeHas(119, -2) && wholeHas(120, 0) && wholeHas(119, 3)) << "the spike passes the reach";
  EXPECT_TRUE(has(119, 2));
  EXPECT_TRUE(has(119, -2));
  EXPECT_TRUE(has(0, 0));
  EXPECT_FALSE(has(120, 0));
  EXPECT_FALSE(has(119, 3));
  EXPECT_FALSE(has(119, -3));
}

TEST_F(ShapeReachTest, AStarOfAPhaseIsTheWholeStarInsideItsReach) {
  const ShapeReach reach{-60, -250, 90, 20};
  std::vector<SubShapeEntry> whole = Generated(GenerateStarSubShape, false, 2, 1);
  gEffectRenderMode.reachKnown = true;
  gEffectRenderMode.starReach[2][1] = reach;
  std::vector<SubShapeEntry> within = Generated(GenerateStarSubShape, false, 2, 1);
  EXPECT_LT(within.size(), whole.size());
  EXPECT_TRUE(SameEntries(within, Inside(whole, reach))) << within.size() << " entries for " << Inside(whole, reach).size();
  // The preview's shapes are never bounded.
  gEffectRenderMode.preview = true;
  EXPECT_TRUE(SameEntries(Generated(GenerateStarSubShape, false, 2, 1), whole));
}

TEST_F(ShapeReachTest, TheSoftFlareIsTheWholeFlareInsideItsReach) {
  std::vector<SubShapeEntry> whole = Generated(GenerateSoftFlareSubShape, true, 0, 0);
  ASSERT_GT(whole.size(), 1000u);
  for (const ShapeReach& reach : kReaches) {
    gEffectRenderMode.reachKnown = true;
    gEffectRenderMode.softFlareReach = reach;
    std::vector<SubShapeEntry> within = Generated(GenerateSoftFlareSubShape, true, 0, 0);
    EXPECT_TRUE(SameEntries(within, Inside(whole, reach))) << reach.left << "," << reach.top;
  }
  gEffectRenderMode.softFlareReach = ShapeReach{5000, 5000, 5001, 5001};
  EXPECT_TRUE(Generated(GenerateSoftFlareSubShape, true, 0, 0).empty()) << "a reach no ring meets holds nothing";
}
