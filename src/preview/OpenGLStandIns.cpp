// Stand-in for the OpenGL context module until it is merged: the pixel format choice, window and
// bitmap contexts with plain WGL, and drawing settings without any extension.
#include <windows.h>
#include <GL/gl.h>

#include "preview/OpenGLContext.h"
#include "preview/OpenGLSettings.h"
#include "preview/ScreenBitmaps.h"
#include "support/ErrorReport.h"

OpenGLSettingsRecord gOpenGLSettings;
OpenGLDrawingFlags gOpenGLDrawing;

namespace {

bool Qualifies(const PIXELFORMATDESCRIPTOR& format) {
  return (format.dwFlags & PFD_SUPPORT_OPENGL) && !(format.dwFlags & (PFD_NEED_PALETTE | PFD_NEED_SYSTEM_PALETTE)) &&
         format.iPixelType == PFD_TYPE_RGBA && format.cColorBits == 32 && format.cAlphaBits != 0;
}

bool MakeCurrent(OpenGLContext* context, int pixelFormat, const PIXELFORMATDESCRIPTOR& descriptor) {
  if (GetPixelFormat(context->deviceContext) != pixelFormat &&
      !SetPixelFormat(context->deviceContext, pixelFormat, &descriptor)) {
    return false;
  }
  context->renderingContext = wglCreateContext(context->deviceContext);
  if (context->renderingContext == nullptr) return false;
  if (!wglMakeCurrent(context->deviceContext, context->renderingContext)) {
    wglDeleteContext(context->renderingContext);
    context->renderingContext = nullptr;
    return false;
  }
  return true;
}

}  // namespace

int SelectPixelFormat(HWND window, bool forceSoftware, PIXELFORMATDESCRIPTOR* descriptor, bool* accelerated) {
  HDC context = GetDC(window);
  if (context == nullptr) return 0;
  int count = DescribePixelFormat(context, 1, sizeof(PIXELFORMATDESCRIPTOR), nullptr);
  int hardware = 0, software = 0;
  PIXELFORMATDESCRIPTOR hardwareFormat{}, softwareFormat{};
  for (int index = 1; index <= count; ++index) {
    PIXELFORMATDESCRIPTOR format{};
    if (DescribePixelFormat(context, index, sizeof format, &format) == 0) break;
    if (!Qualifies(format)) continue;
    bool generic = format.dwFlags & PFD_GENERIC_FORMAT, genericAccelerated = format.dwFlags & PFD_GENERIC_ACCELERATED;
    if (hardware == 0 && !forceSoftware && !generic && !genericAccelerated && (format.dwFlags & PFD_DRAW_TO_WINDOW) &&
        (format.dwFlags & PFD_DOUBLEBUFFER)) {
      hardware = index, hardwareFormat = format;
    }
    if (software == 0 && generic && !genericAccelerated && (format.dwFlags & PFD_DRAW_TO_BITMAP) &&
        (format.dwFlags & PFD_SUPPORT_GDI) && !(format.dwFlags & PFD_DOUBLEBUFFER)) {
      software = index, softwareFormat = format;
    }
  }
  ReleaseDC(window, context);
  *accelerated = hardware != 0;
  *descriptor = hardware != 0 ? hardwareFormat : softwareFormat;
  return hardware != 0 ? hardware : software;
}

void CreateScreenContext(OpenGLContext* context, HWND window, const RECT& viewport, int pixelFormat,
                         const PIXELFORMATDESCRIPTOR& descriptor) {
  *context = OpenGLContext{};
  context->deviceContext = GetDC(window);
  if (context->deviceContext == nullptr) return;
  if (!MakeCurrent(context, pixelFormat, descriptor)) {
    ReleaseDC(window, context->deviceContext);
    *context = OpenGLContext{};
    return;
  }
  context->kind = OPENGL_CONTEXT_SCREEN;
  context->window = window;
  SetGLSize(viewport);
}

void CreateBitmapContext(OpenGLContext* context, HWND window, const RECT& viewport, int pixelFormat,
                         const PIXELFORMATDESCRIPTOR& descriptor) {
  *context = OpenGLContext{};
  HDC windowContext = GetDC(window);
  context->deviceContext = CreateCompatibleDC(windowContext);
  ReleaseDC(window, windowContext);
  if (context->deviceContext == nullptr) return;
  DetachBackgroundBitmap(context->deviceContext);
  if (!MakeContextBitmap(&gBackgroundBitmap, viewport.right - viewport.left, viewport.bottom - viewport.top) ||
      !AttachBackgroundBitmap(context->deviceContext) || !MakeCurrent(context, pixelFormat, descriptor)) {
    DetachBackgroundBitmap(context->deviceContext);
    DeleteDC(context->deviceContext);
    *context = OpenGLContext{};
    return;
  }
  context->kind = OPENGL_CONTEXT_BITMAP;
  context->window = window;
  SetGLSize(viewport);
}

void ReleaseOpenGLContext(OpenGLContext* context) {
  if (wglGetCurrentContext() == context->renderingContext) wglMakeCurrent(nullptr, nullptr);
  if (context->renderingContext != nullptr) wglDeleteContext(context->renderingContext);
  if (context->kind == OPENGL_CONTEXT_SCREEN) ReleaseDC(context->window, context->deviceContext);
  if (context->kind == OPENGL_CONTEXT_BITMAP) {
    DetachBackgroundBitmap(context->deviceContext);
    DeleteDC(context->deviceContext);
  }
  *context = OpenGLContext{};
}

void SetGLSize(const RECT& rect) {
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

bool InitializeOpenGLDrawingSettings(bool accelerated) {
  gOpenGLDrawing = OpenGLDrawingFlags{};
  gOpenGLDrawing.accelerated = accelerated;
  gOpenGLDrawing.UseOffscreenBitmap = !accelerated;
  gOpenGLDrawing.MustUsePowerOfTwoSizedTextures = true;
  return true;
}
