// The driver's commands that need no input (the preview's idle test, failing commands and their
// reasons, cancelling after a failure) against a stand-in dialog kept behind other windows, and
// the reference host's exit status when a drive fails.
#include <gtest/gtest.h>

#include "Driver.h"
#include "support/StandInDialog.h"
#include "TestSupport.h"

namespace {

class DriveCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(m_Dialog.Window(), nullptr);
    std::string error;
    ASSERT_TRUE(BeginDrive(m_Dialog.Window(), &m_Session, &error)) << error;
  }
  bool Run(const std::string& line, std::string* report) { return RunDriveCommand(ParsedDriveCommand(line), &m_Session, report); }

  StandInDialog m_Dialog{STANDIN_BEHIND};
  DriveSession m_Session;
};

}  // namespace

TEST(PreviewIdle, PresentedFrameMustReachTheQueuedOne) {
  struct Case {
    LONG_PTR queued, presented;
    bool idle;
  };
  const Case cases[] = {{0, 0, false}, {0, 5, false}, {1, 0, false}, {3, 2, false},
                        {3, 3, true},  {3, 4, true},  {1, 1, true},  {-1, 5, false}};
  for (const Case& c : cases)
    EXPECT_EQ(IsPreviewIdle(PreviewFrames{c.queued, c.presented}), c.idle) << c.queued << " " << c.presented;
}

TEST(PreviewIdle, FramesAreReadFromTheWindowsProperties) {
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  PreviewFrames frames{7, 7};
  EXPECT_FALSE(ReadPreviewFrames(window, &frames));
  EXPECT_EQ(frames.queued, 0);
  SetPropW(window, L"Halvorn.QueuedFrame", reinterpret_cast<HANDLE>(LONG_PTR(12)));
  SetPropW(window, L"Halvorn.PresentedFrame", reinterpret_cast<HANDLE>(LONG_PTR(11)));
  EXPECT_TRUE(ReadPreviewFrames(window, &frames));
  EXPECT_EQ(frames.queued, 12);
  EXPECT_EQ(frames.presented, 11);
  EXPECT_FALSE(IsPreviewIdle(frames));
  DestroyWindow(window);
}

TEST_F(DriveCommands, ExpectComparesTheControlsText) {
  std::string report;
  EXPECT_TRUE(Run("expect OK OK", &report)) << report;
  EXPECT_EQ(report, "ok");
  EXPECT_TRUE(Run("expect 1122 Effects &Only", &report)) << report;
  m_Session.textLimitMs = 200;
  EXPECT_FALSE(Run("expect Cancel Reset", &report));
  EXPECT_EQ(report, "the text is 'Cancel', not 'Reset'");
  EXPECT_FALSE(Run("expect 4242 x", &report));
  EXPECT_EQ(report, "the dialog has no control 4242");
}

TEST_F(DriveCommands, UnreachableControlsAreReportedWithoutInput) {
  std::string report;
  EXPECT_FALSE(Run("press 9999", &report));
  EXPECT_EQ(report, "the dialog has no control 9999");
  EnableWindow(m_Dialog.Control(IDCANCEL), FALSE);
  EXPECT_FALSE(Run("press Cancel", &report));
  EXPECT_EQ(report, "control Cancel is disabled");
  ShowWindow(m_Dialog.Control(IDOK), SW_HIDE);
  EXPECT_FALSE(Run("press OK", &report));
  EXPECT_EQ(report, "control OK is hidden");
  EXPECT_FALSE(m_Dialog.Ended());
}

TEST_F(DriveCommands, WaitIdleReportsTheFramesWhenItTimesOut) {
  std::string report;
  EXPECT_TRUE(Run("wait-idle 5", &report)) << report;
  EXPECT_EQ(report, "ok frame 1");
  m_Dialog.SetFrames(3, 2);
  EXPECT_FALSE(Run("wait-idle 0.3", &report));
  EXPECT_EQ(report, "time-out after 0.3 s (queued frame 3, presented 2)");
  m_Dialog.SetFrames(0, 0);
  EXPECT_FALSE(Run("wait-idle 0.2", &report));
  EXPECT_EQ(report, "time-out after 0.2 s (queued frame 0, presented 0)");
}

TEST(DriveWaitIdle, WaitsForTheFrameToBePresented) {
  StandInDialog dialog(STANDIN_BEHIND, 300);
  DriveSession session;
  std::string report;
  ASSERT_TRUE(BeginDrive(dialog.Window(), &session, &report)) << report;
  dialog.QueueFrame(2);
  EXPECT_TRUE(RunDriveCommand(ParsedDriveCommand("wait-idle 20"), &session, &report)) << report;
  EXPECT_EQ(report, "ok frame 2");
  PreviewFrames frames;
  ReadPreviewFrames(dialog.Control(kPreviewControlId), &frames);
  EXPECT_EQ(frames.presented, 2);
}

TEST_F(DriveCommands, CancellingAfterAFailureEndsTheDialogWithCancel) {
  std::string report;
  m_Session.textLimitMs = 100;
  EXPECT_FALSE(Run("expect OK Wrong", &report));
  CancelDialog(&m_Session);
  EXPECT_TRUE(m_Dialog.Ended());
  EXPECT_EQ(m_Dialog.Result(), IDCANCEL);
  EXPECT_FALSE(Run("expect OK OK", &report));
  EXPECT_EQ(report, "the dialog has closed");
}

TEST(DriveExit, AFailedDriveIsStatusOneWhateverTheHostSays) {
  EXPECT_EQ(DriveExitStatus(false, 0), 1);
  EXPECT_EQ(DriveExitStatus(false, 2), 1);
  EXPECT_EQ(DriveExitStatus(true, 0), 0);
  EXPECT_EQ(DriveExitStatus(true, 2), 2);
}

namespace {

ProcessResult RunHostWithScript(const std::string& script, const std::wstring& options) {
  std::wstring folder = MakeScratchFolder(L"drive");
  std::wstring file = folder + L"\\script.drive";
  WriteWholeFile(file, script);
  ProcessResult run = RunProcess(L"\"" + BuiltFilterHostPath() + L"\" \"" + BuiltPluginPath() + L"\" --drive \"" + file +
                                 L"\" --size 64x64 " + options);
  RemoveFolderTree(folder);
  return run;
}

}  // namespace

TEST(DriveExit, ABadScriptStopsTheHostBeforeThePluginRuns) {
  ProcessResult run = RunHostWithScript("wait-idle\npress OKAY\n", L"--trace");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("line 2: 'OKAY' is not a control (OK, Cancel, Reset or an id)"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("trace: PluginMain"), std::string::npos) << run.output;
}

TEST(DriveExit, ADialogThatNeverAppearsFailsTheRun) {
  ProcessResult run = RunHostWithScript("press OK\n", L"--play-info silent --set Lngt=40");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("drive: the plug-in's dialog did not appear"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("filterhost: the drive failed"), std::string::npos) << run.output;
}
