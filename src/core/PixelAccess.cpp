// Pixel readers and writers, one pair per sample format and access kind, chosen once when a
// record is created so that per-pixel code carries no mode switch.
#include <cmath>
#include <cstring>

#include "core/ImageRecord.h"
#include "core/SampleEncoding.h"
#include "core/SampleTables.h"
#include "support/ErrorReport.h"

namespace {

enum SampleFormat { FORMAT_BGRA8, FORMAT_RGBA16, FORMAT_FLOAT, FORMAT_HALF, FORMAT_WORKING32 };

// Sample positions of red, green, blue, alpha in a pixel.
template <SampleFormat F>
constexpr int kRedSample = F == FORMAT_BGRA8 ? 2 : 0;
template <SampleFormat F>
constexpr int kBlueSample = F == FORMAT_BGRA8 ? 0 : 2;

template <SampleFormat F>
uint32_t ReadColour(const ImageRecord* image, const uint8_t* pixel, int sample) {
  if constexpr (F == FORMAT_BGRA8) {
    return uint32_t(image->gammaTables.eightToLinear[pixel[sample]]);
  } else if constexpr (F == FORMAT_RGBA16) {
    uint16_t value;
    memcpy(&value, pixel + 2 * sample, 2);
    return uint32_t(image->gammaTables.sixteenToLinear[value]);
  } else if constexpr (F == FORMAT_WORKING32) {
    uint32_t value;
    memcpy(&value, pixel + 4 * sample, 4);
    return value;
  } else {
    float value;
    if constexpr (F == FORMAT_FLOAT) {
      memcpy(&value, pixel + 4 * sample, 4);
    } else {
      uint16_t half;
      memcpy(&half, pixel + 2 * sample, 2);
      value = HalfToFloat(half);
    }
    return DecodedFloatLight(value, image->gamma);
  }
}

template <SampleFormat F>
uint32_t ReadAlpha(const uint8_t* pixel) {
  const SampleTables& tables = GetSampleTables();
  if constexpr (F == FORMAT_BGRA8) {
    return tables.eightTo32[pixel[3]];
  } else if constexpr (F == FORMAT_RGBA16) {
    uint16_t value;
    memcpy(&value, pixel + 6, 2);
    return tables.sixteenTo32[value];
  } else if constexpr (F == FORMAT_WORKING32) {
    uint32_t value;
    memcpy(&value, pixel + 12, 4);
    return value;
  } else {
    float value;
    if constexpr (F == FORMAT_FLOAT) {
      memcpy(&value, pixel + 12, 4);
    } else {
      uint16_t half;
      memcpy(&half, pixel + 6, 2);
      value = HalfToFloat(half);
    }
    if (!(value > 0.0f)) return 0;
    return value >= 1.0f ? kFullFraction : uint32_t(double(value) * kFullFraction);
  }
}

template <SampleFormat F, bool Gray>
void ReadFast(const ImageRecord* image, int64_t x, int64_t y, PixelValue* out) {
  const uint8_t* pixel = image->Pixel(x, y);
  if constexpr (Gray) {
    out->red = out->green = out->blue = ReadColour<F>(image, pixel, 0);
  } else {
    out->red = ReadColour<F>(image, pixel, kRedSample<F>);
    out->green = ReadColour<F>(image, pixel, 1);
    out->blue = ReadColour<F>(image, pixel, kBlueSample<F>);
  }
  out->alpha = ReadAlpha<F>(pixel);
  out->mask = image->HasMask() ? GetSampleTables().eightTo32[*image->MaskAt(x, y)] : kFullFraction;
}

// Outside the allocation area the edge pixel's colour is delivered, fully transparent.
template <SampleFormat F, bool Gray>
void ReadChecked(const ImageRecord* image, int64_t x, int64_t y, PixelValue* out) {
  const ImageRect& area = image->allocation;
  int64_t cx = x < area.left ? area.left : x >= area.right ? area.right - 1 : x;
  int64_t cy = y < area.top ? area.top : y >= area.bottom ? area.bottom - 1 : y;
  ReadFast<F, Gray>(image, cx, cy, out);
  if (cx != x || cy != y) out->alpha = out->mask = 0;
}

template <typename Sample>
void Store(uint8_t* pixel, int sample, Sample value) {
  memcpy(pixel + sizeof(Sample) * sample, &value, sizeof(Sample));
}

template <SampleFormat F>
void WriteColour(const ImageRecord* image, uint8_t* pixel, int sample, uint32_t value) {
  if (value == kKeepSample) return;
  float encoded = EncodedLight(value, image->inverseGamma);
  if constexpr (F == FORMAT_BGRA8) {
    Store<uint8_t>(pixel, sample, EightBitSampleOf(value, encoded));
  } else if constexpr (F == FORMAT_RGBA16) {
    Store<uint16_t>(pixel, sample, SixteenBitSampleOf(value, encoded));
  } else if constexpr (F == FORMAT_FLOAT) {
    Store<float>(pixel, sample, encoded);
  } else if constexpr (F == FORMAT_HALF) {
    Store<uint16_t>(pixel, sample, image->gammaTables.linearToHalf[value > 0xFFFFFE ? 65535 : value / 256]);
  } else {
    Store<uint32_t>(pixel, sample, value);
  }
}

template <SampleFormat F>
void WriteAlpha(uint8_t* pixel, uint32_t alpha) {
  if (alpha == kKeepSample) return;
  const SampleTables& tables = GetSampleTables();
  if constexpr (F == FORMAT_BGRA8) Store<uint8_t>(pixel, 3, tables.sixteenTo8[alpha >> 16]);
  else if constexpr (F == FORMAT_RGBA16) Store<uint16_t>(pixel, 3, uint16_t(alpha >> 16));
  else if constexpr (F == FORMAT_FLOAT) Store<float>(pixel, 3, float(double(alpha) * (1.0 / 4294967296.0)));
  else if constexpr (F == FORMAT_HALF) Store<uint16_t>(pixel, 3, tables.sixteenToHalf[alpha >> 16]);
  else Store<uint32_t>(pixel, 3, alpha);
}

// Gray records keep the gray value in all three colour samples; it is taken from red.
template <SampleFormat F, bool Gray>
void WriteFast(ImageRecord* image, int64_t x, int64_t y, const PixelValue& value) {
  uint8_t* pixel = image->Pixel(x, y);
  WriteColour<F>(image, pixel, kRedSample<F>, value.red);
  WriteColour<F>(image, pixel, 1, Gray ? value.red : value.green);
  WriteColour<F>(image, pixel, kBlueSample<F>, Gray ? value.red : value.blue);
  WriteAlpha<F>(pixel, value.alpha);
  if (image->HasMask() && value.mask != kKeepSample) *image->MaskAt(x, y) = GetSampleTables().sixteenTo8[value.mask >> 16];
}

template <SampleFormat F, bool Gray>
void WriteChecked(ImageRecord* image, int64_t x, int64_t y, const PixelValue& value) {
  const ImageRect& area = image->allocation;
  if (x < area.left || x >= area.right || y < area.top || y >= area.bottom) return;
  WriteFast<F, Gray>(image, x, y, value);
}

void ReadUnimplemented(const ImageRecord*, int64_t, int64_t, PixelValue* out) { *out = PixelValue{}; }

void WriteUnimplemented(ImageRecord*, int64_t, int64_t, const PixelValue&) {
  ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "OutputImage mode not implemented.");
}

struct AccessRow {
  int32_t mode;
  PixelReader fastReader, checkedReader;
  PixelWriter fastWriter, checkedWriter;
};

template <SampleFormat F, bool Gray>
constexpr AccessRow Row(int32_t mode) {
  return {mode, ReadFast<F, Gray>, ReadChecked<F, Gray>, WriteFast<F, Gray>, WriteChecked<F, Gray>};
}

// clang-format off
const AccessRow kAccessRows[] = {
  Row<FORMAT_BGRA8,     true >(plugInModeGrayScale),
  Row<FORMAT_BGRA8,     false>(plugInModeRGBColor),
  Row<FORMAT_RGBA16,    true >(plugInModeGray16),
  Row<FORMAT_RGBA16,    false>(plugInModeRGB48),
  Row<FORMAT_FLOAT,     false>(plugInModeRGB96),
  Row<FORMAT_FLOAT,     true >(plugInModeGray32),
  Row<FORMAT_WORKING32, false>(kImageModeWorking32),
  Row<FORMAT_HALF,      false>(kImageModeHalf),
};
// clang-format on

}  // namespace

bool InstallPixelAccess(ImageRecord* image) {
  for (const AccessRow& row : kAccessRows) {
    if (row.mode != image->mode) continue;
    image->readPixel = image->boundsChecked ? row.checkedReader : row.fastReader;
    image->writePixel = image->boundsChecked ? row.checkedWriter : row.fastWriter;
    return true;
  }
  bool known = image->mode >= plugInModeBitmap && image->mode <= plugInModeDuotone16;
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError, known ? "InputImage mode not implemented." : "Invalid InputImage mode.");
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError, known ? "InputImage mode not yet implemented." : "Unrecognized image mode.");
  image->readPixel = ReadUnimplemented;
  image->writePixel = WriteUnimplemented;
  return false;
}
