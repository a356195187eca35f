// Builds the preview's effect layers: a template rasterised once by the star or soft-flare
// generator (EffectTemplates.cpp), and a quad per spike or soft flare of every visible light
// source, coloured so that texture times colour gives what the final render paints: 256 × alpha
// × the template's weighted colour × the light's colour, clamped at full strength.
#include "preview/EffectLayers.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include <lcms2.h>

#include "analysis/LightSourceTable.h"
#include "analysis/TableOperations.h"
#include "color/ColorConversion.h"
#include "color/ColorProfiles.h"
#include "color/ProfileGamma.h"
#include "core/Fractions.h"
#include "effects/EffectInstance.h"
#include "effects/StarGenerator.h"
#include "effects/StarTables.h"
#include "preview/BackgroundTask.h"
#include "preview/DisplayProfiles.h"
#include "preview/EffectTemplates.h"
#include "support/ErrorReport.h"
#include "support/FaultInjection.h"

namespace {

constexpr uint64_t kAbortCheckMask = 1023;  // lights between looks at the preview's abort flag

std::atomic<int> gTemplateBuilds[EFFECT_LAYER_COUNT];
std::atomic<int> gQuadBuilds[EFFECT_LAYER_COUNT];
std::atomic<int> gFailures[EFFECT_LAYER_COUNT];
std::atomic<uint32_t> gQuadsBuilt[EFFECT_LAYER_COUNT];
std::atomic<uint64_t> gDrawingStamps{0};

int32_t Trunc90(int32_t failed) { return int32_t(std::trunc(0.9 * failed)); }
int32_t Trunc111(int32_t failed) { return int32_t(std::trunc(10.0 / 9.0 * failed)); }

// Held off while every setting is at least as heavy as the failed one: a lighter one (by the
// margin) is retried. The margin never lets the very setting that failed be retried, zero
// included.
bool HeavierOrSame(int32_t value, int32_t failed) { return value > std::min(Trunc90(failed), failed - 1); }
bool SharperOrSame(int32_t value, int32_t failed) { return value < std::max(Trunc111(failed), failed + 1); }

void ReportLowMemory(const char* text) { ErrorReport(__LINE__, UserMessage).Report(kStyleWarning, kTitleWarning, "%s", text); }

bool GrowZeroed(BufferDescriptor* buffer, uint64_t size) {
  uint64_t before = buffer->block == nullptr ? 0 : buffer->size;
  if (ReallocateBufferPreserveContents(size, buffer) != 0) return false;
  memset(static_cast<char*>(buffer->block) + before, 0, size_t(size - before));
  return true;
}

// Effect light is computed in the linear working space; the preview shows it in the display's
// primaries, still linear, since the composite gives the whole frame the display's gamma.
struct DisplayColors {
  ColorTransform transform = nullptr;
  GammaTables tables{};
};

bool PrepareDisplayColors(DisplayColors* colors) {
  ColorProfile target = LinearDisplayProfile();
  if (target == LinearWorkingProfile()) return false;  // the same primaries: nothing to convert
  colors->transform = GetColorTransform(LinearWorkingProfile(), TYPE_RGB_16, target, TYPE_RGB_16);
  return colors->transform != nullptr && LookUpGammaTables(QuantisedProfileGamma(target), &colors->tables);
}

EffectBatch* Batches(EffectLayer* layer) { return static_cast<EffectBatch*>(layer->batches.block); }

// Appends one quad to the batch its number falls in, its indices to the slot's array; the
// previous batch goes to its buffer objects when a new one begins.
bool AddEffectQuad(EffectLayer* layer, int slot, const EffectVertex corners[4]) {
  uint32_t q = layer->quadCount;
  uint32_t b = 4 * q / kVerticesPerBatch, f = 4 * q % kVerticesPerBatch;
  if (f == 0 && b > 0 && gEffectDrawing.bufferObjects) {
    CopyShapeVerticesToVBO(layer, b - 1);
    CopyShapeIndexArraysToVBO(layer, b - 1);
  }
  bool memory = !FaultInjected(FAULT_EFFECT_QUAD_MEMORY);
  if (memory && b >= layer->batchCapacity) {
    uint32_t capacity = layer->batchCapacity + 4096 / uint32_t(sizeof(EffectBatch)) + 1;
    memory = GrowZeroed(&layer->batches, uint64_t(capacity) * sizeof(EffectBatch));
    if (memory) layer->batchCapacity = capacity;
  }
  EffectBatch* batch = memory ? &Batches(layer)[b] : nullptr;
  if (memory && batch->vertices.block == nullptr) {
    memory = GrowZeroed(&batch->vertices, uint64_t(kVerticesPerBatch) * sizeof(EffectVertex));
  }
  EffectIndexBatch* indices = memory ? &batch->slots[slot] : nullptr;
  if (memory && indices->indices.block == nullptr) memory = GrowZeroed(&indices->indices, uint64_t(kVerticesPerBatch) * 2);
  if (!memory) {
    ReportLowMemory("Low memory.  Check image - some effects may not be rendered.");
    return false;
  }
  memcpy(static_cast<EffectVertex*>(batch->vertices.block) + f, corners, 4 * sizeof(EffectVertex));
  auto* index = static_cast<uint16_t*>(indices->indices.block) + indices->count;
  for (uint32_t k = 0; k < 4; ++k) index[k] = uint16_t(f + k);
  indices->count += 4;
  layer->quadCount = q + 1;
  return true;
}

// The slot and colour of a quad of alpha `alpha` and light colour `colour` (fractions): with the
// scaling program the colour itself; otherwise the exposure level j whose texture holds the
// template × 256 / 2^j, the most amplified one the colour can still be divided down for. Its
// strength (largest channel × alpha) chooses the quad's outline.
int QuadColour(const EffectLayer& layer, const EffectColor& colour, double alpha, float rgba[4], double* strength) {
  double channel[3] = {colour.red / kFraction, colour.green / kFraction, colour.blue / kFraction};
  double largest = std::max(channel[0], std::max(channel[1], channel[2])) * alpha;
  *strength = largest;
  double factor = alpha;
  int level = 0;
  if (layer.geometry.levels > 1) {
    level = largest <= 0 ? 0 : std::clamp(int(std::floor(std::log2(1.0 / largest))), 0, kEffectExposureLevels - 1);
    factor = alpha * std::ldexp(1.0, level);
  }
  for (int c = 0; c < 3; ++c) rgba[c] = float(std::min(1.0, channel[c] * factor));
  rgba[3] = 1.0f;
  return level;
}

// The outline of the quad, rotated by `turn` (tenths of a degree, clockwise in image
// coordinates) and scaled about the origin, the centre of the template's pixel (0, 0); texture
// coordinates follow the corners, so each texel lands where the whole rectangle put it.
void QuadCorners(const EffectLayer& layer, const QuadOutline& outline, double originX, double originY, int64_t turn, double scale,
                 const float rgba[4], EffectVertex corners[4]) {
  const EffectTemplate& t = layer.geometry;
  double c = SineOf(turn + 900), s = SineOf(turn);
  const double u[4] = {outline.left, outline.right, outline.right, outline.left};
  const double v[4] = {outline.topAtLeft, outline.topAtRight, outline.bottomAtRight, outline.bottomAtLeft};
  for (int k = 0; k < 4; ++k) {
    EffectVertex& vertex = corners[k];
    vertex.red = rgba[0], vertex.green = rgba[1], vertex.blue = rgba[2], vertex.alpha = rgba[3];
    vertex.s = float((u[k] - t.left + 0.5) / t.textureWidth);
    vertex.t = float((v[k] - t.top + 0.5) / t.textureHeight);
    vertex.x = float(originX + (u[k] * c - v[k] * s) * scale);
    vertex.y = float(originY + (u[k] * s + v[k] * c) * scale);
  }
}

// Where the final render puts a star's origin: the centre of its pixel, moved by its quarter phase.
double StarOrigin(double v) { return std::floor(v * 4.0) / 4.0 + 0.5; }

bool BuildSpikeQuads(EffectLayer* layer, const ParameterSet& request, double scale) {
  static StarSpike spikes[kMaximumStarSpikes];  // the preview task's own
  int count = layer->kind == EFFECT_LAYER_PRIMARY ? PrimaryStarSpikes(request, spikes) : SecondaryStarSpikes(request, spikes);
  const LightSourceTable& table = gLightSourceTable;
  uint32_t threshold = QuantityThreshold(table, request.quantity);
  bool stars = request.length >= 1 && (request.intensity >= 1 || request.secondarySpikeIntensity >= 1);
  if (!stars || count == 0 || layer->geometry.empty) return true;
  DisplayColors display;
  bool convert = PrepareDisplayColors(&display);
  for (uint64_t i = 0; i < table.count; ++i) {
    if ((i & kAbortCheckMask) == 0 && PreviewAborted()) return true;  // the frame is dropped anyway
    const LightSource light = ReadLightSourceEntry(table, i);
    if (!IsLightSourceVisible(light, threshold) || light.intensity <= kPreviewVisibilityMinimum) continue;
    EffectColor colour = SaturatedEffectColor(light.red, light.green, light.blue, request.colorSaturation, gEffectRenderMode.grayImage);
    if (convert) ConvertColor(&colour, display.transform, display.tables);
    double ox = StarOrigin(light.x), oy = StarOrigin(light.y);
    for (int k = 0; k < count; ++k) {
      double alpha = std::min(1.0, spikes[k].strength / kFraction) * (light.intensity / kFraction);
      if (alpha <= 0) continue;
      float rgba[4];
      double strength = 0;
      int slot = QuadColour(*layer, colour, alpha, rgba, &strength);
      const QuadOutline& outline = layer->geometry.outlines[QuadStrengthClass(strength)];
      if (outline.empty) continue;
      EffectVertex corners[4];
      QuadCorners(*layer, outline, ox, oy, WrapAngle(spikes[k].angle - 900), scale, rgba, corners);
      if (!AddEffectQuad(layer, slot, corners)) return false;
    }
  }
  return true;
}

// Whether a soft flare's quad at (x, y) reaches the visible part of the image.
bool SoftFlareReaches(const EffectLayer& layer, double x, double y, double scale, const ImageRect& visible) {
  const EffectTemplate& t = layer.geometry;
  double left = x + (t.left - 0.5) * scale, right = x + (t.left + t.width - 0.5) * scale;
  double top = y + (t.top - 0.5) * scale, bottom = y + (t.top + t.height - 0.5) * scale;
  return right > visible.left && left < visible.right && bottom > visible.top && top < visible.bottom;
}

bool BuildSoftFlareQuads(EffectLayer* layer, const ParameterSet& request, double scale, const ImageRect& visible) {
  if (request.length < 1 || request.softFlareIntensity < 1 || layer->geometry.empty) return true;
  const LightSourceTable& table = gLightSourceTable;
  uint32_t threshold = QuantityThreshold(table, request.quantity);
  double share = request.softFlareIntensity * 0.01;
  double shareFraction = std::trunc(share * share * kFraction);
  DisplayColors display;
  bool convert = PrepareDisplayColors(&display);
  for (uint64_t i = 0; i < table.count; ++i) {
    if ((i & kAbortCheckMask) == 0 && PreviewAborted()) return true;
    const LightSource light = ReadLightSourceEntry(table, i);
    if (!IsLightSourceVisible(light, threshold)) continue;
    double alphaFraction = std::round(shareFraction / kFraction * light.intensity);
    if (alphaFraction <= kPreviewVisibilityMinimum) continue;
    // The soft flare has one phase: its origin is the centre of the light's pixel.
    double ox = std::floor(light.x) + 0.5, oy = std::floor(light.y) + 0.5;
    if (!SoftFlareReaches(*layer, ox, oy, scale, visible)) continue;
    EffectColor colour = SaturatedEffectColor(light.red, light.green, light.blue, request.colorSaturation, gEffectRenderMode.grayImage);
    if (convert) ConvertColor(&colour, display.transform, display.tables);
    float rgba[4];
    double strength = 0;
    int slot = QuadColour(*layer, colour, alphaFraction / kFraction, rgba, &strength);
    const QuadOutline& outline = layer->geometry.outlines[QuadStrengthClass(strength)];
    if (outline.empty) continue;
    EffectVertex corners[4];
    QuadCorners(*layer, outline, ox, oy, 0, scale, rgba, corners);
    if (!AddEffectQuad(layer, slot, corners)) return false;
  }
  return true;
}

void ResetLayerQuads(EffectLayer* layer) {
  ReleaseEffectBatches(layer);
  layer->quadCount = 0;
  layer->hasQuads = false;
}

// What the layer drew is gone (a new template, quads dropped): no kept picture of it holds.
void ForgetLayerDrawing(EffectLayer* layer) {
  layer->quadsDigest = 0;
  layer->drawingStamp = NewEffectDrawingStamp();
}

// Every byte the drawing of the quads reads: vertices and each slot's indices, batch by batch.
uint64_t QuadsDigest(const EffectLayer& layer) {
  uint64_t digest = 14695981039346656037ull;
  auto mix = [&digest](const void* data, size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i + 8 <= bytes; i += 8) {
      uint64_t word = 0;
      memcpy(&word, p + i, 8);
      digest = (digest ^ word) * 1099511628211ull;
      digest ^= digest >> 29;
    }
    for (size_t i = bytes & ~size_t(7); i < bytes; ++i) digest = (digest ^ p[i]) * 1099511628211ull;
  };
  mix(&layer.quadCount, sizeof layer.quadCount);
  const auto* batches = static_cast<const EffectBatch*>(layer.batches.block);
  for (uint32_t b = 0; b * kQuadsPerBatch < layer.quadCount; ++b) {
    uint32_t quads = std::min(kQuadsPerBatch, layer.quadCount - b * kQuadsPerBatch);
    mix(batches[b].vertices.block, size_t(quads) * 4 * sizeof(EffectVertex));
    for (const EffectIndexBatch& slot : batches[b].slots) {
      mix(&slot.count, sizeof slot.count);
      if (slot.count > 0) mix(slot.indices.block, size_t(slot.count) * sizeof(uint16_t));
    }
  }
  return digest;
}

}  // namespace

EffectLayer gEffectLayers[EFFECT_LAYER_COUNT];
EffectDrawingCapabilities gEffectDrawing;

uint64_t NewEffectDrawingStamp() { return gDrawingStamps.fetch_add(1) + 1; }

double FinalReferenceSize(const ImageRect& host) {
  double w = double(host.Width()), h = double(host.Height());
  return std::trunc(std::sqrt(w * w + h * h) + 1);
}

double PreviewStarReferenceSize(const ImageRect& host) {
  return std::max(1.0, std::min(2500.0, std::trunc(FinalReferenceSize(host) * 125 / 100)));
}

ParameterSet EffectLayerParameters(int kind, const ParameterSet& p) {
  ParameterSet derived = p;
  if (kind == EFFECT_LAYER_SECONDARY) {
    derived.length = int16_t((80 * int32_t(p.length) + 80) / 100);
    derived.spikeSharpness = int16_t(std::trunc(0.8 * p.spikeSharpness));
    derived.intensity = p.secondarySpikeIntensity;
  } else if (kind == EFFECT_LAYER_SOFT_FLARE) {
    // The template is the flare at full strength; Soft Flare Intensity is the quads' alpha, so
    // that moving it never rasterises the flare again.
    derived.softFlareIntensity = 100;
  }
  return derived;
}

bool EffectTemplateIsCurrent(const EffectLayer& layer, const ParameterSet& parameters) {
  if (!layer.hasTemplate || layer.lastBuildFailed) return false;
  return SameTemplateInputs(layer.templateBuiltFor, EffectLayerParameters(layer.kind, parameters), IsSpikeLayer(layer));
}

bool EffectQuadsAreCurrent(const EffectLayer& layer, const ParameterSet& p, int32_t tableChanges, const ImageRect& visible) {
  if (!layer.hasQuads || layer.lastBuildFailed) return false;
  const ParameterSet& b = layer.quadsBuiltFor;
  bool common = p.quantity == b.quantity && p.intensity == b.intensity && p.length == b.length &&
                p.colorSaturation == b.colorSaturation && p.monitor == b.monitor && p.effectGeneration == b.effectGeneration &&
                tableChanges == layer.quadsTableChanges;
  if (!common) return false;
  if (!IsSpikeLayer(layer)) return p.softFlareIntensity == b.softFlareIntensity && SameRect(visible, layer.quadsVisible);
  bool spikes = p.angle == b.angle && p.numberOfPoints == b.numberOfPoints && p.spikeSharpness == b.spikeSharpness &&
                p.spikeSpread == b.spikeSpread && p.rainbowIntensity == b.rainbowIntensity &&
                p.rainbowFrequency == b.rainbowFrequency && p.effectType == b.effectType;
  return spikes && (layer.kind != EFFECT_LAYER_SECONDARY || p.secondarySpikeIntensity == b.secondarySpikeIntensity);
}

bool EffectBuildIsBackedOff(const EffectLayer& layer, const ParameterSet& p) {
  if (!layer.lastBuildFailed) return false;
  const ParameterSet& f = layer.quadsBuiltFor;
  if (!IsSpikeLayer(layer)) {
    return HeavierOrSame(p.quantity, f.quantity) && HeavierOrSame(p.length, f.length) &&
           HeavierOrSame(p.softFlareIntensity, f.softFlareIntensity);
  }
  return HeavierOrSame(p.quantity, f.quantity) && HeavierOrSame(p.intensity, f.intensity) && HeavierOrSame(p.length, f.length) &&
         HeavierOrSame(p.numberOfPoints, f.numberOfPoints) && SharperOrSame(p.spikeSharpness, f.spikeSharpness) &&
         SharperOrSame(p.spikeSpread, f.spikeSpread);
}

bool BuildEffectLayer(EffectLayer* layer, const ParameterSet& request, const ImageRect& host, const ImageRect& visible) {
  int32_t tableChanges = LightSourceChangeCount(gLightSourceTable);
  if (EffectBuildIsBackedOff(*layer, request)) return true;
  double reference = IsSpikeLayer(*layer) ? PreviewStarReferenceSize(host) : kSoftFlareReferenceSize;
  double scale = FinalReferenceSize(host) / reference;
  bool templateCurrent = EffectTemplateIsCurrent(*layer, request) && layer->templateReference == reference;
  if (templateCurrent && EffectQuadsAreCurrent(*layer, request, tableChanges, visible) && layer->quadsScale == scale) return true;
  bool built = true;
  if (!templateCurrent) {
    layer->parameters = EffectLayerParameters(layer->kind, request);
    layer->hasTemplate = false;
    ResetLayerQuads(layer);
    ForgetLayerDrawing(layer);
    built = BuildEffectTemplate(layer, reference);
    gTemplateBuilds[layer->kind].fetch_add(1);
    if (built) {
      layer->hasTemplate = true;
      layer->templateBuiltFor = layer->parameters;
      layer->templateReference = reference;
    }
  }
  if (built) {
    ResetLayerQuads(layer);
    built = IsSpikeLayer(*layer) ? BuildSpikeQuads(layer, request, scale) : BuildSoftFlareQuads(layer, request, scale, visible);
    gQuadBuilds[layer->kind].fetch_add(1);
    // Cut short by a newer request: the quads are incomplete and the next frame builds them again.
    if (built && PreviewAborted()) {
      ResetLayerQuads(layer);
      ForgetLayerDrawing(layer);
      return true;
    }
  }
  layer->quadsBuiltFor = request;
  layer->quadsTableChanges = tableChanges;
  layer->quadsVisible = visible;
  layer->quadsScale = scale;
  if (!built) {
    // The preview goes on without this layer; the back-off keeps it from retrying as heavy.
    ResetLayerQuads(layer);
    ForgetLayerDrawing(layer);
    ReleaseSubShape(&layer->shape.subshapes[0][0]);
    layer->hasTemplate = false;
    layer->lastBuildFailed = true;
    gFailures[layer->kind].fetch_add(1);
    ReportLowMemory("Low memory.  Check image - some effects may not be rendered.  Try lowering the effect settings.");
    return false;
  }
  if (gEffectDrawing.bufferObjects && layer->quadCount > 0) {
    uint32_t last = (4 * (layer->quadCount - 1)) / kVerticesPerBatch;
    CopyShapeVerticesToVBO(layer, last);
    CopyShapeIndexArraysToVBO(layer, last);
  }
  // Many requests rebuild quads that come out as they were (a soft flare under an Angle drag):
  // the layer's drawing stays as it was, and a kept picture of it stays good.
  uint64_t digest = QuadsDigest(*layer);
  if (digest != layer->quadsDigest) layer->drawingStamp = NewEffectDrawingStamp();
  layer->quadsDigest = digest;
  layer->hasQuads = true;
  layer->lastBuildFailed = false;
  gQuadsBuilt[layer->kind].store(layer->quadCount);
  return true;
}

EffectLayerCounters GetEffectLayerCounters(int kind) {
  EffectLayerCounters counters{};
  if (kind < 0 || kind >= EFFECT_LAYER_COUNT) return counters;
  counters.templateBuilds = gTemplateBuilds[kind].load();
  counters.quadBuilds = gQuadBuilds[kind].load();
  counters.failures = gFailures[kind].load();
  counters.quads = gQuadsBuilt[kind].load();
  counters.batches = (counters.quads + kQuadsPerBatch - 1) / kQuadsPerBatch;
  return counters;
}

void ResetEffectLayerCounters() {
  for (int k = 0; k < EFFECT_LAYER_COUNT; ++k) {
    gTemplateBuilds[k].store(0);
    gQuadBuilds[k].store(0);
    gFailures[k].store(0);
  }
}
