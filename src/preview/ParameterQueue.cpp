// The one-slot queue between the dialog and the preview task: a newer request replaces the
// waiting one and inherits or unites its region; the task takes the newest.
#include <windows.h>

#include "preview/BackgroundTask.h"
#include "preview/PreviewTask.h"
#include "preview/ProxyDisplay.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"

namespace {

constexpr char kTitleDebugUnexpected[] = "Debug - Unexpected Error";

void ReportDebug(const char* text) { ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "%s", text); }

// The mutex is recursive, so FlushParameterSets may run while the caller already holds it.
bool LockQueue(const PreviewTask& task) {
  DWORD waited = WaitForSingleObject(task.pendingParametersMutex, INFINITE);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return true;
  ErrorReport(__LINE__, SystemError, GetLastError())
      .Report(kStyleError, kTitleUnexpectedError, "Unexpected result 0x%X returned by WaitForSingleObject()",
              unsigned(waited));
  return false;
}

void UnlockQueue(const PreviewTask& task) { ReleaseMutex(task.pendingParametersMutex); }

// The new entry takes over the waiting entry's region, or their union; the waiting entry is
// left without one, so that flushing it cannot delete a region the new entry now owns.
bool CombineWithWaiting(PendingParameterSet& entry, PendingParameterSet& waiting) {
  if (entry.region == nullptr) {
    entry.region = waiting.region;
    waiting.region = nullptr;
    return true;
  }
  if (waiting.region == nullptr) return true;
  if (CombineRgn(entry.region, entry.region, waiting.region, RGN_OR) == ERROR) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "NewBackgroundTaskParameters() - Could not combine invalidation regions.");
    return false;
  }
  return true;
}

bool QueueEntry(PreviewTask& task, PendingParameterSet* entry) {
  if (!LockQueue(task)) return false;
  bool queued = true;
  if (task.pending != nullptr) {
    queued = CombineWithWaiting(*entry, *task.pending);
    if (queued) {
      FlushParameterSets("NewBackgroundTaskParameters() - Removed pending requests.");
      task.pending = entry;
    }
  } else if (!SetEvent(task.parametersAvailableEvent)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "NewBackgroundTaskParameters() - Could not set ParametersAvailableEvent");
    queued = false;
  } else {
    task.pending = entry;
  }
  UnlockQueue(task);
  return queued;
}

// False when the request is to be dropped: termination requested (silently) or the test failed.
bool TaskAcceptsRequests(const PreviewTask& task) {
  DWORD tested = WaitForSingleObject(task.terminateEvent, 0);
  if (tested == WAIT_TIMEOUT) return true;
  if (tested != WAIT_OBJECT_0) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError,
                "NewBackgroundTaskParameters() - Test of ProxyUpdateTerminateEvent failed with Result = 0x%X.",
                unsigned(tested));
  }
  return false;
}

}  // namespace

void FreePendingParameterSet(PendingParameterSet* entry) {
  if (entry == nullptr) return;
  FreeParameterSet(entry->parameterSet);
  if (entry->region != nullptr) DeleteObject(entry->region);
  free(entry);
}

bool TraceRenderingRequest(const char* message, const ParameterSet* set) {
  TraceRenderingRecord record{message, set};
  return ProductHookDispatch(PRODUCT_TRACE_RENDERING_PARAMETERS, &record) != nullptr;
}

void NewBackgroundTaskParameters(HRGN region) {
  PreviewTask* task = ActivePreviewTask();
  ParameterSet* set = nullptr;
  if (task != nullptr && GetCurrentThreadId() == task->uiThreadId) {
    set = static_cast<ParameterSet*>(ProductHookDispatch(PRODUCT_GET_CURRENT_PARAMETER_SET, nullptr));
  }
  if (set == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleDebugUnexpected, "NewBackgroundTaskParameters() - Could not get current parameter set.");
    if (region != nullptr) DeleteObject(region);
    return;
  }
  if (!TaskAcceptsRequests(*task)) {
    FreeParameterSet(set);
    if (region != nullptr) DeleteObject(region);
    return;
  }
  auto* entry = static_cast<PendingParameterSet*>(calloc(1, sizeof(PendingParameterSet)));
  if (entry == nullptr) {
    ReportDebug("Failed to allocate Parameter Data block.");
    ReportDebug("NewBackgroundTaskParameters() - Could not create new Parameter Set");
    FreeParameterSet(set);
    if (region != nullptr) DeleteObject(region);
    return;
  }
  *entry = PendingParameterSet{set, region, PerformanceTicks()};
  int32_t id = set->id;
  if (!QueueEntry(*task, entry)) {
    ReportDebug("NewBackgroundTaskParameters() - Could not queue new Parameter Set");
    FreePendingParameterSet(entry);
    return;
  }
  SetPropW(task->previewWindow, kQueuedFrameProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(id)));
}

void FlushParameterSets(const char* message) {
  PreviewTask* task = ActivePreviewTask();
  if (task == nullptr || task->pendingParametersMutex == nullptr) return;
  if (message == nullptr || *message == 0) message = "FlushParameterSets() - Removed Parameter Set";
  for (;;) {
    if (!LockQueue(*task)) return;
    PendingParameterSet* entry = task->pending;
    task->pending = nullptr;
    UnlockQueue(*task);
    if (entry == nullptr) return;
    TraceRenderingRequest(message, entry->parameterSet);
    FreePendingParameterSet(entry);
  }
}

bool WaitForResizeMutex(PreviewTask& task, DWORD* waitResult) {
  HANDLE handles[] = {task.resizeInProgressMutex, task.terminateEvent};
  *waitResult = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  if (*waitResult == WAIT_OBJECT_0) return true;
  if (*waitResult == WAIT_OBJECT_0 + 1) return false;
  SetEvent(task.terminateEvent);
  if (*waitResult == WAIT_FAILED) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Waiting for events failed in WaitForParameters.");
  } else if (*waitResult == WAIT_ABANDONED_0) {
    ReleaseMutex(task.resizeInProgressMutex);
    ReportDebug("Event 'ResizeInProgressMutex' was abandoned.");
  } else {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Unexpected result 0x%X returned by WaitForMultipleObjects()",
                unsigned(*waitResult));
  }
  return false;
}

PendingParameterSet* WaitForParameters(PreviewTask& task) {
  HANDLE handles[] = {task.terminateEvent, task.parametersAvailableEvent};
  DWORD waited = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  if (waited == WAIT_OBJECT_0) return nullptr;
  if (waited != WAIT_OBJECT_0 + 1) {
    SetEvent(task.terminateEvent);
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Waiting for events failed in WaitForParameters.");
    return nullptr;
  }
  DWORD resizeWait = 0;
  if (!WaitForResizeMutex(task, &resizeWait)) return nullptr;
  PendingParameterSet* entry = nullptr;
  if (LockQueue(task)) {
    entry = task.pending;
    task.pending = nullptr;
    ClearPreviewAbortFlags();
    UnlockQueue(task);
  }
  if (entry != nullptr) {
    TraceRenderingRequest("WaitForParameters() - Parameter Set Processing started.", entry->parameterSet);
  } else {
    ReportDebug("Invalid Parameter Set received in WaitForParameters().");
  }
  if (!ReleaseMutex(task.resizeInProgressMutex)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to release ResizeInProgressMutex.");
  }
  // The loop goes on after an empty slot: an entry with neither set nor region stands for it.
  if (entry == nullptr) entry = static_cast<PendingParameterSet*>(calloc(1, sizeof(PendingParameterSet)));
  return entry;
}

bool SizeMoveInProgress() {
  PreviewTask* task = ActivePreviewTask();
  if (task == nullptr || !LockQueue(*task)) return false;
  bool inProgress = task->sizeMoveInProgress;
  UnlockQueue(*task);
  return inProgress;
}

void SetSizeMoveInProgress(bool inProgress) {
  PreviewTask* task = ActivePreviewTask();
  if (task == nullptr || !LockQueue(*task)) return;
  bool repeated = task->sizeMoveInProgress == inProgress;
  task->sizeMoveInProgress = inProgress;
  UnlockQueue(*task);
  if (repeated) {
    if (inProgress) {
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "SetSizeMoveInProgress() - Repeated Size/Move Event %s.",
                  "WM_ENTERSIZEMOVE");
    }
    return;
  }
  if (inProgress) return;
  if (GetCurrentThreadId() != task->uiThreadId) {
    if (HRGN region = MakeClientRegion(task->previewWindow)) {
      if (!PostMessageW(task->previewWindow, WM_APP_INVALIDATE_PROXY, reinterpret_cast<WPARAM>(region),
                        INVALIDATE_AFTER_SIZE_MOVE)) {
        DeleteObject(region);
      }
    }
  } else if (PreviewDrawnByOpenGL()) {
    NewBackgroundTaskParameters(nullptr);
  } else if (HRGN region = MakeClientRegion(task->previewWindow)) {
    RedrawWindow(task->previewWindow, nullptr, region, RDW_INTERNALPAINT | RDW_INVALIDATE);
    DeleteObject(region);
  }
}

HRGN MakeClientRegion(HWND window) {
  RECT client{};
  HRGN region = GetClientRect(window, &client) ? CreateRectRgnIndirect(&client) : nullptr;
  if (region == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Could not create InvalidationRegion for Proxy client rectangle.");
  }
  return region;
}

LONGLONG PerformanceTicks() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

double MillisecondsSince(LONGLONG ticks) {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart > 0 ? double(PerformanceTicks() - ticks) * 1000.0 / double(frequency.QuadPart) : 0.0;
}
