// The blocks that the final render's phases pass on: the taker gets the smallest block that holds
// what it asks for, or the largest to grow, and nothing is lost or freed twice.
#include <gtest/gtest.h>

#include "ProcessingFixture.h"
#include <algorithm>

#include "core/BufferManager.h"
#include "core/WorkerThreads.h"
#include "effects/RenderBufferPool.h"

namespace {

class RenderBufferPoolTest : public ProcessingFixture {
 protected:
  void TearDown() override {
    ReleaseRenderBuffers();
    ProcessingFixture::TearDown();
  }
  BufferDescriptor Block(uint64_t bytes) {
    BufferDescriptor b;
    EXPECT_EQ(ReallocateBuffer(bytes, &b), 0);
    return b;
  }
};

}  // namespace

TEST_F(RenderBufferPoolTest, AnEmptyPoolGivesNoBlock) {
  BufferDescriptor taken = TakeRenderBuffer(1000);
  EXPECT_EQ(taken.block, nullptr);
  EXPECT_EQ(taken.size, 0u);
}

TEST_F(RenderBufferPoolTest, TheSmallestBlockThatHoldsTheRequestIsTaken) {
  BufferDescriptor blocks[3] = {Block(64 << 10), Block(16 << 10), Block(32 << 10)};
  void* middle = blocks[2].block;
  for (BufferDescriptor& b : blocks) ReturnRenderBuffer(&b);
  EXPECT_EQ(blocks[0].block, nullptr) << "a returned descriptor is emptied";
  EXPECT_EQ(PooledRenderBytes(), uint64_t(112) << 10);
  BufferDescriptor taken = TakeRenderBuffer(20 << 10);
  EXPECT_EQ(taken.block, middle);
  EXPECT_EQ(taken.size, uint64_t(32) << 10);
  EXPECT_EQ(PooledRenderBytes(), uint64_t(80) << 10);
  DeallocateBuffer(&taken);
}

TEST_F(RenderBufferPoolTest, WithoutABlockLargeEnoughTheLargestIsTakenToGrow) {
  BufferDescriptor blocks[2] = {Block(8 << 10), Block(24 << 10)};
  void* largest = blocks[1].block;
  for (BufferDescriptor& b : blocks) ReturnRenderBuffer(&b);
  BufferDescriptor taken = TakeRenderBuffer(UINT64_MAX);
  EXPECT_EQ(taken.block, largest);
  ASSERT_EQ(ReallocateBufferPreserveContents(48 << 10, &taken), 0);
  DeallocateBuffer(&taken);
}

TEST_F(RenderBufferPoolTest, AFullPoolKeepsTheLargestBlocksAndReleasingFreesThemAll) {
  uint64_t before = GetBufferStatistics().currentUsage;
  const int kept = int(2 * std::max<uint32_t>(1, GetWorkerCount()));
  for (int i = 0; i < kept + 3; ++i) {
    BufferDescriptor b = Block(uint64_t(4096) * (i + 1));
    ReturnRenderBuffer(&b);
    EXPECT_EQ(b.block, nullptr);
  }
  uint64_t largest = 0, held = 0;
  for (int i = 3; i < kept + 3; ++i) largest += uint64_t(4096) * (i + 1), held += RoundedBufferSize(uint64_t(4096) * (i + 1));
  EXPECT_EQ(PooledRenderBytes(), largest) << "two blocks a worker, the largest returned";
  EXPECT_EQ(GetBufferStatistics().currentUsage - before, held);
  BufferDescriptor small = Block(1024);
  ReturnRenderBuffer(&small);
  EXPECT_EQ(PooledRenderBytes(), largest) << "a block smaller than every pooled one is freed";
  ReleaseRenderBuffers();
  EXPECT_EQ(PooledRenderBytes(), 0u);
  EXPECT_EQ(GetBufferStatistics().currentUsage, before);
  EXPECT_EQ(TakeRenderBuffer(1).block, nullptr);
}

TEST_F(RenderBufferPoolTest, ReturningAnEmptyDescriptorPoolsNothing) {
  BufferDescriptor none;
  ReturnRenderBuffer(&none);
  EXPECT_EQ(PooledRenderBytes(), 0u);
}
