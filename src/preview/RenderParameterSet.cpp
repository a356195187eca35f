// One request on the preview task: fit the viewport or the background bitmap to the window,
// draw the frame, and make it visible the way the drawing mode allows.
#include <windows.h>
#include <GL/glew.h>

#include <atomic>
#include <cstring>

#include "preview/BackgroundTask.h"
#include "preview/OpenGLContext.h"
#include "preview/PreviewDrawingWindow.h"
#include "preview/PreviewTask.h"
#include "preview/ProxyDisplay.h"
#include "preview/ProxyFrames.h"
#include "preview/ProxyLayer.h"
#include "preview/ScreenBitmaps.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"
#include "support/Locks.h"

namespace {

std::atomic<PreviewFrameHook> gFrameHook{nullptr};
ParameterSet gLastRendered{};  // task thread only
bool gHaveLastRendered = false;

RECT ClientRectangle(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return client;
}

}  // namespace

// Offscreen drawing goes into the background bitmap, which must have the window's size.
void FitBackgroundBitmap(const RECT& client) {
  if (gBackgroundBitmap.width == client.right && gBackgroundBitmap.height == client.bottom) return;
  HDC context = wglGetCurrentDC();
  if (BackgroundBitmapDC() != nullptr) DetachBackgroundBitmap(context);
  if (!MakeContextBitmap(&gBackgroundBitmap, context, client.right, client.bottom)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to create new screen bitmap");
  }
  AttachBackgroundBitmap(context);
  RebindCurrentContext();
}

void FitViewport(const RECT& target) {
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  if (viewport[2] != target.right - target.left || viewport[3] != target.bottom - target.top) SetGLSize(target);
}

bool PresentOnScreenContext(PreviewTask& task) {
  DWORD waited = 0;
  if (!WaitForResizeMutex(task, &waited)) return false;
  bool presented = !PreviewAborted();
  if (presented) PresentProxyFrame();
  if (!ReleaseMutex(task.resizeInProgressMutex)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to release ResizeInProgressMutex.");
  }
  return presented;
}

bool FitDrawingToWindow(PreviewTask& task, RECT* client) {
  *client = ClientRectangle(task.previewWindow);
  if (client->right <= 0 || client->bottom <= 0) return false;
  if (!task.screenContext) FitBackgroundBitmap(*client);
  if (FitPreviewDrawingWindow(task.drawingWindow, client->right, client->bottom)) RebindCurrentContext();
  FitViewport(*client);
  return true;
}

void PresentDrawnFrame(PreviewTask& task, const ProxyFrameStamp& stamp) {
  SetDrawingFrameStamp(stamp);
  if (task.screenContext) {
    PresentOnScreenContext(task);
  } else {
    FinishOffscreenFrame();
    RepaintPreviewFromBitmap(task);
  }
}

PreviewFrameHook SetPreviewFrameHook(PreviewFrameHook hook) { return gFrameHook.exchange(hook); }

bool RenderParameterSet(PreviewTask& task, PendingParameterSet& entry) {
  RECT client{};
  if (!FitDrawingToWindow(task, &client)) return true;  // nothing to show in an empty window
  LONGLONG started = PerformanceTicks();
  if (PreviewFrameHook hook = gFrameHook.load()) hook(entry);
  int changes = DetectParameterChanges(*entry.parameterSet, gHaveLastRendered ? &gLastRendered : nullptr);
  SetProxyLayerView(*entry.parameterSet);
  gLastRendered = *entry.parameterSet;
  gHaveLastRendered = true;
  bool succeeded;
  {
    ScopedCriticalSection busy(task.busySection);
    succeeded = RenderScaledProxyDisplay();
  }
  if (!succeeded) return false;
  SetDrawingFrameStamp(ProxyFrameStamp{entry.parameterSet->id, entry.queuedAt, MillisecondsSince(started)});
  if (task.screenContext) {
    succeeded = PresentOnScreenContext(task);
  } else {
    FinishOffscreenFrame();
    RepaintPreviewFromBitmap(task);
  }
  if (succeeded && changes != 0 && SizeMoveInProgress()) PostMessageW(task.dialog, WM_APP_REDRAW_PREVIEW_FRAME, 0, 0);
  return succeeded;
}

void ForgetLastRenderedSet() { gHaveLastRendered = false; }
