// Aligned blocks, their accounting, preserved contents and the out-of-memory paths.
#include "core/BufferManager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "TestSupport.h"

class BufferManager : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeBufferManager();
    ResetBufferStatistics(64);
  }
  void TearDown() override {
    FailNextBufferAllocations(0);
    TerminateBufferManager();
  }
};

TEST_F(BufferManager, SizesAreRoundedToWholeAlignedLines) {
  BufferDescriptor buffer;
  ASSERT_EQ(ReallocateBuffer(100, &buffer), 0);
  EXPECT_EQ(buffer.size, 100u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.block) % 64, 0u);
  EXPECT_EQ(GetBufferStatistics().currentUsage, 128u);
  EXPECT_EQ(RoundedBufferSize(128), 128u);
  EXPECT_EQ(RoundedBufferSize(129), 192u);
  DeallocateBuffer(&buffer);
  EXPECT_EQ(buffer.block, nullptr);
  EXPECT_EQ(buffer.size, 0u);
  EXPECT_EQ(GetBufferStatistics().currentUsage, 0u);
  EXPECT_EQ(GetBufferStatistics().peakUsage, 128u);
}

TEST_F(BufferManager, GrowingKeepsTheContentsAndCountsTheExpansion) {
  BufferDescriptor buffer;
  ASSERT_EQ(ReallocateBufferPreserveContents(100, &buffer), 0);
  for (int i = 0; i < 100; ++i) static_cast<uint8_t*>(buffer.block)[i] = uint8_t(i * 7);
  void* before = buffer.block;
  ASSERT_EQ(ReallocateBufferPreserveContents(1000, &buffer), 0);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(static_cast<uint8_t*>(buffer.block)[i], uint8_t(i * 7)) << i;
  BufferStatistics stats = GetBufferStatistics();
  EXPECT_EQ(stats.largestExpansionRequest, 1024u - 128u);
  EXPECT_EQ(stats.largestReallocationRequest, 1024u);
  EXPECT_EQ(stats.currentUsage, 1024u);
  if (buffer.block != before) {
    EXPECT_EQ(stats.memoryMoves, 1u);
    EXPECT_EQ(stats.totalBytesMoved, 128u);
  } else {
    EXPECT_EQ(stats.memoryMoves, 0u);
  }
  EXPECT_EQ(ReallocateBufferPreserveContents(1000, &buffer), 0);
  EXPECT_EQ(GetBufferStatistics().largestReallocationRequest, 1024u);
  DeallocateBuffer(&buffer);
}

TEST_F(BufferManager, AFailedReallocationLeavesTheDescriptorEmptyAndIsReported) {
  ReportCapture capture;
  BufferDescriptor buffer;
  ASSERT_EQ(ReallocateBuffer(1000, &buffer), 0);
  FailNextBufferAllocations(1);
  EXPECT_EQ(ReallocateBuffer(5000, &buffer), -108);
  EXPECT_EQ(buffer.block, nullptr);
  EXPECT_EQ(buffer.size, 0u);
  EXPECT_EQ(GetBufferStatistics().currentUsage, 0u);
  EXPECT_TRUE(capture.HasReport("ReallocateBuffer() Allocation Failed: Requested = 5,000 Bytes, Previous Size = 1,000 "
                                "Bytes, Current Usage = 0 Bytes, Peak Usage = 1,024 Bytes"));
  EXPECT_EQ(ReallocateBuffer(5000, &buffer), 0) << "only the next allocation fails";
  DeallocateBuffer(&buffer);
}

TEST_F(BufferManager, AFailedPreservingReallocationKeepsTheOldBlock) {
  ReportCapture capture;
  BufferDescriptor buffer;
  ASSERT_EQ(ReallocateBufferPreserveContents(64, &buffer), 0);
  memset(buffer.block, 0x5A, 64);
  FailNextBufferAllocations(1);
  EXPECT_EQ(ReallocateBufferPreserveContents(4096, &buffer), -108);
  EXPECT_EQ(buffer.size, 64u);
  EXPECT_EQ(static_cast<uint8_t*>(buffer.block)[63], 0x5A);
  EXPECT_EQ(GetBufferStatistics().currentUsage, 64u);
  ASSERT_EQ(ReallocateBufferPreserveContents(0, &buffer), 0);
  EXPECT_EQ(buffer.block, nullptr);
  EXPECT_EQ(GetBufferStatistics().currentUsage, 0u);
}

TEST_F(BufferManager, ABlockBeyondWhatTheMachineCanHoldIsRefused) {
  ReportCapture capture;
  BufferDescriptor huge;
  EXPECT_EQ(ReallocateBuffer(1ull << 42, &huge), -108) << "4 TB";
  EXPECT_EQ(huge.block, nullptr);
  BufferDescriptor growing;
  ASSERT_EQ(ReallocateBuffer(4096, &growing), 0);
  EXPECT_EQ(ReallocateBufferPreserveContents(1ull << 42, &growing), -108);
  EXPECT_NE(growing.block, nullptr) << "the old block stays";
  DeallocateBuffer(&growing);
}

TEST_F(BufferManager, DeallocatingNothingChangesNothing) {
  ReportCapture capture;
  BufferDescriptor empty;
  DeallocateBuffer(&empty);
  EXPECT_EQ(empty.block, nullptr);
  DeallocateBuffer(nullptr);
  EXPECT_TRUE(capture.HasReport("NULL buffer descriptor pointer received in DeallocateBuffer()"));
}

TEST_F(BufferManager, UsageReportFormatsEveryNumberWithGroups) {
  ReportCapture capture;
  BufferDescriptor buffer;
  ASSERT_EQ(ReallocateBuffer(1234567, &buffer), 0);
  DeallocateBuffer(&buffer);
  ReportBufferUsage();
  ASSERT_FALSE(capture.Reports().empty());
  EXPECT_NE(capture.Reports().back().text.find("Current Usage = 0 Bytes, Peak Usage = 1,234,624 Bytes"), std::string::npos)
      << capture.Reports().back().text;
  EXPECT_EQ(FormatByteCount(1234567), "1,234,567");
  EXPECT_EQ(FormatByteCount(999), "999");
  EXPECT_EQ(FormatByteCount(1000), "1,000");
  EXPECT_EQ(FormatByteCount(0), "0");
}

TEST_F(BufferManager, ConcurrentUseKeepsTheStatisticsExact) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      BufferDescriptor buffer;
      for (int i = 1; i <= 200; ++i) {
        ReallocateBufferPreserveContents(uint64_t(i) * 100, &buffer);
        if (i % 3 == 0) ReallocateBuffer(uint64_t(i) * 50, &buffer);
      }
      DeallocateBuffer(&buffer);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(GetBufferStatistics().currentUsage, 0u);
}

TEST(BufferAlignment, ComesFromTheProcessorAndIsAMultipleOfSixteen) {
  InitializeBufferManager();
  size_t alignment = GetBufferAlignment();
  EXPECT_GE(alignment, 16u);
  EXPECT_EQ(alignment % 16, 0u);
  EXPECT_EQ(alignment & (alignment - 1), 0u);
  TerminateBufferManager();
}
