// The reference host driving the plug-in's real dialog with --drive: OK renders what a silent run
// renders, Cancel and Esc cancel without touching the document, expect passes and fails with the
// right exit status, and a screenshot shows the dialog at its size.
#include <gtest/gtest.h>

#include <objbase.h>

#include <cstdio>
#include <set>

#include "FilePixels.h"
#include "PngFiles.h"
#include "TestSupport.h"

namespace {

class FilterHostDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_Folder = MakeScratchFolder(L"hostdrive");
  }
  void TearDown() override {
    RemoveFolderTree(m_Folder);
    CoUninitialize();
  }
  std::wstring Path(const wchar_t* name) const { return m_Folder + L"\\" + name; }
  // The initial settings are played, so that the run does not depend on what another run left.
  ProcessResult RunHost(const std::wstring& arguments) const { return RunFilterHostWithInitialSettings(arguments); }
  ProcessResult Drive(const std::string& script, const std::wstring& arguments = L"") const {
    WriteWholeFile(Path(L"script.drive"), script);
    return RunHost(L"--drive \"" + Path(L"script.drive") + L"\" " + arguments);
  }

  std::wstring m_Folder;
};


}  // namespace

TEST_F(FilterHostDrive, OkAfterWaitIdleRendersWhatASilentRunRenders) {
  ProcessResult driven = Drive("wait-idle\npress OK\n", L"--out \"" + Path(L"driven.png") + L"\"");
  ASSERT_EQ(driven.exitCode, 0) << driven.output;
  EXPECT_NE(driven.output.find("drive: wait-idle: ok frame "), std::string::npos) << driven.output;
  EXPECT_NE(driven.output.find("drive: press OK: ok"), std::string::npos) << driven.output;
  ProcessResult silent = RunHost(L"--play-info silent --out \"" + Path(L"silent.png") + L"\"");
  ASSERT_EQ(silent.exitCode, 0) << silent.output;
  FilePixels fromDialog, fromSilentRun;
  ASSERT_TRUE(ReadPngForTest(Path(L"driven.png"), &fromDialog));
  ASSERT_TRUE(ReadPngForTest(Path(L"silent.png"), &fromSilentRun));
  EXPECT_EQ(fromDialog.width, 320);
  EXPECT_EQ(fromDialog.samples, fromSilentRun.samples);
}

TEST_F(FilterHostDrive, CancelAndEscapeCancelWithoutTouchingTheDocument) {
  for (const char* script : {"wait-idle\npress Cancel\n", "wait-idle\nkey esc\n"}) {
    SCOPED_TRACE(script);
    DeleteFileW(Path(L"out.png").c_str());
    ProcessResult run = Drive(script, L"--trace --out \"" + Path(L"out.png") + L"\"");
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_NE(run.output.find("returned -128 (user cancelled)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("filterhost: failed with -128 (user cancelled)"), std::string::npos) << run.output;
    // Nothing of the filtered image reached the host, and the host wrote no document.
    EXPECT_EQ(run.output.find("PluginMain(continue)"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("PluginMain(finish)"), std::string::npos) << run.output;
    EXPECT_FALSE(FileExists(Path(L"out.png")));
  }
}

TEST_F(FilterHostDrive, ExpectPassesOnTheRightTextAndFailsWithStatusOne) {
  ProcessResult right = Drive("expect OK OK\nexpect Cancel Cancel\npress OK\n");
  EXPECT_EQ(right.exitCode, 0) << right.output;
  EXPECT_NE(right.output.find("drive: expect OK OK: ok"), std::string::npos) << right.output;
  ProcessResult wrong = Drive("expect OK Commit\npress OK\n");
  EXPECT_EQ(wrong.exitCode, 1) << wrong.output;
  EXPECT_NE(wrong.output.find("drive: expect OK Commit: the text is 'OK', not 'Commit'"), std::string::npos) << wrong.output;
  EXPECT_NE(wrong.output.find("filterhost: the drive failed"), std::string::npos) << wrong.output;
  EXPECT_EQ(wrong.output.find("drive: press OK"), std::string::npos) << "the script went on after the failure";
}

TEST_F(FilterHostDrive, AScriptThatLeavesTheDialogOpenFails) {
  ProcessResult run = Drive("wait-idle\n");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("drive: the script ended with the dialog still open"), std::string::npos) << run.output;
}

TEST_F(FilterHostDrive, ScreenshotHasTheDialogsSizeAndIsNotBlank) {
  std::wstring file = Path(L"dialog.png");
  ProcessResult run = Drive("wait-idle\nscreenshot " + std::string(file.begin(), file.end()) + "\npress OK\n");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  int width = 0, height = 0;
  size_t at = run.output.find(": ok ", run.output.find("drive: screenshot "));
  ASSERT_NE(at, std::string::npos) << run.output;
  ASSERT_EQ(sscanf(run.output.c_str() + at, ": ok %dx%d", &width, &height), 2) << run.output;
  FilePixels pixels;
  ASSERT_TRUE(ReadPngForTest(file, &pixels));
  EXPECT_EQ(pixels.width, width);
  EXPECT_EQ(pixels.height, height);
  // The template is 669 x 449 dialog units: far wider than tall, and hundreds of pixels each way.
  EXPECT_GT(width, 600);
  EXPECT_GT(height, 400);
  EXPECT_GT(width, height);
  std::set<uint32_t> colours;
  for (int32_t y = 0; y < pixels.height; ++y)
    for (int32_t x = 0; x < pixels.width; ++x) {
      const uint8_t* pixel = pixels.Row(y) + size_t(pixels.channels) * x;
      colours.insert(uint32_t(pixel[0]) << 16 | uint32_t(pixel[1]) << 8 | pixel[2]);
    }
  EXPECT_GT(colours.size(), 16u) << "the screenshot is blank";
}

// Alt reaches the dialog whichever control has the focus: Cancel reads "Reset" while it is held,
// a click on it then resets the dialog without closing it, and releasing Alt restores "Cancel".
TEST_F(FilterHostDrive, HoldingAltTurnsCancelIntoResetWhichKeepsTheDialogOpen) {
  ProcessResult run = Drive(
      "wait-idle\n"
      "expect Cancel Cancel\n"
      "hold alt\n"
      "expect Cancel Reset\n"
      "release alt\n"
      "expect Cancel Cancel\n"
      "press Reset\n"
      "expect Cancel Cancel\n"
      "press OK\n",
      L"--out \"" + Path(L"out.png") + L"\"");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("drive: expect Cancel Reset: ok"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("drive: press Reset: ok"), std::string::npos) << run.output;
  EXPECT_TRUE(FileExists(Path(L"out.png")));
}
