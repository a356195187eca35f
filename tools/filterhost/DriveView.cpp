#include "DriveView.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "Driver.h"

namespace {

constexpr int kZoomDisplayId = 1085;
constexpr int kHorizontalScrollBarId = 1030;
constexpr int kVerticalScrollBarId = 1028;
constexpr int kFitInViewCommand = 40019;
constexpr DWORD kViewLimitMs = 3000;

struct ZoomMenuItem {
  int command;
  double percent;
};
// The zoom menu's levels, as the plug-in's menu resource lists them.
constexpr ZoomMenuItem kZoomMenu[] = {
    {40017, 6.25}, {40016, 12.5}, {40015, 25},   {40014, 33.33}, {40013, 50},   {40012, 66.67},
    {40011, 100},  {40010, 200},  {40009, 300},  {40008, 400},   {40007, 600},  {40006, 800},
    {40005, 1000}, {40004, 1200}, {40003, 1600}, {40002, 3200},  {40001, 6400},
};

std::string ZoomDisplayText(HWND dialog) {
  wchar_t text[64] = {};
  DWORD_PTR ignored = 0;
  HWND display = GetDlgItem(dialog, kZoomDisplayId);
  if (display == nullptr ||
      !SendMessageTimeoutW(display, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &ignored)) {
    return {};
  }
  char narrow[64] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
  return narrow;
}

bool ReadZoom(HWND dialog, double* percent) { return ParseZoomDisplay(ZoomDisplayText(dialog), percent); }

// Waits until the dialog's thread has taken everything sent before and the test holds.
template <typename Holds>
bool WaitForView(HWND dialog, Holds holds) {
  ULONGLONG deadline = GetTickCount64() + kViewLimitMs;
  for (;;) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    if (holds()) return true;
    if (GetTickCount64() >= deadline || !IsWindow(dialog)) return false;
    Sleep(10);
  }
}

int ScrollPosition(HWND bar) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_POS;
  return GetScrollInfo(bar, SB_CTL, &info) ? info.nPos : -1;
}

}  // namespace

int NearestZoomMenuCommand(double percent, double* level) {
  const ZoomMenuItem* best = &kZoomMenu[0];
  for (const ZoomMenuItem& item : kZoomMenu) {
    if (std::fabs(std::log(item.percent / percent)) < std::fabs(std::log(best->percent / percent))) best = &item;
  }
  if (level != nullptr) *level = best->percent;
  return best->command;
}

bool ParseZoomDisplay(const std::string& text, double* percent) {
  char* end = nullptr;
  double value = strtod(text.c_str(), &end);
  if (end == text.c_str() || value <= 0) return false;
  while (*end == ' ') ++end;
  if (*end != '%') return false;
  *percent = value;
  return true;
}

bool RunZoom(const DriveCommand& command, DriveSession* session, std::string* report) {
  HWND dialog = session->dialog;
  double level = 0;
  int menuCommand = command.percent > 0 ? NearestZoomMenuCommand(command.percent, &level) : kFitInViewCommand;
  // What the menu sends when the user picks the item.
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(menuCommand, 0), 0);
  double shown = 0;
  bool reached = WaitForView(dialog, [&] {
    return ReadZoom(dialog, &shown) && (level == 0 || std::fabs(shown - level) < 0.005);
  });
  if (!reached) {
    *report = "the zoom display shows '" + ZoomDisplayText(dialog) + "', not the chosen level";
    return false;
  }
  char text[64];
  snprintf(text, sizeof text, "ok %.2f%%", shown);
  *report = text;
  return true;
}

bool RunScroll(const DriveCommand& command, DriveSession* session, std::string* report) {
  HWND dialog = session->dialog;
  double zoom = 0;
  if (!ReadZoom(dialog, &zoom)) return *report = "the zoom display shows no zoom ('" + ZoomDisplayText(dialog) + "')", false;
  const int barIds[2] = {kHorizontalScrollBarId, kVerticalScrollBarId};
  const UINT messages[2] = {WM_HSCROLL, WM_VSCROLL};
  int reachedAt[2] = {0, 0};
  for (int axis = 0; axis < 2; ++axis) {
    HWND bar = GetDlgItem(dialog, barIds[axis]);
    if (bar == nullptr) return *report = "the dialog has no scroll bar " + std::to_string(barIds[axis]), false;
    long wanted = std::lround(command.numbers[axis] * zoom / 100.0);
    if (wanted > 0xFFFF) return *report = "the scroll position " + std::to_string(wanted) + " is beyond what the bar's message carries", false;
    if (IsWindowEnabled(bar)) {
      // What the bar sends its parent when the user lets go of its thumb there.
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(dialog, messages[axis], MAKEWPARAM(SB_THUMBPOSITION, WORD(wanted)), reinterpret_cast<LPARAM>(bar),
                          SMTO_ABORTIFHUNG, 5000, &ignored);
    }
    reachedAt[axis] = ScrollPosition(bar);
  }
  char text[96];
  snprintf(text, sizeof text, "ok at %.0f %.0f", reachedAt[0] * 100.0 / zoom, reachedAt[1] * 100.0 / zoom);
  *report = text;
  return true;
}
