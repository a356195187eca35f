// Context help as a user asks for it in the reference host, through the system's input queue: F1
// on controls of the topic table and outside it, on a menu's item, in the options dialog and in
// the effect editor, the help icons, "?" and the Help key. A stand-in viewer placed where the
// plug-in looks for the Windows viewer records each command line; every viewer but the last is
// ended by the next request, and the last by the end of the run.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "MachineSettingsFixture.h"
#include "TestSupport.h"
#include "support/ViewerRecord.h"

namespace {

std::wstring FromBuild(const char* unixPath) {
  std::wstring wide = L"Z:";
  for (const char* c = unixPath; *c != 0; ++c) wide += wchar_t(*c == '/' ? '\\' : *c);
  return wide;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The set-up installs the help file in the common data folder; the viewer is "hh.exe" in the
// Windows folder.
std::wstring InstalledHelpFile() {
  wchar_t common[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common);
  return std::wstring(common) + L"\\VellbrookSoftware\\Halvorn Pro 3\\Halvorn Pro 3.chm";
}

std::wstring WindowsViewer() {
  wchar_t windows[MAX_PATH] = L"";
  GetWindowsDirectoryW(windows, MAX_PATH);
  return std::wstring(windows) + L"\\hh.exe";
}

constexpr POINT kLight{300, 200};

// The stand-in takes the Windows viewer's place for the test; the viewer is put back after it,
// and first of all when an earlier run was stopped before it could do so.
class HelpDrive : public MachineSettingsFixture {
 protected:
  HelpDrive() : MachineSettingsFixture(L"helpdrive") {}
  void SetUp() override {
    MachineSettingsFixture::SetUp();
    m_Viewer = WindowsViewer();
    m_Kept = m_Viewer + L".kept-by-help-test";
    RestoreViewer();
    if (FileExists(m_Viewer)) {
      ASSERT_TRUE(MoveFileExW(m_Viewer.c_str(), m_Kept.c_str(), MOVEFILE_REPLACE_EXISTING));
    }
    ASSERT_TRUE(CopyFileW(FromBuild(BUILT_STANDIN_VIEWER_PATH).c_str(), m_Viewer.c_str(), FALSE)) << GetLastError();
    DeleteFileW(Log().c_str());
    WriteHighlightsDocument(1200, 900, 26, {kLight});
  }
  void TearDown() override {
    RestoreViewer();
    DeleteFileW(Log().c_str());
    MachineSettingsFixture::TearDown();
  }
  std::wstring Log() const { return m_Viewer + L".log"; }
  // A stand-in still running holds its file for a moment after it was told to quit.
  void RestoreViewer() {
    if (!FileExists(m_Kept)) return;
    WaitUntil([&] { return MoveFileExW(m_Kept.c_str(), m_Viewer.c_str(), MOVEFILE_REPLACE_EXISTING) != 0; }, 10000);
  }

  std::wstring m_Viewer, m_Kept;
};

}  // namespace

TEST_F(HelpDrive, EachRequestOpensItsPageAndEndsTheViewerBefore) {
  ASSERT_TRUE(FileExists(InstalledHelpFile())) << "the set-up's help file: " << Narrow(InstalledHelpFile());
  StoreSetting(2);
  struct Request {
    const char* commands;  // what the user does
    const char* page;      // the page the viewer is started on; null for the start page
  };
  const Request requests[] = {
      // The Quantity value box has the focus when the dialog opens.
      {"wait-idle 60\nkey F1\n", "QuantityControl.htm"},
      {"focus 1182\nkey F1\n", "EffectSelection.htm"},
      {"key D\nkey F1\n", "DisplayViewport.htm"},
      {"focus 1008\nkey F1\n", "AngleControl.htm"},
      {"focus 1122\nkey F1\n", "EffectsOnly.htm"},
      {"focus 1191\nkey F1\n", "ConfigureButton.htm"},
      {"press 1192\n", "MainDialog.htm"},
      {"key ?\n", "MainDialog.htm"},
      // F1 on the zoom menu's highlighted item, then the menu closed.
      {"key V\nkey down\nkey F1\nkey esc\n", "ViewportContextMenu.htm"},
      {"key help\n", nullptr},
      {"options\nchoose 1189\nkey F1\n", "OpenGLDrawingOptions.htm"},
      {"press 1196\n", "ConfigurationDialog.htm"},
      {"press 1200\n"
       "set qntY 100\nwait-idle 30\ntool edit\nzoom 100\nscroll 0 0\nclick 301 201\nexpect OK \"Accept Edit\"\n"
       "focus 1251\nkey F1\n",
       "EffectEditorBrightness.htm"},
      // In the editor, Effects Only has no page of its own.
      {"focus 1122\nkey F1\n", nullptr},
      {"press 1192\n", "EffectEditing.htm"},
  };
  std::string script;
  for (const Request& request : requests) script += request.commands;
  script += "press Cancel\nexpect OK OK\npress Cancel\n";
  ProcessResult run = Drive(script);
  ASSERT_EQ(run.exitCode, 2) << "the drive ends with Cancel\n" << run.output;

  const std::string helpFile = Narrow(InstalledHelpFile());
  const size_t count = std::size(requests);
  // The run has ended, and with it the last viewer.
  ASSERT_TRUE(WaitUntil([&] { return ReadViewerRecord(Log()).quits >= int(count); }, 15000))
      << ReadViewerRecord(Log()).quits << " of " << count << " viewers were told to quit\n" << run.output;
  ViewerRecord record = ReadViewerRecord(Log());
  std::string started;
  for (const ViewerStart& start : record.starts) started += "  " + start.document + "\n";
  ASSERT_EQ(record.starts.size(), count) << "viewers started on:\n" << started << run.output;
  EXPECT_EQ(record.quits, int(count)) << "every viewer was ended by the next request or by the end of the run";
  EXPECT_EQ(record.timeouts, 0);
  for (size_t i = 0; i < count; ++i) {
    const Request& request = requests[i];
    std::string expected = request.page != nullptr ? helpFile + "::/" + request.page : helpFile;
    EXPECT_EQ(record.starts[i].document, expected) << "request " << i + 1 << ":\n" << request.commands;
    EXPECT_EQ(record.starts[i].commandLine.find(Narrow(m_Viewer) + " ms-its:"), 0u) << record.starts[i].commandLine;
  }
}
