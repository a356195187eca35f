// Detection finds the same table on every run and with any number of workers, also where wide
// bright plateaus cross the seam between bands and are filled away while lights beside them
// are being measured.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "ProcessingFixture.h"
#include "TestSupport.h"
#include "analysis/LightSourceAnalysis.h"
#include "analysis/LightSourceTable.h"
#include "analysis/Measure.h"
#include "core/Reducers.h"
#include "support/SyntheticScene.h"

namespace {

constexpr double kLinearFull = 16777215.0;

struct Box {
  int64_t left, top, right, bottom;
  bool Contains(int64_t x, int64_t y) const { return left <= x && x < right && top <= y && y < bottom; }
};

// A pale, lightly textured level: every pixel within an eighth of its neighbours, so that the
// first candidate on it fills the whole plateau.
double PlateauLevel(int64_t x, int64_t y) {
  uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 13;
  return 0.6 + 0.004 * ((h >> 8) / 16777216.0);
}

// Lights right under a plateau's lower edge, at the top of the lower band, which measures them
// first thing, while the upper band fills the plateau first thing. A light measured beside the
// filled (white) plateau finds no edge toward it and is filled away too; beside the pale plateau
// it is a light source. Some lights lie a little lower, where only their rings reach the plateau.
Scene PlateauScene() {
  Scene scene;
  scene.width = 640;
  scene.height = 400;  // two bands of 200 rows
  int i = 0;
  for (double x = 90; x < 540; x += 30, ++i) {
    double r = 2 + (i % 3);
    double gap = i % 4 == 3 ? 2 : 0;
    scene.lights.push_back(SceneLight{x, 198 + gap + r + 0.25 * (i % 2), r});
  }
  scene.lights.push_back(SceneLight{400, 330, 3});  // far from every plateau
  return scene;
}

// The plateaus: a wide one across the upper band with a leg down through the seam to the
// bottom, and one in the lower band that reaches up across the seam into the first.
std::vector<Box> Plateaus() { return {{40, 2, 600, 198}, {560, 198, 600, 390}, {40, 250, 300, 390}, {20, 150, 38, 250}}; }

void PaintPlateaus(ImageRecord* image) {
  for (const Box& box : Plateaus()) {
    for (int64_t y = box.top; y < box.bottom; ++y) {
      for (int64_t x = box.left; x < box.right; ++x) {
        uint32_t v = uint32_t(PlateauLevel(x, y) * kLinearFull);
        image->writePixel(image, x, y, PixelValue{v, v, v, kFullFraction, kFullFraction});
      }
    }
  }
}

bool SameEntry(const LightSource& a, const LightSource& b) {
  return a.x == b.x && a.y == b.y && a.radius == b.radius && a.radiusSquared == b.radiusSquared && a.brightness == b.brightness &&
         a.red == b.red && a.green == b.green && a.blue == b.blue && a.state == b.state && a.flags == b.flags;
}

class DetectionRepeatability : public ProcessingFixture {
 protected:
  void TearDown() override {
    UseReferenceMeasurement(false);
    StopLightSourceAnalysis();
    ReleaseImage(&m_Image);
    ProcessingFixture::TearDown();
  }
  std::vector<LightSource> DetectOnce() {
    EXPECT_TRUE(StartLightSourceAnalysis(m_Image));
    EXPECT_TRUE(WaitForLightSourceAnalysis(INFINITE));
    EXPECT_EQ(m_Result, 0);
    std::vector<LightSource> table(gLightSourceTable.Entries(), gLightSourceTable.Entries() + gLightSourceTable.count);
    StopLightSourceAnalysis();
    return table;
  }
  ImageRecord m_Image;
};

}  // namespace

TEST_F(DetectionRepeatability, PlateausAcrossTheSeamGiveTheSameTableOnEveryRunWithAnyWorkerCount) {
  Scene scene = PlateauScene();
  ASSERT_TRUE(OpenProfilesFor(scene.mode));
  ASSERT_TRUE(RenderScene(scene, &m_Image));
  PaintPlateaus(&m_Image);
  std::vector<LightSource> first;
  bool haveFirst = false;
  for (uint32_t workers : {1u, 2u, 3u, 4u}) {
    ScopedWorkerCount forced(workers);
    for (int run = 0; run < 3; ++run) {
      SCOPED_TRACE(testing::Message() << workers << " workers, run " << run);
      std::vector<LightSource> table = DetectOnce();
      if (!haveFirst) {
        first = table;
        haveFirst = true;
        continue;
      }
      ASSERT_EQ(table.size(), first.size());
      for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_TRUE(SameEntry(table[i], first[i])) << "entry " << i << " at " << table[i].x << ", " << table[i].y << " against "
                                                   << first[i].x << ", " << first[i].y;
      }
    }
  }
  // The table is a real one: the lights away from the plateaus are in it, and no entry sits on
  // a plateau's inside, which was filled away.
  auto found = [&](double x, double y) {
    return std::any_of(first.begin(), first.end(), [&](const LightSource& e) { return std::hypot(e.x - x, e.y - y) <= 2; });
  };
  EXPECT_TRUE(found(400, 330));
  for (const LightSource& e : first) {
    for (const Box& box : Plateaus()) {
      Box inside{box.left + 8, box.top + 8, box.right - 8, box.bottom - 8};
      EXPECT_FALSE(inside.Contains(int64_t(e.x), int64_t(e.y))) << "an entry inside a plateau at " << e.x << ", " << e.y;
    }
  }
}

TEST_F(DetectionRepeatability, PlateausAcrossTheSeamGiveTheTableOfBandsMeasuringTheirOwnCandidates) {
  // Candidates measured by either band's thread, plateaus filled and the rest of their rows
  // measured again, against each band measuring its own row pixel by pixel with the reference
  // walks: fills reach the other band between rows in both.
  Scene scene = PlateauScene();
  ASSERT_TRUE(OpenProfilesFor(scene.mode));
  ASSERT_TRUE(RenderScene(scene, &m_Image));
  PaintPlateaus(&m_Image);
  std::vector<LightSource> apart = DetectOnce();
  UseReferenceMeasurement(true);
  std::vector<LightSource> reference = DetectOnce();
  UseReferenceMeasurement(false);
  ASSERT_GE(reference.size(), 10u);
  ASSERT_EQ(apart.size(), reference.size());
  for (size_t i = 0; i < apart.size(); ++i) {
    EXPECT_TRUE(SameEntry(apart[i], reference[i])) << "entry " << i << " at " << apart[i].x << ", " << apart[i].y;
  }
}

TEST_F(DetectionRepeatability, TheBandsOfDetectionDoNotFollowTheWorkerCount) {
  // Two thin lights on the seam of two bands: which of them is found first decides the table, so
  // the seam must stay where it is on a machine with any number of processors.
  Scene scene;
  scene.width = 300;
  scene.height = 240;
  scene.lights = {{100, 119.5, 3}, {102, 121.5, 3}, {200, 60, 2}, {200, 180, 4}};
  ASSERT_TRUE(OpenProfilesFor(scene.mode));
  ASSERT_TRUE(RenderScene(scene, &m_Image));
  std::vector<LightSource> tables[3];
  const uint32_t counts[3] = {1, 2, 6};
  for (int k = 0; k < 3; ++k) {
    ScopedWorkerCount forced(counts[k]);
    tables[k] = DetectOnce();
  }
  ASSERT_GE(tables[0].size(), 3u);
  for (int k = 1; k < 3; ++k) {
    SCOPED_TRACE(testing::Message() << counts[k] << " workers");
    ASSERT_EQ(tables[k].size(), tables[0].size());
    for (size_t i = 0; i < tables[0].size(); ++i) EXPECT_TRUE(SameEntry(tables[k][i], tables[0][i])) << "entry " << i;
  }
}

TEST_F(DetectionRepeatability, OneReadingOfTheImageFindsTheTableOfTheReferenceReductions) {
  // Large enough that both analysis images are real reductions of it.
  Scene scene;
  scene.width = 2600;
  scene.height = 1700;
  for (int i = 0; i < 40; ++i) scene.lights.push_back(SceneLight{100.0 + (i % 8) * 300 + i, 120.0 + (i / 8) * 300, 1.5 + (i % 9) * 4.0});
  scene.lights.push_back(SceneLight{1300, 850, 60});
  ASSERT_TRUE(OpenProfilesFor(scene.mode));
  ASSERT_TRUE(RenderScene(scene, &m_Image));
  std::vector<LightSource> direct = DetectOnce();
  UseReferenceReducers(true);
  std::vector<LightSource> reference = DetectOnce();
  UseReferenceReducers(false);
  ASSERT_GE(reference.size(), 30u);
  ASSERT_EQ(direct.size(), reference.size());
  for (size_t i = 0; i < direct.size(); ++i) EXPECT_TRUE(SameEntry(direct[i], reference[i])) << "entry " << i;
}
