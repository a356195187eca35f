// Group boxes are subclassed to draw their frame and caption themselves: the system's group box
// draws its frame in the Windows colours, which vanish on the dark schemes.
#include "ui/GroupBoxes.h"

#include <commctrl.h>

#include <iterator>

#include "resource.h"
#include "support/ErrorReport.h"
#include "ui/ColorScheme.h"

namespace {

constexpr int kGroupBoxes[] = {IDC_SETTINGS_GROUP, IDC_PREVIEW_FRAME, IDC_MAIN_SPIKES_GROUP, IDC_EFFECTS_COLOR_GROUP,
                               IDC_SECONDARY_GROUP};
constexpr UINT_PTR kGroupBoxSubclassId = 3;
HFONT gGroupBoxFont = nullptr;

void DrawFrameLine(HDC dc, RECT r, COLORREF color) {
  HBRUSH brush = GetSchemeBrush(color);
  if (brush != nullptr) FrameRect(dc, &r, brush);
}

void PaintGroupBox(HWND box, HDC dc) {
  RECT client;
  GetClientRect(box, &client);
  wchar_t caption[128] = {};
  GetWindowTextW(box, caption, int(std::size(caption)));
  HGDIOBJ oldFont = SelectObject(dc, gGroupBoxFont != nullptr ? gGroupBoxFont : GetStockObject(DEFAULT_GUI_FONT));
  SIZE text{};
  GetTextExtentPoint32W(dc, caption, lstrlenW(caption), &text);
  RECT frame{client.left, client.top + text.cy / 2, client.right - 1, client.bottom - 1};
  DrawFrameLine(dc, RECT{frame.left + 1, frame.top + 1, frame.right + 1, frame.bottom + 1}, GetSchemeColor(SCHEMECOLOR_LIGHT_FRAME));
  DrawFrameLine(dc, frame, GetSchemeColor(SCHEMECOLOR_DARK_FRAME));
  if (caption[0] != 0) {
    SetTextColor(dc, GetSchemeColor(SCHEMECOLOR_TEXT));
    SetBkColor(dc, GetSchemeColor(SCHEMECOLOR_BACKGROUND));
    SetBkMode(dc, OPAQUE);
    RECT label{client.left + 8, client.top, client.left + 12 + text.cx, client.top + text.cy};
    DrawTextW(dc, caption, -1, &label, DT_LEFT | DT_SINGLELINE | DT_NOCLIP);
  }
  SelectObject(dc, oldFont);
}

LRESULT CALLBACK GroupBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) noexcept {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(box, &paint);
    if (dc != nullptr) PaintGroupBox(box, dc);
    EndPaint(box, &paint);
    return 0;
  }
  return DefSubclassProc(box, message, wParam, lParam);
}

HFONT CreateGroupBoxFont(HWND dialog) {
  HDC dc = GetDC(dialog);
  int height = -MulDiv(8, dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 96, 72);
  if (dc != nullptr) ReleaseDC(dialog, dc);
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

}  // namespace

void SetUpGroupBoxes(HWND dialog) {
  if (gGroupBoxFont == nullptr) gGroupBoxFont = CreateGroupBoxFont(dialog);
  if (gGroupBoxFont == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "Failed to create Tahoma font for GroupBoxes.");
  }
  for (int id : kGroupBoxes) {
    HWND box = GetDlgItem(dialog, id);
    if (box == nullptr) continue;
    if (gGroupBoxFont != nullptr) SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(gGroupBoxFont), FALSE);
    if (!SetWindowSubclass(box, GroupBoxProc, kGroupBoxSubclassId, 0)) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "Failed to subclass the GroupBox. Dialog = %X, Control ID = %d",
                  unsigned(reinterpret_cast<uintptr_t>(dialog)), id);
    }
  }
}

void ReleaseGroupBoxes(HWND dialog) {
  for (int id : kGroupBoxes) {
    if (HWND box = GetDlgItem(dialog, id)) RemoveWindowSubclass(box, GroupBoxProc, kGroupBoxSubclassId);
  }
  if (gGroupBoxFont != nullptr) DeleteObject(gGroupBoxFont);
  gGroupBoxFont = nullptr;
}

// The group boxes stand on the dialog's own background in every scheme.
HBRUSH GetGroupBoxBrush() { return GetSchemeBackgroundBrush(); }
