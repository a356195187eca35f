// Preview requests made by the dialog. Only the user-interface thread may queue a parameter set;
// any other thread hands its region to the preview window, whose thread queues it.
#include "preview/BackgroundTask.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"
#include "support/UserMessage.h"
#include "ui/MainDialogState.h"

void QueuePreviewFromDialog() {
  MainDialogState* state = CurrentMainDialog();
  if (state == nullptr) return;
  HWND preview = GetDlgItem(state->dialog, IDC_PREVIEW);
  RECT proxy{};
  if (preview != nullptr) GetClientRect(preview, &proxy);
  HRGN region = CreateRectRgnIndirect(&proxy);
  if (region == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Could not create InvalidationRegion for Proxy client rectangle.");
    return;
  }
  if (GetWindowThreadProcessId(state->dialog, nullptr) == GetCurrentThreadId()) {
    // A window drawn straight by OpenGL is rendered whole; a region would only be ignored.
    if (PreviewDrawnByOpenGL()) {
      DeleteObject(region);
      region = nullptr;
    }
    NewBackgroundTaskParameters(region);
    return;
  }
  if (preview == nullptr ||
      !PostMessageW(preview, WM_APP_INVALIDATE_PROXY, reinterpret_cast<WPARAM>(region), INVALIDATE_AFTER_SIZE_CHANGE)) {
    DeleteObject(region);
  }
}
