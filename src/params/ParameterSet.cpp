// Makes rendering requests from the current block and the preview's view state. Ids come from a
// process-wide counter so the preview task can tell newer requests from older ones.
#include "params/ParameterSet.h"

#include <cstdlib>

#include "params/ParameterBlockService.h"
#include "support/ErrorReport.h"

PreviewViewState gPreviewViewState;
std::atomic<int32_t> gEffectTextureGeneration{0};

namespace {
std::atomic<int32_t> gNextParameterSetId{0};
}

ParameterSet* GetCurrentParameterSet() {
  auto* set = static_cast<ParameterSet*>(calloc(1, sizeof(ParameterSet)));
  if (set == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Could not allocate a ParameterSet buffer.");
    return nullptr;
  }
  const PreviewViewState& view = gPreviewViewState;
  if (view.previewRegistered) set->previewRect = view.previewRect;
  if (view.dragging) set->marqueeRect = view.marqueeRect;
  set->zoom = view.zoom;
  set->horizontalScroll = view.horizontalScroll;
  set->verticalScroll = view.verticalScroll;
  set->previewEnabled = view.previewEnabled ? 1 : 0;
  set->previewFocused = view.previewFocused ? 1 : 0;
  set->monitor = MonitorFromWindow(view.previewWindow, MONITOR_DEFAULTTONEAREST);
  set->effectGeneration = gEffectTextureGeneration.load(std::memory_order_relaxed);
  set->renderFlag = 1;
  if (const ParameterBlock* block = CurrentParameterBlock()) {
    set->intensity = block->intensity;
    set->length = block->length;
    set->angle = block->angle;
    set->numberOfPoints = block->numberOfPoints;
    set->spikeSharpness = block->spikeSharpness;
    set->colorSaturation = block->colorSaturation;
    set->rainbowIntensity = block->rainbowIntensity;
    set->rainbowFrequency = block->rainbowFrequency;
    set->secondarySpikeIntensity = block->secondarySpikeIntensity;
    set->softFlareIntensity = block->softFlareIntensity;
    set->effectsOnly = block->effectsOnly;
    set->effectType = block->effectType;
    set->quantity = block->quantity;
    set->spikeSpread = block->spikeSpread;
  }
  set->reserved = 0;
  set->id = gNextParameterSetId.fetch_add(1);
  return set;
}

void FreeParameterSet(ParameterSet* set) { free(set); }

void TraceRenderingParameters(const char* message, const ParameterSet* set) {
  if (set != nullptr) return;
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError,
              "TraceRenderingParameters() - A NULL pointer was specified for Parameter Set argument.  Message: '%s'",
              message != nullptr ? message : "(null)");
}
