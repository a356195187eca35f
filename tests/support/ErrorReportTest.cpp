// What each kind of report writes to the log and when a box is shown, and from which thread.
#include "support/ErrorReport.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "TestSupport.h"
#include "support/LogTestSupport.h"
#include "support/UserMessage.h"

namespace {

std::string LineContaining(const std::string& log, const std::string& needle) {
  for (const std::string& line : SplitLines(log)) {
    if (line.find(needle) != std::string::npos) return line;
  }
  return std::string();
}

}  // namespace

TEST(ErrorReport, EachKindWritesItsOwnLineFormat) {
  ReportCapture capture;
  std::string log = LogOf(LogModeImmediate, [] {
    ErrorReport(101, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "debug %d", 1);
    ErrorReport(102, EventMonitor).Report("event %s", "two");
    ErrorReport(103, TraceMessage).Report("trace three");
    ErrorReport(104, RuntimeLibraryError, 2).Report(kStyleError, kTitleUnexpectedError, "runtime four");
    ErrorReport(105, SystemError, ERROR_FILE_NOT_FOUND).Report(kStyleError, kTitleUnexpectedError, "system five");
    ErrorReport(106, MessageKind(42)).Report("never written");
  });
  std::regex debug(R"(^\d\d:\d\d:\d\d Thread 0x[0-9A-F]{4,}: Line 101: Debug Message: 'Debug:  Unexpected Error' - 'debug 1'$)");
  EXPECT_TRUE(std::regex_match(LineContaining(log, "debug 1"), debug)) << LineContaining(log, "debug 1");
  EXPECT_NE(LineContaining(log, "Line 102: Event Monitor: event two"), "");
  EXPECT_NE(LineContaining(log, "Line 103: Trace Message: trace three"), "");
  std::string runtime = LineContaining(log, "runtime four");
  EXPECT_NE(runtime.find("Line 104: C Run-Time Library Error: 'No such file or directory' : 'Debug:  Unexpected Error' - 'runtime four'"),
            std::string::npos) << runtime;
  std::string system = LineContaining(log, "system five");
  EXPECT_NE(system.find("Line 105: System Error: '"), std::string::npos) << system;
  EXPECT_EQ(system.find("\r"), std::string::npos);
  EXPECT_EQ(LineContaining(log, "never written"), "");
  EXPECT_TRUE(capture.Boxes().empty());
}

TEST(ErrorReport, MissingTitleAndMissingSystemTextPrintNull) {
  std::string log = LogOf(LogModeImmediate, [] {
    ErrorReport(201, DebugMessage).Report("no title");
    ErrorReport(202, SystemError, 0xDEADBEEF).Report(kStyleError, kTitleUnexpectedError, "unknown code");
  });
  EXPECT_NE(LineContaining(log, "no title").find("Debug Message: '(null)' - 'no title'"), std::string::npos);
  EXPECT_NE(LineContaining(log, "unknown code").find("System Error: '(null)' : 'Debug:  Unexpected Error'"), std::string::npos);
}

TEST(ErrorReport, OpenGLErrorsWriteOnlyWithACode) {
  std::string log = LogOf(LogModeImmediate, [] {
    OpenGLErrorReport(301, OpenGLError, 0).ReportIfError(kStyleError, kTitleUnexpectedError, "silent");
    OpenGLErrorReport(302, OpenGLError, 0x0502).ReportIfError(kStyleError, kTitleUnexpectedError, "draw failed");
    OpenGLErrorReport(303, OpenGLError, 0x1234).ReportIfError(kStyleError, kTitleUnexpectedError, "odd code");
  });
  EXPECT_EQ(LineContaining(log, "silent"), "");
  std::regex opengl(R"(^\d\d:\d\d:\d\d : Line 302: OpenGL Error: 'An invalid operation was attempted' : 'Debug:  Unexpected Error' - 'draw failed'$)");
  EXPECT_TRUE(std::regex_match(LineContaining(log, "draw failed"), opengl)) << LineContaining(log, "draw failed");
  EXPECT_NE(LineContaining(log, "odd code").find("'Unrecognized OpenGL Error 1234'"), std::string::npos);
  // The OpenGL line carries its own line feed: no blank line may follow it.
  std::vector<std::string> lines = SplitLines(log);
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].find("draw failed") != std::string::npos) {
      EXPECT_NE(lines[i + 1], "");
    }
  }
}

TEST(ErrorReport, OpenGLErrorTexts) {
  char buffer[48];
  EXPECT_STREQ(OpenGLErrorText(0, buffer, sizeof buffer), "Success");
  EXPECT_STREQ(OpenGLErrorText(0x0500, buffer, sizeof buffer), "An invalid enumeration was specified");
  EXPECT_STREQ(OpenGLErrorText(0x0505, buffer, sizeof buffer), "OpenGL memory is exhausted");
  EXPECT_STREQ(OpenGLErrorText(0x0506, buffer, sizeof buffer), "Unrecognized OpenGL Error 506");
}

class UserMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DialogProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"HalvornTestDialog";
    RegisterClassW(&windowClass);
    m_Host = CreateWindowW(L"STATIC", L"host", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    m_Dialog = CreateWindowW(L"HalvornTestDialog", L"dialog", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    InitializeUserMessages(m_Host, GetCurrentThreadId());
  }
  void TearDown() override {
    SetDialogPostingTarget(nullptr);
    InitializeUserMessages(nullptr, 0);
    DestroyWindow(m_Dialog);
    DestroyWindow(m_Host);
  }
  static LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP_SHOW_MESSAGE) {
      ShowPostedUserMessage(window, wParam);
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
  // Dispatches this thread's messages until the boxes have been shown; false after the time limit.
  bool PumpUntil(const ReportCapture& capture, size_t boxes) {
    return WaitUntil([&] {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      return capture.Boxes().size() >= boxes;
    });
  }
  HWND m_Host = nullptr;
  HWND m_Dialog = nullptr;
};

TEST_F(UserMessages, OnTheInterfaceThreadTheBoxIsShownAtOnceOverTheOwner) {
  ReportCapture capture;
  ErrorReport(__LINE__, UserMessage).Report(kStyleError | MB_YESNO, kTitleExitingPlugin, "Shown now.");
  ASSERT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(capture.Boxes()[0].owner, m_Host);
  EXPECT_EQ(capture.Boxes()[0].text, "Shown now.");
  EXPECT_EQ(capture.Boxes()[0].title, kTitleExitingPlugin);
  EXPECT_EQ(capture.Boxes()[0].style, UINT(kStyleError | MB_YESNO | kSetForegroundStyle));
}

TEST_F(UserMessages, FromAWorkerWhileTheDialogIsOpenTheDialogShowsItWithItsIconOnly) {
  ReportCapture capture;
  HWND previous = SetMessageBoxOwner(m_Dialog);
  EXPECT_EQ(previous, m_Host);
  SetDialogPostingTarget(m_Dialog);
  std::thread worker([] { ErrorReport(__LINE__, UserMessage).Report(kStyleWarning | MB_YESNO, kTitleWarning, "From a worker."); });
  worker.join();
  EXPECT_TRUE(capture.Boxes().empty()) << "the worker must not show the box itself";
  EXPECT_TRUE(PumpUntil(capture, 1));
  ASSERT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(capture.Boxes()[0].owner, m_Dialog);
  EXPECT_EQ(capture.Boxes()[0].text, "From a worker.");
  EXPECT_EQ(capture.Boxes()[0].title, kTitleWarning);
  EXPECT_EQ(capture.Boxes()[0].style, UINT(kStyleWarning | kSetForegroundStyle));
  SetMessageBoxOwner(previous);
}

TEST_F(UserMessages, FromAWorkerBeforeAnyDialogTheBoxIsOwnedByTheActiveWindow) {
  ReportCapture capture;
  std::thread worker([] { ErrorReport(__LINE__, UserMessage).Report(kStyleInformation, kTitlePleaseNote, "No dialog yet."); });
  worker.join();
  ASSERT_EQ(capture.Boxes().size(), 1u);
  EXPECT_NE(capture.Boxes()[0].owner, m_Dialog);
  EXPECT_EQ(capture.Boxes()[0].style, UINT(kStyleInformation | kSetForegroundStyle));
}

TEST_F(UserMessages, OwnerChangesOnlyOnTheInterfaceThreadAndOnlyToLiveWindows) {
  EXPECT_EQ(SetMessageBoxOwner(reinterpret_cast<HWND>(0x1234)), nullptr);
  HWND fromWorker = m_Host;
  std::thread worker([&] { fromWorker = SetMessageBoxOwner(m_Dialog); });
  worker.join();
  EXPECT_EQ(fromWorker, nullptr);
  EXPECT_EQ(GetMessageBoxOwner(), m_Host);
}
