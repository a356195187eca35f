// The reader of 8-bit colour records inlined, for the analysis loops that read millions of
// pixels of such a record: the same values the record's own reader gives, without the call.
#pragma once
#include "core/ImageRecord.h"
#include "core/SampleTables.h"

inline bool IsInlineReadable(const ImageRecord& image) {
  return image.mode == plugInModeRGBColor && image.pixelType == GL_UNSIGNED_BYTE_TYPE && !image.boundsChecked;
}

// Red, green and blue only; alpha and mask are left alone.
inline void ReadEightBitColour(const ImageRecord& image, int64_t x, int64_t y, PixelValue* out) {
  const uint8_t* pixel = image.Pixel(x, y);
  const int32_t* linear = image.gammaTables.eightToLinear;
  out->red = uint32_t(linear[pixel[2]]);
  out->green = uint32_t(linear[pixel[1]]);
  out->blue = uint32_t(linear[pixel[0]]);
}

inline void ReadEightBitPixel(const ImageRecord& image, int64_t x, int64_t y, PixelValue* out) {
  ReadEightBitColour(image, x, y, out);
  const SampleTables& tables = GetSampleTables();
  out->alpha = tables.eightTo32[image.Pixel(x, y)[3]];
  out->mask = image.HasMask() ? tables.eightTo32[*image.MaskAt(x, y)] : kFullFraction;
}
