// ConfigureOptions: the plug-in's global state brought up as for a host, and the options dialog
// run once per machine session; a second start brings the first dialog to the front instead.
#include "host/ConfigureOptions.h"

#include "host/Lifecycle.h"
#include "support/ErrorReport.h"
#include "ui/OptionsDialog.h"

namespace {

void ActivateRunningOptionsDialog() {
  HWND running = FindWindowW(L"#32770", kOptionsDialogCaption);
  if (running == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "ConfigureOptions() - Could not find existing window.");
    return;
  }
  if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
  SetForegroundWindow(running);
}

void RunOptionsDialogOnce(HWND parentWindow) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, kOptionsDialogMutexName);
  if (mutex == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "ConfigureOptions() - Failed to create Options Dialog Mutex.");
    return;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    ActivateRunningOptionsDialog();
  } else if (InitUI()) {
    OpenOptionsDialog(parentWindow);
    ReleaseMutex(mutex);
  }
  CloseHandle(mutex);
}

}  // namespace

extern "C" __declspec(dllexport) void CALLBACK ConfigureOptions(HWND parentWindow, HINSTANCE, LPSTR, int) noexcept {
  try {
    InitializeGlobals(filterSelectorAbout, parentWindow);
    ErrorReport(__LINE__, TraceMessage).Report("Opening Options dialog from start menu.\n\n");
    RunOptionsDialogOnce(parentWindow);
  } catch (...) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "ConfigureOptions() - Unexpected exception.");
  }
  ShutDown();
}
