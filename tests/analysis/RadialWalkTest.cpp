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
#include "analysis/LightSourceAnalysis.h"
#include "analysis/LightSourceTable.h"
#include "analysis/Measure.h"
#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "core/EightBitPixels.h"
#include "support/SyntheticScene.h"

namespace {

constexpr double kLinearFull = 16777215.0;

uint32_t Hash(int64_t x, int64_t y, uint32_t seed) {
  uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 13;
  return h;
}

// Linear level of a scene made to exercise every way a walk ends: grain of a few percent and of
// a fifth (edges found early and late, colours that change), a ramp in green alone that rises
// without an edge by just over an eighth over the search (a colour change only just), a flat pale
// plateau wider than the search, lights inside and at the edges of the plateaus, and a dark
// surround that ends some walks at the border.
struct Level {
  double red, green, blue;
};

Level TexturedLevel(int64_t x, int64_t y, int64_t width, int64_t height, int stepLimit) {
  double grain = (Hash(x, y, 7) >> 8) / 16777216.0;
  struct Light {
    double x, y, r;
  };
  const Light lights[] = {{0.25, 0.3, 3}, {0.5, 0.5, 6}, {0.2, 0.75, 2}, {0.7, 0.25, 4}, {0.62, 0.78, 1.5}, {0.06, 0.5, 5}};
  for (const Light& light : lights) {
    if (std::hypot(x - light.x * width, y - light.y * height) <= light.r) return Level{1.0, 0.98, 0.95};
  }
  double u = double(x) / width, v = double(y) / height;
  if (v < 0.1) return Level{0.02 + 0.01 * grain, 0.02, 0.02};
  if (u < 0.45 && v < 0.55) {
    double level = 0.55 + 0.03 * grain;  // the pale wood: within an eighth, no fill for its grain
    return Level{level, level * 0.97, level * 0.9};
  }
  if (u < 0.45) {
    double level = 0.45 + 0.2 * grain;  // coarse grain: colours change at once
    return Level{level, level, level * 0.95};
  }
  if (v < 0.55) {
    double rise = std::log(1.134) / (stepLimit - 1);
    return Level{0.5, 0.5 * std::exp(rise * (x - 0.45 * width)), 0.5};
  }
  return Level{0.62, 0.6, 0.58};  // flat: the first candidate fills it
}

void PaintTexture(ImageRecord* image, int64_t width, int64_t height, int stepLimit) {
  for (int64_t y = 0; y < height; ++y) {
    for (int64_t x = 0; x < width; ++x) {
      Level l = TexturedLevel(x, y, width, height, stepLimit);
      image->writePixel(image, image->rectangle.left + x, image->rectangle.top + y,
                        PixelValue{uint32_t(l.red * kLinearFull), uint32_t(l.green * kLinearFull), uint32_t(l.blue * kLinearFull),
                                   kFullFraction, kFullFraction});
    }
  }
}

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
      PaintTexture(view, width, height, pass == PASS_COARSE ? kCoarseStepLimit : kFineStepLimit);
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
  PaintTexture(&m_Host, scene.width, scene.height, kFineStepLimit);
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
