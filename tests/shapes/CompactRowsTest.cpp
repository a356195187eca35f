// Row chains of compact entries: every entry lands in its row's chain in the order it came, each
// chunk knows its columns, slabs go back to the pool and serve again, and a shortage of memory
// fails the addition that needed it without losing what was added before.
#include <gtest/gtest.h>

#include <vector>

#include "ProcessingFixture.h"
#include "core/BufferManager.h"
#include "shapes/CompactRows.h"
#include "shapes/Shape.h"

namespace {

class CompactRowsTest : public ProcessingFixture {
 protected:
  void TearDown() override {
    ReleaseCompactRows(&m_Rows);
    ReleasePooledEntrySlabs();
    ProcessingFixture::TearDown();
  }
  // The entries of a row's chain, checking each chunk's count and columns on the way.
  std::vector<CompactEntry> Row(int64_t dy) {
    std::vector<CompactEntry> row;
    for (const EntryChunk* chunk = m_Rows.Chain(dy).first; chunk != nullptr; chunk = chunk->next) {
      EXPECT_GE(chunk->count, 1u);
      EXPECT_LE(chunk->count, kChunkEntries);
      EXPECT_EQ(chunk->next == nullptr, chunk == m_Rows.Chain(dy).last);
      int16_t left = INT16_MAX, right = INT16_MIN;
      for (uint32_t i = 0; i < chunk->count; ++i) {
        row.push_back(chunk->entries[i]);
        left = std::min(left, chunk->entries[i].dx);
        right = std::max(right, chunk->entries[i].dx);
      }
      EXPECT_EQ(chunk->left, left);
      EXPECT_EQ(chunk->right, right);
    }
    return row;
  }
  CompactRows m_Rows{};
};

const float kColours[4] = {1, 1, 1, 0};

}  // namespace

// Rows filled in turn, so that their chunks interleave in the slabs; one row long enough for
// several chunks, one left empty.
TEST_F(CompactRowsTest, EntriesKeepTheirRowAndOrderAcrossChunks) {
  ASSERT_TRUE(StartCompactRows(&m_Rows, -3, 4, kColours));
  std::vector<std::vector<CompactEntry>> expected(7);
  for (int i = 0; i < 1000; ++i) {
    int64_t dy = i % 3 == 0 ? -3 : (i % 3 == 1 ? 0 : 3);
    if (i > 600 && dy == 3) continue;
    CompactEntry e{int16_t((i * 37) % 501 - 250), uint16_t(i % 5601), float(i) / 1000};
    ASSERT_TRUE(AddCompactEntry(&m_Rows, dy, e));
    expected[size_t(dy + 3)].push_back(e);
  }
  EXPECT_EQ(m_Rows.colours, kColours);
  for (int64_t dy = -3; dy < 4; ++dy) {
    std::vector<CompactEntry> row = Row(dy);
    const std::vector<CompactEntry>& want = expected[size_t(dy + 3)];
    ASSERT_EQ(row.size(), want.size()) << "row " << dy;
    for (size_t i = 0; i < row.size(); ++i) {
      ASSERT_TRUE(row[i].dx == want[i].dx && row[i].colour == want[i].colour && row[i].weight == want[i].weight) << dy << ", " << i;
    }
    EXPECT_EQ(m_Rows.Chain(dy).first == nullptr, want.empty());
  }
  EXPECT_GT(expected[0].size(), 2 * kChunkEntries) << "the long row spans several chunks";
}

TEST_F(CompactRowsTest, ReleasedSlabsArePooledAndServeTheNextRows) {
  uint64_t before = GetBufferStatistics().currentUsage;
  ASSERT_TRUE(StartCompactRows(&m_Rows, 0, 2, kColours));
  // Enough entries for more than one slab of a megabyte.
  for (int i = 0; i < 300000; ++i) ASSERT_TRUE(AddCompactEntry(&m_Rows, i % 2, CompactEntry{int16_t(i % 100), 0, 0.5f}));
  uint64_t held = CompactRowBytes(m_Rows);
  EXPECT_GE(held, uint64_t(300000) * sizeof(CompactEntry));
  EXPECT_LE(held, uint64_t(300000) * sizeof(CompactEntry) + (uint64_t(1) << 20) + m_Rows.chains.size) << "no more than a slab spare";
  EXPECT_EQ(PooledEntrySlabBytes(), 0u);
  ReleaseCompactRows(&m_Rows);
  EXPECT_EQ(m_Rows.chains.block, nullptr);
  uint64_t pooled = PooledEntrySlabBytes();
  EXPECT_GE(pooled, uint64_t(2) << 20);
  uint64_t usage = GetBufferStatistics().currentUsage;
  ASSERT_TRUE(StartCompactRows(&m_Rows, 0, 1, kColours));
  for (int i = 0; i < 150000; ++i) ASSERT_TRUE(AddCompactEntry(&m_Rows, 0, CompactEntry{0, 0, 0.25f}));
  EXPECT_LT(PooledEntrySlabBytes(), pooled) << "the new rows took pooled slabs";
  EXPECT_LE(GetBufferStatistics().currentUsage, usage + RoundedBufferSize(m_Rows.chains.size)) << "and no fresh ones";
  ReleaseCompactRows(&m_Rows);
  ReleasePooledEntrySlabs();
  EXPECT_EQ(PooledEntrySlabBytes(), 0u);
  EXPECT_EQ(GetBufferStatistics().currentUsage, before) << "every slab freed once";
}

TEST_F(CompactRowsTest, WithoutMemoryTheAdditionFailsAndEarlierEntriesStay) {
  FailNextBufferAllocations(1);
  EXPECT_FALSE(StartCompactRows(&m_Rows, 0, 4, kColours));
  ASSERT_TRUE(StartCompactRows(&m_Rows, 0, 4, kColours));
  int added = 0;
  while (CompactRowBytes(m_Rows) < (uint64_t(3) << 20)) {
    ASSERT_TRUE(AddCompactEntry(&m_Rows, added % 4, CompactEntry{int16_t(added % 7), 0, 1.0f}));
    ++added;
  }
  // Fill the newest slab, then make the next one fail.
  uint64_t bytes = CompactRowBytes(m_Rows);
  while (CompactRowBytes(m_Rows) == bytes) {
    FailNextBufferAllocations(1);
    if (!AddCompactEntry(&m_Rows, added % 4, CompactEntry{int16_t(added % 7), 0, 1.0f})) break;
    FailNextBufferAllocations(0);
    ++added;
  }
  FailNextBufferAllocations(0);
  EXPECT_EQ(CompactRowBytes(m_Rows), bytes) << "the failed slab is not held";
  size_t kept = 0;
  for (int64_t dy = 0; dy < 4; ++dy) kept += Row(dy).size();
  EXPECT_EQ(kept, size_t(added));
}

// The SubShape's own helper counts and bounds what it adds, and releasing the SubShape releases
// its rows.
TEST_F(CompactRowsTest, ASubShapeInTheCompactFormCountsAndBoundsItsEntries) {
  SubShape subshape{};
  EXPECT_FALSE(subshape.IsCompact());
  ASSERT_TRUE(StartCompactRows(&subshape.compact, -10, 10, kColours));
  EXPECT_TRUE(subshape.IsCompact());
  ASSERT_TRUE(AddCompactSubShapeEntry(&subshape, 5, -2, 0, 1.0f));
  ASSERT_TRUE(AddCompactSubShapeEntry(&subshape, -7, 9, 0, 1.0f));
  ASSERT_TRUE(AddCompactSubShapeEntry(&subshape, 0, 3, 0, 1.0f));
  EXPECT_EQ(subshape.count, 3u);
  EXPECT_EQ(subshape.left, -7);
  EXPECT_EQ(subshape.right, 6);
  EXPECT_EQ(subshape.top, -2);
  EXPECT_EQ(subshape.bottom, 10);
  EXPECT_GE(SubShapeBytes(subshape), uint64_t(1) << 20);
  ReleaseSubShape(&subshape);
  EXPECT_FALSE(subshape.IsCompact());
  EXPECT_EQ(SubShapeBytes(subshape), 0u);
  EXPECT_GE(PooledEntrySlabBytes(), uint64_t(1) << 20);
}
