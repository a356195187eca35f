// The dialog step of a filter run, driven in-process by the reference host: Cancel leaves the
// host's image untouched with the user's cancel, OK renders with what the dialog left in the
// current parameters, and the library is ready for the next run either way.
#include <gtest/gtest.h>

#include <numeric>

#include "HostSession.h"
#include "TestSupport.h"
#include "analysis/LightSourceAnalysis.h"
#include "params/ParameterBlock.h"
#include "resource.h"
#include "support/DataFolders.h"
#include "support/LogTestSupport.h"

extern "C" void PluginMain(int16 selector, void* record, intptr_t* data, int16* result) noexcept;

namespace {

double MeanOfPlanes(const std::vector<std::vector<uint8_t>>& planes, size_t count) {
  double sum = 0, samples = 0;
  for (size_t p = 0; p < count && p < planes.size(); ++p) {
    sum += std::accumulate(planes[p].begin(), planes[p].end(), 0.0);
    samples += double(planes[p].size());
  }
  return samples > 0 ? sum / samples : 0;
}

}  // namespace

class DialogRun : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Root = UseScratchDataFolders(L"dialogrun");
    m_Quiet = fopen("NUL", "w");
  }
  void TearDown() override {
    m_Session.reset();
    if (m_Quiet != nullptr) fclose(m_Quiet);
    SetDataFolderRoots(nullptr, nullptr);
    RemoveFolderTree(m_Root);
  }
  HostSession& Session() {
    HostOptions options;
    options.out = m_Quiet;
    m_Session = std::make_unique<HostSession>(HostDocument{}, options);
    m_Session->Attach(PluginMain);
    return *m_Session;
  }
  ParameterBlock StoredBlock() {
    ParameterBlock block{};
    memcpy(&block, *m_Session->Record()->parameters, sizeof block);
    return block;
  }

  std::wstring m_Root;
  FILE* m_Quiet = nullptr;
  std::unique_ptr<HostSession> m_Session;
};

TEST_F(DialogRun, CancelLeavesTheImageUntouchedAndTheNextRunWorks) {
  HostSession& session = Session();
  std::vector<std::vector<uint8_t>> before = session.Image().planes;
  ReportCapture capture;
  {
    MainDialogAnswer answer(IDCANCEL);
    EXPECT_EQ(session.RunFirstRun(), userCanceledErr);
    EXPECT_EQ(answer.Answered(), 1);
  }
  EXPECT_EQ(session.Image().planes, before);
  EXPECT_TRUE(capture.HasReport("CTLSETEVNT_END_CANCEL in ControlSetEventHandler(), *gResult set to -128."));
  EXPECT_FALSE(LightSourceAnalysisRunning()) << "the run's clean-up ran";
  EXPECT_TRUE(capture.Boxes().empty());
  MainDialogAnswer answer(IDOK);
  EXPECT_EQ(session.RunFirstRun(), noErr);
  EXPECT_NE(session.Image().planes, before);
}

TEST_F(DialogRun, OkRendersWithWhatTheDialogLeftInTheParameters) {
  HostSession& session = Session();
  double input = MeanOfPlanes(session.Image().planes, 3);
  {
    // "Effects Only" checked in the dialog: the render shows the effects on black.
    MainDialogAnswer answer(IDOK, {IDC_EFFECTS_ONLY});
    ASSERT_EQ(session.RunFirstRun(), noErr);
    EXPECT_EQ(answer.Answered(), 1);
  }
  EXPECT_EQ(StoredBlock().effectsOnly, 1) << "finish stores the dialog's parameters";
  double effectsOnly = MeanOfPlanes(session.Image().planes, 3);
  EXPECT_LT(effectsOnly, input / 2) << "the image was replaced by black under the effects";
  // The repeat run is silent and keeps the stored choice.
  MainDialogAnswer none(IDOK);
  EXPECT_EQ(session.RunRepeatRun(), noErr);
  EXPECT_EQ(none.Answered(), 0);
  EXPECT_EQ(StoredBlock().effectsOnly, 1);
}

TEST_F(DialogRun, OkSavesTheDialogsPlaceForTheNextRun) {
  ASSERT_NE(GetSettingsFolder(), nullptr);
  std::wstring file = std::wstring(GetSettingsFolder()) + L"\\UISettings.bin";
  HostSession& session = Session();
  MainDialogAnswer answer(IDOK);
  ASSERT_EQ(session.RunFirstRun(), noErr);
  std::vector<uint8_t> settings = ReadWholeFile(file);
  ASSERT_EQ(settings.size(), 52u);
  RECT saved{};
  memcpy(&saved, settings.data() + 8, sizeof saved);
  EXPECT_GT(saved.right - saved.left, 600) << "the dialog's window rectangle, at least the template's size";
  EXPECT_GT(saved.bottom - saved.top, 400);
}

// The dialog with its real preview, task and rendering context opened and closed twenty times in
// one host process: the process keeps no window of a closed dialog, no preview task has to be
// abandoned, and every run paints the same picture on the same document.
TEST_F(DialogRun, TwentyOpeningsLeaveNothingBehindAndPaintAlike) {
  ReportCapture capture;
  std::vector<std::vector<uint8_t>> original, painted;
  {
    HostSession& session = Session();
    original = session.Image().planes;
    MainDialogAnswer answer(IDOK);
    ASSERT_EQ(session.RunFirstRun(), noErr);
    painted = session.Image().planes;
  }
  ASSERT_NE(painted, original);
  m_Session.reset();
  int windows = -1;
  DWORD gdiObjects = 0;
  for (int run = 0; run < 20; ++run) {
    // The user picks the filter from the menu again: a first run of a new document of the host.
    HostSession& session = Session();
    ASSERT_TRUE(session.Image().planes == original);
    MainDialogAnswer answer(IDOK);
    ASSERT_EQ(session.RunFirstRun(), noErr) << "opening " << run;
    EXPECT_EQ(answer.Answered(), 1) << "opening " << run;
    EXPECT_TRUE(session.Image().planes == painted) << "opening " << run;
    m_Session.reset();
    if (run == 4) {
      windows = CountProcessWindows();
      gdiObjects = CountGdiObjects();
    }
  }
  EXPECT_EQ(CountProcessWindows(), windows);
  // Fifteen openings after the warm-up: one object kept per opening would show as fifteen. A
  // display context counts three (with its region and surface): one another thread holds for a
  // moment is released into the cache, so the count is given a moment to settle, and the cache
  // itself keeps as many as were ever held at once, which on a loaded machine has grown by two
  // or three after the warm-up (200 against 192 seen in one run, none when run alone).
  EXPECT_TRUE(WaitUntil([&] { return CountGdiObjects() <= gdiObjects + 9; }, 5000))
      << CountGdiObjects() << " GDI objects against " << gdiObjects << " after the fifth opening";
  EXPECT_FALSE(capture.HasReportContaining("forcibly aborted"));
  EXPECT_FALSE(capture.HasReportContaining("left to end on its own"));
  EXPECT_FALSE(capture.HasReportContaining("Timed out while waiting for Background Task exit"));
}
