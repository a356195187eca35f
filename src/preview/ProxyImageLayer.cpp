// The image layer of a preview frame: the part of the proxy pyramid's level for the zoom that the
// frame shows, in the display's colours and linear light, uploaded into the image texture set.
#include <windows.h>
#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "color/ColorConversion.h"
#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "preview/BackgroundTask.h"
#include "preview/DisplayProfiles.h"
#include "preview/PreviewImageSource.h"
#include "preview/PreviewPictureBuild.h"
#include "preview/ProxyLayer.h"
#include "support/ErrorReport.h"

namespace {

// Texels beyond the visible edge, so that filtering at the frame's edge has its neighbours.
constexpr int32_t kAreaMargin = 2;

// The level's pixels under the drawing rectangle, in the level's coordinates.
ImageRect VisibleLevelArea(const ProxyFrameGeometry& geometry, const ImageRecord& level, double levelScaleX,
                           double levelScaleY) {
  const ProxyLayer& layer = gProxyLayer;
  double factor = layer.view.zoom / 100.0;
  auto imageX = [&](LONG screenX) { return layer.imageRect.left + (screenX - geometry.image.left + layer.view.scrollX) / factor; };
  auto imageY = [&](LONG screenY) { return layer.imageRect.top + (screenY - geometry.image.top + layer.view.scrollY) / factor; };
  ImageRect area{int32_t(std::floor(imageX(geometry.drawing.left) * levelScaleX)) - kAreaMargin,
                 int32_t(std::floor(imageY(geometry.drawing.top) * levelScaleY)) - kAreaMargin,
                 int32_t(std::ceil(imageX(geometry.drawing.right) * levelScaleX)) + kAreaMargin,
                 int32_t(std::ceil(imageY(geometry.drawing.bottom) * levelScaleY)) + kAreaMargin};
  const ImageRect& bounds = level.rectangle;
  area.left = std::clamp(area.left, bounds.left, bounds.right - 1);
  area.top = std::clamp(area.top, bounds.top, bounds.bottom - 1);
  area.right = std::clamp(area.right, area.left + 1, bounds.right);
  area.bottom = std::clamp(area.bottom, area.top + 1, bounds.bottom);
  return area;
}

// A level holds linear light in the working profile's primaries. For a display of other colours
// the area is encoded again in the working profile, converted to the display profile and made
// linear there, so that the gamma pass yields the display's own values. Transparency is carried
// over apart, because the colour conversion leaves extra channels alone.
bool ConvertAreaForDisplay(const ImageRecord& level, const ImageRect& area, ColorProfile display, ImageRecord* converted) {
  ImageRecord encoded;
  bool ok = CreateImage(&encoded, area, area, level.mode, level.profile, false, false) &&
            CreateImage(converted, area, area, level.mode, display, false, false);
  for (int64_t y = area.top; ok && y < area.bottom; ++y) {
    if (PreviewAborted()) ok = false;
    for (int64_t x = area.left; ok && x < area.right; ++x) {
      PixelValue pixel;
      level.readPixel(&level, x, y, &pixel);
      encoded.writePixel(&encoded, x, y, pixel);
    }
  }
  ok = ok && CopyTileWithColorConversion(encoded, area, converted, area) && LinearizeImage(converted);
  for (int64_t y = area.top; ok && y < area.bottom; ++y) {
    for (int64_t x = area.left; x < area.right; ++x) {
      PixelValue pixel;
      encoded.readPixel(&encoded, x, y, &pixel);
      converted->writePixel(converted, x, y, PixelValue{kKeepSample, kKeepSample, kKeepSample, pixel.alpha, pixel.mask});
    }
  }
  ReleaseImage(&encoded);
  return ok;
}

}  // namespace

bool CreateHostImageTextureSet(const ProxyFrameGeometry& geometry) {
  ProxyLayer& layer = gProxyLayer;
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    OpenGLErrorReport(__LINE__, OpenGLError, error).Report("Error on entry into CreateHostImageTextureSet()");
  }
  if (geometry.drawing.right <= geometry.drawing.left || geometry.drawing.bottom <= geometry.drawing.top) return true;
  PreviewImageSource source = CurrentPreviewImageSource();
  if (source.render == nullptr || source.level == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "CreateHostImageTextureSet() - The preview has no image to show.");
    return false;
  }
  if (!layer.pyramidReady) {
    layer.pyramidReady = WaitForPreviewPicture();
    if (!layer.pyramidReady) return false;
  }
  double factor = layer.view.zoom / 100.0;
  double levelScaleX = factor, levelScaleY = factor;
  ImageRecord level;
  if (!source.level(&level, &levelScaleX, &levelScaleY)) return false;
  ImageRect area = VisibleLevelArea(geometry, level, levelScaleX, levelScaleY);
  TextureSet& set = layer.imageSet;
  set.scaled = levelScaleX != 1.0 || levelScaleY != 1.0;
  set.scaleX = levelScaleX;
  set.scaleY = levelScaleY;
  set.magnificationFilter = factor >= 1.95 ? GL_NEAREST : GL_LINEAR;
  set.minificationFilter = GL_LINEAR;
  ColorProfile display = InitializeDisplayColorConversion(nullptr);
  bool built;
  if (display == nullptr || AreProfilesAlike(level.profile, display)) {
    built = CreateTextureSetFromImage(&set, level, area);
  } else {
    ImageRecord converted;
    built = ConvertAreaForDisplay(level, area, display, &converted) && CreateTextureSetFromImage(&set, converted, area);
    ReleaseImage(&converted);
  }
  return built;
}
