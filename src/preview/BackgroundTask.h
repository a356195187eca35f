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
