// The exchange of the screen bitmaps, the presentation of finished frames (by OpenGL, or through
// the screen bitmap and GDI painting) and the record of which request reached the window.
//
//   bitmap access     ScreenBitmapMutex, swap, new-frame flag, stamps
//   presentation      PresentProxyFrame, FinishOffscreenFrame, the choice of path
//   observers         NotePresentedFrame, SampleScreenBitmap
#include "preview/ProxyFrames.h"

#include <GL/glew.h>

#include <atomic>
#include <cstring>

#include "preview/BackgroundTask.h"
#include "preview/DisplayGamma.h"
#include "preview/OpenGLSettings.h"
#include "preview/PreviewTask.h"
#include "preview/ProxyLayer.h"
#include "preview/ProxyDisplay.h"
#include "preview/ScreenBitmaps.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"

#ifndef GL_BGRA_EXT
#define GL_BGRA_EXT 0x80E1
#endif

namespace {

HANDLE gScreenBitmapMutex = nullptr;
bool gNewFrame = false;                 // under gScreenBitmapMutex
ProxyFrameStamp gScreenStamp;           // the frame in gScreenBitmap, under gScreenBitmapMutex
ProxyFrameStamp gDrawingStamp;          // the frame in gBackgroundBitmap; task thread only
std::atomic<bool> gScreenBitmapStale{true};
std::atomic<int> gPresentationOverride{-1};
std::atomic<COLORREF> gBackgroundColor{RGB(64, 64, 64)};
std::atomic<COLORREF> gFrameColor{RGB(128, 128, 128)};
std::atomic<COLORREF> gFocusColor{RGB(0, 120, 215)};
RECT gSoftwareGammaRect{};  // task thread only

// The painter goes on with an abandoned mutex (it owns it then); only a failed wait skips.
bool WaitForScreenBitmap() {
  if (gScreenBitmapMutex == nullptr) return false;
  DWORD waited = WaitForSingleObject(gScreenBitmapMutex, INFINITE);
  if (waited == WAIT_OBJECT_0) return true;
  if (waited == WAIT_ABANDONED) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "Wait for Proxy Window screen bitmap failed since the owning thread exited:  WAIT_ABANDONED");
    return true;
  }
  ErrorReport(__LINE__, SystemError, GetLastError())
      .Report(kStyleError, kTitleUnexpectedError, "Attempt to wait for Proxy Window screen bitmap failed.");
  return false;
}

bool ReadBackDirectly(int width, int height) {
  glReadPixels(0, 0, width, height, GL_BGRA_EXT, GL_UNSIGNED_BYTE, gBackgroundBitmap.pixels);
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    OpenGLErrorReport(__LINE__, OpenGLError, error).Report("Write to screen bitmap from OpenGL failed.");
    return false;
  }
  return true;
}

// The read goes into a buffer the driver fills at its own pace; the copy waits only at the map.
bool ReadBackThroughPixelBuffer(int width, int height) {
  ProxyLayer& layer = gProxyLayer;
  size_t needed = size_t(width) * size_t(height) * 4 + size_t(width) * 4;
  if (layer.backBufferPBO == 0) glGenBuffers(1, &layer.backBufferPBO);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, layer.backBufferPBO);
  if (layer.backBufferPBOSize < needed) {
    glBufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(needed), nullptr, GL_DYNAMIC_COPY);
    layer.backBufferPBOSize = needed;
  }
  glReadPixels(0, 0, width, height, GL_BGRA_EXT, GL_UNSIGNED_BYTE, nullptr);
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    OpenGLErrorReport(__LINE__, OpenGLError, error).Report("Failed to copy framebuffer into BackBufferPBO.");
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    layer.backBufferPBOSize = 0;
    return false;
  }
  const void* mapped = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
  bool copied = mapped != nullptr;
  if (copied) {
    memcpy(gBackgroundBitmap.pixels, mapped, size_t(width) * size_t(height) * 4);
  } else {
    OpenGLErrorReport(__LINE__, OpenGLError, glGetError()).Report("Failed to map PBO used for bitmap copy.");
  }
  if (copied && !glUnmapBuffer(GL_PIXEL_PACK_BUFFER)) {
    OpenGLErrorReport(__LINE__, OpenGLError, glGetError()).Report("Failed to unmap PBO used for bitmap copy.");
    copied = false;
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  return copied;
}

// The display gamma over the part of the background bitmap (bottom-up rows) that holds the
// composite, for offscreen frames drawn without the gamma program.
void ApplySoftwareGammaToBitmap() {
  RECT r = gSoftwareGammaRect;
  RECT bounds{0, 0, gBackgroundBitmap.width, gBackgroundBitmap.height};
  if (gBackgroundBitmap.pixels == nullptr || !IntersectRect(&r, &r, &bounds)) return;
  ptrdiff_t rowBytes = ptrdiff_t(gBackgroundBitmap.width) * 4;
  auto* top = static_cast<uint8_t*>(gBackgroundBitmap.pixels) + size_t(gBackgroundBitmap.height - 1 - r.top) * size_t(rowBytes);
  ApplyDisplayGammaToRows(top + size_t(r.left) * 4, -rowBytes, size_t(r.bottom - r.top), size_t(r.right - r.left), GL_UNSIGNED_BYTE,
                          gProxyLayer.gammaExponent);
}

// Reads the drawn frame (the back buffer of the screen context) into the background bitmap,
// remade when the window's size changed, and makes it the screen bitmap.
void CopyFrameToScreenBitmap(const PreviewTask& task) {
  RECT client{};
  if (!GetClientRect(task.previewWindow, &client)) return;
  int width = client.right, height = client.bottom;
  if (width <= 0 || height <= 0) return;
  if ((gBackgroundBitmap.width != width || gBackgroundBitmap.height != height) &&
      !MakeContextBitmap(&gBackgroundBitmap, nullptr, width, height)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to create new screen bitmap");
    return;
  }
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  if (gOpenGLDrawing.UsePixelBufferObjects ? !ReadBackThroughPixelBuffer(width, height)
                                           : !ReadBackDirectly(width, height)) {
    return;
  }
  SwapScreenBitmaps();
  gScreenBitmapStale.store(false);
}

}  // namespace

bool SetUpScreenBitmapAccess() {
  if (gScreenBitmapMutex == nullptr) gScreenBitmapMutex = CreateMutexW(nullptr, FALSE, nullptr);
  if (gScreenBitmapMutex == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "CreateMutex for ScreenBitmapMutex failed in InitializeScaledProxyLayer()");
    return false;
  }
  gScreenBitmapStale.store(true);
  return true;
}

void ReleaseScreenBitmapAccess() {
  FreeContextBitmap(&gBackgroundBitmap);
  FreeContextBitmap(&gScreenBitmap);
  gNewFrame = false;
  gScreenStamp = ProxyFrameStamp{};
  gDrawingStamp = ProxyFrameStamp{};
  if (gScreenBitmapMutex != nullptr) CloseHandle(gScreenBitmapMutex);
  gScreenBitmapMutex = nullptr;
}

void SetDrawingFrameStamp(const ProxyFrameStamp& stamp) { gDrawingStamp = stamp; }

void SwapScreenBitmaps() {
  if (!WaitForScreenBitmap()) return;
  ContextBitmap drawn = gBackgroundBitmap;
  gBackgroundBitmap = gScreenBitmap;
  gScreenBitmap = drawn;
  gScreenStamp = gDrawingStamp;
  gNewFrame = true;
  ReleaseMutex(gScreenBitmapMutex);
}

bool LockScreenBitmap() { return WaitForScreenBitmap(); }
void UnlockScreenBitmap() { ReleaseMutex(gScreenBitmapMutex); }

bool TakeNewFrame(ProxyFrameStamp* stamp) {
  bool arrived = gNewFrame;
  gNewFrame = false;
  *stamp = gScreenStamp;
  return arrived;
}

// Contexts take the DC's bitmap or the drawable's size when they are made current (Wine's
// bitmap contexts keep drawing into the bitmap they were bound to otherwise).
void RebindCurrentContext() {
  HDC context = wglGetCurrentDC();
  HGLRC rendering = wglGetCurrentContext();
  if (context == nullptr || rendering == nullptr) return;
  wglMakeCurrent(nullptr, nullptr);
  if (!wglMakeCurrent(context, rendering)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "RebindCurrentContext() - Failed to make OpenGL context current.");
  }
}

void MarkScreenBitmapStale() { gScreenBitmapStale.store(true); }

void NotePresentedFrame(HWND window, const ProxyFrameStamp& stamp) {
  if (stamp.id <= 0) return;  // start-up display frames answer no request
  SetPropW(window, kPresentedFrameProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(stamp.id)));
  ErrorReport(__LINE__, TraceMessage)
      .Report("Preview frame %d presented %.1f ms after it was queued; drawn in %.1f ms.", int(stamp.id),
              MillisecondsSince(stamp.queuedAt), stamp.drawMilliseconds);
}

void RepaintPreviewFromBitmap(const PreviewTask& task) {
  if (SizeMoveInProgress()) return;
  if (GetCurrentThreadId() == task.uiThreadId) {
    InvalidateRect(task.previewWindow, nullptr, FALSE);
    return;
  }
  HRGN region = MakeClientRegion(task.previewWindow);
  if (region == nullptr) return;
  if (!PostMessageW(task.previewWindow, WM_APP_INVALIDATE_PROXY, reinterpret_cast<WPARAM>(region),
                    INVALIDATE_AFTER_FRAME)) {
    DeleteObject(region);
  }
}

// Under Wine's X11 driver a child window that has a pixel format is shown by an X drawable of
// the driver's own that never reaches the screen of the X servers we and many photographers
// run: neither what a context on it draws nor what GDI paints on it is seen, though glReadPixels
// returns the drawing. Under Wine the task therefore draws on a hidden window of its own and the
// preview, which gets no pixel format, paints every frame from the screen bitmap with GDI.
// Wine is told apart by the export every Wine ntdll has and Windows' never has.
bool ScreenContextReachesScreen() {
  int override = gPresentationOverride.load();
  if (override >= 0) return override == 1;
  static const bool underWine = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return !underWine;
}

int SetPresentationOverride(int override) { return gPresentationOverride.exchange(override); }

bool PreviewDrawnByOpenGL() {
  const PreviewTask* task = ActivePreviewTask();
  return task != nullptr && task->screenContext && ScreenContextReachesScreen();
}

void PresentProxyFrame() {
  PreviewTask* task = ActivePreviewTask();
  if (task == nullptr) return;
  bool byOpenGL = ScreenContextReachesScreen();
  bool sizeMove = SizeMoveInProgress();
  if (!byOpenGL || sizeMove || gScreenBitmapStale.load()) CopyFrameToScreenBitmap(*task);
  if (!byOpenGL) {
    RepaintPreviewFromBitmap(*task);
    return;
  }
  if (sizeMove) return;
  if (!SwapBuffers(wglGetCurrentDC())) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Buffer swappage was unsuccessful.");
    return;
  }
  if (!ValidateRect(task->previewWindow, nullptr)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Could not validate entire proxy display.");
  }
  NotePresentedFrame(task->previewWindow, gDrawingStamp);
}

void FinishOffscreenFrame() {
  glFinish();
  HDC context = wglGetCurrentDC();
  DetachBackgroundBitmap(context);
  ApplySoftwareGammaToBitmap();
  SwapScreenBitmaps();
  if (gBackgroundBitmap.bitmap == nullptr && !MakeContextBitmap(&gBackgroundBitmap, context, gScreenBitmap.width, gScreenBitmap.height)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to create new screen bitmap");
  }
  AttachBackgroundBitmap(context);
  RebindCurrentContext();
}

bool SampleScreenBitmap(int x, int y, COLORREF* color) {
  if (!WaitForScreenBitmap()) return false;
  bool inside = gScreenBitmap.pixels != nullptr && x >= 0 && y >= 0 && x < gScreenBitmap.width &&
                y < gScreenBitmap.height;
  if (inside) {
    // Bottom-up rows of blue, green, red, alpha.
    const auto* row = static_cast<const uint8_t*>(gScreenBitmap.pixels) +
                      size_t(gScreenBitmap.height - 1 - y) * size_t(gScreenBitmap.width) * 4;
    const uint8_t* pixel = row + size_t(x) * 4;
    *color = RGB(pixel[2], pixel[1], pixel[0]);
  }
  ReleaseMutex(gScreenBitmapMutex);
  return inside;
}

void SetPreviewBackgroundColor(COLORREF color) { gBackgroundColor.store(color); }
void SetPreviewFrameColor(COLORREF color) { gFrameColor.store(color); }
void SetPreviewFocusColor(COLORREF color) { gFocusColor.store(color); }
COLORREF PreviewFocusColor() { return gFocusColor.load(); }
void SetSoftwareGammaRect(const RECT& rect) { gSoftwareGammaRect = rect; }
COLORREF PreviewBackgroundColor() { return gBackgroundColor.load(); }
COLORREF PreviewFrameColor() { return gFrameColor.load(); }
