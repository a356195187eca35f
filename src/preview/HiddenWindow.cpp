// The hidden 16 x 16 window that carries the OpenGL context of the installer, the options dialog
// and the About box, and that context itself: a screen context with hardware, else a bitmap one.
#include "preview/OpenGLContext.h"

#include "preview/OpenGLReports.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"

namespace {

constexpr wchar_t kHiddenWindowClass[] = L"VBHideWnd";
// Hidden windows alive; the class is registered while it is above zero. Used on one thread.
int gHiddenWindowCount = 0;

void ReportHiddenFailure(int line, const char* text) {
  ErrorReport(uint32_t(line), SystemError, GetLastError()).Report(kStyleError, kTitleContextUnexpectedError, "%s", text);
}

bool RegisterHiddenWindowClass() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetPluginInstance();
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kHiddenWindowClass;
  return RegisterClassExW(&windowClass) != 0;
}

}  // namespace

HWND CreateHiddenWindow() {
  if (gHiddenWindowCount == 0 && !RegisterHiddenWindowClass()) {
    ReportHiddenFailure(__LINE__, "CreateHiddenWindow() - Failed to register hidden window class.");
    return nullptr;
  }
  HWND window = CreateWindowExW(0, kHiddenWindowClass, L"", WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 16, 16,
                                nullptr, nullptr, GetPluginInstance(), nullptr);
  if (window == nullptr) {
    ReportHiddenFailure(__LINE__, "CreateHiddenWindow() - Failed to create hidden window.");
    if (gHiddenWindowCount == 0 && !UnregisterClassW(kHiddenWindowClass, GetPluginInstance())) {
      ReportHiddenFailure(__LINE__, "CreateHiddenWindow() - Failed to unregister hidden window class after another error occurred.");
    }
    return nullptr;
  }
  ++gHiddenWindowCount;
  return window;
}

bool DestroyHiddenWindow(HWND window) {
  if (!DestroyWindow(window)) {
    ReportHiddenFailure(__LINE__, "DestroyHiddenWindow() - Failed to destroy hidden window.");
    return false;
  }
  if (--gHiddenWindowCount == 0 && !UnregisterClassW(kHiddenWindowClass, GetPluginInstance())) {
    ReportHiddenFailure(__LINE__, "DestroyHiddenWindow() - Failed to unregister hidden window class.");
    return false;
  }
  return true;
}

bool CreateHiddenOpenGLContext(OpenGLContext* context, PIXELFORMATDESCRIPTOR* descriptor, bool* accelerated) {
  *context = OpenGLContext{};
  ErrorReport(__LINE__, TraceMessage).Report("CreateHiddenWindow()\n\n");
  HWND window = CreateHiddenWindow();
  if (window == nullptr) {
    ReportHiddenFailure(__LINE__, "CreateHiddenOpenGLContext() - Failed to create a hidden window for context.");
    return false;
  }
  ErrorReport(__LINE__, TraceMessage).Report("SelectPixelFormat()\n\n");
  int pixelFormat = SelectPixelFormat(window, !*accelerated, descriptor, accelerated);
  if (pixelFormat == 0) {
    ReportHiddenFailure(__LINE__, "CreateHiddenOpenGLContext() - Could not select an acceptable pixel format.");
    DestroyHiddenWindow(window);
    return false;
  }
  RECT client{};
  GetClientRect(window, &client);
  if (*accelerated) {
    ErrorReport(__LINE__, TraceMessage).Report("CreateScreenContext()\n\n");
    CreateScreenContext(context, window, client, pixelFormat, *descriptor);
  } else {
    ErrorReport(__LINE__, TraceMessage).Report("CreateBitmapContextWithBitmap()\n\n");
    CreateBitmapContextWithBitmap(context, window, client, pixelFormat, *descriptor);
  }
  if (context->kind == OPENGL_CONTEXT_INVALID) {
    ReportHiddenFailure(__LINE__, "CreateHiddenOpenGLContext() - Could not create an OpenGL context.");
    DestroyHiddenWindow(window);
    return false;
  }
  return true;
}

bool DestroyHiddenOpenGLContext(OpenGLContext* context) {
  if (context->kind == OPENGL_CONTEXT_INVALID || context->window == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleContextUnexpectedError, "DestroyHiddenOpenGLContext() - An invalid OpenGL context was specified.");
    return false;
  }
  HWND window = context->window;
  ReleaseOpenGLContext(context);
  return DestroyHiddenWindow(window);
}
