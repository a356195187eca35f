#include "preview/SteadyEffects.h"

namespace {

bool StampsHeld(uint32_t layers, const uint64_t then[], const uint64_t now[]) {
  for (int kind = 0; kind < kSteadyEffectLayerLimit; ++kind) {
    if (((layers >> kind) & 1u) != 0 && then[kind] != now[kind]) return false;
  }
  return true;
}

}  // namespace

bool SamePlacement(const EffectsPlacement& a, const EffectsPlacement& b) {
  return EqualRect(&a.client, &b.client) && EqualRect(&a.image, &b.image) && EqualRect(&a.drawing, &b.drawing) &&
         a.zoom == b.zoom && a.scrollX == b.scrollX && a.scrollY == b.scrollY && SameRect(a.imageRect, b.imageRect);
}

EffectsDrawingPlan PlanEffectsDrawing(const SteadyEffectsRecord& record, uint32_t layers, const uint64_t stamps[],
                                      const EffectsPlacement& placement) {
  EffectsDrawingPlan plan;
  uint32_t kept = record.keptLayers;
  if (kept != 0 && (kept & ~layers) == 0 && SamePlacement(record.keptPlacement, placement) &&
      StampsHeld(kept, record.keptStamps, stamps)) {
    plan.fromKept = kept;
    plan.live = layers & ~kept;
    return plan;
  }
  // Layers that held still over the last frame are likely to hold still over the next ones; a
  // view that moved moves every layer.
  uint32_t steady = 0;
  if (record.hadFrame && SamePlacement(record.lastPlacement, placement)) {
    for (int kind = 0; kind < kSteadyEffectLayerLimit; ++kind) {
      uint32_t bit = 1u << kind;
      if ((layers & bit) != 0 && (record.lastLayers & bit) != 0 && record.lastStamps[kind] == stamps[kind]) steady |= bit;
    }
  }
  plan.toKeep = steady;
  plan.live = layers & ~steady;
  return plan;
}

void NoteEffectsFrame(SteadyEffectsRecord* record, const EffectsDrawingPlan& plan, bool kept, uint32_t layers,
                      const uint64_t stamps[], const EffectsPlacement& placement) {
  if (plan.toKeep != 0) {
    record->keptLayers = kept ? plan.toKeep : 0;
    for (int kind = 0; kind < kSteadyEffectLayerLimit; ++kind) record->keptStamps[kind] = stamps[kind];
    record->keptPlacement = placement;
  } else if (plan.fromKept == 0) {
    record->keptLayers = 0;  // a frame that neither used nor made the picture has moved on from it
  }
  record->hadFrame = true;
  record->lastLayers = layers;
  for (int kind = 0; kind < kSteadyEffectLayerLimit; ++kind) record->lastStamps[kind] = stamps[kind];
  record->lastPlacement = placement;
}

void ForgetSteadyEffects(SteadyEffectsRecord* record) { *record = SteadyEffectsRecord{}; }
