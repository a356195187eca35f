#include "ForeignWindows.h"

#include <vector>

namespace {

// Visible top-level windows over any of the areas, but those of `skippedProcess` (none when 0)
// and `skippedWindow`; only the first when `firstOnly`.
struct OverlapSearch {
  const RECT* areas;
  size_t count;
  DWORD skippedProcess;
  HWND skippedWindow;
  bool firstOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK NoteOverlappingWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<OverlapSearch*>(data);
  if (window == search->skippedWindow || !IsWindowVisible(window) || IsIconic(window)) return TRUE;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (search->skippedProcess != 0 && process == search->skippedProcess) return TRUE;
  RECT rectangle{}, overlap{};
  if (!GetWindowRect(window, &rectangle)) return TRUE;
  for (size_t i = 0; i < search->count; ++i) {
    if (!IntersectRect(&overlap, &rectangle, &search->areas[i])) continue;
    search->found.push_back(window);
    return search->firstOnly ? FALSE : TRUE;
  }
  return TRUE;
}

std::vector<HWND> WindowsOver(const RECT* areas, size_t count, DWORD skippedProcess, HWND skippedWindow, bool firstOnly) {
  OverlapSearch search{areas, count, skippedProcess, skippedWindow, firstOnly, {}};
  EnumWindows(NoteOverlappingWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

HWND ForeignWindowOver(const RECT* areas, size_t count) {
  std::vector<HWND> found = WindowsOver(areas, count, GetCurrentProcessId(), nullptr, true);
  return found.empty() ? nullptr : found.front();
}

bool WaitUntilUncovered(const RECT* areas, size_t count, DWORD limitMs) {
  ULONGLONG deadline = GetTickCount64() + limitMs;
  while (ForeignWindowOver(areas, count) != nullptr) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(20);
  }
  return true;
}

std::string DescribeWindow(HWND window) {
  if (window == nullptr) return "no window";
  wchar_t className[64] = {};
  GetClassNameW(window, className, int(sizeof className / sizeof className[0]));
  char narrow[192] = {};
  WideCharToMultiByte(CP_UTF8, 0, className, -1, narrow, sizeof narrow, nullptr, nullptr);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  RECT r{};
  GetWindowRect(window, &r);
  return "'" + std::string(narrow) + "' of process " + std::to_string(process) + " at (" + std::to_string(r.left) + "," +
         std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

std::string DescribeWindowsOver(const RECT& area, HWND except) {
  std::string described;
  for (HWND window : WindowsOver(&area, 1, 0, except, false)) described += (described.empty() ? "" : "; ") + DescribeWindow(window);
  return described;
}
