// Tips are registered per control window with TTF_SUBCLASS, so the control relays the mouse to
// the tip itself and no dialog has to forward mouse messages.
#include "ui/ToolTips.h"

#include <commctrl.h>

#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"

namespace {

HWND gToolTipControl = nullptr;
HFONT gToolTipFont = nullptr;

TOOLINFOW ToolOf(HWND dialog, HWND control) {
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = dialog;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  return tool;
}

// Eight points of Tahoma, as the dialogs' own font.
HFONT CreateTahomaFont(HWND window) {
  HDC dc = GetDC(window);
  int height = -MulDiv(8, dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 96, 72);
  if (dc != nullptr) ReleaseDC(window, dc);
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

}  // namespace

bool CreateToolTipControl(HWND owner) {
  if (gToolTipControl != nullptr && IsWindow(gToolTipControl)) return true;
  if (owner == nullptr || !IsWindow(owner)) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Invalid parent window handle for Tool Tip Control.");
    return false;
  }
  gToolTipControl = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                    GetPluginInstance(), nullptr);
  if (gToolTipControl == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Could not create a Tool Tip Control for the plug-in.");
    return false;
  }
  gToolTipFont = CreateTahomaFont(owner);
  if (gToolTipFont != nullptr) SendMessageW(gToolTipControl, WM_SETFONT, reinterpret_cast<WPARAM>(gToolTipFont), FALSE);
  // Long tips wrap instead of running off the screen.
  SendMessageW(gToolTipControl, TTM_SETMAXTIPWIDTH, 0, 400);
  return true;
}

void DestroyToolTipControl() {
  if (gToolTipControl != nullptr && IsWindow(gToolTipControl) && !DestroyWindow(gToolTipControl)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to destroy the Tool Tip Control.");
  }
  gToolTipControl = nullptr;
  if (gToolTipFont != nullptr) DeleteObject(gToolTipFont);
  gToolTipFont = nullptr;
}

HWND GetToolTipControl() { return gToolTipControl != nullptr && IsWindow(gToolTipControl) ? gToolTipControl : nullptr; }

bool AddToolTip(HWND dialog, int control, const wchar_t* text) {
  if (GetToolTipControl() == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Can't add Tool Tip to Tool Tip Control. Control does not exist.");
    return false;
  }
  TOOLINFOW tool = ToolOf(dialog, GetDlgItem(dialog, control));
  tool.lpszText = const_cast<wchar_t*>(text);
  return SendMessageW(gToolTipControl, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
}

bool UpdateToolTip(HWND dialog, int control, const wchar_t* text) {
  if (GetToolTipControl() == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Can't update Tool Tip in Tool Tip Control. Control does not exist.");
    return false;
  }
  TOOLINFOW tool = ToolOf(dialog, GetDlgItem(dialog, control));
  tool.lpszText = const_cast<wchar_t*>(text);
  SendMessageW(gToolTipControl, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  return true;
}

// Tools are removed from the end, since each removal renumbers the tools behind it.
bool RemoveToolTips(HWND dialog) {
  if (GetToolTipControl() == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Can't remove Tool Tips from Tool Tip Control. Control does not exist.");
    return false;
  }
  int count = int(SendMessageW(gToolTipControl, TTM_GETTOOLCOUNT, 0, 0));
  for (int i = count - 1; i >= 0; --i) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    if (!SendMessageW(gToolTipControl, TTM_ENUMTOOLSW, WPARAM(i), reinterpret_cast<LPARAM>(&tool))) continue;
    if (tool.hwnd == dialog) SendMessageW(gToolTipControl, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  return true;
}
