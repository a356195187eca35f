// The record of the scaled proxy layer shared by the files that draw a preview frame: the four
// texture sets, the frame buffer objects, the gamma state, the change flags and the view of the
// request being drawn. Task thread only, except where a member says otherwise.
#pragma once
#include <windows.h>
#include <GL/glew.h>

#include "params/ParameterSet.h"
#include "preview/FrameBufferObjects.h"
#include "preview/SteadyEffects.h"
#include "preview/TextureSet.h"

struct ProxyLayerView {
  double zoom = 100.0;  // percent
  int32_t scrollX = 0, scrollY = 0;  // zoomed pixels: the image point at the frame's top left
  RECT marquee{};       // preview client coordinates; empty for none
  bool effectsShown = false;
  bool effectsOnly = false;
  bool focused = false;
};

// Where one frame draws, in the preview's client coordinates (y down).
struct ProxyFrameGeometry {
  RECT client{};
  RECT frame{};    // the client inset by the 1-pixel border
  RECT image{};    // the scaled image: centred in the frame when smaller, else from the frame's corner
  RECT drawing{};  // frame ∩ image
  int32_t scaledWidth = 0, scaledHeight = 0;
};

struct ProxyLayer {
  bool initialized = false;
  HWND dialog = nullptr;
  HWND preview = nullptr;
  HANDLE openGLWindowMutex = nullptr;
  bool screenContext = false;

  TextureSet imageSet, effectsSet, framebufferSet, startupSet;
  TextureSet steadyEffectsSet;  // the picture of the layers that held still
  SteadyEffectsRecord steadyEffects;
  FrameBufferObjects frameBuffers;
  bool useFrameBuffers = false;
  GLuint checkerboard = 0;
  GLuint backBufferPBO = 0;
  size_t backBufferPBOSize = 0;

  bool gammaProgram = false;  // the gamma program was created
  double gammaExponent = 1.0 / 2.2;  // 1 / display gamma
  bool gammaChanged = true;

  bool rebuildImage = true;
  bool rebuildEffects = true;
  bool effectsEmpty = false;  // the effects layer as last built has nothing to screen over the image
  bool pyramidReady = false;

  ProxyLayerView view;
  ParameterSet parameters{};  // the request being drawn
  ImageRect imageRect{};  // the host image's filter rectangle
  bool imageOpaque = false;
};
extern ProxyLayer gProxyLayer;

inline void SetGLColor(COLORREF color) { glColor4ub(GetRValue(color), GetGValue(color), GetBValue(color), 255); }
ProxyFrameGeometry ComputeFrameGeometry(const RECT& client, const ImageRect& image, double zoom);
// The change bits of a new request against the last one drawn (bit 0 monitor, 1 effects, 2 view),
// raising the layer's flags; the display gamma is read again when the monitor changed.
int DetectParameterChanges(const ParameterSet& set, const ParameterSet* last);
void SetProxyLayerView(const ParameterSet& set);

bool CreateHostImageTextureSet(const ProxyFrameGeometry& geometry);
// Draws the effect layers of the request over black and copies them into the effects set, in
// window coordinates; false (reported) when the effects texture could not be made.
bool CreateEffectsTextureSet(const ProxyFrameGeometry& geometry);
bool MakeCheckerboardTexture();
void DrawComposite(const ProxyFrameGeometry& geometry);
// Copies the drawn composite into the framebuffer set when a gamma pass is owed (the program, or
// the software gamma of the copy); false when the composite stays as drawn.
bool CopyCompositeForGamma(const ProxyFrameGeometry& geometry);
void DrawGammaCorrectedComposite();
void DrawFrameDecorations(const ProxyFrameGeometry& geometry);
void ReportPendingGLError(const char* text);
// Frames that drew a kept picture of steady effect layers, and pictures kept; tests may have
// every layer drawn from its quads.
struct SteadyEffectsCounters {
  int reused;
  int kept;
};
SteadyEffectsCounters GetSteadyEffectsCounters();
void SetSteadyEffectsDisabledForTests(bool disabled);
// Tests draw without the gamma program, as on a driver that cannot compile it.
void SetGammaProgramDisabledForTests(bool disabled);
// The 27 steps of a frame's progress to the dialog; 0/0 ends it.
void ReportFrameProgress(int step);
