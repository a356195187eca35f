// The entry and its selectors, driven in-process by the reference host's filter record in
// every host profile: handles, memory negotiation, rectangles, suites and failures.
#include <gtest/gtest.h>

#include <objbase.h>

#include <memory>
#include <process.h>
#include <string>

#include "HostCallbacks.h"
#include "HostHandleSuite.h"
#include "HostSession.h"
#include "TestSupport.h"
#include "analysis/LightSourceAnalysis.h"
#include "analysis/LightSourceTable.h"
#include "host/MemoryNegotiation.h"
#include "params/ParameterBlock.h"
#include "support/DataFolders.h"
#include "support/FaultInjection.h"
#include "support/LogTestSupport.h"

extern "C" void PluginMain(int16 selector, void* record, intptr_t* data, int16* result) noexcept;

class PluginEntry : public ::testing::TestWithParam<HostProfile> {
 protected:
  void SetUp() override {
    m_Root = UseScratchDataFolders(L"entry");
    ResetHostObservations();
    GetHandleFailures() = HandleFailures{};
    GetHandleStatistics() = HandleStatistics{};
    m_Quiet = fopen("NUL", "w");
    m_Answer = std::make_unique<MainDialogAnswer>(IDOK);
  }
  void TearDown() override {
    m_Session.reset();
    m_Answer.reset();
    GetHandleFailures() = HandleFailures{};
    if (m_Quiet != nullptr) fclose(m_Quiet);
    SetDataFolderRoots(nullptr, nullptr);
    RemoveFolderTree(m_Root);
  }
  HostSession& Session(HostDocument document = HostDocument{}, HostProfile profile = HOST_PHOTOSHOP, HostOptions options = HostOptions{}) {
    options.profile = profile;
    options.out = m_Quiet;
    m_Session = std::make_unique<HostSession>(document, options);
    m_Session->Attach(PluginMain);
    return *m_Session;
  }
  ParameterBlock StoredBlock() {
    ParameterBlock block{};
    memcpy(&block, *m_Session->Record()->parameters, sizeof block);
    return block;
  }
  uint8_t ShowDialogFlag() { return uint8_t(**reinterpret_cast<Handle>(m_Session->DataCell())); }

  std::wstring m_Root;
  FILE* m_Quiet = nullptr;
  std::unique_ptr<HostSession> m_Session;
  // Runs that ask for the dialog get it confirmed with OK, as a user taking the opening values.
  std::unique_ptr<MainDialogAnswer> m_Answer;
};

TEST_P(PluginEntry, FirstRunCreatesTheHandlesAndARepeatRunKeepsTheStoredParameters) {
  ReportCapture capture;
  HostSession& session = Session(HostDocument{}, GetParam());
  ASSERT_EQ(session.CallSelector(filterSelectorParameters), noErr);
  Handle parameters = session.Record()->parameters;
  ASSERT_TRUE(IsLiveHandle(parameters));
  EXPECT_EQ(SizeOfHandle(parameters), 40);
  EXPECT_EQ(SizeOfHandle(reinterpret_cast<Handle>(session.DataCell())), 1);
  EXPECT_EQ(ShowDialogFlag(), 1);
  ParameterBlock defaults = InitialParameterBlock();
  EXPECT_EQ(memcmp(*parameters, &defaults, sizeof defaults), 0);
  ASSERT_EQ(session.CallSelector(filterSelectorPrepare), noErr);
  ASSERT_EQ(session.CallSelector(filterSelectorStart), noErr);
  EXPECT_EQ(m_Answer->Answered(), 1) << "a first run shows the dialog";
  EXPECT_EQ(ShowDialogFlag(), 0) << "start consumes the dialog request";
  // What the user settled on in the run is what finish stores (the registry where the host has
  // one, the last-used file otherwise); a repeat run starts from it.
  reinterpret_cast<ParameterBlock*>(*parameters)->intensity = 77;
  ASSERT_EQ(session.CallSelector(filterSelectorFinish), noErr);
  reinterpret_cast<ParameterBlock*>(*parameters)->intensity = 12;
  EXPECT_EQ(session.RunRepeatRun(), noErr);
  EXPECT_EQ(session.Record()->parameters, parameters);
  EXPECT_EQ(StoredBlock().intensity, 77);
  EXPECT_EQ(ShowDialogFlag(), 0);
  EXPECT_EQ(m_Answer->Answered(), 1) << "a repeat run shows no dialog";
  EXPECT_EQ(LockCountOf(parameters), 0);
  EXPECT_EQ(LockCountOf(reinterpret_cast<Handle>(session.DataCell())), 0);
  EXPECT_EQ(GetHandleStatistics().misuse, 0);
  EXPECT_TRUE(capture.Boxes().empty());
}

// A played action decides whether the run asks for the dialog, and its values are the run's.
TEST(PluginEntryActions, ThePlayInfoOfACompleteActionDecidesTheDialog) {
  std::wstring root = UseScratchDataFolders(L"entryactions");
  FILE* quiet = fopen("NUL", "w");
  std::vector<uint8_t> bytes = ReadWholeFile(ExamplesPath() + L"\\default-settings.txt");
  std::string text(bytes.begin(), bytes.end());
  text.replace(text.find("Lngt UntF #Prc 50"), 17, "Lngt UntF #Prc 62");
  for (int16 playInfo : {plugInDialogSilent, plugInDialogDisplay}) {
    ReportCapture capture;
    MainDialogAnswer answer(IDOK);
    HostOptions options;
    options.out = quiet;
    options.offerDescriptor = true;
    options.playInfo = playInfo;
    std::string error;
    ASSERT_TRUE(ParseDescriptor(text, &options.play, &error)) << error;
    HostSession session(HostDocument{}, options);
    session.Attach(PluginMain);
    ASSERT_EQ(session.RunRepeatRun(), noErr);
    ParameterBlock block{};
    memcpy(&block, *session.Record()->parameters, sizeof block);
    EXPECT_EQ(block.length, 62);
    EXPECT_EQ(answer.Answered(), playInfo == plugInDialogDisplay ? 1 : 0) << playInfo;
    EXPECT_TRUE(capture.Boxes().empty());
  }
  fclose(quiet);
  SetDataFolderRoots(nullptr, nullptr);
  RemoveFolderTree(root);
}

TEST_P(PluginEntry, StartAnalysesTheImageAndEndsTheAnalysisWithTheRun) {
  ReportCapture capture;
  HostDocument document;
  document.width = 700;
  document.height = 400;
  HostSession& session = Session(document, GetParam());
  ASSERT_EQ(session.RunFirstRun(), noErr);
  std::string summary;
  for (const CapturedReport& report : capture.Reports()) {
    if (report.text.rfind("Light source analysis: ", 0) == 0) summary = report.text;
  }
  // The test document carries a small highlight every 97 columns and 89 rows: 7 × 5 of them.
  EXPECT_EQ(summary.rfind("Light source analysis: 35 light sources;", 0), 0u) << summary;
  EXPECT_FALSE(LightSourceAnalysisRunning());
  EXPECT_EQ(gLightSourceTable.count, 0u) << "the table goes with the run";
  EXPECT_TRUE(capture.Boxes().empty());
}

TEST_P(PluginEntry, CancelWhileWaitingForTheAnalysisEndsTheRunUntouched) {
  HostDocument document;
  document.width = 4000;
  document.height = 3000;
  HostOptions options;
  options.profile = GetParam();
  options.out = m_Quiet;
  options.cancelAtPercent = 0;
  m_Session = std::make_unique<HostSession>(document, options);
  m_Session->Attach(PluginMain);
  std::vector<std::vector<uint8_t>> before = m_Session->Image().planes;
  // A silent run, so that the render starts while the analysis is still at work: the dialog would
  // give the analysis all the time it needs.
  ASSERT_EQ(m_Session->CallSelector(filterSelectorParameters), noErr);
  **reinterpret_cast<Handle>(m_Session->DataCell()) = 0;
  ReportCapture capture;
  EXPECT_EQ(m_Session->RunRepeatRun(), userCanceledErr);
  EXPECT_EQ(m_Answer->Answered(), 0);
  EXPECT_TRUE(capture.HasReport("DisplayImageEditorProgressBar returned false in ProcessImage(), *gResult set to -128."));
  EXPECT_FALSE(LightSourceAnalysisRunning());
  EXPECT_EQ(m_Session->Image().planes, before);
}

TEST_P(PluginEntry, SuitesAreBalancedAndWatchSuspensionOnlyWhereTheHostOffersIt) {
  HostSession& session = Session(HostDocument{}, GetParam());
  ASSERT_EQ(session.RunFirstRun(), noErr);
  const HostObservations& seen = GetHostObservations();
  EXPECT_EQ(seen.acquisitions, seen.releases);
  if (GetParam() == HOST_PHOTOSHOP || GetParam() == HOST_PDN) {
    // Property and error suites for the run; registry and action descriptor at start and at finish.
    EXPECT_EQ(seen.acquisitions, 6);
    EXPECT_EQ(seen.watchSetCalls, 1);
    EXPECT_EQ(seen.watchValue, 1);
  } else {
    EXPECT_EQ(seen.watchSetCalls, 0);  // no SPBasic, or property procs reported with count 0
  }
}

TEST_P(PluginEntry, ContinueEmptiesTheRectanglesOfTheHostsForm) {
  HostSession& session = Session(HostDocument{}, GetParam());
  ASSERT_EQ(session.CallSelector(filterSelectorPrepare), noErr);
  ASSERT_EQ(session.CallSelector(filterSelectorStart), noErr);
  FilterRecord* record = session.Record();
  record->inRect = record->outRect = record->maskRect = Rect{1, 2, 3, 4};
  if (BigDocumentStruct* big = session.BigDocument()) big->inRect32 = big->outRect32 = big->maskRect32 = VRect{1, 2, 3, 4};
  ASSERT_EQ(session.CallSelector(filterSelectorContinue), noErr);
  if (BigDocumentStruct* big = session.BigDocument()) {
    EXPECT_EQ(big->PluginUsing32BitCoordinates, 1);
    EXPECT_EQ(big->inRect32.right, 0);
    EXPECT_EQ(big->outRect32.bottom, 0);
    EXPECT_EQ(big->maskRect32.left, 0);
    EXPECT_EQ(record->inRect.right, 4) << "the 16-bit form is the host's to ignore";
  } else {
    EXPECT_EQ(record->inRect.right, 0);
    EXPECT_EQ(record->outRect.bottom, 0);
    EXPECT_EQ(record->maskRect.left, 0);
  }
  ASSERT_EQ(session.CallSelector(filterSelectorFinish), noErr);
}

TEST_P(PluginEntry, PrepareAsksForMemoryByImageSizeWithoutWrapping) {
  HostDocument small;
  small.width = small.height = 1000;
  HostSession& session = Session(small, GetParam());
  session.Record()->maxSpace = 1 << 30;
  ASSERT_EQ(session.CallSelector(filterSelectorPrepare), noErr);
  EXPECT_EQ(session.Record()->bufferSpace, 36000000);
  EXPECT_EQ(session.Record()->maxSpace, 2 * 1000 * 1000 * 3);
  session.CallSelector(filterSelectorFinish);

  HostDocument huge;
  huge.width = huge.height = 30000;
  HostSession& big = Session(huge, GetParam());
  ASSERT_EQ(big.CallSelector(filterSelectorPrepare), noErr);
  EXPECT_EQ(big.Record()->bufferSpace, 1000000000);
  big.CallSelector(filterSelectorFinish);
}

INSTANTIATE_TEST_SUITE_P(EveryHost, PluginEntry,
                         ::testing::Values(HOST_PHOTOSHOP, HOST_PDN, HOST_PSPI, HOST_AFFINITY),
                         [](const ::testing::TestParamInfo<HostProfile>& info) { return std::string(HostProfileName(info.param)); });

TEST(MemoryNegotiation, DepthsMasksAndSmallTiles) {
  EXPECT_EQ(RequiredBufferSpace(plugInModeGray16, 1000, 1000), 16 * (2 * 1000000 + 1250000));
  EXPECT_EQ(RequiredBufferSpace(plugInModeRGB96, 1000, 1000), 16 * (4 * 1000000 + 1250000));
  EXPECT_EQ(RequiredBufferSpace(plugInModeRGBColor, 0, 0), 20000000);
  EXPECT_EQ(RequiredBufferSpace(plugInModeRGB96, 32767, 32767), 1000000000);
  EXPECT_EQ(TileSpaceAllowance(5000, 3000, 3, true), 2 * 1024 * 1024 * 4);
  EXPECT_EQ(TileSpaceAllowance(100, 50, 1, false), 2 * 100 * 50);
}

class PluginEntryFailures : public PluginEntry {};

TEST_F(PluginEntryFailures, AHostThatCannotMakeTheParametersHandleEndsTheRunWithABox) {
  ReportCapture capture;
  HostSession& session = Session();
  GetHandleFailures().failNewAfter = 0;
  EXPECT_EQ(session.CallSelector(filterSelectorParameters), memFullErr);
  ASSERT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(capture.Boxes()[0].text, "Could not access the parameters provided by the host editor.");
  EXPECT_EQ(capture.Boxes()[0].title, "Error - Exiting Plug-in");
  EXPECT_EQ(capture.Boxes()[0].style & 0xF0, 16u);
}

TEST_F(PluginEntryFailures, AHostThatCannotMakeTheDataHandleEndsTheRunWithABox) {
  ReportCapture capture;
  HostSession& session = Session();
  GetHandleFailures().failNewAfter = 1;
  EXPECT_EQ(session.CallSelector(filterSelectorPrepare), memFullErr);
  ASSERT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(capture.Boxes()[0].text, "Could not access the data provided by the host editor.");
}

TEST_F(PluginEntryFailures, HandlesThatCannotBeLockedEndTheRunAndTheLibraryStartsAfresh) {
  ReportCapture capture;
  HostSession& session = Session();
  GetHandleFailures().failLock = true;
  EXPECT_EQ(session.CallSelector(filterSelectorParameters), memFullErr);
  ASSERT_FALSE(capture.Boxes().empty());
  EXPECT_EQ(capture.Boxes().back().text, "Could not access the filter data provided by the host editor.");
  // The failed selector shut the library down: its log is closed and complete.
  EXPECT_NE(ReadLogText(LogPathNumber(m_Root, 0)).find("Log closed"), std::string::npos);
  GetHandleFailures().failLock = false;
  capture.Clear();
  EXPECT_EQ(session.RunFirstRun(), noErr);
  EXPECT_TRUE(capture.Boxes().empty());
  EXPECT_EQ(GetHandleStatistics().misuse, 0);
}

TEST_F(PluginEntryFailures, StartWithoutTheHandlesIsRefused) {
  ReportCapture capture;
  HostSession& session = Session();
  EXPECT_EQ(session.CallSelector(filterSelectorStart), filterBadParameters);
  ASSERT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(capture.Boxes()[0].text, "Could not access the handles provided by the host editor.");
}

TEST_F(PluginEntryFailures, AnUnknownSelectorChangesNothing) {
  HostSession& session = Session();
  intptr_t data = 0;
  int16 result = 0;
  PluginMain(6, session.Record(), &data, &result);
  PluginMain(-1, session.Record(), &data, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(data, 0);
  EXPECT_EQ(session.Record()->parameters, nullptr);
  EXPECT_EQ(GetHostObservations().acquisitions, 0);
  EXPECT_FALSE(FileExists(LogPathNumber(m_Root, 0)));
}

TEST_F(PluginEntryFailures, AResultAlreadySetBeforeParametersIsKept) {
  HostSession& session = Session();
  intptr_t data = 0;
  int16 result = userCanceledErr;
  PluginMain(filterSelectorParameters, session.Record(), &data, &result);
  EXPECT_EQ(result, userCanceledErr);
  EXPECT_EQ(session.Record()->parameters, nullptr);
}

// A host that runs its thread in the multithreaded apartment keeps it: the filter accepts that
// mode and must not uninitialise a COM it did not initialise.
TEST_F(PluginEntryFailures, COMOfAnotherApartmentModeIsAcceptedAndLeftAlone) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  HostSession& session = Session();
  EXPECT_EQ(session.RunFirstRun(), noErr);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "the host's COM was uninitialised";
  CoUninitialize();
  CoUninitialize();
}

namespace {

// The About box of this process, read and closed with OK from a second thread while the
// selector's thread runs it.
struct AboutBoxAnswer {
  std::string heading;
  static BOOL CALLBACK Note(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t caption[64] = {};
    GetWindowTextW(window, caption, 64);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) || wcscmp(caption, L"About Halvorn Pro 3") != 0)
      return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  static unsigned __stdcall Answer(void* self) {
    HWND box = nullptr;
    WaitUntil([&] { return EnumWindows(Note, reinterpret_cast<LPARAM>(&box)), box != nullptr; }, 30000);
    if (box == nullptr) return 0;
    char text[512] = {};
    GetDlgItemTextA(box, 3201, text, sizeof text);
    static_cast<AboutBoxAnswer*>(self)->heading = text;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
  }
};

}  // namespace

TEST_F(PluginEntryFailures, AboutShowsTheVersionAndLeavesNothingRunning) {
  ReportCapture capture;
  HostSession& session = Session();
  AboutBoxAnswer answer;
  HANDLE hand = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, AboutBoxAnswer::Answer, &answer, 0, nullptr));
  EXPECT_EQ(session.RunAbout(), noErr);
  WaitForSingleObject(hand, 30000);
  CloseHandle(hand);
  EXPECT_NE(answer.heading.find("Version 3.0.1.0"), std::string::npos) << answer.heading;
  EXPECT_TRUE(capture.Boxes().empty());
  EXPECT_EQ(GetHostObservations().acquisitions, 0) << "about acquires no suites";
  EXPECT_NE(ReadLogText(LogPathNumber(m_Root, 0)).find("Log closed"), std::string::npos);
}

// The parameters selector sets no result of its own when the user interface cannot be
// initialised; prepare tries again and, failing too, ends the run with -108.
TEST_F(PluginEntryFailures, AFailedInitialisationEndsTheRunAtPrepareNotAtParameters) {
  ReportCapture capture;
  HostSession& session = Session();
  ArmFault(FAULT_COM_INITIALIZE, 2);
  EXPECT_EQ(session.CallSelector(filterSelectorParameters), noErr);
  EXPECT_TRUE(capture.HasReport("Error:  CoInitialize returned 0x8007000E."));
  EXPECT_EQ(session.CallSelector(filterSelectorPrepare), memFullErr);
  EXPECT_TRUE(capture.HasReport("InitUI failed in DoPrepare(), *gResult set to -108."));
  DisarmFaults();
}

// The whole run as the host sees it: an analysis that cannot start ends the start selector with
// -1715 and leaves the library ready for the next run, instead of hanging the host.
TEST_F(PluginEntryFailures, AnAnalysisThatCannotStartEndsTheRunAndTheNextRunWorks) {
  ReportCapture capture;
  HostSession& session = Session();
  ArmFault(FAULT_ANALYSIS_THREAD_START);
  EXPECT_EQ(session.RunFirstRun(), errMissingParameter);
  EXPECT_TRUE(capture.HasReport("Could not initiate light source table initialization"));
  DisarmFaults();
  EXPECT_EQ(session.RunRepeatRun(), noErr);
}
