// The software display gamma: every sample type against pow, alpha left alone, and the refusals
// of an unknown type and of an unusable exponent.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "ProcessingFixture.h"
#include "TestSupport.h"
#include "core/SampleTables.h"
#include "preview/DisplayGamma.h"

namespace {

constexpr double kExponent = 1.0 / 2.2;

class DisplayGammaTest : public ProcessingFixture {};

}  // namespace

TEST_F(DisplayGammaTest, EveryByteBecomesItsPowerAndAlphaStays) {
  std::vector<uint8_t> pixels;
  for (int v = 0; v < 256; ++v) {
    uint8_t sample = uint8_t(v);
    pixels.insert(pixels.end(), {sample, uint8_t(255 - v), sample, uint8_t(v ^ 0x5A)});
  }
  ReportCapture capture;
  ASSERT_TRUE(ApplyDisplayGamma(pixels.data(), 256, GL_UNSIGNED_BYTE, kExponent));
  for (int v = 0; v < 256; ++v) {
    auto expected = [](int value) { return int(std::lround(std::pow(value / 255.0, kExponent) * 255.0)); };
    EXPECT_EQ(pixels[v * 4 + 0], expected(v)) << v;
    EXPECT_EQ(pixels[v * 4 + 1], expected(255 - v)) << v;
    EXPECT_EQ(pixels[v * 4 + 2], expected(v)) << v;
    EXPECT_EQ(pixels[v * 4 + 3], v ^ 0x5A) << "alpha is not a colour";
  }
  EXPECT_TRUE(capture.Reports().empty());
}

// A bottom-up bitmap's rectangle: rows walked with a negative stride, every pixel inside raised
// exactly as a single row would be, every pixel outside (and the row padding) left as it was.
TEST_F(DisplayGammaTest, RowsOfABottomUpRectangleAndNothingBesides) {
  constexpr int kWidth = 7, kHeight = 5, kLeft = 2, kRight = 6, kTop = 1, kBottom = 4;
  std::vector<uint8_t> bitmap(kWidth * kHeight * 4);
  for (size_t i = 0; i < bitmap.size(); ++i) bitmap[i] = uint8_t(i * 37 + 11);
  const std::vector<uint8_t> before = bitmap;
  ptrdiff_t rowBytes = kWidth * 4;
  // Image row y is bitmap row height - 1 - y.
  uint8_t* first = bitmap.data() + (kHeight - 1 - kTop) * rowBytes + kLeft * 4;
  ASSERT_TRUE(ApplyDisplayGammaToRows(first, -rowBytes, kBottom - kTop, kRight - kLeft, GL_UNSIGNED_BYTE, kExponent));
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      size_t at = size_t(((kHeight - 1 - y) * kWidth + x) * 4);
      std::vector<uint8_t> expected(before.begin() + ptrdiff_t(at), before.begin() + ptrdiff_t(at) + 4);
      bool inside = x >= kLeft && x < kRight && y >= kTop && y < kBottom;
      if (inside) {
        ASSERT_TRUE(ApplyDisplayGamma(expected.data(), 1, GL_UNSIGNED_BYTE, kExponent));
      }
      for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(bitmap[at + size_t(s)], expected[size_t(s)]) << x << "," << y << " sample " << s;
      }
    }
  }
}

TEST_F(DisplayGammaTest, ShortsBecomeTheirPowerAcrossTheRange) {
  std::vector<uint16_t> pixels;
  std::vector<uint16_t> values;
  for (int v = 0; v < 65536; v += 97) values.push_back(uint16_t(v));
  values.push_back(65535);
  for (uint16_t v : values) pixels.insert(pixels.end(), {v, uint16_t(65535 - v), uint16_t(v / 2), uint16_t(v)});
  ASSERT_TRUE(ApplyDisplayGamma(pixels.data(), values.size(), GL_UNSIGNED_SHORT, kExponent));
  auto expected = [](int value) { return int(std::lround(std::pow(value / 65535.0, kExponent) * 65535.0)); };
  for (size_t i = 0; i < values.size(); ++i) {
    int v = values[i];
    EXPECT_EQ(pixels[i * 4 + 0], expected(v)) << v;
    EXPECT_EQ(pixels[i * 4 + 1], expected(65535 - v)) << v;
    EXPECT_EQ(pixels[i * 4 + 2], expected(v / 2)) << v;
    EXPECT_EQ(pixels[i * 4 + 3], v);
  }
}

TEST_F(DisplayGammaTest, FloatsUsePowAndNonPositiveValuesStay) {
  std::vector<float> pixels = {0.25f, 0.5f, 1.0f, 0.3f, 0.0f, -0.5f, 2.0f, 0.7f};
  ASSERT_TRUE(ApplyDisplayGamma(pixels.data(), 2, GL_FLOAT, kExponent));
  EXPECT_FLOAT_EQ(pixels[0], float(std::pow(0.25, kExponent)));
  EXPECT_FLOAT_EQ(pixels[1], float(std::pow(0.5, kExponent)));
  EXPECT_FLOAT_EQ(pixels[2], 1.0f);
  EXPECT_FLOAT_EQ(pixels[3], 0.3f);
  EXPECT_EQ(pixels[4], 0.0f);
  EXPECT_EQ(pixels[5], -0.5f) << "a negative sample must not become NaN";
  EXPECT_FLOAT_EQ(pixels[6], float(std::pow(2.0, kExponent)));
  EXPECT_FLOAT_EQ(pixels[7], 0.7f);
}

TEST_F(DisplayGammaTest, HalvesUsePowWithinHalfPrecision) {
  const float values[] = {0.0f, 0.01f, 0.2f, 0.5f, 0.9f, 1.0f};
  std::vector<uint16_t> pixels;
  for (float v : values) pixels.insert(pixels.end(), {FloatToHalf(v), FloatToHalf(v), FloatToHalf(v), FloatToHalf(0.25f)});
  ASSERT_TRUE(ApplyDisplayGamma(pixels.data(), std::size(values), GL_HALF_FLOAT, kExponent));
  for (size_t i = 0; i < std::size(values); ++i) {
    double expected = std::pow(double(HalfToFloat(FloatToHalf(values[i]))), kExponent);
    for (int s = 0; s < 3; ++s) EXPECT_NEAR(HalfToFloat(pixels[i * 4 + s]), expected, 1e-3) << values[i];
    EXPECT_EQ(pixels[i * 4 + 3], FloatToHalf(0.25f));
  }
}

TEST_F(DisplayGammaTest, UnknownTypeIsReportedAndLeavesPixels) {
  uint32_t pixels[4] = {1, 2, 3, 4};
  ReportCapture capture;
  EXPECT_FALSE(ApplyDisplayGamma(pixels, 1, GL_INT, kExponent));
  EXPECT_TRUE(capture.HasReport("Pixel type 0x1404 is not recognized.")) << capture.Reports().size();
  EXPECT_EQ(pixels[0], 1u);
  EXPECT_EQ(pixels[2], 3u);
}

TEST_F(DisplayGammaTest, UnusableExponentIsRefused) {
  uint8_t pixels[4] = {100, 100, 100, 100};
  ReportCapture capture;
  EXPECT_FALSE(ApplyDisplayGamma(pixels, 1, GL_UNSIGNED_BYTE, 0.0));
  EXPECT_FALSE(ApplyDisplayGamma(pixels, 1, GL_FLOAT, std::nan("")));
  EXPECT_TRUE(capture.HasReportContaining("Gamma exponent"));
  EXPECT_EQ(pixels[0], 100);
}

TEST_F(DisplayGammaTest, WithoutGammaTablesBytesAreRefused) {
  ReleaseGammaTables();
  uint8_t pixels[4] = {100, 100, 100, 100};
  ReportCapture capture;
  EXPECT_FALSE(ApplyDisplayGamma(pixels, 1, GL_UNSIGNED_BYTE, kExponent));
  EXPECT_TRUE(capture.HasReportContaining("ApplyDisplayGamma() - Gamma tables"));
  EXPECT_EQ(pixels[0], 100);
  ASSERT_TRUE(CreateGammaTableMutex());
}
