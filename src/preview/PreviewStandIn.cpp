// Stand-ins for the preview task and the preview window while they are built elsewhere: the
// window class exists so that the dialog template can be created, and requests are dropped.
#include <atomic>

#include "preview/BackgroundTask.h"
#include "preview/ProxyDisplay.h"

std::atomic<bool> DialogIsTerminating{false};

namespace {

constexpr wchar_t kProxyDisplayClass[] = L"ProxyDisplay";
bool gSizeMoveInProgress = false;

}  // namespace

bool CreateProxyDisplayClass(HINSTANCE instance, int extraBytes) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.cbWndExtra = extraBytes;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kProxyDisplayClass;
  return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void DeleteProxyDisplayClass(HINSTANCE instance) { UnregisterClassW(kProxyDisplayClass, instance); }
void SetPreviewBackgroundColor(COLORREF) {}
void SetPreviewSplashBitmap(HBITMAP) {}
void SignalMainDialogInitialized() {}
void RequestBackgroundTaskTermination() {}
void SetSizeMoveInProgress(bool inProgress) { gSizeMoveInProgress = inProgress; }
bool SizeMoveInProgress() { return gSizeMoveInProgress; }
bool PreviewDrawnByOpenGL() { return false; }
void NewBackgroundTaskParameters(HRGN region) {
  if (region != nullptr) DeleteObject(region);
}
