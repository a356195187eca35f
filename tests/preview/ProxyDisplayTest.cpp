// Frames reaching the "ProxyDisplay" window: in the screen-context and the offscreen drawing
// modes, after size changes, and over repeated openings of the preview.
#include "preview/ProxyDisplay.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ProcessingFixture.h"
#include "TestSupport.h"
#include "preview/BackgroundTask.h"
#include "preview/OpenGLSettings.h"
#include "support/AppMessages.h"
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

// The run's buffers and colour profiles exist whenever a preview opens: the start-up display is
// an image record in the standard profile.
class ProxyDisplayTest : public ProcessingFixture, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    ASSERT_TRUE(OpenProfilesFor(plugInModeRGBColor));
    SetPreviewBackgroundColor(kBackground);
    SetPreviewFrameColor(kFrame);
  }
  void TearDown() override {
    window.reset();
    SetPreviewBackgroundColor(RGB(64, 64, 64));
    SetPreviewFrameColor(RGB(128, 128, 128));
    EXPECT_TRUE(WaitUntil([] { return !BackgroundTaskRunning(); }, 20000));
    ProcessingFixture::TearDown();
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

// WM_PAINT comes only when no input waits, and a slider drag sends input all the time: a
// finished frame is painted when its notice arrives, with no WM_PAINT dispatched by the loop.
TEST_P(ProxyDisplayTest, AFinishedFrameIsShownWithoutWaitingForAPaintMessage) {
  window = std::make_unique<PreviewTestWindow>(GetParam(), true, 240, 180);
  ASSERT_TRUE(CaughtUp());
  if (PreviewDrawnByOpenGL()) GTEST_SKIP() << "frames are swapped onto the screen by the task";
  SetPreviewBackgroundColor(RGB(10, 90, 250));
  NewBackgroundTaskParameters(nullptr);
  int queued = window->QueuedFrame();
  bool shown = WaitUntil([&] {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_APP_INVALIDATE_PROXY, WM_APP_INVALIDATE_PROXY, PM_REMOVE)) {
      DispatchMessageW(&message);
    }
    return window->PresentedFrame() >= queued;
  });
  EXPECT_TRUE(shown) << "queued " << queued << ", presented " << window->PresentedFrame();
  EXPECT_EQ(ColorOnWindow(window->Preview(), 120, 90), RGB(10, 90, 250));
}

TEST_P(ProxyDisplayTest, RepeatedOpeningLeavesNoObjectsBehind) {
  auto openAndClose = [&] {
    window = std::make_unique<PreviewTestWindow>(GetParam());
    EXPECT_TRUE(CaughtUp()) << "queued " << window->QueuedFrame() << ", presented " << window->PresentedFrame();
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

namespace {

TEST_P(ProxyDisplayTest, StartUpDisplayShowsTheSplashCentredUntilTheAnalysisIsReady) {
  constexpr COLORREF kSplash = RGB(10, 20, 250);
  HBITMAP splash = MakeSplashBitmap(40, 30, kSplash, 32, false);
  ASSERT_NE(splash, nullptr);
  SetPreviewSplashBitmap(splash);
  gTestAnalysisReady = false;
  window = std::make_unique<PreviewTestWindow>(GetParam(), true, 240, 180);
  COLORREF color = 0;
  auto sampled = [&](int x, int y, COLORREF wanted) { return SampleScreenBitmap(x, y, &color) && color == wanted; };
  // The splash covers 100..139 by 75..104 of the 240 by 180 window.
  EXPECT_TRUE(window->PumpUntil([&] { return sampled(100, 75, kSplash) && sampled(139, 104, kSplash); }));
  EXPECT_TRUE(sampled(99, 90, kBackground));
  EXPECT_TRUE(sampled(120, 105, kBackground));
  EXPECT_EQ(window->PresentedFrame(), 0) << "start-up frames answer no request";

  gTestAnalysisReady = true;
  EXPECT_TRUE(window->PumpUntil([&] { return window->FramesCaughtUp(); }));
  EXPECT_TRUE(sampled(120, 90, kBackground));
  window.reset();
  SetPreviewSplashBitmap(nullptr);
  DeleteObject(splash);
}

TEST_P(ProxyDisplayTest, EndOfASizeMoveRepaintsFromTheBitmapOrQueuesARendering) {
  window = std::make_unique<PreviewTestWindow>(GetParam());
  ASSERT_TRUE(CaughtUp());
  int queued = window->QueuedFrame();
  SetSizeMoveInProgress(true);
  SetSizeMoveInProgress(true);
  EXPECT_TRUE(reports.HasReport("SetSizeMoveInProgress() - Repeated Size/Move Event WM_ENTERSIZEMOVE."));
  EXPECT_TRUE(SizeMoveInProgress());
  SetSizeMoveInProgress(false);
  EXPECT_FALSE(SizeMoveInProgress());
  if (PreviewDrawnByOpenGL()) {
    EXPECT_GT(window->QueuedFrame(), queued);
  } else {
    EXPECT_EQ(window->QueuedFrame(), queued) << "the frame is painted again, not rendered again";
    RECT update{};
    EXPECT_TRUE(GetUpdateRect(window->Preview(), &update, FALSE));
  }
  EXPECT_TRUE(CaughtUp());
}

}  // namespace
