// One reading for the image maximum and two reductions gives exactly what the reference reducers
// and the reference maximum give, for the sizes the analysis asks for and for awkward ones.
#include <gtest/gtest.h>

#include <cstring>

#include "ProcessingFixture.h"
#include "color/ImageProfile.h"
#include "core/OnePassReductions.h"
#include "core/Reducers.h"
#include "core/WorkerThreads.h"
#include "TestSupport.h"

namespace {

uint32_t Mix(int64_t x, int64_t y, uint32_t salt) {
  uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u ^ salt * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ (h >> 12);
}

struct Sizes {
  int32_t width, height, firstWidth, firstHeight, secondWidth, secondHeight;
};

class OnePassReductions : public ProcessingFixture, public ::testing::WithParamInterface<Sizes> {
 protected:
  void TearDown() override {
    UseReferenceReducers(false);
    ReleaseImage(&m_Source);
    ProcessingFixture::TearDown();
  }
  void MakeSource(int32_t mode, int32_t width, int32_t height, bool withMask) {
    ImageRect rect{3, 5, 3 + width, 5 + height};  // not at the origin
    ASSERT_TRUE(CreateImage(&m_Source, rect, rect, mode, nullptr, withMask, false));
    for (int64_t y = rect.top; y < rect.bottom; ++y) {
      uint8_t* p = m_Source.Pixel(rect.left, y);
      for (int64_t k = 0; k < width * 4; ++k) p[k] = uint8_t(Mix(k, y, 1) >> 24);
      for (int64_t x = 0; x < width; ++x) {
        if (Mix(x, y, 2) % 6 == 0) p[x * 4 + 3] = 0;
        if (withMask) *m_Source.MaskAt(rect.left + x, y) = uint8_t(Mix(x, y, 3) >> 24);
      }
    }
  }
  bool MakeDestination(ImageRecord* image, int32_t width, int32_t height) {
    ImageRect rect{0, 0, width, height};
    return CreateImage(image, rect, rect, plugInModeRGBColor, nullptr, true, false);
  }
  void ExpectSame(const ImageRecord& a, const ImageRecord& b) {
    for (int64_t y = 0; y < a.validHeight; ++y) {
      ASSERT_EQ(memcmp(a.Pixel(0, y), b.Pixel(0, y), size_t(a.validWidth) * 4), 0) << "row " << y;
      ASSERT_EQ(memcmp(a.MaskAt(0, y), b.MaskAt(0, y), size_t(a.validWidth)), 0) << "mask row " << y;
    }
  }
  void CompareWithReference(int32_t mode, bool withMask, const Sizes& s) {
    MakeSource(mode, s.width, s.height, withMask);
    ImageRecord first, second, firstReference, secondReference;
    ASSERT_TRUE(MakeDestination(&first, s.firstWidth, s.firstHeight));
    ASSERT_TRUE(MakeDestination(&second, s.secondWidth, s.secondHeight));
    ASSERT_TRUE(MakeDestination(&firstReference, s.firstWidth, s.firstHeight));
    ASSERT_TRUE(MakeDestination(&secondReference, s.secondWidth, s.secondHeight));
    ASSERT_TRUE(CanReduceInOnePass(m_Source, first, second));
    uint32_t maximum = 0;
    uint64_t rows = 0;
    ASSERT_TRUE(ReduceInOnePass(m_Source, &first, &second, &maximum, &rows, nullptr));
    EXPECT_EQ(rows, uint64_t(s.height)) << "every source row counted once";
    UseReferenceReducers(true);
    EXPECT_FALSE(CanReduceInOnePass(m_Source, first, second)) << "the reference path reads one reduction at a time";
    ASSERT_TRUE(ReduceImage(m_Source, &firstReference, nullptr));
    ASSERT_TRUE(ReduceImage(m_Source, &secondReference, nullptr));
    const ImageRect& r = m_Source.rectangle;
    EXPECT_EQ(maximum, BrightestInRect(m_Source, r.left, r.top, r.right, r.bottom));
    UseReferenceReducers(false);
    ExpectSame(first, firstReference);
    ExpectSame(second, secondReference);
    for (ImageRecord* image : {&first, &second, &firstReference, &secondReference}) ReleaseImage(image);
    ReleaseImage(&m_Source);
  }
  ImageRecord m_Source;
};

}  // namespace

TEST_P(OnePassReductions, EqualTheReferenceReductionsAndMaximum) {
  for (uint32_t workers : {1u, 3u}) {
    ScopedWorkerCount forced(workers);  // band seams fall inside boxes or not
    SCOPED_TRACE(testing::Message() << workers << " workers");
    CompareWithReference(plugInModeRGBColor, true, GetParam());
    CompareWithReference(plugInModeGrayScale, false, GetParam());
  }
}

INSTANTIATE_TEST_SUITE_P(Geometries, OnePassReductions,
                         ::testing::Values(Sizes{1225, 817, 76, 52, 306, 205},   // the analysis: a quarter and a whole scale
                                           Sizes{997, 601, 31, 19, 997, 601},    // the fine image at scale 1: boxes of one
                                           Sizes{640, 480, 213, 160, 91, 68},    // boxes of 3 and 7 or 8, overlapping
                                           Sizes{300, 200, 1, 1, 299, 199},      // one box over all; edges of one pixel
                                           Sizes{257, 19, 16, 3, 128, 19}));     // fewer rows than some bands

TEST_F(OnePassReductions, TwoByTwoReductionsAndLargerDestinationsAreLeftToTheReducers) {
  MakeSource(plugInModeRGBColor, 400, 300, false);
  ImageRecord half, quarter, larger;
  ASSERT_TRUE(MakeDestination(&half, 200, 150));
  ASSERT_TRUE(MakeDestination(&quarter, 100, 75));
  ASSERT_TRUE(MakeDestination(&larger, 401, 300));
  EXPECT_FALSE(CanReduceInOnePass(m_Source, quarter, half));
  EXPECT_FALSE(CanReduceInOnePass(m_Source, quarter, larger));
  EXPECT_TRUE(CanReduceInOnePass(m_Source, quarter, quarter));
  for (ImageRecord* image : {&half, &quarter, &larger}) ReleaseImage(image);
}

TEST_F(OnePassReductions, ACancelledReadingSaysSo) {
  MakeSource(plugInModeRGBColor, 500, 400, false);
  ImageRecord first, second;
  ASSERT_TRUE(MakeDestination(&first, 50, 40));
  ASSERT_TRUE(MakeDestination(&second, 200, 160));
  volatile bool cancel = true;
  uint32_t maximum = 0;
  EXPECT_FALSE(ReduceInOnePass(m_Source, &first, &second, &maximum, nullptr, &cancel));
  ReleaseImage(&first);
  ReleaseImage(&second);
}
