// Host image traffic. Host planes map onto the record's samples (8-bit records keep red in
// sample 2, blue in 0; gray planes fill all three colour samples); 16-bit host samples run from
// 0 to 32768 and are widened to 0..65535 here and narrowed again on the way back. Each tile's
// planes travel interleaved in one request and are sorted into the samples on our side.
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

template <typename Sample>
const Sample* InputRow(const VRect& tile, int32_t y) {
  return reinterpret_cast<const Sample*>(static_cast<const uint8_t*>(gFilterRecord->inData) +
                                         int64_t(y - tile.top) * gFilterRecord->inRowBytes);
}

// The host's pixels arrive interleaved, plane p of a pixel at in[p]. The usual layouts (one gray
// or three colour planes, with or without transparency) are unrolled, so that a 24-megapixel
// read stays close to a copy.
template <typename Sample, int kColourPlanes, bool kTransparency>
void CopyTileIn(const VRect& tile) {
  constexpr int kPlanes = kColourPlanes + (kTransparency ? 1 : 0);
  constexpr int kRed = HostPlaneSample(0, sizeof(Sample)), kBlue = HostPlaneSample(2, sizeof(Sample));
  const int64_t width = tile.right - tile.left;
  for (int32_t y = tile.top; y < tile.bottom; ++y) {
    const Sample* in = InputRow<Sample>(tile, y);
    auto* pixel = reinterpret_cast<Sample*>(gHostImage.Pixel(tile.left, y));
    for (int64_t x = 0; x < width; ++x, in += kPlanes, pixel += 4) {
      if constexpr (kColourPlanes == 1) {
        pixel[0] = pixel[1] = pixel[2] = WidenSample(in[0]);
      } else {
        pixel[kRed] = WidenSample(in[0]);
        pixel[1] = WidenSample(in[1]);
        pixel[kBlue] = WidenSample(in[2]);
      }
      if constexpr (kTransparency) pixel[3] = WidenSample(in[kColourPlanes]);
    }
  }
}

// Any other count of colour planes a host reports, plane after plane in the same order.
template <typename Sample>
void CopyTileInPlaneByPlane(const VRect& tile, int planes, int colourPlanes) {
  const int64_t width = tile.right - tile.left;
  for (int plane = 0; plane < planes; ++plane) {
    int samples[3];
    int count = SamplesOfPlane(plane, colourPlanes, gHostImage, samples);
    for (int32_t y = tile.top; y < tile.bottom; ++y) {
      const Sample* in = InputRow<Sample>(tile, y) + plane;
      auto* pixel = reinterpret_cast<Sample*>(gHostImage.Pixel(tile.left, y));
      for (int64_t x = 0; x < width; ++x, in += planes, pixel += 4) {
        Sample value = WidenSample(*in);
        for (int s = 0; s < count; ++s) pixel[samples[s]] = value;
      }
    }
  }
}

template <typename Sample>
void CopyTileIn(const VRect& tile, int planes, int colourPlanes) {
  bool transparency = planes > colourPlanes;
  if (colourPlanes == 1) {
    transparency ? CopyTileIn<Sample, 1, true>(tile) : CopyTileIn<Sample, 1, false>(tile);
  } else if (colourPlanes == 3) {
    transparency ? CopyTileIn<Sample, 3, true>(tile) : CopyTileIn<Sample, 3, false>(tile);
  } else {
    CopyTileInPlaneByPlane<Sample>(tile, planes, colourPlanes);
  }
}

void CopyTileIn(const VRect& tile, int planes, int colourPlanes) {
  switch (gHostImage.bytesPerSample) {
    case 1: CopyTileIn<uint8_t>(tile, planes, colourPlanes); break;
    case 2: CopyTileIn<uint16_t>(tile, planes, colourPlanes); break;
    default: CopyTileIn<float>(tile, planes, colourPlanes); break;
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

// All planes of a tile in one request, starting at plane 0: some hosts serve plane 0 for any
// range that starts elsewhere, and every host serves the whole range correctly.
bool ReadTile(const VRect& tile, int planes, int colourPlanes) {
  SetOutputRectangle(kEmptyRect);
  SetInputRectangle(tile);
  gFilterRecord->inLoPlane = 0;
  gFilterRecord->inHiPlane = int16(planes - 1);
  bool withMask = gFilterRecord->haveMask != 0;
  SetMaskRectangle(withMask ? tile : kEmptyRect);
  OSErr result = gFilterRecord->advanceState();
  SetResult(result);
  if (result != noErr) {
    ErrorReport(__LINE__, UserMessage).Report(kStyleError, kTitleExitingPlugin, "Could not read input image.");
    return false;
  }
  CopyTileIn(tile, planes, colourPlanes);
  if (withMask && gHostImage.HasMask()) CopyMaskIn(tile);
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
