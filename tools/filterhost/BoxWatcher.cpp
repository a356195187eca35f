// Polls this process's windows for message boxes (dialog class with a static text item 0xFFFF)
// and presses their default button, and confirms the plug-in's main dialog (the dialog with a
// preview control 1040) and its About box (report control 3202) with OK, once per dialog. Other
// dialogs are left alone.
#include "BoxWatcher.h"

#include <windows.h>

#include <atomic>
#include <thread>

namespace {

std::atomic<bool> gWatching{false};
std::atomic<int> gAnswered{0};
std::thread gWatcher;
FILE* gOut = nullptr;
HWND gAnsweredDialog = nullptr;
MainDialogAnswer gMainDialog = MAIN_DIALOG_CONFIRM;

constexpr int kPreviewControlId = 1040;
constexpr int kAboutTitleControlId = 3201;
constexpr int kAboutReportControlId = 3202;
HWND gAnsweredAbout = nullptr;

// An unattended run takes the parameters the dialog opened with.
void ConfirmMainDialog(HWND window) {
  if (window == gAnsweredDialog) return;
  gAnsweredDialog = window;
  char title[256] = {};
  GetWindowTextA(window, title, sizeof title);
  fprintf(gOut, "dialog: '%s' confirmed with OK\n", title);
  fflush(gOut);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
}

// The plug-in's About box: its heading (product and version) printed, then closed with OK.
void AnswerAboutBox(HWND window) {
  if (window == gAnsweredAbout) return;
  gAnsweredAbout = window;
  char title[256] = {};
  char heading[512] = {};
  GetWindowTextA(window, title, sizeof title);
  GetWindowTextA(GetDlgItem(window, kAboutTitleControlId), heading, sizeof heading);
  // Its lines joined by one blank, as one line of the report.
  char* kept = heading;
  for (const char* c = heading; *c != 0; ++c) {
    if (*c != '\r') *kept++ = *c == '\n' ? ' ' : *c;
  }
  *kept = 0;
  fprintf(gOut, "about box: '%s' - '%s'\n", title, heading);
  fflush(gOut);
  ++gAnswered;
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
}

BOOL CALLBACK AnswerBox(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (strcmp(className, "#32770") != 0) return TRUE;
  // The system's file dialogs are answered by a user (or a drive's `file`), never dismissed.
  if (GetDlgItem(window, 0x47C) != nullptr || GetDlgItem(window, 0x480) != nullptr) return TRUE;
  if (GetDlgItem(window, kPreviewControlId) != nullptr) {
    if (gMainDialog == MAIN_DIALOG_CONFIRM) ConfirmMainDialog(window);
    return TRUE;
  }
  if (GetDlgItem(window, kAboutReportControlId) != nullptr) {
    AnswerAboutBox(window);
    return TRUE;
  }
  HWND text = GetDlgItem(window, 0xFFFF);
  if (text == nullptr) return TRUE;
  char title[256] = {};
  char message[2048] = {};
  GetWindowTextA(window, title, sizeof title);
  GetWindowTextA(text, message, sizeof message);
  fprintf(gOut, "message box: '%s' - '%s'\n", title, message);
  fflush(gOut);
  ++gAnswered;
  PostMessageW(window, WM_COMMAND, IDOK, 0);
  PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

void StartBoxWatcher(FILE* out, MainDialogAnswer mainDialog) {
  if (gWatching.exchange(true)) return;
  gMainDialog = mainDialog;
  gOut = out;
  gWatcher = std::thread([] {
    while (gWatching) {
      EnumWindows(AnswerBox, 0);
      Sleep(100);
    }
  });
}

void StopBoxWatcher() {
  if (!gWatching.exchange(false)) return;
  gWatcher.join();
}

int AnsweredBoxCount() { return gAnswered; }
