// Builds the preview's effect layers: a template rasterised once by the star or soft-flare
// generator, and a quad per spike or soft flare of every visible light source, coloured so that
// texture times colour gives what the final render paints: 256 × alpha × the template's weighted
// colour × the light's colour, clamped at full strength.
#include "preview/EffectLayers.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include <lcms2.h>
#include <process.h>

#include "analysis/LightSourceTable.h"
#include "analysis/TableOperations.h"
#include "color/ColorConversion.h"
#include "color/ColorProfiles.h"
#include "color/ProfileGamma.h"
#include "core/ThreadEntry.h"
#include "effects/EffectInstance.h"
#include "effects/SpikeDrawing.h"
#include "effects/StarGenerator.h"
#include "effects/StarTables.h"
#include "preview/BackgroundTask.h"
#include "preview/DisplayProfiles.h"
#include "support/ErrorReport.h"
#include "support/FaultInjection.h"

namespace {

constexpr double kFraction = 4294967294.0;
constexpr uint32_t kTemplateStrength = 0xFFFFFFA0;
constexpr uint32_t kPreviewVisibilityMinimum = 2048;
constexpr double kSoftFlareReferenceSize = 400.0;
constexpr double kFinalBoost = 256.0;  // the final render lifts faint effect light by this much
constexpr int32_t kMinimumSpikeTemplateHeight = 8;
constexpr uint64_t kAbortCheckMask = 1023;  // lights between looks at the preview's abort flag

std::atomic<int> gTemplateBuilds[EFFECT_LAYER_COUNT];
std::atomic<int> gQuadBuilds[EFFECT_LAYER_COUNT];
std::atomic<int> gFailures[EFFECT_LAYER_COUNT];
std::atomic<uint32_t> gQuadsBuilt[EFFECT_LAYER_COUNT];
double gStarTablesReference = 0;

bool IsSpikeLayer(const EffectLayer& layer) { return layer.kind != EFFECT_LAYER_SOFT_FLARE; }

// The generators read the render mode: the preview's reference sizes and visibility minimum.
// Memoised falloffs belong to one reference size and are forgotten when it changes.
void EnterPreviewTemplateMode(double reference) {
  gEffectRenderMode.preview = true;
  gEffectRenderMode.referenceSize = reference;
  gEffectRenderMode.softFlareReferenceSize = kSoftFlareReferenceSize;
  gEffectRenderMode.visibilityMinimum = kPreviewVisibilityMinimum;
  if (gStarTablesReference != reference) {
    InitializeStarTables();
    gStarTablesReference = reference;
  }
}

int32_t Trunc90(int32_t failed) { return int32_t(std::trunc(0.9 * failed)); }
int32_t Trunc111(int32_t failed) { return int32_t(std::trunc(10.0 / 9.0 * failed)); }

// Held off while every setting is at least as heavy as the failed one: a lighter one (by the
// margin) is retried. The margin never lets the very setting that failed be retried, zero
// included.
bool HeavierOrSame(int32_t value, int32_t failed) { return value > std::min(Trunc90(failed), failed - 1); }
bool SharperOrSame(int32_t value, int32_t failed) { return value < std::max(Trunc111(failed), failed + 1); }

uint32_t NextPowerOfTwo(uint32_t v) {
  uint32_t p = 1;
  while (p < v) p <<= 1;
  return p;
}

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

// std::llround for the non-negative products below, inline: the library call made folding the
// weights of a long spike's few hundred thousand entries cost more than rasterising them.
uint32_t RoundHalfUp(double v) {
  double whole = std::floor(v);
  return uint32_t(whole) + (v - whole >= 0.5 ? 1u : 0u);
}

// The template's entries as display light with their weights folded in.
std::vector<EffectColor> TemplateDisplayColors(const SubShape& subshape) {
  std::vector<EffectColor> colors(subshape.count);
  for (uint32_t e = 0; e < subshape.count; ++e) {
    const SubShapeEntry& entry = subshape.Entries()[e];
    colors[e] = EffectColor{entry.red, entry.green, entry.blue, entry.weight};
  }
  ColorProfile target = LinearDisplayProfile();
  if (target != LinearWorkingProfile() && ConvertColorList(colors.data(), colors.size(), LinearWorkingProfile(), target)) {
    return colors;
  }
  for (EffectColor& color : colors) {
    double weight = color.weight / kFraction;
    color = EffectColor{RoundHalfUp(color.red * weight), RoundHalfUp(color.green * weight), RoundHalfUp(color.blue * weight),
                        uint32_t(kFraction)};
  }
  return colors;
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
// template × 256 / 2^j, the most amplified one the colour can still be divided down for.
int QuadColour(const EffectLayer& layer, const EffectColor& colour, double alpha, float rgba[4]) {
  double channel[3] = {colour.red / kFraction, colour.green / kFraction, colour.blue / kFraction};
  double factor = alpha;
  int level = 0;
  if (layer.geometry.levels > 1) {
    double largest = std::max(channel[0], std::max(channel[1], channel[2])) * alpha;
    level = largest <= 0 ? 0 : std::clamp(int(std::floor(std::log2(1.0 / largest))), 0, kEffectExposureLevels - 1);
    factor = alpha * std::ldexp(1.0, level);
  }
  for (int c = 0; c < 3; ++c) rgba[c] = float(std::min(1.0, channel[c] * factor));
  rgba[3] = 1.0f;
  return level;
}

// The template's rectangle, rotated by `turn` (tenths of a degree, clockwise in image
// coordinates) and scaled about the origin, the centre of the template's pixel (0, 0).
void QuadCorners(const EffectLayer& layer, double originX, double originY, int64_t turn, double scale, const float rgba[4],
                 EffectVertex corners[4]) {
  const EffectTemplate& t = layer.geometry;
  double c = SineOf(turn + 900), s = SineOf(turn);
  double u[2] = {(t.left - 0.5) * scale, (t.left + t.width - 0.5) * scale};
  double v[2] = {(t.top - 0.5) * scale, (t.top + t.height - 0.5) * scale};
  double ts[2] = {0.0, double(t.width) / t.textureWidth}, tt[2] = {0.0, double(t.height) / t.textureHeight};
  static const int kOrder[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int k = 0; k < 4; ++k) {
    int a = kOrder[k][0], b = kOrder[k][1];
    EffectVertex& vertex = corners[k];
    vertex.red = rgba[0], vertex.green = rgba[1], vertex.blue = rgba[2], vertex.alpha = rgba[3];
    vertex.s = float(ts[a]), vertex.t = float(tt[b]);
    vertex.x = float(originX + u[a] * c - v[b] * s);
    vertex.y = float(originY + u[a] * s + v[b] * c);
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
      int slot = QuadColour(*layer, colour, alpha, rgba);
      EffectVertex corners[4];
      QuadCorners(*layer, ox, oy, WrapAngle(spikes[k].angle - 900), scale, rgba, corners);
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
    int slot = QuadColour(*layer, colour, alphaFraction / kFraction, rgba);
    EffectVertex corners[4];
    QuadCorners(*layer, ox, oy, 0, scale, rgba, corners);
    if (!AddEffectQuad(layer, slot, corners)) return false;
  }
  return true;
}

void QuantiseWithErrorDiffusion(float* samples, int32_t width, int32_t height);
bool SameTemplateInputs(const ParameterSet& a, const ParameterSet& b, bool spikes);

// The generator's part of a template, into the layer's SubShape, in the render mode entered for
// `reference`; it touches no OpenGL state, so it may run on another thread.
bool RasteriseTemplate(EffectLayer* layer, double reference) {
  SubShape* subshape = &layer->shape.subshapes[0][0];
  ReleaseSubShape(subshape);
  subshape->count = 0;
  const ParameterSet& p = layer->parameters;
  if (!IsSpikeLayer(*layer)) return GenerateSoftFlareSubShape(&layer->shape, 0, 0);
  if (p.length < 1) return true;
  double width = (std::pow(p.spikeSharpness * 0.01, 3.5) + 0.003) * 5000 / reference;
  return DrawSpike(subshape, 0, 0, SpikeRequest{900, width, p.length, p.intensity, kTemplateStrength}, p);
}

// The template's rectangle from its entries: at least 8 pixels high for a spike, within the
// largest texture, and padded to powers of two where the driver needs them.
void MeasureTemplate(EffectLayer* layer) {
  const SubShape& subshape = layer->shape.subshapes[0][0];
  EffectTemplate& t = layer->geometry;
  int levels = t.levels;
  t = EffectTemplate{};
  t.levels = levels;
  t.empty = subshape.count == 0;
  if (t.empty) return;
  int32_t half = gEffectDrawing.maximumTexture / 2;
  t.left = std::max(subshape.left, -half);
  t.top = std::max(subshape.top, -half);
  int32_t right = std::min(std::max(subshape.right, t.left + 1), half);
  int32_t bottom = std::min(std::max(subshape.bottom, t.top + 1), half);
  if (IsSpikeLayer(*layer) && bottom - t.top < kMinimumSpikeTemplateHeight) {
    int32_t grow = kMinimumSpikeTemplateHeight - (bottom - t.top);
    t.top -= grow / 2;
    bottom += grow - grow / 2;
  }
  t.width = right - t.left;
  t.height = bottom - t.top;
  t.textureWidth = gEffectDrawing.powerOfTwo ? int32_t(NextPowerOfTwo(uint32_t(t.width))) : t.width;
  t.textureHeight = gEffectDrawing.powerOfTwo ? int32_t(NextPowerOfTwo(uint32_t(t.height))) : t.height;
}

// One level's texels: the entries' display colours × `gain`, clamped; alpha one when there is
// an alpha channel.
void FillTemplateLevel(const SubShape& subshape, const std::vector<EffectColor>& colors, const EffectTemplate& t,
                       int channels, double gain, float* samples) {
  uint64_t pixels = uint64_t(t.textureWidth) * uint64_t(t.textureHeight);
  memset(samples, 0, size_t(pixels * uint64_t(channels) * sizeof(float)));
  if (channels == 4) {
    for (uint64_t i = 0; i < pixels; ++i) samples[4 * i + 3] = 1.0f;
  }
  double weight = gain / kFraction;
  for (uint32_t e = 0; e < subshape.count; ++e) {
    const SubShapeEntry& entry = subshape.Entries()[e];
    int32_t x = entry.dx - t.left, y = entry.dy - t.top;
    if (x < 0 || y < 0 || x >= t.width || y >= t.height) continue;
    const EffectColor& color = colors[e];
    float* texel = samples + uint64_t(channels) * (uint64_t(y) * uint64_t(t.textureWidth) + uint64_t(x));
    texel[0] = float(std::min(1.0, color.red * weight));
    texel[1] = float(std::min(1.0, color.green * weight));
    texel[2] = float(std::min(1.0, color.blue * weight));
  }
}

// The part of a template that needs no OpenGL: rasterised, measured and, for the float template
// (RGB: a long spike's is ten megabytes a Length step as RGBA), its texels filled.
struct PreparedTemplate {
  bool drawn;
  BufferDescriptor image;
};

bool PrepareTemplate(EffectLayer* layer, double reference, PreparedTemplate* prepared) {
  *prepared = PreparedTemplate{};
  prepared->drawn = RasteriseTemplate(layer, reference);
  if (!prepared->drawn) return false;
  MeasureTemplate(layer);
  const EffectTemplate& t = layer->geometry;
  if (t.empty || t.levels > 1) return true;
  uint64_t pixels = uint64_t(t.textureWidth) * uint64_t(t.textureHeight);
  if (ReallocateBuffer(pixels * 3 * sizeof(float), &prepared->image) != 0) {
    prepared->drawn = false;
    return false;
  }
  const SubShape& subshape = layer->shape.subshapes[0][0];
  FillTemplateLevel(subshape, TemplateDisplayColors(subshape), t, 3, 1.0, static_cast<float*>(prepared->image.block));
  return true;
}

// A template prepared ahead of its layer's build, for the parameters and reference it names.
struct PreparedAhead {
  bool valid;
  ParameterSet parameters;
  double reference;
  PreparedTemplate prepared;
};
PreparedAhead gAhead[EFFECT_LAYER_COUNT];
std::atomic<bool> gPrepareTogether{true};

void ForgetPreparedAhead(int kind) {
  gAhead[kind].valid = false;
  DeallocateBuffer(&gAhead[kind].prepared.image);
}

bool TakePreparedAhead(const EffectLayer& layer, double reference, PreparedTemplate* prepared) {
  PreparedAhead& ahead = gAhead[layer.kind];
  bool usable = ahead.valid && ahead.reference == reference &&
                SameTemplateInputs(ahead.parameters, layer.parameters, IsSpikeLayer(layer));
  if (!usable) {
    ForgetPreparedAhead(layer.kind);
    return false;
  }
  *prepared = ahead.prepared;
  ahead.prepared = PreparedTemplate{};  // the buffer is the caller's now
  ahead.valid = false;
  return true;
}

struct AheadJob {
  EffectLayer* layer;
  double reference;
  PreparedTemplate prepared;
};

unsigned __stdcall PrepareAheadThread(void* argument) noexcept {
  auto* job = static_cast<AheadJob*>(argument);
  RunGuarded("PrepareAheadThread", [&] { PrepareTemplate(job->layer, job->reference, &job->prepared); });
  return 0;
}

// Uploads a prepared template: the float template from its filled texels, the exposure levels
// filled here one by one.
bool UploadTemplate(EffectLayer* layer, PreparedTemplate* prepared) {
  const EffectTemplate& t = layer->geometry;
  if (t.empty) return true;
  if (t.levels == 1) return LoadShapeTexture(layer, 0, prepared->image.block, GL_FLOAT, GL_RGB);
  BufferDescriptor image;
  uint64_t pixels = uint64_t(t.textureWidth) * uint64_t(t.textureHeight);
  if (ReallocateBuffer(pixels * 4 * sizeof(float), &image) != 0) return false;
  auto* samples = static_cast<float*>(image.block);
  const SubShape& subshape = layer->shape.subshapes[0][0];
  std::vector<EffectColor> colors = TemplateDisplayColors(subshape);
  bool loaded = true;
  for (int level = 0; level < t.levels && loaded; ++level) {
    // Levels hold the template × 256 / 2^level.
    FillTemplateLevel(subshape, colors, t, 4, kFinalBoost / std::ldexp(1.0, level), samples);
    if (gEffectDrawing.eightBitLevels) {
      QuantiseWithErrorDiffusion(samples, t.textureWidth, t.textureHeight);
      loaded = LoadShapeTexture(layer, level, samples, GL_UNSIGNED_BYTE, GL_RGBA);
    } else {
      loaded = LoadShapeTexture(layer, level, samples, GL_FLOAT, GL_RGBA);
    }
  }
  DeallocateBuffer(&image);
  return loaded;
}

// Brings the layer's template up to date: prepared here unless it was prepared ahead for the
// same inputs, then uploaded.
bool BuildTemplate(EffectLayer* layer, double reference) {
  EnterPreviewTemplateMode(reference);
  PreparedTemplate prepared{};
  bool ready = TakePreparedAhead(*layer, reference, &prepared) ? prepared.drawn : PrepareTemplate(layer, reference, &prepared);
  bool loaded = ready && UploadTemplate(layer, &prepared);
  DeallocateBuffer(&prepared.image);
  return loaded;
}

// Faint spike tails are most of a template's light and lie below half an 8-bit step: rounded
// each on its own they vanish and the preview's stars come out dimmer than the final render's.
// Carrying each texel's rounding error on along its row keeps every stretch of a row as bright
// as it should be. The bytes are written over the floats' storage, which they trail.
void QuantiseWithErrorDiffusion(float* samples, int32_t width, int32_t height) {
  auto* bytes = reinterpret_cast<uint8_t*>(samples);
  for (int32_t y = 0; y < height; ++y) {
    float carried[3] = {0, 0, 0};
    for (int32_t x = 0; x < width; ++x) {
      size_t index = (size_t(y) * size_t(width) + size_t(x)) * 4;
      uint8_t texel[4];
      for (int c = 0; c < 3; ++c) {
        float wanted = samples[index + size_t(c)] * 255.0f + carried[c];
        float kept = std::clamp(std::round(wanted), 0.0f, 255.0f);
        carried[c] = wanted - kept;
        texel[c] = uint8_t(kept);
      }
      texel[3] = 255;
      memcpy(bytes + index, texel, 4);
    }
  }
}

void ResetLayerQuads(EffectLayer* layer) {
  ReleaseEffectBatches(layer);
  layer->quadCount = 0;
  layer->hasQuads = false;
}

bool SameRect(const ImageRect& a, const ImageRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The spike is rasterised at a fixed strength, and Intensity reaches the picture only through
// each quad's strength: the template does not depend on it, so an Intensity drag rebuilds quads
// alone (a template at Length 100 costs more than a frame).
bool SameTemplateInputs(const ParameterSet& a, const ParameterSet& b, bool spikes) {
  if (a.length != b.length || a.monitor != b.monitor) return false;
  if (!spikes) return true;
  return a.spikeSharpness == b.spikeSharpness && a.spikeSpread == b.spikeSpread && a.rainbowIntensity == b.rainbowIntensity &&
         a.rainbowFrequency == b.rainbowFrequency;
}

}  // namespace

EffectLayer gEffectLayers[EFFECT_LAYER_COUNT];
EffectDrawingCapabilities gEffectDrawing;

void RasteriseSpikeTemplatesTogether(const ParameterSet& request, const ImageRect& host) {
  if (!gPrepareTogether.load()) return;
  double reference = PreviewStarReferenceSize(host);
  EffectLayer* stale[2] = {};
  int count = 0;
  for (int kind : {EFFECT_LAYER_PRIMARY, EFFECT_LAYER_SECONDARY}) {
    EffectLayer& layer = gEffectLayers[kind];
    bool current = EffectTemplateIsCurrent(layer, request) && layer.templateReference == reference;
    if (!current && !EffectBuildIsBackedOff(layer, request)) stale[count++] = &layer;
  }
  if (count < 2) return;
  EnterPreviewTemplateMode(reference);
  // The display profile cache is filled here, before two threads read it.
  LinearDisplayProfile();
  for (EffectLayer* layer : stale) {
    ForgetPreparedAhead(layer->kind);
    layer->parameters = EffectLayerParameters(layer->kind, request);
  }
  AheadJob job{stale[1], reference, PreparedTemplate{}};
  auto* thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, PrepareAheadThread, &job, 0, nullptr));
  PreparedTemplate first{};
  PrepareTemplate(stale[0], reference, &first);
  if (thread != nullptr) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  } else {
    PrepareTemplate(stale[1], reference, &job.prepared);  // no thread to be had: one after the other
  }
  gAhead[stale[0]->kind] = PreparedAhead{true, stale[0]->parameters, reference, first};
  gAhead[stale[1]->kind] = PreparedAhead{true, stale[1]->parameters, reference, job.prepared};
}

void SetSpikeTemplatesRasterisedTogether(bool together) { gPrepareTogether.store(together); }

void ForgetPreparedTemplates() {
  for (int kind = 0; kind < EFFECT_LAYER_COUNT; ++kind) ForgetPreparedAhead(kind);
}


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
    built = BuildTemplate(layer, reference);
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
