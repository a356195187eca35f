// The blocks that the final render's phases pass on: the taker gets the smallest block that holds
// what it asks for, or the largest to grow, and nothing is lost or freed twice.
#include <gtest/gtest.h>

#include "ProcessingFixture.h"
#include "core/BufferManager.h"
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

TEST_F(RenderBufferPoolTest, ReleasingFreesEveryPooledBlockAndAFullPoolFreesWhatIsReturned) {
  uint64_t before = GetBufferStatistics().currentUsage;
  for (int i = 0; i < 70; ++i) {
    BufferDescriptor b = Block(4096);
    ReturnRenderBuffer(&b);
    EXPECT_EQ(b.block, nullptr);
  }
  EXPECT_EQ(PooledRenderBytes(), 64u * 4096u) << "the pool keeps 64 blocks and frees the rest";
  EXPECT_GT(GetBufferStatistics().currentUsage, before);
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
