// The record of one preview task shared by the files of the task (queue, start-up, rendering,
// window): its synchronisation objects, the queue slot and the drawing mode. Not for other modules.
#pragma once
#include <windows.h>

#include <atomic>

#include "preview/BackgroundTask.h"

// The record is shared by the user-interface thread and the task thread and freed by whichever
// lets go of it last (ReleasePreviewTask), so that a task that outlives DestroyBackgroundTask's
// time limit never finds its events, mutexes or queue closed under it.
struct PreviewTask {
  std::atomic<int> references{1};
  HANDLE thread = nullptr;
  DWORD uiThreadId = 0;
  HWND previewWindow = nullptr;
  HWND dialog = nullptr;

  HANDLE parametersAvailableEvent = nullptr;   // auto-reset: a set went into the empty slot
  HANDLE terminateEvent = nullptr;             // manual-reset, stays set
  HANDLE renderingStartedEvent = nullptr;      // manual-reset
  HANDLE pendingParametersMutex = nullptr;     // the slot and the size/move flag
  HANDLE resizeInProgressMutex = nullptr;      // window-size-dependent state
  HANDLE dialogInitializationMutex = nullptr;  // owned by the UI thread until the dialog is ready
  CRITICAL_SECTION busySection{};
  bool busySectionMade = false;
  bool uiOwnsDialogInitialization = false;     // the UI thread has not released the mutex yet

  PendingParameterSet* pending = nullptr;  // the one-slot queue
  bool sizeMoveInProgress = false;

  bool screenContext = false;  // the task draws on a window; else into the background bitmap
  HWND drawingWindow = nullptr;  // the window of the screen context when it is not the preview
  int pixelFormat = 0;
  PIXELFORMATDESCRIPTOR descriptor{};
  int width = 0;
  int height = 0;
};

// The task of the preview window on the UI thread; on the task thread, the thread's own task.
PreviewTask* ActivePreviewTask();
void SetThreadPreviewTask(PreviewTask* task);
// Drops one reference; the last one flushes the queue and closes everything.
void ReleasePreviewTask(PreviewTask* task);

// The task thread's parts.
bool WaitForInitializationComplete(PreviewTask& task);
PendingParameterSet* WaitForParameters(PreviewTask& task);
bool RenderParameterSet(PreviewTask& task, PendingParameterSet& entry);
void FreePendingParameterSet(PendingParameterSet* entry);
bool TraceRenderingRequest(const char* message, const ParameterSet* set);
// The next frame counts as a change of view, whatever was rendered before.
void ForgetLastRenderedSet();
// Sizes the viewport and, offscreen, the background bitmap to the window; false when it is empty.
bool FitDrawingToWindow(PreviewTask& task, RECT* client);
// Makes the frame just drawn visible the way the drawing mode allows.
void PresentDrawnFrame(PreviewTask& task, const struct ProxyFrameStamp& stamp);

// Waits for the mutex or for the task's termination; true when the mutex is owned.
bool WaitForResizeMutex(PreviewTask& task, DWORD* waitResult);
// A region of the preview's whole client area, or null (reported).
HRGN MakeClientRegion(HWND window);
double MillisecondsSince(LONGLONG ticks);
LONGLONG PerformanceTicks();
