// The 112-byte rendering request that every control change hands to the preview task: the
// preview's view state and the fourteen values of the current block. The preview module fills
// the view state; the final render uses the values alone.
#pragma once
#include <cstddef>
#include <cstdint>

#include "params/ParameterBlock.h"

// A rectangle of a window's client area, laid out as the system's RECT.
struct ClientRect {
  int32_t left, top, right, bottom;
};

struct ParameterSet {
  int32_t id;
  int32_t reserved;
  ClientRect previewRect;  // dialog client coordinates; zeros while the preview control is unregistered
  ClientRect marqueeRect;  // preview-window coordinates; zeros when no drag is in progress
  double zoom;             // percent, 100.0 = actual pixels
  int32_t horizontalScroll;
  int32_t verticalScroll;
  uint8_t previewEnabled;
  uint8_t previewFocused;
  void* monitor;  // the display monitor of the preview window, which selects its colour profile
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

// The fourteen values of a block, placed where the parameter table says they live in a set.
void CopyBlockValuesIntoSet(const ParameterBlock& block, ParameterSet* set);
// A request at 100 % with the current block's values and no view: what the final render needs.
ParameterSet ParameterSetOfCurrentBlock();

void FreeParameterSet(ParameterSet* set);
void TraceRenderingParameters(const char* message, const ParameterSet* set);
