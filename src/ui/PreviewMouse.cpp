#include "ui/PreviewMouse.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "analysis/LightSourceTable.h"
#include "analysis/TableOperations.h"
#include "preview/PreviewImageSource.h"
#include "preview/PreviewViewState.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"
#include "ui/EffectEditor.h"
#include "ui/MainDialogState.h"
#include "ui/PreviewTools.h"
#include "ui/PreviewZoom.h"

namespace {

constexpr UINT_PTR kPreviewInputSubclassId = 0x5052;
constexpr UINT_PTR kDragTimer = 1;   // rubber band: auto-scroll outside the view
constexpr UINT_PTR kPanTimer = 2;    // panning: follow the pointer
constexpr UINT kDragTimerMs = 100;
constexpr UINT kPanTimerMs = 15;
constexpr LONG kArrowStep = 1, kCtrlArrowStep = 10;

struct MouseTrack {
  int state = MouseIdle;
  POINT start{};  // preview client coordinates of the press
  POINT last{};   // the pointer when last seen
  bool bandDrawn = false;
};
MouseTrack gMouse;  // user-interface thread only

HWND DialogOf(HWND preview) { return GetParent(preview); }

int SelectedTool() {
  MainDialogState* state = CurrentMainDialog();
  return state != nullptr ? state->selectedTool : TOOL_NONE;
}

// The preview's client area inside its 1-pixel border.
RECT InnerRect(HWND preview) {
  RECT r{};
  GetClientRect(preview, &r);
  InflateRect(&r, -1, -1);
  return r;
}

POINT PointerInPreview(HWND preview) {
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(preview, &p);
  return p;
}

bool IsDrag(POINT start, POINT end) {
  return std::abs(end.x - start.x) > GetSystemMetrics(SM_CXDRAG) / 2 || std::abs(end.y - start.y) > GetSystemMetrics(SM_CYDRAG) / 2;
}

// The rubber band is drawn by the preview's frames from the view state.
void ShowBand(POINT from, POINT to) {
  gPreviewViewState.marqueeRect = RECT{from.x, from.y, to.x, to.y};
  gPreviewViewState.dragging = true;
  gMouse.bandDrawn = true;
  QueuePreviewFromDialog();
}

void EraseBand() {
  if (!gMouse.bandDrawn) return;
  gPreviewViewState.marqueeRect = RECT{};
  gPreviewViewState.dragging = false;
  gMouse.bandDrawn = false;
  QueuePreviewFromDialog();
}

void StopTimers(HWND preview) {
  KillTimer(preview, kDragTimer);
  KillTimer(preview, kPanTimer);
}

bool AltHeld() { return GetKeyState(VK_MENU) < 0; }

void RefreshCursor(HWND preview, bool force) {
  POINT p = PointerInPreview(preview);
  RECT client{};
  GetClientRect(preview, &client);
  if (!force && (gMouse.state != MouseIdle || !PtInRect(&client, p))) return;
  int tool = EffectivePreviewTool(SelectedTool());
  SetCursor(PreviewToolCursor(tool, AltHeld(), gMouse.state == MousePan, gPreviewViewState.zoom));
}

// The dragged rectangle in image pixels; one pixel wide at least along each axis.
TableRect ImageRectOfBand(POINT a, POINT b) {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  PreviewPointToImage(POINT{std::min(a.x, b.x), std::min(a.y, b.y)}, &x0, &y0);
  PreviewPointToImage(POINT{std::max(a.x, b.x), std::max(a.y, b.y)}, &x1, &y1);
  if (x1 - x0 < 1) x1 = x0 + 1;
  if (y1 - y0 < 1) y1 = y0 + 1;
  return TableRect{x0, y0, x1, y1};
}

int OperationOfState(int state) {
  switch (state) {
    case MouseHideDrag: return STATE_HIDE;
    case MouseRevealDrag: return STATE_UNHIDE;
    case MouseShowDrag: return STATE_FORCE;
    default: return STATE_UNFORCE;
  }
}

void ApplyToNearest(POINT point, int operation) {
  double x = 0, y = 0;
  PreviewPointToImage(point, &x, &y);
  SetLightSourceStateOfNearest(&gLightSourceTable, x, y, operation, gPreviewViewState.zoom);
  QueuePreviewFromDialog();
}

// A zoom drag: the dragged part of the image fills the view.
void ZoomToBand(HWND dialog, POINT a, POINT b) {
  RECT band{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
  double left = 0, top = 0, right = 0, bottom = 0;
  PreviewPointToImage(POINT{band.left, band.top}, &left, &top);
  PreviewPointToImage(POINT{band.right, band.bottom}, &right, &bottom);
  ImageRect image = CurrentPreviewImageSource().imageRect;
  left = std::max(left, double(image.left)), top = std::max(top, double(image.top));
  right = std::min(right, double(image.right)), bottom = std::min(bottom, double(image.bottom));
  if (right - left <= 0 || bottom - top <= 0) return;
  double factor = gPreviewViewState.zoom / 100.0;
  SIZE view = PreviewViewSize();
  double zoom = gPreviewViewState.zoom * std::min(view.cx / ((right - left) * factor), view.cy / ((bottom - top) * factor));
  POINT anchor{(band.left + band.right) / 2, (band.top + band.bottom) / 2};
  SetPreviewZoom(dialog, anchor, std::clamp(zoom, kMinimumZoom, kMaximumZoom));
}

void OnButtonDown(HWND preview, POINT point) {
  SetCapture(preview);
  SetFocus(preview);
  gMouse.start = gMouse.last = point;
  int tool = EffectivePreviewTool(SelectedTool());
  int state = MouseStateForPress(tool, AltHeld());
  if (state == MouseNoTool) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Invalid Tool encountered in event WM_LBUTTONDOWN");
    ReleaseCapture();
    gMouse.state = MouseIdle;
    return;
  }
  gMouse.state = state;
  if (state == MousePan) SetTimer(preview, kPanTimer, kPanTimerMs, nullptr);
  if (state >= MouseZoomDrag && state <= MouseUnshowDrag) SetTimer(preview, kDragTimer, kDragTimerMs, nullptr);
  SetCursor(PreviewToolCursor(tool, AltHeld(), state == MousePan, gPreviewViewState.zoom));
}

void OnMouseMove(POINT point) {
  if (gMouse.state > MouseEditAdd) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Invalid Mouse State encountered in event WM_MOUSEMOVE");
    return;
  }
  if (gMouse.state >= MouseZoomDrag && gMouse.state <= MouseUnshowDrag && (point.x != gMouse.start.x || point.y != gMouse.start.y)) {
    ShowBand(gMouse.start, point);
  }
}

// Outside the view the rubber band scrolls the image towards the pointer, by the distance the
// pointer lies outside; the band's start moves with the image.
void OnDragTimer(HWND preview) {
  RECT inner = InnerRect(preview);
  POINT p = PointerInPreview(preview);
  if (PtInRect(&inner, p)) return;
  LONG dx = p.x < inner.left ? p.x - inner.left : p.x >= inner.right ? p.x - (inner.right - 1) : 0;
  LONG dy = p.y < inner.top ? p.y - inner.top : p.y >= inner.bottom ? p.y - (inner.bottom - 1) : 0;
  int32_t beforeX = gPreviewViewState.horizontalScroll, beforeY = gPreviewViewState.verticalScroll;
  PanPreviewBy(DialogOf(preview), dx, dy);
  gMouse.start.x -= gPreviewViewState.horizontalScroll - beforeX;
  gMouse.start.y -= gPreviewViewState.verticalScroll - beforeY;
  POINT clamped{std::clamp(p.x, inner.left, inner.right - 1), std::clamp(p.y, inner.top, inner.bottom - 1)};
  ShowBand(gMouse.start, clamped);
}

void OnPanTimer(HWND preview) {
  POINT p = PointerInPreview(preview);
  if (p.x == gMouse.last.x && p.y == gMouse.last.y) return;
  PanPreviewBy(DialogOf(preview), gMouse.last.x - p.x, gMouse.last.y - p.y);
  gMouse.last = p;
}

void OnButtonUp(HWND preview, POINT point) {
  HWND dialog = DialogOf(preview);
  bool drag = IsDrag(gMouse.start, point);
  RECT inner = InnerRect(preview);
  POINT inside{std::clamp(point.x, inner.left, inner.right - 1), std::clamp(point.y, inner.top, inner.bottom - 1)};
  int state = gMouse.state;
  gMouse.state = MouseIdle;  // the capture's release below must find the press handled
  StopTimers(preview);
  switch (state) {
    case MouseIdle: case MouseNoTool: break;
    case MouseZoomOut: SetPreviewZoom(dialog, inside, NextZoomLevelDown(gPreviewViewState.zoom, 1)); break;
    case MouseZoomIn: SetPreviewZoom(dialog, inside, NextZoomLevelUp(gPreviewViewState.zoom, 1)); break;
    case MousePan:
      // The timer follows the pointer every 15 ms; a release sooner after the last move still
      // takes the view the whole way.
      if (point.x != gMouse.last.x || point.y != gMouse.last.y) PanPreviewBy(dialog, gMouse.last.x - point.x, gMouse.last.y - point.y);
      break;
    case MouseZoomDrag:
      if (drag) {
        EraseBand();
        ZoomToBand(dialog, gMouse.start, point);
      } else {
        SetPreviewZoom(dialog, inside, NextZoomLevelUp(gPreviewViewState.zoom, 1));
      }
      break;
    case MouseHideDrag: case MouseRevealDrag: case MouseShowDrag: case MouseUnshowDrag:
      if (drag) {
        bool changed = SetLightSourceStateInRect(&gLightSourceTable, ImageRectOfBand(gMouse.start, point), OperationOfState(state));
              EraseBand();
        if (changed) QueuePreviewFromDialog();
      } else {
        EraseBand();
        ApplyToNearest(point, OperationOfState(state));
      }
      break;
    case MouseEditHide: ApplyToNearest(point, STATE_HIDE); break;
    case MouseEditSelect: SelectEffectForEditing(point); break;
    case MouseEditAdd: AddEffectForEditing(point); break;
    default:
      ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Invalid Mouse State encountered in event WM_LBUTTONUP");
      EraseBand();
      break;
  }
  ReleaseCapture();
  RefreshCursor(preview, false);
}

void OnCaptureLost(HWND preview) {
  int state = gMouse.state;
  gMouse.state = MouseIdle;
  if (state == MouseIdle) return;
  if (state == MousePan) KillTimer(preview, kPanTimer);
  if (state >= MouseZoomDrag && state <= MouseUnshowDrag) {
    KillTimer(preview, kDragTimer);
    EraseBand();
  }
  if (state > MouseEditAdd) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Invalid Mouse State encountered in event WM_CAPTURECHANGED");
  }
}

bool OnKey(HWND preview, WPARAM key, LPARAM flags) {
  HWND dialog = DialogOf(preview);
  LONG repeat = std::max<LONG>(1, LONG(flags & 0xFFFF));
  SIZE view = PreviewViewSize();
  LONG step = (GetKeyState(VK_CONTROL) < 0 ? kCtrlArrowStep : kArrowStep) * repeat;
  switch (key) {
    case VK_PRIOR: PanPreviewBy(dialog, 0, -repeat * view.cy); return true;
    case VK_NEXT: PanPreviewBy(dialog, 0, repeat * view.cy); return true;
    case VK_HOME: ScrollPreviewToEnds(dialog, false); return true;
    case VK_END: ScrollPreviewToEnds(dialog, true); return true;
    case VK_LEFT: PanPreviewBy(dialog, -step, 0); return true;
    case VK_RIGHT: PanPreviewBy(dialog, step, 0); return true;
    case VK_UP: PanPreviewBy(dialog, 0, -step); return true;
    case VK_DOWN: PanPreviewBy(dialog, 0, step); return true;
  }
  return false;
}

// From the right button at the pointer, from the menu key at the preview's centre.
void OnContextMenu(HWND preview, LPARAM position) {
  POINT screen{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  POINT anchor{};
  if (screen.x == -1 && screen.y == -1) {
    RECT client{};
    GetClientRect(preview, &client);
    anchor = POINT{client.right / 2, client.bottom / 2};
    screen = anchor;
    ClientToScreen(preview, &screen);
  } else {
    anchor = screen;
    ScreenToClient(preview, &anchor);
  }
  OpenZoomMenuAt(DialogOf(preview), screen, anchor);
}

LRESULT CALLBACK PreviewInputProc(HWND preview, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    // The window borrows the "Static" class's procedure, which lets the pointer through to the
    // dialog; the preview takes it.
    case WM_NCHITTEST: return HTCLIENT;
    case WM_LBUTTONDOWN: OnButtonDown(preview, point); return 0;
    case WM_MOUSEMOVE: OnMouseMove(point); break;
    case WM_LBUTTONUP: OnButtonUp(preview, point); return 0;
    case WM_LBUTTONDBLCLK:
      // A double-click's second press acts as a press of its own with the tools that zoom, pan
      // and pick; with the Edit tool it adds an effect there and opens it in the editor.
      if (EffectivePreviewTool(SelectedTool()) == TOOL_EDIT && !AltHeld()) {
        gMouse.state = MouseIdle;
        AddEffectForEditing(point);
        return 0;
      }
      OnButtonDown(preview, point);
      return 0;
    case WM_CAPTURECHANGED: OnCaptureLost(preview); break;
    case WM_TIMER:
      if (wParam == kDragTimer) OnDragTimer(preview);
      else if (wParam == kPanTimer) OnPanTimer(preview);
      else break;
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        int tool = EffectivePreviewTool(SelectedTool());
        SetCursor(PreviewToolCursor(tool, AltHeld(), gMouse.state == MousePan, gPreviewViewState.zoom));
        return TRUE;
      }
      break;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      if (OnKey(preview, wParam, lParam)) return 0;
      break;
    case WM_CONTEXTMENU: OnContextMenu(preview, lParam); return 0;
    case WM_SETFOCUS: case WM_KILLFOCUS:
      gPreviewViewState.previewFocused = message == WM_SETFOCUS;
      QueuePreviewFromDialog();
      break;
    case WM_NCDESTROY:
      StopTimers(preview);
      gMouse = MouseTrack{};
      RemoveWindowSubclass(preview, PreviewInputProc, kPreviewInputSubclassId);
      break;
    default:
      if (message == WM_APP_CURSOR_REFRESH) {
        RefreshCursor(preview, false);
        return 0;
      }
      break;
  }
  return DefSubclassProc(preview, message, wParam, lParam);
}

}  // namespace

int MouseStateForPress(int tool, bool alt) {
  switch (tool) {
    case TOOL_PAN: return alt ? MouseZoomOut : MousePan;
    case TOOL_ZOOM: return alt ? MouseZoomOut : MouseZoomDrag;
    case TOOL_HIDE: return alt ? MouseRevealDrag : MouseHideDrag;
    case TOOL_SHOW: return alt ? MouseUnshowDrag : MouseShowDrag;
    case TOOL_EDIT: return alt ? MouseEditHide : MouseEditSelect;
    default: return MouseNoTool;
  }
}

bool AttachPreviewInput(HWND, HWND preview) {
  if (preview == nullptr) return false;
  gMouse = MouseTrack{};
  if (SetWindowSubclass(preview, PreviewInputProc, kPreviewInputSubclassId, 0)) return true;
  ErrorReport(__LINE__, SystemError, GetLastError())
      .Report(kStyleError, kTitleUnexpectedError, "SetWindowSubclass() failed for the preview window.");
  return false;
}

int PreviewMouseState() { return gMouse.state; }
