#include "ui/KeyboardMonitor.h"

#include "support/AppMessages.h"
#include "support/ErrorReport.h"

namespace {

HHOOK gKeyboardHook = nullptr;
HWND gMonitoredDialog = nullptr;
HWND gMonitoredPreview = nullptr;

constexpr LPARAM kReleaseBit = LPARAM(1) << 31;

bool PointerInsidePreview() {
  POINT pointer;
  RECT preview;
  if (!GetCursorPos(&pointer) || !GetWindowRect(gMonitoredPreview, &preview)) return false;
  InflateRect(&preview, -1, -1);
  return PtInRect(&preview, pointer) != FALSE;
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM key, LPARAM flags) {
  bool keyEvent = code == HC_ACTION || code == HC_NOREMOVE;
  if (keyEvent && gMonitoredDialog != nullptr && GetActiveWindow() == gMonitoredDialog) {
    bool modifier = key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU;
    if (modifier || key == VK_SPACE) {
      PostMessageW(gMonitoredPreview, WM_APP_CURSOR_REFRESH, 0, 0);
      // The key-state word keeps the transition bit in its top bit: set on release.
      LPARAM state = (flags & kReleaseBit) ? 0x8000 : 0;
      PostMessageW(gMonitoredDialog, WM_APP_KEY_STATE, key, state);
      // Space over the preview belongs to the preview tools, not to the focused button.
      if (key == VK_SPACE && code == HC_ACTION && PointerInsidePreview()) return 1;
    }
  }
  return CallNextHookEx(gKeyboardHook, code, key, flags);
}

}  // namespace

bool InstallKeyboardMonitor(HWND dialog, HWND preview) {
  gMonitoredDialog = dialog;
  gMonitoredPreview = preview;
  if (gKeyboardHook != nullptr) return true;
  gKeyboardHook = SetWindowsHookExW(WH_KEYBOARD, KeyboardHook, nullptr, GetCurrentThreadId());
  if (gKeyboardHook == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "InstallKeyboardMonitor() - Failed to connect keyboard hook.");
    return false;
  }
  return true;
}

void RemoveKeyboardMonitor() {
  if (gKeyboardHook != nullptr) UnhookWindowsHookEx(gKeyboardHook);
  gKeyboardHook = nullptr;
  gMonitoredDialog = nullptr;
  gMonitoredPreview = nullptr;
}
