// Every image of the system: four samples per pixel in one of a few sample formats, an optional
// one-byte mask, the profile the samples are encoded in and the gamma tables to and from linear.
#pragma once
#include <cstdint>

#include "PITypes.h"
#include "core/BufferManager.h"
#include "core/ColorProfileHandle.h"
#include "core/GammaTables.h"

constexpr int32_t kImageModeWorking32 = 64;  // 32-bit integer linear working format
constexpr int32_t kImageModeHalf = 65;       // 16-bit half floats

constexpr uint32_t kFullFraction = 0xFFFFFFFE;  // 1.0 in 32-bit fractions
constexpr uint32_t kKeepSample = 0xFFFFFFFF;    // a written component that leaves its sample alone

constexpr int32_t GL_BGRA_FORMAT = 0x80E1;
constexpr int32_t GL_RGBA_FORMAT = 0x1908;
constexpr int32_t GL_UNSIGNED_BYTE_TYPE = 0x1401;
constexpr int32_t GL_UNSIGNED_SHORT_TYPE = 0x1403;
constexpr int32_t GL_UNSIGNED_INT_TYPE = 0x1405;
constexpr int32_t GL_FLOAT_TYPE = 0x1406;
constexpr int32_t GL_HALF_FLOAT_TYPE = 0x140B;

// Linear red, green, blue in 0..0xFFFFFF; alpha and mask as 32-bit fractions.
struct PixelValue {
  uint32_t red, green, blue, alpha, mask;
};

struct ImageRect {
  int32_t left, top, right, bottom;
  int64_t Width() const { return int64_t(right) - left; }
  int64_t Height() const { return int64_t(bottom) - top; }
};

inline bool SameRect(const ImageRect& a, const ImageRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct ImageRecord;
typedef void (*PixelReader)(const ImageRecord* image, int64_t x, int64_t y, PixelValue* pixel);
typedef void (*PixelWriter)(ImageRecord* image, int64_t x, int64_t y, const PixelValue& pixel);

struct ImageRecord {
  PixelReader readPixel = nullptr;
  PixelWriter writePixel = nullptr;
  ImageRect rectangle{};
  ImageRect allocation{};  // width rounded up to a multiple of 16 pixels
  BufferDescriptor pixels;  // allocated width × (allocated height + 1) × 4 samples
  BufferDescriptor mask;    // one byte per pixel, 255 = fully selected; empty without a mask
  int64_t validWidth = 0, validHeight = 0;
  int64_t allocatedWidth = 0, allocatedHeight = 0;
  int32_t bytesPerSample = 0;
  int32_t samplesPerPixel = 0;
  int32_t mode = 0;
  bool boundsChecked = false;
  ColorProfile profile = nullptr;
  double gamma = 1.0;
  double inverseGamma = 1.0;
  GammaTables gammaTables;
  int32_t pixelType = 0;
  int32_t pixelFormat = 0;

  bool HasMask() const { return mask.size != 0; }
  uint8_t* Pixel(int64_t x, int64_t y) const {
    return static_cast<uint8_t*>(pixels.block) +
           ((y - allocation.top) * allocatedWidth + (x - allocation.left)) * 4 * bytesPerSample;
  }
  uint8_t* MaskAt(int64_t x, int64_t y) const {
    return static_cast<uint8_t*>(mask.block) + (y - allocation.top) * allocatedWidth + (x - allocation.left);
  }
};

int32_t BytesPerSampleOfImageMode(int32_t mode);
inline bool IsGrayImageMode(int32_t mode) {
  return mode == plugInModeGrayScale || mode == plugInModeGray16 || mode == plugInModeGray32;
}
// The 8- and 16-bit modes whose samples are unsigned integers in the pixel rows.
inline bool IsIntegerImageMode(int32_t mode) {
  return mode == plugInModeRGBColor || mode == plugInModeGrayScale || mode == plugInModeRGB48 || mode == plugInModeGray16;
}
// The samples are encoded in the profile with the given gamma; colour management chooses the gamma
// of a profile (CreateImage of the colour module), so that this layer never reads a profile.
bool AllocateImage(ImageRecord* image, const ImageRect& rectangle, const ImageRect& allocation, int32_t mode,
                   ColorProfile profile, double gamma, bool withMask, bool boundsChecked);
bool LinearizeImage(ImageRecord* image);
void FillImageRect(ImageRecord* image, const PixelValue& value, const ImageRect& rectangle);
bool CopyImage(const ImageRecord& source, ImageRecord* destination, const volatile bool* cancel);
void ReleaseImage(ImageRecord* image);
// The record now holds samples of this profile and gamma; its tables follow the gamma.
bool SetImageGamma(ImageRecord* image, ColorProfile profile, double gamma);
// Installs the reader and writer of the record's mode and access kind; false for modes without them.
bool InstallPixelAccess(ImageRecord* image);
