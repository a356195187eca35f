// Painting of the main dialog through one double-buffer bitmap, the scheme's colours for its
// controls, the border-less progress bar and the size grip that sizes the dialog.
#include <windows.h>

#include <commctrl.h>

#include "resource.h"
#include "support/ErrorReport.h"
#include "ui/ColorScheme.h"
#include "ui/GroupBoxes.h"
#include "ui/MainDialogHandlers.h"

namespace {

constexpr UINT_PTR kProgressSubclassId = 1;
constexpr UINT_PTR kSizeGripSubclassId = 2;

// No border: the bar sits flush in the status row.
LRESULT CALLBACK ProgressBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) noexcept {
  if (message == WM_NCPAINT) return 0;
  return DefSubclassProc(window, message, wParam, lParam);
}

// The grip answers hit tests as the dialog's bottom-right sizing border and hands a press on it
// to the dialog, which then sizes itself as if its own border were dragged.
LRESULT CALLBACK SizeGripProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) noexcept {
  switch (message) {
    case WM_NCHITTEST: return HTBOTTOMRIGHT;
    case WM_NCLBUTTONDOWN:
      if (wParam == HTBOTTOMRIGHT) {
        ReleaseCapture();
        SendMessageW(GetParent(window), WM_NCLBUTTONDOWN, HTBOTTOMRIGHT, lParam);
        return 0;
      }
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

bool IsGroupBox(HWND control) {
  switch (GetDlgCtrlID(control)) {
    case IDC_SETTINGS_GROUP: case IDC_PREVIEW_FRAME: case IDC_MAIN_SPIKES_GROUP: case IDC_EFFECTS_COLOR_GROUP:
    case IDC_SECONDARY_GROUP:
      return true;
  }
  return false;
}

}  // namespace

bool SubclassDialogControls(HWND dialog) {
  bool subclassed = true;
  if (HWND progress = GetDlgItem(dialog, IDC_PROGRESS)) {
    subclassed = SetWindowSubclass(progress, ProgressBarProc, kProgressSubclassId, 0) != FALSE;
    SetWindowPos(progress, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  HWND grip = GetDlgItem(dialog, IDC_SIZE_GRIP);
  if (grip == nullptr || !SetWindowSubclass(grip, SizeGripProc, kSizeGripSubclassId, 0)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to subclass the the resize control. :");
    subclassed = false;
  }
  return subclassed;
}

void RemoveDialogSubclasses(HWND dialog) {
  if (HWND progress = GetDlgItem(dialog, IDC_PROGRESS)) RemoveWindowSubclass(progress, ProgressBarProc, kProgressSubclassId);
  if (HWND grip = GetDlgItem(dialog, IDC_SIZE_GRIP)) RemoveWindowSubclass(grip, SizeGripProc, kSizeGripSubclassId);
}

void ReleaseDoubleBuffer(MainDialogState& state) {
  if (state.bufferDC != nullptr) {
    SelectObject(state.bufferDC, state.bufferOldBitmap);
    DeleteDC(state.bufferDC);
  }
  if (state.bufferBitmap != nullptr) DeleteObject(state.bufferBitmap);
  state.bufferDC = nullptr;
  state.bufferBitmap = nullptr;
  state.bufferOldBitmap = nullptr;
  state.bufferSize = SIZE{};
}

void RecreateDoubleBuffer(MainDialogState& state, SIZE size) {
  if (size.cx <= 0 || size.cy <= 0) return;
  if (state.bufferBitmap != nullptr && size.cx == state.bufferSize.cx && size.cy == state.bufferSize.cy) return;
  ReleaseDoubleBuffer(state);
  HDC screen = GetDC(state.dialog);
  if (screen == nullptr) return;
  state.bufferDC = CreateCompatibleDC(screen);
  state.bufferBitmap = CreateCompatibleBitmap(screen, size.cx, size.cy);
  ReleaseDC(state.dialog, screen);
  if (state.bufferDC == nullptr || state.bufferBitmap == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "CreateCompatibleBitmap() failed for the dialog's double buffer.");
    ReleaseDoubleBuffer(state);
    return;
  }
  state.bufferOldBitmap = SelectObject(state.bufferDC, state.bufferBitmap);
  state.bufferSize = size;
}

// The background is composed off screen and copied in one step, so that it never flickers.
void PaintMainDialog(MainDialogState& state, HDC dc, const RECT& area) {
  HBRUSH background = GetSchemeBackgroundBrush();
  if (state.bufferDC == nullptr || background == nullptr) {
    if (background != nullptr) FillRect(dc, &area, background);
    return;
  }
  FillRect(state.bufferDC, &area, background);
  BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, state.bufferDC, area.left, area.top, SRCCOPY);
}

INT_PTR OnCtlColor(UINT message, HDC dc, HWND control) {
  bool preset = GetCurrentColorScheme() >= COLORSCHEME_VERY_DARK;
  if (message == WM_CTLCOLORSCROLLBAR && !preset) return FALSE;
  SetTextColor(dc, GetSchemeColor(SCHEMECOLOR_TEXT));
  SetBkColor(dc, GetSchemeColor(SCHEMECOLOR_BACKGROUND));
  SetBkMode(dc, OPAQUE);
  if (message == WM_CTLCOLORSTATIC && IsGroupBox(control)) return reinterpret_cast<INT_PTR>(GetGroupBoxBrush());
  return reinterpret_cast<INT_PTR>(GetSchemeBackgroundBrush());
}

// Range 0 empties the bar; otherwise the position is kept within the range and the bar is only
// touched when something changed.
void OnInitProgress(MainDialogState& state, int position, int range) {
  HWND bar = GetDlgItem(state.dialog, IDC_PROGRESS);
  if (range <= 0) {
    SendMessageW(bar, PBM_SETPOS, 1, 0);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
    SendMessageW(bar, PBM_SETRANGE32, 0, 0);
    state.progressPosition = state.progressRange = 0;
    return;
  }
  if (range != state.progressRange) {
    SendMessageW(bar, PBM_SETRANGE32, 0, range);
    state.progressRange = range;
  }
  if (position > range) position = range;
  if (position < 0) position = 0;
  if (position != state.progressPosition) {
    SendMessageW(bar, PBM_SETPOS, WPARAM(position), 0);
    state.progressPosition = position;
  }
}
