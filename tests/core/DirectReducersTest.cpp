// The direct paths of the image maximum, the 8-bit box reductions and the integer halvings give
// exactly what the per-pixel reference paths give: every sample, alpha and mask of every pixel.
#include <gtest/gtest.h>

#include <cstring>

#include "ProcessingFixture.h"
#include "color/ImageProfile.h"
#include "core/Reducers.h"

namespace {

uint32_t Hash(int64_t x, int64_t y, uint32_t salt) {
  uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u ^ salt * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ (h >> 12);
}

class DirectReducers : public ProcessingFixture {
 protected:
  void TearDown() override {
    UseReferenceReducers(false);
    ReleaseImage(&m_Source);
    ProcessingFixture::TearDown();
  }
  // Random samples everywhere, including alpha 0 and the extremes, with an optional mask.
  void MakeSource(int32_t mode, int32_t width, int32_t height, bool withMask) {
    ImageRect rect{0, 0, width, height};
    ASSERT_TRUE(CreateImage(&m_Source, rect, rect, mode, nullptr, withMask, false));
    const int bytes = m_Source.bytesPerSample;
    for (int64_t y = 0; y < height; ++y) {
      uint8_t* p = m_Source.Pixel(0, y);
      for (int64_t x = 0; x < width * 4 * bytes; ++x) p[x] = uint8_t(Hash(x, y, 1) >> 24);
      for (int64_t x = 0; x < width; ++x) {
        uint8_t* pixel = p + x * 4 * bytes;
        if (Hash(x, y, 2) % 5 == 0) memset(pixel + 3 * bytes, 0, size_t(bytes));
        if (Hash(x, y, 3) % 97 == 0) memset(pixel, 255, size_t(3 * bytes));
      }
      if (withMask) {
        for (int64_t x = 0; x < width; ++x) *m_Source.MaskAt(x, y) = uint8_t(Hash(x, y, 4) >> 24);
      }
    }
  }
  // The destination's gamma, when given, is that of the proxy pyramid's linear levels.
  void ExpectSameReduction(int32_t width, int32_t height, int32_t mode = plugInModeRGBColor, double gamma = 0.0) {
    SCOPED_TRACE(testing::Message() << "into " << width << " x " << height << ", mode " << mode);
    ImageRecord direct, reference;
    ImageRect rect{0, 0, width, height};
    ASSERT_TRUE(CreateImage(&direct, rect, rect, mode, nullptr, true, false));
    ASSERT_TRUE(CreateImage(&reference, rect, rect, mode, nullptr, true, false));
    if (gamma != 0.0) {
      ASSERT_TRUE(SetImageGamma(&direct, direct.profile, gamma));
      ASSERT_TRUE(SetImageGamma(&reference, reference.profile, gamma));
    }
    UseReferenceReducers(false);
    ASSERT_TRUE(ReduceImage(m_Source, &direct, nullptr));
    UseReferenceReducers(true);
    ASSERT_TRUE(ReduceImage(m_Source, &reference, nullptr));
    UseReferenceReducers(false);
    for (int64_t y = 0; y < height; ++y) {
      ASSERT_EQ(memcmp(direct.Pixel(0, y), reference.Pixel(0, y), size_t(width) * 4 * size_t(direct.bytesPerSample)), 0)
          << "row " << y;
      ASSERT_EQ(memcmp(direct.MaskAt(0, y), reference.MaskAt(0, y), size_t(width)), 0) << "mask row " << y;
    }
    ReleaseImage(&direct);
    ReleaseImage(&reference);
  }
  ImageRecord m_Source;
};

}  // namespace

TEST_F(DirectReducers, BoxReductionsOfColourImagesEqualTheReference) {
  MakeSource(plugInModeRGBColor, 1237, 911, true);
  ExpectSameReduction(412, 303);  // boxes of 4 x 4, uneven edges
  ExpectSameReduction(41, 30);    // boxes of 31 x 31, past 256 pixels
  ExpectSameReduction(1236, 910);  // boxes of 1 x 1 and edge remainders
  ExpectSameReduction(177, 911);  // one axis only
}

TEST_F(DirectReducers, TwoByTwoReductionsEqualTheReference) {
  // Sizes between a half and the whole: boxes of 2 x 2 that start at rounded positions, the last
  // ones against the right and lower edges.
  MakeSource(plugInModeRGBColor, 1237, 911, true);
  ExpectSameReduction(700, 500);
  ExpectSameReduction(619, 456);
  ExpectSameReduction(900, 700);  // the last boxes start on the last column and row
  ExpectSameReduction(619, 456, plugInModeRGB48);  // into another depth: read direct, written per pixel
  ReleaseImage(&m_Source);
  MakeSource(plugInModeGrayScale, 1600, 1200, false);
  ExpectSameReduction(1001, 751);
  ExpectSameReduction(1001, 751, plugInModeGray16);
}

TEST_F(DirectReducers, BoxReductionsOfGrayImagesWithoutAMaskEqualTheReference) {
  MakeSource(plugInModeGrayScale, 1100, 1000, false);
  ExpectSameReduction(137, 125);
  ExpectSameReduction(35, 32);
}

TEST_F(DirectReducers, TheImageMaximumEqualsTheReferenceAndSkipsTransparentPixels) {
  for (int32_t mode : {plugInModeRGBColor, plugInModeGrayScale}) {
    MakeSource(mode, 301, 207, false);
    SCOPED_TRACE(testing::Message() << "mode " << mode);
    UseReferenceReducers(true);
    uint32_t reference = BrightestInRect(m_Source, 0, 0, 301, 207);
    uint32_t part = BrightestInRect(m_Source, 17, 30, 120, 31);
    UseReferenceReducers(false);
    EXPECT_EQ(BrightestInRect(m_Source, 0, 0, 301, 207), reference);
    EXPECT_EQ(BrightestInRect(m_Source, 17, 30, 120, 31), part);
    EXPECT_EQ(reference, 0xFFFFFFu) << "white pixels are in the image";
    // Only a transparent white pixel is brightest: it does not count.
    for (int64_t y = 0; y < 207; ++y) {
      for (int64_t x = 0; x < 301; ++x) {
        uint8_t* p = m_Source.Pixel(x, y);
        p[0] = p[1] = p[2] = uint8_t(x == 5 && y == 6 ? 255 : 40 + (x + y) % 7);
        p[3] = x == 5 && y == 6 ? 0 : 255;
      }
    }
    uint32_t expected = BrightestInRect(m_Source, 0, 0, 301, 207);
    UseReferenceReducers(true);
    EXPECT_EQ(BrightestInRect(m_Source, 0, 0, 301, 207), expected);
    UseReferenceReducers(false);
    EXPECT_LT(expected, 0xFFFFFFu);
    ReleaseImage(&m_Source);
  }
}

// The proxy pyramid halves linear integer levels of every size, odd ones included, where the last
// column and row repeat; gray sources write their value into all three samples.
TEST_F(DirectReducers, HalvingsOfIntegerImagesEqualTheReference) {
  struct Source {
    int32_t mode;
    bool withMask;
  };
  for (Source s : {Source{plugInModeRGBColor, true}, Source{plugInModeRGB48, false}, Source{plugInModeGrayScale, false},
                   Source{plugInModeGray16, true}}) {
    MakeSource(s.mode, 1301, 977, s.withMask);
    ExpectSameReduction(650, 488, s.mode);       // odd source: the last column and row repeat
    ExpectSameReduction(650, 488, s.mode, 1.0);  // the pyramid's linear levels
    ExpectSameReduction(651, 489, s.mode, 1.0);  // boxes start at ⌊j·fx + 0.5⌋ with fx just under 2
    ReleaseImage(&m_Source);
  }
  MakeSource(plugInModeRGB48, 640, 480, true);
  ASSERT_TRUE(SetImageGamma(&m_Source, m_Source.profile, 1.0));
  ExpectSameReduction(320, 240, plugInModeRGB48, 1.0);
}

TEST_F(DirectReducers, ACancelledHalvingReportsTheCancel) {
  MakeSource(plugInModeRGBColor, 2048, 1024, false);
  ImageRecord destination;
  ImageRect rect{0, 0, 1024, 512};
  ASSERT_TRUE(CreateImage(&destination, rect, rect, plugInModeRGBColor, nullptr, false, false));
  volatile bool cancel = true;
  EXPECT_FALSE(ReduceImage(m_Source, &destination, &cancel));
  cancel = false;
  EXPECT_TRUE(ReduceImage(m_Source, &destination, &cancel));
  ReleaseImage(&destination);
}
