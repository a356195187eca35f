// Four sums side by side against each added one entry at a time, to the bit: shapes of different
// lengths (the longer ones finish alone), weights from full to the smallest fractions, levels
// from black to full.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/ProcessorFeatures.h"
#include "shapes/BrightnessSums.h"

namespace {

struct Lane {
  std::vector<SubShapeEntry> entries;
  std::vector<PlaneEntry> planeEntries;
};

bool SameSums(const BrightnessSums& a, const BrightnessSums& b) {
  return a.minimum == b.minimum && a.maximum == b.maximum && a.any == b.any && memcmp(&a.origin, &b.origin, sizeof(double)) == 0 &&
         memcmp(&a.weightSum, &b.weightSum, sizeof(double)) == 0 && memcmp(&a.shiftedSum, &b.shiftedSum, sizeof(double)) == 0 &&
         memcmp(&a.shiftedSquares, &b.shiftedSquares, sizeof(double)) == 0;
}

}  // namespace

TEST(BrightnessSums, FourSideBySideAddAsEachAddsAlone) {
  if (!HasAvx2()) GTEST_SKIP() << "the sums are taken one by one on this processor";
  constexpr ptrdiff_t kStride = 64;
  std::vector<int32_t> plane(kStride * 64);
  uint32_t h = 99;
  for (int32_t& level : plane) {
    h = h * 1664525u + 1013904223u;
    level = (h >> 8) % 7 == 0 ? 0xFFFFFF : int32_t(h >> 8);
  }
  for (int trial = 0; trial < 200; ++trial) {
    Lane lanes[4];
    PlaneSum sums[4];
    for (int j = 0; j < 4; ++j) {
      int count = 1 + (trial * 7 + j * 13) % 90;
      for (int i = 0; i < count; ++i) {
        h = h * 1664525u + 1013904223u;
        uint32_t weight = (h >> 28) < 9 ? 0xFFFFFFFEu : h % 0xFFFFFFFEu;
        SubShapeEntry entry{int16_t(int(h >> 4 & 15) - 8), int16_t(int(h >> 12 & 15) - 8), 0, 0, 0, weight};
        lanes[j].entries.push_back(entry);
        lanes[j].planeEntries.push_back(PlaneEntry{weight / 4294967294.0, entry.dy * kStride + entry.dx});
      }
      const int32_t* centre = plane.data() + (20 + j * 5) * kStride + 30 - j;
      sums[j] = PlaneSum{lanes[j].planeEntries.data(), uint32_t(count), centre, BrightnessSums{}};
    }
    ASSERT_TRUE(SumFourSideBySide(sums));
    for (int j = 0; j < 4; ++j) {
      BrightnessSums alone;
      for (const SubShapeEntry& e : lanes[j].entries) alone.Add(uint32_t(sums[j].centre[e.dy * kStride + e.dx]), e.weight);
      EXPECT_TRUE(SameSums(sums[j].sums, alone)) << "trial " << trial << ", lane " << j;
    }
  }
}

TEST(BrightnessSums, AShapeWithoutEntriesLeavesTheFourToBeSummedAlone) {
  int32_t level = 5;
  PlaneEntry entry{1.0, 0};
  PlaneSum sums[4];
  for (PlaneSum& s : sums) s = PlaneSum{&entry, 1, &level, BrightnessSums{}};
  sums[2].count = 0;
  EXPECT_FALSE(SumFourSideBySide(sums));
  for (const PlaneSum& s : sums) EXPECT_FALSE(s.sums.any);
}
