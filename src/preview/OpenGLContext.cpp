// The preview's rendering contexts: on a window's own DC, on a memory DC drawing into the shared
// background bitmap, and on a memory DC with a bitmap of its own; their release, the viewport
// and projection, and the log of each new context's OpenGL implementation.
#include "preview/OpenGLContext.h"

#include <GL/glew.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "preview/GlewContexts.h"
#include "preview/OpenGLReports.h"
#include "preview/ScreenBitmaps.h"
#include "support/ErrorReport.h"

namespace {

// The failure texts of one kind of context, step by step; null where the kind has no such step.
struct ContextMessages {
  const char* windowContext;
  const char* memoryContext;
  const char* ownBitmap;
  const char* pixelFormat;
  const char* create;
  const char* makeCurrent;
};

constexpr ContextMessages kScreenMessages = {
    "CreateScreenContext() - Failed to get Proxy Window device context.",
    nullptr,
    nullptr,
    "CreateScreenContext():  Could not SetPixelFormat for OpenGL use.",
    "CreateScreenContext() - Failed to create OpenGL context.",
    "CreateScreenContext() - Failed to make OpenGL context current.",
};
constexpr ContextMessages kBitmapMessages = {
    "CreateBitmapContext() - Failed to get Proxy Window device context.",
    "CreateBitmapContext() - Failed to create compatible device context.",
    "Failed to create new screen bitmap",
    "CreateBitmapContext():  Could not SetPixelFormat for OpenGL use.",
    "CreateBitmapContext() - Failed to create OpenGL context.",
    "CreateBitmapContext() - Failed to make OpenGL context current.",
};
constexpr ContextMessages kOwnBitmapMessages = {
    "CreateBitmapContextWithBitmap() - Failed to get window device context.",
    "CreateBitmapContextWithBitmap() - Failed to create compatible device context.",
    "CreateBitmapContextWithBitmap() - Failed to create context bitmap.",
    "CreateBitmapContextWithBitmap():  Could not SetPixelFormat for OpenGL use.",
    "CreateBitmapContextWithBitmap() - Failed to create OpenGL context.",
    "CreateBitmapContextWithBitmap() - Failed to make OpenGL context current.",
};

void ReportContextFailure(int line, const char* text) {
  ErrorReport(uint32_t(line), SystemError, GetLastError()).Report(kStyleError, kTitleContextUnexpectedError, "%s", text);
}

const char* GLText(GLenum name) {
  const char* text = reinterpret_cast<const char*>(glGetString(name));
  return text != nullptr ? text : "";
}

// The highest core version GLEW found, as the system report prints it (1.2.1 as 1.21).
double HighestGlewVersion() {
  struct VersionRow { const GLboolean* supported; double version; };
  const VersionRow rows[] = {
      {&__GLEW_VERSION_4_4, 4.4}, {&__GLEW_VERSION_4_3, 4.3}, {&__GLEW_VERSION_4_2, 4.2},
      {&__GLEW_VERSION_4_1, 4.1}, {&__GLEW_VERSION_4_0, 4.0}, {&__GLEW_VERSION_3_3, 3.3},
      {&__GLEW_VERSION_3_2, 3.2}, {&__GLEW_VERSION_3_1, 3.1}, {&__GLEW_VERSION_3_0, 3.0},
      {&__GLEW_VERSION_2_1, 2.1}, {&__GLEW_VERSION_2_0, 2.0}, {&__GLEW_VERSION_1_5, 1.5},
      {&__GLEW_VERSION_1_4, 1.4}, {&__GLEW_VERSION_1_3, 1.3}, {&__GLEW_VERSION_1_2_1, 1.21},
      {&__GLEW_VERSION_1_2, 1.2}, {&__GLEW_VERSION_1_1, 1.1},
  };
  for (const VersionRow& row : rows) {
    if (*row.supported) return row.version;
  }
  return 0.0;
}

void LogOpenGLImplementation(HGLRC renderingContext) {
  std::string version = GLText(GL_VERSION);
  size_t space = version.find(' ');
  std::string number = version.substr(0, space);
  std::string rest = space == std::string::npos ? std::string() : "(" + version.substr(space + 1) + ")";
  std::string extensions;
  const char* list = GLText(GL_EXTENSIONS);
  while (*list != '\0') {
    size_t length = strcspn(list, " ");
    if (length > 0) extensions += "          " + std::string(list, length) + "\n";
    list += length;
    while (*list == ' ') ++list;
  }
  ErrorReport(__LINE__, TraceMessage)
      .Report("OpenGL Implementation for Rendering Context 0x%X\n\n\tOpenGL Version %s %s\n\tOpenGL Vendor '%s'\n"
              "\tOpenGL Renderer '%s'\n\n\tAvailable Extensions:\n%sGLEW_VERSION_X_X support is %.2f\n\n",
              unsigned(uintptr_t(renderingContext)), number.c_str(), rest.c_str(), GLText(GL_VENDOR),
              GLText(GL_RENDERER), extensions.c_str(), HighestGlewVersion());
}

// Pixel format, rendering context, GLEW state and viewport on a prepared DC: the rendering
// context current on success, or null with nothing of it left.
HGLRC MakeRenderingContext(HDC deviceContext, int pixelFormat, const PIXELFORMATDESCRIPTOR& descriptor,
                           const RECT& viewport, const ContextMessages& messages) {
  if (!SetPixelFormat(deviceContext, pixelFormat, &descriptor)) {
    ReportContextFailure(__LINE__, messages.pixelFormat);
    return nullptr;
  }
  HGLRC renderingContext = wglCreateContext(deviceContext);
  if (renderingContext == nullptr) {
    ReportContextFailure(__LINE__, messages.create);
    return nullptr;
  }
  if (!MakeOpenGLContextCurrent(deviceContext, renderingContext)) {
    ReportContextFailure(__LINE__, messages.makeCurrent);
    wglDeleteContext(renderingContext);
    return nullptr;
  }
  if (!CreateGLEWContext()) {
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(renderingContext);
    return nullptr;
  }
  SetGLSize(viewport);
  OpenGLErrorReport(__LINE__, OpenGLError, glGetError())
      .Report(kStyleError, kTitleContextUnexpectedError, "CreateScreenContext() - Failed to set OpenGL viewport.");
  LogOpenGLImplementation(renderingContext);
  return renderingContext;
}

int ViewportWidth(const RECT& viewport) { return int(viewport.right - viewport.left); }
int ViewportHeight(const RECT& viewport) { return int(viewport.bottom - viewport.top); }

// A memory DC compatible with the window; the window's DC is released at once.
HDC CreateWindowCompatibleDC(HWND window, const ContextMessages& messages) {
  HDC windowContext = GetDC(window);
  if (windowContext == nullptr) {
    ReportContextFailure(__LINE__, messages.windowContext);
    return nullptr;
  }
  HDC memoryContext = CreateCompatibleDC(windowContext);
  ReleaseDC(window, windowContext);
  if (memoryContext == nullptr) ReportContextFailure(__LINE__, messages.memoryContext);
  return memoryContext;
}

void FillContext(OpenGLContext* context, int kind, HWND window, HDC deviceContext, HGLRC renderingContext) {
  context->kind = kind;
  context->window = window;
  context->deviceContext = deviceContext;
  context->renderingContext = renderingContext;
}

}  // namespace

void SetGLSize(const RECT& rect) {
  int width = ViewportWidth(rect), height = ViewportHeight(rect);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, double(width), double(height), 0.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  OpenGLErrorReport(__LINE__, OpenGLError, glGetError())
      .Report(kStyleError, kTitleUnexpectedError,
              "OpenGL Function Failed in SetGLSize(). Viewport Width = %d, Viewport Height = %d.", width, height);
}

void CreateScreenContext(OpenGLContext* context, HWND window, const RECT& viewport, int pixelFormat,
                         const PIXELFORMATDESCRIPTOR& descriptor) {
  *context = OpenGLContext{};
  HDC deviceContext = GetDC(window);
  if (deviceContext == nullptr) {
    ReportContextFailure(__LINE__, kScreenMessages.windowContext);
    return;
  }
  HGLRC renderingContext = MakeRenderingContext(deviceContext, pixelFormat, descriptor, viewport, kScreenMessages);
  if (renderingContext == nullptr) {
    ReleaseDC(window, deviceContext);
    return;
  }
  FillContext(context, OPENGL_CONTEXT_SCREEN, window, deviceContext, renderingContext);
}

void CreateBitmapContext(OpenGLContext* context, HWND window, const RECT& viewport, int pixelFormat,
                         const PIXELFORMATDESCRIPTOR& descriptor) {
  *context = OpenGLContext{};
  HDC memoryContext = CreateWindowCompatibleDC(window, kBitmapMessages);
  if (memoryContext == nullptr) return;
  if (gSavedDCState != 0) DetachBackgroundBitmap(BackgroundBitmapDC());
  if (!MakeContextBitmap(&gBackgroundBitmap, memoryContext, ViewportWidth(viewport), ViewportHeight(viewport))) {
    ReportContextFailure(__LINE__, kBitmapMessages.ownBitmap);
    DeleteDC(memoryContext);
    return;
  }
  HGLRC renderingContext = nullptr;
  if (AttachBackgroundBitmap(memoryContext)) {
    int format = MatchBitmapPixelFormat(memoryContext, pixelFormat, descriptor);
    renderingContext = MakeRenderingContext(memoryContext, format, descriptor, viewport, kBitmapMessages);
    if (renderingContext == nullptr) DetachBackgroundBitmap(memoryContext);
  }
  if (renderingContext == nullptr) {
    DeleteDC(memoryContext);
    return;
  }
  FillContext(context, OPENGL_CONTEXT_BITMAP, window, memoryContext, renderingContext);
}

void CreateBitmapContextWithBitmap(OpenGLContext* context, HWND window, const RECT& viewport, int pixelFormat,
                                   const PIXELFORMATDESCRIPTOR& descriptor) {
  *context = OpenGLContext{};
  HDC memoryContext = CreateWindowCompatibleDC(window, kOwnBitmapMessages);
  if (memoryContext == nullptr) return;
  ContextBitmap bitmap;
  if (!MakeContextBitmap(&bitmap, memoryContext, ViewportWidth(viewport), ViewportHeight(viewport))) {
    ReportContextFailure(__LINE__, kOwnBitmapMessages.ownBitmap);
    DeleteDC(memoryContext);
    return;
  }
  HGDIOBJ previous = SelectObject(memoryContext, bitmap.bitmap);
  HGLRC renderingContext = nullptr;
  if (previous == nullptr || previous == HGDI_ERROR) {
    ReportContextFailure(__LINE__, "AttachBackgroundBitmap() - Could not attach background bitmap to the device context.");
  } else {
    int format = MatchBitmapPixelFormat(memoryContext, pixelFormat, descriptor);
    renderingContext = MakeRenderingContext(memoryContext, format, descriptor, viewport, kOwnBitmapMessages);
  }
  if (renderingContext == nullptr) {
    DeleteDC(memoryContext);
    FreeContextBitmap(&bitmap);
    return;
  }
  FillContext(context, OPENGL_CONTEXT_BITMAP, window, memoryContext, renderingContext);
  context->ownBitmap = bitmap;
}

void ReleaseOpenGLContext(OpenGLContext* context) {
  if (context->kind != OPENGL_CONTEXT_SCREEN && context->kind != OPENGL_CONTEXT_BITMAP) {
    if (context->kind == OPENGL_CONTEXT_INVALID) {
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleContextUnexpectedError, "ReleaseOpenGLContext() - Invalid OpenGLContext specified.");
    } else {
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleContextUnexpectedError,
                  "ReleaseOpenGLContext() - Unrecognized OpenGLContext type specified, Type = %d.", context->kind);
    }
    return;
  }
  HGLRC current = wglGetCurrentContext();
  if (current != nullptr && current == context->renderingContext && !wglMakeCurrent(nullptr, nullptr)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleContextUnexpectedError, "ReleaseOpenGLContext() - Failed to release OpenGL rendering context 0x%X.",
                unsigned(uintptr_t(context->renderingContext)));
  }
  if (context->renderingContext != nullptr) {
    DeleteGLEWContext(context->renderingContext);
    if (!wglDeleteContext(context->renderingContext)) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleContextUnexpectedError, "ReleaseOpenGLContext() - Failed to delete OpenGL context 0x%X.",
                  unsigned(uintptr_t(context->renderingContext)));
    }
    context->renderingContext = nullptr;
  }
  if (context->kind == OPENGL_CONTEXT_SCREEN) {
    if (!ReleaseDC(context->window, context->deviceContext)) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleContextUnexpectedError,
                  "ReleaseOpenGLContext() - Failed to release screen device context 0x%X belonging to window 0x%X.",
                  unsigned(uintptr_t(context->deviceContext)), unsigned(uintptr_t(context->window)));
    }
  } else {
    // The background bitmap outlives the context (the preview releases it); only its selection
    // into this DC ends here, so that a later bitmap context can attach it again.
    if (context->ownBitmap.bitmap == nullptr && gSavedDCState != 0 && BackgroundBitmapDC() == context->deviceContext) {
      DetachBackgroundBitmap(context->deviceContext);
    }
    if (!DeleteDC(context->deviceContext)) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleContextUnexpectedError, "ReleaseOpenGLContext() - Failed to delete bitmap device context 0x%X.",
                  unsigned(uintptr_t(context->deviceContext)));
    }
    FreeContextBitmap(&context->ownBitmap);
  }
  context->deviceContext = nullptr;
  context->kind = OPENGL_CONTEXT_INVALID;
  context->window = nullptr;
}
