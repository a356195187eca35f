// A picture of the effect layers that held still while a slider moves others (the soft flares
// under an Angle drag, everything but the primary spikes under Intensity), kept in window pixels
// so that the next frames draw it as one textured rectangle instead of its quads. Screening is
// commutative and associative, so the kept layers drawn first give the stars the layers drawn in
// their own order give, but for rounding.
#pragma once
#include <windows.h>

#include <cstdint>

#include "core/ImageRecord.h"

constexpr int kSteadyEffectLayerLimit = 3;

// Everything besides the layers themselves that puts their quads on the window.
struct EffectsPlacement {
  RECT client{}, image{}, drawing{};
  double zoom = 0;
  int32_t scrollX = 0, scrollY = 0;
  ImageRect imageRect{};
};

struct SteadyEffectsRecord {
  uint32_t keptLayers = 0;  // bit per layer kind held by the kept picture; 0: none kept
  uint64_t keptStamps[kSteadyEffectLayerLimit]{};
  EffectsPlacement keptPlacement{};
  // The frame before, to tell which layers held still.
  bool hadFrame = false;
  uint32_t lastLayers = 0;
  uint64_t lastStamps[kSteadyEffectLayerLimit]{};
  EffectsPlacement lastPlacement{};
};

// How one frame draws its layers: the kept picture first, or the layers to keep, drawn and kept
// before the rest; then the layers drawn live.
struct EffectsDrawingPlan {
  uint32_t fromKept = 0;
  uint32_t toKeep = 0;
  uint32_t live = 0;
};

bool SamePlacement(const EffectsPlacement& a, const EffectsPlacement& b);
// `layers`: the layers with quads this frame; `stamps`: every layer's drawing stamp.
EffectsDrawingPlan PlanEffectsDrawing(const SteadyEffectsRecord& record, uint32_t layers, const uint64_t stamps[],
                                      const EffectsPlacement& placement);
// After the frame: `kept` says whether the picture of plan.toKeep was made (a failed copy or an
// aborted frame keeps none).
void NoteEffectsFrame(SteadyEffectsRecord* record, const EffectsDrawingPlan& plan, bool kept, uint32_t layers,
                      const uint64_t stamps[], const EffectsPlacement& placement);
void ForgetSteadyEffects(SteadyEffectsRecord* record);
