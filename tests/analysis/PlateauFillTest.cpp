// The plateau fill by runs of a row against the per-pixel reference fill, on a maze of pale
// texture with walls, gaps, unselected pixels and an analysis rectangle smaller than the image;
// and the other bands' replay of its log.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ProcessingFixture.h"
#include "TestSupport.h"
#include "analysis/FloodFill.h"
#include "analysis/Measure.h"
#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "core/EightBitPixels.h"

namespace {

constexpr double kLinearFull = 16777215.0;
constexpr int32_t kWidth = 260, kHeight = 200;

uint32_t Hash(int64_t x, int64_t y) {
  uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 13;
  return h;
}

// Pale grain within an eighth of the seeds' colour, broken by blocks of wall, a wall down the
// middle with one gap, a patch of another hue (as bright, but not within an eighth in blue), and
// a diagonal of unselected pixels.
bool IsWall(int64_t x, int64_t y) { return Hash(x / 3, y / 3) % 5 == 0 || (x == 130 && (y < 90 || y > 93)); }

PixelValue MazeColour(int64_t x, int64_t y) {
  auto grey = [](double level, double blue) {
    return PixelValue{uint32_t(level * kLinearFull), uint32_t(level * kLinearFull), uint32_t(blue * kLinearFull), kFullFraction,
                      kFullFraction};
  };
  if (IsWall(x, y)) return grey(0.1, 0.1);
  if (x >= 180 && x < 220 && y >= 120 && y < 160) return grey(0.6, 0.3);
  double level = 0.6 + 0.02 * ((Hash(x, y) >> 8) / 16777216.0);
  return grey(level, level);
}

class PlateauFill : public ProcessingFixture {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    ASSERT_TRUE(OpenProfilesFor(plugInModeRGBColor));
    m_Run.floodFillMutex = CreateMutexW(nullptr, FALSE, nullptr);
    // The fill keeps to the analysis rectangle, which leaves a margin of the image out.
    m_Run.rect = AnalysisRect{6, 4, double(kWidth - 6), double(kHeight - 4)};
    for (int k = 0; k < 3; ++k) ASSERT_NO_FATAL_FAILURE(MakeView(&m_Views[k], &m_Planes[k]));
  }
  void TearDown() override {
    UseReferenceMeasurement(false);
    CloseHandle(m_Run.floodFillMutex);
    for (int k = 0; k < 3; ++k) {
      ReleaseBrightnessPlane(&m_Planes[k]);
      ReleaseImage(&m_Views[k]);
      ReleaseFillLog(&m_Logs[k]);
    }
    ProcessingFixture::TearDown();
  }
  void MakeView(ImageRecord* view, BrightnessPlane* plane) {
    ImageRect rect{0, 0, kWidth, kHeight};
    ASSERT_TRUE(CreateImage(view, rect, rect, plugInModeRGBColor, WorkingProfile(), true, false));
    for (int64_t y = 0; y < kHeight; ++y) {
      for (int64_t x = 0; x < kWidth; ++x) {
        view->writePixel(view, x, y, MazeColour(x, y));
        if (x == y + 40) *view->MaskAt(x, y) = 0;
      }
    }
    ASSERT_TRUE(IsInlineReadable(*view));
    ASSERT_TRUE(MakeBrightnessPlane(*view, plane));
  }
  // Fills from the seed in view k, by runs or with the reference, logging what it filled.
  bool FillFrom(int k, int64_t x, int64_t y, bool reference) {
    PixelValue seed{};
    ReadEightBitColour(m_Views[k], x, y, &seed);
    UseReferenceMeasurement(reference);
    bool filled = FloodFillPlateau(&m_Run, m_Views[k], &m_Logs[k], x, y, seed, &m_Planes[k]);
    UseReferenceMeasurement(false);
    return filled;
  }
  void ExpectSameViews(int a, int b) {
    for (int64_t y = 0; y < kHeight; ++y) {
      ASSERT_EQ(memcmp(m_Views[a].Pixel(0, y), m_Views[b].Pixel(0, y), size_t(kWidth) * 4), 0) << "row " << y;
      ASSERT_EQ(memcmp(m_Views[a].MaskAt(0, y), m_Views[b].MaskAt(0, y), size_t(kWidth)), 0) << "mask row " << y;
    }
    ExpectSamePlanes(m_Views[a], m_Planes[a], m_Views[b], m_Planes[b]);
  }
  // Within the image: the plane's rows are as long as the allocation, whose spare pixels are not
  // the image's.
  static void ExpectSamePlanes(const ImageRecord& viewA, const BrightnessPlane& a, const ImageRecord& viewB,
                               const BrightnessPlane& b) {
    for (int64_t y = 0; y < kHeight; ++y) {
      ASSERT_EQ(memcmp(a.At(viewA, 0, y), b.At(viewB, 0, y), size_t(kWidth) * sizeof(int32_t)), 0) << "plane row " << y;
    }
  }
  std::vector<uint64_t> SortedLog(int k) {
    const auto* items = static_cast<const uint64_t*>(m_Logs[k].buffer.block);
    std::vector<uint64_t> log(items, items + m_Logs[k].count);
    std::sort(log.begin(), log.end());
    return log;
  }
  int64_t FilledCount(int k) {
    int64_t count = 0;
    for (int64_t y = 0; y < kHeight; ++y) {
      for (int64_t x = 0; x < kWidth; ++x) count += *m_Views[k].MaskAt(x, y) == 0 && !(x == y + 40);
    }
    return count;
  }
  AnalysisRun m_Run{};
  ImageRecord m_Views[3];
  BrightnessPlane m_Planes[3]{};
  FillLog m_Logs[3]{};
};

}  // namespace

TEST_F(PlateauFill, FillingByRunsFillsThePixelsOfTheReferenceFill) {
  // Two fills in a row: the pale maze, whose left half reaches the right only through the gap in
  // the middle wall, then the patch of another hue inside it.
  ASSERT_FALSE(IsWall(20, 30));
  const int64_t seeds[2][2] = {{20, 30}, {200, 140}};
  for (const auto& seed : seeds) {
    SCOPED_TRACE(testing::Message() << "seed " << seed[0] << ", " << seed[1]);
    ASSERT_TRUE(FillFrom(0, seed[0], seed[1], false));
    ASSERT_TRUE(FillFrom(1, seed[0], seed[1], true));
    ASSERT_NO_FATAL_FAILURE(ExpectSameViews(0, 1));
    EXPECT_EQ(SortedLog(0), SortedLog(1)) << "both logs hold each filled pixel once";
  }
  // The fills were real and bounded: most of the pale maze and the patch, none of the walls or the
  // margin outside the rectangle.
  int64_t filled = FilledCount(0);
  EXPECT_GT(filled, kWidth * kHeight / 4);
  EXPECT_LT(filled, kWidth * kHeight * 9 / 10);
  EXPECT_NE(*m_Views[0].MaskAt(250, 100), 0) << "right of the rectangle";
  EXPECT_NE(*m_Views[0].MaskAt(100, 2), 0) << "above the rectangle";
  EXPECT_NE(*m_Views[0].MaskAt(130, 50), 0) << "the middle wall";
  EXPECT_EQ(*m_Views[0].MaskAt(185, 125), 0) << "the patch";
  EXPECT_EQ(*m_Planes[0].At(m_Views[0], 20, 30), m_Planes[0].filled);
}

TEST_F(PlateauFill, ALogOfRunsFillsAnotherBandsViewAsTheFillDid) {
  ASSERT_TRUE(FillFrom(0, 20, 30, false));
  ASSERT_TRUE(FillFrom(1, 20, 30, true));
  // A few single pixels logged after the runs, as a fill may leave them.
  for (int64_t x : {3, 5, 9}) {
    MarkPixelFilled(m_Views[0], x, 1, &m_Planes[0]);
    ASSERT_TRUE(LogFilledPixel(&m_Logs[0], x, 1));
  }
  FillLoggedPixels(m_Views[2], m_Logs[0], &m_Planes[2]);
  ASSERT_NO_FATAL_FAILURE(ExpectSameViews(0, 2));
  // The reference's log, pixel by pixel in its own order, fills alike.
  BrightnessPlane replayed{};
  ImageRecord view;
  ASSERT_NO_FATAL_FAILURE(MakeView(&view, &replayed));
  FillLoggedPixels(view, m_Logs[1], &replayed);
  for (int64_t y = 0; y < kHeight; ++y) {
    ASSERT_EQ(memcmp(view.Pixel(0, y), m_Views[1].Pixel(0, y), size_t(kWidth) * 4), 0) << "row " << y;
  }
  ExpectSamePlanes(view, replayed, m_Views[1], m_Planes[1]);
  ReleaseBrightnessPlane(&replayed);
  ReleaseImage(&view);
}

TEST_F(PlateauFill, AFillByRunsThatCannotGrowItsLogSaysSoAndStops) {
  ReportCapture capture;
  FailNextBufferAllocations(1);  // the log's first room
  EXPECT_FALSE(FillFrom(0, 20, 30, false));
  EXPECT_EQ(m_Result, -108);
  EXPECT_TRUE(capture.HasReport("Unable to allocate memory for a flood fill list."));
}

TEST_F(PlateauFill, AnAbortedFillStopsPartWay) {
  m_Run.abort = true;
  EXPECT_FALSE(FillFrom(0, 20, 30, false));
  EXPECT_LT(FilledCount(0), kWidth * kHeight / 3) << "the fill stopped before the plateau was done";
}
