// The 112-byte rendering request that every control change hands to the preview task: the
// preview's view state and the fourteen values of the current block.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

struct ParameterSet {
  int32_t id;
  int32_t reserved;
  RECT previewRect;  // dialog client coordinates; zeros while the preview control is unregistered
  RECT marqueeRect;  // preview-window coordinates; zeros when no drag is in progress
  double zoom;       // percent, 100.0 = actual pixels
  int32_t horizontalScroll;
  int32_t verticalScroll;
  uint8_t previewEnabled;
  uint8_t previewFocused;
  HMONITOR monitor;
  int32_t effectGeneration;
  uint8_t renderFlag;
  int16_t intensity;
  int16_t length;
  int16_t angle;
  int16_t numberOfPoints;
  int16_t spikeSharpness;
  int16_t colorSaturation;
  int16_t rainbowIntensity;
  int16_t rainbowFrequency;
  int16_t secondarySpikeIntensity;
  int16_t softFlareIntensity;
  int16_t effectsOnly;
  uint32_t effectType;
  int16_t quantity;
  int16_t spikeSpread;
};
static_assert(sizeof(ParameterSet) == 112);
static_assert(offsetof(ParameterSet, zoom) == 40 && offsetof(ParameterSet, monitor) == 64);
static_assert(offsetof(ParameterSet, effectGeneration) == 72 && offsetof(ParameterSet, intensity) == 78);

// The preview's view state as the dialog keeps it; the dialog and its preview tools write it on
// the user-interface thread, where parameter sets are made.
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

ParameterSet* GetCurrentParameterSet();
void FreeParameterSet(ParameterSet* set);
void TraceRenderingParameters(const char* message, const ParameterSet* set);
