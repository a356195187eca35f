// The preview task's life: its objects and thread made with the preview window, the thread's
// entry, and the shutdown that never kills the thread.
//
//   creation      InitializeBackgroundTask and the objects it makes
//   thread        BackgroundTask, the entry of the task thread
//   shutdown      DestroyBackgroundTask, ReleasePreviewTask
#include "preview/BackgroundTask.h"

#include <process.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "core/RunResult.h"
#include "core/ThreadEntry.h"
#include "effects/StarTables.h"
#include "preview/DisplayProfiles.h"
#include "preview/OpenGLContext.h"
#include "preview/OpenGLSettings.h"
#include "preview/PreviewDrawingWindow.h"
#include "preview/PreviewTask.h"
#include "preview/ProxyDisplay.h"
#include "preview/ProxyFrames.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"
#include "support/Locks.h"

std::atomic<bool> DialogIsTerminating{false};

namespace {

// The faintest effect the preview draws; the final render sets 0 or 64 for its depth.
constexpr uint32_t kPreviewVisibilityMinimum = 2048;

struct BackgroundTaskArguments {
  PreviewTask* task;
  HWND previewWindow;
  int width;
  int height;
  int pixelFormat;
  PIXELFORMATDESCRIPTOR descriptor;
};

unsigned __stdcall BackgroundTask(void* block) noexcept;

PreviewTask* gPreviewTask = nullptr;
thread_local PreviewTask* tThreadTask = nullptr;
std::atomic<bool> gAbortFlag{false};
// The same flag for loops of lower modules that poll a plain flag (the proxy pyramid's build).
volatile bool gAbortFlagForPolling = false;
std::atomic<int> gRunningTasks{0};
std::atomic<DWORD> gExitLimit{kBackgroundTaskExitLimitMs};
// A task that outlived the exit limit: a new one may start only once it has ended, because the
// OpenGL layer and the screen bitmaps exist once per process.
HANDLE gLeftTask = nullptr;

void ReportFailure(const char* text) {
  ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "%s", text);
  if (RunResult() == 0) SetRunResult(kStepFailed);
}

HANDLE MakeEvent(bool manualReset, const char* failure) {
  HANDLE event = CreateEventW(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr);
  if (event == nullptr) ReportFailure(failure);
  return event;
}

HANDLE MakeMutex(bool owned, const char* failure) {
  HANDLE mutex = CreateMutexW(nullptr, owned ? TRUE : FALSE, nullptr);
  if (mutex == nullptr) ReportFailure(failure);
  return mutex;
}

// Every object is attempted even after one failed, so that each failure is reported once.
void CreateTaskObjects(PreviewTask& task) {
  task.parametersAvailableEvent = MakeEvent(false, "Could not create ParametersAvailableEvent.");
  task.terminateEvent = MakeEvent(true, "Could not create ProxyUpdateTerminateEvent.");
  task.renderingStartedEvent = MakeEvent(true, "Could not create ProxyUpdateRenderingStartedEvent.");
  task.pendingParametersMutex = MakeMutex(false, "Could not create PendingRenderingParametersMutex.");
  task.resizeInProgressMutex = MakeMutex(false, "Could not create ResizeInProgressMutex.");
  task.dialogInitializationMutex = MakeMutex(true, "Could not create WaitForMainDialogInitializationMutex.");
  task.uiOwnsDialogInitialization = task.dialogInitializationMutex != nullptr;
  task.busySectionMade = CreateCriticalSection(&task.busySection);
  if (!task.busySectionMade) ReportFailure("Could not initialize BackgroundBusyCriticalSection.");
}

void CloseTaskObjects(PreviewTask& task) {
  for (HANDLE* handle : {&task.parametersAvailableEvent, &task.terminateEvent, &task.renderingStartedEvent,
                         &task.pendingParametersMutex, &task.resizeInProgressMutex, &task.dialogInitializationMutex}) {
    if (*handle != nullptr) CloseHandle(*handle);
    *handle = nullptr;
  }
  if (task.busySectionMade) DeleteCriticalSection(&task.busySection);
  task.busySectionMade = false;
}

bool ChoosePixelFormat(PreviewTask& task) {
  bool softwareForced = gOpenGLSettings.m_OpenGLDrawingMode == OPTIMIZE_NONE;
  bool accelerated = false;
  task.pixelFormat = SelectPixelFormat(task.previewWindow, softwareForced, &task.descriptor, &accelerated);
  task.screenContext = accelerated;
  bool set = task.pixelFormat != 0;
  if (set && task.screenContext && ScreenContextReachesScreen()) {
    // The window keeps its format for life; the task's context is made with the same one.
    HDC context = GetDC(task.previewWindow);
    set = context != nullptr && (GetPixelFormat(context) == task.pixelFormat ||
                                 SetPixelFormat(context, task.pixelFormat, &task.descriptor));
    if (context != nullptr) ReleaseDC(task.previewWindow, context);
  }
  if (!set) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleExitingPlugin, "Could not set pixel format for OpenGL operations.");
    SetRunResult(kStepFailed);
  }
  return set;
}

bool WaitForLeftTask() {
  if (gLeftTask == nullptr) return true;
  if (WaitForSingleObject(gLeftTask, gExitLimit.load()) != WAIT_OBJECT_0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "InitializeBackgroundTask() - The previous Background Task has not ended yet.");
    SetRunResult(kStepFailed);
    return false;
  }
  CloseHandle(gLeftTask);
  gLeftTask = nullptr;
  return true;
}

bool StartTaskThread(PreviewTask& task) {
  auto* arguments = static_cast<BackgroundTaskArguments*>(calloc(1, sizeof(BackgroundTaskArguments)));
  if (arguments == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Could not allocate space to start Proxy Background Task thread.");
    SetRunResult(kOutOfMemory);
    return false;
  }
  *arguments = BackgroundTaskArguments{&task, task.previewWindow, task.width, task.height, task.pixelFormat,
                                       task.descriptor};
  task.references.fetch_add(1);
  gRunningTasks.fetch_add(1);
  uintptr_t thread = _beginthreadex(nullptr, 0, BackgroundTask, arguments, 0, nullptr);
  if (thread == 0) {
    int error = errno;
    char text[256] = "";
    strerror_s(text, sizeof text, error);
    if (char* lineBreak = strpbrk(text, "\r\n")) *lineBreak = 0;
    ErrorReport(__LINE__, RuntimeLibraryError, uint32_t(error))
        .Report(kStyleError, kTitleUnexpectedError, "Could not start Proxy Background Task thread : %s.", text);
    free(arguments);
    task.references.fetch_sub(1);
    gRunningTasks.fetch_sub(1);
    SetRunResult(kStepFailed);
    return false;
  }
  task.thread = reinterpret_cast<HANDLE>(thread);
  return true;
}

}  // namespace

PreviewTask* ActivePreviewTask() { return tThreadTask != nullptr ? tThreadTask : gPreviewTask; }
void SetThreadPreviewTask(PreviewTask* task) { tThreadTask = task; }

bool PreviewAborted() { return gAbortFlag.load(std::memory_order_acquire); }
void SetPreviewAbortFlags() {
  gAbortFlag.store(true, std::memory_order_release);
  gAbortFlagForPolling = true;
}
void ClearPreviewAbortFlags() {
  gAbortFlagForPolling = false;
  gAbortFlag.store(false, std::memory_order_release);
}
const volatile bool* PreviewAbortFlag() { return &gAbortFlagForPolling; }
bool BackgroundTaskRunning() { return gRunningTasks.load() > 0; }

DWORD SetBackgroundTaskExitLimit(DWORD milliseconds) { return gExitLimit.exchange(milliseconds); }

bool InitializeBackgroundTask(HWND previewWindow, const PreviewCreationData& creation) {
  if (gPreviewTask != nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "InitializeBackgroundTask() - A Background Task already exists.");
    SetRunResult(kStepFailed);
    return false;
  }
  if (!WaitForLeftTask()) return false;
  auto* task = new (std::nothrow) PreviewTask;
  if (task == nullptr) {
    SetRunResult(kOutOfMemory);
    return false;
  }
  task->dialog = creation.dialog;
  task->previewWindow = previewWindow;
  task->uiThreadId = GetCurrentThreadId();
  task->width = creation.width;
  task->height = creation.height;
  gPreviewTask = task;
  CreateTaskObjects(*task);
  if (RunResult() == 0) {
    SetColorPreviewWindow(previewWindow);
    double gamma = 0;
    if (InitializeDisplayColorConversion(&gamma) == nullptr) {
      SetRunResult(kStepFailed);
      ErrorReport(__LINE__, TraceMessage)
          .Report("InitializeDisplayColorConversion failed in InitializeBackgroundTask(), *gResult set to %d.",
                  int(RunResult()));
    }
  }
  if (RunResult() == 0) ChoosePixelFormat(*task);
  if (!SetUpScreenBitmapAccess()) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleExitingPlugin, "Could not set up access to screen bitmap.");
    SetRunResult(kStepFailed);
  }
  if (RunResult() == 0) StartTaskThread(*task);
  return task->thread != nullptr;
}

void SignalMainDialogInitialized() {
  PreviewTask* task = gPreviewTask;
  if (task == nullptr || !task->uiOwnsDialogInitialization) return;
  if (!ReleaseMutex(task->dialogInitializationMutex)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to release WaitForMainDialogInitializationMutex.");
    return;
  }
  task->uiOwnsDialogInitialization = false;
  // The task's start-up loop learns from this event that the dialog is ready.
  SetEvent(task->renderingStartedEvent);
}

void RequestBackgroundTaskTermination() {
  SetPreviewAbortFlags();
  if (PreviewTask* task = gPreviewTask; task != nullptr && task->terminateEvent != nullptr) SetEvent(task->terminateEvent);
}

namespace {

// Waits for the thread; false when it is still running after the limit and is left to end on
// its own. Killing it instead could leave a mutex, the heap lock or the OpenGL driver's locks
// held for good, and free objects the thread still uses; a task that has been told to stop and
// ends later frees its record itself (ReleasePreviewTask).
bool WaitForTaskExit(PreviewTask& task) {
  DWORD waited = task.terminateEvent != nullptr
                     ? SignalObjectAndWait(task.terminateEvent, task.thread, gExitLimit.load(), FALSE)
                     : WaitForSingleObject(task.thread, gExitLimit.load());
  if (waited == WAIT_OBJECT_0) return true;
  if (waited == WAIT_TIMEOUT) {
    DWORD exitCode = 0;
    if (!GetExitCodeThread(task.thread, &exitCode)) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError,
                  "DestroyBackgroundTask() - Failed to get Background Task exit status. Background Task is left to "
                  "end on its own.");
      return false;
    }
    if (exitCode != STILL_ACTIVE) return true;
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "DestroyBackgroundTask() - Timed out while waiting for Background Task exit. Background Task is left "
                "to end on its own.");
    return false;
  }
  if (waited == WAIT_FAILED) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "DestroyBackgroundTask() - Wait for Background Task exit failed.");
  } else {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "DestroyBackgroundTask() - Unexpected result 0x%X while waiting for Background Task termination.",
                unsigned(waited));
  }
  return false;
}

}  // namespace

void DestroyBackgroundTask() {
  PreviewTask* task = gPreviewTask;
  if (task == nullptr) return;
  SetPreviewAbortFlags();
  // A dialog that failed before it signalled its initialisation still owns the mutex; the task
  // must not wait for it until the limit.
  if (task->uiOwnsDialogInitialization && ReleaseMutex(task->dialogInitializationMutex)) {
    task->uiOwnsDialogInitialization = false;
  }
  if (task->thread != nullptr) {
    if (WaitForTaskExit(*task)) {
      CloseHandle(task->thread);
    } else {
      gLeftTask = task->thread;
    }
    task->thread = nullptr;
  }
  gPreviewTask = nullptr;
  ReleasePreviewTask(task);
}

void ReleasePreviewTask(PreviewTask* task) {
  if (task->references.fetch_sub(1) != 1) return;
  ReleaseScreenBitmapAccess();
  SetThreadPreviewTask(task);
  FlushParameterSets("DestroyBackgroundTask()");
  SetThreadPreviewTask(nullptr);
  ClearPreviewAbortFlags();
  CloseTaskObjects(*task);
  delete task;
}

// ---- thread ----

namespace {

bool MakeTaskContext(PreviewTask& task, const BackgroundTaskArguments& arguments, OpenGLContext* context) {
  RECT viewport{0, 0, arguments.width, arguments.height};
  HWND target = arguments.previewWindow;
  if (!ScreenContextReachesScreen()) {
    // Frames go through the screen bitmap: a pixel format on the preview would hide its painting.
    // Nor is the preview's own DC touched here: Wine lets one thread at a time use a DC, and the
    // UI thread updates that one whenever the window is shown or moved.
    task.drawingWindow = CreatePreviewDrawingWindow(arguments.width, arguments.height);
    if (task.drawingWindow == nullptr) return false;
    target = task.drawingWindow;
  }
  if (task.screenContext) {
    CreateScreenContext(context, target, viewport, arguments.pixelFormat, arguments.descriptor);
  } else {
    CreateBitmapContext(context, target, viewport, arguments.pixelFormat, arguments.descriptor);
  }
  if (context->kind == OPENGL_CONTEXT_INVALID) return false;
  return InitializeOpenGLDrawingSettings(task.screenContext) &&
         InitializeScaledProxyLayer(task.dialog, arguments.previewWindow);
}

// Waits for the dialog to finish initialising, or for termination; the mutex is released at once.
void WaitForMainDialog(PreviewTask& task) {
  HANDLE handles[] = {task.terminateEvent, task.dialogInitializationMutex};
  DWORD waited = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  if (waited == WAIT_OBJECT_0) return;
  if (waited == WAIT_OBJECT_0 + 1 || waited == WAIT_ABANDONED_0 + 1) {
    if (!ReleaseMutex(task.dialogInitializationMutex)) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "Failed to release WaitForMainDialogInitializationMutex.");
    }
    if (waited == WAIT_OBJECT_0 + 1) return;
    SetEvent(task.terminateEvent);
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "UI Thread exited while waiting for main dialog initialization.");
    return;
  }
  SetEvent(task.terminateEvent);
  if (waited == WAIT_FAILED) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Wait for main dialog initialization failed.");
  } else {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "Unexpected result 0x%X while waiting for main dialog initialization.", unsigned(waited));
  }
}

bool RenderLoop(PreviewTask& task) {
  bool succeeded = true;
  while (PendingParameterSet* entry = WaitForParameters(task)) {
    if (entry->parameterSet == nullptr) {
      ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Invalid parameter set was received.");
      FreePendingParameterSet(entry);
      continue;
    }
    succeeded = RenderParameterSet(task, *entry);
    if (PreviewAborted()) {
      TraceRenderingRequest("Background Task - Parameter Set Processing Aborted.", entry->parameterSet);
    } else if (!succeeded) {
      TraceRenderingRequest("Background Task - Parameter Set Processing Failed.", entry->parameterSet);
    }
    FreePendingParameterSet(entry);
    ClearPreviewAbortFlags();
  }
  return succeeded;
}

void RunBackgroundTask(PreviewTask& task, const BackgroundTaskArguments& arguments) {
  OpenGLContext context;
  bool ready = MakeTaskContext(task, arguments, &context);
  if (!ready) SetEvent(task.terminateEvent);
  WaitForMainDialog(task);
  bool succeeded = ready;
  if (ready) {
    if (WaitForInitializationComplete(task)) {
      gEffectRenderMode.preview = true;
      gEffectRenderMode.visibilityMinimum = kPreviewVisibilityMinimum;
      PostMessageW(task.dialog, WM_APP_INIT_COMPLETE, 0, 0);
    } else {
      SetEvent(task.terminateEvent);
    }
    succeeded = RenderLoop(task);
  }
  GdiFlush();
  if (context.kind != OPENGL_CONTEXT_INVALID) {
    DestroyScaledProxyLayer();
    ReleaseOpenGLContext(&context);
  }
  DestroyPreviewDrawingWindow(task.drawingWindow);
  task.drawingWindow = nullptr;
  if (!DialogIsTerminating.load() && !succeeded) {
    SetRunResult(kStepFailed);
    ErrorReport(__LINE__, TraceMessage)
        .Report("DialogIsTerminating and SuccessStatus were false in BackgroundTask(), gResult set to %d.",
                int(RunResult()));
  }
}

// The task holds a reference to its record from its start to this point, whatever happened.
unsigned __stdcall BackgroundTask(void* block) noexcept {
  auto* arguments = static_cast<BackgroundTaskArguments*>(block);
  PreviewTask* task = arguments->task;
  SetThreadPreviewTask(task);
  RunGuarded("BackgroundTask", [&] { RunBackgroundTask(*task, *arguments); });
  free(arguments);
  SetThreadPreviewTask(nullptr);
  ReleasePreviewTask(task);
  gRunningTasks.fetch_sub(1);
  return 0;
}

}  // namespace
