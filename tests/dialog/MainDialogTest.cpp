// The main dialog at the message level: what it shows when it opens, OK, Cancel and reset mode,
// the end of a session, the results of other parts, tooltips, accelerators, control sets, the
// progress bar, and that opening and closing it leaves no window or GDI object behind.
//
// Sections: opening; OK, Cancel and reset mode; ends from outside (session, results, queued
// clicks); tooltips; accelerators; control sets; progress, colours and the size grip; leaks.
#include <gtest/gtest.h>

#include <vector>

#include "ui/MainDialogFixture.h"
#include "TestSupport.h"
#include "preview/BackgroundTask.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "support/DataFolders.h"
#include "support/LogTestSupport.h"
#include "ui/AcceleratorCommands.h"
#include "ui/ColorScheme.h"
#include "ui/ControlSets.h"
#include "ui/GroupBoxes.h"
#include "ui/ToolTipTable.h"

class MainDialog : public MainDialogFixture {};

TEST_F(MainDialog, OpensInTheMainSetWithPreviewCheckedAndQuantityFocused) {
  Open();
  EXPECT_EQ(GetCurrentControlSet(), CTLSET_MAIN);
  EXPECT_EQ(IsDlgButtonChecked(m_Dialog, IDC_PREVIEW_CHECK), UINT(BST_CHECKED));
  EXPECT_EQ(GetFocus(), GetDlgItem(m_Dialog, IDC_QUANTITY_VALUE));
  EXPECT_EQ(LOWORD(SendMessageW(m_Dialog, DM_GETDEFID, 0, 0)), IDOK);
  EXPECT_EQ(RegisteredAcceleratorTable(m_Dialog), MainAcceleratorTable());
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(m_Dialog, IDC_EDIT_EFFECT_GROUP)));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(m_Dialog, IDC_QUANTITY_TRACK)));
  EXPECT_EQ(Text(IDCANCEL), L"Cancel");
}

TEST_F(MainDialog, CancelEndsWithTwoAndTheUsersCancel) {
  ReportCapture capture;
  Open();
  Click(IDCANCEL);
  EXPECT_TRUE(State().ended);
  EXPECT_EQ(State().endResult, IDCANCEL);
  EXPECT_EQ(m_Cell, -128);
  EXPECT_TRUE(DialogIsTerminating);
  EXPECT_TRUE(capture.HasReport("CTLSETEVNT_END_CANCEL in ControlSetEventHandler(), *gResult set to -128."));
}

TEST_F(MainDialog, OkSavesTheWindowRectangleAndEndsWithOne) {
  std::wstring root = UseScratchDataFolders(L"maindialogok");
  Open();
  SetWindowPos(m_Dialog, nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT window;
  GetWindowRect(m_Dialog, &window);
  Click(IDOK);
  EXPECT_TRUE(State().ended);
  EXPECT_EQ(State().endResult, IDOK);
  EXPECT_EQ(m_Cell, 0);
  gUISettings = DefaultUISettings();
  ASSERT_TRUE(LoadUISettings());
  EXPECT_EQ(gUISettings.dialogRect.left, window.left);
  EXPECT_EQ(gUISettings.dialogRect.bottom, window.bottom);
  Close();
  SetDataFolderRoots(nullptr, nullptr);
  RemoveFolderTree(root);
}

TEST_F(MainDialog, AltTurnsCancelIntoResetAndBackWithItsTooltip) {
  Open();
  auto tipOf = [&](int id) {
    wchar_t text[256] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_Dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(m_Dialog, id));
    tool.lpszText = text;
    SendMessageW(GetToolTipControl(), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return std::wstring(text);
  };
  SendMessageW(m_Dialog, WM_APP_KEY_STATE, VK_MENU, 0x2000);  // Alt down: top bit clear
  EXPECT_EQ(Text(IDCANCEL), L"Reset");
  EXPECT_EQ(tipOf(IDCANCEL), kResetTip);
  EXPECT_EQ(Text(IDOK), L"OK");
  SendMessageW(m_Dialog, WM_APP_KEY_STATE, VK_SHIFT, 0x0000);  // another key leaves reset mode alone
  EXPECT_EQ(Text(IDCANCEL), L"Reset");
  SendMessageW(m_Dialog, WM_APP_KEY_STATE, VK_MENU, 0xC000);  // Alt up: top bit set
  EXPECT_EQ(Text(IDCANCEL), L"Cancel");
  EXPECT_EQ(tipOf(IDCANCEL), kCancelTip);
  SendMessageW(m_Dialog, WM_APP_KEY_STATE, VK_MENU, 0x2000);
  SendMessageW(m_Dialog, WM_APP_KEY_STATE, 0, 0);  // no key: everything released
  EXPECT_EQ(Text(IDCANCEL), L"Cancel");
  EXPECT_FALSE(State().resetMode);
}

TEST_F(MainDialog, CancelInResetModeRestoresTheOpeningValuesAndStaysOpen) {
  m_Block.intensity = 40;
  Open();
  m_Block.intensity = 90;  // as a slider would have written it
  m_Block.effectsOnly = 1;
  SendMessageW(m_Dialog, WM_APP_KEY_STATE, VK_MENU, 0x2000);
  Click(IDCANCEL);
  Pump();
  EXPECT_FALSE(State().ended);
  EXPECT_EQ(m_Cell, 0);
  EXPECT_EQ(m_Block.intensity, 40);
  EXPECT_EQ(m_Block.effectsOnly, 0);
  EXPECT_EQ(IsDlgButtonChecked(m_Dialog, IDC_EFFECTS_ONLY), UINT(BST_UNCHECKED));
}

TEST_F(MainDialog, EndSessionCancelsTheRunAndEndsWithTwo) {
  ReportCapture capture;
  Open();
  SendMessageW(m_Dialog, WM_ENDSESSION, FALSE, 0);
  EXPECT_FALSE(State().ended) << "a session that goes on changes nothing";
  SendMessageW(m_Dialog, WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(State().ended);
  EXPECT_EQ(State().endResult, IDCANCEL);
  EXPECT_EQ(m_Cell, -128);
  EXPECT_TRUE(capture.HasReport("System sent WM_ENDSESSION in SpindrelProc(), *gResult set to -128."));
}

TEST_F(MainDialog, AResultSetElsewhereEndsTheDialogAfterTheNextMessage) {
  Open();
  SetRunResult(-50);
  EXPECT_FALSE(State().ended);
  SendMessageW(m_Dialog, WM_NULL, 0, 0);
  EXPECT_TRUE(State().ended);
  EXPECT_EQ(State().endResult, IDCANCEL);
  EXPECT_EQ(m_Cell, -50) << "the failure's own code stays";
}

TEST_F(MainDialog, TooltipsCarryTheTextsOfTheTableAndGoWithTheDialog) {
  HWND host = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(CreateToolTipControl(host));
  HWND tips = GetToolTipControl();
  Open();
  for (const ToolTipRow& row : kMainToolTips) {
    wchar_t text[256] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_Dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(m_Dialog, row.control));
    tool.lpszText = text;
    SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::wstring(text), row.text) << row.control;
  }
  auto toolsOfDialog = [&] {
    int count = 0, total = int(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < total; ++i) {
      TOOLINFOW tool{};
      tool.cbSize = sizeof tool;
      if (SendMessageW(tips, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool)) && tool.hwnd == m_Dialog) ++count;
    }
    return count;
  };
  // The table's 14, five a slider row, the two selectors, the settings menu and Effects Only.
  EXPECT_EQ(toolsOfDialog(), 14 + 5 * 18 + 4);
  HWND closed = m_Dialog;
  DestroyWindow(m_Dialog);
  m_Dialog = closed;  // to count tools still naming it
  EXPECT_EQ(toolsOfDialog(), 0);
  EXPECT_EQ(GetToolTipControl(), tips) << "the host's tooltip control outlives the dialog";
  m_Dialog = nullptr;
  DestroyToolTipControl();
  DestroyWindow(host);
}

TEST_F(MainDialog, EveryAcceleratorOfBothTablesReachesAHandledCommand) {
  Open();
  for (HACCEL table : {MainAcceleratorTable(), EditorAcceleratorTable()}) {
    ASSERT_NE(table, nullptr);
    std::vector<ACCEL> entries(CopyAcceleratorTableW(table, nullptr, 0));
    ASSERT_GT(entries.size(), 20u);
    CopyAcceleratorTableW(table, entries.data(), int(entries.size()));
    for (const ACCEL& entry : entries) {
      EXPECT_NE(FindAcceleratorCommand(entry.cmd), nullptr) << entry.cmd;
    }
  }
  EXPECT_EQ(FindAcceleratorCommand(IDOK), nullptr);
}

TEST_F(MainDialog, AcceleratorCommandsFocusSwitchAndChooseTools) {
  Open();
  auto command = [&](int id) {
    SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(id, 1), 0);
    Pump();
  };
  command(ID_FOCUS_LENGTH);
  EXPECT_EQ(GetFocus(), GetDlgItem(m_Dialog, IDC_LENGTH_VALUE));
  command(ID_FOCUS_SOFT_FLARE);
  EXPECT_EQ(GetFocus(), GetDlgItem(m_Dialog, IDC_SOFT_FLARE_VALUE));
  command(ID_TOGGLE_PREVIEW);
  EXPECT_EQ(IsDlgButtonChecked(m_Dialog, IDC_PREVIEW_CHECK), UINT(BST_UNCHECKED));
  EXPECT_FALSE(State().previewEnabled);
  command(ID_TOGGLE_EFFECTS_ONLY);
  EXPECT_EQ(m_Block.effectsOnly, 1) << "Effects Only writes the current parameters";
  command(ID_TOOL_PAN);
  EXPECT_EQ(State().selectedTool, int(TOOL_PAN));
  command(ID_TOOL_EDIT);
  EXPECT_EQ(State().selectedTool, int(TOOL_EDIT));
  command(ID_ZOOM_100);
  EXPECT_EQ(State().lastZoomCommand, ID_ZOOM_100);
  SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(IDC_TOOL_ZOOM, STN_DBLCLK), reinterpret_cast<LPARAM>(GetDlgItem(m_Dialog, IDC_TOOL_ZOOM)));
  EXPECT_EQ(State().selectedTool, int(TOOL_ZOOM));
  SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(IDC_TOOL_PAN, STN_DBLCLK), reinterpret_cast<LPARAM>(GetDlgItem(m_Dialog, IDC_TOOL_PAN)));
  EXPECT_EQ(State().lastZoomCommand, ID_FIT_IN_VIEW) << "double-clicking Pan fits the image in view";
  EXPECT_FALSE(State().ended);
}

TEST_F(MainDialog, EditorSetsReturnToTheMainSetOnOkAndCancel) {
  Open();
  EXPECT_FALSE(SelectControlSet(4));
  EXPECT_FALSE(SelectControlSet(-1));
  ASSERT_TRUE(SelectControlSet(CTLSET_EDIT_COLOR));
  EXPECT_EQ(GetCurrentControlSet(), CTLSET_EDIT_COLOR);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(m_Dialog, IDC_BRIGHTNESS_TRACK)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(m_Dialog, IDC_QUANTITY_TRACK)));
  EXPECT_EQ(RegisteredAcceleratorTable(m_Dialog), EditorAcceleratorTable()) << "the editor's keys replace the main set's";
  Click(IDCANCEL);
  EXPECT_EQ(GetCurrentControlSet(), CTLSET_MAIN);
  EXPECT_FALSE(State().ended);
  EXPECT_EQ(m_Cell, 0);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(m_Dialog, IDC_QUANTITY_TRACK)));
  EXPECT_EQ(RegisteredAcceleratorTable(m_Dialog), MainAcceleratorTable());
  ASSERT_TRUE(SelectControlSet(CTLSET_EDIT_GRAY));
  Click(IDOK);
  EXPECT_EQ(GetCurrentControlSet(), CTLSET_MAIN);
  EXPECT_FALSE(State().ended);
}

TEST_F(MainDialog, ProgressFollowsItsRangeAndAZeroRangeEmptiesIt) {
  Open();
  HWND bar = GetDlgItem(m_Dialog, IDC_PROGRESS);
  SendMessageW(m_Dialog, WM_APP_INIT_PROGRESS, 5, 10);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 5);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 10);
  SendMessageW(m_Dialog, WM_APP_INIT_PROGRESS, 25, 10);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 10) << "the position is kept within the range";
  SendMessageW(m_Dialog, WM_APP_INIT_PROGRESS, 0, 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 0);
}

TEST_F(MainDialog, SchemeColoursPaintTheDialogAndItsGroupBoxes) {
  ASSERT_TRUE(ApplyColorScheme(COLORSCHEME_LIGHT));
  Open();
  HDC dc = GetDC(m_Dialog);
  auto brush = reinterpret_cast<HBRUSH>(SendMessageW(m_Dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(m_Dialog)));
  EXPECT_EQ(brush, GetSchemeBackgroundBrush());
  EXPECT_EQ(GetTextColor(dc), 0x000000u);
  EXPECT_EQ(GetBkColor(dc), 0xB8B8B8u);
  HWND group = GetDlgItem(m_Dialog, IDC_MAIN_SPIKES_GROUP);
  EXPECT_EQ(SendMessageW(m_Dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(group)),
            reinterpret_cast<LRESULT>(GetGroupBoxBrush()));
  HWND scroll = GetDlgItem(m_Dialog, IDC_VSCROLL);
  EXPECT_EQ(SendMessageW(m_Dialog, WM_CTLCOLORSCROLLBAR, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(scroll)),
            reinterpret_cast<LRESULT>(GetSchemeBackgroundBrush()));
  ASSERT_TRUE(ApplyColorScheme(COLORSCHEME_SYSTEM_LIGHT));
  EXPECT_NE(SendMessageW(m_Dialog, WM_CTLCOLORSCROLLBAR, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(scroll)),
            reinterpret_cast<LRESULT>(GetSchemeBackgroundBrush()))
      << "scroll bars keep the system's colours in the System scheme";
  ReleaseDC(m_Dialog, dc);
  ApplyColorScheme(COLORSCHEME_DARK);
}

TEST_F(MainDialog, TheSizeGripAnswersAsTheBottomRightBorder) {
  Open();
  HWND grip = GetDlgItem(m_Dialog, IDC_SIZE_GRIP);
  RECT r;
  GetWindowRect(grip, &r);
  LPARAM centre = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  EXPECT_EQ(SendMessageW(grip, WM_NCHITTEST, 0, centre), HTBOTTOMRIGHT);
}

TEST_F(MainDialog, OpeningAndClosingTwentyTimesLeavesNoObjectBehind) {
  auto cycle = [&] {
    Open();
    SendMessageW(m_Dialog, WM_APP_KEY_STATE, VK_MENU, 0x2000);
    SetWindowPos(m_Dialog, nullptr, 0, 0, 1300, 950, SWP_NOMOVE | SWP_NOZORDER);
    UpdateWindow(m_Dialog);
    SendMessageW(m_Dialog, WM_APP_KEY_STATE, 0, 0);
    Click(IDCANCEL);
    Close();
  };
  // The first openings make what stays for the load: classes, the scheme's brushes, the system's
  // font and DC caches. Wine's caches may still keep an object or two later on; anything left by
  // each opening shows as twenty or more.
  cycle();
  cycle();
  DWORD gdi = CountGdiObjects();
  int windows = CountProcessWindows();
  ASSERT_GT(gdi, 0u);
  for (int i = 0; i < 20; ++i) cycle();
  EXPECT_LE(CountGdiObjects(), gdi + 2);
  EXPECT_EQ(CountProcessWindows(), windows);
  EXPECT_EQ(CurrentMainDialog(), nullptr);
  EXPECT_EQ(GetCurrentControlSet(), CTLSET_NONE);
}

TEST_F(MainDialog, AClickQueuedBehindOkDoesNotTurnItIntoACancel) {
  std::wstring root = UseScratchDataFolders(L"maindialogqueued");
  Open();
  PostMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(m_Dialog, IDOK)));
  PostMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(m_Dialog, IDCANCEL)));
  Pump();
  EXPECT_TRUE(State().ended);
  EXPECT_EQ(State().endResult, IDOK);
  EXPECT_EQ(m_Cell, 0);
  Close();
  SetDataFolderRoots(nullptr, nullptr);
  RemoveFolderTree(root);
}
