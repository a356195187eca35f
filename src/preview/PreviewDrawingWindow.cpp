// The window the task draws on where a rendering context on the preview itself would hide the
// preview (see ScreenContextReachesScreen): a popup of the preview's size that is never shown,
// made and used on the task thread only. Its frames reach the preview through the screen bitmap.
#include "preview/PreviewDrawingWindow.h"

#include <algorithm>

#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"

namespace {

constexpr wchar_t kDrawingWindowClass[] = L"HalvornPreviewDrawing";

bool RegisterDrawingClass() {
  WNDCLASSEXW drawing{};
  drawing.cbSize = sizeof drawing;
  drawing.style = CS_OWNDC;
  drawing.lpfnWndProc = DefWindowProcW;
  drawing.hInstance = GetPluginInstance();
  drawing.lpszClassName = kDrawingWindowClass;
  if (RegisterClassExW(&drawing) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return true;
  ErrorReport(__LINE__, SystemError, GetLastError())
      .Report(kStyleError, kTitleUnexpectedError, "CreatePreviewDrawingWindow() - Failed to register the drawing window class.");
  return false;
}

}  // namespace

// As large as the whole desktop from the start: Wine does not resize the drawable of a window
// that is never shown, so the preview's later sizes must fit into the first one.
HWND CreatePreviewDrawingWindow(int width, int height) {
  if (!RegisterDrawingClass()) return nullptr;
  width = std::max(width, GetSystemMetrics(SM_CXVIRTUALSCREEN));
  height = std::max(height, GetSystemMetrics(SM_CYVIRTUALSCREEN));
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kDrawingWindowClass, L"",
                                WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, width, height, nullptr, nullptr,
                                GetPluginInstance(), nullptr);
  if (window == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "CreatePreviewDrawingWindow() - Failed to create the drawing window.");
  }
  return window;
}

bool FitPreviewDrawingWindow(HWND window, int width, int height) {
  RECT client{};
  if (window == nullptr || !GetClientRect(window, &client)) return false;
  if (client.right >= width && client.bottom >= height) return false;
  width = std::max(width, int(client.right));
  height = std::max(height, int(client.bottom));
  if (!SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "FitPreviewDrawingWindow() - Failed to resize the drawing window.");
    return false;
  }
  return true;
}

void DestroyPreviewDrawingWindow(HWND window) {
  if (window != nullptr && !DestroyWindow(window)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "DestroyPreviewDrawingWindow() - Failed to destroy the drawing window.");
  }
}
