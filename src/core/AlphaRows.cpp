// Alpha and mask rows between records. The per-pixel path through the records' readers and
// writers is kept for the float formats; between 8- and 16-bit records the samples go straight
// through the same tables, several times faster on a full-size image.
#include "core/AlphaRows.h"

#include <cstring>

#include "core/SampleTables.h"

namespace {

template <typename Sample>
uint32_t AlphaFraction(const uint8_t* pixel, const SampleTables& tables) {
  if constexpr (sizeof(Sample) == 1) {
    return tables.eightTo32[pixel[3]];
  } else {
    uint16_t value;
    memcpy(&value, pixel + 6, 2);
    return tables.sixteenTo32[value];
  }
}

template <typename Sample>
void StoreAlpha(uint8_t* pixel, uint32_t alpha, const SampleTables& tables) {
  if constexpr (sizeof(Sample) == 1) {
    pixel[3] = tables.sixteenTo8[alpha >> 16];
  } else {
    uint16_t value = uint16_t(alpha >> 16);
    memcpy(pixel + 6, &value, 2);
  }
}

template <typename From, typename To>
void CopyIntegerRow(const ImageRecord& source, ImageRecord* destination, int64_t left, int64_t width, int64_t y, int64_t dx,
                    int64_t dy) {
  const SampleTables& tables = GetSampleTables();
  const uint8_t* in = source.Pixel(left, y);
  uint8_t* out = destination->Pixel(left + dx, y + dy);
  for (int64_t i = 0; i < width; ++i, in += 4 * sizeof(From), out += 4 * sizeof(To)) {
    StoreAlpha<To>(out, AlphaFraction<From>(in, tables), tables);
  }
  if (!destination->HasMask()) return;
  uint8_t* mask = destination->MaskAt(left + dx, y + dy);
  if (!source.HasMask()) {
    memset(mask, tables.sixteenTo8[kFullFraction >> 16], size_t(width));
    return;
  }
  const uint8_t* selected = source.MaskAt(left, y);
  for (int64_t i = 0; i < width; ++i) mask[i] = tables.sixteenTo8[tables.eightTo32[selected[i]] >> 16];
}

void CopyPixelByPixel(const ImageRecord& source, ImageRecord* destination, int64_t left, int64_t width, int64_t y, int64_t dx,
                      int64_t dy) {
  for (int64_t x = left; x < left + width; ++x) {
    PixelValue pixel;
    source.readPixel(&source, x, y, &pixel);
    destination->writePixel(destination, x + dx, y + dy, PixelValue{kKeepSample, kKeepSample, kKeepSample, pixel.alpha, pixel.mask});
  }
}

}  // namespace

void CopyAlphaAndMaskRow(const ImageRecord& source, ImageRecord* destination, int64_t left, int64_t width, int64_t y,
                         int64_t dx, int64_t dy) {
  if (!IsIntegerImageMode(source.mode) || !IsIntegerImageMode(destination->mode)) {
    CopyPixelByPixel(source, destination, left, width, y, dx, dy);
  } else if (source.bytesPerSample == 1) {
    if (destination->bytesPerSample == 1) CopyIntegerRow<uint8_t, uint8_t>(source, destination, left, width, y, dx, dy);
    else CopyIntegerRow<uint8_t, uint16_t>(source, destination, left, width, y, dx, dy);
  } else {
    if (destination->bytesPerSample == 1) CopyIntegerRow<uint16_t, uint8_t>(source, destination, left, width, y, dx, dy);
    else CopyIntegerRow<uint16_t, uint16_t>(source, destination, left, width, y, dx, dy);
  }
}
