// The preview task's start-up: it shows the start-up display until the light source analysis is
// ready and the dialog has initialised, discarding requests made meanwhile, then asks for one
// rendering of the whole preview. The product's side of it is the hook dispatch below.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "analysis/LightSourceAnalysis.h"
#include "preview/BackgroundTask.h"
#include "preview/PreviewTask.h"
#include "preview/PreviewViewState.h"
#include "preview/ProxyDisplay.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"

namespace {

constexpr char kTitleDebugUnexpected[] = "Debug - Unexpected Error";
constexpr DWORD kFirstStartupWakeMs = 200;
constexpr DWORD kStartupWakeMs = 250;

void PostInitProgress(WPARAM position, LPARAM range) {
  if (const PreviewTask* task = ActivePreviewTask(); task != nullptr && task->dialog != nullptr) {
    PostMessageW(task->dialog, WM_APP_INIT_PROGRESS, position, range);
  }
}

bool WaitForInitialization(WaitForInitializationRecord& record) {
  switch (record.state) {
    case INITSTATE_START:
      PrepareStartupDisplay();
      *record.waitTimeout = kStartupWakeMs;
      [[fallthrough]];
    case INITSTATE_WAIT:
    case INITSTATE_PARAMETERS_RECEIVED:
    case INITSTATE_BACKGROUND_INIT_COMPLETE: {
      record.ready = WaitForLightSourceAnalysis(0);
      uint64_t done = 0, total = 0;
      GetLightSourceAnalysisProgress(&done, &total);
      PostInitProgress(WPARAM(done), LPARAM(total));
      DrawStartupDisplayFrame();
      return true;
    }
    case INITSTATE_COMPLETE:
    case INITSTATE_TERMINATE:
      PostInitProgress(0, 0);
      return true;
    default:
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "WaitForInitialization() - An invalid state value was received.");
      return true;
  }
}

void* ProductOperation(int operation, void* record) {
  switch (operation) {
    case PRODUCT_WAIT_FOR_INITIALIZATION:
      return WaitForInitialization(*static_cast<WaitForInitializationRecord*>(record)) ? record : nullptr;
    case PRODUCT_TRACE_RENDERING_PARAMETERS: {
      auto* trace = static_cast<TraceRenderingRecord*>(record);
      TraceRenderingParameters(trace->message, trace->parameterSet);
      return record;
    }
    case PRODUCT_GET_CURRENT_PARAMETER_SET:
      return GetCurrentParameterSet();
    default:
      return nullptr;
  }
}

std::atomic<PreviewProductHook> gProductHook{ProductOperation};

struct StartupLoop {
  PreviewTask& task;
  DWORD timeout = kFirstStartupWakeMs;
  bool dialogInitialized = false;
  bool ready = false;
};

// Runs the hook at a state; false (reported with the state's name) when it fails.
bool RunHook(StartupLoop& loop, int state, const char* failure) {
  WaitForInitializationRecord record{state, &loop.timeout, false, loop.task.previewWindow};
  bool succeeded = ProductHookDispatch(PRODUCT_WAIT_FOR_INITIALIZATION, &record) != nullptr;
  if (!succeeded && failure != nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleDebugUnexpected, "%s", failure);
  }
  loop.ready = record.ready;
  return succeeded;
}

// The whole preview is rendered once start-up is done; from the task (the usual case) the
// request goes through the window, where the UI thread makes it.
bool FinishStartup(StartupLoop& loop) {
  RunHook(loop, INITSTATE_COMPLETE, nullptr);
  if (HRGN region = MakeClientRegion(loop.task.previewWindow)) {
    if (GetCurrentThreadId() == loop.task.uiThreadId) {
      NewBackgroundTaskParameters(region);
    } else if (!PostMessageW(loop.task.previewWindow, WM_APP_INVALIDATE_PROXY, reinterpret_cast<WPARAM>(region),
                             INVALIDATE_FROM_STARTUP)) {
      DeleteObject(region);
    }
  }
  SetEvent(loop.task.renderingStartedEvent);
  return true;
}

}  // namespace

void* ProductHookDispatch(int operation, void* record) { return gProductHook.load()(operation, record); }

PreviewProductHook SetPreviewProductHook(PreviewProductHook hook) {
  return gProductHook.exchange(hook != nullptr ? hook : ProductOperation);
}

bool WaitForInitializationComplete(PreviewTask& task) {
  StartupLoop loop{task};
  ValidateRect(task.previewWindow, nullptr);
  if (!RunHook(loop, INITSTATE_START, "WaitForInitializationComplete() - Product specific initialization could not be started.")) {
    return false;
  }
  HANDLE handles[] = {task.terminateEvent, task.parametersAvailableEvent, task.renderingStartedEvent};
  for (;;) {
    DWORD waited = WaitForMultipleObjects(3, handles, FALSE, loop.timeout);
    if (waited == WAIT_OBJECT_0) {
      RunHook(loop, INITSTATE_TERMINATE, nullptr);
      return false;
    }
    if (waited == WAIT_OBJECT_0 + 1) {
      if (!RunHook(loop, INITSTATE_PARAMETERS_RECEIVED,
                   "WaitForInitializationComplete() - Product specific initialization failed in INITSTATE_PARAMETERS_RECEIVED.")) {
        return false;
      }
      FlushParameterSets("WaitForInitializationComplete() - Parameters Available Event. ");
    } else if (waited == WAIT_OBJECT_0 + 2) {
      if (!RunHook(loop, INITSTATE_BACKGROUND_INIT_COMPLETE,
                   "WaitForInitializationComplete() - Product specific initialization failed in INITSTATE_BACKGROUND_INIT_COMPLETE.")) {
        return false;
      }
      FlushParameterSets("WaitForInitializationComplete() - Rendering started event. ");
      loop.dialogInitialized = true;
      if (!loop.ready) ResetEvent(task.renderingStartedEvent);
    } else if (waited == WAIT_TIMEOUT) {
      if (!RunHook(loop, INITSTATE_WAIT, "WaitForInitializationComplete() - Product specific initialization failed in INITSTATE_WAIT.")) {
        return false;
      }
      FlushParameterSets("WaitForInitializationComplete() - Wait for timeout event. ");
    } else {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "WaitForInitializationComplete() - Wait for foreground initialization failed.");
      return false;
    }
    if (loop.ready && loop.dialogInitialized) return FinishStartup(loop);
    ValidateRect(task.previewWindow, nullptr);
  }
}
