// The preview's view as the dialog keeps it: fit in view on opening, the zoom levels from the
// buttons and the menu's commands, the scroll bars, and the wheel's panning rules.
#include <gtest/gtest.h>

#include <cmath>

#include "preview/PreviewImageSource.h"
#include "preview/PreviewViewState.h"
#include "resource.h"
#include "TestSupport.h"
#include "ui/MainDialogFixture.h"
#include "ui/MainDialogState.h"
#include "ui/PreviewTools.h"
#include "ui/PreviewZoom.h"

namespace {

class PreviewView : public MainDialogFixture {
 protected:
  void SetUp() override {
    MainDialogFixture::SetUp();
    PreviewImageSource source;
    source.imageRect = ImageRect{0, 0, 4000, 3000};
    SetPreviewImageSource(source);
  }
  void TearDown() override {
    MainDialogFixture::TearDown();
    SetPreviewImageSource(PreviewImageSource{});
  }
  void Command(int id) {
    SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    Pump();
  }
  void Wheel(int delta, WORD keys, bool horizontal = false) {
    SendMessageW(m_Dialog, horizontal ? WM_MOUSEHWHEEL : WM_MOUSEWHEEL, MAKEWPARAM(keys, WORD(short(delta))), 0);
    Pump();
  }
  int BarPosition(int id) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    GetScrollInfo(GetDlgItem(m_Dialog, id), SB_CTL, &info);
    return info.nPos;
  }
  SIZE View() {
    const RECT& r = gPreviewViewState.previewRect;
    return SIZE{r.right - r.left - 2, r.bottom - r.top - 2};
  }
};

TEST_F(PreviewView, OpensFittedAndTheControlsStepThroughTheLevels) {
  Open();
  SIZE view = View();
  ASSERT_GT(view.cx, 100);
  EXPECT_DOUBLE_EQ(gPreviewViewState.zoom, FitInViewZoom(view, 4000, 3000));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(m_Dialog, IDC_HSCROLL))) << "a fitted image needs no scrolling";
  Command(ID_ZOOM_ACTUAL_PIXELS);
  EXPECT_EQ(gPreviewViewState.zoom, 100.0);
  EXPECT_EQ(Text(IDC_ZOOM_DISPLAY), L" 100.00%");
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(m_Dialog, IDC_HSCROLL)));
  // About the image's centre: the view's left edge is half the view short of it.
  EXPECT_NEAR(gPreviewViewState.horizontalScroll, 2000 - view.cx / 2.0, 1.0);
  EXPECT_EQ(BarPosition(IDC_HSCROLL), gPreviewViewState.horizontalScroll);
  SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(IDC_ZOOM_IN, STN_CLICKED), LPARAM(GetDlgItem(m_Dialog, IDC_ZOOM_IN)));
  EXPECT_EQ(Text(IDC_ZOOM_DISPLAY), L" 200.00%");
  Command(ID_ZOOM_6400);
  EXPECT_EQ(Text(IDC_ZOOM_DISPLAY), L" 6400.00%");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(m_Dialog, IDC_ZOOM_IN))) << "no level above the largest";
  Command(ID_ZOOM_6);
  EXPECT_EQ(Text(IDC_ZOOM_DISPLAY), L" 6.25%");
  Command(ID_ZOOM_FIT_IN_VIEW);
  EXPECT_DOUBLE_EQ(gPreviewViewState.zoom, FitInViewZoom(view, 4000, 3000));
}

TEST_F(PreviewView, ScrollBarsAndTheWheelPanWithinTheImage) {
  Open();
  Command(ID_ZOOM_ACTUAL_PIXELS);
  SIZE view = View();
  HWND horizontal = GetDlgItem(m_Dialog, IDC_HSCROLL);
  SendMessageW(m_Dialog, WM_HSCROLL, MAKEWPARAM(SB_TOP, 0), LPARAM(horizontal));
  EXPECT_EQ(gPreviewViewState.horizontalScroll, 0);
  SendMessageW(m_Dialog, WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), LPARAM(horizontal));
  EXPECT_EQ(gPreviewViewState.horizontalScroll, 1);
  SendMessageW(m_Dialog, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 700), LPARAM(horizontal));
  EXPECT_EQ(gPreviewViewState.horizontalScroll, 700);
  SendMessageW(m_Dialog, WM_HSCROLL, MAKEWPARAM(SB_BOTTOM, 0), LPARAM(horizontal));
  EXPECT_EQ(gPreviewViewState.horizontalScroll, 4000 - view.cx) << "the view stops at the image's right edge";
  SendMessageW(m_Dialog, WM_HSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), LPARAM(horizontal));
  EXPECT_EQ(gPreviewViewState.horizontalScroll, 4000 - view.cx);

  // Three notches towards the user pan down 30 pixels; with Ctrl across; with Shift a page.
  int top = gPreviewViewState.verticalScroll;
  Wheel(-3 * WHEEL_DELTA, 0);
  EXPECT_EQ(gPreviewViewState.verticalScroll, top + 30);
  Wheel(WHEEL_DELTA / 2, 0);
  Wheel(WHEEL_DELTA / 2, 0);
  EXPECT_EQ(gPreviewViewState.verticalScroll, top + 20) << "half notches add up to one";
  int left = gPreviewViewState.horizontalScroll;
  Wheel(2 * WHEEL_DELTA, MK_CONTROL);
  EXPECT_EQ(gPreviewViewState.horizontalScroll, left - 20);
  Wheel(WHEEL_DELTA, 0, true);
  EXPECT_EQ(gPreviewViewState.horizontalScroll, left - 10) << "a tilt to the right moves the view right";
  Wheel(-WHEEL_DELTA, MK_SHIFT);
  EXPECT_EQ(gPreviewViewState.verticalScroll, std::min<int>(top + 20 + view.cy, 3000 - view.cy));
}

}  // namespace

// A point of the preview names the image pixel drawn under it: through the centring of a fitted
// image smaller than the view, and through the zoom and scroll position of a larger one. Zooming
// about a point puts that point in the middle of the view.
TEST_F(PreviewView, PointsOfThePreviewBecomeTheImagePixelsUnderThem) {
  Open();
  SIZE view = View();
  double zoom = gPreviewViewState.zoom;
  int32_t scaledWidth = int32_t(std::floor(4000 * zoom / 100.0 + 1e-9)), scaledHeight = int32_t(std::floor(3000 * zoom / 100.0 + 1e-9));
  LONG left = scaledWidth < view.cx ? (view.cx - scaledWidth) / 2 + 1 : 1;
  LONG top = scaledHeight < view.cy ? (view.cy - scaledHeight) / 2 + 1 : 1;
  ASSERT_TRUE(left > 1 || top > 1) << "the fitted image must be centred along one axis";
  double x = 0, y = 0;
  PreviewPointToImage(POINT{left, top}, &x, &y);
  EXPECT_NEAR(x, 0.0, 1e-9);
  EXPECT_NEAR(y, 0.0, 1e-9);
  PreviewPointToImage(POINT{left + LONG(scaledWidth / 2), top + LONG(scaledHeight / 2)}, &x, &y);
  EXPECT_NEAR(x, 2000.0, 100.0 / zoom);
  EXPECT_NEAR(y, 1500.0, 100.0 / zoom);

  Command(ID_ZOOM_ACTUAL_PIXELS);
  SendMessageW(m_Dialog, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 700), LPARAM(GetDlgItem(m_Dialog, IDC_HSCROLL)));
  SendMessageW(m_Dialog, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 400), LPARAM(GetDlgItem(m_Dialog, IDC_VSCROLL)));
  PreviewPointToImage(POINT{1 + 50, 1 + 30}, &x, &y);
  EXPECT_DOUBLE_EQ(x, 750.0);
  EXPECT_DOUBLE_EQ(y, 430.0);

  SetPreviewZoom(m_Dialog, POINT{1 + 50, 1 + 30}, 200.0);
  PreviewPointToImage(POINT{1 + view.cx / 2, 1 + view.cy / 2}, &x, &y);
  EXPECT_NEAR(x, 750.0, 1.0) << "the anchor is the new centre";
  EXPECT_NEAR(y, 430.0, 1.0);
}

// A rubber band dragged out of the preview scrolls the view towards the pointer on every tick of
// its timer, its start moving with the image; letting go ends the band and the scrolling.
TEST_F(PreviewView, ARubberBandOutsideThePreviewScrollsTheView) {
  Open();
  Command(ID_ZOOM_ACTUAL_PIXELS);
  HWND horizontal = GetDlgItem(m_Dialog, IDC_HSCROLL);
  SendMessageW(m_Dialog, WM_HSCROLL, MAKEWPARAM(SB_TOP, 0), LPARAM(horizontal));
  ASSERT_NE(CurrentMainDialog(), nullptr);
  CurrentMainDialog()->selectedTool = TOOL_HIDE;
  HWND preview = GetDlgItem(m_Dialog, IDC_PREVIEW);
  RECT client{};
  GetClientRect(preview, &client);
  POINT outside{client.right + 30, client.bottom / 2};
  ClientToScreen(preview, &outside);
  POINT inside{50, client.bottom / 2};
  ClientToScreen(preview, &inside);
  SetCursorPos(inside.x, inside.y);
  SendMessageW(preview, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, client.bottom / 2));
  SetCursorPos(outside.x, outside.y);
  bool scrolled = WaitUntil([&] {
    Pump();
    return gPreviewViewState.horizontalScroll >= 60;
  }, 5000);
  EXPECT_TRUE(scrolled) << "the view stood at " << gPreviewViewState.horizontalScroll;
  EXPECT_TRUE(gPreviewViewState.dragging);
  // The band's start moved left with the image; its end is held inside the view.
  EXPECT_LT(gPreviewViewState.marqueeRect.left, 50 - 30);
  EXPECT_LE(gPreviewViewState.marqueeRect.right, client.right - 2);
  SendMessageW(preview, WM_LBUTTONUP, 0, MAKELPARAM(client.right + 30, client.bottom / 2));
  Pump();
  EXPECT_FALSE(gPreviewViewState.dragging);
  EXPECT_FALSE(KillTimer(preview, 1)) << "no auto-scroll timer may outlive the band";
}

// The pointer over the preview is the tool's own; Ctrl turns any tool into the zoom, Alt into its
// opposite, and at the last level the zoom pointer shows that no further zoom is possible.
TEST_F(PreviewView, ThePointerShowsTheToolThatAClickWouldUse) {
  Open();
  ASSERT_NE(CurrentMainDialog(), nullptr);
  CurrentMainDialog()->selectedTool = TOOL_PAN;
  HWND preview = GetDlgItem(m_Dialog, IDC_PREVIEW);
  auto shown = [&] {
    SendMessageW(preview, WM_SETCURSOR, WPARAM(preview), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  };
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  auto setKey = [&](int key, bool down) {
    keys[key] = down ? 0x80 : 0;
    SetKeyboardState(keys);
  };
  double zoom = gPreviewViewState.zoom;
  EXPECT_EQ(shown(), PreviewToolCursor(TOOL_PAN, false, false, zoom));
  setKey(VK_CONTROL, true);
  EXPECT_EQ(shown(), PreviewToolCursor(TOOL_ZOOM, false, false, zoom));
  EXPECT_NE(shown(), PreviewToolCursor(TOOL_PAN, false, false, zoom));
  setKey(VK_MENU, true);
  EXPECT_EQ(shown(), PreviewToolCursor(TOOL_ZOOM, true, false, zoom)) << "Ctrl and Alt zoom out";
  setKey(VK_MENU, false);
  Command(ID_ZOOM_6400);
  EXPECT_EQ(shown(), PreviewToolCursor(TOOL_ZOOM, false, false, kMaximumZoom));
  EXPECT_NE(PreviewToolCursor(TOOL_ZOOM, false, false, kMaximumZoom), PreviewToolCursor(TOOL_ZOOM, false, false, 100.0))
      << "no further zoom in at the largest level";
  setKey(VK_CONTROL, false);
  CurrentMainDialog()->selectedTool = TOOL_HIDE;
  EXPECT_EQ(shown(), PreviewToolCursor(TOOL_HIDE, false, false, kMaximumZoom));
  EXPECT_NE(PreviewToolCursor(TOOL_HIDE, false, false, 100.0), PreviewToolCursor(TOOL_HIDE, true, false, 100.0));
}

// Fit on Screen gives the dialog its monitor's work area; a fitted image is fitted again to the
// larger preview, an image the user zoomed keeps its zoom.
TEST_F(PreviewView, FitOnScreenFillsTheWorkAreaAndRefitsAFittedImage) {
  Open();
  double before = gPreviewViewState.zoom;
  Command(ID_ZOOM_FIT_ON_SCREEN);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(m_Dialog, MONITOR_DEFAULTTONEAREST), &monitor));
  RECT window{};
  GetWindowRect(m_Dialog, &window);
  EXPECT_EQ(window.left, monitor.rcWork.left);
  EXPECT_EQ(window.top, monitor.rcWork.top);
  EXPECT_EQ(window.right, monitor.rcWork.right);
  EXPECT_EQ(window.bottom, monitor.rcWork.bottom);
  Pump();
  EXPECT_DOUBLE_EQ(gPreviewViewState.zoom, FitInViewZoom(View(), 4000, 3000));
  EXPECT_GE(gPreviewViewState.zoom, before);
  Command(ID_ZOOM_ACTUAL_PIXELS);
  Command(ID_ZOOM_FIT_ON_SCREEN);
  Pump();
  EXPECT_EQ(gPreviewViewState.zoom, 100.0) << "an explicit zoom survives the resize";
}
