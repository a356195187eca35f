// Stand-in for the context bitmaps until the OpenGL context module provides them.
#include "preview/ScreenBitmaps.h"

#include "support/ErrorReport.h"

ContextBitmap gBackgroundBitmap;
ContextBitmap gScreenBitmap;

namespace {
int gSavedState = 0;
}

bool MakeContextBitmap(ContextBitmap* bitmap, int width, int height) {
  ContextBitmap made;
  made.header.bV5Size = sizeof(BITMAPV5HEADER);
  made.header.bV5Width = width;
  made.header.bV5Height = height;
  made.header.bV5Planes = 1;
  made.header.bV5BitCount = 32;
  made.header.bV5Compression = BI_RGB;
  made.header.bV5CSType = 0x57696E20;  // LCS_WINDOWS_COLOR_SPACE, "Win "
  made.header.bV5Intent = LCS_GM_IMAGES;
  made.bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&made.header), DIB_RGB_COLORS, &made.pixels,
                                 nullptr, 0);
  if (made.bitmap == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to create new screen bitmap");
    return false;
  }
  made.rect = RECT{0, 0, width, height};
  made.width = width;
  made.height = height;
  GdiFlush();
  DeleteContextBitmap(bitmap);
  *bitmap = made;
  return true;
}

void DeleteContextBitmap(ContextBitmap* bitmap) {
  if (bitmap->bitmap != nullptr) DeleteObject(bitmap->bitmap);
  *bitmap = ContextBitmap{};
}

bool AttachBackgroundBitmap(HDC context) {
  if (context == nullptr || gSavedState != 0) return false;
  gSavedState = SaveDC(context);
  if (gSavedState == 0) return false;
  return SelectObject(context, gBackgroundBitmap.bitmap) != nullptr;
}

bool DetachBackgroundBitmap(HDC context) {
  if (context == nullptr || gSavedState == 0) return false;
  GdiFlush();
  bool restored = RestoreDC(context, gSavedState) != FALSE;
  gSavedState = 0;
  return restored;
}
