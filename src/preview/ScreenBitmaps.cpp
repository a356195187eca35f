// The DIB sections of the preview (background and screen bitmaps) and the attachment of the
// background bitmap to the memory DC of a bitmap context.
#include "preview/ScreenBitmaps.h"

#include "support/ErrorReport.h"

ContextBitmap gBackgroundBitmap;
ContextBitmap gScreenBitmap;
int gSavedDCState = 0;

namespace {

HDC gAttachedDC = nullptr;

// Positive height: a bottom-up DIB, the row order of OpenGL's framebuffer and of glReadPixels.
BITMAPV5HEADER ContextBitmapHeader(int width, int height) {
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof(BITMAPV5HEADER);
  header.bV5Width = width;
  header.bV5Height = height;
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_RGB;
  header.bV5CSType = kWindowsColorSpace;
  header.bV5Intent = LCS_GM_IMAGES;
  return header;
}

}  // namespace

bool MakeContextBitmap(ContextBitmap* bitmap, HDC reference, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  BITMAPV5HEADER header = ContextBitmapHeader(width, height);
  void* pixels = nullptr;
  HBITMAP section = CreateDIBSection(reference, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                     &pixels, nullptr, 0);
  if (section == nullptr || pixels == nullptr) {
    if (section != nullptr) DeleteObject(section);
    return false;
  }
  GdiFlush();
  if (bitmap->bitmap != nullptr) DeleteObject(bitmap->bitmap);
  bitmap->header = header;
  bitmap->pixels = pixels;
  bitmap->bitmap = section;
  bitmap->rect = RECT{0, 0, width, height};
  bitmap->width = width;
  bitmap->height = height;
  return true;
}

void FreeContextBitmap(ContextBitmap* bitmap) {
  if (bitmap->bitmap != nullptr) {
    GdiFlush();
    DeleteObject(bitmap->bitmap);
  }
  *bitmap = ContextBitmap{};
}

bool AttachBackgroundBitmap(HDC deviceContext) {
  if (deviceContext == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "AttachBackgroundBitmap() - The Device Context specified is invalid.");
    return false;
  }
  if (gSavedDCState != 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "AttachBackgroundBitmap() - Tried to overwrite a previously saved DC context.");
    return false;
  }
  int saved = SaveDC(deviceContext);
  if (saved == 0) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "AttachBackgroundBitmap() - Could not save the current DC context.");
    return false;
  }
  HGDIOBJ previous = gBackgroundBitmap.bitmap != nullptr ? SelectObject(deviceContext, gBackgroundBitmap.bitmap) : nullptr;
  if (previous == nullptr || previous == HGDI_ERROR) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError,
                "AttachBackgroundBitmap() - Could not attach background bitmap to the device context.");
    RestoreDC(deviceContext, saved);
    return false;
  }
  gSavedDCState = saved;
  gAttachedDC = deviceContext;
  return true;
}

bool DetachBackgroundBitmap(HDC deviceContext) {
  if (deviceContext == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "DetachBackgroundBitmap() - The Device Context specified is invalid.");
    return false;
  }
  if (gSavedDCState == 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "DetachBackgroundBitmap() - The saved context is invalid.");
    return false;
  }
  GdiFlush();
  int saved = gSavedDCState;
  gSavedDCState = 0;
  gAttachedDC = nullptr;
  if (!RestoreDC(deviceContext, saved)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "DetachBackgroundBitmap() - Could not release background bitmap from DC.");
    return false;
  }
  return true;
}

HDC BackgroundBitmapDC() { return gSavedDCState != 0 ? gAttachedDC : nullptr; }
