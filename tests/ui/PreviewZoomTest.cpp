// The zoom levels the preview steps through and the zoom that fits the image in view.
#include <gtest/gtest.h>

#include "resource.h"
#include "ui/PreviewZoom.h"

TEST(PreviewZoom, StepsFollowTheLevelsAndStopAtTheEnds) {
  EXPECT_EQ(NextZoomLevelUp(100, 1), 200);
  EXPECT_EQ(NextZoomLevelDown(100, 1), 66.67);
  EXPECT_EQ(NextZoomLevelDown(0.4, 1), 0.3);
  EXPECT_EQ(NextZoomLevelUp(6400, 1), 6400);
  EXPECT_EQ(NextZoomLevelDown(0.3, 1), 0.3);
  // A zoom between levels (from the wheel) steps to its neighbours.
  EXPECT_EQ(NextZoomLevelUp(70, 1), 100);
  EXPECT_EQ(NextZoomLevelDown(70, 1), 66.67);
  EXPECT_EQ(NextZoomLevelUp(100, 3), 400);
  EXPECT_EQ(NextZoomLevelDown(100, 30), 0.3);
}

TEST(PreviewZoom, FitInViewShowsTheWholeImageByItsTighterSide) {
  EXPECT_DOUBLE_EQ(FitInViewZoom(SIZE{500, 300}, 1000, 400), 50.0);
  EXPECT_DOUBLE_EQ(FitInViewZoom(SIZE{500, 300}, 100, 300), 100.0);
  EXPECT_DOUBLE_EQ(FitInViewZoom(SIZE{500, 300}, 10, 10), 3000.0);
  // A one-pixel-wide 30000-pixel column and a single pixel stay within the zoom range.
  EXPECT_DOUBLE_EQ(FitInViewZoom(SIZE{500, 60}, 1, 30000), 0.3);
  EXPECT_DOUBLE_EQ(FitInViewZoom(SIZE{500, 300}, 1, 1), 6400.0);
}

TEST(PreviewZoom, MenuCommandsNameTheirLevels) {
  EXPECT_EQ(ZoomLevelOfMenuCommand(ID_ZOOM_6400), 6400.0);
  EXPECT_EQ(ZoomLevelOfMenuCommand(ID_ZOOM_6), 6.25);
  EXPECT_EQ(ZoomLevelOfMenuCommand(ID_ZOOM_ACTUAL_PIXELS), 100.0);
  EXPECT_EQ(ZoomLevelOfMenuCommand(ID_ZOOM_FIT_IN_VIEW), 0.0);
  for (int command = ID_ZOOM_6400; command < ID_ZOOM_6; ++command) {
    EXPECT_GT(ZoomLevelOfMenuCommand(command), ZoomLevelOfMenuCommand(command + 1)) << command;
  }
}
