// The OpenGL state of the preview and the frames drawn with it: for now the frame's background
// and border, and the start-up display with the splash bitmap centred.
#include <windows.h>
#include <GL/glew.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "preview/BackgroundTask.h"
#include "preview/PreviewTask.h"
#include "preview/ProxyDisplay.h"
#include "preview/ProxyFrames.h"
#include "support/ErrorReport.h"

#ifndef GL_BGRA_EXT
#define GL_BGRA_EXT 0x80E1
#endif

namespace {

struct ScaledProxyLayer {
  bool initialized = false;
  HWND dialog = nullptr;
  HWND preview = nullptr;
  HANDLE openGLWindowMutex = nullptr;
};
ScaledProxyLayer gLayer;  // task thread only

std::atomic<HBITMAP> gSplashBitmap{nullptr};
// The splash as bottom-up rows of blue, green, red, alpha; task thread only.
std::vector<uint32_t> gSplashPixels;
int gSplashWidth = 0;
int gSplashHeight = 0;

void SetGLColor(COLORREF color) { glColor4ub(GetRValue(color), GetGValue(color), GetBValue(color), 255); }

void ReportPendingGLError(const char* text) {
  if (GLenum error = glGetError(); error != GL_NO_ERROR) OpenGLErrorReport(__LINE__, OpenGLError, error).Report("%s", text);
}

void SetInitialState() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  for (GLenum parameter : {GL_PACK_SWAP_BYTES, GL_PACK_LSB_FIRST, GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS,
                           GL_PACK_SKIP_PIXELS, GL_UNPACK_SWAP_BYTES, GL_UNPACK_LSB_FIRST, GL_UNPACK_ROW_LENGTH,
                           GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS}) {
    glPixelStorei(parameter, 0);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  for (GLenum capability : {GL_ALPHA_TEST, GL_DEPTH_TEST, GL_DITHER, GL_FOG, GL_LIGHTING, GL_SCISSOR_TEST, GL_STENCIL_TEST}) {
    glDisable(capability);
  }
  for (GLenum scale : {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE}) glPixelTransferf(scale, 1.0f);
  for (GLenum bias : {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS, GL_ALPHA_BIAS}) glPixelTransferf(bias, 0.0f);
  glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
}

// Flat drawing: no texture, no blending, into the buffer the context draws to.
void BeginFlatDrawing(bool screenContext) {
  glDrawBuffer(screenContext ? GL_BACK : GL_FRONT);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void EndFlatDrawing() {
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glEnable(GL_CULL_FACE);
}

void ClearToBackground() {
  COLORREF background = PreviewBackgroundColor();
  glClearColor(GetRValue(background) / 255.0f, GetGValue(background) / 255.0f, GetBValue(background) / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// The border is the one-pixel ring outside the frame rectangle; lines through pixel centres.
void DrawFrameBorder(const RECT& client) {
  SetGLColor(PreviewFrameColor());
  glBegin(GL_LINE_LOOP);
  glVertex2f(0.5f, 0.5f);
  glVertex2f(client.right - 0.5f, 0.5f);
  glVertex2f(client.right - 0.5f, client.bottom - 0.5f);
  glVertex2f(0.5f, client.bottom - 0.5f);
  glEnd();
}

bool CopySplashRows(const DIBSECTION& section) {
  const BITMAPINFOHEADER& header = section.dsBmih;
  if (header.biCompression != BI_RGB) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "DIB Section compression mode %d unsupported at this time.",
                int(header.biCompression));
    return false;
  }
  int bytesPerPixel = header.biBitCount / 8;
  if (header.biBitCount != 24 && header.biBitCount != 32) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "DIB Section  %d bit depth unsupported at this time.",
                int(header.biBitCount));
    return false;
  }
  gSplashWidth = section.dsBm.bmWidth;
  gSplashHeight = section.dsBm.bmHeight;
  gSplashPixels.assign(size_t(gSplashWidth) * size_t(gSplashHeight), 0);
  bool bottomUp = header.biHeight > 0;
  const auto* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
  for (int row = 0; row < gSplashHeight; ++row) {
    const uint8_t* source = bits + size_t(bottomUp ? row : gSplashHeight - 1 - row) * size_t(section.dsBm.bmWidthBytes);
    uint32_t* target = gSplashPixels.data() + size_t(row) * size_t(gSplashWidth);
    for (int x = 0; x < gSplashWidth; ++x, source += bytesPerPixel) {
      uint32_t alpha = bytesPerPixel == 4 ? source[3] : 255u;
      target[x] = uint32_t(source[0]) | uint32_t(source[1]) << 8 | uint32_t(source[2]) << 16 | alpha << 24;
    }
  }
  return true;
}

// Centred in the client area; the raster position is set at the centre, which is always inside
// the viewport, and moved from there, so that a splash larger than the window is cropped rather
// than dropped.
void DrawSplash(const RECT& client) {
  if (gSplashPixels.empty()) return;
  glRasterPos2i(client.right / 2, client.bottom / 2);
  int centreY = client.bottom - client.bottom / 2;  // the raster position in window rows, from the bottom
  glBitmap(0, 0, 0, 0, float((client.right - gSplashWidth) / 2 - client.right / 2),
           float((client.bottom - gSplashHeight) / 2 - centreY), nullptr);
  glDrawPixels(gSplashWidth, gSplashHeight, GL_BGRA_EXT, GL_UNSIGNED_BYTE, gSplashPixels.data());
}

}  // namespace

void SetPreviewSplashBitmap(HBITMAP bitmap) { gSplashBitmap.store(bitmap); }

bool InitializeScaledProxyLayer(HWND dialog, HWND preview) {
  gLayer.dialog = dialog;
  gLayer.preview = preview;
  gLayer.openGLWindowMutex = CreateMutexW(nullptr, FALSE, nullptr);
  if (gLayer.openGLWindowMutex == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "CreateMutex for OpenGLWindowMutex failed in InitializeScaledProxyLayer()");
    return false;
  }
  SetInitialState();
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    OpenGLErrorReport(__LINE__, OpenGLError, error)
        .Report("OpenGL Function Failed in InitializeScaledProxyLayer(). Failed to initialize OpenGL states.");
  }
  ForgetLastRenderedSet();
  gLayer.initialized = true;
  return true;
}

void DestroyScaledProxyLayer() {
  ReportPendingGLError("OpenGL Function Failed in DestroyScaledProxyLayer().");
  if (gLayer.openGLWindowMutex != nullptr) CloseHandle(gLayer.openGLWindowMutex);
  gLayer = ScaledProxyLayer{};
  gSplashPixels.clear();
  MarkScreenBitmapStale();
  ForgetLastRenderedSet();
}

bool RenderScaledProxyDisplay() {
  const PreviewTask* task = ActivePreviewTask();
  if (task == nullptr || !gLayer.initialized) return false;
  RECT client{};
  GetClientRect(task->previewWindow, &client);
  if (PreviewAborted()) return false;
  BeginFlatDrawing(task->screenContext);
  ClearToBackground();
  ReportPendingGLError("Failed to initialize Proxy Window display.");
  DrawFrameBorder(client);
  ReportPendingGLError("Failed to display keyboard focus rectangle.");
  EndFlatDrawing();
  return !PreviewAborted();
}

bool PrepareStartupDisplay() {
  gSplashPixels.clear();
  HBITMAP splash = gSplashBitmap.load();
  if (splash == nullptr) return true;
  DIBSECTION section{};
  if (GetObjectW(splash, sizeof section, &section) != int(sizeof section) || section.dsBm.bmBits == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "PrepareStartupDisplay() - The splash bitmap is not a DIB section.");
    return false;
  }
  return CopySplashRows(section);
}

void DrawStartupDisplayFrame() {
  PreviewTask* task = ActivePreviewTask();
  RECT client{};
  if (task == nullptr || !gLayer.initialized || PreviewAborted() || !FitDrawingToWindow(*task, &client)) return;
  BeginFlatDrawing(task->screenContext);
  ClearToBackground();
  DrawSplash(client);
  ReportPendingGLError("Failed to draw splash screen to GL_BACK framebuffer.");
  EndFlatDrawing();
  PresentDrawnFrame(*task, ProxyFrameStamp{});
}
