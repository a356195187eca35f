// Image records in every supported mode: allocation, readers and writers against the gamma
// formulas, the checked kind at the edges, the gamma cache, linearising, filling and copying.
#include "color/ImageProfile.h"
#include "core/ImageRecord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "ProcessingFixture.h"
#include "TestSupport.h"
#include "core/RunResult.h"

namespace {

constexpr int32_t kSupportedModes[] = {plugInModeGrayScale, plugInModeRGBColor, plugInModeGray16, plugInModeRGB48,
                                       plugInModeRGB96, plugInModeGray32, kImageModeWorking32, kImageModeHalf};

bool IsGray(int32_t mode) { return mode == plugInModeGrayScale || mode == plugInModeGray16 || mode == plugInModeGray32; }

}  // namespace

class ImageRecords : public ProcessingFixture {
 protected:
  void TearDown() override {
    ReleaseImage(&m_Image);
    ProcessingFixture::TearDown();
  }
  bool Create(int32_t mode, ImageRect rect, bool mask = false, bool checked = false) {
    return CreateImage(&m_Image, rect, rect, mode, nullptr, mask, checked);
  }
  ImageRecord m_Image;
};

TEST_F(ImageRecords, AllocationRoundsTheWidthToSixteenAndAddsARow) {
  ASSERT_TRUE(Create(plugInModeRGB48, ImageRect{0, 0, 100, 50}, true));
  EXPECT_EQ(m_Image.allocatedWidth, 112);
  EXPECT_EQ(m_Image.validWidth, 100);
  EXPECT_EQ(m_Image.pixels.size, uint64_t(112 * 51 * 4 * 2));
  EXPECT_EQ(m_Image.mask.size, uint64_t(112 * 51));
  EXPECT_EQ(m_Image.pixelFormat, GL_RGBA_FORMAT);
  EXPECT_EQ(m_Image.pixelType, GL_UNSIGNED_SHORT_TYPE);
  EXPECT_DOUBLE_EQ(m_Image.gamma, 2.2);
  ASSERT_TRUE(Create(plugInModeRGBColor, ImageRect{0, 0, 100, 50}, false));
  EXPECT_EQ(m_Image.mask.size, 0u) << "re-created without a mask, the mask is released";
  EXPECT_EQ(m_Image.pixelFormat, GL_BGRA_FORMAT);
}

TEST_F(ImageRecords, EverySupportedModeWritesAndReadsBackWithinItsPrecision) {
  for (int32_t mode : kSupportedModes) {
    ASSERT_TRUE(Create(mode, ImageRect{10, 20, 26, 28}, true)) << mode;
    // Tolerance in linear units: one step of the coarsest encoded sample near white.
    double tolerance = BytesPerSampleOfImageMode(mode) == 1 ? 0.012 * kLinearMaximum : 0.0015 * kLinearMaximum;
    PixelValue written{0x800000, IsGray(mode) ? 0x800000u : 0x123456u, IsGray(mode) ? 0x800000u : 0xFFFFFFu,
                       0x80000000u, 0xFFFFFFFEu};
    m_Image.writePixel(&m_Image, 12, 21, written);
    PixelValue read;
    m_Image.readPixel(&m_Image, 12, 21, &read);
    EXPECT_NEAR(double(read.red), double(written.red), tolerance) << "mode " << mode;
    EXPECT_NEAR(double(read.green), double(written.green), tolerance) << "mode " << mode;
    EXPECT_NEAR(double(read.blue), double(std::min(written.blue, kLinearMaximum)), tolerance) << "mode " << mode;
    EXPECT_NEAR(double(read.alpha), double(written.alpha), double(1u << 24)) << "mode " << mode;
    EXPECT_EQ(read.mask, 0xFFFFFFFEu);
  }
}

// An encoded sample read to linear light and written back lands on the code value it came from.
// Linear light has 24 bits: at gamma 2.2 the darkest 16-bit codes (below about 600) share linear
// values, so there the round trip is held to the width of one linear step instead.
TEST_F(ImageRecords, EveryIntegerModeRoundTripsEachCodeValue) {
  for (int32_t mode : {plugInModeRGBColor, plugInModeGrayScale, plugInModeRGB48, plugInModeGray16}) {
    ASSERT_TRUE(Create(mode, ImageRect{0, 0, 16, 2}));
    int maximum = m_Image.bytesPerSample == 1 ? 255 : 65535;
    int step = m_Image.bytesPerSample == 1 ? 1 : 7;
    for (int code = 0; code <= maximum; code += step) {
      double linearStepInCodes = m_Image.bytesPerSample == 1 ? 0.0 : std::pow(1.0 / kLinearMaximum, 1 / 2.2) * 65535;
      double tolerance = code < 1024 && m_Image.bytesPerSample == 2 ? linearStepInCodes : 1.0;
      uint8_t* pixel = m_Image.Pixel(0, 0);
      if (m_Image.bytesPerSample == 1) {
        pixel[0] = pixel[1] = pixel[2] = uint8_t(code);
      } else {
        uint16_t samples[3] = {uint16_t(code), uint16_t(code), uint16_t(code)};
        memcpy(pixel, samples, sizeof samples);
      }
      PixelValue value;
      m_Image.readPixel(&m_Image, 0, 0, &value);
      m_Image.writePixel(&m_Image, 1, 1, value);
      const uint8_t* back = m_Image.Pixel(1, 1);
      int written = m_Image.bytesPerSample == 1 ? back[0] : int(reinterpret_cast<const uint16_t*>(back)[0]);
      ASSERT_NEAR(written, code, tolerance) << "mode " << mode << " code " << code;
    }
  }
}

TEST_F(ImageRecords, EightBitRgbIsStoredBlueGreenRedAlphaInTheRecordsGamma) {
  ASSERT_TRUE(Create(plugInModeRGBColor, ImageRect{0, 0, 4, 4}));
  m_Image.writePixel(&m_Image, 1, 1, PixelValue{0xFFFFFF, 0, 0x400000, 0xFFFFFFFE, 0xFFFFFFFE});
  const uint8_t* pixel = m_Image.Pixel(1, 1);
  EXPECT_EQ(pixel[2], 255);
  EXPECT_EQ(pixel[1], 0);
  EXPECT_EQ(pixel[0], uint8_t(std::lround(std::pow(0.25, 1 / 2.2) * 255)));
  EXPECT_EQ(pixel[3], 255);
}

TEST_F(ImageRecords, AComponentOfAllOnesLeavesItsSampleAlone) {
  ASSERT_TRUE(Create(plugInModeRGB96, ImageRect{0, 0, 2, 2}));
  m_Image.writePixel(&m_Image, 0, 0, PixelValue{0x200000, 0x300000, 0x400000, 0xFFFFFFFE, 0xFFFFFFFE});
  m_Image.writePixel(&m_Image, 0, 0, PixelValue{kKeepSample, 0, kKeepSample, kKeepSample, kKeepSample});
  PixelValue read;
  m_Image.readPixel(&m_Image, 0, 0, &read);
  EXPECT_NEAR(read.red, 0x200000, 2);
  EXPECT_EQ(read.green, 0u);
  EXPECT_NEAR(read.blue, 0x400000, 2);
  EXPECT_EQ(read.alpha, 0xFFFFFFFEu);
}

TEST_F(ImageRecords, TheCheckedKindClampsReadsAndIgnoresWritesOutside) {
  ASSERT_TRUE(Create(plugInModeRGBColor, ImageRect{0, 0, 16, 4}, true, true));
  m_Image.writePixel(&m_Image, 0, 2, PixelValue{0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFFFE, 0xFFFFFFFE});
  PixelValue outside;
  m_Image.readPixel(&m_Image, -1, 2, &outside);
  EXPECT_EQ(outside.red, kLinearMaximum);
  EXPECT_EQ(outside.alpha, 0u);
  EXPECT_EQ(outside.mask, 0u);
  std::vector<uint8_t> before(static_cast<uint8_t*>(m_Image.pixels.block),
                              static_cast<uint8_t*>(m_Image.pixels.block) + m_Image.pixels.size);
  m_Image.writePixel(&m_Image, 16, 0, PixelValue{1, 1, 1, 1, 1});
  m_Image.writePixel(&m_Image, 3, -1, PixelValue{1, 1, 1, 1, 1});
  EXPECT_EQ(memcmp(before.data(), m_Image.pixels.block, before.size()), 0);
}

TEST_F(ImageRecords, UnsupportedModesAreReportedAndWriteNothing) {
  ReportCapture capture;
  ASSERT_TRUE(Create(plugInModeCMYKColor, ImageRect{0, 0, 4, 4}));
  EXPECT_TRUE(capture.HasReport("InputImage mode not implemented."));
  EXPECT_TRUE(capture.HasReport("InputImage mode not yet implemented."));
  m_Image.writePixel(&m_Image, 0, 0, PixelValue{});
  EXPECT_TRUE(capture.HasReport("OutputImage mode not implemented."));
  capture.Clear();
  EXPECT_EQ(BytesPerSampleOfImageMode(40), 1);
  EXPECT_TRUE(capture.HasReport("Error:  Unrecognized image mode."));
}

TEST_F(ImageRecords, GammaTablesAreSharedAndTheCacheFallsBackToTheClosest) {
  GammaTables first, second;
  ASSERT_TRUE(LookUpGammaTables(2.2, &first));
  ASSERT_TRUE(LookUpGammaTables(2.2, &second));
  EXPECT_EQ(first.eightToLinear, second.eightToLinear);
  EXPECT_EQ(first.eightToLinear[255], int32_t(kLinearMaximum));
  EXPECT_EQ(first.sixteenToLinear[32768], int32_t(std::llround(std::pow(32768 / 65535.0, 2.2) * kLinearMaximum)));
  EXPECT_EQ(first.linearToEight[65535], 255);
  for (int i = 1; UsedGammaTableEntries() < kGammaCacheSize; ++i) {
    GammaTables tables;
    ASSERT_TRUE(LookUpGammaTables(1.0 + 0.1 * i, &tables));
  }
  GammaTables fallback;
  ASSERT_TRUE(LookUpGammaTables(2.23, &fallback));
  EXPECT_EQ(UsedGammaTableEntries(), kGammaCacheSize);
  EXPECT_DOUBLE_EQ(fallback.gamma, 2.2);
}

TEST_F(ImageRecords, GammaLookupsFromManyThreadsBuildEachEntryOnce) {
  std::vector<std::thread> threads;
  std::vector<GammaTables> seen(8);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &seen] { LookUpGammaTables(1.8, &seen[size_t(t)]); });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(UsedGammaTableEntries(), 1);
  for (const GammaTables& tables : seen) EXPECT_EQ(tables.sixteenToLinear, seen[0].sixteenToLinear);
}

TEST_F(ImageRecords, LinearisingRaisesIntegerSamplesAndLeavesFloatsAlone) {
  ASSERT_TRUE(Create(plugInModeRGBColor, ImageRect{0, 0, 4, 1}));
  uint8_t* pixel = m_Image.Pixel(0, 0);
  pixel[0] = 128, pixel[1] = 255, pixel[2] = 0, pixel[3] = 77;
  ASSERT_TRUE(LinearizeImage(&m_Image));
  EXPECT_EQ(pixel[0], uint8_t(std::lround(std::pow(128 * 257 / 65535.0, 2.2) * 255)));
  EXPECT_EQ(pixel[1], 255) << "white stays white";
  EXPECT_EQ(pixel[2], 0);
  EXPECT_EQ(pixel[3], 77) << "alpha is left";
  EXPECT_DOUBLE_EQ(m_Image.gamma, 1.0);
  PixelValue read;
  m_Image.readPixel(&m_Image, 0, 0, &read);
  EXPECT_NEAR(read.blue, pixel[0] / 255.0 * kLinearMaximum, 1.0);

  ReportCapture capture;
  ASSERT_TRUE(Create(plugInModeRGB96, ImageRect{0, 0, 1, 1}));
  float samples[4] = {0.5f, 0.25f, 0.125f, 1.0f};
  memcpy(m_Image.Pixel(0, 0), samples, sizeof samples);
  LinearizeImage(&m_Image);
  EXPECT_EQ(memcmp(m_Image.Pixel(0, 0), samples, sizeof samples), 0);
  EXPECT_TRUE(capture.HasReport("Pixel type 0x1406 is not recognized in function LinearizeImage."));
}

TEST_F(ImageRecords, OpaqueBlackFillsRowsDirectly) {
  ASSERT_TRUE(Create(plugInModeRGBColor, ImageRect{0, 0, 8, 2}, true));
  memset(m_Image.pixels.block, 0x33, size_t(m_Image.pixels.size));
  memset(m_Image.mask.block, 0, size_t(m_Image.mask.size));
  FillImageRect(&m_Image, PixelValue{0, 0, 0, 0xFFFFFFFE, 0xFFFFFFFE}, ImageRect{1, 0, 3, 1});
  EXPECT_EQ(memcmp(m_Image.Pixel(1, 0), "\0\0\0\xFF\0\0\0\xFF", 8), 0);
  EXPECT_EQ(m_Image.Pixel(3, 0)[0], 0x33);
  EXPECT_EQ(*m_Image.MaskAt(2, 0), 255);
  EXPECT_EQ(*m_Image.MaskAt(3, 0), 0);
}

TEST_F(ImageRecords, CopyingIntoAMaskedRecordFillsItsMaskAndConvertsModes) {
  ImageRecord source;
  ImageRect rect{0, 0, 16, 4};
  ASSERT_TRUE(CreateImage(&source, rect, rect, plugInModeRGB48, nullptr, false, false));
  FillImageRect(&source, PixelValue{0x400000, 0x800000, 0xC00000, 0xFFFFFFFE, 0xFFFFFFFE}, rect);
  ASSERT_TRUE(Create(plugInModeRGB48, rect, true));
  ASSERT_TRUE(CopyImage(source, &m_Image, nullptr));
  EXPECT_EQ(memcmp(source.pixels.block, m_Image.pixels.block, size_t(source.pixels.size)), 0);
  EXPECT_EQ(*m_Image.MaskAt(15, 3), 255);
  ImageRecord eight;
  ASSERT_TRUE(CreateImage(&eight, rect, rect, plugInModeRGBColor, nullptr, false, false));
  ASSERT_TRUE(CopyImage(source, &eight, nullptr));
  PixelValue read;
  eight.readPixel(&eight, 5, 2, &read);
  EXPECT_NEAR(read.green, 0x800000, 0.012 * kLinearMaximum);
  ImageRecord half;
  ImageRect halfRect{0, 0, 8, 2};
  ASSERT_TRUE(CreateImage(&half, halfRect, halfRect, plugInModeRGB48, nullptr, false, false));
  ASSERT_TRUE(CopyImage(source, &half, nullptr));
  half.readPixel(&half, 3, 1, &read);
  EXPECT_NEAR(read.blue, 0xC00000, 0.0015 * kLinearMaximum);
  volatile bool cancel = true;
  EXPECT_FALSE(CopyImage(source, &eight, &cancel));
  ReleaseImage(&half);
  ReleaseImage(&eight);
  ReleaseImage(&source);
}

TEST_F(ImageRecords, FailedAllocationsSetTheResultAndSayWhy) {
  ReportCapture capture;
  FailNextBufferAllocations(1);
  EXPECT_FALSE(Create(plugInModeRGBColor, ImageRect{0, 0, 64, 64}));
  ASSERT_FALSE(capture.Boxes().empty());
  EXPECT_EQ(capture.Boxes().back().text, "Could not allocate memory for gamma tables.");
  m_Result = 0;
  GammaTables warm;
  ASSERT_TRUE(LookUpGammaTables(2.2, &warm));
  FailNextBufferAllocations(1);
  EXPECT_FALSE(Create(plugInModeRGBColor, ImageRect{0, 0, 64, 64}));
  EXPECT_EQ(m_Result, -108);
  ASSERT_FALSE(capture.Boxes().empty());
  EXPECT_EQ(capture.Boxes().back().text, "Could not allocate memory for an image.");
  EXPECT_EQ(capture.Boxes().back().title, "Error - Exiting Plug-in");

  // A mask that cannot be had leaves the pixels that were allocated.
  m_Result = 0;
  ASSERT_TRUE(Create(plugInModeRGBColor, ImageRect{0, 0, 64, 64}));
  void* pixels = m_Image.pixels.block;
  FailNextBufferAllocations(1);
  EXPECT_FALSE(Create(plugInModeRGBColor, ImageRect{0, 0, 64, 64}, true));
  EXPECT_EQ(m_Result, -108);
  EXPECT_EQ(capture.Boxes().back().text, "Could not allocate memory for an image mask.");
  EXPECT_EQ(m_Image.pixels.block, pixels);
  EXPECT_EQ(m_Image.mask.size, 0u);
}
