// Rendering requests: the values of a block placed through the parameter table.
#include "params/ParameterSet.h"

#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"
#include "params/ParameterBlockService.h"

namespace {

// Each value distinct from every other, so that a value landing in a neighbour's place shows.
ParameterBlock DistinctBlock() {
  ParameterBlock block = InitialParameterBlock();
  block.intensity = 11;
  block.length = 12;
  block.angle = -1234;
  block.numberOfPoints = 14;
  block.spikeSharpness = 15;
  block.colorSaturation = -16;
  block.rainbowIntensity = 17;
  block.rainbowFrequency = 18;
  block.secondarySpikeIntensity = 19;
  block.softFlareIntensity = 20;
  block.effectsOnly = 1;
  block.effectType = FourCC("efT5");
  block.quantity = 23;
  block.spikeSpread = 24;
  return block;
}

}  // namespace

TEST(ParameterSet, EveryValueOfTheBlockLandsInItsOwnFieldAndNothingElseIsTouched) {
  ParameterBlock block = DistinctBlock();
  ParameterSet set;
  memset(&set, 0x5A, sizeof set);
  ParameterSet untouched = set;
  CopyBlockValuesIntoSet(block, &set);
  EXPECT_EQ(set.intensity, 11);
  EXPECT_EQ(set.length, 12);
  EXPECT_EQ(set.angle, -1234);
  EXPECT_EQ(set.numberOfPoints, 14);
  EXPECT_EQ(set.spikeSharpness, 15);
  EXPECT_EQ(set.colorSaturation, -16);
  EXPECT_EQ(set.rainbowIntensity, 17);
  EXPECT_EQ(set.rainbowFrequency, 18);
  EXPECT_EQ(set.secondarySpikeIntensity, 19);
  EXPECT_EQ(set.softFlareIntensity, 20);
  EXPECT_EQ(set.effectsOnly, 1);
  EXPECT_EQ(set.effectType, FourCC("efT5"));
  EXPECT_EQ(set.quantity, 23);
  EXPECT_EQ(set.spikeSpread, 24);
  EXPECT_EQ(memcmp(&set, &untouched, offsetof(ParameterSet, intensity)), 0) << "the view state is not the block's";
}

TEST(ParameterSet, TheFinalRenderRequestIsAtActualPixelsWithTheCurrentValues) {
  ParameterBlock block = DistinctBlock();
  BindCurrentParameterBlock(&block);
  ParameterSet set = ParameterSetOfCurrentBlock();
  BindCurrentParameterBlock(nullptr);
  EXPECT_EQ(set.zoom, 100.0);
  EXPECT_EQ(set.angle, -1234);
  EXPECT_EQ(set.effectType, FourCC("efT5"));
  EXPECT_EQ(set.monitor, nullptr);
  EXPECT_EQ(set.previewRect.right, 0);
}

TEST(ParameterSet, TracingANullSetIsReported) {
  ReportCapture capture;
  TraceRenderingParameters("queue", nullptr);
  ParameterSet set{};
  TraceRenderingParameters("valid", &set);
  ASSERT_EQ(capture.Reports().size(), 1u);
  EXPECT_EQ(capture.Reports()[0].text,
            "TraceRenderingParameters() - A NULL pointer was specified for Parameter Set argument.  Message: 'queue'");
}
