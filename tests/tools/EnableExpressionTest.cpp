// The host's evaluation of enable expressions.
#include "EnableExpression.h"

#include <gtest/gtest.h>

TEST(EnableExpression, ModesDepthsAndOperators) {
  EnableContext rgb16;
  rgb16.imageMode = 11;
  rgb16.imageDepth = 16;
  rgb16.imageWidth = 4000;
  std::string error;
  EXPECT_TRUE(EvaluateEnableExpression("in (PSHOP_ImageMode, RGBMode, RGB48Mode)", rgb16, &error));
  EXPECT_FALSE(EvaluateEnableExpression("in (PSHOP_ImageMode, RGBMode, GrayScaleMode)", rgb16, &error));
  EXPECT_TRUE(EvaluateEnableExpression("PSHOP_ImageDepth == 16 && PSHOP_ImageWidth <= 30000", rgb16, &error));
  EXPECT_FALSE(EvaluateEnableExpression("!(PSHOP_ImageDepth >= 16) || PSHOP_HasSelectionMask", rgb16, &error));
  EXPECT_TRUE(EvaluateEnableExpression("max(PSHOP_ImageWidth, 10) == 4000 && min(3, 4) == 3", rgb16, &error));
  EXPECT_TRUE(error.empty());
}

TEST(EnableExpression, UnparsableExpressionsDisableAndSayWhy) {
  EnableContext context;
  std::string error;
  EXPECT_FALSE(EvaluateEnableExpression("in (PSHOP_ImageMode, NoSuchMode)", context, &error));
  EXPECT_NE(error.find("unknown name 'NoSuchMode'"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(EvaluateEnableExpression("in (PSHOP_ImageMode", context, &error));
  EXPECT_NE(error.find("expected ')'"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(EvaluateEnableExpression("1 2", context, &error));
  EXPECT_FALSE(error.empty());
}
