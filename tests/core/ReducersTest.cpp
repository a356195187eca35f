// Reductions against a straightforward box average of linear values, for every reducer path.
#include "color/ImageProfile.h"
#include "core/Reducers.h"

#include <gtest/gtest.h>

#include "ProcessingFixture.h"

namespace {

// Deterministic, position-dependent pixels with a mask and alpha that vary too.
PixelValue Pattern(int64_t x, int64_t y) {
  uint32_t v = uint32_t((x * 7919 + y * 104729) % 0xFFFFFF);
  return PixelValue{v, (v * 3) & 0xFFFFFF, (v * 5) & 0xFFFFFF, uint32_t((x * 65537u + y) * 977u) | 1u, 0xFFFFFFFE};
}

struct Case {
  int32_t sourceMode;
  int32_t destinationMode;
  int32_t sourceWidth, sourceHeight;
  int32_t destinationWidth, destinationHeight;
};

}  // namespace

class Reduction : public ProcessingFixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Reduction, EqualsTheBoxAverageOfWhatTheSourceReads) {
  const Case& c = GetParam();
  ImageRecord source, destination;
  ImageRect sourceRect{0, 0, c.sourceWidth, c.sourceHeight};
  ImageRect destinationRect{0, 0, c.destinationWidth, c.destinationHeight};
  ASSERT_TRUE(CreateImage(&source, sourceRect, sourceRect, c.sourceMode, nullptr, false, false));
  ASSERT_TRUE(CreateImage(&destination, destinationRect, destinationRect, c.destinationMode, nullptr, true, false));
  for (int64_t y = 0; y < c.sourceHeight; ++y) {
    for (int64_t x = 0; x < c.sourceWidth; ++x) source.writePixel(&source, x, y, Pattern(x, y));
  }
  ASSERT_TRUE(CopyImage(source, &destination, nullptr));
  int64_t a = ReductionFactor(c.sourceWidth, c.destinationWidth), b = ReductionFactor(c.sourceHeight, c.destinationHeight);
  double fx = double(c.sourceWidth) / c.destinationWidth, fy = double(c.sourceHeight) / c.destinationHeight;
  double offset = a == 2 && b == 2 ? 0.5 : 0.0;
  // The expected value is written into a record of the destination's mode, so both carry the
  // same encoding error; what is compared is the box.
  ImageRecord expected;
  ASSERT_TRUE(CreateImage(&expected, destinationRect, destinationRect, c.destinationMode, nullptr, true, false));
  for (int64_t i = 0; i < c.destinationHeight; ++i) {
    for (int64_t j = 0; j < c.destinationWidth; ++j) {
      int64_t x0 = std::min<int64_t>(int64_t(j * fx + offset), c.sourceWidth - 1);
      int64_t y0 = std::min<int64_t>(int64_t(i * fy + offset), c.sourceHeight - 1);
      double sum[4] = {};
      int count = 0;
      for (int64_t y = y0; y < y0 + b; ++y) {
        for (int64_t x = x0; x < x0 + a; ++x) {
          bool twoByTwo = a == 2 && b == 2;
          int64_t sx = std::min<int64_t>(x, c.sourceWidth - 1), sy = std::min<int64_t>(y, c.sourceHeight - 1);
          if (!twoByTwo && (x >= c.sourceWidth || y >= c.sourceHeight)) continue;
          PixelValue p;
          source.readPixel(&source, sx, sy, &p);
          sum[0] += p.red, sum[1] += p.green, sum[2] += p.blue, sum[3] += p.alpha;
          ++count;
        }
      }
      PixelValue average{uint32_t(sum[0] / count), uint32_t(sum[1] / count), uint32_t(sum[2] / count),
                         uint32_t(sum[3] / count), kFullFraction};
      expected.writePixel(&expected, j, i, average);
      PixelValue got, want;
      destination.readPixel(&destination, j, i, &got);
      expected.readPixel(&expected, j, i, &want);
      ASSERT_NEAR(double(got.red), double(want.red), 0.01 * kLinearMaximum) << j << "," << i;
      ASSERT_NEAR(double(got.blue), double(want.blue), 0.01 * kLinearMaximum) << j << "," << i;
      ASSERT_NEAR(double(got.alpha), double(want.alpha), double(1u << 25)) << j << "," << i;
      ASSERT_EQ(*destination.MaskAt(j, i), 255) << "a source without a mask reduces to a full mask";
    }
  }
  ReleaseImage(&expected);
  ReleaseImage(&destination);
  ReleaseImage(&source);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, Reduction,
                         ::testing::Values(Case{plugInModeRGB48, plugInModeRGB48, 64, 40, 32, 20},       // 16-bit 2 × 2
                                           Case{plugInModeRGB48, plugInModeRGBColor, 90, 45, 30, 15},    // 16-bit box
                                           Case{plugInModeRGBColor, plugInModeRGBColor, 64, 40, 32, 20}, // 8-bit 2 × 2
                                           Case{plugInModeGrayScale, plugInModeRGB48, 70, 33, 10, 5},    // 8-bit box
                                           Case{plugInModeRGB96, plugInModeRGB96, 48, 30, 24, 15},       // generic 2 × 2
                                           Case{plugInModeRGB96, plugInModeRGBColor, 160, 160, 8, 8},    // large box
                                           Case{kImageModeHalf, plugInModeRGB96, 50, 31, 9, 7}));        // small box

TEST(ReductionFactor, RoundsUpOnlyWhenTheRemainderIsAboveOne) {
  EXPECT_EQ(ReductionFactor(100, 50), 2);
  EXPECT_EQ(ReductionFactor(101, 50), 2);
  EXPECT_EQ(ReductionFactor(102, 50), 3);
  EXPECT_EQ(ReductionFactor(10, 20), 1);
}

namespace {

// The brightest pixel with alpha, found the slow way: every pixel through the record's reader.
uint32_t BrightestRead(const ImageRecord& image, int64_t left, int64_t top, int64_t right, int64_t bottom) {
  uint32_t brightest = 0;
  for (int64_t y = top; y < bottom; ++y) {
    for (int64_t x = left; x < right; ++x) {
      PixelValue p;
      image.readPixel(&image, x, y, &p);
      if (p.alpha != 0) brightest = std::max(brightest, (p.red + p.green + p.blue) / 3);
    }
  }
  return brightest;
}

}  // namespace

class Brightest : public ProcessingFixture, public ::testing::WithParamInterface<int32_t> {};

// Every mode's fast read gives the reader's brightness; a pixel without alpha never counts,
// however bright, and a rectangle of such pixels has none.
TEST_P(Brightest, IsTheBrightestPixelWithAlphaAsTheReaderReadsIt) {
  const int32_t mode = GetParam();
  ImageRecord image;
  ImageRect rect{3, 2, 67, 43};
  ASSERT_TRUE(CreateImage(&image, rect, rect, mode, nullptr, false, false));
  for (int64_t y = rect.top; y < rect.bottom; ++y) {
    for (int64_t x = rect.left; x < rect.right; ++x) {
      PixelValue p = Pattern(x, y);
      p.red &= 0x7FFFFF, p.green &= 0x7FFFFF, p.blue &= 0x7FFFFF;  // nothing above half but the hidden pixel
      image.writePixel(&image, x, y, p);
    }
  }
  // The brightest pixel has no alpha; the second brightest lies in the last row's last pixel.
  image.writePixel(&image, 30, 20, PixelValue{0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0, kFullFraction});
  image.writePixel(&image, 66, 42, PixelValue{0xF00000, 0xE00000, 0xD00000, kFullFraction, kFullFraction});
  uint32_t expected = BrightestRead(image, rect.left, rect.top, rect.right, rect.bottom);
  EXPECT_EQ(BrightestInRect(image, rect.left, rect.top, rect.right, rect.bottom), expected);
  EXPECT_GT(expected, 0x700000u) << "the bright pixel counted";
  EXPECT_EQ(BrightestInRect(image, 10, 5, 40, 30), BrightestRead(image, 10, 5, 40, 30));
  EXPECT_LT(BrightestInRect(image, 10, 5, 40, 30), 0x800000u) << "the pixel without alpha did not count";
  EXPECT_EQ(BrightestInRect(image, 30, 20, 31, 21), 0u) << "alone, it gives nothing";
  ReleaseImage(&image);
}

INSTANTIATE_TEST_SUITE_P(EveryReader, Brightest,
                         ::testing::Values(plugInModeRGBColor, plugInModeGrayScale, plugInModeRGB48, plugInModeGray16,
                                           plugInModeRGB96, kImageModeHalf));
