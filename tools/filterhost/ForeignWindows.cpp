#include "ForeignWindows.h"

namespace {

struct CoverSearch {
  RECT area;
  DWORD ownProcess;
  HWND found;
};

BOOL CALLBACK NoteCoveringWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<CoverSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == search->ownProcess || !IsWindowVisible(window) || IsIconic(window)) return TRUE;
  RECT rectangle{}, overlap{};
  if (!GetWindowRect(window, &rectangle) || !IntersectRect(&overlap, &rectangle, &search->area)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND ForeignWindowOver(const RECT& area) {
  CoverSearch search{area, GetCurrentProcessId(), nullptr};
  EnumWindows(NoteCoveringWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool WaitUntilUncovered(const RECT& area, DWORD limitMs) {
  ULONGLONG deadline = GetTickCount64() + limitMs;
  while (ForeignWindowOver(area) != nullptr) {
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

namespace {

struct OverlapListing {
  RECT area;
  HWND except;
  std::string found;
};

BOOL CALLBACK ListOverlappingWindow(HWND window, LPARAM data) {
  auto* listing = reinterpret_cast<OverlapListing*>(data);
  RECT rectangle{}, overlap{};
  if (window == listing->except || !IsWindowVisible(window) || !GetWindowRect(window, &rectangle) ||
      !IntersectRect(&overlap, &rectangle, &listing->area)) {
    return TRUE;
  }
  listing->found += (listing->found.empty() ? "" : "; ") + DescribeWindow(window);
  return TRUE;
}

}  // namespace

std::string DescribeWindowsOver(const RECT& area, HWND except) {
  OverlapListing listing{area, except, {}};
  EnumWindows(ListOverlappingWindow, reinterpret_cast<LPARAM>(&listing));
  return listing.found;
}
