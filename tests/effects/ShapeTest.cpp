// The shape model: phases, the analysis generators, lazy generation under concurrency, the
// statistics and sampling under a shape, and the compositing rule of painting.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "ProcessingFixture.h"
#include "TestSupport.h"
#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "effects/EffectInstance.h"
#include "shapes/AnalysisShapes.h"
#include "shapes/Shape.h"
#include "shapes/ShapeOperations.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// A shape of the given generator and radius, destroyed with the holder.
struct ShapeHolder {
  explicit ShapeHolder(ShapeGenerator generator, double r, bool singlePhase = false) : radius(r) {
    ok = InitializeShape(&shape, generator, &radius, singlePhase);
  }
  ~ShapeHolder() { DestroyShape(&shape); }
  double radius;
  Shape shape{};
  bool ok = false;
};

// Nine pixels weighing exactly one half each, so that odd levels fall half way between integers.
bool GenerateHalfWeightSquare(Shape* shape, int phaseX, int phaseY) {
  SubShape* subshape = &shape->subshapes[phaseX][phaseY];
  if (!ReserveSubShapeEntries(subshape, 9)) return false;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (!AddSubShapeEntry(subshape, SubShapeEntry{int16_t(dx), int16_t(dy), 0, 0, 0, 2147483647u}, 1)) return false;
    }
  }
  PublishSubShape(subshape);
  return true;
}

double DistanceOf(const SubShapeEntry& e, int phaseX, int phaseY) { return std::hypot(e.dx - phaseX / 4.0, e.dy - phaseY / 4.0); }

}  // namespace

TEST(ShapePhases, NegativeQuarterLiesInThePixelBeforeAtPhaseThree) {
  ShapePosition p = ShapePositionOf(-0.25);
  EXPECT_EQ(p.pixel, -1);
  EXPECT_EQ(p.phase, 3);
  p = ShapePositionOf(-1.0);
  EXPECT_EQ(p.pixel, -1);
  EXPECT_EQ(p.phase, 0);
  p = ShapePositionOf(2.5);
  EXPECT_EQ(p.pixel, 2);
  EXPECT_EQ(p.phase, 2);
  p = ShapePositionOf(7.99);
  EXPECT_EQ(p.pixel, 7);
  EXPECT_EQ(p.phase, 3);
  p = ShapePositionOf(-2.75);
  EXPECT_EQ(p.pixel, -3);
  EXPECT_EQ(p.phase, 1);
  p = ShapePositionOf(-1e-9);
  EXPECT_EQ(p.pixel, -1);
  EXPECT_EQ(p.phase, 3);
  p = ShapePositionOf(-0.0);
  EXPECT_EQ(p.pixel, 0);
  EXPECT_EQ(p.phase, 0);
  p = ShapePositionOf(4095.75);
  EXPECT_EQ(p.pixel, 4095);
  EXPECT_EQ(p.phase, 3);
}

class ShapeModel : public ProcessingFixture {};

TEST_F(ShapeModel, ADiscOfRadiusZeroHoldsPartialWeightsWithinPointSix) {
  ShapeHolder disc(GenerateDiscSubShape, 0.0);
  ASSERT_TRUE(disc.ok);
  for (int px = 0; px < 4; ++px) {
    for (int py = 0; py < 4; ++py) {
      SubShape* s = AcquireSubShape(&disc.shape, px, py);
      ASSERT_NE(s, nullptr);
      uint32_t within = 0;  // whole-pixel positions closer than 0.6 to the centre
      for (int y = -1; y <= 1; ++y) {
        for (int x = -1; x <= 1; ++x) within += std::hypot(x - px / 4.0, y - py / 4.0) < 0.6 ? 1 : 0;
      }
      ASSERT_EQ(s->count, within) << px << "," << py;
      for (uint32_t i = 0; i < s->count; ++i) {
        double d = DistanceOf(s->Entries()[i], px, py);
        EXPECT_LT(d, 0.6);
        EXPECT_EQ(s->Entries()[i].weight, FractionOf(0.6 - d));
        EXPECT_EQ(s->Entries()[i].red, kFullFraction);
      }
    }
  }
  SubShape* centred = AcquireSubShape(&disc.shape, 0, 0);
  ASSERT_EQ(centred->count, 1u);
  EXPECT_EQ(centred->left, 0);
  EXPECT_EQ(centred->right, 1);
}

TEST_F(ShapeModel, DiscsAreFullInsideAndTheirAreaFollowsTheRadius) {
  for (double r : {1.0, 4.25, 17.5, 60.0}) {
    ShapeHolder disc(GenerateDiscSubShape, r);
    SubShape* s = AcquireSubShape(&disc.shape, 1, 2);
    ASSERT_NE(s, nullptr);
    double area = 0;
    for (uint32_t i = 0; i < s->count; ++i) {
      const SubShapeEntry& e = s->Entries()[i];
      double d = DistanceOf(e, 1, 2);
      if (d <= r - 0.4) {
        EXPECT_EQ(e.weight, kFullFraction);
      }
      EXPECT_LT(d, r + 0.6);
      area += e.weight / double(kFullFraction);
    }
    EXPECT_NEAR(area, 3.14159265 * r * r, 0.05 * 3.14159265 * r * r + 2) << r;
    EXPECT_EQ(s->entries.size, uint64_t(s->count) * sizeof(SubShapeEntry)) << "trimmed after generation";
  }
}

TEST_F(ShapeModel, RingsFollowTheirRadiusAndAnEmptyBandGetsOneQuarterWeight) {
  ShapeHolder ring(GenerateRingSubShape, 10.0);
  SubShape* s = AcquireSubShape(&ring.shape, 2, 3);
  ASSERT_NE(s, nullptr);
  ASSERT_GT(s->count, 40u);
  for (uint32_t i = 0; i < s->count; ++i) EXPECT_NEAR(DistanceOf(s->Entries()[i], 2, 3), 10.0, 0.75);

  // A radius whose bounds hold no pixel at all.
  ShapeHolder degenerate(GenerateRingSubShape, -3.0);
  SubShape* empty = AcquireSubShape(&degenerate.shape, 0, 0);
  ASSERT_NE(empty, nullptr);
  ASSERT_EQ(empty->count, 1u);
  EXPECT_EQ(empty->Entries()[0].dx, 0);
  EXPECT_EQ(empty->Entries()[0].dy, 0);
  EXPECT_EQ(empty->Entries()[0].weight, 0x40000000u);

  // No ring of the analysis radii is empty: each covers some pixel at every phase.
  for (int i = 0; i < 12; ++i) {
    ShapeHolder small(GenerateRingSubShape, i * 0.25);
    for (int phase = 0; phase < 16; ++phase) {
      SubShape* p = AcquireSubShape(&small.shape, phase / 4, phase % 4);
      ASSERT_NE(p, nullptr);
      EXPECT_GE(p->count, 1u);
    }
  }
}

namespace {

LONG gGenerations[4][4];
LONG gArrivals[4][4];           // threads that have come for each phase
LONG gCompanions = 0;           // arrivals a generation waits for (0: none)
LONG gLonelyGenerations = 0;    // generations that waited in vain

LONG Current(LONG* value) { return InterlockedCompareExchange(value, 0, 0); }

// Holds the phase until another thread has come for it, so that the other thread finds it
// being generated and queues on it.
bool CountingGenerator(Shape* shape, int px, int py) {
  InterlockedIncrement(&gGenerations[px][py]);
  LONG companions = Current(&gCompanions);
  if (companions > 0 && !WaitUntil([=] { return Current(&gArrivals[px][py]) >= companions; })) {
    InterlockedIncrement(&gLonelyGenerations);
  }
  SubShape* s = &shape->subshapes[px][py];
  if (!AddSubShapeEntry(s, SubShapeEntry{int16_t(px), int16_t(py), kFullFraction, kFullFraction, kFullFraction, kFullFraction}, 4)) {
    return false;
  }
  PublishSubShape(s);
  return true;
}

}  // namespace

// Four pairs of threads go round the phases, each pair in the same order from its own start: four
// phases are generated at once, and each while the other thread of a pair comes for it.
TEST_F(ShapeModel, SixteenPhasesAcquiredFromEightThreadsAreEachBuiltOnce) {
  memset(gGenerations, 0, sizeof gGenerations);
  memset(gArrivals, 0, sizeof gArrivals);
  gLonelyGenerations = 0;
  InterlockedExchange(&gCompanions, 2);
  ShapeHolder shape(CountingGenerator, 0.0);
  std::vector<std::thread> threads;
  LONG failures = 0;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < 16; ++k) {
        int phase = (k + (t % 4) * 5) % 16;
        InterlockedIncrement(&gArrivals[phase / 4][phase % 4]);
        SubShape* s = AcquireSubShape(&shape.shape, phase / 4, phase % 4);
        if (s == nullptr || s->count != 1 || s->Entries()[0].dx != phase / 4) InterlockedIncrement(&failures);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  InterlockedExchange(&gCompanions, 0);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(gLonelyGenerations, 0) << "every phase had a second thread come for it while it was generated";
  for (auto& column : gGenerations) {
    for (LONG count : column) EXPECT_EQ(count, 1);
  }
}

TEST_F(ShapeModel, PlaneEntriesAreMadeOnceForEachOfTwoStridesAndRefusedForAThird) {
  ShapeHolder disc(GenerateDiscSubShape, 3.25);
  ASSERT_TRUE(disc.ok);
  SubShape* s = AcquireSubShape(&disc.shape, 1, 2);
  ASSERT_NE(s, nullptr);
  ASSERT_NE(s->UnitWeights(), nullptr);
  // Eight threads ask for the same stride at once: one list, made once, for all of them.
  const PlaneEntry* seen[8] = {};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) threads.emplace_back([&, t] { seen[t] = PlaneEntriesFor(s, 1000); });
  for (auto& thread : threads) thread.join();
  ASSERT_NE(seen[0], nullptr);
  for (const PlaneEntry* entries : seen) EXPECT_EQ(entries, seen[0]);
  const PlaneEntry* other = PlaneEntriesFor(s, 37);
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other, seen[0]);
  EXPECT_EQ(PlaneEntriesFor(s, 1000), seen[0]) << "the first stride's entries stay";
  EXPECT_EQ(PlaneEntriesFor(s, 64), nullptr) << "no place for a third stride";
  for (uint32_t i = 0; i < s->count; ++i) {
    const SubShapeEntry& e = s->Entries()[i];
    ASSERT_EQ(seen[0][i].offset, e.dy * 1000 + e.dx);
    ASSERT_EQ(other[i].offset, e.dy * 37 + e.dx);
    ASSERT_EQ(memcmp(&seen[0][i].weight, &s->UnitWeights()[i], sizeof(double)), 0);
  }
  // Released with the phase, which is generated afresh with free places.
  ReleaseSubShape(s);
  s = AcquireSubShape(&disc.shape, 1, 2);
  ASSERT_NE(s, nullptr);
  EXPECT_NE(PlaneEntriesFor(s, 64), nullptr);
}

TEST_F(ShapeModel, ASinglePhaseShapeServesEveryPositionFromPhaseZero) {
  memset(gGenerations, 0, sizeof gGenerations);
  ShapeHolder shape(CountingGenerator, 0.0, true);
  int64_t px, py;
  EXPECT_NE(AcquireSubShapeAt(&shape.shape, 3.75, 9.5, &px, &py), nullptr);
  EXPECT_EQ(px, 3);
  EXPECT_EQ(py, 9);
  EXPECT_EQ(gGenerations[0][0], 1);
  EXPECT_EQ(gGenerations[3][2], 0);
}

namespace {

// An sRGB 8-bit image filled with one linear grey level.
class ShapeOnImage : public ProcessingFixture {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    ASSERT_TRUE(OpenProfilesFor(plugInModeRGBColor));
  }
  void TearDown() override {
    ReleaseImage(&m_Image);
    ProcessingFixture::TearDown();
  }
  void Make(int32_t mode, uint32_t level, int32_t size = 40) {
    ImageRect rect{0, 0, size, size};
    ASSERT_TRUE(CreateImage(&m_Image, rect, rect, mode, StandardProfile(), false, false));
    FillImageRect(&m_Image, PixelValue{level, level, level, kFullFraction, kFullFraction}, rect);
  }
  // An 8-bit RGB image of pseudo-random grain, every byte of every pixel drawn from `seed`.
  void MakeGrainy(int32_t width, int32_t height, uint32_t seed) {
    ImageRect rect{0, 0, width, height};
    ASSERT_TRUE(CreateImage(&m_Image, rect, rect, plugInModeRGBColor, StandardProfile(), false, false));
    for (int64_t y = 0; y < rect.bottom; ++y) {
      for (int64_t x = 0; x < rect.right * 4; ++x) {
        seed = seed * 1664525u + 1013904223u;
        m_Image.Pixel(0, y)[x] = uint8_t(seed >> 24);
      }
    }
  }
  // The image's linear brightness per pixel, the mean of its three channels, as the detection's
  // plane holds it.
  std::vector<int32_t> LinearBrightnessPlane() const {
    std::vector<int32_t> plane(size_t(m_Image.pixels.size / 4));
    const int32_t* linear = m_Image.gammaTables.eightToLinear;
    for (size_t i = 0; i < plane.size(); ++i) {
      const uint8_t* p = static_cast<const uint8_t*>(m_Image.pixels.block) + i * 4;
      plane[i] = int32_t((uint32_t(linear[p[0]]) + uint32_t(linear[p[1]]) + uint32_t(linear[p[2]])) / 3);
    }
    return plane;
  }
  PixelValue Read(int64_t x, int64_t y) {
    PixelValue p;
    m_Image.readPixel(&m_Image, x, y, &p);
    return p;
  }
  ImageRecord m_Image;
};

}  // namespace

TEST_F(ShapeOnImage, StatisticsOfAUniformPatchAndOfAShapeOffTheImage) {
  Make(plugInModeRGB48, 0x400000);
  uint32_t level = Read(5, 5).red;
  ShapeHolder disc(GenerateDiscSubShape, 3.0);
  ShapeStatistics s;
  ASSERT_TRUE(AnalyzeShapeFrom(&disc.shape, m_Image, 20.25, 20.5, &s));
  EXPECT_EQ(s.minimum, level);
  EXPECT_EQ(s.maximum, level);
  EXPECT_NEAR(s.mean, level, 0.5);
  EXPECT_NEAR(s.standardDeviation, 0.0, 1e-3);

  ASSERT_TRUE(AnalyzeShapeFrom(&disc.shape, m_Image, -50.0, -50.0, &s));
  EXPECT_EQ(s.minimum, kFullFraction);
  EXPECT_EQ(s.mean, 0.0);
  EXPECT_EQ(s.standardDeviation, 0.0);

  PixelValue colour;
  ASSERT_TRUE(SampleShapeFrom(&disc.shape, m_Image, -50.0, -50.0, &colour));
  EXPECT_EQ(colour.red, 0u);
  EXPECT_EQ(colour.alpha, kFullFraction);
}

TEST_F(ShapeOnImage, StatisticsWeighTheHalfOfAShapeOnTheImage) {
  Make(plugInModeRGBColor, 0);
  // The right half bright: a disc centred on the edge sees half its weight bright.
  FillImageRect(&m_Image, PixelValue{kWhite, kWhite, kWhite, kFullFraction, kFullFraction}, ImageRect{20, 0, 40, 40});
  ShapeHolder disc(GenerateDiscSubShape, 8.0);
  ShapeStatistics s;
  ASSERT_TRUE(AnalyzeShapeFrom(&disc.shape, m_Image, 19.5, 20.0, &s));
  EXPECT_EQ(s.minimum, 0u);
  EXPECT_EQ(s.maximum, kWhite);
  EXPECT_NEAR(s.mean / kWhite, 0.5, 0.06);
  EXPECT_NEAR(s.standardDeviation / kWhite, 0.5, 0.06);
  EXPECT_NEAR(s.meanMinusDeviation, s.mean - s.standardDeviation, 1e-6);
  // Clipped by the image's left edge, only the pixels on the image count.
  ASSERT_TRUE(AnalyzeShapeFrom(&disc.shape, m_Image, 0.0, 20.0, &s));
  EXPECT_EQ(s.maximum, 0u);
}

TEST_F(ShapeOnImage, StatisticsOnAnEightBitImageEqualThoseThroughTheRecordsReader) {
  // The same grainy pixels in a record read directly, in one read through its checked reader and
  // through a plane of their brightness; centres on a quarter grid put shapes wholly on the
  // image, across its edges and off it.
  ImageRect rect{0, 0, 64, 48};
  ImageRecord checked;
  ASSERT_TRUE(CreateImage(&m_Image, rect, rect, plugInModeRGBColor, StandardProfile(), false, false));
  ASSERT_TRUE(CreateImage(&checked, rect, rect, plugInModeRGBColor, StandardProfile(), false, true));
  uint32_t h = 12345;
  for (int64_t y = 0; y < rect.bottom; ++y) {
    for (int64_t x = 0; x < rect.right * 4; ++x) {
      h = h * 1664525u + 1013904223u;
      m_Image.Pixel(0, y)[x] = checked.Pixel(0, y)[x] = uint8_t(h >> 24);
    }
  }
  std::vector<int32_t> plane = LinearBrightnessPlane();
  ShapeHolder shapes[] = {ShapeHolder(GenerateDiscSubShape, 0.75), ShapeHolder(GenerateDiscSubShape, 5.5),
                          ShapeHolder(GenerateRingSubShape, 2.5), ShapeHolder(GenerateRingSubShape, 9.25)};
  int wholly = 0;
  for (ShapeHolder& holder : shapes) {
    ASSERT_TRUE(holder.ok);
    for (double y = -6; y < 54; y += 1.25) {
      for (double x = -6; x < 70; x += 1.75) {
        ShapeStatistics direct, planed, reference;
        ASSERT_TRUE(AnalyzeShapeFrom(&holder.shape, m_Image, x, y, &direct));
        ASSERT_TRUE(AnalyzeShapeFrom(&holder.shape, m_Image, x, y, &planed, plane.data()));
        ASSERT_TRUE(AnalyzeShapeFrom(&holder.shape, checked, x, y, &reference));
        SCOPED_TRACE(testing::Message() << "radius " << holder.radius << " at " << x << ", " << y);
        for (const ShapeStatistics* s : {&direct, &planed}) {
          EXPECT_EQ(s->minimum, reference.minimum);
          EXPECT_EQ(s->maximum, reference.maximum);
          EXPECT_EQ(s->mean, reference.mean);
          EXPECT_EQ(s->standardDeviation, reference.standardDeviation);
          EXPECT_EQ(s->meanMinusDeviation, reference.meanMinusDeviation);
        }
        bool inside = x - holder.radius - 2 >= 0 && x + holder.radius + 2 < 64 && y - holder.radius - 2 >= 0 && y + holder.radius + 2 < 48;
        wholly += inside ? 1 : 0;
      }
    }
  }
  ReleaseImage(&checked);
  EXPECT_GT(wholly, 100) << "many shapes lay wholly on the image";
}

TEST_F(ShapeOnImage, StatisticsTakenSeveralAtOnceEqualThoseTakenOneByOne) {
  // Batches of one to eight shapes of differing sizes and phases, wholly on the image and across
  // its edges, through the brightness plane and without it: every value the same to the bit.
  MakeGrainy(72, 56, 777);
  std::vector<int32_t> plane = LinearBrightnessPlane();
  ShapeHolder shapes[] = {ShapeHolder(GenerateDiscSubShape, 0.25), ShapeHolder(GenerateDiscSubShape, 3.75),
                          ShapeHolder(GenerateDiscSubShape, 6.5),  ShapeHolder(GenerateRingSubShape, 0.5),
                          ShapeHolder(GenerateRingSubShape, 4.25), ShapeHolder(GenerateRingSubShape, 11.0)};
  for (ShapeHolder& holder : shapes) ASSERT_TRUE(holder.ok);
  int together = 0;
  for (const int32_t* brightness : {static_cast<const int32_t*>(plane.data()), static_cast<const int32_t*>(nullptr)}) {
    for (int count = 1; count <= 8; ++count) {
      for (int start = 0; start < 60; ++start) {
        ShapeAt batch[8];
        for (int i = 0; i < count; ++i) {
          int k = start * 8 + i;
          batch[i] = ShapeAt{&shapes[k % 6].shape, -4 + (k * 7 % 320) * 0.25, -4 + (k * 13 % 256) * 0.25};
        }
        ShapeStatistics several[8];
        bool measured[8];
        AnalyzeShapesFrom(batch, count, m_Image, brightness, several, measured);
        for (int i = 0; i < count; ++i) {
          ShapeStatistics one;
          ASSERT_TRUE(AnalyzeShapeFrom(batch[i].shape, m_Image, batch[i].x, batch[i].y, &one, brightness));
          SCOPED_TRACE(testing::Message() << count << " at once, shape " << i << " at " << batch[i].x << ", " << batch[i].y);
          ASSERT_TRUE(measured[i]);
          EXPECT_EQ(several[i].minimum, one.minimum);
          EXPECT_EQ(several[i].maximum, one.maximum);
          EXPECT_EQ(memcmp(&several[i].mean, &one.mean, sizeof one.mean), 0);
          EXPECT_EQ(memcmp(&several[i].standardDeviation, &one.standardDeviation, sizeof one.mean), 0);
          EXPECT_EQ(memcmp(&several[i].meanMinusDeviation, &one.meanMinusDeviation, sizeof one.mean), 0);
          together += brightness != nullptr && count > 1 ? 1 : 0;
        }
      }
    }
  }
  EXPECT_GT(together, 1000);
}

TEST_F(ShapeOnImage, SampledColoursRoundEveryWeightedLevelAsStdRoundDoes) {
  // The sampled colour against the rule written out with std::round, on grainy pixels under
  // discs and rings of many sizes and phases, wholly on the image and across its edges.
  MakeGrainy(48, 40, 4242);
  const ImageRect& rect = m_Image.rectangle;
  ShapeHolder shapes[] = {ShapeHolder(GenerateDiscSubShape, 1.25), ShapeHolder(GenerateDiscSubShape, 4.75),
                          ShapeHolder(GenerateRingSubShape, 3.0), ShapeHolder(GenerateRingSubShape, 7.5),
                          ShapeHolder(GenerateHalfWeightSquare, 1.0)};
  int sampled = 0;
  for (ShapeHolder& holder : shapes) {
    ASSERT_TRUE(holder.ok);
    for (double y = -3; y < 43; y += 1.75) {
      for (double x = -3; x < 51; x += 1.25) {
        PixelValue colour;
        ASSERT_TRUE(SampleShapeFrom(&holder.shape, m_Image, x, y, &colour));
        int64_t cx, cy;
        const SubShape* subshape = AcquireSubShapeAt(&holder.shape, x, y, &cx, &cy);
        ASSERT_NE(subshape, nullptr);
        double sums[3] = {0, 0, 0}, weights = 0;
        for (uint32_t i = 0; i < subshape->count; ++i) {
          const SubShapeEntry& e = subshape->Entries()[i];
          int64_t px = cx + e.dx, py = cy + e.dy;
          if (px < 0 || py < 0 || px >= rect.right || py >= rect.bottom) continue;
          PixelValue p = Read(px, py);
          double weight = e.weight / 4294967294.0;
          sums[0] += std::round(p.red * weight), sums[1] += std::round(p.green * weight), sums[2] += std::round(p.blue * weight);
          weights += weight;
        }
        if (weights <= 0) continue;
        EXPECT_EQ(colour.red, uint32_t(sums[0] / weights + 0.5)) << x << ", " << y;
        EXPECT_EQ(colour.green, uint32_t(sums[1] / weights + 0.5)) << x << ", " << y;
        EXPECT_EQ(colour.blue, uint32_t(sums[2] / weights + 0.5)) << x << ", " << y;
        ++sampled;
      }
    }
  }
  EXPECT_GT(sampled, 500);
}

TEST_F(ShapeOnImage, SamplingGivesTheColourUnderTheShape) {
  Make(plugInModeRGBColor, 0);
  FillImageRect(&m_Image, PixelValue{0x800000, 0x200000, 0x100000, kFullFraction, kFullFraction}, ImageRect{0, 0, 40, 40});
  PixelValue expected = Read(3, 3);
  ShapeHolder ring(GenerateRingSubShape, 5.0);
  PixelValue colour;
  ASSERT_TRUE(SampleShapeFrom(&ring.shape, m_Image, 20.0, 20.0, &colour));
  EXPECT_NEAR(double(colour.red), double(expected.red), 2.0);
  EXPECT_NEAR(double(colour.green), double(expected.green), 2.0);
  EXPECT_NEAR(double(colour.blue), double(expected.blue), 2.0);
}

TEST(Compositing, WhiteAtFullStrengthGivesWhiteAndNothingAtZero) {
  for (uint32_t level : {0u, 0x123456u, 0xFFFFFFu}) {
    PixelValue p{level, level / 2, level / 3, 0, 0};
    CompositeEffect(&p, EffectColor{kFullFraction, kFullFraction, kFullFraction, kFullFraction});
    EXPECT_EQ(p.red, kWhite);
    EXPECT_EQ(p.green, kWhite);
    EXPECT_EQ(p.blue, kWhite);
    PixelValue q{level, level / 2, level / 3, 0, 0};
    CompositeEffect(&q, EffectColor{kFullFraction, kFullFraction, kFullFraction, 0});
    EXPECT_EQ(q.red, level);
    EXPECT_EQ(q.green, level / 2);
    EXPECT_EQ(q.blue, level / 3);
  }
}

TEST(Compositing, PureBlueRaisesOnlyBlueAndNothingEverDarkens) {
  PixelValue p{0x300000, 0x500000, 0x200000, 0, 0};
  CompositeEffect(&p, EffectColor{0, 0, 0x40000000, 0x40000000});
  EXPECT_EQ(p.red, 0x300000u);
  EXPECT_EQ(p.green, 0x500000u);
  EXPECT_GT(p.blue, 0x200000u);
  uint32_t state = 7;
  auto next = [&state] { return state = state * 1664525u + 1013904223u; };
  for (int i = 0; i < 2000; ++i) {
    PixelValue before{next() & 0xFFFFFF, next() & 0xFFFFFF, next() & 0xFFFFFF, 0, 0};
    PixelValue after = before;
    CompositeEffect(&after, EffectColor{next() >> 1, next() >> 1, next() >> 1, next() >> 1});
    EXPECT_GE(after.red, before.red);
    EXPECT_GE(after.green, before.green);
    EXPECT_GE(after.blue, before.blue);
    EXPECT_LE(after.red, kWhite);
  }
}

TEST(Compositing, StrengthSaturatesAtA256thOfTheRange) {
  // c × alpha of 1/256 already paints at full strength.
  PixelValue p{0, 0, 0, 0, 0};
  CompositeEffect(&p, EffectColor{kFullFraction, kFullFraction, kFullFraction, 0x01000000});
  EXPECT_EQ(p.red, kWhite);
  PixelValue half{0, 0, 0, 0, 0};
  CompositeEffect(&half, EffectColor{kFullFraction, kFullFraction, kFullFraction, 0x00800000});
  EXPECT_NEAR(double(half.red), kWhite / 2.0, 2.0);
}

TEST_F(ShapeOnImage, PaintingSkipsWhatIsNotAboveTheVisibilityMinimumAndStaysInTheTile) {
  Make(plugInModeRGBColor, 0x10000);
  ShapeHolder disc(GenerateDiscSubShape, 4.0);
  std::vector<uint8_t> before(static_cast<uint8_t*>(m_Image.pixels.block), static_cast<uint8_t*>(m_Image.pixels.block) + m_Image.pixels.size);
  ImageRect all{0, 0, 40, 40};
  // c × alpha of 64 / 2^32: exactly at the minimum of 8-bit output, nothing is painted.
  EffectColor faint{kFullFraction, kFullFraction, kFullFraction, 64};
  ASSERT_TRUE(DrawShapeInto(&m_Image, all, &disc.shape, faint, 20, 20, 64));
  EXPECT_EQ(memcmp(before.data(), m_Image.pixels.block, before.size()), 0);
  ASSERT_TRUE(DrawShapeInto(&m_Image, all, &disc.shape, EffectColor{kFullFraction, kFullFraction, kFullFraction, 0x02000000}, 20, 20, 0));
  EXPECT_EQ(Read(20, 20).red, kWhite);
  EXPECT_EQ(Read(30, 20).red, Read(2, 2).red) << "beyond the disc";
  // A tile to the right of the centre: only its part of the disc is painted.
  ShapeHolder other(GenerateDiscSubShape, 4.0);
  ASSERT_TRUE(DrawShapeInto(&m_Image, ImageRect{12, 0, 40, 40}, &other.shape, EffectColor{kFullFraction, 0, 0, kFullFraction}, 10, 10, 0));
  EXPECT_EQ(Read(9, 10).red, Read(2, 2).red);
  EXPECT_EQ(Read(12, 10).red, kWhite);
  EXPECT_EQ(Read(12, 10).green, Read(2, 2).green);
}

TEST_F(ShapeOnImage, AShapeOfAnotherTypeIsRefusedWithItsMessage) {
  Make(plugInModeRGBColor, 0);
  ShapeHolder disc(GenerateDiscSubShape, 2.0);
  disc.shape.type = 3;
  ReportCapture capture;
  ShapeStatistics s;
  EXPECT_FALSE(AnalyzeShapeFrom(&disc.shape, m_Image, 5, 5, &s));
  PixelValue p;
  EXPECT_FALSE(SampleShapeFrom(&disc.shape, m_Image, 5, 5, &p));
  EXPECT_FALSE(DrawShapeInto(&m_Image, ImageRect{0, 0, 40, 40}, &disc.shape, EffectColor{}, 5, 5, 0));
  EXPECT_TRUE(capture.HasReport("AnalyzeShapeFrom detected shape type other than SHAPE_IMAGE:  3"));
  EXPECT_TRUE(capture.HasReport("DrawShapeInto detected shape type other than SHAPE_IMAGE:  3"));
  disc.shape.type = SHAPE_IMAGE;
}

TEST_F(ShapeModel, AGenerationThatRunsOutOfMemoryFailsAndCanBeRetried) {
  ShapeHolder disc(GenerateDiscSubShape, 6.0);
  FailNextBufferAllocations(1);
  EXPECT_EQ(AcquireSubShape(&disc.shape, 1, 1), nullptr);
  SubShape* retried = AcquireSubShape(&disc.shape, 1, 1);
  ASSERT_NE(retried, nullptr);
  ShapeHolder fresh(GenerateDiscSubShape, 6.0);
  EXPECT_EQ(retried->count, AcquireSubShape(&fresh.shape, 1, 1)->count) << "no entries left over from the failed attempt";
}

TEST(EffectColour, SaturationPushesAwayFromGreyAndLeavesGreyImagesAlone) {
  uint32_t r = 0xC0000000, g = 0x80000000, b = 0x40000000;
  EffectColor same = SaturatedEffectColor(r, g, b, 0, false);
  EXPECT_EQ(same.red, r);
  EXPECT_EQ(same.blue, b);
  EffectColor grey = SaturatedEffectColor(r, g, b, 100, true);
  EXPECT_EQ(grey.red, r);
  EffectColor vivid = SaturatedEffectColor(r, g, b, 100, false);
  EXPECT_EQ(vivid.red, kFullFraction) << "clamped at full";
  EXPECT_EQ(vivid.blue, 0u) << "clamped at zero";
  EXPECT_EQ(vivid.green, g) << "the middle channel is its neighbours' mean";
  EffectColor muted = SaturatedEffectColor(r, g, b, -100, false);
  EXPECT_LT(muted.red, r);
  EXPECT_GT(muted.blue, b);
  EXPECT_LT(std::max({muted.red, muted.green, muted.blue}) - std::min({muted.red, muted.green, muted.blue}), r - b);
  // k = S for negative settings: -30 moves red by 30/150 of its lead over the others.
  EffectColor slight = SaturatedEffectColor(r, g, b, -30, false);
  EXPECT_EQ(slight.red, uint32_t(int64_t(r) - 30 * (int64_t(r) - ((int64_t(g) + b) >> 1)) / 150));
}

// Ordering by row moves entries in place: every entry must survive once, each row's index must
// hold exactly that row's entries, and an empty shape needs no index at all.
TEST_F(ShapeModel, OrderingByRowKeepsEveryEntryAndIndexesEachRow) {
  SubShape subshape{};
  uint32_t state = 7;
  std::vector<SubShapeEntry> made;
  for (int i = 0; i < 5000; ++i) {
    state = state * 1664525u + 1013904223u;
    SubShapeEntry e{int16_t(int(state >> 8) % 61 - 30), int16_t(int(state >> 20) % 37 - 20), state, state >> 1, state >> 2, uint32_t(i)};
    if (i % 7 == 3) e.dy = -20;  // a crowded row
    made.push_back(e);
    ASSERT_TRUE(AddSubShapeEntry(&subshape, e, 256));
  }
  ASSERT_TRUE(OrderSubShapeByRow(&subshape));
  ASSERT_TRUE(subshape.rowOrdered);
  const uint32_t* starts = subshape.RowStarts();
  int rows = subshape.bottom - subshape.top;
  EXPECT_EQ(starts[0], 0u);
  EXPECT_EQ(starts[rows], subshape.count);
  std::vector<int> seen(made.size(), 0);
  for (int r = 0; r < rows; ++r) {
    for (uint32_t i = starts[r]; i < starts[r + 1]; ++i) {
      const SubShapeEntry& e = subshape.Entries()[i];
      ASSERT_EQ(e.dy, subshape.top + r);
      const SubShapeEntry& original = made[e.weight];  // the weight names the entry
      EXPECT_TRUE(e.dx == original.dx && e.dy == original.dy && e.red == original.red && e.blue == original.blue);
      ++seen[e.weight];
    }
  }
  EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
  ReleaseSubShape(&subshape);
  EXPECT_EQ(subshape.rowStarts.block, nullptr);
  EXPECT_TRUE(OrderSubShapeByRow(&subshape));
  EXPECT_TRUE(subshape.rowOrdered);
  EXPECT_EQ(subshape.rowStarts.block, nullptr);
}
