// Detection on synthetic scenes with known answers.
#include <windows.h>
#include <gtest/gtest.h>

#include <cmath>

#include "ProcessingFixture.h"
#include "support/SyntheticScene.h"
#include "analysis/LightSourceAnalysis.h"
#include "analysis/LightSourceTable.h"

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

TEST_F(Detection, DebugOneDisc) {
  Scene scene;
  scene.lights = {{100.5, 80.25, 10.0}, {250, 150, 3.0}, {330.25, 220.75, 1.5, 1.0, 0.6, 0.3}, {60, 240, 6.0, 1, 1, 1, true}};
  Detect(scene);
  for (uint64_t i = 0; i < gLightSourceTable.count; ++i) {
    const LightSource& e = gLightSourceTable.Entries()[i];
    printf("%.2f %.2f r=%.2f b=%X rgb=%X %X %X\n", e.x, e.y, e.radius, e.brightness, e.red, e.green, e.blue);
  }
}
