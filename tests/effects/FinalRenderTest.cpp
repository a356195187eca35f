// The final render driven as the start selector drives it, on the reference host's documents:
// what changes, what must not, cancel and out-of-memory, in every mode and depth.
#include <windows.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "HostCallbacks.h"
#include "HostSession.h"
#include "ProcessingFixture.h"
#include "support/HostRecordFixture.h"
#include "TestSupport.h"
#include "analysis/LightSourceAnalysis.h"
#include "color/ColorConversion.h"
#include "core/BufferManager.h"
#include "core/Progress.h"
#include "core/WorkerThreads.h"
#include "effects/EffectShapes.h"
#include "effects/ProcessImage.h"
#include "effects/RenderBufferPool.h"
#include "effects/StarTables.h"
#include "host/HostImage.h"
#include "host/HostState.h"
#include "params/ParameterBlock.h"
#include "params/ParameterBlockService.h"

namespace {

using Planes = std::vector<std::vector<uint8_t>>;

class FinalRender : public HostRecordFixture {
 protected:
  void TearDown() override {
    ReleaseEffectShapes();
    StopLightSourceAnalysis();
    BindCurrentParameterBlock(nullptr);
    HostRecordFixture::TearDown();
  }
  // The document of the reference host: a gradient with a one-pixel highlight every 97 columns
  // (from 40) and 89 rows (from 30).
  HostSession& Open(HostDocument document, HostOptions options = HostOptions{}) {
    HostRecordFixture::Open(document, options);
    m_Before = m_Session->Image().planes;
    return *m_Session;
  }
  // Reads the image, analyses it to the end and prepares the effect shapes, as the start
  // selector does before the render.
  void Prepare(const ParameterBlock& block) {
    m_Block = block;
    BindCurrentParameterBlock(&m_Block);
    ASSERT_TRUE(OpenProfiles());
    ASSERT_TRUE(ReadHostImage());
    ASSERT_TRUE(StartLightSourceAnalysis(gHostImage));
    ASSERT_TRUE(WaitForLightSourceAnalysis(INFINITE));
    ASSERT_TRUE(InitializeEffectTables());
  }
  // The render and, as the start selector does, the write-back of a finished render; then the end
  // of the image traffic, which hands the last written plane over.
  int16_t Render(const ParameterBlock& block) {
    Prepare(block);
    int16_t result = ProcessImage(&gHostImage);
    if (result == 0) WriteHostImage(gHostImage);
    DestroyHostImage();
    return result;
  }
  const Planes& After() { return m_Session->Image().planes; }
  // A sample of a plane as a fraction of full scale.
  double Level(const Planes& planes, int plane, int64_t x, int64_t y) {
    const DocumentImage& d = m_Session->Image();
    const uint8_t* p = planes[size_t(plane)].data() + (y * d.width + x) * d.bytesPerSample;
    if (d.bytesPerSample == 1) return *p / 255.0;
    if (d.bytesPerSample == 2) return (p[0] | p[1] << 8) / 32768.0;
    float f;
    memcpy(&f, p, 4);
    return f;
  }
  bool Changed(int64_t x, int64_t y) {
    for (size_t plane = 0; plane < m_Before.size(); ++plane) {
      if (Level(m_Before, int(plane), x, y) != Level(After(), int(plane), x, y)) return true;
    }
    return false;
  }
  // Replaces the document by a dark, even picture with white lights at the spots, 3 × 3 unless
  // the sizes say otherwise (even sizes put the centre between pixels).
  void PaintLights(std::vector<std::pair<int64_t, int64_t>> spots, std::vector<std::pair<int, int>> sizes = {}) {
    DocumentImage& d = m_Session->Image();
    int colourPlanes = d.Planes() - (d.transparency ? 1 : 0);
    auto store = [&d](int plane, int64_t x, int64_t y, double level) {
      uint8_t* p = d.Sample(plane, x, y);
      if (d.bytesPerSample == 1) *p = uint8_t(std::lround(level * 255));
      if (d.bytesPerSample == 2) {
        uint16_t v = uint16_t(std::lround(level * 32768));
        memcpy(p, &v, 2);
      }
      if (d.bytesPerSample == 4) {
        float v = float(level);
        memcpy(p, &v, 4);
      }
    };
    for (int plane = 0; plane < d.Planes(); ++plane) {
      for (int64_t y = 0; y < d.height; ++y) {
        for (int64_t x = 0; x < d.width; ++x) store(plane, x, y, plane < colourPlanes ? 0.04 : 1.0);
      }
    }
    for (size_t i = 0; i < spots.size(); ++i) {
      const auto& spot = spots[i];
      std::pair<int, int> size = i < sizes.size() ? sizes[i] : std::make_pair(3, 3);
      for (int plane = 0; plane < colourPlanes; ++plane) {
        for (int64_t y = spot.second - 1; y < spot.second - 1 + size.second; ++y) {
          for (int64_t x = spot.first - 1; x < spot.first - 1 + size.first; ++x) store(plane, x, y, 1.0);
        }
      }
    }
    m_Spots = spots;
    m_Before = d.planes;
  }
  // Every pixel farther than the distance from all lights is as it was.
  void ExpectUntouchedFarAway(double distance) {
    const DocumentImage& d = m_Session->Image();
    int changed = 0;
    for (int64_t y = 0; y < d.height; y += 2) {
      for (int64_t x = 0; x < d.width; x += 2) {
        double nearest = 1e9;
        for (const auto& spot : m_Spots) nearest = std::min(nearest, std::hypot(double(x - spot.first), double(y - spot.second)));
        if (nearest > distance && Changed(x, y)) ++changed;
      }
    }
    EXPECT_EQ(changed, 0);
  }
  std::vector<std::pair<int64_t, int64_t>> m_Spots;

  ParameterBlock m_Block{};
  Planes m_Before;
};

HostDocument Document(int16 mode = plugInModeRGBColor, int32 width = 600, int32 height = 400) {
  HostDocument d;
  d.imageMode = mode;
  d.width = width;
  d.height = height;
  return d;
}

}  // namespace

// With Length 50 a spike's falloff reaches zero at 0.17 of the image's diagonal (184 pixels for
// 900 × 600), the soft flare well within that: farther from every light nothing changes.
TEST_F(FinalRender, StarsAppearAtTheLightsAndNowhereElse) {
  Open(Document(plugInModeRGBColor, 900, 600));
  PaintLights({{200, 200}, {650, 380}});
  ASSERT_EQ(Render(InitialParameterBlock()), 0);
  EXPECT_GT(Level(After(), 0, 200, 190), Level(m_Before, 0, 200, 190)) << "above a light, on its upward spike";
  EXPECT_GT(Level(After(), 0, 650, 370), Level(m_Before, 0, 650, 370));
  ExpectUntouchedFarAway(190);
}

TEST_F(FinalRender, NoVisibleHighlightLeavesTheImageAndEffectsOnlyMakesItBlack) {
  Open(Document());
  ParameterBlock block = InitialParameterBlock();
  block.quantity = 0;
  ASSERT_EQ(Render(block), 0);
  EXPECT_EQ(After(), m_Before);
  block.effectsOnly = 1;
  ReleaseEffectShapes();
  StopLightSourceAnalysis();
  DestroyHostImage();
  TerminateColorConversion();
  ASSERT_EQ(Render(block), 0);
  for (int plane = 0; plane < 3; ++plane) {
    for (uint8_t v : After()[size_t(plane)]) ASSERT_EQ(v, 0);
  }
}

TEST_F(FinalRender, EffectsOnlyGivesTheEffectsOverBlack) {
  Open(Document());
  ParameterBlock block = InitialParameterBlock();
  block.effectsOnly = 1;
  ASSERT_EQ(Render(block), 0);
  EXPECT_GT(Level(After(), 1, 525, 380), 0.05);
  EXPECT_EQ(Level(After(), 1, 300, 200), 0) << "far from every highlight";
}

TEST_F(FinalRender, LengthZeroChangesNothingAndTheProgressStillCompletes) {
  Open(Document());
  ParameterBlock block = InitialParameterBlock();
  block.length = 0;
  ASSERT_EQ(Render(block), 0);
  EXPECT_EQ(After(), m_Before);
  EXPECT_EQ(GetHostObservations().lastPercent, 100);
}

TEST_F(FinalRender, OnlySoftFlaresWhenBothSpikeIntensitiesAreZero) {
  Open(Document());
  ParameterBlock block = InitialParameterBlock();
  block.intensity = 0;
  block.secondarySpikeIntensity = 0;
  block.softFlareIntensity = 100;
  block.length = 100;
  ASSERT_EQ(Render(block), 0);
  // A round glow: the same rise at the same distance in all four directions.
  double rise[4];
  const int offsets[4][2] = {{4, 0}, {-4, 0}, {0, 4}, {0, -4}};
  for (int i = 0; i < 4; ++i) {
    int64_t x = 525 + offsets[i][0], y = 386 + offsets[i][1];
    rise[i] = Level(After(), 1, x, y) - Level(m_Before, 1, x, y);
    EXPECT_GT(rise[i], 0.01);
  }
  EXPECT_NEAR(rise[0], rise[1], 0.02);
  EXPECT_NEAR(rise[2], rise[3], 0.02);
}

// Without room for more than one phase at a time every phase gets its own round; the picture is
// the same but for the order in which the tile's floats were summed.
TEST_F(FinalRender, RenderingOnePhaseARoundGivesTheSamePicture) {
  ParameterBlock block = InitialParameterBlock();
  block.length = 70;
  auto lights = [this] {
    Open(Document(plugInModeRGBColor, 700, 500));
    PaintLights({{150, 120}, {420, 100}, {300, 300}, {560, 390}, {100, 420}}, {{3, 3}, {2, 2}, {3, 2}, {2, 3}, {4, 4}});
  };
  lights();
  ASSERT_EQ(Render(block), 0);
  Planes together = After();
  TearDown();
  SetUp();
  ReportCapture capture;
  OverrideWorkingMemoryLimit(1);
  lights();
  int16_t result = Render(block);
  OverrideWorkingMemoryLimit(0);
  ASSERT_EQ(result, 0);
  int phases = 0, rounds = 0;
  for (const CapturedReport& report : capture.Reports()) sscanf(report.text.c_str(), "Final render: %d phases in %d rounds", &phases, &rounds);
  EXPECT_GT(phases, 1);
  EXPECT_EQ(rounds, phases);
  EXPECT_EQ(GetHostObservations().lastPercent, 100);
  int differences = 0, changed = 0;
  for (size_t plane = 0; plane < 3; ++plane) {
    for (size_t i = 0; i < together[plane].size(); ++i) {
      int delta = std::abs(int(together[plane][i]) - int(After()[plane][i]));
      EXPECT_LE(delta, 1) << "plane " << plane << ", sample " << i;
      if (delta > 1) break;
      differences += delta;
      changed += together[plane][i] != m_Before[plane][i];
    }
  }
  EXPECT_GT(changed, 10000) << "stars were painted";
  EXPECT_LT(differences, changed / 100);
}

// Each pixel receives its effects in the same order however the rows are split into bands, and
// stars cut by a band's or the image's edges keep the parts inside: the picture is the same to
// the bit on one worker and on three.
TEST_F(FinalRender, TheBandsDoNotChangeThePicture) {
  ParameterBlock block = InitialParameterBlock();
  block.length = 70;
  block.softFlareIntensity = 60;
  auto render = [&](uint32_t workers) {
    Open(Document(plugInModeRGBColor, 700, 500));
    PaintLights({{4, 100}, {696, 250}, {350, 166}, {200, 333}, {500, 495}});
    ScopedWorkerCount forced(workers);
    return Render(block);
  };
  ASSERT_EQ(render(1), 0);
  Planes one = After();
  TearDown();
  SetUp();
  ASSERT_EQ(render(3), 0);
  int changed = 0;
  for (size_t plane = 0; plane < 3; ++plane) {
    EXPECT_TRUE(one[plane] == After()[plane]) << "plane " << plane;
    for (size_t i = 0; i < one[plane].size(); ++i) changed += one[plane][i] != m_Before[plane][i];
  }
  EXPECT_GT(changed, 10000) << "stars were painted";
}

// Three rows on four workers: each row is a band of its own, and each band does its row's work.
// With Effects Only every row turns black (a three-row image shows no highlight to paint), as it
// does on one worker in one band.
TEST_F(FinalRender, AnImageWithFewerRowsThanWorkersPaintsARowABand) {
  ParameterBlock block = InitialParameterBlock();
  block.effectsOnly = 1;
  auto render = [&](uint32_t workers, const char* bands) {
    Open(Document(plugInModeRGBColor, 300, 3));
    ScopedWorkerCount forced(workers);
    ReportCapture capture;
    EXPECT_EQ(Render(block), 0);
    EXPECT_TRUE(capture.HasReportContaining(bands)) << workers << " workers";
  };
  render(4, ", 3 bands;");
  Planes banded = After();
  for (int plane = 0; plane < 3; ++plane) {
    for (int64_t y = 0; y < 3; ++y) {
      int litBefore = 0, lit = 0;
      for (int64_t x = 0; x < 300; ++x) {
        litBefore += Level(m_Before, plane, x, y) != 0;
        lit += Level(banded, plane, x, y) != 0;
      }
      EXPECT_GT(litBefore, 150) << "row " << y << " of plane " << plane << " was not black";
      EXPECT_EQ(lit, 0) << "row " << y << " of plane " << plane << " turned black";
    }
  }
  TearDown();
  SetUp();
  render(1, ", 1 bands;");
  EXPECT_TRUE(banded == After());
}

TEST_F(FinalRender, CancelWhilePaintingLeavesTheImageUntouched) {
  HostOptions options;
  options.cancelAtPercent = 20;
  Open(Document(plugInModeRGBColor, 1200, 900), options);
  ParameterBlock block = InitialParameterBlock();
  block.quantity = 100;
  EXPECT_EQ(Render(block), -128);
  EXPECT_EQ(After(), m_Before);
}

// Phases wait for a turn to be generated; a cancel must reach the ones at work and the ones
// still waiting alike.
TEST_F(FinalRender, CancelWhileGeneratingShapesLeavesTheImageUntouched) {
  HostOptions options;
  options.cancelAtPercent = 0;  // at the first look at the progress: the analysis is done, so among the phases
  Open(Document(plugInModeRGBColor, 1200, 900), options);
  // Lights of even and odd sizes centre on four phases, each three steps of a small total.
  PaintLights({{200, 200}, {500, 200}, {800, 200}, {1000, 200}, {200, 600}, {500, 600}, {800, 600}, {1000, 600}},
              {{3, 3}, {2, 2}, {3, 2}, {2, 3}, {3, 3}, {2, 2}, {3, 2}, {2, 3}});
  ReportCapture capture;
  ParameterBlock block = InitialParameterBlock();
  block.length = 100;  // long stars: generation takes a while
  EXPECT_EQ(Render(block), -128);
  EXPECT_EQ(After(), m_Before);
  EXPECT_TRUE(capture.HasReport("DisplayImageEditorProgressBar returned false in DisplayCurrentImageEditorProgress_APC(), *gResult set to -128."));
  EXPECT_FALSE(capture.HasReportContaining("in CreateEffectTile()")) << "painting never started";
}

TEST_F(FinalRender, EveryModeAndDepthWithTransparency) {
  const int16 modes[] = {plugInModeGrayScale, plugInModeGray16, plugInModeGray32, plugInModeRGBColor, plugInModeRGB48, plugInModeRGB96};
  for (int16 mode : modes) {
    SCOPED_TRACE(testing::Message() << "mode " << mode);
    HostDocument document = Document(mode, 900, 600);
    document.hasTransparency = true;
    Open(document);
    PaintLights({{200, 200}, {650, 380}});
    ASSERT_EQ(Render(InitialParameterBlock()), 0);
    EXPECT_TRUE(Changed(200, 190));
    ExpectUntouchedFarAway(190);
    EXPECT_EQ(After().back(), m_Before.back()) << "the transparency plane is never painted";
    TearDown();
    SetUp();
  }
}

TEST_F(FinalRender, LightSourcesOutsideTheSelectionGetNoStar) {
  HostDocument document = Document();
  document.hasSelection = true;  // the left half
  Open(document);
  ParameterBlock block = InitialParameterBlock();
  block.quantity = 100;
  ASSERT_EQ(Render(block), 0);
  EXPECT_TRUE(Changed(137, 208 - 5)) << "a selected highlight";
  for (int64_t hx : {428, 525}) {
    for (int64_t hy : {30, 119, 208, 297, 386}) EXPECT_FALSE(Changed(hx, hy - 5)) << hx << "," << hy;
  }
}

TEST_F(FinalRender, OutOfMemoryWhileGeneratingShapesSaysSoAndLeavesTheImage) {
  Open(Document());
  ReportCapture capture;
  Prepare(InitialParameterBlock());
  FailBufferAllocationsAfter(1, 1000000);  // the task list is made; every shape allocation fails
  EXPECT_EQ(ProcessImage(&gHostImage), -108);
  FailNextBufferAllocations(0);
  DestroyHostImage();
  EXPECT_EQ(After(), m_Before);
  EXPECT_TRUE(capture.HasReport("Out of RAM.  Operation could not be completed."));
  EXPECT_TRUE(capture.HasReport("GenerateFinalEffectShapes failure (presumably memory shortage) in CreateSubShapeTask(), *gResult set to -108."));
}

TEST_F(FinalRender, OutOfMemoryWhilePaintingLeavesTheImage) {
  Open(Document());
  ReportCapture capture;
  ParameterBlock block = InitialParameterBlock();
  block.length = 0;  // no shape needs memory: the first failures hit the painters' tiles
  Prepare(block);
  FailBufferAllocationsAfter(2, 1000000);
  EXPECT_EQ(ProcessImage(&gHostImage), -108) << "the image's own allocation failure";
  FailNextBufferAllocations(0);
  DestroyHostImage();
  EXPECT_EQ(After(), m_Before);
  EXPECT_TRUE(capture.HasReport("CreateImage failed in GenerateEffectsIntoHostImageTask(), *gResult set to -108."));
  EXPECT_TRUE(capture.HasReport("Out of RAM.  Operation could not be completed."));
}


// Heavy stars span far past the image: generated only as far as the light sources' offsets meet
// the image, they give the whole shapes' picture to the bit, 8 and 16 bits. The lights in the
// corners make the reaches' edges the far corners.
TEST_F(FinalRender, ShapesCutToTheirReachGiveTheWholeShapesPicture) {
  ParameterBlock block = InitialParameterBlock();
  block.length = 100;
  block.softFlareIntensity = 100;
  block.numberOfPoints = 32;
  block.secondarySpikeIntensity = 40;
  for (int16 mode : {int16(plugInModeRGBColor), int16(plugInModeRGB48)}) {
    auto render = [&](bool reach) {
      Open(Document(mode, 320, 200));
      PaintLights({{2, 2}, {317, 197}, {160, 60}, {40, 150}, {250, 30}}, {{3, 3}, {4, 4}, {2, 3}, {3, 2}, {2, 2}});
      UseShapeReach(reach);
      int16_t result = Render(block);
      UseShapeReach(true);
      return result;
    };
    ASSERT_EQ(render(false), 0);
    Planes whole = After();
    TearDown();
    SetUp();
    ASSERT_EQ(render(true), 0);
    for (size_t plane = 0; plane < 3; ++plane) EXPECT_TRUE(whole[plane] == After()[plane]) << "mode " << mode << ", plane " << plane;
    int changed = 0;
    for (int64_t y = 0; y < 200; y += 4) {
      for (int64_t x = 0; x < 320; x += 4) changed += Changed(x, y);
    }
    EXPECT_GT(changed, 50 * 80 / 2) << "the stars cover most of the picture";
    TearDown();
    SetUp();
  }
}

// With memory for some phases but not all, the rounds after the first generate their phases from
// the size the first ones showed; the picture is the one painted in a single round.
TEST_F(FinalRender, RoundsSizedByTheFirstPhasesGiveTheSamePicture) {
  ParameterBlock block = InitialParameterBlock();
  block.length = 90;
  block.numberOfPoints = 12;
  auto lights = [this] {
    Open(Document(plugInModeRGBColor, 700, 500));
    PaintLights({{150, 120}, {420, 100}, {300, 300}, {560, 390}, {100, 420}, {640, 60}, {250, 470}, {480, 240}},
                {{3, 3}, {2, 2}, {3, 2}, {2, 3}, {4, 4}, {2, 2}, {3, 2}, {2, 3}});
  };
  lights();
  ASSERT_EQ(Render(block), 0);
  Planes together = After();
  TearDown();
  SetUp();
  // The size of one phase without a reach (larger than the render's) sets the room: the
  // largest room that makes the render take more than one round.
  lights();
  Prepare(block);
  EnterFinalRenderMode(gHostImage);
  SetEffectShapeParameters(ParameterSetOfCurrentBlock());
  ASSERT_TRUE(GenerateFinalEffectShapes(1, 2));
  uint64_t phase = SubShapeBytes(gEffectShapes.star.subshapes[1][2]);
  ASSERT_GT(phase, 100000u);
  DestroyHostImage();
  int phases = 0, rounds = 0;
  for (double share : {2.0, 1.0, 0.6, 0.4}) {
    TearDown();
    SetUp();
    lights();
    ReportCapture capture;
    Prepare(block);
    OverrideWorkingMemoryLimit(GetBufferStatistics().currentUsage + 700 * 500 * 12 + uint64_t(share * double(phase)));
    int16_t result = ProcessImage(&gHostImage);
    if (result == 0) WriteHostImage(gHostImage);
    DestroyHostImage();
    OverrideWorkingMemoryLimit(0);
    ASSERT_EQ(result, 0);
    for (const CapturedReport& report : capture.Reports()) sscanf(report.text.c_str(), "Final render: %d phases in %d rounds", &phases, &rounds);
    if (rounds > 1) break;
  }
  EXPECT_GT(rounds, 1);
  EXPECT_LE(rounds, phases);
  int changed = 0;
  for (size_t plane = 0; plane < 3; ++plane) {
    for (size_t i = 0; i < together[plane].size(); ++i) {
      int delta = std::abs(int(together[plane][i]) - int(After()[plane][i]));
      EXPECT_LE(delta, 1) << "plane " << plane << ", sample " << i;
      if (delta > 1) break;
      changed += together[plane][i] != m_Before[plane][i];
    }
  }
  EXPECT_GT(changed, 10000) << "stars were painted";
}

// Stars too large for one round's budget are generated one phase per worker a round, each round's
// phases freed (their blocks drawn into again by the next round's) before the next: the picture is
// the one-round picture, within a level at 8 bits and 1/1000 of the range at 16, with less held at
// once, and no block is left pooled after the render.
TEST_F(FinalRender, HeavyStarsBeyondTheBudgetGiveTheOneRoundPictureInLessMemory) {
  ParameterBlock block = InitialParameterBlock();
  block.length = 100;
  block.softFlareIntensity = 100;
  block.numberOfPoints = 32;
  block.secondarySpikeIntensity = 40;
  for (int16 mode : {int16(plugInModeRGBColor), int16(plugInModeRGB48)}) {
    struct Outcome {
      Planes planes;
      int rounds = 0;
      uint64_t peak = 0;
      int phases = 0;
    };
    auto render = [&](uint64_t budget) {
      Open(Document(mode, 360, 240));
      PaintLights({{30, 20}, {331, 221}, {181, 122}, {60, 180}, {250, 40}, {120, 90}, {300, 150}, {200, 200}},
                  {{3, 3}, {4, 4}, {2, 3}, {3, 2}, {2, 2}, {4, 3}, {3, 4}, {2, 2}});
      LimitRoundShapeMemory(budget);
      ReportCapture capture;
      ResetBufferStatistics(GetBufferAlignment());
      Prepare(block);
      int16_t result = ProcessImage(&gHostImage);
      uint64_t peak = GetBufferStatistics().peakUsage;
      EXPECT_EQ(PooledRenderBytes(), 0u) << "the render frees the blocks it pooled";
      if (result == 0) WriteHostImage(gHostImage);
      DestroyHostImage();
      LimitRoundShapeMemory(0);
      EXPECT_EQ(result, 0);
      Outcome outcome{After(), 0, peak, 0};
      for (const CapturedReport& report : capture.Reports()) {
        sscanf(report.text.c_str(), "Final render: %d phases in %d rounds", &outcome.phases, &outcome.rounds);
      }
      TearDown();
      SetUp();
      return outcome;
    };
    Outcome together = render(uint64_t(1) << 40);
    Outcome rounds = render(1);
    EXPECT_EQ(together.rounds, 1);
    int workers = int(std::max<uint32_t>(1, GetWorkerCount()));
    EXPECT_GT(rounds.rounds, 1);
    EXPECT_GE(rounds.rounds, (rounds.phases + workers - 1) / workers) << "one phase per worker a round";
    EXPECT_LT(rounds.peak, together.peak);
    int tolerance = mode == plugInModeRGBColor ? 1 : 33;
    int worst = 0, changed = 0;
    for (size_t plane = 0; plane < 3; ++plane) {
      size_t step = mode == plugInModeRGBColor ? 1 : 2;
      for (size_t i = 0; i + step <= together.planes[plane].size(); i += step) {
        int a = together.planes[plane][i], b = rounds.planes[plane][i];
        if (step == 2) a |= together.planes[plane][i + 1] << 8, b |= rounds.planes[plane][i + 1] << 8;
        worst = std::max(worst, std::abs(a - b));
        changed += together.planes[plane][i] != m_Before[plane][i];
      }
    }
    EXPECT_LE(worst, tolerance) << "mode " << mode;
    EXPECT_GT(changed, 20000) << "the stars cover much of the picture";
  }
}

// The compact form drawn straight into rows against the SubShapeEntry form ordered and converted
// after: at heavy settings, in one round and in several, the same picture within a level at 8 bits
// and 1/1000 of the range at 16, holding less at its peak, and no slab left pooled.
TEST_F(FinalRender, CompactShapesGiveTheReferencePictureInLessMemory) {
  ParameterBlock block = InitialParameterBlock();
  block.length = 100;
  block.softFlareIntensity = 100;
  block.numberOfPoints = 32;
  block.secondarySpikeIntensity = 40;
  for (int16 mode : {int16(plugInModeRGBColor), int16(plugInModeRGB48)}) {
    struct Outcome {
      Planes planes;
      uint64_t peak = 0;
    };
    auto render = [&](bool compact, uint64_t budget) {
      Open(Document(mode, 360, 240));
      PaintLights({{30, 20}, {331, 221}, {181, 122}, {60, 180}, {250, 40}, {120, 90}, {300, 150}, {200, 200}},
                  {{3, 3}, {4, 4}, {2, 3}, {3, 2}, {2, 2}, {4, 3}, {3, 4}, {2, 2}});
      UseCompactShapes(compact);
      LimitRoundShapeMemory(budget);
      ResetBufferStatistics(GetBufferAlignment());
      Prepare(block);
      int16_t result = ProcessImage(&gHostImage);
      uint64_t peak = GetBufferStatistics().peakUsage;
      EXPECT_EQ(PooledRenderBytes(), 0u) << "the render frees the blocks it pooled";
      if (result == 0) WriteHostImage(gHostImage);
      DestroyHostImage();
      LimitRoundShapeMemory(0);
      UseCompactShapes(true);
      EXPECT_EQ(result, 0);
      Outcome outcome{After(), peak};
      TearDown();
      SetUp();
      return outcome;
    };
    Outcome reference = render(false, uint64_t(1) << 40);
    for (uint64_t budget : {uint64_t(1) << 40, uint64_t(1)}) {
      Outcome compact = render(true, budget);
      EXPECT_LT(compact.peak, reference.peak * 3 / 4) << "mode " << mode << ", budget " << budget;
      int tolerance = mode == plugInModeRGBColor ? 1 : 33;
      int worst = 0, changed = 0;
      for (size_t plane = 0; plane < 3; ++plane) {
        size_t step = mode == plugInModeRGBColor ? 1 : 2;
        for (size_t i = 0; i + step <= reference.planes[plane].size(); i += step) {
          int a = reference.planes[plane][i], b = compact.planes[plane][i];
          if (step == 2) a |= reference.planes[plane][i + 1] << 8, b |= compact.planes[plane][i + 1] << 8;
          worst = std::max(worst, std::abs(a - b));
          changed += reference.planes[plane][i] != m_Before[plane][i];
        }
      }
      EXPECT_LE(worst, tolerance) << "mode " << mode << ", budget " << budget;
      EXPECT_GT(changed, 20000) << "the stars cover much of the picture";
    }
  }
}
