// What the preview shows of the host's image: synthetic documents whose display values are
// known, read back from the frame the preview window paints, on every drawing path.
#include <gtest/gtest.h>

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "color/ColorProfiles.h"
#include "host/HostImage.h"
#include "host/HostProxyImage.h"
#include "preview/BackgroundTask.h"
#include "preview/OpenGLSettings.h"
#include "preview/PreviewImageSource.h"
#include "preview/PreviewViewState.h"
#include "preview/ProxyDisplay.h"
#include "preview/ProxyLayer.h"
#include "preview/TextureSet.h"
#include "support/HostRecordFixture.h"
#include "support/PreviewTestWindow.h"

namespace {

constexpr int kPreviewWidth = 320;
constexpr int kPreviewHeight = 220;
constexpr double kDisplayGamma = 2.2;  // no monitor profile here: the display is sRGB at gamma 2.2
constexpr COLORREF kBackground = RGB(30, 160, 90);

// A document of bands: band i of `count` holds the colour the scene gives it; the bands run
// across the width, each `bandWidth` pixels, the document `height` rows.
struct BandScene {
  int count = 16;
  int bandWidth = 16;
  int height = 96;
  // Display values 0..255 of band i (red, green, blue) and its opacity 0..1.
  void (*colour)(int band, double rgb[3], double* alpha) = nullptr;
};

void GraySteps(int band, double rgb[3], double* alpha) {
  rgb[0] = rgb[1] = rgb[2] = band * 17.0;
  *alpha = 1.0;
}

// Steps clear of black: the colour transforms' 16-bit precalculation strays by several levels in
// the darkest steps of a gray profile, which is the colour module's matter, not the preview's.
void GrayStepsAboveBlack(int band, double rgb[3], double* alpha) {
  rgb[0] = rgb[1] = rgb[2] = 34.0 + band * 13.0;
  *alpha = 1.0;
}

void ColourChart(int band, double rgb[3], double* alpha) {
  static const double kChart[8][3] = {{200, 30, 40}, {40, 180, 60},  {30, 60, 210},  {230, 220, 40},
                                      {120, 60, 160}, {250, 140, 20}, {90, 200, 210}, {140, 100, 70}};
  for (int c = 0; c < 3; ++c) rgb[c] = kChart[band % 8][c];
  *alpha = 1.0;
}

// Opacity falling from opaque to clear over a mid gray.
void TransparencyRamp(int band, double rgb[3], double* alpha) {
  rgb[0] = rgb[1] = rgb[2] = 180.0;
  *alpha = 1.0 - band / 7.0;
}

double ToLinear(double display) { return std::pow(display / 255.0, kDisplayGamma); }
double ToDisplay(double linear) { return 255.0 * std::pow(std::clamp(linear, 0.0, 1.0), 1.0 / kDisplayGamma); }

// The host document of a scene: the band's numbers as 8-bit values, on the host's 0..32768 scale
// at 16 bits, as fractions in 32-bit floats.
DocumentImage MakeBandDocument(const BandScene& scene, int colourPlanes, int bytesPerSample, bool transparency,
                               bool selection) {
  int width = scene.count * scene.bandWidth;
  DocumentImage d = MakeTestDocument(width, scene.height, colourPlanes, transparency, bytesPerSample, selection);
  for (int64_t y = 0; y < scene.height; ++y) {
    for (int64_t x = 0; x < width; ++x) {
      double rgb[3], alpha = 1;
      scene.colour(int(x / scene.bandWidth), rgb, &alpha);
      for (int p = 0; p < d.Planes(); ++p) {
        double value = p == colourPlanes ? alpha : colourPlanes == 1 ? rgb[0] / 255.0 : rgb[p] / 255.0;
        uint8_t* sample = d.Sample(p, x, y);
        if (bytesPerSample == 1) {
          *sample = uint8_t(std::lround(value * 255));
        } else if (bytesPerSample == 2) {
          uint16_t v = uint16_t(std::lround(value * 32768));
          memcpy(sample, &v, 2);
        } else {
          float v = float(value);
          memcpy(sample, &v, 4);
        }
      }
    }
  }
  return d;
}

struct PathCase {
  int setting;
  bool withoutGammaProgram;
  const char* name;
};

class PreviewImageTest : public HostRecordFixture, public ::testing::WithParamInterface<PathCase> {
 protected:
  void SetUp() override {
    HostRecordFixture::SetUp();
    SetPreviewBackgroundColor(kBackground);
    SetGammaProgramDisabledForTests(GetParam().withoutGammaProgram);
  }
  void TearDown() override {
    window.reset();
    EXPECT_TRUE(WaitUntil([] { return !BackgroundTaskRunning(); }, 20000));
    SetGammaProgramDisabledForTests(false);
    SetPreviewImageSource(PreviewImageSource{});
    ReleaseHostProxyImage();
    SetPreviewBackgroundColor(RGB(64, 64, 64));
    HostRecordFixture::TearDown();
  }

  // The document read as the start selector reads it, handed to the preview, and the preview
  // opened on it at the zoom.
  void Show(const DocumentImage& document, int16 mode, double zoom) {
    HostDocument host;
    host.imageMode = mode;
    host.width = document.width;
    host.height = document.height;
    host.hasTransparency = document.transparency;
    host.hasSelection = !document.mask.empty();
    Open(host);
    m_Session->SetImage(document, {});
    ASSERT_TRUE(OpenProfiles());
    ASSERT_TRUE(ReadHostImage());
    SetPreviewImageSource(HostPreviewImageSource());
    window = std::make_unique<PreviewTestWindow>(GetParam().setting, true, kPreviewWidth, kPreviewHeight);
    ShowAtZoom(zoom);
  }
  void ShowAtZoom(double zoom) {
    gPreviewViewState.zoom = zoom;
    NewBackgroundTaskParameters(nullptr);
    ASSERT_TRUE(window->PumpUntil([&] { return window->FramesCaughtUp(); }));
    ASSERT_FALSE(reports.HasReportContaining("Parameter Set Processing Failed")) << AllReports();
  }
  // Where image pixel (x, y) lands in the preview at the zoom, the image centred in the frame.
  POINT ScreenPoint(double x, double y, double zoom) const {
    int32_t width = 0, height = 0;
    ScaledImageSize(gHostImage.rectangle, zoom, &width, &height);
    int frameWidth = kPreviewWidth - 2, frameHeight = kPreviewHeight - 2;
    int left = width < frameWidth ? (frameWidth - width) / 2 + 1 : 1;
    int top = height < frameHeight ? (frameHeight - height) / 2 + 1 : 1;
    return POINT{left + LONG(std::floor(x * zoom / 100.0)), top + LONG(std::floor(y * zoom / 100.0))};
  }
  COLORREF Sample(POINT point) {
    COLORREF color = 0;
    EXPECT_TRUE(SampleScreenBitmap(point.x, point.y, &color)) << point.x << "," << point.y;
    return color;
  }
  double FitZoom(const BandScene& scene) const {
    return 100.0 * std::min(double(kPreviewWidth - 2) / (scene.count * scene.bandWidth), double(kPreviewHeight - 2) / scene.height);
  }
  // The allowance of a display value: 2 levels, or where an 8-bit linear proxy cannot tell
  // neighbouring display values apart (the darkest tones), half its step there.
  static double Tolerance(double display) {
    double linear = ToLinear(display) * 255.0;
    double step = ToDisplay((std::floor(linear) + 1) / 255.0) - ToDisplay(std::floor(linear) / 255.0);
    return std::max(2.0, step / 2 + 1);
  }
  // What the display should show of a band: its numbers in the host's profile, converted to the
  // display's (sRGB here, no monitor having a profile of its own).
  static void DisplayValues(const BandScene& scene, int band, bool gray, double display[3]) {
    double rgb[3], alpha = 1;
    scene.colour(band, rgb, &alpha);
    double input[3] = {rgb[0] / 255.0, rgb[1] / 255.0, rgb[2] / 255.0};
    cmsHTRANSFORM transform =
        cmsCreateTransform(HostImageProfile(), gray ? TYPE_GRAY_DBL : TYPE_RGB_DBL, StandardProfile(), TYPE_RGB_DBL,
                           INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_BLACKPOINTCOMPENSATION);
    ASSERT_NE(transform, nullptr);
    double output[3] = {};
    cmsDoTransform(transform, input, output, 1);
    cmsDeleteTransform(transform);
    for (int c = 0; c < 3; ++c) display[c] = std::clamp(output[c], 0.0, 1.0) * 255.0;
  }
  void ExpectBands(const BandScene& scene, double zoom, const std::string& what) {
    bool gray = gHostImage.mode == plugInModeGrayScale || gHostImage.mode == plugInModeGray16 || gHostImage.mode == plugInModeGray32;
    for (int band = 0; band < scene.count; ++band) {
      double expected[3];
      DisplayValues(scene, band, gray, expected);
      COLORREF shown = Sample(ScreenPoint((band + 0.5) * scene.bandWidth, scene.height / 2.0, zoom));
      const double got[3] = {double(GetRValue(shown)), double(GetGValue(shown)), double(GetBValue(shown))};
      for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(got[c], expected[c], Tolerance(expected[c])) << what << " band " << band << " channel " << c << " at " << zoom << "%";
      }
    }
  }
  std::string AllReports() const {
    std::string all;
    for (const CapturedReport& report : reports.Reports()) all += report.text + "\n";
    return all;
  }

  PreviewHooks hooks;
  ReportCapture reports;
  std::unique_ptr<PreviewTestWindow> window;
};

TEST_P(PreviewImageTest, GrayStepsShowTheirDisplayValuesAtFullSizeAndAtFit) {
  BandScene scene;
  scene.colour = GraySteps;
  Show(MakeBandDocument(scene, 3, 1, false, false), plugInModeRGBColor, 100.0);
  ExpectBands(scene, 100.0, "RGB 8-bit");
  // The background stays outside the image, and the border is drawn.
  POINT outside = ScreenPoint(-20, -20, 100.0);
  EXPECT_EQ(Sample(outside), kBackground);
  double fit = FitZoom(scene);
  ShowAtZoom(fit);
  ExpectBands(scene, fit, "RGB 8-bit at fit");
}

TEST_P(PreviewImageTest, ColourChartKeepsEveryPatchsColour) {
  BandScene scene;
  scene.count = 8;
  scene.bandWidth = 30;
  scene.colour = ColourChart;
  Show(MakeBandDocument(scene, 3, 2, false, true), plugInModeRGB48, 100.0);
  ExpectBands(scene, 100.0, "RGB 16-bit with a selection");
}

TEST_P(PreviewImageTest, TransparencyShowsTheCheckerboardThroughInLinearLight) {
  BandScene scene;
  scene.count = 8;
  scene.bandWidth = 32;
  scene.height = 80;
  scene.colour = TransparencyRamp;
  Show(MakeBandDocument(scene, 3, 1, true, false), plugInModeRGBColor, 100.0);
  const double white = 255.0;
  // The clear band: squares of 8 screen pixels, white and gray, from the image's corner.
  POINT corner = ScreenPoint(7 * 32, 0, 100.0);
  std::vector<int> row;
  for (int x = 0; x < 32; ++x) row.push_back(GetRValue(Sample(POINT{corner.x + x, corner.y + 4})));
  int changes = 0;
  for (int x = 1; x < 32; ++x) changes += row[size_t(x)] != row[size_t(x - 1)];
  EXPECT_EQ(changes, 3) << "four squares of 8 pixels across 32 pixels";
  for (int x = 0; x < 32; ++x) EXPECT_EQ(row[size_t(x)], row[size_t(x / 8 * 8)]) << x;
  // The checkerboard is drawn into the linear composite, so its gray texel shows gamma-corrected.
  double checkerGray = ToDisplay(148.0 / 255.0);
  for (int square = 0; square < 4; ++square) {
    double expected = ((7 * 32 / 8 + square) % 2 == 0) ? white : checkerGray;
    EXPECT_NEAR(row[size_t(square * 8 + 4)], expected, 2.0) << "square " << square;
  }
  // Partly transparent bands: the image over the checkerboard in linear light.
  for (int band = 1; band < 7; ++band) {
    double rgb[3], alpha = 1;
    TransparencyRamp(band, rgb, &alpha);
    POINT p = ScreenPoint(band * 32 + 4, 4, 100.0);  // the first square of the band's top row
    int checkerSquare = ((p.x - ScreenPoint(0, 0, 100.0).x) / 8 + 0) % 2;
    double checker = checkerSquare == 0 ? 1.0 : 148.0 / 255.0;
    double expected = ToDisplay(ToLinear(rgb[0]) * alpha + checker * (1.0 - alpha));
    // 8-bit alpha and an 8-bit linear image: a few levels of rounding in the blend.
    EXPECT_NEAR(GetRValue(Sample(p)), expected, 4.0) << "band " << band << " alpha " << alpha;
  }
}

TEST_P(PreviewImageTest, GrayDocumentsShowTheirProfilesColours) {
  BandScene scene;
  scene.colour = GrayStepsAboveBlack;
  Show(MakeBandDocument(scene, 1, 2, false, false), plugInModeGray16, 100.0);
  ExpectBands(scene, 100.0, "gray 16-bit");
}

TEST_P(PreviewImageTest, FloatDocumentsShowTheirProfilesColours) {
  BandScene scene;
  scene.colour = GraySteps;
  Show(MakeBandDocument(scene, 3, 4, false, false), plugInModeRGB96, 100.0);
  ExpectBands(scene, 100.0, "RGB 32-bit");
}

TEST_P(PreviewImageTest, TheDraggedRectangleAndTheKeyboardFocusAreOutlined) {
  const COLORREF frame = RGB(200, 40, 220), focus = RGB(250, 250, 0);
  SetPreviewFrameColor(frame);
  SetPreviewFocusColor(focus);
  BandScene scene;
  scene.colour = GraySteps;
  Show(MakeBandDocument(scene, 3, 1, false, false), plugInModeRGBColor, 100.0);
  auto columnColours = [&](int x, int top, int bottom) {
    std::vector<COLORREF> colours;
    for (int y = top; y < bottom; ++y) colours.push_back(Sample(POINT{x, y}));
    return colours;
  };
  auto count = [](const std::vector<COLORREF>& colours, COLORREF colour) { return std::count(colours.begin(), colours.end(), colour); };
  std::vector<COLORREF> border = columnColours(0, 10, 200);
  EXPECT_EQ(count(border, frame), long(border.size())) << "without the focus the border is the frame colour";

  gPreviewViewState.dragging = true;
  gPreviewViewState.marqueeRect = RECT{60, 70, 140, 130};
  gPreviewViewState.previewFocused = true;
  ShowAtZoom(100.0);
  std::vector<COLORREF> edge = columnColours(60, 72, 128);
  EXPECT_EQ(count(edge, RGB(0, 0, 0)) + count(edge, RGB(255, 255, 255)), long(edge.size())) << "the outline is black and white";
  EXPECT_GE(count(edge, RGB(255, 255, 255)), 20);
  EXPECT_GE(count(edge, RGB(0, 0, 0)), 20) << "stippled in runs of four";
  double inside[3];
  DisplayValues(scene, (100 - ScreenPoint(0, 0, 100.0).x) / scene.bandWidth, false, inside);
  EXPECT_NEAR(GetRValue(Sample(POINT{100, 100})), inside[0], Tolerance(inside[0])) << "the rectangle's inside shows the image";
  border = columnColours(0, 10, 200);
  EXPECT_GE(count(border, focus), 80) << "the focus stipple covers every other pixel of the border";
  EXPECT_EQ(count(border, focus) + count(border, frame), long(border.size()));
  gPreviewViewState.dragging = false;
  gPreviewViewState.previewFocused = false;
  SetPreviewFrameColor(RGB(128, 128, 128));
}

TEST_P(PreviewImageTest, StartUpDisplayStaysUntilTheAnalysisEndsThenTheImageReplacesIt) {
  const COLORREF splashColour = RGB(250, 10, 120);
  HBITMAP splash = MakeSplashBitmap(60, 40, splashColour, 24, true);
  ASSERT_NE(splash, nullptr);
  SetPreviewSplashBitmap(splash);
  gTestAnalysisReady = false;
  BandScene scene;
  scene.colour = GraySteps;
  DocumentImage document = MakeBandDocument(scene, 3, 1, false, false);
  HostDocument host;
  host.width = document.width;
  host.height = document.height;
  Open(host);
  m_Session->SetImage(document, {});
  ASSERT_TRUE(OpenProfiles());
  ASSERT_TRUE(ReadHostImage());
  SetPreviewImageSource(HostPreviewImageSource());
  window = std::make_unique<PreviewTestWindow>(GetParam().setting, true, kPreviewWidth, kPreviewHeight);
  COLORREF centre = 0;
  // The splash is centred and drawn as authored, the rest in the background colour.
  EXPECT_TRUE(window->PumpUntil([&] {
    return SampleScreenBitmap(kPreviewWidth / 2, kPreviewHeight / 2, &centre) && centre == splashColour;
  })) << "centre shows " << std::hex << centre;
  COLORREF corner = 0;
  EXPECT_TRUE(SampleScreenBitmap(kPreviewWidth / 2 - 40, kPreviewHeight / 2, &corner));
  EXPECT_EQ(corner, kBackground);
  EXPECT_EQ(window->PresentedFrame(), 0) << "no request is drawn while the analysis runs";
  gTestAnalysisReady = true;
  NewBackgroundTaskParameters(nullptr);
  ASSERT_TRUE(window->PumpUntil([&] { return window->FramesCaughtUp() && window->PresentedFrame() > 0; }));
  ExpectBands(scene, 100.0, "after the start-up display");
  window.reset();
  SetPreviewSplashBitmap(nullptr);
  DeleteObject(splash);
}

const PathCase kPaths[] = {
    {1, false, "Quality"},
    {2, false, "Speed"},
    {3, false, "Compatibility"},
    {4, false, "None"},
    {1, true, "QualityWithoutGammaProgram"},
};

INSTANTIATE_TEST_SUITE_P(Paths, PreviewImageTest, ::testing::ValuesIn(kPaths),
                         [](const ::testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

// One column a step: a sawtooth whose every column differs from its neighbours.
void SawtoothColumns(int band, double rgb[3], double* alpha) {
  rgb[0] = rgb[1] = rgb[2] = 60.0 + (band * 7) % 190;
  *alpha = 1.0;
}

// A ramp wider than one texture: at the driver's real limit and at a pretended small one, every
// column shows its own value, with no seam where tiles meet.
class PreviewTilingTest : public PreviewImageTest {};

TEST_P(PreviewTilingTest, RampsAcrossTileBoundariesHaveNoSeam) {
  SetMaximumTextureSizeForTests(64);
  BandScene scene;
  scene.count = 300;
  scene.bandWidth = 1;
  scene.height = 40;
  scene.colour = SawtoothColumns;
  Show(MakeBandDocument(scene, 3, 2, false, false), plugInModeRGB48, 100.0);
  SetMaximumTextureSizeForTests(0);
  for (int x = 0; x < scene.count; ++x) {
    double rgb[3], alpha = 1;
    scene.colour(x, rgb, &alpha);
    COLORREF shown = Sample(ScreenPoint(x, 20, 100.0));
    ASSERT_NEAR(GetRValue(shown), rgb[0], 2.0) << "column " << x;
  }
}

TEST_P(PreviewTilingTest, ADocumentWiderThanTheLargestTextureShowsBothSidesOfTheLimit) {
  BandScene scene;
  scene.count = 16384 + 300;
  scene.bandWidth = 1;
  scene.height = 8;
  scene.colour = SawtoothColumns;
  Show(MakeBandDocument(scene, 3, 1, false, false), plugInModeRGBColor, 100.0);
  // The view put where the driver's 16384-pixel texture ends.
  gPreviewViewState.horizontalScroll = 16384 - 150;
  ShowAtZoom(100.0);
  for (int x = 16384 - 150; x < 16384 + 150; ++x) {
    double rgb[3], alpha = 1;
    scene.colour(x, rgb, &alpha);
    POINT point{1 + (x - (16384 - 150)), ScreenPoint(0, 4, 100.0).y};
    COLORREF shown = Sample(point);
    ASSERT_NEAR(GetRValue(shown), rgb[0], Tolerance(rgb[0])) << "column " << x;
  }
}

TEST_P(PreviewTilingTest, AOnePixelDocumentFillsTheViewWithItsColour) {
  BandScene pixel;
  pixel.count = 1;
  pixel.bandWidth = 1;
  pixel.height = 1;
  pixel.colour = ColourChart;
  Show(MakeBandDocument(pixel, 3, 1, false, false), plugInModeRGBColor, FitZoom(pixel));
  double rgb[3], alpha = 1;
  ColourChart(0, rgb, &alpha);
  COLORREF centre = Sample(POINT{kPreviewWidth / 2, kPreviewHeight / 2});
  EXPECT_NEAR(GetRValue(centre), rgb[0], Tolerance(rgb[0]));
  EXPECT_NEAR(GetGValue(centre), rgb[1], Tolerance(rgb[1]));
}

TEST_P(PreviewTilingTest, AOneColumnDocumentThirtyThousandHighOpensAtFit) {
  BandScene column;
  column.count = 1;
  column.bandWidth = 1;
  column.height = 30000;
  column.colour = ColourChart;
  Show(MakeBandDocument(column, 3, 1, false, false), plugInModeRGBColor, FitZoom(column));
  EXPECT_FALSE(reports.HasReportContaining("Failed")) << AllReports();
  EXPECT_EQ(Sample(POINT{20, kPreviewHeight / 2}), kBackground);
}

const PathCase kTilingPaths[] = {{1, false, "Quality"}, {4, false, "None"}};
INSTANTIATE_TEST_SUITE_P(Paths, PreviewTilingTest, ::testing::ValuesIn(kTilingPaths),
                         [](const ::testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

}  // namespace
