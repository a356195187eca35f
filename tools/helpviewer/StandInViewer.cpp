// A stand-in for the HTML Help viewer in tests: it records the command line it was started with
// in "<its own path>.log", then waits for WM_QUIT as the real viewer does, and records the quit.
// Wine's viewer cannot show pages without an HTML engine, so tests see what was asked for here.
// The start line carries the process's creation time: viewers started one after the other may
// write their lines in another order, and tests put them back in the order they were asked for.
#include <windows.h>

#include <cstdio>

namespace {

// A viewer that nobody ends leaves by itself, so that a failed test leaves no process behind.
constexpr UINT kLifetimeMs = 60000;

void Record(const wchar_t* line) {
  wchar_t path[MAX_PATH + 8] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  wcscat_s(path, L".log");
  FILE* log = nullptr;
  if (_wfopen_s(&log, path, L"a, ccs=UTF-8") != 0 || log == nullptr) return;
  fwprintf(log, L"%ls\n", line);
  fclose(log);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  MSG message;
  // The queue exists before the start is recorded, so that whoever reads the record can post WM_QUIT.
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
  SetTimer(nullptr, 0, kLifetimeMs, nullptr);
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  unsigned long long createdTicks = (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  wchar_t line[4096];
  swprintf(line, 4096, L"start %llu %ls", createdTicks, GetCommandLineW());
  Record(line);
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER) {
      Record(L"timeout");
      return 1;
    }
    DispatchMessageW(&message);
  }
  Record(L"quit");
  return 0;
}
