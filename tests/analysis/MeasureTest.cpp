// The pieces of a measurement on small hand-made analysis images: the radial profile, the
// recentring, the plateau fill and the merge of the bands' lists.
#include <windows.h>
#include <gtest/gtest.h>

#include <cmath>

#include "ProcessingFixture.h"
#include "TestSupport.h"
#include "analysis/Detection.h"
#include "analysis/FloodFill.h"
#include "analysis/Measure.h"
#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// A run over a hand-made 8-bit analysis image in the working profile.
class MeasureTest : public ProcessingFixture {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    ASSERT_TRUE(OpenProfilesFor(plugInModeRGBColor));
    m_Run.floodFillMutex = CreateMutexW(nullptr, FALSE, nullptr);
  }
  void TearDown() override {
    CloseHandle(m_Run.floodFillMutex);
    ReleaseImage(&m_Run.image);
    ReleaseLightSourceTable(&gLightSourceTable);
    ProcessingFixture::TearDown();
  }
  void MakeImage(int32_t width, int32_t height, uint32_t level) {
    ImageRect rect{0, 0, width, height};
    ASSERT_TRUE(CreateImage(&m_Run.image, rect, rect, plugInModeRGBColor, WorkingProfile(), true, false));
    FillImageRect(&m_Run.image, PixelValue{level, level, level, kFullFraction, kFullFraction}, rect);
    m_Run.rect = AnalysisRect{0, 0, double(width), double(height)};
    m_Run.imageMaximum = kWhite;
    m_Run.pass = PASS_FINE;
  }
  void Disc(double cx, double cy, double r, uint32_t level) {
    for (int64_t y = 0; y < m_Run.image.rectangle.bottom; ++y) {
      for (int64_t x = 0; x < m_Run.image.rectangle.right; ++x) {
        if (std::hypot(x - cx, y - cy) <= r) m_Run.image.writePixel(&m_Run.image, x, y, PixelValue{level, level, level, kFullFraction, kFullFraction});
      }
    }
  }
  uint8_t MaskAt(int64_t x, int64_t y) { return *m_Run.image.MaskAt(x, y); }
  AnalysisRun m_Run{};
};

}  // namespace

TEST_F(MeasureTest, TheRadialProfileFindsTheEdgeOfADiscInEveryDirection) {
  MakeImage(120, 120, 0x020000);
  Disc(60, 60, 10, kWhite);
  double d[8];
  ASSERT_EQ(MeasureRadialProfile(&m_Run, 60, 60, d), PROFILE_MEASURED);
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(d[i], 10.5, 1.0) << "direction " << i;
  // Off centre by a pixel: nearer on the right, farther on the left.
  ASSERT_EQ(MeasureRadialProfile(&m_Run, 61, 60, d), PROFILE_MEASURED);
  EXPECT_NEAR(d[0], 9.5, 1.0);
  EXPECT_NEAR(d[4], 11.5, 1.0);
  double x = 61, y = 60;
  ASSERT_TRUE(RecentreFromDistances(d, &x, &y));
  // Diagonal edges count at their projection, which underestimates the imbalance a little.
  EXPECT_NEAR(x, 60, 0.4) << "half the imbalance brings the centre back";
  EXPECT_NEAR(y, 60, 0.1);
}

TEST_F(MeasureTest, RecentringNeedsBothSidesOfBothAxes) {
  double x = 10, y = 10;
  const double missingLeft[8] = {4, 4, 4, -1, -1, -1, 4, 4};
  EXPECT_FALSE(RecentreFromDistances(missingLeft, &x, &y));
  EXPECT_EQ(x, 10);
  const double skewed[8] = {6, -1, 2, -1, 2, -1, 2, -1};
  ASSERT_TRUE(RecentreFromDistances(skewed, &x, &y));
  EXPECT_EQ(x, 12);
  EXPECT_EQ(y, 10);
}

TEST_F(MeasureTest, AnEdgeAtTheImageBorderIsNoDistance) {
  MakeImage(40, 40, 0x020000);
  Disc(2, 20, 6, kWhite);
  double d[8];
  ASSERT_EQ(MeasureRadialProfile(&m_Run, 2, 20, d), PROFILE_MEASURED);
  EXPECT_EQ(d[4], -1) << "the walk to the left leaves the image before the edge";
  EXPECT_GT(d[0], 5);
}

TEST_F(MeasureTest, APlateauWiderThanTheSearchIsFilledAway) {
  MakeImage(300, 40, 0x020000);
  // A bright band wider than 96 pixels both ways from its middle, with a dark pixel to its right.
  for (int64_t y = 0; y < 40; ++y) {
    for (int64_t x = 20; x < 280; ++x) m_Run.image.writePixel(&m_Run.image, x, y, PixelValue{kWhite, kWhite, kWhite, kFullFraction, kFullFraction});
  }
  double d[8];
  EXPECT_EQ(MeasureRadialProfile(&m_Run, 150, 20, d), PROFILE_PLATEAU);
  for (double distance : d) EXPECT_EQ(distance, -1);
  EXPECT_EQ(MaskAt(150, 20), 0);
  EXPECT_EQ(MaskAt(20, 0), 0);
  EXPECT_EQ(MaskAt(279, 39), 0);
  EXPECT_EQ(MaskAt(19, 20), 255) << "the dark border is not part of the plateau";
  EXPECT_EQ(MaskAt(280, 20), 255);
}

TEST_F(MeasureTest, AFloodFillThatCannotGrowItsListSaysSoAndStops) {
  MakeImage(50, 50, kWhite);
  ReportCapture capture;
  FailNextBufferAllocations(1);
  EXPECT_FALSE(FloodFillPlateau(&m_Run, 25, 25, PixelValue{kWhite, kWhite, kWhite, kFullFraction, kFullFraction}));
  EXPECT_EQ(m_Result, -108);
  EXPECT_TRUE(capture.HasReport("Unable to allocate memory for a flood fill list."));
}

namespace {

LightSource At(double x, double y, double r) {
  LightSource s{};
  s.x = x, s.y = y, s.radius = r, s.radiusSquared = r * r;
  s.red = s.green = s.blue = kFullFraction;
  s.state = s.savedState = LIGHT_DETECTED;
  return s;
}

}  // namespace

TEST_F(MeasureTest, MergingBandsKeepsTheLargerOfAPairAcrossTheSeam) {
  AnalysisRun run{};
  int count = 0;
  AnalysisSection* sections = nullptr;
  {
    ScopedWorkerCount two(2);  // two bands, one seam, on any machine
    sections = CreateAnalysisSections(&run, 0, 0, 100, 2, &count);
  }
  ASSERT_EQ(count, 2);
  // Band 0 ends with a small light at its bottom edge; band 1 starts with a larger one over it.
  InsertLightSource(&sections[0].list, At(10, 5, 1));
  InsertLightSource(&sections[0].list, At(50, 49, 2));
  InsertLightSource(&sections[1].list, At(51, 51, 5));
  InsertLightSource(&sections[1].list, At(20, 90, 2));
  LightSource old = At(80, 80, 3);
  InsertLightSource(&gLightSourceTable, old);
  MergeSectionLists(sections, count);
  DestroyAnalysisSections(sections, count);
  ASSERT_EQ(gLightSourceTable.count, 4u);
  const LightSource* e = gLightSourceTable.Entries();
  EXPECT_EQ(e[0].x, 10);
  EXPECT_EQ(e[1].radius, 5) << "the small one at the seam gave way";
  EXPECT_EQ(e[2].x, 20);
  EXPECT_EQ(e[3].x, 80) << "the entries of before come after the new ones";
  EXPECT_EQ(gLightSourceTable.maxRadius, 5);
}

TEST_F(MeasureTest, AMergeThatCannotAllocateKeepsTheTableOfBefore) {
  AnalysisRun run{};
  int count = 0;
  AnalysisSection* sections = CreateAnalysisSections(&run, 0, 0, 100, 100, &count);
  ASSERT_NE(sections, nullptr);
  InsertLightSource(&sections[0].list, At(10, 5, 1));
  InsertLightSource(&gLightSourceTable, At(80, 80, 3));
  ReportCapture capture;
  FailNextBufferAllocations(1);
  MergeSectionLists(sections, count);
  DestroyAnalysisSections(sections, count);
  EXPECT_TRUE(capture.HasReport("Could not allocate memory for the table of Highlights.  Some effects will be missing."));
  ASSERT_EQ(gLightSourceTable.count, 1u);
  EXPECT_EQ(gLightSourceTable.Entries()[0].x, 80);
}
