// Host image traffic through the reference host's advanceState: sample ranges, plane order,
// tiles, masks and transparency, the grayscale-channel warning, and cancel during the write.
#include "host/HostImage.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstring>
#include <memory>
#include <set>

#include "HostCallbacks.h"
#include "HostHandleSuite.h"
#include "HostSession.h"
#include "ProcessingFixture.h"
#include "support/HostRecordFixture.h"
#include "TestSupport.h"
#include "core/Progress.h"
#include "host/HostProxyImage.h"
#include "host/HostState.h"

using HostImageTraffic = HostRecordFixture;

TEST_F(HostImageTraffic, SixteenBitSamplesWidenToTheFullRangeAndNarrowBack) {
  HostDocument document;
  document.imageMode = plugInModeRGB48;
  document.width = 40;
  document.height = 20;
  HostSession& session = Open(document);
  uint16_t values[2] = {32768, 16384};
  memcpy(session.Image().Sample(0, 3, 4), &values[0], 2);
  memcpy(session.Image().Sample(2, 3, 4), &values[1], 2);
  ASSERT_TRUE(OpenProfiles());
  ASSERT_TRUE(ReadHostImage());
  const auto* samples = reinterpret_cast<const uint16_t*>(gHostImage.Pixel(3, 4));
  EXPECT_EQ(samples[0], 65535);
  EXPECT_EQ(samples[2], 32768);
  std::vector<std::vector<uint8_t>> before = session.Image().planes;
  reinterpret_cast<uint16_t*>(gHostImage.Pixel(3, 4))[2] = 32768;  // unchanged value, written back
  WriteHostImage(gHostImage);
  DestroyHostImage();
  EXPECT_EQ(m_Result, 0);
  uint16_t back[2];
  memcpy(&back[0], session.Image().Sample(0, 3, 4), 2);
  memcpy(&back[1], session.Image().Sample(2, 3, 4), 2);
  EXPECT_EQ(back[0], 32768);
  EXPECT_EQ(back[1], 16384);
  EXPECT_EQ(session.Image().planes, before);
}

TEST_F(HostImageTraffic, EveryModeAndDepthRoundTripsBitForBit) {
  const int16 modes[] = {plugInModeGrayScale, plugInModeRGBColor, plugInModeGray16, plugInModeRGB48, plugInModeGray32, plugInModeRGB96};
  for (int16 mode : modes) {
    for (bool transparency : {false, true}) {
      HostDocument document;
      document.imageMode = mode;
      document.width = 70;
      document.height = 33;
      document.hasTransparency = transparency;
      HostOptions options;
      options.tileSize = 32;
      HostSession& session = Open(document, options);
      std::vector<std::vector<uint8_t>> before = session.Image().planes;
      ASSERT_TRUE(OpenProfiles());
      ASSERT_TRUE(ReadHostImage()) << mode;
      WriteHostImage(gHostImage);
      DestroyHostImage();
      ASSERT_EQ(m_Result, 0);
      EXPECT_EQ(session.Image().planes, before) << "mode " << mode << (transparency ? " with transparency" : "");
      TerminateColorConversion();
      TerminateImageEditorProgressBar();
    }
  }
}

TEST_F(HostImageTraffic, TheInputIsDescribedInTheLog) {
  ReportCapture capture;
  HostDocument document;
  document.imageMode = plugInModeRGB48;
  document.width = 45;
  document.height = 23;
  Open(document);
  ASSERT_TRUE(OpenProfiles());
  ASSERT_TRUE(ReadHostImage());
  EXPECT_TRUE(capture.HasReport("Input Image File: Image Width = 45, Image Height = 23, Bit Depth = 16, Image Mode = plugInModeRGB48\n\n"));
}

TEST_F(HostImageTraffic, EightBitRedLivesInSampleTwoAndTransparencyInThree) {
  HostDocument document;
  document.width = document.height = 16;
  document.hasTransparency = true;
  HostSession& session = Open(document);
  *session.Image().Sample(0, 5, 6) = 200;  // red
  *session.Image().Sample(2, 5, 6) = 10;   // blue
  *session.Image().Sample(3, 5, 6) = 77;   // transparency
  ASSERT_TRUE(OpenProfiles());
  ASSERT_TRUE(ReadHostImage());
  const uint8_t* pixel = gHostImage.Pixel(5, 6);
  EXPECT_EQ(pixel[2], 200);
  EXPECT_EQ(pixel[0], 10);
  EXPECT_EQ(pixel[3], 77);
}

TEST_F(HostImageTraffic, ASuggestedTileSizeOfZeroReadsInTilesOf1024) {
  HostDocument document;
  document.imageMode = plugInModeGrayScale;
  document.width = 2500;
  document.height = 1100;
  HostOptions options;
  options.tileSize = 0;
  HostSession& session = Open(document, options);
  ASSERT_TRUE(OpenProfiles());
  ASSERT_TRUE(ReadHostImage());
  std::set<std::tuple<int, int, int, int>> tiles;
  for (const VRect& r : session.Traffic().inputRects) tiles.insert({r.left, r.top, r.right, r.bottom});
  EXPECT_EQ(tiles.size(), 6u);
  EXPECT_TRUE(tiles.count({0, 0, 1024, 1024}));
  EXPECT_TRUE(tiles.count({2048, 1024, 2500, 1100}));
}

TEST_F(HostImageTraffic, ALargeImageIsWrittenInSixTiles) {
  HostDocument document;
  document.imageMode = plugInModeGrayScale;
  document.width = 5000;
  document.height = 3000;
  HostSession& session = Open(document);
  ASSERT_TRUE(OpenProfiles());
  ASSERT_TRUE(ReadHostImage());
  WriteHostImage(gHostImage);
  std::set<std::tuple<int, int, int, int>> tiles;
  for (const VRect& r : session.Traffic().outputRects) {
    EXPECT_LE(r.right - r.left, 2048);
    EXPECT_LE(r.bottom - r.top, 2048);
    tiles.insert({r.left, r.top, r.right, r.bottom});
  }
  EXPECT_EQ(tiles.size(), 6u);
  EXPECT_EQ(m_Result, 0);
}

TEST_F(HostImageTraffic, CancelDuringTheWriteStopsAfterTheCurrentTile) {
  HostDocument document;
  document.imageMode = plugInModeGrayScale;
  document.width = 5000;
  document.height = 100;
  HostOptions options;
  options.cancelAtPercent = 0;
  HostSession& session = Open(document, options);
  ASSERT_TRUE(OpenProfiles());
  GetHostCallbackSettings().cancelAtPercent = -1;  // reading is not cancelled
  ASSERT_TRUE(ReadHostImage());
  GetHostCallbackSettings().cancelAtPercent = 0;
  WriteHostImage(gHostImage);
  EXPECT_EQ(m_Result, -128);
  EXPECT_EQ(session.Traffic().outputRects.size(), 1u) << "one tile of one plane, then the cancel";
}

TEST_F(HostImageTraffic, SelectionAndTransparencyReachTheRecord) {
  HostDocument document;
  document.width = 64;
  document.height = 8;
  document.hasSelection = true;
  document.hasTransparency = true;
  Open(document);
  ASSERT_TRUE(OpenProfiles());
  ASSERT_TRUE(ReadHostImage());
  ASSERT_TRUE(gHostImage.HasMask());
  EXPECT_EQ(*gHostImage.MaskAt(10, 3), 255);
  EXPECT_EQ(*gHostImage.MaskAt(40, 3), 0);
  EXPECT_EQ(gHostImage.Pixel(10, 3)[3], 255);
}

TEST_F(HostImageTraffic, NegativeFloatColourIsClampedButTransparencyIsNot) {
  HostDocument document;
  document.imageMode = plugInModeRGB96;
  document.width = document.height = 8;
  document.hasTransparency = true;
  HostSession& session = Open(document);
  float negative = -0.5f, alpha = -0.25f;
  memcpy(session.Image().Sample(1, 2, 2), &negative, 4);
  memcpy(session.Image().Sample(3, 2, 2), &alpha, 4);
  ASSERT_TRUE(OpenProfiles());
  ASSERT_TRUE(ReadHostImage());
  const auto* samples = reinterpret_cast<const float*>(gHostImage.Pixel(2, 2));
  EXPECT_EQ(samples[1], 0.0f);
  EXPECT_EQ(samples[3], -0.25f);
}

TEST_F(HostImageTraffic, AGrayLayerOfAColourDocumentWarnsOnceAndGoesOn) {
  ReportCapture capture;
  HostDocument document;
  document.imageMode = plugInModeGrayScale;
  document.width = document.height = 16;
  HostSession& session = Open(document);
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(srgb, nullptr, &size);
  Handle profile = GetHostHandleProcs()->newProc(int32(size));
  cmsSaveProfileToMem(srgb, *profile, &size);
  cmsCloseProfile(srgb);
  session.Record()->iCCprofileData = profile;
  session.Record()->iCCprofileSize = int32(size);
  ASSERT_TRUE(OpenProfiles());
  EXPECT_TRUE(ReadHostImage());
  ASSERT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(capture.Boxes()[0].title, "Warning:  Operating On a Grayscale Channel");
  EXPECT_EQ(capture.Boxes()[0].text, "You appear to be running the plug-in on a single channel or mask from a color image.");
  EXPECT_EQ(m_Result, 0);
  TerminateColorConversion();
  GetHostHandleProcs()->disposeProc(profile);
}

TEST(ProxyLevels, RectanglesHalveAndNeverVanish) {
  ImageRect r = ProxyLevelRect(ImageRect{0, 0, 301, 200}, 1);
  EXPECT_EQ(r.right, 150);
  EXPECT_EQ(r.bottom, 100);
  r = ProxyLevelRect(ImageRect{0, 0, 5, 3}, 3);
  EXPECT_EQ(r.right, 1);
  EXPECT_EQ(r.bottom, 1);
  r = ProxyLevelRect(ImageRect{10, 20, 11, 21}, 15);
  EXPECT_EQ(r.right - r.left, 1);
  EXPECT_EQ(r.bottom - r.top, 1);
}

TEST_F(HostImageTraffic, ThePyramidIsLinearAndServesTheLevelForAScale) {
  ReportCapture capture;
  HostDocument document;
  document.width = 300;
  document.height = 200;
  Open(document);
  ASSERT_TRUE(OpenProfiles());
  ASSERT_TRUE(ReadHostImage());
  ImageRecord record;
  double sx = 0.3, sy = 0.3;
  EXPECT_FALSE(GetHostProxyImageInfo(&record, &sx, &sy));
  EXPECT_TRUE(capture.HasReport("GetHostProxyImageInfo() called before HostProxyImage rendered."));
  StartImageEditorProgress(kProxyLevels - 1);
  ASSERT_TRUE(RenderHostProxyImage(nullptr));
  EXPECT_TRUE(IsHostProxyImageRendered());
  ASSERT_TRUE(GetHostProxyImageInfo(&record, &sx, &sy));
  EXPECT_DOUBLE_EQ(sx, 0.5);
  EXPECT_EQ(record.validWidth, 150);
  EXPECT_DOUBLE_EQ(record.gamma, 1.0);
  sx = 0.6, sy = 0.4;
  ASSERT_TRUE(GetHostProxyImageInfo(&record, &sx, &sy));
  EXPECT_DOUBLE_EQ(sx, 1.0);
  EXPECT_EQ(record.validWidth, 300);
  // Level 0 holds linear light: a mid-gray host sample is far darker once linearised.
  PixelValue host, proxy;
  gHostImage.readPixel(&gHostImage, 150, 100, &host);
  record.readPixel(&record, 150, 100, &proxy);
  EXPECT_NEAR(double(proxy.red), double(host.red), 0.02 * kLinearMaximum);
  EXPECT_LT(record.Pixel(150, 100)[2], gHostImage.Pixel(150, 100)[2]);
  sx = sy = 0.0;
  ASSERT_TRUE(GetHostProxyImageInfo(&record, &sx, &sy));
  EXPECT_GE(record.validWidth, 1);
  EXPECT_LT(sx, 0.01);
  ReleaseHostProxyImage();
  EXPECT_FALSE(IsHostProxyImageRendered());
  volatile bool cancel = true;
  EXPECT_FALSE(RenderHostProxyImage(&cancel));
}
