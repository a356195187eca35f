// The preview window's painting from the screen bitmap, on the user-interface thread: the frame
// centred or cropped in the area inside the border, the rest in the background colour. No
// OpenGL call is made here.
#include <windows.h>

#include <initializer_list>

#include "preview/ProxyDisplay.h"
#include "preview/ProxyFrames.h"
#include "preview/ScreenBitmaps.h"
#include "support/ErrorReport.h"

namespace {

void Report(const char* text) {
  ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "%s", text);
}

// Where the bitmap goes along one axis of the area inside the border: centred when it is
// smaller, else cropped by half the difference on each side.
struct Placement {
  int destination;
  int source;
  int length;
};
Placement PlaceAlong(int area, int bitmap) {
  if (area < bitmap) return Placement{1, (bitmap - area) / 2, area};
  return Placement{(area - bitmap) / 2 + 1, 0, bitmap};
}

struct PaintRegions {
  HRGN image = nullptr;
  HRGN update = nullptr;
  HRGN draw = nullptr;
  HRGN fill = nullptr;
  ~PaintRegions() {
    for (HRGN region : {image, update, draw, fill}) {
      if (region != nullptr) DeleteObject(region);
    }
  }
};

HRGN MakeEmptyRegion(const char* failure) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (region == nullptr) Report(failure);
  return region;
}

void CopyScreenBitmap(HDC target, HRGN draw, const Placement& x, const Placement& y) {
  HDC source = CreateCompatibleDC(target);
  HGDIOBJ previous = source != nullptr ? SelectObject(source, gScreenBitmap.bitmap) : nullptr;
  SelectClipRgn(target, draw);
  if (previous == nullptr ||
      !BitBlt(target, x.destination, y.destination, x.length, y.length, source, x.source, y.source, SRCCOPY)) {
    Report("Could not copy screen bitmap.");
  }
  SelectClipRgn(target, nullptr);
  if (previous != nullptr) SelectObject(source, previous);
  if (source != nullptr) DeleteDC(source);
}

void FillOutsideImage(HDC target, HRGN fill) {
  HBRUSH brush = CreateSolidBrush(PreviewBackgroundColor());
  if (brush == nullptr) return;
  FillRgn(target, fill, brush);
  DeleteObject(brush);
}

void DrawBorder(HDC target, const RECT& client) {
  HBRUSH brush = CreateSolidBrush(PreviewFrameColor());
  if (brush == nullptr) return;
  FrameRect(target, &client, brush);
  DeleteObject(brush);
}

// Paints what the update region (plus the image, when a new frame arrived) needs; true when a
// new frame reached the window.
bool PaintRegionsOf(HWND window, HDC target, const RECT& client, ProxyFrameStamp* stamp) {
  Placement x = PlaceAlong(client.right - 2, gScreenBitmap.width);
  Placement y = PlaceAlong(client.bottom - 2, gScreenBitmap.height);
  PaintRegions regions;
  if (gScreenBitmap.bitmap == nullptr) x.length = y.length = 0;
  regions.image = CreateRectRgn(x.destination, y.destination, x.destination + x.length, y.destination + y.length);
  if (regions.image == nullptr) return Report("Could not create CopyRegion."), false;
  if ((regions.update = MakeEmptyRegion("Could not create UpdateRegion.")) == nullptr) return false;
  if (GetUpdateRgn(window, regions.update, FALSE) == ERROR) Report("Could not get update region for proxy display.");
  bool newFrame = TakeNewFrame(stamp) && gScreenBitmap.bitmap != nullptr;
  if (newFrame && CombineRgn(regions.update, regions.update, regions.image, RGN_OR) == ERROR) {
    Report("Could not combine copy region with update region.");
  }
  if ((regions.draw = MakeEmptyRegion("Could not create DrawRegion.")) == nullptr) return false;
  if (CombineRgn(regions.draw, regions.image, regions.update, RGN_AND) == ERROR) {
    Report("Could not combine DrawRegion and UpdateRegion.");
  } else if (gScreenBitmap.bitmap != nullptr) {
    CopyScreenBitmap(target, regions.draw, x, y);
  }
  if ((regions.fill = CreateRectRgnIndirect(&client)) == nullptr) return Report("Could not create FillRegion."), false;
  if (CombineRgn(regions.fill, regions.fill, regions.image, RGN_DIFF) == ERROR) {
    Report("Could not combine DisplayRegion and ImageRegion.");
  } else if (CombineRgn(regions.fill, regions.fill, regions.update, RGN_AND) == ERROR) {
    Report("Could not combine FillRegion and UpdateRegion.");
  } else {
    FillOutsideImage(target, regions.fill);
  }
  if (!ValidateRgn(window, regions.update)) Report("Could not validate entire proxy display.");
  DrawBorder(target, client);
  return newFrame;
}

}  // namespace

void PaintProxyDisplay(HWND window) {
  if (!LockScreenBitmap()) {
    ValidateRect(window, nullptr);  // nothing can be painted; do not ask again at once
    return;
  }
  RECT client{};
  ProxyFrameStamp stamp;
  bool presented = false;
  // A cache DC: the window's own DC belongs to the task's rendering context.
  HDC target = GetDCEx(window, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
  if (!GetClientRect(window, &client)) {
    Report("Could not get Proxy Window client rectangle.");
    ValidateRect(window, nullptr);
  } else if (target != nullptr) {
    presented = PaintRegionsOf(window, target, client, &stamp);
  }
  GdiFlush();
  if (target != nullptr) ReleaseDC(window, target);
  UnlockScreenBitmap();
  if (presented) NotePresentedFrame(window, stamp);
}
