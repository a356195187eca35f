// Rendering requests made from the current block and the preview's view state.
#include "preview/PreviewViewState.h"

#include <gtest/gtest.h>

#include "params/ParameterBlockService.h"

TEST(PreviewViewState, RequestsCarryTheViewAndTheValuesWithConsecutiveIds) {
  ParameterBlock block = InitialParameterBlock();
  block.angle = -900;
  block.effectType = FourCC("efT3");
  block.spikeSpread = 12;
  BindCurrentParameterBlock(&block);
  gPreviewViewState = PreviewViewState{};
  gPreviewViewState.previewRegistered = true;
  gPreviewViewState.previewRect = RECT{1, 2, 3, 4};
  gPreviewViewState.marqueeRect = RECT{5, 6, 7, 8};  // no drag in progress: not copied
  gPreviewViewState.zoom = 400.0;
  ParameterSet* first = GetCurrentParameterSet();
  ParameterSet* second = GetCurrentParameterSet();
  BindCurrentParameterBlock(nullptr);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->id, first->id + 1);
  EXPECT_EQ(first->angle, -900);
  EXPECT_EQ(first->effectType, FourCC("efT3"));
  EXPECT_EQ(first->spikeSpread, 12);
  EXPECT_EQ(first->numberOfPoints, 6);
  EXPECT_EQ(first->renderFlag, 1);
  EXPECT_EQ(first->reserved, 0);
  EXPECT_EQ(first->previewRect.left, 1);
  EXPECT_EQ(first->previewRect.bottom, 4);
  EXPECT_EQ(first->marqueeRect.right, 0);
  EXPECT_EQ(first->zoom, 400.0);
  EXPECT_NE(first->monitor, nullptr);
  FreeParameterSet(first);
  FreeParameterSet(second);

  gPreviewViewState.dragging = true;
  ParameterSet* dragging = GetCurrentParameterSet();
  ASSERT_NE(dragging, nullptr);
  EXPECT_EQ(dragging->marqueeRect.left, 5);
  EXPECT_EQ(dragging->marqueeRect.bottom, 8);
  FreeParameterSet(dragging);
  gPreviewViewState = PreviewViewState{};
}
