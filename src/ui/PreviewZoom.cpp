#include "ui/PreviewZoom.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "preview/BackgroundTask.h"
#include "preview/PreviewImageSource.h"
#include "preview/PreviewViewState.h"
#include "preview/ProxyDisplay.h"
#include "resource.h"
#include "support/ErrorReport.h"
#include "ui/DialogResources.h"
#include "ui/MainDialogState.h"

const double kZoomLevels[kZoomLevelCount] = {0.3, 0.5, 1, 2.5, 6.25, 12.5, 25, 33.33, 50, 66.67, 100,
                                             200, 300, 400, 600, 800, 1000, 1200, 1600, 3200, 6400};

namespace {

// The view: its centre in zoomed pixels and whether every resize fits the image again.
struct ZoomView {
  double centreX = 0, centreY = 0;
  bool fit = true;
  int wheelRemainder = 0;  // units of the last wheel messages short of a whole notch
};
ZoomView gZoomView;  // user-interface thread only

struct MenuLevel {
  int command;
  double percent;
};
constexpr MenuLevel kMenuLevels[] = {
    {ID_ZOOM_6400, 6400}, {40002, 3200}, {40003, 1600}, {40004, 1200}, {40005, 1000}, {40006, 800},
    {40007, 600},         {40008, 400},  {40009, 300},  {40010, 200},  {40011, 100},  {40012, 66.67},
    {40013, 50},          {40014, 33.33}, {40015, 25},  {40016, 12.5}, {ID_ZOOM_6, 6.25},
    {ID_ZOOM_ACTUAL_PIXELS, 100},
};

ImageRect ImageRectangle() { return CurrentPreviewImageSource().imageRect; }

// The preview's client area inside its 1-pixel border.
SIZE ViewSize() {
  const RECT& r = gPreviewViewState.previewRect;
  return SIZE{std::max<LONG>(1, r.right - r.left - 2), std::max<LONG>(1, r.bottom - r.top - 2)};
}

// A centre per axis that opens no gap at either edge of a larger image and centres a smaller one.
double ClampCentre(double centre, double zoomed, double view) {
  if (zoomed <= view) return zoomed / 2;
  return std::clamp(centre, view / 2, zoomed - view / 2);
}

void UpdateScrollBar(HWND dialog, int control, double zoomed, double view, double position) {
  HWND bar = GetDlgItem(dialog, control);
  if (bar == nullptr) return;
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = int(std::lround(zoomed)) - 1;
  info.nPage = UINT(std::lround(view));
  info.nPos = int(std::lround(position));
  SetScrollInfo(bar, SB_CTL, &info, TRUE);
  EnableWindow(bar, zoomed > view);
}

void UpdateZoomDisplay(HWND dialog, double percent) {
  wchar_t text[64];
  swprintf(text, 64, L" %-3.2Lf%%", static_cast<long double>(percent));
  SetDlgItemTextW(dialog, IDC_ZOOM_DISPLAY, text);
  EnableWindow(GetDlgItem(dialog, IDC_ZOOM_IN), percent < kMaximumZoom);
  EnableWindow(GetDlgItem(dialog, IDC_ZOOM_OUT), percent > kMinimumZoom);
}

// Publishes the view to the preview's requests and the controls, and queues a frame.
void ApplyView(HWND dialog) {
  ImageRect image = ImageRectangle();
  double zoom = gPreviewViewState.zoom;
  SIZE view = ViewSize();
  int32_t scaledWidth = 0, scaledHeight = 0;
  ScaledImageSize(image, zoom, &scaledWidth, &scaledHeight);
  double zoomedWidth = scaledWidth, zoomedHeight = scaledHeight;
  gZoomView.centreX = ClampCentre(gZoomView.centreX, zoomedWidth, view.cx);
  gZoomView.centreY = ClampCentre(gZoomView.centreY, zoomedHeight, view.cy);
  double left = std::max(0.0, gZoomView.centreX - view.cx / 2.0);
  double top = std::max(0.0, gZoomView.centreY - view.cy / 2.0);
  gPreviewViewState.horizontalScroll = zoomedWidth > view.cx ? int32_t(std::lround(left)) : 0;
  gPreviewViewState.verticalScroll = zoomedHeight > view.cy ? int32_t(std::lround(top)) : 0;
  UpdateScrollBar(dialog, IDC_HSCROLL, zoomedWidth, view.cx, gPreviewViewState.horizontalScroll);
  UpdateScrollBar(dialog, IDC_VSCROLL, zoomedHeight, view.cy, gPreviewViewState.verticalScroll);
  UpdateZoomDisplay(dialog, zoom);
  if (MainDialogState* state = CurrentMainDialog(); state != nullptr && !state->ended) QueuePreviewFromDialog();
}

}  // namespace

double FitInViewZoom(SIZE view, LONG imageWidth, LONG imageHeight) {
  if (imageWidth <= 0 || imageHeight <= 0) return 100.0;
  double zoom = 100.0 * std::min(double(view.cy) / double(imageHeight), double(view.cx) / double(imageWidth));
  return std::clamp(zoom, kMinimumZoom, kMaximumZoom);
}

double NextZoomLevelUp(double zoom, int steps) {
  int index = kZoomLevelCount - 1;
  for (int i = 0; i < kZoomLevelCount; ++i) {
    if (kZoomLevels[i] > zoom) {
      index = i;
      break;
    }
  }
  return kZoomLevels[std::min(kZoomLevelCount - 1, index + std::max(1, steps) - 1)];
}

double NextZoomLevelDown(double zoom, int steps) {
  int index = 0;
  for (int i = kZoomLevelCount - 1; i >= 0; --i) {
    if (kZoomLevels[i] < zoom) {
      index = i;
      break;
    }
  }
  return kZoomLevels[std::max(0, index - (std::max(1, steps) - 1))];
}

double ZoomLevelOfMenuCommand(int command) {
  for (const MenuLevel& level : kMenuLevels) {
    if (level.command == command) return level.percent;
  }
  return 0;
}

void ResetPreviewZoom() { gZoomView = ZoomView{}; }

void OnPreviewPlaced(HWND dialog) {
  HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
  if (preview == nullptr) return;
  RECT r{};
  GetWindowRect(preview, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  gPreviewViewState.previewRect = r;
  gPreviewViewState.previewRegistered = true;
  gPreviewViewState.previewWindow = preview;
  if (gZoomView.fit) {
    FitPreviewInView(dialog);
  } else {
    ApplyView(dialog);
  }
}

void FitPreviewInView(HWND dialog) {
  ImageRect image = ImageRectangle();
  gPreviewViewState.zoom = FitInViewZoom(ViewSize(), LONG(image.Width()), LONG(image.Height()));
  gZoomView.fit = true;
  gZoomView.centreX = gZoomView.centreY = 0;  // centred by the clamp
  ApplyView(dialog);
}

// The anchor's image point becomes the view's centre, so that what was clicked is in front.
void SetPreviewZoom(HWND dialog, POINT anchor, double percent) {
  double old = gPreviewViewState.zoom;
  double zoom = std::clamp(percent, kMinimumZoom, kMaximumZoom);
  double anchorX = gZoomView.centreX, anchorY = gZoomView.centreY;
  if (anchor.x != -1 || anchor.y != -1) {
    double x = 0, y = 0;
    PreviewPointToImage(anchor, &x, &y);
    ImageRect image = ImageRectangle();
    anchorX = (x - image.left) * old / 100.0;
    anchorY = (y - image.top) * old / 100.0;
  }
  if (zoom != old) {
    anchorX *= zoom / old;
    anchorY *= zoom / old;
  }
  gZoomView.centreX = anchorX;
  gZoomView.centreY = anchorY;
  gZoomView.fit = false;
  gPreviewViewState.zoom = zoom;
  ApplyView(dialog);
}

bool OnZoomCommand(HWND dialog, int command) {
  POINT centre{-1, -1};
  if (double level = ZoomLevelOfMenuCommand(command); level > 0) {
    SetPreviewZoom(dialog, centre, level);
    return true;
  }
  switch (command) {
    case ID_ZOOM_FIT_IN_VIEW: case ID_FIT_IN_VIEW: FitPreviewInView(dialog); return true;
    case ID_ZOOM_FIT_ON_SCREEN: FitDialogOnScreen(dialog); return true;
    case ID_ZOOM_100: SetPreviewZoom(dialog, centre, 100.0); return true;
    case ID_ZOOM_IN: case IDC_ZOOM_IN: SetPreviewZoom(dialog, centre, NextZoomLevelUp(gPreviewViewState.zoom, 1)); return true;
    case ID_ZOOM_OUT: case IDC_ZOOM_OUT: SetPreviewZoom(dialog, centre, NextZoomLevelDown(gPreviewViewState.zoom, 1)); return true;
  }
  return false;
}

void PanPreviewBy(HWND dialog, LONG dx, LONG dy) {
  gZoomView.centreX += dx;
  gZoomView.centreY += dy;
  ApplyView(dialog);
}

void OnPreviewScroll(HWND dialog, int bar, int code, int thumbPosition) {
  HWND control = GetDlgItem(dialog, bar == SB_HORZ ? IDC_HSCROLL : IDC_VSCROLL);
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  if (control == nullptr || !GetScrollInfo(control, SB_CTL, &info)) return;
  LONG position = info.nPos;
  LONG last = info.nMax - LONG(info.nPage) + 1;
  switch (code) {
    case SB_LINEUP: position -= 1; break;
    case SB_LINEDOWN: position += 1; break;
    case SB_PAGEUP: position -= LONG(info.nPage); break;
    case SB_PAGEDOWN: position += LONG(info.nPage); break;
    // The message carries 16 bits of the position; the bar's track position has all 32 when it
    // is the same drag.
    case SB_THUMBTRACK: case SB_THUMBPOSITION:
      position = (info.nTrackPos & 0xFFFF) == thumbPosition ? info.nTrackPos : thumbPosition;
      break;
    case SB_TOP: position = info.nMin; break;
    case SB_BOTTOM: position = last; break;
    default: return;
  }
  position = std::clamp<LONG>(position, info.nMin, std::max<LONG>(info.nMin, last));
  LONG current = bar == SB_HORZ ? gPreviewViewState.horizontalScroll : gPreviewViewState.verticalScroll;
  if (bar == SB_HORZ) PanPreviewBy(dialog, position - current, 0);
  else PanPreviewBy(dialog, 0, position - current);
}

namespace {

// The menu's "Fit in View" shows the fit flag; a command comes back to be carried out here.
int TrackZoomMenu(HWND dialog, int x, int y, UINT alignment) {
  HMENU menu = GetZoomMenu();
  if (menu == nullptr) return 0;
  CheckMenuItem(menu, ID_ZOOM_FIT_IN_VIEW, MF_BYCOMMAND | (gZoomView.fit ? MF_CHECKED : MF_UNCHECKED));
  SetLastError(ERROR_SUCCESS);
  int command = int(TrackPopupMenu(menu, alignment | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, dialog, nullptr));
  DWORD error = GetLastError();
  if (command == 0 && error != ERROR_SUCCESS) {
    ErrorReport(__LINE__, SystemError, error)
        .Report(kStyleError, kTitleUnexpectedError, "TrackPopupMenu() failed with error code 0x%X", unsigned(error));
  }
  return command;
}

void RunZoomMenuCommand(HWND dialog, int command, POINT anchor) {
  if (command == 0) return;
  if (double level = ZoomLevelOfMenuCommand(command); level > 0) {
    SetPreviewZoom(dialog, anchor, level);
    return;
  }
  if (!OnZoomCommand(dialog, command)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "TrackPopupMenu() returned unexpected value 0x%X", unsigned(command));
  }
}

}  // namespace

// Above the control it was opened from, as the zoom controls sit at the bottom of the dialog.
void OpenZoomMenu(HWND dialog, int control) {
  RECT anchor{};
  GetWindowRect(GetDlgItem(dialog, control), &anchor);
  RunZoomMenuCommand(dialog, TrackZoomMenu(dialog, anchor.left, anchor.top, TPM_LEFTALIGN | TPM_BOTTOMALIGN), POINT{-1, -1});
}

void OpenZoomMenuAt(HWND dialog, POINT screen, POINT anchor) {
  UINT alignment = GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  RunZoomMenuCommand(dialog, TrackZoomMenu(dialog, screen.x, screen.y, alignment | TPM_TOPALIGN), anchor);
}

SIZE PreviewViewSize() { return ViewSize(); }
bool PreviewIsFitted() { return gZoomView.fit; }

void ScrollPreviewToEnds(HWND dialog, bool end) {
  double big = end ? 1e12 : -1e12;
  gZoomView.centreX = big;
  gZoomView.centreY = big;
  ApplyView(dialog);
}

void FitDialogOnScreen(HWND dialog) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const RECT& work = monitor.rcWork;
  SetWindowPos(dialog, nullptr, work.left, work.top, work.right - work.left, work.bottom - work.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void PreviewPointToImage(POINT client, double* x, double* y) {
  ImageRect image = ImageRectangle();
  double zoom = gPreviewViewState.zoom;
  SIZE view = ViewSize();
  int32_t scaledWidth = 0, scaledHeight = 0;
  ScaledImageSize(image, zoom, &scaledWidth, &scaledHeight);
  // Where the frame puts the image's top left: centred in a larger view, else at the border.
  double left = scaledWidth < view.cx ? (view.cx - scaledWidth) / 2 + 1 : 1;
  double top = scaledHeight < view.cy ? (view.cy - scaledHeight) / 2 + 1 : 1;
  double factor = zoom / 100.0;
  *x = image.left + (client.x - left + gPreviewViewState.horizontalScroll) / factor;
  *y = image.top + (client.y - top + gPreviewViewState.verticalScroll) / factor;
}

void OnPreviewWheel(HWND dialog, int delta, WORD keys, bool horizontal) {
  constexpr int kNotch = WHEEL_DELTA;
  constexpr LONG kPixelsPerNotch = 10;
  gZoomView.wheelRemainder += delta;
  // A vertical turn towards the screen counts negative (the view moves up); a tilt to the right
  // counts positive (the view moves right).
  int notches = horizontal ? gZoomView.wheelRemainder / kNotch : -(gZoomView.wheelRemainder / kNotch);
  gZoomView.wheelRemainder %= kNotch;
  if (notches == 0) return;
  // The message carries Shift and Ctrl as they were when the wheel turned; Alt only the key state.
  bool alt = GetKeyState(VK_MENU) < 0, shift = (keys & MK_SHIFT) != 0, ctrl = (keys & MK_CONTROL) != 0;
  POINT centre{-1, -1};
  if (alt && shift) {
    double zoom = notches < 0 ? NextZoomLevelUp(gPreviewViewState.zoom, -notches) : NextZoomLevelDown(gPreviewViewState.zoom, notches);
    SetPreviewZoom(dialog, centre, zoom);
  } else if (alt) {
    SetPreviewZoom(dialog, centre, gPreviewViewState.zoom * std::pow(1.1, double(-notches)));
  } else {
    bool alongX = horizontal != ctrl;
    SIZE view = ViewSize();
    LONG step = shift ? (alongX ? view.cx : view.cy) : kPixelsPerNotch;
    LONG distance = notches * step;
    PanPreviewBy(dialog, alongX ? distance : 0, alongX ? 0 : distance);
  }
}
