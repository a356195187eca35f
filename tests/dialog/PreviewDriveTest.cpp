// The preview as a user sees it on the screen: a document of known colours opened in the reference
// host, shown at fit, at 100 % and scrolled through the zoom menu and the scroll bars, at every
// OpenGL drawing setting, and resized while frames are drawn.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "FilePixels.h"
#include "MachineSettingsFixture.h"
#include "PngFiles.h"
#include "TestSupport.h"
#include "preview/OpenGLSettings.h"

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1000;
constexpr int kBand = 200;
constexpr double kDisplayGamma = 2.2;

// Top half: eight patches of colour; bottom half: eight grays from 64 up.
void DocumentColour(int x, int y, int rgb[3]) {
  static const int kChart[8][3] = {{200, 30, 40}, {40, 180, 60},  {30, 60, 210},  {230, 220, 40},
                                   {120, 60, 160}, {250, 140, 20}, {90, 200, 210}, {140, 100, 70}};
  int band = x / kBand;
  for (int c = 0; c < 3; ++c) rgb[c] = y < kHeight / 2 ? kChart[band][c] : 64 + band * 27;
}

double Tolerance(double display) {
  auto toDisplay = [](double linear) { return 255.0 * std::pow(linear, 1.0 / kDisplayGamma); };
  double linear = std::floor(std::pow(display / 255.0, kDisplayGamma) * 255.0);
  return std::max(2.0, (toDisplay((linear + 1) / 255.0) - toDisplay(linear / 255.0)) / 2 + 1);
}

class PreviewDrive : public MachineSettingsFixture {
 protected:
  PreviewDrive() : MachineSettingsFixture(L"previewdrive") {}
  void SetUp() override {
    MachineSettingsFixture::SetUp();
    FilePixels document;
    std::string error;
    ASSERT_TRUE(AllocateFilePixels(kWidth, kHeight, 3, 8, &document, &error)) << error;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        int rgb[3];
        DocumentColour(x, y, rgb);
        for (int c = 0; c < 3; ++c) document.Row(y)[x * 3 + c] = uint8_t(rgb[c]);
      }
    }
    ASSERT_TRUE(WritePngFile(Path(L"document.png"), document, {}, 1, &error)) << error;
  }
  // Checks that the screenshot shows image pixel (x, y) at screen point (sx, sy) in its colour.
  static void ExpectPixel(const FilePixels& shot, int sx, int sy, int x, int y, const std::string& what) {
    ASSERT_TRUE(sx >= 0 && sy >= 0 && sx < shot.width && sy < shot.height) << what << " " << sx << "," << sy;
    int rgb[3];
    DocumentColour(x, y, rgb);
    const uint8_t* pixel = shot.Row(sy) + size_t(sx) * size_t(shot.channels);
    for (int c = 0; c < 3; ++c) {
      EXPECT_NEAR(pixel[c], rgb[c], Tolerance(rgb[c])) << what << " image " << x << "," << y << " channel " << c;
    }
  }
  // The centres of the sixteen patches, where the view at zoom `zoom` with the image's top left at
  // screen point (left, top) shows them.
  static void ExpectPatches(const FilePixels& shot, double zoom, double left, double top, const std::string& what) {
    for (int half = 0; half < 2; ++half) {
      for (int band = 0; band < 8; ++band) {
        int x = band * kBand + kBand / 2, y = half * kHeight / 2 + kHeight / 4;
        int sx = int(std::floor(left + x * zoom / 100.0)), sy = int(std::floor(top + y * zoom / 100.0));
        if (sx < 2 || sy < 2 || sx >= shot.width - 2 || sy >= shot.height - 2) continue;
        ExpectPixel(shot, sx, sy, x, y, what);
      }
    }
  }
};

TEST_F(PreviewDrive, TheDocumentShowsAtFitFullSizeAndScrolledAtEverySetting) {
  std::string script = "wait-idle 60\nscreenshot-preview " + NarrowPath(L"fit.png") +
                       "\nzoom 100\nscroll 0 0\nwait-idle 30\nscreenshot-preview " + NarrowPath(L"full.png") +
                       "\nscroll 700 400\nwait-idle 30\nscreenshot-preview " + NarrowPath(L"scrolled.png") + "\npress Cancel\n";
  FilePixels first;
  for (int setting = 1; setting <= 4; ++setting) {
    SCOPED_TRACE("setting " + std::to_string(setting));
    StoreSetting(setting);
    ProcessResult run = Drive(script);
    ASSERT_EQ(run.exitCode, 2) << run.output;
    EXPECT_NE(run.output.find("drive: scroll 700 400: ok at 700 400"), std::string::npos) << run.output;
    FilePixels fit, full, scrolled;
    ASSERT_TRUE(ReadPngForTest(Path(L"fit.png"), &fit));
    ASSERT_TRUE(ReadPngForTest(Path(L"full.png"), &full));
    ASSERT_TRUE(ReadPngForTest(Path(L"scrolled.png"), &scrolled));
    // Fit: the whole image, centred in the frame inside the border.
    double zoom = 100.0 * std::min(double(fit.width - 2) / kWidth, double(fit.height - 2) / kHeight);
    double scaledWidth = std::floor(kWidth * zoom / 100.0 + 1e-10), scaledHeight = std::floor(kHeight * zoom / 100.0 + 1e-10);
    double left = scaledWidth < fit.width - 2 ? std::floor((fit.width - 2 - scaledWidth) / 2) + 1 : 1;
    double top = scaledHeight < fit.height - 2 ? std::floor((fit.height - 2 - scaledHeight) / 2) + 1 : 1;
    ExpectPatches(fit, zoom, left, top, "fit");
    // 100 %, scrolled to the corner and then to (700, 400).
    ExpectPatches(full, 100.0, 1, 1, "100 %");
    ExpectPatches(scrolled, 100.0, 1 - 700, 1 - 400, "scrolled");
    ExpectPixel(scrolled, 1 + 100, 1 + 100, 800, 500, "scrolled, a patch corner");
    if (setting == 1) {
      first = fit;
    } else if (fit.width == first.width && fit.height == first.height) {
      int worst = 0;
      for (size_t i = 0; i < fit.samples.size(); ++i) worst = std::max(worst, std::abs(int(fit.samples[i]) - int(first.samples[i])));
      EXPECT_LE(worst, 2) << "the picture at fit differs from setting 1's";
    }
  }
}

TEST_F(PreviewDrive, ZoomButtonsStepThroughTheLevelsAndTheZoomMenuSetsOne) {
  StoreSetting(2);
  std::string script = "wait-idle 60\nzoom 100\npress 1045\nexpect 1085 \" 200.00%\"\npress 1042\npress 1042\n"
                       "expect 1085 \" 66.67%\"\nzoom-menu 400%\nexpect 1085 \" 400.00%\"\nwait-idle 30\nscreenshot-preview " +
                       NarrowPath(L"z400.png") + "\nzoom-menu Fit in View\nwait-idle 30\nscreenshot-preview " +
                       NarrowPath(L"fit.png") + "\npress Cancel\n";
  ProcessResult run = Drive(script);
  ASSERT_EQ(run.exitCode, 2) << run.output;
  FilePixels zoomed, fit;
  ASSERT_TRUE(ReadPngForTest(Path(L"z400.png"), &zoomed));
  ASSERT_TRUE(ReadPngForTest(Path(L"fit.png"), &fit));
  // 400 % about the centre the view kept from 100 %: the image's centre.
  double left = 1 - std::lround(kWidth / 2 * 4.0 - (zoomed.width - 2) / 2.0);
  double top = 1 - std::lround(kHeight / 2 * 4.0 - (zoomed.height - 2) / 2.0);
  ExpectPixel(zoomed, int(left + 810 * 4), int(top + 490 * 4), 810, 490, "400 %, above the centre");
  ExpectPixel(zoomed, int(left + 790 * 4), int(top + 510 * 4), 790, 510, "400 %, below the centre");
  double zoom = 100.0 * std::min(double(fit.width - 2) / kWidth, double(fit.height - 2) / kHeight);
  double scaledWidth = std::floor(kWidth * zoom / 100.0 + 1e-10), scaledHeight = std::floor(kHeight * zoom / 100.0 + 1e-10);
  ExpectPatches(fit, zoom, std::floor((fit.width - 2 - scaledWidth) / 2) + 1, std::floor((fit.height - 2 - scaledHeight) / 2) + 1,
                "fit again from the menu");
}

TEST_F(PreviewDrive, ResizingWhileFramesAreDrawnLeavesTheDialogAnsweringAndNoStalePixels) {
  StoreSetting(1);
  std::string script =
      "wait-idle 60\nresize 1350 900\nresize 1200 780\nresize 1380 950\nresize 1300 840\nwait-idle 10\nscreenshot-preview " +
      NarrowPath(L"resized.png") + "\npress Cancel\n";
  ProcessResult run = Drive(script);
  ASSERT_EQ(run.exitCode, 2) << run.output;
  FilePixels shot;
  ASSERT_TRUE(ReadPngForTest(Path(L"resized.png"), &shot));
  double zoom = 100.0 * std::min(double(shot.width - 2) / kWidth, double(shot.height - 2) / kHeight);
  double scaledWidth = std::floor(kWidth * zoom / 100.0 + 1e-10), scaledHeight = std::floor(kHeight * zoom / 100.0 + 1e-10);
  double left = scaledWidth < shot.width - 2 ? std::floor((shot.width - 2 - scaledWidth) / 2) + 1 : 1;
  double top = scaledHeight < shot.height - 2 ? std::floor((shot.height - 2 - scaledHeight) / 2) + 1 : 1;
  ExpectPatches(shot, zoom, left, top, "after resizing, fitted again");
  // Outside the image the frame is one colour: nothing of an earlier, smaller frame is left.
  const uint8_t* reference = shot.Row(shot.height / 2) + 2 * size_t(shot.channels);
  bool sideBorder = left > 4;
  int sampleX = sideBorder ? 2 : shot.width / 2, sampleY = sideBorder ? shot.height / 2 : 2;
  reference = shot.Row(sampleY) + size_t(sampleX) * size_t(shot.channels);
  int mismatches = 0, firstX = -1, firstY = -1;
  RECT spread{shot.width, shot.height, -1, -1};
  for (int y = 2; y < shot.height - 2; ++y) {
    for (int x = 2; x < shot.width - 2; ++x) {
      bool inside = x >= left - 1 && x <= left + scaledWidth && y >= top - 1 && y <= top + scaledHeight;
      if (inside) continue;
      const uint8_t* pixel = shot.Row(y) + size_t(x) * size_t(shot.channels);
      if (memcmp(pixel, reference, 3) == 0) continue;
      if (mismatches++ == 0) firstX = x, firstY = y;
      spread = RECT{std::min<LONG>(spread.left, x), std::min<LONG>(spread.top, y), std::max<LONG>(spread.right, x),
                    std::max<LONG>(spread.bottom, y)};
    }
  }
  if (mismatches > 0) {
    const uint8_t* first = shot.Row(firstY) + size_t(firstX) * size_t(shot.channels);
    ADD_FAILURE() << mismatches << " pixels outside the image differ from the background (" << int(reference[0]) << ","
                  << int(reference[1]) << "," << int(reference[2]) << ") in a " << shot.width << "x" << shot.height
                  << " shot, from (" << spread.left << "," << spread.top << ") to (" << spread.right << "," << spread.bottom
                  << "); the first, at (" << firstX << "," << firstY << "), is " << int(first[0]) << "," << int(first[1])
                  << "," << int(first[2]) << "; the image fills (" << left << "," << top << ") to ("
                  << left + scaledWidth << "," << top + scaledHeight << ")\n" << run.output;
  }
}

}  // namespace
