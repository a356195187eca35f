// The help viewer's paths and its one running process. Help is asked for on the user-interface
// thread only, and the viewer is never waited for, so none of this is locked.
#include "support/HelpViewer.h"

#include <cerrno>
#include <cstring>
#include <cwchar>

#include "support/DataFolders.h"
#include "support/ErrorReport.h"
#include "support/TextConversion.h"

namespace {

constexpr size_t kMaxHelpPath = 1000;
constexpr size_t kMaxHelpDocument = 2000;
// A viewer that has not made its message queue yet cannot be told to quit; it is given this
// long to become idle before the message is posted again.
constexpr DWORD kViewerStartLimitMs = 3000;

struct HelpViewerState {
  wchar_t helpFile[kMaxHelpPath] = {};
  wchar_t viewer[kMaxHelpPath] = {};
  wchar_t testViewer[kMaxHelpPath] = {};
  HANDLE process = nullptr;
  HANDLE thread = nullptr;
  DWORD threadId = 0;
};
HelpViewerState gHelp;

const wchar_t* ViewerPath() { return gHelp.testViewer[0] != 0 ? gHelp.testViewer : gHelp.viewer; }

void ReportBuildFailure(const char* format) {
  ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, format, strerror(ERANGE));
}

}  // namespace

bool InitializeHelpViewer() {
  gHelp.helpFile[0] = gHelp.viewer[0] = 0;
  const wchar_t* common = GetCommonFolder();
  if (common == nullptr || wcslen(common) >= kMaxHelpPath) {
    if (common != nullptr) {
      ErrorReport(__LINE__, RuntimeLibraryError, ERANGE)
          .Report(kStyleError, kTitleUnexpectedError, "_tcscpy_s() failed with Common Data Folder = '%s'",
                  NarrowText(common).c_str());
    }
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "InitializeHelpViewer() Could not get the help file directory.");
    return false;
  }
  if (_snwprintf_s(gHelp.helpFile, kMaxHelpPath, _TRUNCATE, L"%ls\\%ls.chm", common, kHelpFileTitle) < 0) {
    gHelp.helpFile[0] = 0;
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "InitializeHelpViewer() Could not build a path to the product %s help file. Error '%s' was reported.",
                "Halvorn Pro 3", strerror(ERANGE));
    return false;
  }
  wchar_t windows[MAX_PATH] = {};
  UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "InitializeHelpViewer() Could not get the Windows directory.");
    return false;
  }
  if (_snwprintf_s(gHelp.viewer, kMaxHelpPath, _TRUNCATE, L"%ls\\hh.exe", windows) < 0) {
    gHelp.viewer[0] = 0;
    ReportBuildFailure("InitializeHelpViewer() Could not build a path to the help viewer executable. Error '%s' was reported.");
    return false;
  }
  return true;
}

void QuitHelpViewer() {
  if (gHelp.process == nullptr) return;
  if (!PostThreadMessageW(gHelp.threadId, WM_QUIT, 0, 0)) {
    // The viewer has no message queue until it has started up; once it waits for input it has one.
    WaitForInputIdle(gHelp.process, kViewerStartLimitMs);
    if (!PostThreadMessageW(gHelp.threadId, WM_QUIT, 0, 0) && WaitForSingleObject(gHelp.process, 0) == WAIT_TIMEOUT) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "QuitHelpViewer() - Could not post WM_QUIT to the HTML Help Viewer.");
    }
  }
  CloseHandle(gHelp.process);
  CloseHandle(gHelp.thread);
  gHelp.process = gHelp.thread = nullptr;
  gHelp.threadId = 0;
}

bool DisplayHelpInViewer(const wchar_t* document) {
  QuitHelpViewer();
  // CreateProcess may write into the command line, so it is built in a buffer of our own.
  wchar_t commandLine[kMaxHelpDocument + 1] = {};
  if (_snwprintf_s(commandLine, kMaxHelpDocument, _TRUNCATE, L"%ls ms-its:%ls", ViewerPath(), document) < 0) {
    ReportBuildFailure("DisplayHelpInViewer() Could not build a command line for the HTML Help Viewer. Error '%s' was reported.");
    return false;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  const wchar_t* application = ViewerPath()[0] != 0 ? ViewerPath() : nullptr;
  if (!CreateProcessW(application, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    DWORD error = GetLastError();
    if (started.hProcess != nullptr) CloseHandle(started.hProcess);
    if (started.hThread != nullptr) CloseHandle(started.hThread);
    ErrorReport(__LINE__, SystemError, error)
        .Report(kStyleError, kTitleUnexpectedError, "DisplayHelpInViewer() failed to spawn HTML Help Viewer command line '%s'.",
                NarrowText(commandLine).c_str());
    return false;
  }
  gHelp.process = started.hProcess;
  gHelp.thread = started.hThread;
  gHelp.threadId = started.dwThreadId;
  return true;
}

bool DisplayHelpFile() { return DisplayHelpInViewer(gHelp.helpFile); }

bool DisplayHelpPage(const wchar_t* page) {
  if (page == nullptr || page[0] == 0) return DisplayHelpFile();
  wchar_t document[kMaxHelpDocument] = {};
  if (_snwprintf_s(document, kMaxHelpDocument, _TRUNCATE, L"%ls::/%ls", gHelp.helpFile, page) < 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "DisplayHelpUsingURL() Could not build a document specification for URL '%s'. Error '%s' was reported.",
                NarrowText(page).c_str(), strerror(ERANGE));
    return false;
  }
  return DisplayHelpInViewer(document);
}

const wchar_t* GetHelpFilePath() { return gHelp.helpFile; }
const wchar_t* GetHelpViewerPath() { return ViewerPath(); }
HANDLE GetHelpViewerProcess() { return gHelp.process; }

void SetHelpViewerPathForTests(const wchar_t* path) {
  gHelp.testViewer[0] = 0;
  if (path != nullptr) wcsncpy_s(gHelp.testViewer, kMaxHelpPath, path, _TRUNCATE);
}
