// The compact form of the final render against the SubShapeEntry form it replaces: each row must
// hold the same entries in the same order, the colour of each from the star's colour table and
// the weight as the fraction of the entry's, for spikes at every angle, phase and reach, whole
// stars of every style, and the soft flare.
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

constexpr double kInverse = 1.0 / 4294967294.0;

ParameterSet Heavy() {
  ParameterSet p{};
  p.zoom = 100;
  p.intensity = 80, p.length = 100, p.angle = 0, p.numberOfPoints = 32, p.spikeSharpness = 50;
  p.colorSaturation = 30, p.rainbowIntensity = 50, p.rainbowFrequency = 50, p.secondarySpikeIntensity = 40;
  p.softFlareIntensity = 100, p.effectType = EFFECT_STANDARD_STAR, p.quantity = 50, p.spikeSpread = 50;
  return p;
}

struct RowEntry {
  int16_t dx;
  float red, green, blue, weight;
  bool operator==(const RowEntry& o) const {
    return dx == o.dx && red == o.red && green == o.green && blue == o.blue && weight == o.weight;
  }
};
using Rows = std::vector<std::vector<RowEntry>>;

// The reference entries of each row in their order, rows from `top`.
Rows RowsOfEntries(const SubShape& s, int64_t top, int64_t bottom) {
  Rows rows(size_t(bottom - top));
  for (uint32_t i = 0; i < s.count; ++i) {
    const SubShapeEntry& e = s.Entries()[i];
    EXPECT_TRUE(e.dy >= top && e.dy < bottom) << e.dy;
    if (e.dy < top || e.dy >= bottom) continue;
    rows[size_t(e.dy - top)].push_back(
        RowEntry{e.dx, float(e.red * kInverse), float(e.green * kInverse), float(e.blue * kInverse), float(e.weight * kInverse)});
  }
  return rows;
}

Rows RowsOfCompact(const SubShape& s, int64_t top, int64_t bottom) {
  Rows rows(size_t(bottom - top));
  const CompactRows& compact = s.compact;
  EXPECT_LE(compact.top, top);
  EXPECT_GE(compact.bottom, bottom);
  for (int64_t dy = std::max(top, compact.top); dy < std::min(bottom, compact.bottom); ++dy) {
    for (const EntryChunk* chunk = compact.Chain(dy).first; chunk != nullptr; chunk = chunk->next) {
      for (uint32_t i = 0; i < chunk->count; ++i) {
        const CompactEntry& e = chunk->entries[i];
        const float* colour = compact.colours + 4 * e.colour;
        rows[size_t(dy - top)].push_back(RowEntry{e.dx, colour[0], colour[1], colour[2], e.weight});
      }
    }
  }
  return rows;
}

// Both forms of a SubShape agree: the same count and bounds and, row by row, the same entries.
void ExpectSameRows(const SubShape& reference, const SubShape& compact, const char* what) {
  ASSERT_TRUE(compact.IsCompact()) << what;
  ASSERT_EQ(reference.count, compact.count) << what;
  if (reference.count == 0) return;
  EXPECT_EQ(reference.left, compact.left) << what;
  EXPECT_EQ(reference.right, compact.right) << what;
  EXPECT_EQ(reference.top, compact.top) << what;
  EXPECT_EQ(reference.bottom, compact.bottom) << what;
  Rows a = RowsOfEntries(reference, reference.top, reference.bottom), b = RowsOfCompact(compact, reference.top, reference.bottom);
  for (size_t r = 0; r < a.size(); ++r) {
    ASSERT_EQ(a[r].size(), b[r].size()) << what << ", row " << reference.top + int64_t(r);
    for (size_t i = 0; i < a[r].size(); ++i) {
      ASSERT_TRUE(a[r][i] == b[r][i]) << what << ", row " << reference.top + int64_t(r) << ", entry " << i;
    }
  }
}

class CompactStar : public ProcessingFixture {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    InitializeStarTables();
    gEffectRenderMode = EffectRenderMode{false, 300.0, 300.0, 64, false, false, {}, {}};
    PrepareCompactStarColours(m_Parameters);
  }
  void TearDown() override {
    DestroyShape(&m_Reference);
    DestroyShape(&m_Compact);
    gEffectRenderMode.reachKnown = false;
    UseLineScans(true);
    ReleasePooledEntrySlabs();
    ProcessingFixture::TearDown();
  }
  // Both generators' SubShape of the phase.
  void Generate(ShapeGenerator reference, ShapeGenerator compact, bool singlePhase, int px, int py) {
    DestroyShape(&m_Reference);
    DestroyShape(&m_Compact);
    PrepareCompactStarColours(m_Parameters);
    ASSERT_TRUE(InitializeShape(&m_Reference, reference, &m_Parameters, singlePhase));
    ASSERT_TRUE(InitializeShape(&m_Compact, compact, &m_Parameters, singlePhase));
    m_ReferencePhase = AcquireSubShape(&m_Reference, px, py);
    m_CompactPhase = AcquireSubShape(&m_Compact, px, py);
    ASSERT_NE(m_ReferencePhase, nullptr);
    ASSERT_NE(m_CompactPhase, nullptr);
  }
  void SetReach(const ShapeReach& reach) {
    gEffectRenderMode.reachKnown = true;
    for (auto& column : gEffectRenderMode.starReach) {
      for (ShapeReach& r : column) r = reach;
    }
    gEffectRenderMode.softFlareReach = reach;
  }
  ParameterSet m_Parameters = Heavy();
  Shape m_Reference{}, m_Compact{};
  SubShape* m_ReferencePhase = nullptr;
  SubShape* m_CompactPhase = nullptr;
};

const ShapeReach kReaches[] = {kUnboundedReach, {-40, -30, 260, 170}, {-290, -5, 10, 195}, {30, 40, 120, 90}, {-3, -3, 4, 4}};

}  // namespace

// Every angle's way of scanning (columns or rows, either direction, the horizontal fast path at
// phase (0, 0)), with and without a rainbow, the lines scanned eight points at a time (where the
// processor can) and point by point.
TEST_F(CompactStar, ASpikeHasTheEntriesOfEachRowInTheirOrder) {
  const int angles[] = {0, 300, 450, 600, 900, 1234, 1800, 2250, 2700, 3300, 3599};
  const int phases[][2] = {{0, 0}, {1, 3}, {3, 2}};
  for (int rainbow : {50, 0, -1}) {
    UseLineScans(rainbow >= 0);
    if (rainbow < 0) rainbow = 50;
    m_Parameters.rainbowIntensity = int16_t(rainbow);
    PrepareCompactStarColours(m_Parameters);
    for (const ShapeReach& reach : kReaches) {
      for (int angle : angles) {
        for (const auto& phase : phases) {
          SpikeRequest spike{angle, 0.02, 100, 80, 0xC0000000u};
          SubShape reference{}, compact{};
          ASSERT_TRUE(DrawSpikeWithin(&reference, phase[0], phase[1], spike, m_Parameters, reach));
          ASSERT_TRUE(StartCompactRows(&compact.compact, -301, 302, CompactStarColours()));
          ASSERT_TRUE(DrawCompactSpikeWithin(&compact, phase[0], phase[1], spike, m_Parameters, reach));
          std::string what = "angle " + std::to_string(angle) + ", phase " + std::to_string(phase[0]) + std::to_string(phase[1]) +
                             ", rainbow " + std::to_string(rainbow) + ", reach left " + std::to_string(reach.left) +
                             (LineScansAvailable() ? ", by eights" : ", point by point");
          ExpectSameRows(reference, compact, what.c_str());
          if (reach.left == kUnboundedReach.left) {
            EXPECT_GT(reference.count, 100u) << what;
          }
          ReleaseSubShape(&reference);
          ReleaseSubShape(&compact);
        }
      }
    }
  }
}

TEST_F(CompactStar, EveryStyleGivesTheReferenceStarsRows) {
  const uint32_t styles[] = {EFFECT_STANDARD_STAR, EFFECT_HOLLYWOOD_STAR, EFFECT_RELIGIOUS_CROSS, EFFECT_HYPER_STAR,
                             EFFECT_NORTH_STAR,    EFFECT_VECTOR_STAR,    EFFECT_STAR_BURST};
  for (uint32_t style : styles) {
    m_Parameters.effectType = style;
    m_Parameters.numberOfPoints = 7;
    Generate(GenerateStarSubShape, GenerateCompactStarSubShape, false, 2, 1);
    ExpectSameRows(*m_ReferencePhase, *m_CompactPhase, "style");
    EXPECT_GT(m_ReferencePhase->count, 1000u);
  }
}

// Grey images' stars are grey; the colour table follows the render mode.
TEST_F(CompactStar, AGreyImagesStarAndAWhiteOneAgreeToo) {
  gEffectRenderMode.grayImage = true;
  Generate(GenerateStarSubShape, GenerateCompactStarSubShape, false, 1, 1);
  ExpectSameRows(*m_ReferencePhase, *m_CompactPhase, "grey");
  gEffectRenderMode.grayImage = false;
  m_Parameters.rainbowIntensity = 0;
  m_Parameters.secondarySpikeIntensity = 0;
  Generate(GenerateStarSubShape, GenerateCompactStarSubShape, false, 3, 0);
  ExpectSameRows(*m_ReferencePhase, *m_CompactPhase, "white");
}

TEST_F(CompactStar, AStarCutToItsReachKeepsTheReferenceRowsAndStartsOnlyThoseRows) {
  for (const ShapeReach& reach : kReaches) {
    SetReach(reach);
    Generate(GenerateStarSubShape, GenerateCompactStarSubShape, false, 0, 2);
    ExpectSameRows(*m_ReferencePhase, *m_CompactPhase, "reach");
    if (reach.top > kUnboundedReach.top) {
      EXPECT_EQ(m_CompactPhase->compact.top, reach.top);
      EXPECT_EQ(m_CompactPhase->compact.bottom, reach.bottom);
    }
  }
}

TEST_F(CompactStar, TheSoftFlareHasTheReferenceRowsAndIsWhite) {
  for (const ShapeReach& reach : {kUnboundedReach, ShapeReach{-40, -30, 260, 170}}) {
    SetReach(reach);
    Generate(GenerateSoftFlareSubShape, GenerateCompactSoftFlareSubShape, true, 0, 0);
    ExpectSameRows(*m_ReferencePhase, *m_CompactPhase, "soft flare");
    EXPECT_GT(m_ReferencePhase->count, 1000u);
  }
  m_Parameters.softFlareIntensity = 0;
  Generate(GenerateSoftFlareSubShape, GenerateCompactSoftFlareSubShape, true, 0, 0);
  EXPECT_EQ(m_CompactPhase->count, 0u);
}

// Out of memory part-way: the star keeps what it drew and says so, as the reference does; the
// soft flare keeps nothing and is not ready.
TEST_F(CompactStar, RunningOutOfMemoryFailsTheGeneration) {
  DestroyShape(&m_Compact);
  ASSERT_TRUE(InitializeShape(&m_Compact, GenerateCompactStarSubShape, &m_Parameters, false));
  FailBufferAllocationsAfter(2, 1);  // the rows and their first slab
  SubShape* star = AcquireSubShape(&m_Compact, 1, 2);
  FailNextBufferAllocations(0);
  EXPECT_EQ(star, nullptr);
  EXPECT_TRUE(SubShapeIsReady(m_Compact.subshapes[1][2]));
  EXPECT_GT(m_Compact.subshapes[1][2].count, 0u) << "what was drawn stays";
  DestroyShape(&m_Compact);
  ReleasePooledEntrySlabs();  // the star's slabs would serve the flare without an allocation
  ASSERT_TRUE(InitializeShape(&m_Compact, GenerateCompactSoftFlareSubShape, &m_Parameters, true));
  FailBufferAllocationsAfter(1, 1);  // the rows, not their first slab
  EXPECT_EQ(AcquireSubShape(&m_Compact, 0, 0), nullptr);
  FailNextBufferAllocations(0);
  EXPECT_FALSE(SubShapeIsReady(m_Compact.subshapes[0][0]));
  EXPECT_EQ(m_Compact.subshapes[0][0].count, 0u);
  EXPECT_FALSE(m_Compact.subshapes[0][0].IsCompact());
}
