// Detection on synthetic scenes with known answers.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "ProcessingFixture.h"
#include "support/SyntheticScene.h"
#include "analysis/LightSourceAnalysis.h"
#include "analysis/Detection.h"
#include "analysis/LightSourceTable.h"
#include "TestSupport.h"

class Detection : public ProcessingFixture {
 protected:
  void TearDown() override {
    StopLightSourceAnalysis();
    ReleaseImage(&m_Image);
    ProcessingFixture::TearDown();
  }
  // Detects the scene's light sources; the table is gLightSourceTable.
  void Detect(const Scene& scene) {
    ASSERT_TRUE(OpenProfilesFor(scene.mode));
    ASSERT_TRUE(RenderScene(scene, &m_Image));
    ASSERT_TRUE(StartLightSourceAnalysis(m_Image));
    ASSERT_TRUE(WaitForLightSourceAnalysis(INFINITE));
    ASSERT_EQ(m_Result, 0);
  }
  // The entry nearest to a point, or null.
  const LightSource* Nearest(double x, double y, double within) const {
    const LightSource* best = nullptr;
    double bestDistance = within;
    for (uint64_t i = 0; i < gLightSourceTable.count; ++i) {
      const LightSource& e = gLightSourceTable.Entries()[i];
      double d = std::hypot(e.x - x, e.y - y);
      if (d <= bestDistance) best = &e, bestDistance = d;
    }
    return best;
  }
  ImageRecord m_Image;
};

namespace {

// Lights on a grid, radii 1 to 60, each colour distinct.
Scene GridScene(int32_t mode, bool soft, std::vector<double> radii = {1, 1.5, 2, 3, 4.5, 6, 9, 13, 20, 30, 45, 60}) {
  Scene scene;
  scene.width = 1100;
  scene.height = 700;
  scene.mode = mode;
  // Lamps are bright: tinted, but near full scale in every channel, as real light sources are.
  const double colours[][3] = {{1, 1, 1}, {1, 0.85, 0.65}, {0.7, 0.85, 1}, {1, 0.95, 0.8}, {0.85, 1, 0.75}, {1, 0.8, 0.9}};
  double x = 80, y = 80, rowHeight = 0;
  int i = 0;
  for (double r : radii) {
    double reach = std::max(3.2 * r, 20.0);
    if (x + reach > scene.width - 10) x = 80, y += rowHeight, rowHeight = 0;
    SceneLight light{x + reach * 0.5 + 0.25 * (i % 4), y + reach * 0.5 + 0.25 * ((i / 2) % 4), r};
    light.red = colours[i % 6][0], light.green = colours[i % 6][1], light.blue = colours[i % 6][2];
    light.soft = soft;
    scene.lights.push_back(light);
    x += reach + 20;
    rowHeight = std::max(rowHeight, reach + 20);
    ++i;
  }
  return scene;
}

// What a detection should report of a scene light: its centre, its diameter and its hue.
// Flat discs measure to their edge; overexposed blobs to where they fall to half, √2 times out.
// Lights larger than 6 coarse pixels are found in the coarse pass, a quarter of the resolution:
// their centres are good to half a coarse pixel.
void ExpectFound(const Scene& scene, const SceneLight& light, bool gray) {
  SCOPED_TRACE(testing::Message() << "light of radius " << light.radius << " at " << light.x << ", " << light.y);
  std::vector<const LightSource*> found;
  for (uint64_t i = 0; i < gLightSourceTable.count; ++i) {
    const LightSource& e = gLightSourceTable.Entries()[i];
    if (std::hypot(e.x - light.x, e.y - light.y) <= std::max(light.radius, 2.0)) found.push_back(&e);
  }
  ASSERT_EQ(found.size(), 1u) << "found once";
  const LightSource& e = *found[0];
  double scale = AnalysisScaleOf(scene.width, scene.height);
  bool coarse = light.radius * scale / 4 > 6;
  double centreTolerance = 0.5 / (coarse ? scale / 4 : scale);
  EXPECT_LE(std::fabs(e.x - light.x), centreTolerance);
  EXPECT_LE(std::fabs(e.y - light.y), centreTolerance);
  double diameter = 2 * light.radius * (light.soft ? std::sqrt(2.0) : 1.0);
  EXPECT_NEAR(2 * e.radius, diameter, std::max(diameter / 4, 0.5));
  if (gray) {
    EXPECT_EQ(e.red, e.green);
    EXPECT_EQ(e.green, e.blue);
    return;
  }
  // The hue: channels keep their order.
  const double truth[3] = {light.red, light.green, light.blue};
  const uint32_t measured[3] = {e.red, e.green, e.blue};
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) {
      if (truth[a] > truth[b] + 0.08) {
        EXPECT_GT(measured[a], measured[b]) << "channel " << a << " over " << b;
      }
    }
  }
}

}  // namespace

TEST_F(Detection, FlatDiscsOfRadiusOneToSixtyAreFoundOnceWithCentreSizeAndHue) {
  Scene scene = GridScene(plugInModeRGBColor, false);
  Detect(scene);
  for (const SceneLight& light : scene.lights) ExpectFound(scene, light, false);
  EXPECT_EQ(gLightSourceTable.count, scene.lights.size()) << "and nothing else";
}

TEST_F(Detection, OverexposedBlobsAreMeasuredToTheirHalfLevel) {
  Scene scene = GridScene(plugInModeRGBColor, true);
  Detect(scene);
  for (const SceneLight& light : scene.lights) ExpectFound(scene, light, false);
  EXPECT_EQ(gLightSourceTable.count, scene.lights.size());
}

TEST_F(Detection, EveryModeAndDepthFindsTheSameLights) {
  const int32_t modes[] = {plugInModeGrayScale, plugInModeGray16, plugInModeGray32, plugInModeRGB48, plugInModeRGB96};
  for (int32_t mode : modes) {
    SCOPED_TRACE(testing::Message() << "mode " << mode);
    Scene scene = GridScene(mode, false, {1.5, 4, 12, 40});
    scene.height = 400;
    if (IsGrayImageMode(mode)) {
      for (SceneLight& light : scene.lights) light.red = light.green = light.blue = 1.0;  // grey lamps are white
    }
    Detect(scene);
    for (const SceneLight& light : scene.lights) ExpectFound(scene, light, IsGrayImageMode(mode));
    EXPECT_EQ(gLightSourceTable.count, scene.lights.size());
    StopLightSourceAnalysis();
    ReleaseImage(&m_Image);
    TerminateColorConversion();
  }
}

TEST_F(Detection, HighlightsOfEverySizeBetweenTheTwoPassesAreFound) {
  // At full scale the coarse pass keeps radii above 6 coarse pixels, 24 pixels here; the fine
  // pass must take everything below.
  Scene scene = GridScene(plugInModeRGBColor, false, {18, 20, 21, 22, 23, 24, 25, 26});
  scene.height = 500;
  Detect(scene);
  for (const SceneLight& light : scene.lights) ExpectFound(scene, light, false);
}

TEST_F(Detection, RanksFollowBrightnessAndSize) {
  Scene scene;
  scene.lights = {{60, 60, 4}, {160, 60, 4, 0.88, 0.88, 0.88}, {260, 60, 8}, {60, 200, 16}};
  Detect(scene);
  ASSERT_EQ(gLightSourceTable.count, 4u);
  auto brightness = [this](const SceneLight& l) { return Nearest(l.x, l.y, 3)->brightness; };
  EXPECT_GT(brightness(scene.lights[0]), brightness(scene.lights[1])) << "brighter ranks higher";
  EXPECT_GT(brightness(scene.lights[2]), brightness(scene.lights[0])) << "larger ranks higher";
  EXPECT_GT(brightness(scene.lights[3]), brightness(scene.lights[2]));
  EXPECT_EQ(gLightSourceTable.maxBrightness, brightness(scene.lights[3]));
  EXPECT_EQ(gLightSourceTable.finished, 1);
}

TEST_F(Detection, OverlappingHighlightsLeaveTheLarger) {
  Scene scene;
  scene.lights = {{150, 150, 15}, {163, 150, 4}, {100, 60, 3}, {104, 62, 9}};
  Detect(scene);
  const LightSource* big = Nearest(150, 150, 2);
  ASSERT_NE(big, nullptr);
  EXPECT_GT(big->radius, 12);
  EXPECT_EQ(Nearest(163, 150, 3), nullptr);
  const LightSource* second = Nearest(104, 62, 2);
  ASSERT_NE(second, nullptr);
  EXPECT_GT(second->radius, 7);
  EXPECT_EQ(gLightSourceTable.count, 2u);
}

TEST_F(Detection, PixelsOutsideTheSelectionOrFullyTransparentAreNeverCentres) {
  for (bool bySelection : {true, false}) {
    SCOPED_TRACE(bySelection ? "selection" : "transparency");
    Scene scene;
    scene.lights = {{50, 50, 3}, {120, 200, 8}, {250, 50, 3}, {320, 200, 8}, {205, 120, 6}};
    scene.selectLeftHalf = bySelection;
    scene.transparentRightHalf = !bySelection;
    Detect(scene);
    for (uint64_t i = 0; i < gLightSourceTable.count; ++i) EXPECT_LT(gLightSourceTable.Entries()[i].x, 200.0);
    EXPECT_NE(Nearest(50, 50, 1), nullptr);
    EXPECT_NE(Nearest(120, 200, 1), nullptr);
    EXPECT_EQ(Nearest(250, 50, 5), nullptr);
    StopLightSourceAnalysis();
    ReleaseImage(&m_Image);
    TerminateColorConversion();
  }
}

TEST_F(Detection, TransparentUniformAndBlackImagesYieldNothing) {
  Scene transparent;
  transparent.lights = {{100, 100, 5}, {200, 150, 12}};
  transparent.transparentEverywhere = true;
  Scene uniform;
  uniform.background = 0.9;
  uniform.noise = 0;
  Scene black;
  black.background = 0;
  black.noise = 0;
  for (const Scene* scene : {&transparent, &uniform, &black}) {
    Detect(*scene);
    EXPECT_EQ(gLightSourceTable.count, 0u);
    EXPECT_EQ(gLightSourceTable.finished, 1);
    StopLightSourceAnalysis();
    ReleaseImage(&m_Image);
    TerminateColorConversion();
  }
}

TEST_F(Detection, AnImageWithFewerRowsThanWorkersUsesARowABand) {
  ScopedWorkerCount four(4);
  AnalysisRun run{};
  int count = 0;
  const int64_t rows = 3;
  AnalysisSection* sections = CreateAnalysisSections(&run, 0, 10, 50, 10 + rows, &count);
  ASSERT_NE(sections, nullptr);
  EXPECT_EQ(count, rows);
  for (int k = 0; k < count; ++k) {
    EXPECT_EQ(sections[k].top, 10 + k);
    EXPECT_EQ(sections[k].bottom - sections[k].top, 1);
  }
  DestroyAnalysisSections(sections, count);
  // Bands split evenly, one a worker, and the last runs to the bottom.
  sections = CreateAnalysisSections(&run, 0, 0, 50, 1000 + 7, &count);
  ASSERT_NE(sections, nullptr);
  ASSERT_EQ(count, 4);
  EXPECT_EQ(sections[3].bottom, 1007);
  EXPECT_EQ(sections[3].top, 3 * 251);
  EXPECT_EQ(sections[0].bottom - sections[0].top, 251);
  DestroyAnalysisSections(sections, count);

  Scene thin;
  thin.width = 300;
  thin.height = int32_t(rows);
  thin.lights = {{100, 0, 1}};
  Detect(thin);
  EXPECT_EQ(m_Result, 0);
}

TEST_F(Detection, AHighlightWiderThan128AnalysisPixelsIsNotRecorded) {
  Scene scene;
  scene.width = scene.height = 1400;  // analysed at full size: 600 pixels is 150 coarse pixels
  scene.lights = {{700, 700, 600}, {60, 60, 5}};
  Detect(scene);
  EXPECT_NE(Nearest(60, 60, 1), nullptr);
  for (uint64_t i = 0; i < gLightSourceTable.count; ++i) EXPECT_LT(gLightSourceTable.Entries()[i].radius, 128.0 * 4);
  EXPECT_EQ(Nearest(700, 700, 300), nullptr);
}

TEST_F(Detection, ProgressCompletesAndCountsEveryAnalysedRow) {
  Scene scene;
  scene.lights = {{100, 100, 4}};
  Detect(scene);
  uint64_t done, total;
  GetLightSourceAnalysisProgress(&done, &total);
  EXPECT_EQ(total, uint64_t(std::ceil(scene.height * (0.25 + 1 + 1))));
  EXPECT_EQ(done, total);
  EXPECT_FALSE(LightSourceAnalysisRunning());
}

TEST_F(Detection, StopWhileTheAnalysisRunsEndsItAndEmptiesTheTable) {
  Scene scene;
  scene.width = 4000;
  scene.height = 3000;
  scene.noise = 0.5;  // many candidates keep the analysis busy
  scene.background = 0.3;
  ASSERT_TRUE(OpenProfilesFor(scene.mode));
  ASSERT_TRUE(RenderScene(scene, &m_Image));
  ASSERT_TRUE(StartLightSourceAnalysis(m_Image));
  // Under way: some rows analysed, far from all of them.
  EXPECT_TRUE(WaitUntil([] {
    uint64_t done = 0, total = 0;
    GetLightSourceAnalysisProgress(&done, &total);
    return done > 0;
  }));
  EXPECT_TRUE(LightSourceAnalysisRunning());
  StopLightSourceAnalysis();
  EXPECT_FALSE(LightSourceAnalysisRunning());
  EXPECT_EQ(gLightSourceTable.count, 0u);
  EXPECT_EQ(gLightSourceTable.entries.block, nullptr);
  EXPECT_EQ(m_Result, 0) << "stopping is not a failure";
}

TEST_F(Detection, OutOfMemoryForTheAnalysisImageFailsTheRunWithItsCode) {
  Scene scene;
  scene.lights = {{100, 100, 4}};
  ASSERT_TRUE(OpenProfilesFor(scene.mode));
  ASSERT_TRUE(RenderScene(scene, &m_Image));
  ReportCapture capture;
  FailNextBufferAllocations(1);
  ASSERT_TRUE(StartLightSourceAnalysis(m_Image));
  ASSERT_TRUE(WaitForLightSourceAnalysis(INFINITE));
  EXPECT_EQ(m_Result, -108);
  EXPECT_TRUE(LightSourceAnalysisFailed());
  EXPECT_TRUE(capture.HasReport("Result was not noErr in InitializeDataTask(), *gResult set to -108."));
  EXPECT_EQ(gLightSourceTable.count, 0u);
}
