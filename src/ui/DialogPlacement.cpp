// Where the main dialog opens: where the user left it, made at least as large as the template and
// brought back onto a monitor when the saved place is no longer on any screen.
#include "support/ErrorReport.h"
#include "ui/MainDialogHandlers.h"
#include "ui/UISettings.h"

namespace {

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

RECT VirtualScreen() {
  int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

bool Contains(const RECT& outer, const RECT& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

RECT CentredIn(const RECT& area, LONG width, LONG height) {
  LONG left = area.left + (Width(area) - width) / 2, top = area.top + (Height(area) - height) / 2;
  return RECT{left, top, left + width, top + height};
}

void MoveTo(HWND dialog, const RECT& r) {
  SetWindowPos(dialog, nullptr, r.left, r.top, Width(r), Height(r), SWP_NOZORDER | SWP_NOACTIVATE);
}

// The parent's window, or without one the work area of the dialog's monitor.
void CentreOnParent(HWND dialog) {
  RECT window, area;
  GetWindowRect(dialog, &window);
  HWND parent = GetParent(dialog);
  if (parent == nullptr || !GetWindowRect(parent, &area)) {
    MONITORINFO info{sizeof info, {}, {}, 0};
    if (!GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &info)) return;
    area = info.rcWork;
  }
  MoveTo(dialog, CentredIn(area, Width(window), Height(window)));
}

// A place off every screen is replaced by the nearest monitor's centre, the size limited to it.
bool OntoNearestMonitor(RECT* placed, POINT minimumSize) {
  HMONITOR monitor = MonitorFromRect(placed, MONITOR_DEFAULTTONEAREST);
  if (monitor == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "Could not get destination monitor handle.");
    return false;
  }
  MONITORINFO info{sizeof info, {}, {}, 0};
  if (!GetMonitorInfoW(monitor, &info)) {
    ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "Could not get destination monitor information.");
    return false;
  }
  LONG width = Width(*placed), height = Height(*placed);
  if (width > Width(info.rcMonitor) - 1) width = Width(info.rcMonitor) - 1;
  if (height > Height(info.rcMonitor) - 1) height = Height(info.rcMonitor) - 1;
  if (width < minimumSize.x) width = minimumSize.x;
  if (height < minimumSize.y) height = minimumSize.y;
  *placed = CentredIn(info.rcMonitor, width, height);
  return true;
}

}  // namespace

void PlaceMainDialog(HWND dialog, POINT minimumSize) {
  if (!DialogRectSaved(gUISettings)) {
    CentreOnParent(dialog);
    GetWindowRect(dialog, &gUISettings.dialogRect);
    return;
  }
  RECT placed = gUISettings.dialogRect;
  if (Width(placed) < minimumSize.x) placed.right = placed.left + minimumSize.x;
  if (Height(placed) < minimumSize.y) placed.bottom = placed.top + minimumSize.y;
  if (!Contains(VirtualScreen(), placed) && !OntoNearestMonitor(&placed, minimumSize)) return;
  MoveTo(dialog, placed);
}
