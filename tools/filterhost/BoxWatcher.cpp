// Polls this process's windows for message boxes (dialog class with a static text item 0xFFFF)
// and presses their default button. Other dialogs are left alone.
#include "BoxWatcher.h"

#include <windows.h>

#include <atomic>
#include <thread>

namespace {

std::atomic<bool> gWatching{false};
std::atomic<int> gAnswered{0};
std::thread gWatcher;
FILE* gOut = nullptr;

BOOL CALLBACK AnswerBox(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  HWND text = GetDlgItem(window, 0xFFFF);
  if (strcmp(className, "#32770") != 0 || text == nullptr) return TRUE;
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

void StartBoxWatcher(FILE* out) {
  if (gWatching.exchange(true)) return;
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
