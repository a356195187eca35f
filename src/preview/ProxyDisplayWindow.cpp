// The "ProxyDisplay" window class and its procedure: the window owns the preview task for its
// lifetime, turns paint and invalidation requests into renderings or repaints, and holds the
// task off its size-dependent state while its size changes.
#include <windows.h>

#include "core/RunResult.h"
#include "core/ThreadEntry.h"
#include "preview/BackgroundTask.h"
#include "preview/PreviewTask.h"
#include "preview/ProxyDisplay.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"

namespace {

constexpr wchar_t kProxyDisplayClass[] = L"ProxyDisplay";
WNDPROC gStaticProcedure = nullptr;
int gStaticExtraBytes = 0;
bool gResizeMutexHeld = false;  // UI thread only: taken at a size change, released when it is done

// Waits for the mutex or for the task's end, never for the mutex alone.
void HoldTaskForResize() {
  PreviewTask* task = ActivePreviewTask();
  if (task == nullptr || gResizeMutexHeld || task->resizeInProgressMutex == nullptr) return;
  HANDLE handles[] = {task->resizeInProgressMutex, task->terminateEvent};
  DWORD waited = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED_0) {
    gResizeMutexHeld = true;
  } else if (waited != WAIT_OBJECT_0 + 1) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Could not aquire the ResizeInProgressMutex mutex during a size change.");
  }
}

void ReleaseTaskAfterResize(HWND window, bool requestRendering) {
  PreviewTask* task = ActivePreviewTask();
  if (!gResizeMutexHeld || task == nullptr) return;
  ReleaseMutex(task->resizeInProgressMutex);
  gResizeMutexHeld = false;
  if (!requestRendering) return;
  if (PreviewDrawnByOpenGL()) {
    NewBackgroundTaskParameters(nullptr);
  } else {
    NewBackgroundTaskParameters(MakeClientRegion(window));
  }
}

bool SizeChanges(HWND window, const WINDOWPOS& position) {
  if (position.flags & SWP_NOSIZE) return false;
  RECT current{};
  GetWindowRect(window, &current);
  return position.cx != current.right - current.left || position.cy != current.bottom - current.top;
}

// A request for a region: a new rendering, or a repaint from the screen bitmap when the frame
// is already drawn (after a frame, or whenever the window paints from the bitmap and nothing
// but the window changed).
void OnInvalidateProxy(HWND window, HRGN region, LPARAM tag) {
  bool render = tag == INVALIDATE_FROM_STARTUP || tag == INVALIDATE_AFTER_SIZE_CHANGE ||
                (PreviewDrawnByOpenGL() && tag != INVALIDATE_AFTER_FRAME);
  if (render) {
    NewBackgroundTaskParameters(region);
    return;
  }
  InvalidateRgn(window, region, FALSE);
  if (region != nullptr) DeleteObject(region);
  // A finished frame is shown at once. Left to WM_PAINT, which the system sends only when no
  // input is waiting, it would wait out a slider drag's stream of mouse moves while the task
  // drew the next frames over it, and the preview would seem to stall while it kept up.
  if (tag == INVALIDATE_AFTER_FRAME) UpdateWindow(window);
}

// While the dialog is sized or moved no buffers are swapped: the window shows the screen bitmap.
void OnPaint(HWND window) {
  if (!PreviewDrawnByOpenGL() || SizeMoveInProgress()) {
    PaintProxyDisplay(window);
    return;
  }
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (region != nullptr && GetUpdateRgn(window, region, FALSE) == ERROR) {
    DeleteObject(region);
    region = nullptr;
  }
  ValidateRect(window, nullptr);
  NewBackgroundTaskParameters(region);
}

// Requests posted to the window carry regions it owns; those still queued when it goes would
// otherwise never be deleted. The task has ended here, so none can follow.
void DeleteQueuedInvalidations(HWND window) {
  MSG message;
  while (PeekMessageW(&message, window, WM_APP_INVALIDATE_PROXY, WM_APP_INVALIDATE_PROXY, PM_REMOVE)) {
    if (message.wParam != 0) DeleteObject(reinterpret_cast<HRGN>(message.wParam));
  }
}

LRESULT OnCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProcW(gStaticProcedure, window, message, wParam, lParam);
  if (result == -1) return result;
  RECT client{};
  GetClientRect(window, &client);
  InitializeBackgroundTask(window, PreviewCreationData{GetParent(window), int(client.right), int(client.bottom)});
  return result;
}

LRESULT HandleProxyDisplayMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window, message, wParam, lParam);
    case WM_DESTROY:
      ReleaseTaskAfterResize(window, false);
      DestroyBackgroundTask();
      DeleteQueuedInvalidations(window);
      RemovePropW(window, kQueuedFrameProperty);
      RemovePropW(window, kPresentedFrameProperty);
      break;
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // every pixel is painted from the frame or in the background colour
    case WM_WINDOWPOSCHANGING:
      if (SizeChanges(window, *reinterpret_cast<const WINDOWPOS*>(lParam))) HoldTaskForResize();
      break;
    case WM_WINDOWPOSCHANGED:
      ReleaseTaskAfterResize(window, true);
      break;
    default:
      if (message == WM_APP_INVALIDATE_PROXY) {
        OnInvalidateProxy(window, reinterpret_cast<HRGN>(wParam), lParam);
        return 0;
      }
      break;
  }
  return CallWindowProcW(gStaticProcedure, window, message, wParam, lParam);
}

LRESULT CALLBACK ProxyDisplayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  LRESULT result = 0;
  RunGuarded("ProxyDisplayProc", [&] { result = HandleProxyDisplayMessage(window, message, wParam, lParam); });
  return result;
}

}  // namespace

int ProxyDisplayExtraDataOffset() { return gStaticExtraBytes; }

// The class borrows the "Static" class's cursor and procedure, which gets every message the
// preview does not handle; its window bytes come first, the caller's after them.
bool CreateProxyDisplayClass(HINSTANCE instance, int extraBytes) {
  WNDCLASSEXW staticClass{};
  staticClass.cbSize = sizeof staticClass;
  if (!GetClassInfoExW(nullptr, L"Static", &staticClass)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Could not create preview window.");
    SetRunResult(kStepFailed);
    return false;
  }
  gStaticProcedure = staticClass.lpfnWndProc;
  gStaticExtraBytes = staticClass.cbWndExtra;
  WNDCLASSEXW proxyClass = staticClass;
  proxyClass.style = CS_DBLCLKS | CS_OWNDC | CS_NOCLOSE;
  proxyClass.lpfnWndProc = ProxyDisplayProc;
  proxyClass.cbWndExtra = staticClass.cbWndExtra + extraBytes;
  proxyClass.hInstance = instance;
  proxyClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  proxyClass.lpszClassName = kProxyDisplayClass;
  proxyClass.lpszMenuName = nullptr;
  if (RegisterClassExW(&proxyClass) == 0) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "CreateProxyDisplayClass() - Failed to register ProxyDisplay class.");
    return false;
  }
  return true;
}

void DeleteProxyDisplayClass(HINSTANCE instance) {
  if (!UnregisterClassW(kProxyDisplayClass, instance)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "DeleteProxyDisplayClass() - Failed to unregister ProxyDisplay class.");
  }
}
