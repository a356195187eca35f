// The list points of a group's lanes against ListPointFromProfile lane by lane, to the bit: the
// clamped distances, the kept lanes and their points, for distances missing in any pattern, all
// missing, all alike (no spread), single outliers either way, centres moved by just the most that
// is kept, and lanes left out.
#include <gtest/gtest.h>

#include <cstring>

#include "analysis/GroupListPoints.h"
#include "analysis/Measure.h"

namespace {

double Distance(uint32_t* h) {
  *h = *h * 1664525u + 1013904223u;
  uint32_t kind = *h >> 28;
  if (kind < 3) return -1;                            // no edge that way
  if (kind < 5) return 0.5 + (*h >> 8 & 7);           // whole and half pixels, often alike
  if (kind == 5) return 20 + (*h >> 8 & 63);          // an outlier
  return (*h >> 4 & 0xFFFFF) / 65536.0;               // anything up to 16
}

}  // namespace

TEST(GroupListPoints, EveryLaneIsTheSingleCandidatesListPoint) {
  if (!CanWalkInGroups()) GTEST_SKIP() << "this processor walks every candidate alone";
  uint32_t h = 12345;
  int kept = 0, dropped = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    double group[kWalkGroupLanes][8], single[kWalkGroupLanes][8];
    for (auto& lane : group) {
      const int pattern = int(h >> 3 & 7);
      for (int i = 0; i < 8; ++i) lane[i] = Distance(&h);
      if (pattern == 0) for (double& d : lane) d = -1;   // nothing found
      if (pattern == 1) for (double& d : lane) d = 3.25;  // perfectly round
      if (pattern == 2) {
        // Nothing to clamp, and the centre moves by just the 0.625 still kept along both axes.
        const double edge[8] = {3.75, -1, 3.75, -1, 2.5, -1, 2.5, -1};
        memcpy(lane, edge, sizeof edge);
      }
    }
    memcpy(single, group, sizeof group);
    h = h * 1664525u + 1013904223u;
    const unsigned lanes = (h >> 8 & 0xFFu) | (trial % 7 == 0 ? 0xFFu : 0u);
    const int64_t x0 = 100 + trial % 50, y = 40 + trial % 30;
    double listX[kWalkGroupLanes] = {}, listY[kWalkGroupLanes] = {};
    const unsigned balanced = ListPointsOfGroup(group, lanes, x0, y, listX, listY);
    ASSERT_EQ(balanced & ~lanes, 0u) << "trial " << trial;
    for (int lane = 0; lane < kWalkGroupLanes; ++lane) {
      if (!(lanes >> lane & 1)) {
        ASSERT_EQ(memcmp(group[lane], single[lane], sizeof group[lane]), 0) << "a lane left out is left alone";
        continue;
      }
      double x, yy;
      const bool expected = ListPointFromProfile(single[lane], x0 + lane, y, &x, &yy);
      SCOPED_TRACE(testing::Message() << "trial " << trial << ", lane " << lane);
      ASSERT_EQ((balanced >> lane & 1) != 0, expected);
      if (!expected) {
        ++dropped;
        continue;
      }
      ++kept;
      ASSERT_EQ(memcmp(group[lane], single[lane], sizeof group[lane]), 0) << "the clamped distances";
      ASSERT_EQ(memcmp(&listX[lane], &x, sizeof x), 0);
      ASSERT_EQ(memcmp(&listY[lane], &yy, sizeof yy), 0);
    }
  }
  EXPECT_GT(kept, 2000);
  EXPECT_GT(dropped, 2000);
}
