// The effects layer of a preview frame: the effect quads drawn over black with the image's
// transform, then copied into the effects texture set in window pixels, which the composite
// screens over the image.
#include <windows.h>
#include <GL/glew.h>

#include <atomic>
#include <cmath>

#include "preview/BackgroundTask.h"
#include "preview/EffectLayers.h"
#include "preview/ProxyLayer.h"
#include "support/ErrorReport.h"

namespace {

static_assert(EFFECT_LAYER_COUNT == kSteadyEffectLayerLimit, "a kept picture may hold every layer");

std::atomic<bool> gSteadyEffectsDisabled{false};
std::atomic<int> gSteadyReused{0};
std::atomic<int> gSteadyKept{0};

bool BindMainFrameBuffer(ProxyLayer& layer, const RECT& client) {
  if (!AttachFBOForRenderingPreparation(&layer.frameBuffers, client.right, client.bottom, true)) {
    NoGLError(__LINE__, "Failed during binding of main FBO to GL_FRAMEBUFFER using glBindFramebuffer().");
    return false;
  }
  return NoGLError(__LINE__, "Failed during binding of main FBO to GL_DRAW_FRAMEBUFFER using glBindFramebuffer().");
}

// The part of the image that the frame's drawing rectangle shows, in image pixels.
ImageRect VisibleImageArea(const ProxyFrameGeometry& geometry) {
  const ProxyLayer& layer = gProxyLayer;
  double factor = layer.view.zoom / 100.0;
  auto imageX = [&](LONG x) { return layer.imageRect.left + (x - geometry.image.left + layer.view.scrollX) / factor; };
  auto imageY = [&](LONG y) { return layer.imageRect.top + (y - geometry.image.top + layer.view.scrollY) / factor; };
  const RECT& d = geometry.drawing;
  return ImageRect{int32_t(std::floor(imageX(d.left))) - 1, int32_t(std::floor(imageY(d.top))) - 1,
                   int32_t(std::ceil(imageX(d.right))) + 1, int32_t(std::ceil(imageY(d.bottom))) + 1};
}

// The quads of `layers`, as built, in the host image's coordinates, placed as the composite places
// the image.
void DrawEffectQuads(const ProxyFrameGeometry& geometry, bool built, uint32_t layers) {
  const ProxyLayer& layer = gProxyLayer;
  double factor = layer.view.zoom / 100.0;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glTranslated(double(geometry.image.left - layer.view.scrollX), double(geometry.image.top - layer.view.scrollY), 0.0);
  glScaled(factor, factor, 1.0);
  glTranslated(-double(layer.imageRect.left), -double(layer.imageRect.top), 0.0);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glDisable(GL_CULL_FACE);  // rotated quads face either way
  // Each quad is screened onto the ones below, as the final render accumulates its effects.
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  if (!DrawBuiltFilterEffects_OpenGL(layers) || !built) {
    ErrorReport(__LINE__, TraceMessage).Report("Failed during rendering of Effects.");
  }
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_CULL_FACE);
  glPopMatrix();
}

EffectsPlacement PlacementOf(const ProxyFrameGeometry& geometry) {
  const ProxyLayer& layer = gProxyLayer;
  return EffectsPlacement{geometry.client, geometry.image, geometry.drawing, layer.view.zoom,
                          layer.view.scrollX, layer.view.scrollY, layer.imageRect};
}

// The kept picture holds window pixels: drawn without the image's transform, screened over the
// layers drawn from their quads.
void DrawSteadyEffects() {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
  glColor4f(1, 1, 1, 1);
  DrawImageTextureSet(gProxyLayer.steadyEffectsSet);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_CULL_FACE);
  glPopMatrix();
  gSteadyReused.fetch_add(1);
}

// Copies what is drawn so far into the kept picture; a multisampled drawing is resolved first and
// then taken up again where it was.
bool KeepSteadyEffects(ProxyLayer& layer, const ProxyFrameGeometry& geometry, bool intoFrameBuffers) {
  const RECT& d = geometry.drawing;
  if (intoFrameBuffers && !ResolveFBO(&layer.frameBuffers)) return false;
  TextureSet& set = layer.steadyEffectsSet;
  set.minificationFilter = GL_NEAREST;
  set.magnificationFilter = GL_NEAREST;
  ImageRect area{int32_t(d.left), int32_t(d.top), int32_t(d.right), int32_t(d.bottom)};
  bool kept = CreateTextureSetFromFramebuffer(&set, area, int32_t(geometry.client.bottom));
  if (intoFrameBuffers && !BindMainFrameBuffer(layer, geometry.client)) return false;
  if (kept) gSteadyKept.fetch_add(1);
  return kept;
}

// The layers into the bound framebuffer, the steady ones first when they are to be kept; the
// plan says which layers the kept picture is to add.
EffectsDrawingPlan DrawPlannedLayers(ProxyLayer& layer, const ProxyFrameGeometry& geometry, bool built, bool intoFrameBuffers) {
  uint32_t layers = EffectLayersWithQuads();
  uint64_t stamps[kSteadyEffectLayerLimit];
  for (int kind = 0; kind < EFFECT_LAYER_COUNT; ++kind) stamps[kind] = gEffectLayers[kind].drawingStamp;
  EffectsPlacement placement = PlacementOf(geometry);
  EffectsDrawingPlan plan{0, 0, layers};
  if (built && !gSteadyEffectsDisabled.load()) plan = PlanEffectsDrawing(layer.steadyEffects, layers, stamps, placement);
  bool kept = false;
  if (plan.toKeep != 0) {
    DrawEffectQuads(geometry, built, plan.toKeep);
    kept = !PreviewAborted() && KeepSteadyEffects(layer, geometry, intoFrameBuffers);
    glEnable(GL_SCISSOR_TEST);
  }
  if (plan.live != 0 || !built) DrawEffectQuads(geometry, built, plan.live);
  NoteEffectsFrame(&layer.steadyEffects, plan, kept, layers, stamps, placement);
  ErrorReport(__LINE__, TraceMessage)
      .Report("Effect layers (bit per layer): %u from the kept picture, %u kept, %u from quads.", plan.fromKept,
              kept ? plan.toKeep : 0u, plan.toKeep | plan.live);
  return plan;
}

}  // namespace

SteadyEffectsCounters GetSteadyEffectsCounters() { return SteadyEffectsCounters{gSteadyReused.load(), gSteadyKept.load()}; }
void SetSteadyEffectsDisabledForTests(bool disabled) { gSteadyEffectsDisabled.store(disabled); }

bool CreateEffectsTextureSet(const ProxyFrameGeometry& geometry) {
  ProxyLayer& layer = gProxyLayer;
  const RECT& client = geometry.client;
  // The layers are built before any frame buffer is touched. With no quad to draw, the composite
  // would screen black over the image, which leaves it as it is: the clear, the resolve, the copy
  // and the screening pass are skipped, most of a frame without stars.
  bool built = BuildFilterEffects_OpenGL(layer.parameters, layer.imageRect, VisibleImageArea(geometry));
  if (!built && PreviewAborted()) return false;
  layer.effectsEmpty = built && !FilterEffectsHaveQuads();
  if (layer.effectsEmpty) return true;
  bool intoFrameBuffers = layer.useFrameBuffers && BindMainFrameBuffer(layer, client);
  bool ok = !layer.useFrameBuffers || intoFrameBuffers;
  if (ok) {
    if (!intoFrameBuffers) {
      glDrawBuffer(layer.screenContext ? GL_BACK : GL_FRONT);
      glReadBuffer(layer.screenContext ? GL_BACK : GL_FRONT);
    }
    const RECT& d = geometry.drawing;
    glEnable(GL_SCISSOR_TEST);
    glScissor(d.left, client.bottom - d.bottom, d.right - d.left, d.bottom - d.top);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    EffectsDrawingPlan plan = DrawPlannedLayers(layer, geometry, built, intoFrameBuffers);
    glDisable(GL_SCISSOR_TEST);
    if (intoFrameBuffers && !ResolveFBO(&layer.frameBuffers)) {
      NoGLError(__LINE__, "Failed during resolution of multisampled texture using glBlitFramebuffer().");
      ok = false;
    }
    // After the resolve: the kept picture is the same in every sample, and screened onto one
    // sample a pixel it costs a multisampled drawing's fraction.
    if (ok && plan.fromKept != 0) DrawSteadyEffects();
    ImageRect area{int32_t(d.left), int32_t(d.top), int32_t(d.right), int32_t(d.bottom)};
    if (ok && !CreateTextureSetFromFramebuffer(&layer.effectsSet, area, int32_t(client.bottom))) {
      ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Failed during creation of Effects texture.");
      ok = false;
    }
  }
  if (intoFrameBuffers) ReleaseFBOForRendering(&layer.frameBuffers);
  if (!ok) ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Generation of Effects texture failed.");
  return ok;
}
