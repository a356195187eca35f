// The stars the preview draws over the photo: synthetic documents with known highlights, the real
// analysis, and the frame the preview window paints read back on every drawing setting.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <lcms2.h>

#include "TestSupport.h"
#include "analysis/LightSourceAnalysis.h"
#include "analysis/LightSourceTable.h"
#include "analysis/TableOperations.h"
#include "effects/EffectShapes.h"
#include "effects/ProcessImage.h"
#include "effects/StarGenerator.h"
#include "host/HostImage.h"
#include "host/HostProxyImage.h"
#include "params/ParameterBlock.h"
#include "params/ParameterBlockService.h"
#include "params/ParameterSet.h"
#include "preview/BackgroundTask.h"
#include "preview/DisplayProfiles.h"
#include "preview/EffectLayers.h"
#include "preview/PreviewImageSource.h"
#include "preview/PreviewViewState.h"
#include "preview/ProxyDisplay.h"
#include "preview/ProxyLayer.h"
#include "support/FaultInjection.h"
#include "support/HostRecordFixture.h"
#include "support/PreviewTestWindow.h"

namespace {

constexpr int kPreviewWidth = 320;
constexpr int kPreviewHeight = 220;
constexpr int kDocumentWidth = 300;
constexpr int kDocumentHeight = 200;
constexpr double kBackgroundLevel = 0.2;  // clear of the darkest tones an 8-bit linear proxy loses
constexpr char kLayerFailed[] = "Low memory.  Check image - some effects may not be rendered.  Try lowering the effect settings.";

struct Spot {
  int x, y;
};

// A dark, even document with 3 × 3 highlights of the tint centred on the spots.
DocumentImage MakeSpotDocument(const std::vector<Spot>& spots, int width, int height,
                               const std::array<uint8_t, 3>& tint = {255, 255, 255}) {
  DocumentImage d = MakeTestDocument(width, height, 3, false, 1, false);
  for (int p = 0; p < 3; ++p) {
    for (int64_t y = 0; y < height; ++y) {
      for (int64_t x = 0; x < width; ++x) *d.Sample(p, x, y) = uint8_t(std::lround(kBackgroundLevel * 255));
    }
    for (const Spot& spot : spots) {
      for (int y = spot.y - 1; y <= spot.y + 1; ++y) {
        for (int x = spot.x - 1; x <= spot.x + 1; ++x) *d.Sample(p, x, y) = tint[size_t(p)];
      }
    }
  }
  return d;
}

double Brightness(COLORREF c) { return std::max({GetRValue(c), GetGValue(c), GetBValue(c)}); }

// The normalised cross-correlation of two pictures of the same size.
double CrossCorrelation(const std::vector<double>& a, const std::vector<double>& b) {
  double ma = 0, mb = 0;
  for (size_t i = 0; i < a.size(); ++i) ma += a[i], mb += b[i];
  ma /= double(a.size()), mb /= double(b.size());
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    ab += (a[i] - ma) * (b[i] - mb);
    aa += (a[i] - ma) * (a[i] - ma);
    bb += (b[i] - mb) * (b[i] - mb);
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

double Mean(const std::vector<double>& v) {
  double sum = 0;
  for (double x : v) sum += x;
  return v.empty() ? 0.0 : sum / double(v.size());
}

class EffectDrawingTest : public HostRecordFixture, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    HostRecordFixture::SetUp();
    m_Block = InitialParameterBlock();
    BindCurrentParameterBlock(&m_Block);
  }
  void TearDown() override {
    window.reset();
    EXPECT_TRUE(WaitUntil([] { return !BackgroundTaskRunning(); }, 20000));
    DisarmFaults();
    SetSteadyEffectsDisabledForTests(false);
    SetHalfFloatTemplatesAllowed(true);
    gPreviewViewState.previewEnabled = false;
    SetPreviewImageSource(PreviewImageSource{});
    ReleaseHostProxyImage();
    StopLightSourceAnalysis();
    BindCurrentParameterBlock(nullptr);
    HostRecordFixture::TearDown();
  }

  // The document read and analysed as the start selector does it, and the preview opened on it
  // with the effects shown.
  void Show(const std::vector<Spot>& spots, double zoom = 100.0, int width = kDocumentWidth, int height = kDocumentHeight) {
    HostDocument host;
    host.imageMode = plugInModeRGBColor;
    host.width = width;
    host.height = height;
    Open(host);
    m_Session->SetImage(MakeSpotDocument(spots, width, height, m_Tint), {});
    ASSERT_TRUE(OpenProfiles());
    ASSERT_TRUE(ReadHostImage());
    ASSERT_TRUE(StartLightSourceAnalysis(gHostImage));
    ASSERT_TRUE(WaitForLightSourceAnalysis(INFINITE));
    ASSERT_GT(gLightSourceTable.count, 0u);
    SetPreviewImageSource(HostPreviewImageSource());
    window = std::make_unique<PreviewTestWindow>(GetParam(), true, kPreviewWidth, kPreviewHeight);
    gPreviewViewState.previewEnabled = true;
    gPreviewViewState.zoom = zoom;
    Redraw();
  }
  // A new request from the current block and view, drawn to the end.
  void Redraw() {
    NewBackgroundTaskParameters(nullptr);
    ASSERT_TRUE(window->PumpUntil([&] { return window->FramesCaughtUp(); }));
    ASSERT_FALSE(reports.HasReportContaining("Parameter Set Processing Failed")) << AllReports();
  }
  // The same settings again, reached through another Length: every template is rasterised anew.
  void RedrawWithNewTemplates() {
    const int16_t length = m_Block.length;
    m_Block.length = int16_t(length > 1 ? length - 1 : length + 1);
    Redraw();
    m_Block.length = length;
    Redraw();
  }
  // Where image point (x, y) lands in the preview, the image centred in the frame.
  POINT ScreenPoint(double x, double y) const {
    double zoom = gPreviewViewState.zoom;
    int32_t width = 0, height = 0;
    ScaledImageSize(gHostImage.rectangle, zoom, &width, &height);
    int left = width < kPreviewWidth - 2 ? (kPreviewWidth - 2 - width) / 2 + 1 : 1;
    int top = height < kPreviewHeight - 2 ? (kPreviewHeight - 2 - height) / 2 + 1 : 1;
    return POINT{left + LONG(std::floor(x * zoom / 100.0)), top + LONG(std::floor(y * zoom / 100.0))};
  }
  // The preview's brightness at every other pixel of every other row: two frames compared whole.
  std::vector<double> Frame() {
    std::vector<double> samples;
    for (int y = 0; y < kPreviewHeight; y += 2) {
      for (int x = 0; x < kPreviewWidth; x += 2) samples.push_back(At(x, y));
    }
    return samples;
  }
  double At(int x, int y) {
    COLORREF color = 0;
    EXPECT_TRUE(SampleScreenBitmap(x, y, &color)) << x << "," << y;
    return Brightness(color);
  }
  // The screen point at `distance` screen pixels from the light's centre in the direction of an
  // angle (tenths of a degree, 0 up, clockwise).
  double AlongAngle(const LightSource& light, double tenths, double distance) {
    POINT centre = ScreenPoint(light.x, light.y);
    double radians = tenths * 3.14159265358979 / 1800.0;
    return At(int(std::lround(centre.x + distance * std::sin(radians))), int(std::lround(centre.y - distance * std::cos(radians))));
  }
  std::vector<LightSource> VisibleLights() const {
    std::vector<LightSource> visible;
    uint32_t threshold = QuantityThreshold(gLightSourceTable, m_Block.quantity);
    for (uint64_t i = 0; i < gLightSourceTable.count; ++i) {
      if (IsLightSourceVisible(gLightSourceTable.Entries()[i], threshold)) visible.push_back(gLightSourceTable.Entries()[i]);
    }
    return visible;
  }
  std::string AllReports() const {
    std::string all;
    for (const CapturedReport& report : reports.Reports()) all += report.text + "\n";
    return all;
  }
  bool BoxShown(const std::string& text) const {
    for (const CapturedBox& box : reports.Boxes()) {
      if (box.text == text && box.title == "Warning") return true;
    }
    return false;
  }

  ParameterBlock m_Block{};
  std::array<uint8_t, 3> m_Tint{255, 255, 255};  // the highlights' colour
  PreviewHooks hooks;
  ReportCapture reports;
  std::unique_ptr<PreviewTestWindow> window;
};

// The brightest point near each light, weighted over a small window, is the star's centre.
TEST_P(EffectDrawingTest, EveryStarIsCentredOnItsLightAtFullSize) {
  m_Block.effectsOnly = 1;
  Show({{70, 60}, {210, 140}, {150, 100}, {41, 167}});
  std::vector<LightSource> lights = VisibleLights();
  ASSERT_GE(lights.size(), 4u);
  for (const LightSource& light : lights) {
    POINT centre = ScreenPoint(light.x, light.y);
    double sum = 0, sx = 0, sy = 0;
    for (int dy = -4; dy <= 4; ++dy) {
      for (int dx = -4; dx <= 4; ++dx) {
        double v = At(centre.x + dx, centre.y + dy);
        double w = v * v * v;  // the core outweighs the spikes' roots
        sum += w, sx += w * dx, sy += w * dy;
      }
    }
    ASSERT_GT(sum, 0) << "no star at " << light.x << "," << light.y;
    EXPECT_LE(std::fabs(sx / sum), 1.0) << "light at " << light.x << "," << light.y;
    EXPECT_LE(std::fabs(sy / sum), 1.0) << "light at " << light.x << "," << light.y;
  }
  // Far from every light the effects-only frame stays black.
  POINT distant = ScreenPoint(280, 15);
  EXPECT_EQ(At(distant.x, distant.y), 0.0);
}

TEST_P(EffectDrawingTest, SpikesPointWhereAngleAndStyleSay) {
  m_Block.effectsOnly = 1;
  m_Block.numberOfPoints = 4;
  m_Block.softFlareIntensity = 0;
  m_Block.secondarySpikeIntensity = 0;
  m_Block.length = 60;
  Show({{150, 100}});
  std::vector<LightSource> lights = VisibleLights();
  ASSERT_EQ(lights.size(), 1u);
  const LightSource& light = lights[0];
  // Standard Star, four points from Angle 0: up, right, down, left; nothing on the diagonals.
  for (int spike = 0; spike < 4; ++spike) {
    EXPECT_GT(AlongAngle(light, spike * 900, 20), 40.0) << "spike " << spike;
    EXPECT_LT(AlongAngle(light, spike * 900 + 450, 20), 8.0) << "between spikes " << spike;
  }
  m_Block.angle = 450;
  Redraw();
  for (int spike = 0; spike < 4; ++spike) {
    EXPECT_GT(AlongAngle(light, spike * 900 + 450, 20), 40.0) << "turned spike " << spike;
    EXPECT_LT(AlongAngle(light, spike * 900, 20), 8.0) << "where the spike was " << spike;
  }
  // Every other style: each strong spike of the layout shows in its direction.
  for (uint32_t style : {EFFECT_HOLLYWOOD_STAR, EFFECT_RELIGIOUS_CROSS, EFFECT_NORTH_STAR, EFFECT_VECTOR_STAR}) {
    m_Block.effectType = style;
    m_Block.angle = 300;
    Redraw();
    ParameterSet set = ParameterSetOfCurrentBlock();
    static StarSpike spikes[kMaximumStarSpikes];
    int count = PrimaryStarSpikes(set, spikes);
    double strongest = 0;
    for (int k = 0; k < count; ++k) strongest = std::max(strongest, spikes[k].strength);
    int checked = 0;
    for (int k = 0; k < count; ++k) {
      if (spikes[k].strength < strongest * 0.99) continue;
      EXPECT_GT(AlongAngle(light, double(spikes[k].angle), 14), 25.0) << "style " << style << " spike " << k;
      ++checked;
    }
    EXPECT_GT(checked, 0) << style;
  }
}

// What a slider rebuilds, seen through the layers' counters.
TEST_P(EffectDrawingTest, OnlyWhatAChangeTouchesIsRebuilt) {
  Show({{70, 60}, {210, 140}});
  ResetEffectLayerCounters();
  m_Block.angle = 200;
  Redraw();
  EffectLayerCounters primary = GetEffectLayerCounters(EFFECT_LAYER_PRIMARY);
  EXPECT_EQ(primary.templateBuilds, 0) << "Angle turns the quads, not the spike";
  EXPECT_EQ(primary.quadBuilds, 1);
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_SOFT_FLARE).quadBuilds, 0) << "a soft flare has no angle";

  ResetEffectLayerCounters();
  m_Block.softFlareIntensity = 70;
  Redraw();
  EffectLayerCounters flare = GetEffectLayerCounters(EFFECT_LAYER_SOFT_FLARE);
  EXPECT_EQ(flare.templateBuilds, 0);
  EXPECT_EQ(flare.quadBuilds, 1);
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_PRIMARY).quadBuilds, 0);

  ResetEffectLayerCounters();
  m_Block.length = 70;
  Redraw();
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_PRIMARY).templateBuilds, 1);
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_SECONDARY).templateBuilds, 1);
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_SOFT_FLARE).templateBuilds, 1);

  // A view change redraws the layer but rebuilds nothing.
  ResetEffectLayerCounters();
  gPreviewViewState.zoom = 50.0;
  Redraw();
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_PRIMARY).quadBuilds, 0);
}

// Intensity keeps the spike templates: the stars it gives from the kept templates are those of
// templates rasterised afresh at the same settings, pixel for pixel, and it does change them.
TEST_P(EffectDrawingTest, IntensityRescalesTheQuadsOverTheKeptTemplates) {
  // Pixel for pixel: every layer drawn from its quads in the same order, never from a kept
  // picture of the soft flares, whose other order rounds a few pixels differently.
  SetSteadyEffectsDisabledForTests(true);
  m_Block.intensity = 40;
  m_Block.secondarySpikeIntensity = 30;
  Show({{70, 60}, {210, 140}});
  std::vector<double> faint = Frame();
  ResetEffectLayerCounters();
  m_Block.intensity = 90;
  m_Block.secondarySpikeIntensity = 80;
  Redraw();
  for (int kind : {EFFECT_LAYER_PRIMARY, EFFECT_LAYER_SECONDARY}) {
    EXPECT_EQ(GetEffectLayerCounters(kind).templateBuilds, 0) << kind;
    EXPECT_EQ(GetEffectLayerCounters(kind).quadBuilds, 1) << kind;
  }
  std::vector<double> kept = Frame();
  EXPECT_NE(kept, faint) << "Intensity changed nothing on the screen";
  RedrawWithNewTemplates();
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_PRIMARY).templateBuilds, 2);
  EXPECT_EQ(Frame(), kept);
}

// Half-float templates (where the levels would be 16-bit) give the stars of 32-bit float ones
// to a level, the faint ends of long, bright spikes over black included.
TEST_P(EffectDrawingTest, HalfFloatTemplatesGiveTheStarsOfFullFloatOnes) {
  // Both frames from the quads, never from a kept picture, whose other order rounds differently.
  SetSteadyEffectsDisabledForTests(true);
  m_Block.effectsOnly = 1;
  m_Block.intensity = 100;
  m_Block.length = 100;
  m_Block.secondarySpikeIntensity = 60;
  Show({{70, 60}, {210, 140}, {160, 40}});
  std::vector<double> half = Frame();
  SetHalfFloatTemplatesAllowed(false);
  RedrawWithNewTemplates();
  SetHalfFloatTemplatesAllowed(true);
  std::vector<double> full = Frame();
  ASSERT_EQ(half.size(), full.size());
  double largest = 0, sum = 0, lit = 0;
  for (size_t i = 0; i < half.size(); ++i) {
    largest = std::max(largest, std::fabs(half[i] - full[i]));
    sum += std::fabs(half[i] - full[i]);
    lit += full[i] > 0;
  }
  EXPECT_GT(lit, double(full.size()) / 20) << "the stars cover little of the frame";
  EXPECT_LE(largest, 1.0);
  EXPECT_LE(sum / double(half.size()), 0.05) << largest;
}

// A Length step makes both spike templates stale; they are rasterised at once, the secondary's
// on a thread of its own, and give the stars the two made one after the other give.
TEST_P(EffectDrawingTest, SpikeTemplatesRasterisedTogetherGiveTheStarsOfOneAfterTheOther) {
  m_Block.secondarySpikeIntensity = 60;
  m_Block.length = 50;
  Show({{70, 60}, {210, 140}, {160, 40}});
  ResetEffectLayerCounters();
  m_Block.length = 65;
  Redraw();
  std::vector<double> together = Frame();
  for (int kind : {EFFECT_LAYER_PRIMARY, EFFECT_LAYER_SECONDARY}) {
    EXPECT_EQ(GetEffectLayerCounters(kind).templateBuilds, 1) << kind;
    EXPECT_GT(GetEffectLayerCounters(kind).quads, 0u) << kind;
  }
  SetSpikeTemplatesRasterisedTogether(false);
  m_Block.length = 50;
  Redraw();
  m_Block.length = 65;
  Redraw();
  SetSpikeTemplatesRasterisedTogether(true);
  EXPECT_EQ(Frame(), together);
}

// Templates prepared ahead for a Length whose frame was dropped before the layers were built
// (the drag went back): the next frame, back at the old Length, shows the old stars, not quads
// shaped for the dropped template over the old textures.
TEST_P(EffectDrawingTest, TemplatesPreparedForADroppedFrameLeaveTheNextFrameRight) {
  SetSteadyEffectsDisabledForTests(true);  // sample for sample: every frame draws its layers in one order
  m_Block.secondarySpikeIntensity = 60;
  m_Block.length = 40;
  Show({{70, 60}, {210, 140}, {160, 40}});
  m_Block.angle = 150;
  Redraw();
  std::vector<double> expected = Frame();
  m_Block.angle = 0;
  Redraw();
  // What a frame for Length 90 prepares before a newer request drops it; the task is idle.
  m_Block.length = 90;
  RasteriseSpikeTemplatesTogether(ParameterSetOfCurrentBlock(), gHostImage.rectangle);
  m_Block.length = 40;
  m_Block.angle = 150;
  Redraw();
  std::vector<double> shown = Frame();
  ASSERT_EQ(shown.size(), expected.size());
  size_t differing = 0;
  for (size_t i = 0; i < shown.size(); ++i) differing += shown[i] != expected[i] ? 1 : 0;
  EXPECT_EQ(differing, 0u) << "of " << shown.size() << " samples";
}

// A soft flare whose quad lies wholly outside the view is left out; scrolling to it brings it
// back, and a scroll rebuilds the soft flares alone.
TEST_P(EffectDrawingTest, SoftFlaresOutsideTheViewAreLeftOut) {
  m_Block.length = 5;
  Show({{40, 40}, {1100, 700}}, 100.0, 1200, 800);
  ASSERT_EQ(VisibleLights().size(), 2u);
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_SOFT_FLARE).quads, 1u) << "only the top left light is in view";
  EXPECT_GT(At(ScreenPoint(40, 40).x, ScreenPoint(40, 40).y), 60.0);

  ResetEffectLayerCounters();
  gPreviewViewState.horizontalScroll = 1200 - (kPreviewWidth - 2);
  gPreviewViewState.verticalScroll = 800 - (kPreviewHeight - 2);
  Redraw();
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_SOFT_FLARE).quads, 1u) << "only the bottom right light is in view";
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_SOFT_FLARE).quadBuilds, 1);
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_PRIMARY).quadBuilds, 0) << "spikes are not culled";

  gPreviewViewState.horizontalScroll = 0;
  gPreviewViewState.verticalScroll = 0;
  gPreviewViewState.zoom = 25.0;
  Redraw();
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_SOFT_FLARE).quads, 2u) << "the whole image is in view";
}

// On a wide-gamut display the stars take the display's primaries: a coloured light's quads carry
// its colour in that display's linear values, in proportion to what an sRGB display gets.
// The colours do not depend on the drawing setting: one setting is enough.
class DisplayColourTest : public EffectDrawingTest {};

TEST_P(DisplayColourTest, StarColoursFollowTheDisplaysPrimaries) {
  m_Block.colorSaturation = 0;  // the light's own colour
  std::vector<Spot> spots{{150, 100}};
  auto firstQuadColour = [&](int kind) {
    const EffectLayer& layer = gEffectLayers[kind];
    EXPECT_GT(layer.quadCount, 0u);
    const auto* batch = static_cast<const EffectBatch*>(layer.batches.block);
    const auto* vertex = static_cast<const EffectVertex*>(batch[0].vertices.block);
    return std::vector<double>{vertex->red, vertex->green, vertex->blue};
  };
  m_Tint = {255, 140, 40};
  SetDisplayProfileForTests(StandardProfile());
  Show(spots);
  EXPECT_EQ(LinearDisplayProfile(), LinearWorkingProfile()) << "an sRGB display takes effect light as it is";
  std::vector<double> srgb = firstQuadColour(EFFECT_LAYER_SOFT_FLARE);
  window.reset();
  ASSERT_TRUE(WaitUntil([] { return !BackgroundTaskRunning(); }, 20000));

  cmsCIExyY white = {0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  ColorProfile wide = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(gamma);
  SetDisplayProfileForTests(wide);
  SetPreviewImageSource(HostPreviewImageSource());
  window = std::make_unique<PreviewTestWindow>(GetParam(), true, kPreviewWidth, kPreviewHeight);
  gPreviewViewState.previewEnabled = true;
  Redraw();
  EXPECT_NE(LinearDisplayProfile(), LinearWorkingProfile());
  std::vector<double> adobe = firstQuadColour(EFFECT_LAYER_SOFT_FLARE);
  window.reset();
  EXPECT_TRUE(WaitUntil([] { return !BackgroundTaskRunning(); }, 20000));
  SetDisplayProfileForTests(nullptr);
  CloseDisplayProfiles();
  cmsCloseProfile(wide);

  // sRGB to Adobe RGB (1998) in linear values, in ratios so that the exposure level drops out.
  ASSERT_GT(srgb[1], 0.0);
  ASSERT_GT(adobe[1], 0.0);
  double expectedRed = 0.7152 * srgb[0] + 0.2848 * srgb[1];
  double expectedBlue = 0.0412 * srgb[1] + 0.9588 * srgb[2];
  EXPECT_NEAR(adobe[0] / adobe[1], expectedRed / srgb[1], 0.02 * expectedRed / srgb[1]);
  EXPECT_NEAR(adobe[2] / adobe[1], expectedBlue / srgb[1], 0.03 * expectedRed / srgb[1]);
  EXPECT_LT(adobe[0] / adobe[1], srgb[0] / srgb[1]) << "a wider red primary needs less of it";
}

TEST_P(EffectDrawingTest, MoreQuadsThanOneBatchHoldsStillShowEveryStar) {
  m_Block.effectsOnly = 1;
  m_Block.effectType = EFFECT_HOLLYWOOD_STAR;
  m_Block.numberOfPoints = 32;
  m_Block.quantity = 100;
  m_Block.length = 10;
  m_Block.softFlareIntensity = 0;
  m_Block.secondarySpikeIntensity = 0;
  std::vector<Spot> spots;
  for (int row = 0; row < 10; ++row) {
    for (int column = 0; column < 16; ++column) spots.push_back(Spot{10 + column * 18, 10 + row * 19});
  }
  Show(spots);
  EffectLayerCounters primary = GetEffectLayerCounters(EFFECT_LAYER_PRIMARY);
  ASSERT_GT(primary.quads, kQuadsPerBatch) << "the scene must overflow one batch";
  EXPECT_EQ(primary.batches, 2u);
  std::vector<LightSource> lights = VisibleLights();
  ASSERT_GT(lights.size(), 150u);
  for (const LightSource& light : lights) {
    POINT centre = ScreenPoint(light.x, light.y);
    EXPECT_GT(At(centre.x, centre.y), 60.0) << "star of the light at " << light.x << "," << light.y;
  }
}

TEST_P(EffectDrawingTest, ALayerOutOfMemoryBacksOffAndWarns) {
  m_Block.quantity = 80;
  Show({{70, 60}, {210, 140}});
  ArmFault(FAULT_EFFECT_QUAD_MEMORY);
  m_Block.angle = 100;  // the primary spikes are rebuilt first, and fail
  Redraw();
  EXPECT_TRUE(BoxShown("Low memory.  Check image - some effects may not be rendered.")) << AllReports();
  EXPECT_TRUE(BoxShown(kLayerFailed)) << AllReports();
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_PRIMARY).failures, 1);
  // As heavy or heavier: held off, no retry and no new warning.
  ResetEffectLayerCounters();
  reports.Clear();
  m_Block.quantity = 90;
  Redraw();
  m_Block.angle = 300;
  Redraw();
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_PRIMARY).quadBuilds, 0);
  EXPECT_FALSE(BoxShown(kLayerFailed));
  // Lighter by the margin: rebuilt.
  m_Block.quantity = 72;
  Redraw();
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_PRIMARY).quadBuilds, 1);
  EXPECT_EQ(GetEffectLayerCounters(EFFECT_LAYER_PRIMARY).failures, 0);
}

// Layers that hold still while a slider moves others are drawn from a kept picture of them: the
// frames are those of every layer drawn from its quads, but for the rounding of another order.
TEST_P(EffectDrawingTest, KeptPicturesOfSteadyLayersGiveTheStarsOfTheQuads) {
  m_Block.effectsOnly = 1;
  m_Block.softFlareIntensity = 80;
  m_Block.secondarySpikeIntensity = 60;
  Show({{70, 60}, {210, 140}, {150, 100}, {40, 170}});
  // A request that changes nothing draws no new effects layer: the angle is turned away and back.
  auto drawnFromQuads = [&] {
    SetSteadyEffectsDisabledForTests(true);
    m_Block.angle = int16_t(m_Block.angle + 1);
    Redraw();
    m_Block.angle = int16_t(m_Block.angle - 1);
    Redraw();
    std::vector<double> frame = Frame();
    SetSteadyEffectsDisabledForTests(false);
    return frame;
  };
  auto expectSame = [&](const std::vector<double>& kept, const std::vector<double>& quads, const char* what) {
    ASSERT_EQ(kept.size(), quads.size());
    double largest = 0, sum = 0, lit = 0;
    for (size_t i = 0; i < kept.size(); ++i) {
      largest = std::max(largest, std::fabs(kept[i] - quads[i]));
      sum += std::fabs(kept[i] - quads[i]);
      lit += quads[i] > 0 ? 1 : 0;
    }
    EXPECT_GT(lit, 100) << what << ": no stars to compare";
    EXPECT_LE(largest, 3.0) << what;
    EXPECT_LE(sum / double(kept.size()), 0.1) << what;
  };
  // A drag of one slider through three values: one picture kept, then drawn twice.
  auto drag = [&](int16_t ParameterBlock::*slider, std::initializer_list<int16_t> values, const char* what) {
    SteadyEffectsCounters before = GetSteadyEffectsCounters();
    for (int16_t value : values) {
      m_Block.*slider = value;
      Redraw();
    }
    SteadyEffectsCounters after = GetSteadyEffectsCounters();
    EXPECT_EQ(after.kept - before.kept, 1) << what;
    EXPECT_EQ(after.reused - before.reused, 2) << what;
    expectSame(Frame(), drawnFromQuads(), what);
  };
  drag(&ParameterBlock::angle, {100, 200, 300}, "Angle");  // the soft flares hold still
  drag(&ParameterBlock::intensity, {45, 65, 85}, "Intensity");  // so do the secondary spikes
  // A light hidden while the picture holds its flare: the picture is not used for it.
  m_Block.angle = 400;
  Redraw();
  m_Block.angle = 500;
  Redraw();
  std::vector<LightSource> lights = VisibleLights();
  ASSERT_GE(lights.size(), 4u);
  ASSERT_TRUE(SetLightSourceStateInRect(&gLightSourceTable, TableRect{0, 0, 100, 100}, STATE_HIDE));
  m_Block.angle = 600;
  Redraw();
  POINT hidden = ScreenPoint(70, 60);
  EXPECT_EQ(At(hidden.x + 3, hidden.y + 3), 0.0) << "the hidden light's flare stayed";
  expectSame(Frame(), drawnFromQuads(), "hidden light");
  // A moved view: the picture is of the old place.
  m_Block.angle = 700;
  Redraw();
  gPreviewViewState.zoom = 50.0;
  m_Block.angle = 800;
  Redraw();
  expectSame(Frame(), drawnFromQuads(), "zoomed out");
}

TEST_P(EffectDrawingTest, EffectsOnlyShowsTheStarsOverBlack) {
  m_Block.effectsOnly = 0;
  Show({{150, 100}});
  POINT distant = ScreenPoint(20, 20);
  POINT light = ScreenPoint(VisibleLights().at(0).x, VisibleLights().at(0).y);
  double background = At(distant.x, distant.y);
  EXPECT_GT(background, 5.0) << "the dark document shows";
  m_Block.effectsOnly = 1;
  Redraw();
  EXPECT_EQ(At(distant.x, distant.y), 0.0);
  EXPECT_GT(At(light.x, light.y), 200.0);
}

TEST_P(EffectDrawingTest, HiddenEffectsDisappearFromTheNextFrame) {
  m_Block.effectsOnly = 1;
  m_Block.softFlareIntensity = 0;
  Show({{80, 100}, {220, 100}});
  std::vector<LightSource> lights = VisibleLights();
  ASSERT_EQ(lights.size(), 2u);
  std::sort(lights.begin(), lights.end(), [](const LightSource& a, const LightSource& b) { return a.x < b.x; });
  POINT left = ScreenPoint(lights[0].x, lights[0].y), right = ScreenPoint(lights[1].x, lights[1].y);
  ASSERT_GT(At(left.x, left.y - 10), 30.0);
  ASSERT_GT(At(right.x, right.y - 10), 30.0);
  // Hiding the left one is a table edit only: no slider moves.
  ASSERT_TRUE(SetLightSourceStateInRect(&gLightSourceTable, TableRect{0, 0, 150, 200}, STATE_HIDE));
  Redraw();
  EXPECT_EQ(At(left.x, left.y - 10), 0.0);
  EXPECT_GT(At(right.x, right.y - 10), 30.0);
  ASSERT_TRUE(SetLightSourceStateInRect(&gLightSourceTable, TableRect{0, 0, 150, 200}, STATE_UNHIDE));
  Redraw();
  EXPECT_GT(At(left.x, left.y - 10), 30.0);
  // With every star hidden there is nothing to draw: the frame leaves the effects layer out, and
  // no star of an earlier frame may stay behind.
  ASSERT_TRUE(SetLightSourceStateInRect(&gLightSourceTable, TableRect{0, 0, 300, 200}, STATE_HIDE));
  Redraw();
  EXPECT_EQ(At(left.x, left.y - 10), 0.0);
  EXPECT_EQ(At(right.x, right.y - 10), 0.0);
  ASSERT_TRUE(SetLightSourceStateInRect(&gLightSourceTable, TableRect{0, 0, 300, 200}, STATE_UNHIDE));
  Redraw();
  EXPECT_GT(At(left.x, left.y - 10), 30.0);
  EXPECT_GT(At(right.x, right.y - 10), 30.0);
}

TEST_P(EffectDrawingTest, EffectsHiddenInThePreviewLeaveThePhoto) {
  Show({{150, 100}});
  POINT above = ScreenPoint(VisibleLights().at(0).x, VisibleLights().at(0).y - 12);
  double withStar = At(above.x, above.y);
  gPreviewViewState.previewEnabled = false;
  Redraw();
  double without = At(above.x, above.y);
  EXPECT_GT(withStar, without + 20.0);
  POINT distant = ScreenPoint(20, 20);
  EXPECT_NEAR(without, At(distant.x, distant.y), 2.0) << "only the dark document is left there";
}

// The preview's picture of the effects against the final render's, Effects Only over black, as
// display values: the whole image at 100 %, and at fit against the render reduced to the
// preview's size by averaging.
class PreviewMatchesFinalRender : public EffectDrawingTest {
 protected:
  void TearDown() override {
    ReleaseEffectShapes();
    EffectDrawingTest::TearDown();
  }
  // The preview's pixels over the image, then the final render of the same block.
  void Compare(double zoom, int width, int height, double* correlation, double* previewMean, double* finalMean) {
    m_Block.effectsOnly = 1;
    std::vector<Spot> spots = {{width / 5, height / 4}, {width / 2, height / 2}, {width * 4 / 5, height * 3 / 4},
                               {width / 4, height * 4 / 5}};
    Show(spots, zoom, width, height);
    int32_t shownWidth = 0, shownHeight = 0;
    ScaledImageSize(gHostImage.rectangle, zoom, &shownWidth, &shownHeight);
    POINT origin = ScreenPoint(0, 0);
    std::vector<double> preview;
    for (int y = 0; y < shownHeight; ++y) {
      for (int x = 0; x < shownWidth; ++x) preview.push_back(At(origin.x + x, origin.y + y));
    }
    window.reset();
    ASSERT_TRUE(WaitUntil([] { return !BackgroundTaskRunning(); }, 20000));
    ASSERT_EQ(ProcessImage(&gHostImage), 0);
    WriteHostImage(gHostImage);
    DestroyHostImage();
    const DocumentImage& d = m_Session->Image();
    std::vector<double> rendered;
    for (int y = 0; y < shownHeight; ++y) {
      for (int x = 0; x < shownWidth; ++x) {
        // The document pixels the preview pixel covers, averaged.
        int x0 = int(x * 100.0 / zoom), x1 = std::max(x0 + 1, int((x + 1) * 100.0 / zoom));
        int y0 = int(y * 100.0 / zoom), y1 = std::max(y0 + 1, int((y + 1) * 100.0 / zoom));
        double sum = 0;
        int n = 0;
        for (int v = y0; v < std::min(y1, height); ++v) {
          for (int u = x0; u < std::min(x1, width); ++u) {
            double largest = 0;
            for (int p = 0; p < 3; ++p) largest = std::max(largest, double(d.planes[size_t(p)][size_t(v * width + u)]));
            sum += largest, ++n;
          }
        }
        rendered.push_back(n > 0 ? sum / n : 0.0);
      }
    }
    *correlation = CrossCorrelation(preview, rendered);
    *previewMean = Mean(preview);
    *finalMean = Mean(rendered);
  }
};

TEST_P(PreviewMatchesFinalRender, AtFullSize) {
  double correlation = 0, previewMean = 0, finalMean = 0;
  Compare(100.0, kDocumentWidth, kDocumentHeight, &correlation, &previewMean, &finalMean);
  printf("100 %%: correlation %.3f, mean preview %.2f, final %.2f\n", correlation, previewMean, finalMean);
  EXPECT_GE(correlation, 0.9);
  EXPECT_NEAR(previewMean, finalMean, 0.15 * finalMean);
}

TEST_P(PreviewMatchesFinalRender, AtFit) {
  const int width = 600, height = 400;
  double fit = 100.0 * std::min(double(kPreviewWidth - 2) / width, double(kPreviewHeight - 2) / height);
  double correlation = 0, previewMean = 0, finalMean = 0;
  Compare(fit, width, height, &correlation, &previewMean, &finalMean);
  printf("fit %.1f %%: correlation %.3f, mean preview %.2f, final %.2f\n", fit, correlation, previewMean, finalMean);
  EXPECT_GE(correlation, 0.9);
  EXPECT_NEAR(previewMean, finalMean, 0.15 * finalMean);
}

INSTANTIATE_TEST_SUITE_P(Settings, PreviewMatchesFinalRender, ::testing::Values(1, 2, 3, 4),
                         [](const ::testing::TestParamInfo<int>& info) { return "Setting" + std::to_string(info.param); });

INSTANTIATE_TEST_SUITE_P(Setting, DisplayColourTest, ::testing::Values(1));
INSTANTIATE_TEST_SUITE_P(Settings, EffectDrawingTest, ::testing::Values(1, 2, 3, 4),
                         [](const ::testing::TestParamInfo<int>& info) { return "Setting" + std::to_string(info.param); });

}  // namespace
