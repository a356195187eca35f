// Builds the proxy pyramid on the preview's thread. Only the not-rendered flag is shared with
// the user-interface thread; the levels belong to the preview.
#include "host/HostProxyImage.h"

#include <atomic>
#include <cmath>

#include "color/ColorConversion.h"
#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "core/Progress.h"
#include "host/HostImage.h"
#include "host/HostState.h"
#include "support/ErrorReport.h"

namespace {

struct ProxyLevel {
  ImageRecord image;
  double scaleX = 1.0;
  double scaleY = 1.0;
};

ProxyLevel gLevels[kProxyLevels];
std::atomic<bool> gNotRendered{true};
int32_t gLevelZeroMode = plugInModeRGBColor;

int32_t Scaled(int32_t coordinate, int level) {
  return int32_t(std::floor(double(coordinate) * (1.0 / double(1 << level)) + 1e-10));
}

bool MakeLevelZero() {
  ImageRecord& level = gLevels[0].image;
  const ImageRect& rect = gHostImage.rectangle;
  if (!CreateImage(&level, rect, rect, gLevelZeroMode, WorkingProfile(), false, false)) return false;
  if (!CopyTileWithColorConversion(gHostImage, rect, &level, rect) || !LinearizeImage(&level)) return false;
  gLevels[0].scaleX = gLevels[0].scaleY = 1.0;
  return true;
}

bool MakeLevel(int k, const volatile bool* cancel) {
  const ImageRecord& previous = gLevels[k - 1].image;
  ImageRecord& level = gLevels[k].image;
  ImageRect rect = ProxyLevelRect(gLevels[0].image.rectangle, k);
  if (!CreateImage(&level, rect, rect, previous.mode, previous.profile, false, false)) return false;
  level.gamma = level.inverseGamma = 1.0;
  if (!LookUpGammaTables(1.0, &level.gammaTables)) return false;
  gLevels[k].scaleX = double(rect.Width()) / double(gLevels[0].image.validWidth);
  gLevels[k].scaleY = double(rect.Height()) / double(gLevels[0].image.validHeight);
  return CopyImage(previous, &level, cancel);
}

}  // namespace

ImageRect ProxyLevelRect(const ImageRect& levelZero, int level) {
  ImageRect rect{Scaled(levelZero.left, level), Scaled(levelZero.top, level), Scaled(levelZero.right, level),
                 Scaled(levelZero.bottom, level)};
  if (rect.right == rect.left) ++rect.right;
  if (rect.bottom == rect.top) ++rect.bottom;
  return rect;
}

void SetHostProxyImageMode(int32_t mode) { gLevelZeroMode = mode; }
bool IsHostProxyImageRendered() { return !gNotRendered; }

bool RenderHostProxyImage(const volatile bool* cancel) {
  if (cancel != nullptr && *cancel) return false;
  if (!gNotRendered) {
    AdvanceImageEditorProgress(kProxyLevels - 1);
    return true;
  }
  if (!MakeLevelZero()) return false;
  for (int k = 1; k < kProxyLevels; ++k) {
    if ((cancel != nullptr && *cancel) || !MakeLevel(k, cancel)) return false;
    AdvanceImageEditorProgress(1);
  }
  gNotRendered = false;
  return true;
}

bool GetHostProxyImageInfo(ImageRecord* record, double* scaleX, double* scaleY) {
  if (gNotRendered) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, "Debug: Unexpected Error", "GetHostProxyImageInfo() called before HostProxyImage rendered.");
    return false;
  }
  if (record == nullptr || scaleX == nullptr || scaleY == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, "Debug: Unexpected Error", "Some boneheaded programmer passed a NULL pointer to GetHostProxyImageInfo().");
    return false;
  }
  int level = 0;
  while (level + 1 < kProxyLevels && gLevels[level + 1].scaleX >= *scaleX && gLevels[level + 1].scaleY >= *scaleY) ++level;
  *record = gLevels[level].image;
  *scaleX = gLevels[level].scaleX;
  *scaleY = gLevels[level].scaleY;
  return true;
}

void ReleaseHostProxyImage() {
  for (ProxyLevel& level : gLevels) {
    ReleaseImage(&level.image);
    level.scaleX = level.scaleY = 1.0;
  }
  gNotRendered = true;
}

PreviewImageSource HostPreviewImageSource() {
  PreviewImageSource source;
  source.render = RenderHostProxyImage;
  source.level = GetHostProxyImageInfo;
  source.release = ReleaseHostProxyImage;
  source.setLevelZeroMode = SetHostProxyImageMode;
  source.imageRect = gHostImage.rectangle;
  source.grayImage = IsGrayImageMode(gHostImage.mode);
  source.opaque = gFilterRecord != nullptr && HostTotalPlanes() <= HostColourPlanes();
  return source;
}
