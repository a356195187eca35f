// The main dialog's size and place: every control follows the growth of the dialog by its rule,
// the dialog never gets smaller than its template, and it opens where it was left, enlarged to
// the template and brought back onto a monitor, or centred on its parent when never saved.
#include <gtest/gtest.h>

#include <map>

#include "MainDialogFixture.h"
#include "resource.h"
#include "ui/DialogItems.h"

namespace {

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }
POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

struct Expectation {
  int id;
  LONG dx, dy, dw, dh;  // in units of the growth: 1 follows it, 0 keeps still
};

}  // namespace

class DialogLayout : public MainDialogFixture {
 protected:
  std::map<int, RECT> ChildRects() {
    std::map<int, RECT> rects;
    for (HWND child = GetWindow(m_Dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      rects[GetDlgCtrlID(child)] = ChildRect(GetDlgCtrlID(child));
    }
    return rects;
  }
};

TEST_F(DialogLayout, GrowingMovesAndStretchesEachControlByItsRule) {
  Open();
  RECT window, clientBefore, clientAfter;
  GetWindowRect(m_Dialog, &window);
  GetClientRect(m_Dialog, &clientBefore);
  std::map<int, RECT> before = ChildRects();
  SetWindowPos(m_Dialog, nullptr, 0, 0, Width(window) + 300, Height(window) + 200, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  GetClientRect(m_Dialog, &clientAfter);
  ASSERT_EQ(clientAfter.right - clientBefore.right, 300);
  ASSERT_EQ(clientAfter.bottom - clientBefore.bottom, 200);
  std::map<int, RECT> after = ChildRects();
  // One control of every kind of rule.
  const Expectation kRules[] = {
      {IDC_TOOL_PAN, 0, 0, 0, 0},     {IDC_TOOL_EDIT_LABEL, 0, 0, 0, 0}, {IDC_PREVIEW, 0, 0, 1, 1},
      {IDC_PREVIEW_FRAME, 0, 0, 1, 1}, {IDC_VSCROLL, 1, 0, 0, 1},        {IDC_HSCROLL, 0, 1, 1, 0},
      {IDC_PROGRESS, 0, 1, 0, 0},     {IDC_ZOOM_MENU, 0, 1, 0, 0},       {IDC_MAKER_LINK, 0, 1, 0, 0},
      {IDC_HELP_SUPPORT, 1, 1, 0, 0}, {IDC_SIZE_GRIP, 1, 1, 0, 0},       {IDC_PREVIEW_CHECK, 1, 1, 0, 0},
      {IDOK, 1, 0, 0, 0},             {IDCANCEL, 1, 0, 0, 0},            {IDC_LOGO, 1, 0, 0, 0},
      {IDC_QUANTITY_TRACK, 1, 0, 0, 0}, {IDC_SETTINGS_GROUP, 1, 0, 0, 0}, {IDC_ROW_LABEL + 17, 1, 0, 0, 0},
  };
  for (const Expectation& rule : kRules) {
    const RECT& b = before[rule.id];
    const RECT& a = after[rule.id];
    EXPECT_EQ(a.left - b.left, 300 * rule.dx) << rule.id;
    EXPECT_EQ(a.top - b.top, 200 * rule.dy) << rule.id;
    EXPECT_EQ(Width(a) - Width(b), 300 * rule.dw) << rule.id;
    EXPECT_EQ(Height(a) - Height(b), 200 * rule.dh) << rule.id;
  }
  // Every control that the template has was moved by a rule: none is left behind or drifts.
  for (const auto& [id, b] : before) {
    ResizeBehaviour horizontal, vertical;
    ResizeRuleOf(id, &horizontal, &vertical);
    const RECT& a = after[id];
    EXPECT_EQ(a.right - b.right, horizontal == RESIZE_NONE ? 0 : 300) << id;
    EXPECT_EQ(a.bottom - b.bottom, vertical == RESIZE_NONE ? 0 : 200) << id;
  }
  RECT stored;
  ASSERT_TRUE(GetDialogItemRect(IDC_PREVIEW, &stored));
  EXPECT_EQ(Width(stored), Width(after[IDC_PREVIEW])) << "the preview thread reads the new rectangle";
  // Back to the template size, every control is where the template put it.
  SetWindowPos(m_Dialog, nullptr, 0, 0, Width(window), Height(window), SWP_NOMOVE | SWP_NOZORDER);
  std::map<int, RECT> again = ChildRects();
  for (const auto& [id, b] : before) EXPECT_TRUE(EqualRect(&b, &again[id])) << id;
}

TEST_F(DialogLayout, TheDialogCannotBeMadeSmallerThanItsTemplate) {
  Open();
  RECT window;
  GetWindowRect(m_Dialog, &window);
  MINMAXINFO limits{};
  SendMessageW(m_Dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, Width(window));
  EXPECT_EQ(limits.ptMinTrackSize.y, Height(window));
  SetWindowPos(m_Dialog, nullptr, 0, 0, Width(window) - 200, Height(window) - 150, SWP_NOMOVE | SWP_NOZORDER);
  RECT shrunk;
  GetWindowRect(m_Dialog, &shrunk);
  EXPECT_EQ(Width(shrunk), Width(window));
  EXPECT_EQ(Height(shrunk), Height(window));
}

TEST_F(DialogLayout, ASavedRectangleSmallerThanTheTemplateIsEnlarged) {
  gUISettings.dialogRect = RECT{60, 70, 260, 170};
  Open();
  RECT window;
  GetWindowRect(m_Dialog, &window);
  EXPECT_EQ(window.left, 60);
  EXPECT_EQ(window.top, 70);
  EXPECT_EQ(Width(window), State().minTrackSize.x);
  EXPECT_EQ(Height(window), State().minTrackSize.y);
}

TEST_F(DialogLayout, ASavedRectangleInsideTheScreenIsUsedAsItIs) {
  gUISettings.dialogRect = RECT{20, 30, 20 + 1300, 30 + 1000};
  Open();
  RECT window;
  GetWindowRect(m_Dialog, &window);
  EXPECT_TRUE(EqualRect(&window, &gUISettings.dialogRect));
}

TEST_F(DialogLayout, ARectangleOffEveryScreenIsCentredOnTheNearestMonitor) {
  gUISettings.dialogRect = RECT{-9000, -7000, -9000 + 1300, -7000 + 1000};
  HMONITOR nearest = MonitorFromRect(&gUISettings.dialogRect, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{sizeof info, {}, {}, 0};
  ASSERT_TRUE(GetMonitorInfoW(nearest, &info));
  Open();
  RECT window;
  GetWindowRect(m_Dialog, &window);
  POINT centre = Centre(window), monitorCentre = Centre(info.rcMonitor);
  EXPECT_LE(abs(centre.x - monitorCentre.x), 1);
  EXPECT_LE(abs(centre.y - monitorCentre.y), 1);
  EXPECT_EQ(Width(window), 1300);
  EXPECT_EQ(Height(window), 1000);
}

TEST_F(DialogLayout, AnOversizedRectangleOffScreenIsLimitedToTheMonitor) {
  gUISettings.dialogRect = RECT{5000, 5000, 5000 + 4000, 5000 + 3000};
  HMONITOR nearest = MonitorFromRect(&gUISettings.dialogRect, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{sizeof info, {}, {}, 0};
  ASSERT_TRUE(GetMonitorInfoW(nearest, &info));
  Open();
  RECT window;
  GetWindowRect(m_Dialog, &window);
  EXPECT_EQ(Width(window), std::max<LONG>(Width(info.rcMonitor) - 1, State().minTrackSize.x));
  EXPECT_EQ(Height(window), std::max<LONG>(Height(info.rcMonitor) - 1, State().minTrackSize.y));
}

TEST_F(DialogLayout, WithoutASavedRectangleTheDialogIsCentredOnItsParentAndRemembered) {
  HWND parent = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 200, 150, 1200, 1000, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  Open(parent);
  RECT window, host;
  GetWindowRect(m_Dialog, &window);
  GetWindowRect(parent, &host);
  POINT centre = Centre(window), hostCentre = Centre(host);
  EXPECT_LE(abs(centre.x - hostCentre.x), 1);
  EXPECT_LE(abs(centre.y - hostCentre.y), 1);
  EXPECT_TRUE(EqualRect(&window, &gUISettings.dialogRect));
  Close();
  DestroyWindow(parent);
}
