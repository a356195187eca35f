// The preview background task: one thread per preview window that renders the newest queued
// parameter set with OpenGL while the dialog stays responsive.
#pragma once
#include <windows.h>

#include <atomic>

#include "params/ParameterSet.h"

enum InitializationState {
  INITSTATE_START = 0,
  INITSTATE_WAIT = 1,
  INITSTATE_PARAMETERS_RECEIVED = 2,
  INITSTATE_BACKGROUND_INIT_COMPLETE = 3,
  INITSTATE_COMPLETE = 4,
  INITSTATE_TERMINATE = 5,
};

// Origin tags of WM_APP_INVALIDATE_PROXY (its lParam).
enum InvalidateTag {
  INVALIDATE_AFTER_SIZE_CHANGE = 19,
  INVALIDATE_FROM_PAINT = 34,
  INVALIDATE_FROM_STARTUP = 51,
  INVALIDATE_AFTER_FRAME = 272,
  INVALIDATE_AFTER_SIZE_MOVE = 274,
};

struct PendingParameterSet {
  ParameterSet* parameterSet;
  HRGN region;
  LONGLONG queuedAt;  // performance-counter ticks when the request was made
};

// Creation data of the preview window (its CREATESTRUCT's lpCreateParams, or the dialog's).
struct PreviewCreationData {
  HWND dialog;
  int width;
  int height;
};

extern std::atomic<bool> DialogIsTerminating;

bool InitializeBackgroundTask(HWND previewWindow, const PreviewCreationData& creation);
void DestroyBackgroundTask();
void NewBackgroundTaskParameters(HRGN region);
void FlushParameterSets(const char* message);
void SetSizeMoveInProgress(bool inProgress);
bool SizeMoveInProgress();
void RequestBackgroundTaskTermination();
void SignalMainDialogInitialized();
// True while the preview is drawn straight by OpenGL on the window (a screen context whose
// frames reach the screen), false when the window paints it from the screen bitmap.
bool PreviewDrawnByOpenGL();
// The abort flags every rendering loop of the preview observes.
bool PreviewAborted();
void SetPreviewAbortFlags();
void ClearPreviewAbortFlags();
// The abort flag for loops that poll a plain flag.
const volatile bool* PreviewAbortFlag();
// True while a preview task thread of this process has not ended (also one left to end on its own).
bool BackgroundTaskRunning();

// What the task asks of the product (the start-up wait, tracing, the current request), through
// one entry taking an operation number and its record.
enum PreviewProductOperation {
  PRODUCT_WAIT_FOR_INITIALIZATION = 0,
  PRODUCT_TRACE_RENDERING_PARAMETERS = 1,
  PRODUCT_GET_CURRENT_PARAMETER_SET = 2,
  PRODUCT_OPERATION_COUNT
};
struct WaitForInitializationRecord {
  int state;           // InitializationState
  DWORD* waitTimeout;  // milliseconds of the start-up loop's wake-ups; the hook may change it
  bool ready;          // out: the preview may start rendering
  HWND previewWindow;
};
struct TraceRenderingRecord {
  const char* message;
  const ParameterSet* parameterSet;
};
// Returns the operation's result: a bool for 0 and 1, a ParameterSet* (caller owns it) for 2.
typedef void* (*PreviewProductHook)(int operation, void* record);
void* ProductHookDispatch(int operation, void* record);
// Replaces the dispatch entry (tests stand in for the product); returns the one before.
PreviewProductHook SetPreviewProductHook(PreviewProductHook hook);

// Called on the task with each request just before its frame is drawn (tests make frames slow
// or watch what is drawn); null for none.
typedef void (*PreviewFrameHook)(const PendingParameterSet& entry);
PreviewFrameHook SetPreviewFrameHook(PreviewFrameHook hook);
// How long DestroyBackgroundTask waits for the task; tests shorten it. Returns the one before.
DWORD SetBackgroundTaskExitLimit(DWORD milliseconds);
constexpr DWORD kBackgroundTaskExitLimitMs = 10000;
