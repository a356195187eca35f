// Top-level windows for the OpenGL tests, each with its own DC as the preview window has, and
// the checks shared by the context tests.
#pragma once
#include <windows.h>

#include <GL/glew.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "preview/OpenGLContext.h"
#include "support/ErrorReport.h"

inline HWND CreateOpenGLTestWindow(int width = 64, int height = 48) {
  static const ATOM windowClass = [] {
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.style = CS_OWNDC;
    description.lpfnWndProc = DefWindowProcW;
    description.hInstance = GetModuleHandleW(nullptr);
    description.lpszClassName = L"HalvornOpenGLTestWindow";
    return RegisterClassExW(&description);
  }();
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, WS_POPUP, FALSE, 0);
  HWND window = CreateWindowExW(0, MAKEINTATOM(windowClass), L"", WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 20, 20,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (window != nullptr) ShowWindow(window, SW_SHOWNOACTIVATE);
  return window;
}

inline RECT ClientRectOf(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return client;
}

// glReadPixels of one pixel, as 0xRRGGBBAA.
inline uint32_t ReadGLPixel(int x, int y) {
  uint8_t rgba[4] = {};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return uint32_t(rgba[0]) << 24 | uint32_t(rgba[1]) << 16 | uint32_t(rgba[2]) << 8 | rgba[3];
}

inline void ClearToColor(float red, float green, float blue) {
  glClearColor(red, green, blue, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glFinish();
}

// Reports other than trace lines: what a successful step must not leave.
inline std::vector<std::string> FailureReports(const ReportCapture& capture) {
  std::vector<std::string> failures;
  for (const CapturedReport& report : capture.Reports()) {
    if (report.kind != TraceMessage) failures.push_back(report.text);
  }
  return failures;
}
