// InitialDialogItems on a window of its own: the table's limit of 150 controls, the rectangle the
// preview thread reads, and the valid-rectangle answer that keeps the right panel while sizing.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "TestSupport.h"
#include "resource.h"
#include "ui/DialogItems.h"
#include "ui/NonClientSize.h"

namespace {

// A plain sizable window with `count` static children laid out in a grid, ids 2000 onwards, and
// optionally a settings group box at x = 300.
HWND MakeWindowWithChildren(int count, bool withSettingsGroup) {
  HWND window = CreateWindowExW(0, L"STATIC", L"items", WS_OVERLAPPEDWINDOW, 10, 10, 600, 400, nullptr, nullptr,
                                nullptr, nullptr);
  for (int i = 0; i < count; ++i) {
    CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, (i % 20) * 10, (i / 20) * 10, 8, 8, window,
                    reinterpret_cast<HMENU>(INT_PTR(2000 + i)), nullptr, nullptr);
  }
  if (withSettingsGroup) {
    CreateWindowExW(0, L"BUTTON", L"Settings", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 300, 10, 250, 300, window,
                    reinterpret_cast<HMENU>(INT_PTR(IDC_SETTINGS_GROUP)), nullptr, nullptr);
  }
  return window;
}

}  // namespace

TEST(DialogItems, ControlsBeyondOneHundredFiftyAreReportedAndLeftWhereTheyAre) {
  HWND window = MakeWindowWithChildren(160, false);
  ReportCapture capture;
  ASSERT_TRUE(InitializeDialogItems(window));
  EXPECT_EQ(DialogItemCount(), kMaxDialogItems);
  EXPECT_TRUE(capture.HasReport("Number of controls has exceeded InitialDialogItems[] table size"));
  size_t reports = capture.Reports().size();
  RECT client;
  GetClientRect(window, &client);
  ASSERT_TRUE(RepositionItem(window, SIZE{client.right + 100, client.bottom}));
  EXPECT_EQ(capture.Reports().size(), reports) << "the overflow is reported once";
  // Every recorded control follows the right edge (no rule of its own); the ones beyond the table
  // stay where they were.
  RECT first, last;
  GetWindowRect(GetDlgItem(window, 2000), &first);
  GetWindowRect(GetDlgItem(window, 2159), &last);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&first), 2);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&last), 2);
  EXPECT_EQ(first.left, 100);
  EXPECT_EQ(last.left, (159 % 20) * 10);
  DeleteDialogItems();
  DestroyWindow(window);
}

TEST(DialogItems, TheSameSizeAgainMovesNothing) {
  HWND window = MakeWindowWithChildren(3, false);
  ASSERT_TRUE(InitializeDialogItems(window));
  RECT client;
  GetClientRect(window, &client);
  ASSERT_TRUE(RepositionItem(window, SIZE{client.right + 40, client.bottom + 30}));
  RECT moved;
  ASSERT_TRUE(GetDialogItemRect(2001, &moved));
  EXPECT_EQ(moved.left, 10 + 40);
  ASSERT_TRUE(RepositionItem(window, SIZE{client.right + 40, client.bottom + 30}));
  RECT again;
  ASSERT_TRUE(GetDialogItemRect(2001, &again));
  EXPECT_TRUE(EqualRect(&moved, &again));
  EXPECT_FALSE(GetDialogItemRect(4242, &again));
  DeleteDialogItems();
  EXPECT_FALSE(GetDialogItemRect(2001, &again)) << "nothing is read from a deleted table";
  DestroyWindow(window);
}

TEST(DialogItems, GrowingKeepsTheRightPanelsPixelsAlignedToTheRightEdge) {
  HWND window = MakeWindowWithChildren(0, true);
  ASSERT_TRUE(InitializeDialogItems(window));
  RECT windowRect, client;
  GetWindowRect(window, &windowRect);
  GetClientRect(window, &client);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  NCCALCSIZE_PARAMS sizes{};
  WINDOWPOS position{};
  sizes.rgrc[0] = RECT{windowRect.left, windowRect.top, windowRect.right + 300, windowRect.bottom + 200};
  sizes.rgrc[1] = windowRect;
  sizes.rgrc[2] = client;
  sizes.lppos = &position;
  LRESULT result = 0;
  ASSERT_TRUE(KeepRightPanelWhileSizing(window, TRUE, reinterpret_cast<LPARAM>(&sizes), &result));
  EXPECT_EQ(result, WVR_VALIDRECTS);
  RECT newClient = sizes.rgrc[0];
  LONG strip = (client.right - client.left) - 300;  // from the group box's left edge to the old right edge
  EXPECT_EQ(sizes.rgrc[1].right, newClient.right);
  EXPECT_EQ(sizes.rgrc[1].right - sizes.rgrc[1].left, strip);
  EXPECT_EQ(sizes.rgrc[2].right, client.right);
  EXPECT_EQ(sizes.rgrc[2].right - sizes.rgrc[2].left, strip);
  // Without a size change the system's own answer stands.
  sizes.rgrc[0] = windowRect;
  sizes.rgrc[1] = windowRect;
  sizes.rgrc[2] = client;
  EXPECT_FALSE(KeepRightPanelWhileSizing(window, TRUE, reinterpret_cast<LPARAM>(&sizes), &result));
  EXPECT_FALSE(KeepRightPanelWhileSizing(window, FALSE, reinterpret_cast<LPARAM>(&sizes), &result));
  DeleteDialogItems();
  DestroyWindow(window);
}
