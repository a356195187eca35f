// The preview's view state as the dialog keeps it, and the rendering requests made from it. The
// dialog and its preview tools write the state on the user-interface thread, where requests are
// made.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "params/ParameterSet.h"

struct PreviewViewState {
  bool previewRegistered = false;
  RECT previewRect{};
  bool dragging = false;
  RECT marqueeRect{};
  double zoom = 100.0;
  int32_t horizontalScroll = 0;
  int32_t verticalScroll = 0;
  bool previewEnabled = false;
  bool previewFocused = false;
  HWND previewWindow = nullptr;
};
extern PreviewViewState gPreviewViewState;
extern std::atomic<int32_t> gEffectTextureGeneration;

// A new request of the current block and view, with the next id; freed with FreeParameterSet.
ParameterSet* GetCurrentParameterSet();
