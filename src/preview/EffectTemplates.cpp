// The templates of the preview's effect layers: one spike (or soft flare) rasterised by the
// final render's generators at the preview's reference size, its entries' colours taken to the
// display, and uploaded as a float texture (with the scaling program) or as nine exposure levels.
#include "preview/EffectTemplates.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include <process.h>

#include "color/ColorConversion.h"
#include "color/ColorProfiles.h"
#include "core/Fractions.h"
#include "core/ThreadEntry.h"
#include "effects/SpikeDrawing.h"
#include "effects/StarGenerator.h"
#include "effects/StarTables.h"
#include "preview/DisplayProfiles.h"

namespace {

constexpr uint32_t kTemplateStrength = 0xFFFFFFA0;
constexpr double kFinalBoost = 256.0;  // the final render lifts faint effect light by this much
constexpr int32_t kMinimumSpikeTemplateHeight = 8;

double gStarTablesReference = 0;

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

uint32_t NextPowerOfTwo(uint32_t v) {
  uint32_t p = 1;
  while (p < v) p <<= 1;
  return p;
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

void QuantiseWithErrorDiffusion(float* samples, int32_t width, int32_t height);

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
// largest texture (less its black rows), and padded to powers of two where the driver needs them.
void MeasureTemplate(EffectLayer* layer) {
  const SubShape& subshape = layer->shape.subshapes[0][0];
  EffectTemplate& t = layer->geometry;
  int levels = t.levels;
  t = EffectTemplate{};
  t.levels = levels;
  t.empty = subshape.count == 0;
  if (t.empty) return;
  int32_t half = gEffectDrawing.maximumTexture / 2 - 1;
  t.left = std::max(subshape.left, -half);
  t.top = std::max(subshape.top, -half);
  int32_t right = std::min(std::max(subshape.right, t.left + 1), half);
  int32_t bottom = std::min(std::max(subshape.bottom, t.top + 1), half);
  if (IsSpikeLayer(*layer) && bottom - t.top < kMinimumSpikeTemplateHeight) {
    int32_t grow = kMinimumSpikeTemplateHeight - (bottom - t.top);
    t.top -= grow / 2;
    bottom += grow - grow / 2;
  }
  // Quad outlines may pass the template's rows at their ends, where the texture must give black:
  // power-of-two textures clamp to a black row above and below, the others to a black border
  // (which the 8-bit textures of the power-of-two drivers filter less faithfully).
  if (gEffectDrawing.powerOfTwo) {
    t.top -= 1;
    bottom += 1;
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
  std::vector<EffectColor> colors;  // the entries' display colours
};

// Each strength class's outline keeps what shows of the template at the preview's visibility
// minimum, as the final render keeps each entry by its own light's strength.
void OutlineTemplate(EffectLayer* layer, const std::vector<EffectColor>& colors) {
  EffectTemplate& t = layer->geometry;
  TemplateBounds bounds{t.left, t.top, t.left + t.width, t.top + t.height};
  OutlineQuadsByStrength(layer->shape.subshapes[0][0], colors, bounds, kPreviewVisibilityMinimum / kFraction, t.outlines);
}

bool PrepareTemplate(EffectLayer* layer, double reference, PreparedTemplate* prepared) {
  *prepared = PreparedTemplate{};
  prepared->drawn = RasteriseTemplate(layer, reference);
  if (!prepared->drawn) return false;
  MeasureTemplate(layer);
  const EffectTemplate& t = layer->geometry;
  if (t.empty) return true;
  const SubShape& subshape = layer->shape.subshapes[0][0];
  prepared->colors = TemplateDisplayColors(subshape);
  OutlineTemplate(layer, prepared->colors);
  if (t.levels > 1) return true;
  uint64_t pixels = uint64_t(t.textureWidth) * uint64_t(t.textureHeight);
  if (ReallocateBuffer(pixels * 3 * sizeof(float), &prepared->image) != 0) {
    prepared->drawn = false;
    return false;
  }
  FillTemplateLevel(subshape, prepared->colors, t, 3, 1.0, static_cast<float*>(prepared->image.block));
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
  const std::vector<EffectColor>& colors = prepared->colors;
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

}  // namespace

// The spike is rasterised at a fixed strength, and Intensity reaches the picture only through
// each quad's strength: the template does not depend on it, so an Intensity drag rebuilds quads
// alone (a template at Length 100 costs more than a frame).
bool SameTemplateInputs(const ParameterSet& a, const ParameterSet& b, bool spikes) {
  if (a.length != b.length || a.monitor != b.monitor) return false;
  if (!spikes) return true;
  return a.spikeSharpness == b.spikeSharpness && a.spikeSpread == b.spikeSpread && a.rainbowIntensity == b.rainbowIntensity &&
         a.rainbowFrequency == b.rainbowFrequency;
}


bool BuildEffectTemplate(EffectLayer* layer, double reference) {
  EnterPreviewTemplateMode(reference);
  PreparedTemplate prepared{};
  bool ready = TakePreparedAhead(*layer, reference, &prepared) ? prepared.drawn : PrepareTemplate(layer, reference, &prepared);
  bool loaded = ready && UploadTemplate(layer, &prepared);
  DeallocateBuffer(&prepared.image);
  return loaded;
}

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
  // Preparing rewrites a layer's entries and rectangle, which its textures no longer match: if
  // this frame is dropped before the layers are built, the next build must not take the old
  // template for current.
  for (EffectLayer* layer : stale) {
    ForgetPreparedAhead(layer->kind);
    layer->hasTemplate = false;
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


