// Frames reaching the "ProxyDisplay" window: in the screen-context and the offscreen drawing
// modes, after size changes, and over repeated openings of the preview.
#include "preview/ProxyDisplay.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestSupport.h"
#include "preview/BackgroundTask.h"
#include "preview/OpenGLSettings.h"
#include "support/PreviewTestWindow.h"

namespace {

constexpr COLORREF kBackground = RGB(30, 160, 90);
constexpr COLORREF kFrame = RGB(200, 40, 220);

// The colour the user sees at a point of the window, read back through GDI from the window.
COLORREF ColorOnWindow(HWND window, int x, int y) {
  HDC context = GetDCEx(window, nullptr, DCX_CACHE);
  COLORREF color = GetPixel(context, x, y);
  ReleaseDC(window, context);
  return color;
}

class ProxyDisplayTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    SetPreviewBackgroundColor(kBackground);
    SetPreviewFrameColor(kFrame);
  }
  void TearDown() override {
    window.reset();
    SetPreviewBackgroundColor(RGB(64, 64, 64));
    SetPreviewFrameColor(RGB(128, 128, 128));
    EXPECT_TRUE(WaitUntil([] { return !BackgroundTaskRunning(); }, 20000));
  }

  bool CaughtUp() {
    return window->PumpUntil([&] { return window->FramesCaughtUp(); });
  }

  PreviewHooks hooks;
  ReportCapture reports;
  std::unique_ptr<PreviewTestWindow> window;
};

TEST_P(ProxyDisplayTest, FramesReachTheWindowInTheBackgroundColourWithABorder) {
  window = std::make_unique<PreviewTestWindow>(GetParam(), true, 240, 180);
  ASSERT_TRUE(CaughtUp());
  COLORREF color = 0;
  ASSERT_TRUE(SampleScreenBitmap(120, 90, &color));
  EXPECT_EQ(color, kBackground);
  ASSERT_TRUE(SampleScreenBitmap(0, 90, &color));
  EXPECT_EQ(color, kFrame);
  int presented = window->PresentedFrame();
  EXPECT_TRUE(reports.HasReportContaining("Preview frame " + std::to_string(presented) + " presented "));

  // A new colour shows with the next request, on the window itself.
  SetPreviewBackgroundColor(RGB(250, 200, 10));
  NewBackgroundTaskParameters(nullptr);
  ASSERT_TRUE(CaughtUp());
  EXPECT_GT(window->PresentedFrame(), presented);
  ASSERT_TRUE(SampleScreenBitmap(120, 90, &color));
  EXPECT_EQ(color, RGB(250, 200, 10));
  if (!PreviewDrawnByOpenGL()) {
    EXPECT_TRUE(window->PumpUntil([&] { return ColorOnWindow(window->Preview(), 120, 90) == RGB(250, 200, 10); }));
    EXPECT_EQ(ColorOnWindow(window->Preview(), 0, 0), kFrame);
  }
}

TEST_P(ProxyDisplayTest, SizeChangeRendersTheNewClientArea) {
  window = std::make_unique<PreviewTestWindow>(GetParam(), true, 200, 150);
  ASSERT_TRUE(CaughtUp());
  int before = window->QueuedFrame();
  ASSERT_TRUE(SetWindowPos(window->Preview(), nullptr, 0, 0, 260, 190, SWP_NOMOVE | SWP_NOZORDER));
  ASSERT_GT(window->QueuedFrame(), before) << "the size change queued a rendering";
  ASSERT_TRUE(CaughtUp());
  COLORREF color = 0;
  ASSERT_TRUE(SampleScreenBitmap(258, 188, &color)) << "the frame has the new size";
  EXPECT_EQ(color, kBackground);
  EXPECT_FALSE(SampleScreenBitmap(260, 190, &color));
}

TEST_P(ProxyDisplayTest, RepeatedOpeningLeavesNoObjectsBehind) {
  auto openAndClose = [&] {
    window = std::make_unique<PreviewTestWindow>(GetParam());
    EXPECT_TRUE(CaughtUp());
    window.reset();
    EXPECT_TRUE(WaitUntil([] { return !BackgroundTaskRunning(); }));
  };
  openAndClose();  // first use makes the classes and caches that live for the process
  DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  for (int round = 0; round < 4; ++round) openAndClose();
  DWORD handlesAfter = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
  EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
  EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);
  EXPECT_LE(handlesAfter, handles);
  EXPECT_FALSE(reports.HasReportContaining("forcibly aborted"));
  EXPECT_FALSE(reports.HasReportContaining("Timed out"));
}

INSTANTIATE_TEST_SUITE_P(DrawingModes, ProxyDisplayTest, ::testing::Values(OPTIMIZE_FOR_QUALITY, OPTIMIZE_NONE),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == OPTIMIZE_NONE ? "Offscreen" : "ScreenContext");
                         });

}  // namespace
