// Between the preview's effect layers and their templates: what the layers' builds take from
// the template side (EffectTemplates.cpp) and the constants both sides read.
#pragma once
#include <cstdint>

#include "params/ParameterSet.h"
#include "preview/EffectLayers.h"

// Effect light at or below this 32-bit fraction does not show in the preview.
constexpr uint32_t kPreviewVisibilityMinimum = 2048;
constexpr double kSoftFlareReferenceSize = 400.0;

inline bool IsSpikeLayer(const EffectLayer& layer) { return layer.kind != EFFECT_LAYER_SOFT_FLARE; }

// Whether two parameter snapshots give the same template.
bool SameTemplateInputs(const ParameterSet& a, const ParameterSet& b, bool spikes);
// Rasterises the layer's template for `reference` (unless it was prepared ahead for the same
// inputs) and uploads it; false when memory ran out.
bool BuildEffectTemplate(EffectLayer* layer, double reference);
