// The composite of a preview frame in linear light (image, effects, the checkerboard where the
// image is transparent), its gamma pass, and the decorations drawn over the finished frame.
#include <windows.h>
#include <GL/glew.h>

#include <cstdint>

#include "preview/ProxyFrames.h"
#include "preview/ProxyLayer.h"
#include "preview/ShaderPrograms.h"
#include "support/ErrorReport.h"

namespace {

// One checkerboard texel covers this many screen pixels at every zoom.
constexpr double kCheckerTexelsPerPixel = 0.0625;

void DrawCheckerboard() {
  const ProxyLayer& layer = gProxyLayer;
  double factor = layer.view.zoom / 100.0;
  double width = double(layer.imageRect.Width()), height = double(layer.imageRect.Height());
  double s = width * kCheckerTexelsPerPixel * factor, t = height * kCheckerTexelsPerPixel * factor;
  double left = layer.imageRect.left, top = layer.imageRect.top;
  glBindTexture(GL_TEXTURE_2D, layer.checkerboard);
  glBlendFunc(GL_ONE_MINUS_DST_ALPHA, GL_DST_ALPHA);
  glColor4f(1, 1, 1, 1);
  glBegin(GL_QUADS);
  glTexCoord2d(0, 0); glVertex2d(left, top);
  glTexCoord2d(0, t); glVertex2d(left, top + height);
  glTexCoord2d(s, t); glVertex2d(left + width, top + height);
  glTexCoord2d(s, 0); glVertex2d(left + width, top);
  glEnd();
  glBindTexture(GL_TEXTURE_2D, 0);
}

// Lines through pixel centres, half a pixel inside the rectangle.
void OutlineRect(const RECT& r) {
  glBegin(GL_LINE_LOOP);
  glVertex2d(r.left + 0.5, r.top + 0.5);
  glVertex2d(r.right - 0.5, r.top + 0.5);
  glVertex2d(r.right - 0.5, r.bottom - 0.5);
  glVertex2d(r.left + 0.5, r.bottom - 0.5);
  glEnd();
}

RECT NormalisedMarquee(const RECT& marquee) {
  return RECT{std::min(marquee.left, marquee.right), std::min(marquee.top, marquee.bottom),
              std::max(marquee.left, marquee.right), std::max(marquee.top, marquee.bottom)};
}

}  // namespace

bool MakeCheckerboardTexture() {
  static const uint8_t kTexels[16] = {255, 255, 255, 255, 148, 148, 148, 255,
                                      148, 148, 148, 255, 255, 255, 255, 255};
  glGenTextures(1, &gProxyLayer.checkerboard);
  glBindTexture(GL_TEXTURE_2D, gProxyLayer.checkerboard);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, kTexels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glBindTexture(GL_TEXTURE_2D, 0);
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    OpenGLErrorReport(__LINE__, OpenGLError, error).Report("OpenGL Function Failed in InitializeScaledProxyLayer().");
    return false;
  }
  return true;
}

void DrawComposite(const ProxyFrameGeometry& geometry) {
  const ProxyLayer& layer = gProxyLayer;
  double factor = layer.view.zoom / 100.0;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glTranslated(double(geometry.image.left - layer.view.scrollX), double(geometry.image.top - layer.view.scrollY), 0.0);
  glScaled(factor, factor, 1.0);
  glTranslated(-double(layer.imageRect.left), -double(layer.imageRect.top), 0.0);
  ReportPendingGLError("Failed to switch to scaled coordinates");
  bool effectsOnly = layer.view.effectsOnly && layer.view.effectsShown;
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glBlendFunc(GL_ONE, GL_ZERO);
  glColor4f(1, 1, 1, 1);
  if (effectsOnly) {
    glClear(GL_COLOR_BUFFER_BIT);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  }
  DrawImageTextureSet(layer.imageSet);
  ReportFrameProgress(14);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  if (layer.view.effectsShown && !layer.effectsEmpty && layer.effectsSet.tileCount > 0) {
    // The effects set holds window pixels: drawn without the image's transform.
    glPushMatrix();
    glLoadIdentity();
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
    DrawImageTextureSet(layer.effectsSet);
    glPopMatrix();
  }
  ReportFrameProgress(16);
  // Over an opaque image the checkerboard's blend leaves every pixel as it is; skipping it saves
  // a third of the composite's fill.
  if (!layer.imageOpaque) DrawCheckerboard();
  ReportFrameProgress(18);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_CULL_FACE);
  glPopMatrix();
  ReportPendingGLError("Failed to draw composite image.");
}

bool CopyCompositeForGamma(const ProxyFrameGeometry& geometry) {
  ProxyLayer& layer = gProxyLayer;
  if (!layer.gammaProgram && !layer.framebufferSet.applyGamma) return false;
  ImageRect area{int32_t(geometry.drawing.left), int32_t(geometry.drawing.top), int32_t(geometry.drawing.right),
                 int32_t(geometry.drawing.bottom)};
  if (!CreateTextureSetFromFramebuffer(&layer.framebufferSet, area, int32_t(geometry.client.bottom))) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "RenderScaledProxyDisplay() - OpenGL function failure in gamma correction.");
    return false;
  }
  return true;
}

void DrawGammaCorrectedComposite() {
  ProxyLayer& layer = gProxyLayer;
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glBlendFunc(GL_ONE, GL_ZERO);
  glColor4f(1, 1, 1, 1);
  bool program = layer.gammaProgram && MakeShaderProgramActive(kGammaShaderProgram);
  DrawImageTextureSet(layer.framebufferSet);
  if (program) MakeShaderProgramActive(0);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_CULL_FACE);
  ReportPendingGLError("RenderScaledProxyDisplay() - OpenGL function failure in gamma correction.");
}

void DrawFrameDecorations(const ProxyFrameGeometry& geometry) {
  const ProxyLayer& layer = gProxyLayer;
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  RECT marquee = NormalisedMarquee(layer.view.marquee);
  RECT visible{};
  if (marquee.right > marquee.left && marquee.bottom > marquee.top && IntersectRect(&visible, &geometry.drawing, &marquee)) {
    glColor4ub(0, 0, 0, 255);
    OutlineRect(marquee);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(4, 0xAAAA);
    glColor4ub(255, 255, 255, 255);
    OutlineRect(marquee);
    glDisable(GL_LINE_STIPPLE);
    ReportPendingGLError("Failed to display selection rectangle.");
  }
  SetGLColor(PreviewFrameColor());
  OutlineRect(geometry.client);
  if (layer.view.focused) {
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0xAAAA);
    SetGLColor(PreviewFocusColor());
    OutlineRect(geometry.client);
    glDisable(GL_LINE_STIPPLE);
  }
  ReportPendingGLError("Failed to display keyboard focus rectangle.");
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
}
