// Neighbouring candidates walked together against each walked alone over the same brightness
// plane, candidate by candidate and to the bit, on textured plateaus in both passes: groups at
// every alignment, at the borders, and with lanes left out; and the bounds by which the lanes pick
// out their possible edges against the edge test itself.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ProcessingFixture.h"
#include "analysis/Measure.h"
#include "analysis/RadialWalkGroup.h"
#include "analysis/WalkArithmetic.h"
#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "core/EightBitPixels.h"
#include "support/TexturedPlateaus.h"

namespace {

// Lanes left out of some groups, from a hash of the group's place: walking the others must not
// depend on them.
unsigned LanesOf(int64_t x0, int64_t y, int64_t right) {
  unsigned lanes = 0;
  for (int lane = 0; lane < kWalkGroupLanes; ++lane) {
    if (x0 + lane < right) lanes |= 1u << lane;
  }
  uint32_t h = uint32_t(x0) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u;
  h ^= h >> 13;
  return (h & 3) == 0 ? lanes & (h >> 8) : lanes;
}

struct Tally {
  int groups = 0, lanes = 0, plateaus = 0, distances = 0, partial = 0;
};

class RadialWalkGroup : public ProcessingFixture {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    if (!CanWalkInGroups()) GTEST_SKIP() << "this processor walks every candidate alone";
    ASSERT_TRUE(OpenProfilesFor(plugInModeRGBColor));
  }
  void TearDown() override {
    ReleaseBrightnessPlane(&m_Plane);
    ReleaseImage(&m_View);
    ProcessingFixture::TearDown();
  }
  void MakeView(int32_t width, int32_t height, AnalysisPass pass) {
    ImageRect rect{0, 0, width, height};
    ASSERT_TRUE(CreateImage(&m_View, rect, rect, plugInModeRGBColor, WorkingProfile(), true, false));
    PaintTexturedPlateaus(&m_View, width, height, pass == PASS_COARSE ? kCoarseStepLimit : kFineStepLimit);
    ASSERT_TRUE(MakeBrightnessPlane(m_View, &m_Plane));
    m_Run.rect = AnalysisRect{0, 0, double(width), double(height)};
    m_Run.imageMaximum = 0xFFFFFF;
    m_Run.pass = pass;
  }
  // Groups start at every alignment (`shift`) and run over the right border; every `rowStep`th row.
  void CompareGroups(int shift, int rowStep, Tally* tally) {
    const ImageRect& r = m_View.rectangle;
    for (int64_t y = r.top; y < r.bottom; y += rowStep) {
      for (int64_t x0 = r.left + shift; x0 < r.right; x0 += kWalkGroupLanes) {
        unsigned lanes = LanesOf(x0, y, r.right);
        ProfileOutcome outcomes[kWalkGroupLanes];
        double grouped[kWalkGroupLanes][8];
        MeasureRadialProfileGroup(&m_Run, m_View, m_Plane, x0, y, lanes, outcomes, grouped);
        ++tally->groups;
        tally->partial += lanes != 0xFFu ? 1 : 0;
        for (int lane = 0; lane < kWalkGroupLanes; ++lane) {
          if (!(lanes >> lane & 1)) continue;
          double alone[8];
          ProfileOutcome outcome = MeasureRadialProfileDirect(&m_Run, m_View, nullptr, x0 + lane, y, alone, false, &m_Plane);
          ASSERT_EQ(outcomes[lane], outcome) << "at " << x0 + lane << ", " << y;
          ASSERT_EQ(memcmp(grouped[lane], alone, sizeof alone), 0) << "at " << x0 + lane << ", " << y;
          ++tally->lanes;
          tally->plateaus += outcome == PROFILE_OPEN_PLATEAU ? 1 : 0;
          for (double d : alone) tally->distances += d >= 0 ? 1 : 0;
        }
      }
    }
  }
  AnalysisRun m_Run{};
  ImageRecord m_View;
  BrightnessPlane m_Plane{};
};

}  // namespace

TEST_F(RadialWalkGroup, EveryFineCandidateWalksAsItWouldAlone) {
  MakeView(330, 260, PASS_FINE);
  Tally tally;
  for (int shift : {0, 3, 5}) ASSERT_NO_FATAL_FAILURE(CompareGroups(shift, 1, &tally));
  EXPECT_GE(tally.plateaus, 1) << "the flat plateau is found";
  EXPECT_GT(tally.distances, 300000) << "most walks found an edge";
  EXPECT_GT(tally.partial, 1000) << "groups with lanes left out and over the border";
}

TEST_F(RadialWalkGroup, EveryCoarseCandidateWalksAsItWouldAlone) {
  // Wider than the coarse search, so that walks end at their step limit too.
  MakeView(640, 180, PASS_COARSE);
  Tally tally;
  for (int shift : {0, 6}) ASSERT_NO_FATAL_FAILURE(CompareGroups(shift, 3, &tally));
  EXPECT_GE(tally.plateaus, 1);
  EXPECT_GT(tally.distances, 50000);
}

TEST_F(RadialWalkGroup, AGroupWithoutLanesWalksNothing) {
  MakeView(64, 48, PASS_FINE);
  ProfileOutcome outcomes[kWalkGroupLanes];
  double distances[kWalkGroupLanes][8];
  MeasureRadialProfileGroup(&m_Run, m_View, m_Plane, 8, 20, 0, outcomes, distances);
  for (int lane = 0; lane < kWalkGroupLanes; ++lane) {
    EXPECT_EQ(outcomes[lane], PROFILE_MEASURED);
    for (double d : distances[lane]) EXPECT_EQ(d, -1);
  }
}

TEST(RadialWalkGroupBounds, AnEdgeAlwaysPassesBothBoundsAndTheFirstIsTheTestItself) {
  // Every step's bounds for thresholds from the smallest to that of the full range, against the
  // single walk's test written out: drop > first exactly when the threshold is below the counted
  // drop, and every edge of the whole test has drop - lastDrop > second, also just at the bounds.
  for (int64_t t : {int64_t(0), int64_t(1), int64_t(7), int64_t(1000), int64_t(0xFFFFFF / 85)}) {
    const EdgeBoundTable& table = EdgeBoundsFor(t);
    const int64_t* thresholds = EdgeThresholds(t);
    for (int k = 2; k <= kCoarseStepLimit; ++k) {
      const int64_t threshold = thresholds[k];
      for (bool diagonal : {false, true}) {
        const EdgeBounds& b = diagonal ? table.diagonal : table.axis;
        auto counted = [&](int64_t drop) {
          return !diagonal ? drop : k <= 7 ? drop * 100 / 141 : k <= 11 ? drop * 100 / 283 : drop * 100 / 424;
        };
        for (int64_t drop = b.first[k] - 4; drop <= b.first[k] + 4; ++drop) {
          ASSERT_EQ(drop > b.first[k], threshold < counted(drop)) << "k " << k << ", t " << t << ", drop " << drop;
        }
        bool atSecond = false;
        for (int64_t drop = b.first[k] + 1; drop <= b.first[k] + 600; ++drop) {
          for (int64_t z = b.second[k] - 3; z <= b.second[k] + 3; ++z) {
            int64_t lastDrop = drop - z;
            bool edge = threshold < counted(drop) && threshold < counted(drop) - counted(lastDrop);
            ASSERT_TRUE(!edge || z > b.second[k]) << "k " << k << ", t " << t << ", drop " << drop << ", last " << lastDrop;
            atSecond = atSecond || (edge && z == b.second[k] + 1);
          }
        }
        EXPECT_TRUE(atSecond) << "an edge just above the second bound, k " << k << ", t " << t;
      }
    }
  }
}

TEST(RadialWalkGroupBounds, DiagonalDropsCountedInVectorsAreTheSingleWalksTruncatedQuotients) {
  if (!CanWalkInGroups()) GTEST_SKIP() << "this processor walks every candidate alone";
  // Drops of both signs up to the full level, around every multiple of the divisors where the
  // truncation toward zero and the quotient's rounding could part, for each span of steps.
  std::vector<int32_t> drops;
  for (int32_t c : {141, 283, 424}) {
    for (int32_t m : {0, 1, 2, 3, 97, 1000, 117000, 167772}) {
      for (int32_t step = -2; step <= 2; ++step) {
        int64_t base = int64_t(m) * c;  // drop * 100 is a multiple of c near here
        for (int64_t drop : {(base + step) / 100, (base + step + 99) / 100}) drops.push_back(int32_t(drop)), drops.push_back(int32_t(-drop));
      }
    }
  }
  uint32_t h = 7;
  for (int i = 0; i < 4000; ++i) {
    h = h * 1664525u + 1013904223u;
    drops.push_back(int32_t(h % 0x2000000u) - 0x1000000);
  }
  drops.push_back(0xFFFFFF), drops.push_back(-0xFFFFFF);
  while (drops.size() % kWalkGroupLanes != 0) drops.push_back(1);
  for (int k : {4, 7, 8, 11, 12, 266}) {
    for (size_t i = 0; i < drops.size(); i += kWalkGroupLanes) {
      int64_t counted[kWalkGroupLanes];
      DiagonalDropsOfEight(&drops[i], k, counted);
      for (int lane = 0; lane < kWalkGroupLanes; ++lane) {
        ASSERT_EQ(counted[lane], DiagonalDrop(drops[i + lane], k)) << "drop " << drops[i + lane] << " at step " << k;
      }
    }
  }
}
