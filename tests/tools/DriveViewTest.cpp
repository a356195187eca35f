// The zoom menu level a script's percentage picks and the zoom display read back.
#include <gtest/gtest.h>

#include "DriveView.h"

TEST(DriveView, APercentagePicksTheNearestLevelOfTheMenu) {
  double level = 0;
  EXPECT_EQ(NearestZoomMenuCommand(100, &level), 40011);
  EXPECT_EQ(level, 100.0);
  EXPECT_EQ(NearestZoomMenuCommand(37, &level), 40014);  // 33.33 is nearer than 50 by ratio
  EXPECT_EQ(level, 33.33);
  EXPECT_EQ(NearestZoomMenuCommand(1, &level), 40017);  // below the menu: its smallest level
  EXPECT_EQ(level, 6.25);
  EXPECT_EQ(NearestZoomMenuCommand(100000, &level), 40001);
  EXPECT_EQ(level, 6400.0);
}

TEST(DriveView, TheZoomDisplayReadsBackAsAPercentage) {
  double percent = 0;
  EXPECT_TRUE(ParseZoomDisplay(" 66.67%", &percent));
  EXPECT_DOUBLE_EQ(percent, 66.67);
  EXPECT_TRUE(ParseZoomDisplay(" 6400.00%", &percent));
  EXPECT_DOUBLE_EQ(percent, 6400.0);
  EXPECT_FALSE(ParseZoomDisplay("", &percent));
  EXPECT_FALSE(ParseZoomDisplay(" 50.00", &percent));
  EXPECT_FALSE(ParseZoomDisplay("zoom", &percent));
}
