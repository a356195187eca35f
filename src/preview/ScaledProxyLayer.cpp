// The preview's OpenGL state and one frame of it: the geometry of the frame, what a new request
// changes, the image layer, the composite, the gamma pass and the decorations, in that order.
#include <windows.h>
#include <GL/glew.h>

#include <atomic>
#include <cmath>
#include <cstring>

#include "preview/BackgroundTask.h"
#include "preview/DisplayProfiles.h"
#include "preview/EffectLayers.h"
#include "preview/OpenGLSettings.h"
#include "preview/PreviewImageSource.h"
#include "preview/PreviewPictureBuild.h"
#include "preview/PreviewTask.h"
#include "preview/ProxyDisplay.h"
#include "preview/ProxyFrames.h"
#include "preview/ProxyLayer.h"
#include "preview/ShaderPrograms.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"

ProxyLayer gProxyLayer;

namespace {

constexpr int kFrameProgressSteps = 27;
std::atomic<bool> gGammaProgramDisabled{false};

void SetInitialState() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  if (gOpenGLDrawing.multisampleMode != MULTISAMPLE_NONE) glEnable(GL_MULTISAMPLE);
  bool frameBufferObjects = GLEW_VERSION_3_0 || GLEW_ARB_framebuffer_object;
  int setting = gOpenGLSettings.m_OpenGLDrawingMode;
  if (frameBufferObjects && gOpenGLDrawing.accelerated && (setting == OPTIMIZE_FOR_QUALITY || setting == OPTIMIZE_FOR_SPEED)) {
    glHint(GL_GENERATE_MIPMAP_HINT, GL_NICEST);
  }
  for (GLenum parameter : {GL_PACK_SWAP_BYTES, GL_PACK_LSB_FIRST, GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS,
                           GL_PACK_SKIP_PIXELS, GL_UNPACK_SWAP_BYTES, GL_UNPACK_LSB_FIRST, GL_UNPACK_ROW_LENGTH,
                           GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS}) {
    glPixelStorei(parameter, 0);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  for (GLenum capability : {GL_ALPHA_TEST, GL_DEPTH_TEST, GL_DITHER, GL_FOG, GL_LIGHTING, GL_SCISSOR_TEST, GL_STENCIL_TEST}) {
    glDisable(capability);
  }
  for (GLenum scale : {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE}) glPixelTransferf(scale, 1.0f);
  for (GLenum bias : {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS, GL_ALPHA_BIAS}) glPixelTransferf(bias, 0.0f);
  glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
}

// The gamma program turns the linear composite into display values; without it the preview goes
// on and the gamma is applied in software. Only a program that exists but cannot take its gamma
// fails the start.
bool SetUpShaderPrograms() {
  DetectShaderSupport();
  RegisterBuiltInShaderPrograms();
  gProxyLayer.gammaProgram = !gGammaProgramDisabled.load() && CreateShaderProgram(kGammaShaderProgram);
  if (gProxyLayer.gammaProgram) {
    if (!LoadProxyShaderGamma(gProxyLayer.gammaExponent)) return false;
    gProxyLayer.gammaChanged = false;
  }
  if (ShouldCreateShapeScalingProgram() && !CreateShaderProgram(kShapeScalingShaderProgram)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Failed to compile and/or link the shape scaling shader.");
  }
  return true;
}

bool PrepareBufferObjects() {
  ProxyLayer& layer = gProxyLayer;
  const OpenGLDrawingFlags& flags = gOpenGLDrawing;
  bool ok = true;
  if (flags.UseVertexBufferObjects) {
    ok = ok && CreateTextureSetVertexBuffer(&layer.imageSet, GL_STATIC_DRAW) &&
         CreateTextureSetVertexBuffer(&layer.effectsSet, GL_DYNAMIC_DRAW) &&
         CreateTextureSetVertexBuffer(&layer.steadyEffectsSet, GL_DYNAMIC_DRAW) &&
         CreateTextureSetVertexBuffer(&layer.framebufferSet, GL_DYNAMIC_DRAW);
  }
  layer.useFrameBuffers = flags.UseFrameBufferObjects && !flags.MustUsePowerOfTwoSizedTextures;
  if (ok && layer.useFrameBuffers) {
    ok = CreateFrameBufferObjects(&layer.frameBuffers, flags.multisampleMode, flags.maximumSamples);
  }
  if (ok && flags.UsePixelBufferObjects) {
    ok = CreateTextureSetPixelBuffer(&layer.imageSet, GL_STATIC_DRAW);
    if (ok && !layer.useFrameBuffers) {
      ok = CreateTextureSetPixelBuffer(&layer.effectsSet, GL_DYNAMIC_DRAW) &&
           CreateTextureSetPixelBuffer(&layer.steadyEffectsSet, GL_DYNAMIC_DRAW);
    }
    if (ok && (!layer.useFrameBuffers || (!layer.gammaProgram && flags.accelerated))) {
      ok = CreateTextureSetPixelBuffer(&layer.framebufferSet, GL_DYNAMIC_DRAW);
    }
  }
  return ok;
}

int32_t ScaledEdge(int32_t edge, double factor) { return int32_t(std::floor(double(edge) * factor + 1e-10)); }

// The frame's background where no image is: flat, not gamma-corrected. Offscreen frames fill it
// too, since their bitmap is the whole client area.
void FillFrameBackground(const ProxyFrameGeometry& geometry) {
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);  // y runs downwards: the rectangle's winding is the back face's
  SetGLColor(PreviewBackgroundColor());
  glRecti(geometry.client.left, geometry.client.top, geometry.client.right, geometry.client.bottom);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  ReportPendingGLError("Failed to draw Proxy Window background.");
}

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

void SetGammaProgramDisabledForTests(bool disabled) { gGammaProgramDisabled.store(disabled); }

void ReportPendingGLError(const char* text) {
  if (GLenum error = glGetError(); error != GL_NO_ERROR) OpenGLErrorReport(__LINE__, OpenGLError, error).Report("%s", text);
}

void ReportFrameProgress(int step) {
  if (gProxyLayer.dialog == nullptr) return;
  PostMessageW(gProxyLayer.dialog, WM_APP_INIT_PROGRESS, WPARAM(step), step == 0 ? 0 : kFrameProgressSteps);
}

void ScaledImageSize(const ImageRect& image, double zoom, int32_t* width, int32_t* height) {
  if (100.0 / zoom == 1.0) {
    *width = int32_t(image.Width());
    *height = int32_t(image.Height());
    return;
  }
  double factor = zoom / 100.0;
  *width = std::max(1, ScaledEdge(image.right, factor) - ScaledEdge(image.left, factor));
  *height = std::max(1, ScaledEdge(image.bottom, factor) - ScaledEdge(image.top, factor));
}

ProxyFrameGeometry ComputeFrameGeometry(const RECT& client, const ImageRect& image, double zoom) {
  ProxyFrameGeometry geometry;
  geometry.client = client;
  geometry.frame = RECT{client.left + 1, client.top + 1, client.right - 1, client.bottom - 1};
  if (image.Width() <= 0 || image.Height() <= 0) return geometry;  // nothing to show yet
  ScaledImageSize(image, zoom, &geometry.scaledWidth, &geometry.scaledHeight);
  LONG frameWidth = geometry.frame.right - geometry.frame.left;
  LONG frameHeight = geometry.frame.bottom - geometry.frame.top;
  LONG left = geometry.scaledWidth < frameWidth ? (frameWidth - geometry.scaledWidth) / 2 + 1 : 1;
  LONG top = geometry.scaledHeight < frameHeight ? (frameHeight - geometry.scaledHeight) / 2 + 1 : 1;
  geometry.image = RECT{left, top, left + geometry.scaledWidth, top + geometry.scaledHeight};
  if (!IntersectRect(&geometry.drawing, &geometry.frame, &geometry.image)) geometry.drawing = RECT{};
  return geometry;
}

void SetProxyLayerView(const ParameterSet& set) {
  ProxyLayerView& view = gProxyLayer.view;
  view.zoom = set.zoom > 0 ? set.zoom : 100.0;
  view.scrollX = set.horizontalScroll;
  view.scrollY = set.verticalScroll;
  view.marquee = RECT{set.marqueeRect.left, set.marqueeRect.top, set.marqueeRect.right, set.marqueeRect.bottom};
  view.effectsShown = set.previewEnabled != 0;
  view.effectsOnly = set.effectsOnly != 0;
  view.focused = set.previewFocused != 0;
  gProxyLayer.parameters = set;
}

int DetectParameterChanges(const ParameterSet& set, const ParameterSet* last) {
  int bits = 0;
  if (last == nullptr) {
    bits = 7;
  } else {
    if (set.monitor != last->monitor) bits |= 1;
    constexpr size_t effectsStart = offsetof(ParameterSet, intensity);
    if (set.effectGeneration != last->effectGeneration ||
        memcmp(reinterpret_cast<const char*>(&set) + effectsStart, reinterpret_cast<const char*>(last) + effectsStart,
               sizeof(ParameterSet) - effectsStart) != 0) {
      bits |= 2;
    }
    if ((bits & 1) || set.zoom != last->zoom || set.horizontalScroll != last->horizontalScroll ||
        set.verticalScroll != last->verticalScroll || memcmp(&set.previewRect, &last->previewRect, sizeof set.previewRect) != 0 ||
        set.effectsOnly != last->effectsOnly || set.previewEnabled != last->previewEnabled) {
      bits |= 4;
    }
  }
  if (bits & 5) gProxyLayer.rebuildImage = true;
  if (bits & 6) gProxyLayer.rebuildEffects = true;
  if (bits != 0) MarkScreenBitmapStale();
  if (bits & 1) {
    double gamma = 0;
    InitializeDisplayColorConversion(&gamma);
    if (gamma > 0 && std::fabs(1.0 / gamma - gProxyLayer.gammaExponent) > 1e-12) {
      gProxyLayer.gammaExponent = 1.0 / gamma;
      gProxyLayer.gammaChanged = true;
    }
  }
  return bits;
}

bool InitializeScaledProxyLayer(HWND dialog, HWND preview) {
  ProxyLayer& layer = gProxyLayer;
  layer = ProxyLayer{};
  layer.dialog = dialog;
  layer.preview = preview;
  const PreviewTask* task = ActivePreviewTask();
  layer.screenContext = task != nullptr && task->screenContext;
  layer.imageRect = CurrentPreviewImageSource().imageRect;
  layer.imageOpaque = CurrentPreviewImageSource().opaque;
  layer.openGLWindowMutex = CreateMutexW(nullptr, FALSE, nullptr);
  if (layer.openGLWindowMutex == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "CreateMutex for OpenGLWindowMutex failed in InitializeScaledProxyLayer()");
    return false;
  }
  double gamma = 0;
  InitializeDisplayColorConversion(&gamma);
  if (gamma > 0) layer.gammaExponent = 1.0 / gamma;
  SetInitialState();
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    OpenGLErrorReport(__LINE__, OpenGLError, error)
        .Report("OpenGL Function Failed in InitializeScaledProxyLayer(). Failed to initialize OpenGL states.");
  }
  if (!SetUpShaderPrograms()) return false;
  if (!PrepareBufferObjects()) return false;
  // Framebuffer copies on a hardware format carry the gamma when no program can.
  layer.framebufferSet.applyGamma = !layer.gammaProgram && layer.screenContext;
  layer.framebufferSet.gammaExponent = layer.gammaExponent;
  if (!MakeCheckerboardTexture()) return false;
  // Effect textures that cannot be made are reported; the preview still shows the image.
  InitializeFilterEffects_OpenGL();
  bool sixteenBitLevel = gOpenGLSettings.m_OpenGLDrawingMode == OPTIMIZE_FOR_QUALITY && gOpenGLDrawing.accelerated &&
                         gOpenGLDrawing.format16.internalFormat != gOpenGLDrawing.format8.internalFormat;
  StartPreviewPictureBuild(sixteenBitLevel ? plugInModeRGB48 : plugInModeRGBColor);
  ForgetLastRenderedSet();
  layer.initialized = true;
  return true;
}

void DestroyScaledProxyLayer() {
  ProxyLayer& layer = gProxyLayer;
  ForgetPreviewPictureBuild();
  if (layer.checkerboard != 0) glDeleteTextures(1, &layer.checkerboard);
  if (layer.backBufferPBO != 0) glDeleteBuffers(1, &layer.backBufferPBO);
  for (TextureSet* set : {&layer.imageSet, &layer.effectsSet, &layer.steadyEffectsSet, &layer.startupSet, &layer.framebufferSet}) {
    FreeTextureSet(set);
  }
  DestroyFrameBufferObjects(&layer.frameBuffers);
  DestroyShaderPrograms();
  ReportPendingGLError("OpenGL Function Failed in DestroyScaledProxyLayer().");
  DestroyFilterEffects_OpenGL();
  if (layer.openGLWindowMutex != nullptr) CloseHandle(layer.openGLWindowMutex);
  PreviewImageSource source = CurrentPreviewImageSource();
  if (source.release != nullptr) source.release();
  layer = ProxyLayer{};
  MarkScreenBitmapStale();
  ForgetLastRenderedSet();
}

bool RenderScaledProxyDisplay() {
  ProxyLayer& layer = gProxyLayer;
  PreviewTask* task = ActivePreviewTask();
  if (task == nullptr || !layer.initialized) return false;
  RECT client{};
  GetClientRect(task->previewWindow, &client);
  ProxyFrameGeometry geometry = ComputeFrameGeometry(client, layer.imageRect, layer.view.zoom);
  SetSoftwareGammaRect(RECT{});
  if (PreviewAborted()) return false;
  ReportFrameProgress(1);
  if (layer.gammaChanged && layer.gammaProgram) LoadProxyShaderGamma(layer.gammaExponent);
  layer.gammaChanged = false;
  layer.framebufferSet.gammaExponent = layer.gammaExponent;
  bool imageOk = true;
  if (layer.rebuildImage) {
    LeaveCriticalSection(&task->busySection);
    imageOk = CreateHostImageTextureSet(geometry);
    EnterCriticalSection(&task->busySection);
    if (imageOk) layer.rebuildImage = false;
  }
  if (!imageOk || PreviewAborted()) {
    ReportFrameProgress(0);
    return false;
  }
  ReportFrameProgress(8);
  bool effectsOk = true;
  if (layer.view.effectsShown && layer.rebuildEffects && !IsEmpty(geometry.drawing)) {
    LeaveCriticalSection(&task->busySection);
    effectsOk = CreateEffectsTextureSet(geometry);
    EnterCriticalSection(&task->busySection);
    if (effectsOk) layer.rebuildEffects = false;
  }
  if (PreviewAborted()) {
    ReportFrameProgress(0);
    return false;
  }
  glDrawBuffer(layer.screenContext ? GL_BACK : GL_FRONT);
  glReadBuffer(layer.screenContext ? GL_BACK : GL_FRONT);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  ReportPendingGLError("Failed to initialize Proxy Window display.");
  FillFrameBackground(geometry);
  bool intoFrameBuffers = false;
  if (layer.useFrameBuffers && !IsEmpty(geometry.drawing)) {
    intoFrameBuffers = AttachFBOForRenderingPreparation(&layer.frameBuffers, client.right, client.bottom, false);
    if (intoFrameBuffers) {
      glClearColor(0, 0, 0, 0);
      glClear(GL_COLOR_BUFFER_BIT);
    }
  }
  ReportFrameProgress(12);
  if (!IsEmpty(geometry.drawing)) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(geometry.drawing.left, client.bottom - geometry.drawing.bottom, geometry.drawing.right - geometry.drawing.left,
              geometry.drawing.bottom - geometry.drawing.top);
    ReportPendingGLError("Failed to initiate scissor clipping.");
    DrawComposite(geometry);
    glDisable(GL_SCISSOR_TEST);
    ReportFrameProgress(20);
    if (intoFrameBuffers) ResolveFBO(&layer.frameBuffers);
    bool copied = CopyCompositeForGamma(geometry);
    if (intoFrameBuffers) ReleaseFBOForRendering(&layer.frameBuffers);
    if (copied) DrawGammaCorrectedComposite();
    // Offscreen without the program, the finished bitmap gets the gamma in software.
    if (!layer.gammaProgram && !layer.screenContext) SetSoftwareGammaRect(geometry.drawing);
  }
  ReportFrameProgress(24);
  DrawFrameDecorations(geometry);
  ReportFrameProgress(0);
  return !PreviewAborted() && effectsOk;
}
