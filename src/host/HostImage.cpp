// Host image traffic. Host planes map onto the record's samples (8-bit records keep red in
// sample 2, blue in 0; gray planes fill all three colour samples); 16-bit host samples run from
// 0 to 32768 and are widened to 0..65535 here and narrowed again on the way back.
#include "host/HostImage.h"

#include <cmath>
#include <cstring>

#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "host/HostRectangles.h"
#include "host/HostState.h"
#include "support/ErrorReport.h"

ImageRecord gHostImage;

namespace {

constexpr int32_t kDefaultTile = 1024;
int64_t gImageDiagonal = 0;

bool IsRgbMode(int32_t mode) { return mode == plugInModeRGBColor || mode == plugInModeRGB48 || mode == plugInModeRGB96; }


// Samples of a host plane in the record; a gray plane fills all three colour samples.
int SamplesOfPlane(int plane, int colourPlanes, const ImageRecord& image, int* samples) {
  if (plane >= colourPlanes) {
    samples[0] = 3;
    return 1;
  }
  if (colourPlanes == 1) {
    samples[0] = 0;
    samples[1] = 1;
    samples[2] = 2;
    return 3;
  }
  samples[0] = HostPlaneSample(plane, image);
  return 1;
}

uint8_t WidenSample(uint8_t v) { return v; }
uint16_t WidenSample(uint16_t v) { return v >= 32768 ? 65535 : uint16_t(2 * v); }
float WidenSample(float v) { return v; }

// Row by row with the sample type known, so that a 24-megapixel read stays close to a copy.
template <typename Sample>
void CopyPlaneRowsIn(const VRect& tile, const int* samples, int count) {
  const int64_t width = tile.right - tile.left;
  for (int32_t y = tile.top; y < tile.bottom; ++y) {
    const auto* in = reinterpret_cast<const Sample*>(static_cast<const uint8_t*>(gFilterRecord->inData) +
                                                     int64_t(y - tile.top) * gFilterRecord->inRowBytes);
    auto* pixel = reinterpret_cast<Sample*>(gHostImage.Pixel(tile.left, y));
    for (int64_t x = 0; x < width; ++x, pixel += 4) {
      Sample value = WidenSample(in[x]);
      for (int s = 0; s < count; ++s) pixel[samples[s]] = value;
    }
  }
}

void CopyPlaneIn(const VRect& tile, int plane, int colourPlanes) {
  int samples[3];
  int count = SamplesOfPlane(plane, colourPlanes, gHostImage, samples);
  switch (gHostImage.bytesPerSample) {
    case 1: CopyPlaneRowsIn<uint8_t>(tile, samples, count); break;
    case 2: CopyPlaneRowsIn<uint16_t>(tile, samples, count); break;
    default: CopyPlaneRowsIn<float>(tile, samples, count); break;
  }
}

void CopyMaskIn(const VRect& tile) {
  for (int32_t y = tile.top; y < tile.bottom; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(gFilterRecord->maskData) + int64_t(y - tile.top) * gFilterRecord->maskRowBytes;
    memcpy(gHostImage.MaskAt(tile.left, y), row, size_t(tile.right - tile.left));
  }
}

void ClampNegativeFloatColour() {
  if (gHostImage.pixelType != GL_FLOAT_TYPE) return;
  for (int64_t y = gHostImage.rectangle.top; y < gHostImage.rectangle.bottom; ++y) {
    for (int64_t x = gHostImage.rectangle.left; x < gHostImage.rectangle.right; ++x) {
      auto* samples = reinterpret_cast<float*>(gHostImage.Pixel(x, y));
      for (int s = 0; s < 3; ++s) samples[s] = samples[s] < 0.0f ? 0.0f : samples[s];
    }
  }
}

bool CheckHostMode() {
  int32_t mode = gFilterRecord->imageMode;
  if (IsGrayImageMode(mode)) {
    if (!IsGrayProfile(HostImageProfile())) {
      ErrorReport(__LINE__, UserMessage)
          .Report(kStyleWarning, "Warning:  Operating On a Grayscale Channel",
                  "You appear to be running the plug-in on a single channel or mask from a color image.");
    }
    return true;
  }
  if (IsRgbMode(mode)) return true;
  ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Error:  Unexpected image mode %d in ReadHostImage().", mode);
  SetResult(paramErr);
  return false;
}

void LogInputDescription() {
  const auto* document = static_cast<const uint8_t*>(gFilterRecord->documentInfo);
  if (document == nullptr) return;
  int32_t mode, depth;
  VRect bounds;
  memcpy(&mode, document + 8, 4);
  memcpy(&depth, document + 12, 4);
  memcpy(&bounds, document + 16, sizeof bounds);
  ErrorReport(__LINE__, TraceMessage)
      .Report("Input Image File: Image Width = %u, Image Height = %u, Bit Depth = %u, Image Mode = %s\n\n",
              unsigned(bounds.right - bounds.left), unsigned(bounds.bottom - bounds.top), unsigned(depth), HostModeName(mode));
}

bool ReadTile(const VRect& tile, int planes, int colourPlanes) {
  SetOutputRectangle(kEmptyRect);
  SetInputRectangle(tile);
  for (int plane = 0; plane < planes; ++plane) {
    gFilterRecord->inLoPlane = gFilterRecord->inHiPlane = int16(plane);
    bool withMask = plane == 0 && gFilterRecord->haveMask;
    SetMaskRectangle(withMask ? tile : kEmptyRect);
    OSErr result = gFilterRecord->advanceState();
    SetResult(result);
    if (result != noErr) {
      ErrorReport(__LINE__, UserMessage).Report(kStyleError, kTitleExitingPlugin, "Could not read input image.");
      return false;
    }
    CopyPlaneIn(tile, plane, colourPlanes);
    if (withMask && gHostImage.HasMask()) CopyMaskIn(tile);
  }
  return true;
}

}  // namespace

HostProfileSource HostProfileOfRecord() {
  HostProfileSource source;
  source.profileHandle = gFilterRecord->iCCprofileData;
  source.profileSize = gFilterRecord->iCCprofileSize;
  if (gFilterRecord->handleProcs != nullptr) {
    source.lockHandle = gFilterRecord->handleProcs->lockProc;
    source.unlockHandle = gFilterRecord->handleProcs->unlockProc;
  }
  source.imageMode = gFilterRecord->imageMode;
  return source;
}

const char* HostModeName(int32_t mode) {
  static const char* const kNames[] = {"plugInModeBitmap", "plugInModeGrayScale", "plugInModeIndexedColor",
                                       "plugInModeRGBColor", "plugInModeCMYKColor", "plugInModeHSLColor",
                                       "plugInModeHSBColor", "plugInModeMultichannel", "plugInModeDuotone",
                                       "plugInModeLabColor", "plugInModeGray16", "plugInModeRGB48",
                                       "plugInModeLab48", "plugInModeCMYK64", "plugInModeDeepMultichannel",
                                       "plugInModeDuotone16", "plugInModeRGB96", "plugInModeGray32"};
  return mode >= 0 && mode < 18 ? kNames[mode] : "Unknown";
}

int64_t HostImageDiagonal() { return gImageDiagonal; }

int HostColourPlanes() {
  if (gFilterRecord->inLayerPlanes > 0) return gFilterRecord->inLayerPlanes;
  return IsGrayImageMode(gFilterRecord->imageMode) ? 1 : 3;
}

int HostTotalPlanes() { return HostColourPlanes() + (gFilterRecord->inTransparencyMask > 0 ? 1 : 0); }

// 8-bit records are stored blue, green, red, alpha.
int HostPlaneSample(int plane, const ImageRecord& image) {
  if (plane >= 3) return 3;
  return image.bytesPerSample == 1 ? 2 - plane : plane;
}

bool ReadHostImage() {
  LogInputDescription();
  if (!CheckHostMode()) return false;
  int32_t tileWidth = gFilterRecord->inTileWidth, tileHeight = gFilterRecord->inTileHeight;
  if (tileWidth == 0 || tileHeight == 0) tileWidth = tileHeight = kDefaultTile;
  VRect filter = FilterRectangle();
  ImageRect rect{filter.left, filter.top, filter.right, filter.bottom};
  if (!CreateImage(&gHostImage, rect, rect, gFilterRecord->imageMode, HostImageProfile(), gFilterRecord->haveMask != 0, false)) {
    return false;
  }
  FillImageRect(&gHostImage, PixelValue{0, 0, 0, kFullFraction, kFullFraction}, rect);
  gImageDiagonal = int64_t(std::sqrt(double(rect.Width()) * rect.Width() + double(rect.Height()) * rect.Height())) + 1;
  gFilterRecord->inputPadding = gFilterRecord->maskPadding = 255;
  gFilterRecord->inputRate = gFilterRecord->maskRate = 0x10000;
  int colourPlanes = HostColourPlanes(), planes = HostTotalPlanes();
  for (int32_t top = filter.top; top < filter.bottom; top += tileHeight) {
    for (int32_t left = filter.left; left < filter.right; left += tileWidth) {
      VRect tile{top, left, std::min(top + tileHeight, filter.bottom), std::min(left + tileWidth, filter.right)};
      if (!ReadTile(tile, planes, colourPlanes)) return false;
    }
  }
  ClampNegativeFloatColour();
  return true;
}
