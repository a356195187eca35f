// Ids come from a process-wide counter so that the preview task can tell newer requests from
// older ones.
#include "preview/PreviewViewState.h"

#include <cstdlib>

#include "analysis/LightSourceTable.h"
#include "params/ParameterBlockService.h"
#include "support/ErrorReport.h"

PreviewViewState gPreviewViewState;
std::atomic<int32_t> gEffectTextureGeneration{0};

namespace {

// From 1: observers of the preview window read 0 as "no request yet".
std::atomic<int32_t> gNextParameterSetId{1};

ClientRect ClientRectOf(const RECT& r) { return ClientRect{int32_t(r.left), int32_t(r.top), int32_t(r.right), int32_t(r.bottom)}; }

}  // namespace

ParameterSet* GetCurrentParameterSet() {
  auto* set = static_cast<ParameterSet*>(calloc(1, sizeof(ParameterSet)));
  if (set == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Could not allocate a ParameterSet buffer.");
    return nullptr;
  }
  const PreviewViewState& view = gPreviewViewState;
  if (view.previewRegistered) set->previewRect = ClientRectOf(view.previewRect);
  if (view.dragging) set->marqueeRect = ClientRectOf(view.marqueeRect);
  set->zoom = view.zoom;
  set->horizontalScroll = view.horizontalScroll;
  set->verticalScroll = view.verticalScroll;
  set->previewEnabled = view.previewEnabled ? 1 : 0;
  set->previewFocused = view.previewFocused ? 1 : 0;
  set->monitor = MonitorFromWindow(view.previewWindow, MONITOR_DEFAULTTONEAREST);
  // The request names the light-source table it was made for: an edit of the table (hide, show,
  // move, recolour) bumps the table's change count, and a request that carries it differs from the
  // last one drawn, so the effect layers are rebuilt even when no slider moved.
  set->effectGeneration = gEffectTextureGeneration.load(std::memory_order_relaxed) + LightSourceChangeCount(gLightSourceTable);
  set->renderFlag = 1;
  if (const ParameterBlock* block = CurrentParameterBlock()) CopyBlockValuesIntoSet(*block, set);
  set->reserved = 0;
  set->id = gNextParameterSetId.fetch_add(1);
  return set;
}
