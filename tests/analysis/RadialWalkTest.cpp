// The direct radial walk, over the pixels and over a brightness plane, against the per-pixel
// reference profile, candidate by candidate, and detection with both against each other, on pale
// textured plateaus with real lights inside them and at their edges, gentle ramps, flat plateaus
// to be filled, and the image borders.
#include <windows.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "ProcessingFixture.h"
#include "analysis/AnalysisRun.h"
#include "analysis/LightSourceAnalysis.h"
#include "analysis/LightSourceTable.h"
#include "analysis/Measure.h"
#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "core/EightBitPixels.h"
#include "support/SyntheticScene.h"
#include "support/TexturedPlateaus.h"

namespace {

bool SameEntry(const LightSource& a, const LightSource& b) { return memcmp(&a, &b, sizeof a) == 0; }

class RadialWalk : public ProcessingFixture {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    ASSERT_TRUE(OpenProfilesFor(plugInModeRGBColor));
    m_Run.floodFillMutex = CreateMutexW(nullptr, FALSE, nullptr);
  }
  void TearDown() override {
    UseReferenceMeasurement(false);
    StopLightSourceAnalysis();
    CloseHandle(m_Run.floodFillMutex);
    ReleaseBrightnessPlane(&m_Plane);
    ReleaseImage(&m_Planed);
    ReleaseImage(&m_Direct);
    ReleaseImage(&m_Reference);
    ReleaseImage(&m_Host);
    ProcessingFixture::TearDown();
  }
  void MakeViews(int32_t width, int32_t height, AnalysisPass pass) {
    ImageRect rect{0, 0, width, height};
    for (ImageRecord* view : {&m_Direct, &m_Planed, &m_Reference}) {
      ASSERT_TRUE(CreateImage(view, rect, rect, plugInModeRGBColor, WorkingProfile(), true, false));
      PaintTexturedPlateaus(view, width, height, pass == PASS_COARSE ? kCoarseStepLimit : kFineStepLimit);
    }
    ASSERT_TRUE(IsInlineReadable(m_Direct));
    ASSERT_TRUE(MakeBrightnessPlane(m_Planed, &m_Plane));
    m_Run.rect = AnalysisRect{0, 0, double(width), double(height)};
    m_Run.imageMaximum = 0xFFFFFF;
    m_Run.pass = pass;
  }
  // Every pixel a candidate, in the order detection takes them: the same outcome, the same
  // distances to the bit, and after a fill the same view and a plane that is still the view's.
  // A walk told not to fill first says what the filling walk will do, and leaves the view alone.
  void CompareEveryCandidate(int* plateaus, int* measured) {
    const ImageRect& r = m_Direct.rectangle;
    for (int64_t y = r.top; y < r.bottom; ++y) {
      for (int64_t x = r.left; x < r.right; ++x) {
        double unfilled[8], direct[8], planed[8], reference[8];
        ProfileOutcome told = MeasureRadialProfileDirect(&m_Run, m_Direct, nullptr, x, y, unfilled, false);
        ProfileOutcome a = MeasureRadialProfileDirect(&m_Run, m_Direct, nullptr, x, y, direct);
        ProfileOutcome p = MeasureRadialProfileDirect(&m_Run, m_Planed, nullptr, x, y, planed, true, &m_Plane);
        ProfileOutcome b = MeasureRadialProfile(&m_Run, m_Reference, nullptr, x, y, reference);
        ASSERT_EQ(a, b) << "at " << x << ", " << y;
        ASSERT_EQ(p, b) << "at " << x << ", " << y;
        ASSERT_EQ(told, b == PROFILE_PLATEAU ? PROFILE_OPEN_PLATEAU : b) << "at " << x << ", " << y;
        ASSERT_EQ(memcmp(direct, reference, sizeof direct), 0) << "at " << x << ", " << y;
        ASSERT_EQ(memcmp(planed, reference, sizeof planed), 0) << "at " << x << ", " << y;
        ASSERT_EQ(memcmp(unfilled, reference, sizeof unfilled), 0) << "at " << x << ", " << y;
        if (a == PROFILE_PLATEAU) {
          ++*plateaus;
          ASSERT_NO_FATAL_FAILURE(ExpectSameViews());
          ASSERT_NO_FATAL_FAILURE(ExpectPlaneOfView());
        }
        for (double d : direct) *measured += d >= 0 ? 1 : 0;
      }
    }
  }
  void ExpectSameViews() {
    const ImageRect& r = m_Direct.rectangle;
    for (int64_t y = r.top; y < r.bottom; ++y) {
      for (const ImageRecord* view : {&m_Direct, &m_Planed}) {
        ASSERT_EQ(memcmp(view->Pixel(r.left, y), m_Reference.Pixel(r.left, y), size_t(r.Width()) * 4), 0) << "row " << y;
        ASSERT_EQ(memcmp(view->MaskAt(r.left, y), m_Reference.MaskAt(r.left, y), size_t(r.Width())), 0) << "mask row " << y;
      }
    }
  }
  void ExpectPlaneOfView() {
    BrightnessPlane fresh{};
    ASSERT_TRUE(MakeBrightnessPlane(m_Planed, &fresh));
    EXPECT_EQ(memcmp(fresh.values.block, m_Plane.values.block, size_t(fresh.values.size)), 0);
    ReleaseBrightnessPlane(&fresh);
  }
  std::vector<LightSource> Detect() {
    EXPECT_TRUE(StartLightSourceAnalysis(m_Host));
    EXPECT_TRUE(WaitForLightSourceAnalysis(INFINITE));
    EXPECT_EQ(m_Result, 0);
    std::vector<LightSource> table(gLightSourceTable.Entries(), gLightSourceTable.Entries() + gLightSourceTable.count);
    StopLightSourceAnalysis();
    return table;
  }
  AnalysisRun m_Run{};
  ImageRecord m_Direct, m_Planed, m_Reference, m_Host;
  BrightnessPlane m_Plane{};
};

}  // namespace

TEST_F(RadialWalk, EveryFineCandidateWalksAsTheReferenceDoes) {
  MakeViews(330, 260, PASS_FINE);
  int plateaus = 0, measured = 0;
  CompareEveryCandidate(&plateaus, &measured);
  EXPECT_GE(plateaus, 1) << "the flat plateau was filled";
  EXPECT_GT(measured, 100000) << "most walks found an edge";
}

TEST_F(RadialWalk, EveryCoarseCandidateWalksAsTheReferenceDoes) {
  // Wider than the coarse search both ways, so that walks end at their step limit too.
  MakeViews(700, 300, PASS_COARSE);
  int plateaus = 0, measured = 0;
  CompareEveryCandidate(&plateaus, &measured);
  EXPECT_GE(plateaus, 1);
  EXPECT_GT(measured, 100000);
}

TEST_F(RadialWalk, DetectionFindsTheReferenceTableOnTexturedPlateaus) {
  Scene scene;
  scene.width = 900;
  scene.height = 640;
  ASSERT_TRUE(RenderScene(scene, &m_Host));
  PaintTexturedPlateaus(&m_Host, scene.width, scene.height, kFineStepLimit);
  std::vector<LightSource> direct = Detect();
  UseReferenceMeasurement(true);
  std::vector<LightSource> reference = Detect();
  UseReferenceMeasurement(false);
  ASSERT_GE(reference.size(), 5u) << "the lights in the plateaus are found";
  ASSERT_EQ(direct.size(), reference.size());
  for (size_t i = 0; i < direct.size(); ++i) {
    EXPECT_TRUE(SameEntry(direct[i], reference[i])) << "entry " << i << " at " << direct[i].x << ", " << direct[i].y;
  }
}

TEST_F(RadialWalk, NeighboursOfLightsOnBrightGrainAreSparedTheirRefinementForTheReferenceTable) {
  // Every pixel of the grain is a candidate, and the many neighbours of each light that find it
  // again are not refined: the table must still be the one of bands measuring every candidate.
  Scene scene;
  scene.width = 640;
  scene.height = 420;
  scene.background = 0.56;
  scene.noise = 0.12;
  for (int i = 0; i < 70; ++i) {
    scene.lights.push_back(SceneLight{30.0 + (i % 10) * 60 + (i % 3) * 0.25, 30.0 + (i / 10) * 55 + (i % 4) * 0.5, 1.5 + (i % 12) * 0.5});
    scene.lights.back().soft = i % 2 == 1;
  }
  ASSERT_TRUE(RenderScene(scene, &m_Host));
  std::vector<LightSource> direct = Detect();
  AnalysisCounts counts = GetLightSourceAnalysisCounts();
  UseReferenceMeasurement(true);
  std::vector<LightSource> reference = Detect();
  UseReferenceMeasurement(false);
  EXPECT_GT(counts.spared, 100u) << "neighbours of lights were spared";
  EXPECT_EQ(GetLightSourceAnalysisCounts().spared, 0u) << "the reference spares nothing";
  ASSERT_GE(reference.size(), 60u);
  ASSERT_EQ(direct.size(), reference.size());
  for (size_t i = 0; i < direct.size(); ++i) {
    EXPECT_TRUE(SameEntry(direct[i], reference[i])) << "entry " << i << " at " << direct[i].x << ", " << direct[i].y;
  }
}
