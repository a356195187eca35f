// Context help: the topic table's page for a control in each control set, F1 in
// the main dialog starting the viewer on the right page of the right file, one
// viewer at a time, and a help file that holds every page the table names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MainDialogFixture.h"
#include "TestSupport.h"
#include "resource.h"
#include "support/DataFolders.h"
#include "support/HelpViewer.h"
#include "support/LogTestSupport.h"
#include "support/TextConversion.h"
#include "support/ViewerRecord.h"
#include "ui/ControlSets.h"
#include "ui/HelpTopics.h"

namespace {

std::wstring Wide(const char *text) {
  std::wstring wide;
  for (const char *c = text; *c != 0; ++c) wide += wchar_t(*c);
  return wide;
}

std::wstring FromBuild(const char *unixPath) { return L"Z:" + Wide(unixPath); }

}  // namespace

TEST(HelpTopicTable, PagesFollowTheControlAndItsControlSet) {
  struct Case {
    int id;
    int set;
    const wchar_t *page;
  };
  const Case cases[] = {
      {IDC_QUANTITY_VALUE, CTLSET_MAIN, L"QuantityControl.htm"},
      {IDC_QUANTITY_TRACK, CTLSET_MAIN, L"QuantityControl.htm"},
      {IDC_SHARPNESS_TRACK, CTLSET_MAIN, L"SpikeSharpnessControl.htm"},
      {IDC_SPREAD_TRACK, CTLSET_MAIN, L"SpikeSpreadControl.htm"},
      {IDC_BRIGHTNESS_TRACK, CTLSET_EDIT_COLOR, L"EffectEditorBrightness.htm"},
      {IDC_BRIGHTNESS_VALUE, CTLSET_EDIT_GRAY, L"EffectEditorBrightness.htm"},
      {IDC_HELP_ICON, CTLSET_MAIN, L"MainDialog.htm"},
      {IDC_HELP_ICON, CTLSET_EDIT_COLOR, L"EffectEditing.htm"},
      {IDOK, CTLSET_EDIT_GRAY, L"EffectEditing.htm"},
      {IDCANCEL, CTLSET_MAIN, L"MainDialog.htm"},
      {ID_ZOOM_6400, CTLSET_EDIT_GRAY, L"ViewportContextMenu.htm"},
      {ID_ZOOM_FIT_ON_SCREEN, CTLSET_MAIN, L"ViewportContextMenu.htm"},
      {ID_SETTINGS_SAVE, CTLSET_MAIN, L"SaveLoadControl.htm"},
      {IDC_OPENGL_SOFTWARE, CTLSET_NONE, L"OpenGLDrawingOptions.htm"},
      {IDC_OPENGL_COMPATIBILITY, CTLSET_MAIN, L"OpenGLDrawingOptions.htm"},
      {IDC_THEME_VERY_LIGHT, CTLSET_NONE, L"ConfigurationDialog.htm"},
      {IDC_OPTIONS_CONFIGURE, CTLSET_EDIT_COLOR, L"ConfigureButton.htm"},
      {IDC_CONFIGURE, CTLSET_MAIN, L"ConfigureButton.htm"},
  };
  for (const Case &c : cases) {
    const wchar_t *page = FindHelpPage(c.id, c.set);
    ASSERT_NE(page, nullptr) << c.id << " in set " << c.set;
    EXPECT_STREQ(page, c.page) << c.id << " in set " << c.set;
  }
  // Outside their sets, or not in the table at all: the start page is opened
  // instead.
  EXPECT_EQ(FindHelpPage(IDC_QUANTITY_VALUE, CTLSET_EDIT_COLOR), nullptr);
  EXPECT_EQ(FindHelpPage(IDC_BRIGHTNESS_TRACK, CTLSET_MAIN), nullptr);
  EXPECT_EQ(FindHelpPage(IDC_HELP_ICON, CTLSET_NONE), nullptr);
  EXPECT_EQ(FindHelpPage(IDC_PROGRESS, CTLSET_MAIN), nullptr);
  EXPECT_EQ(FindHelpPage(ID_ZOOM_6400 - 1, CTLSET_MAIN), nullptr);
  EXPECT_EQ(FindHelpPage(IDC_QUANTITY_VALUE, 7), nullptr);
}

TEST(HelpFile, HoldsEveryPageTheTopicTableNames) {
  std::vector<uint8_t> bytes = ReadWholeFile(FromBuild(BUILT_HELP_FILE_PATH));
  ASSERT_GT(bytes.size(), 1000u);
  ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "ITSF") << "a compiled HTML Help file";
  std::string contents(bytes.begin(), bytes.end());
  ASSERT_GE(HelpTopicPageCount(), 31);
  for (int i = 0; i < HelpTopicPageCount(); ++i) {
    std::string entry = "/" + NarrowText(HelpTopicPage(i));
    EXPECT_NE(contents.find(entry), std::string::npos) << entry << " is not in the help file";
  }
  EXPECT_NE(contents.find("/index.htm"), std::string::npos) << "the start page";
}

// The main dialog of the test process with a stand-in viewer that records its
// command line.
class ContextHelp : public MainDialogFixture {
 protected:
  void SetUp() override {
    MainDialogFixture::SetUp();
    m_Root = UseScratchDataFolders(L"contexthelp");
    m_Viewer = m_Root + L"\\hh.exe";
    ASSERT_TRUE(CopyFileW(FromBuild(BUILT_STANDIN_VIEWER_PATH).c_str(), m_Viewer.c_str(), FALSE));
    SetHelpViewerPathForTests(m_Viewer.c_str());
    ASSERT_TRUE(InitializeHelpViewer());
    m_HelpFile = NarrowText(GetHelpFilePath());
  }
  void TearDown() override {
    QuitHelpViewer();
    SetHelpViewerPathForTests(nullptr);
    MainDialogFixture::TearDown();
    WaitUntil([&] { return !FileExists(m_Viewer) || DeleteFileW(m_Viewer.c_str()); }, 5000);
    SetDataFolderRoots(nullptr, nullptr);
    RemoveFolderTree(m_Root);
  }
  ViewerRecord Record() const { return ReadViewerRecord(m_Viewer + L".log"); }
  // Waits for the n-th viewer to have started and returns its command line's
  // document.
  std::string NthDocument(int n) {
    std::string document;
    bool started = WaitUntil(
        [&] {
          ViewerRecord record = Record();
          if (int(record.starts.size()) < n) return false;
          document = record.starts[size_t(n - 1)].document;
          return true;
        },
        15000);
    EXPECT_TRUE(started) << "viewer " << n << " never started";
    return document;
  }
  // The dialog is kept off the screen: help needs no visible window, and this
  // process runs beside the driven tests, whose dialogs it would cover.
  void OpenHidden() {
    Open();
    ShowWindow(m_Dialog, SW_HIDE);
    Pump();
  }
  // F1 as the system turns it into help: WM_KEYF1 to the control with the
  // focus, whose default handling asks its parent dialog with WM_HELP.
  void PressF1Over(int id) {
    HWND control = GetDlgItem(m_Dialog, id);
    ASSERT_NE(control, nullptr) << id;
    SendMessageW(control, 0x004D /* WM_KEYF1 */, 0, 0);
    Pump();
  }

  std::wstring m_Root, m_Viewer;
  std::string m_HelpFile;
};

TEST_F(ContextHelp, F1OverEachControlOpensItsPageAndEndsTheViewerBefore) {
  OpenHidden();
  ASSERT_EQ(GetCurrentControlSet(), CTLSET_MAIN);
  struct Case {
    int id;
    const char *page;
  };
  const Case cases[] = {
      {IDC_QUANTITY_VALUE, "QuantityControl.htm"},
      {IDC_ANGLE_TRACK, "AngleControl.htm"},
      {IDC_SOFT_FLARE_VALUE, "SoftFlareIntensityControl.htm"},
      {IDC_EFFECT_SELECTOR, "EffectSelection.htm"},
      {IDC_EFFECTS_ONLY, "EffectsOnly.htm"},
      {IDC_CONFIGURE, "ConfigureButton.htm"},
      {IDC_PROGRESS, nullptr},  // not in the table: the help file's start page
  };
  int n = 0;
  HANDLE previous = nullptr;
  for (const Case &c : cases) {
    PressF1Over(c.id);
    std::string expected = c.page != nullptr ? m_HelpFile + "::/" + c.page : m_HelpFile;
    EXPECT_EQ(NthDocument(++n), expected) << "F1 over " << c.id;
    if (previous != nullptr) {
      EXPECT_EQ(WaitForSingleObject(previous, 10000), WAIT_OBJECT_0) << "the viewer before " << c.id << " still runs";
      CloseHandle(previous);
    }
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetHelpViewerProcess(), GetCurrentProcess(), &previous,
                                SYNCHRONIZE, FALSE, 0));
  }
  QuitHelpViewer();
  EXPECT_EQ(WaitForSingleObject(previous, 10000), WAIT_OBJECT_0);
  CloseHandle(previous);
  ViewerRecord record = Record();
  ASSERT_EQ(int(record.starts.size()), n);
  EXPECT_EQ(record.quits, n) << "every viewer was told to quit, none timed out";
  EXPECT_EQ(record.timeouts, 0);
  EXPECT_EQ(record.starts.front().commandLine.find(NarrowText(m_Viewer.c_str()) + " ms-its:"), 0u)
      << record.starts.front().commandLine;
}

TEST_F(ContextHelp, HelpIconQuestionMarkAndHelpKeyOpenTheDialogPageAndTheWholeFile) {
  OpenHidden();
  SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(IDC_HELP_ICON, STN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(m_Dialog, IDC_HELP_ICON)));
  Pump();
  EXPECT_EQ(NthDocument(1), m_HelpFile + "::/MainDialog.htm");
  // The accelerator commands as the message-filter hook delivers them.
  SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(ID_DIALOG_HELP, 1), 0);
  Pump();
  EXPECT_EQ(NthDocument(2), m_HelpFile + "::/MainDialog.htm");
  SendMessageW(m_Dialog, WM_COMMAND, MAKEWPARAM(ID_HELP_FILE, 1), 0);
  Pump();
  EXPECT_EQ(NthDocument(3), m_HelpFile);
  EXPECT_TRUE(WaitUntil([&] { return Record().quits == 2; }, 10000)) << "two viewers ended";
}

// F1 in an open menu asks for the highlighted item, and may ask again for the
// item under the pointer, naming none: that second request must not replace the
// item's page with the start page.
TEST_F(ContextHelp, AMenuRequestThatNamesNoItemLeavesTheItemsPage) {
  OpenHidden();
  HELPINFO info{};
  info.cbSize = sizeof info;
  info.iContextType = HELPINFO_MENUITEM;
  info.iCtrlId = ID_ZOOM_FIT_IN_VIEW;
  SendMessageW(m_Dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
  info.iCtrlId = -1;
  SendMessageW(m_Dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
  Pump();
  EXPECT_EQ(NthDocument(1), m_HelpFile + "::/ViewportContextMenu.htm");
  // A request about a control after it still opens its page: the next viewer
  // is the second one, so none came between.
  info.iContextType = HELPINFO_WINDOW;
  info.iCtrlId = IDC_EFFECT_SELECTOR;
  SendMessageW(m_Dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
  Pump();
  EXPECT_EQ(NthDocument(2), m_HelpFile + "::/EffectSelection.htm");
  EXPECT_EQ(Record().starts.size(), 2u);
}

TEST_F(ContextHelp, AViewerThatCannotStartIsReportedAndTheNextRequestStillWorks) {
  SetHelpViewerPathForTests((m_Root + L"\\missing\\hh.exe").c_str());
  ReportCapture capture;
  EXPECT_FALSE(DisplayHelpFile());
  EXPECT_TRUE(capture.HasReportContaining("DisplayHelpInViewer() failed to spawn HTML Help Viewer command line"));
  EXPECT_EQ(GetHelpViewerProcess(), nullptr);
  SetHelpViewerPathForTests(m_Viewer.c_str());
  EXPECT_TRUE(DisplayHelpPage(L"AboutBox.htm"));
  EXPECT_EQ(NthDocument(1), m_HelpFile + "::/AboutBox.htm");
}

TEST(HelpViewerPaths, HelpFileInTheCommonFolderAndViewerInWindows) {
  std::wstring root = UseScratchDataFolders(L"helppaths");
  ASSERT_TRUE(InitializeHelpViewer());
  EXPECT_EQ(std::wstring(GetHelpFilePath()), std::wstring(GetCommonFolder()) + L"\\Halvorn Pro 3.chm");
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(std::wstring(GetHelpViewerPath()), std::wstring(windows) + L"\\hh.exe");
  SetDataFolderRoots(nullptr, nullptr);
  RemoveFolderTree(root);
}

TEST(HelpViewerPaths, TheSetUpInstalledTheBuiltHelpFileWhereTheViewerLooks) {
  SetDataFolderRoots(nullptr, nullptr);
  ASSERT_TRUE(MakeUserDataFolder());
  ASSERT_TRUE(InitializeHelpViewer());
  std::wstring installed = GetHelpFilePath();
  ResetDataFolders();
  ASSERT_TRUE(FileExists(installed)) << NarrowText(installed.c_str());
  EXPECT_TRUE(ReadWholeFile(installed) == ReadWholeFile(FromBuild(BUILT_HELP_FILE_PATH))) << "the installed file is the one built";
}
