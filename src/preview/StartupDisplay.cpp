// The start-up display: the splash bitmap centred in the preview until the analysis is ready.
// The splash is drawn as authored, without the gamma pass, since its pixels are display values
// already and a gamma pass would wash them out.
#include <windows.h>
#include <GL/glew.h>

#include <atomic>
#include <cstdint>

#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "preview/BackgroundTask.h"
#include "preview/PreviewTask.h"
#include "preview/ProxyDisplay.h"
#include "preview/ProxyFrames.h"
#include "preview/ProxyLayer.h"
#include "support/ErrorReport.h"

namespace {

std::atomic<HBITMAP> gSplashBitmap{nullptr};
int32_t gSplashWidth = 0;  // task thread only
int32_t gSplashHeight = 0;

void Report(const char* format, int value) {
  ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, format, value);
}

// Rows of the DIB section into the record top-down, four samples a pixel in the record's order.
bool CopySplashRows(const DIBSECTION& section, ImageRecord* image) {
  const BITMAPINFOHEADER& header = section.dsBmih;
  int bytesPerPixel = header.biBitCount / 8;
  bool bgra = image->pixelFormat == GL_BGRA_FORMAT;
  if (!bgra && image->pixelFormat != GL_RGBA_FORMAT) {
    Report(bytesPerPixel == 3 ? "Image pixel format 0x%X for 24 bit pixels is unsupported at this time."
                              : "Image pixel format 0x%X for 32 bit pixels is unsupported at this time.",
           image->pixelFormat);
    return false;
  }
  bool bottomUp = header.biHeight > 0;
  int32_t rows = std::min<int32_t>(int32_t(image->rectangle.Height()), section.dsBm.bmHeight);
  const auto* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
  for (int32_t row = 0; row < rows; ++row) {
    int32_t sourceRow = bottomUp ? section.dsBm.bmHeight - 1 - row : row;
    const uint8_t* source = bits + size_t(sourceRow) * size_t(section.dsBm.bmWidthBytes);
    uint8_t* target = image->Pixel(0, row);
    for (int32_t x = 0; x < section.dsBm.bmWidth; ++x, source += bytesPerPixel, target += 4) {
      target[0] = bgra ? source[0] : source[2];
      target[1] = source[1];
      target[2] = bgra ? source[2] : source[0];
      target[3] = bytesPerPixel == 4 ? source[3] : 255;
    }
  }
  return true;
}

}  // namespace

void SetPreviewSplashBitmap(HBITMAP bitmap) { gSplashBitmap.store(bitmap); }

bool PrepareStartupDisplay() {
  gSplashWidth = gSplashHeight = 0;
  HBITMAP splash = gSplashBitmap.load();
  if (splash == nullptr) return true;
  DIBSECTION section{};
  if (GetObjectW(splash, sizeof section, &section) != int(sizeof section) || section.dsBm.bmBits == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "PrepareStartupDisplay() - The splash bitmap is not a DIB section.");
    return false;
  }
  if (section.dsBmih.biCompression != BI_RGB) {
    Report("DIB Section compression mode %d unsupported at this time.", int(section.dsBmih.biCompression));
    return false;
  }
  if (section.dsBmih.biBitCount != 24 && section.dsBmih.biBitCount != 32) {
    Report("DIB Section  %d bit depth unsupported at this time.", int(section.dsBmih.biBitCount));
    return false;
  }
  ImageRect rect{0, 0, section.dsBm.bmWidth, section.dsBm.bmHeight};
  ImageRecord image;
  bool built = CreateImage(&image, rect, rect, plugInModeRGBColor, StandardProfile(), false, false) &&
               CopySplashRows(section, &image) && CreateTextureSetFromImage(&gProxyLayer.startupSet, image, rect);
  ReleaseImage(&image);
  if (built) {
    gSplashWidth = rect.right;
    gSplashHeight = rect.bottom;
  }
  return built;
}

void DrawStartupDisplayFrame() {
  PreviewTask* task = ActivePreviewTask();
  RECT client{};
  if (task == nullptr || !gProxyLayer.initialized || PreviewAborted() || !FitDrawingToWindow(*task, &client)) return;
  SetSoftwareGammaRect(RECT{});
  glDrawBuffer(task->screenContext ? GL_BACK : GL_FRONT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  COLORREF background = PreviewBackgroundColor();
  glClearColor(GetRValue(background) / 255.0f, GetGValue(background) / 255.0f, GetBValue(background) / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (gSplashWidth > 0) {
    glTranslated(double((client.right - gSplashWidth) / 2), double((client.bottom - gSplashHeight) / 2), 0.0);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glBlendFunc(GL_ONE, GL_ZERO);
    glColor4f(1, 1, 1, 1);
    DrawImageTextureSet(gProxyLayer.startupSet);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_CULL_FACE);
    glLoadIdentity();
  }
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    OpenGLErrorReport(__LINE__, OpenGLError, error).Report("Failed to draw splash screen to GL_BACK framebuffer.");
  }
  PresentDrawnFrame(*task, ProxyFrameStamp{});
}
