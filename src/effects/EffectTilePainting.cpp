// The painting loop of the final render: millions of shape entries a band, so it works on floats
// in a plain buffer with no call per pixel. For an entry of effect colour e (channels as fractions,
// c the largest) and alpha a, the strength is s = min(1, 256 c a), and each channel p becomes
// p + (s / c) e (1 - p): the compositing rule of the shapes, solved for one channel.
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "color/ColorProfiles.h"
#include "core/EightBitPixels.h"
#include "effects/EffectTile.h"
#include "support/Locks.h"

namespace {

constexpr double kFraction = 4294967294.0;
constexpr double kSaturation = 16777216.0 / 4294967294.0;  // 2^24 as a fraction: full strength beyond
constexpr double kLinearFull = 16777215.0;

}  // namespace

bool CreateEffectTileBuffer(EffectTile* tile, const ImageRect& band, int64_t windowRows) {
  tile->band = band;
  tile->windowTop = band.top;
  tile->windowRows = std::max<int64_t>(1, std::min<int64_t>(windowRows, band.Height()));
  uint64_t bytes = uint64_t(band.Width()) * uint64_t(tile->windowRows) * 3 * sizeof(float);
  if (ReallocateBuffer(std::max<uint64_t>(bytes, 1), &tile->pixels) != 0) return false;
  memset(tile->pixels.block, 0, size_t(bytes));
  return true;
}

void ReleaseEffectTile(EffectTile* tile) { DeallocateBuffer(&tile->pixels); }

namespace {

PaintEntry PaintEntryOf(const SubShapeEntry& entry) {
  double weight = entry.weight / kFraction / kFraction;
  return PaintEntry{float(entry.red * weight), float(entry.green * weight), float(entry.blue * weight), entry.dx};
}

// Each entry goes straight to its row's next place in a new buffer: one pass, and the order
// within a row kept. Needs the memory of both forms at once, so it is tried only where that is
// well affordable.
bool CopyIntoPaintForm(SubShape* subshape, BufferDescriptor* replaced) {
  uint64_t bytes = uint64_t(subshape->count) * sizeof(PaintEntry);
  if (AffordableBufferGrowth() / 4 < bytes) return false;
  BufferDescriptor painted;
  if (!IndexSubShapeRows(subshape) || ReallocateBuffer(bytes, &painted) != 0) return false;
  std::vector<uint32_t> next(subshape->RowStarts(), subshape->RowStarts() + (subshape->bottom - subshape->top));
  auto* out = static_cast<PaintEntry*>(painted.block);
  const SubShapeEntry* entries = subshape->Entries();
  for (uint32_t i = 0; i < subshape->count; ++i) out[next[size_t(entries[i].dy - subshape->top)]++] = PaintEntryOf(entries[i]);
  if (replaced != nullptr) {
    *replaced = subshape->entries;
  } else {
    DeallocateBuffer(&subshape->entries);
  }
  subshape->entries = painted;
  subshape->rowOrdered = true;
  return true;
}

// Ordered in place first, then each record written over bytes read by then (its own entry
// included, as 16 i + 16 <= 20 i + 20): no second buffer, for shapes too large to copy.
bool ConvertInPlace(SubShape* subshape) {
  if (!subshape->rowOrdered && !OrderSubShapeByRow(subshape)) return false;
  auto* bytes = static_cast<uint8_t*>(subshape->entries.block);
  for (uint32_t i = 0; i < subshape->count; ++i) {
    SubShapeEntry entry;
    memcpy(&entry, bytes + uint64_t(i) * sizeof(SubShapeEntry), sizeof entry);
    PaintEntry paint = PaintEntryOf(entry);
    memcpy(bytes + uint64_t(i) * sizeof(PaintEntry), &paint, sizeof paint);
  }
  // Shrinking keeps the block where it is; a failure keeps the larger block.
  if (subshape->count > 0) ReallocateBufferPreserveContents(uint64_t(subshape->count) * sizeof(PaintEntry), &subshape->entries);
  return true;
}

}  // namespace

bool ConvertToPaintForm(SubShape* subshape, BufferDescriptor* replaced) {
  if (__atomic_load_n(&subshape->paintForm, __ATOMIC_ACQUIRE) != 0) return true;
  ScopedExclusiveLock lock(subshape->mutex);
  bool converted = __atomic_load_n(&subshape->paintForm, __ATOMIC_ACQUIRE) != 0;
  if (!converted && subshape->count == 0) {
    subshape->rowOrdered = true;  // no rows to index
    converted = true;
  } else if (!converted) {
    converted = (!subshape->rowOrdered && CopyIntoPaintForm(subshape, replaced)) || ConvertInPlace(subshape);
  }
  if (converted) __atomic_store_n(&subshape->paintForm, uint8_t(1), __ATOMIC_RELEASE);
  return converted;
}

bool PrepareTileEffect(const EffectTile& tile, Shape* shape, const EffectColor& effect, double x, double y,
                       uint32_t visibilityMinimum, TileEffect* prepared, bool* covers) {
  *covers = false;
  if (shape->type != SHAPE_IMAGE) return false;
  int64_t cx, cy;
  SubShape* subshape = AcquireSubShapeAt(shape, x, y, &cx, &cy);
  if (subshape == nullptr) return false;
  if (subshape->count == 0) return true;
  if (subshape->entries.block == nullptr || !ConvertToPaintForm(subshape)) return false;
  const ImageRect& band = tile.band;
  int64_t left = std::max<int64_t>(cx + subshape->left, band.left), right = std::min<int64_t>(cx + subshape->right, band.right);
  int64_t top = std::max<int64_t>(cy + subshape->top, band.top), bottom = std::min<int64_t>(cy + subshape->bottom, band.bottom);
  if (left >= right || top >= bottom) return true;
  *prepared = TileEffect{subshape,
                         cx,
                         cy,
                         top,
                         bottom,
                         cx + subshape->left < band.left || cx + subshape->right > band.right,
                         float(effect.red / kFraction),
                         float(effect.green / kFraction),
                         float(effect.blue / kFraction),
                         float(effect.weight / kFraction),
                         float(visibilityMinimum / kFraction)};
  *covers = true;
  return true;
}

namespace {

// With v the entry's colour times its weight times the effect's colour, and a the effect's alpha:
// the strength s is a × max(v), and a channel rises by 256 a v of its headroom, or by v / max(v)
// once s reaches 1/256.
template <bool Clipped>
void PaintRow(EffectTile* tile, const TileEffect& effect, int64_t y) {
  const SubShape& subshape = *effect.subshape;
  const int64_t row = y - effect.centreY - subshape.top;
  const PaintEntry* entry = subshape.PaintEntries() + subshape.RowStarts()[row];
  const PaintEntry* end = subshape.PaintEntries() + subshape.RowStarts()[row + 1];
  const int64_t width = int64_t(tile->band.right) - tile->band.left;
  float* pixels = static_cast<float*>(tile->pixels.block) + (y - tile->windowTop) * width * 3;
  const int64_t column = effect.centreX - tile->band.left;
  const float saturation = float(kSaturation);
  const float red = effect.red, green = effect.green, blue = effect.blue, alpha = effect.alpha, minimum = effect.minimum;
  const float boost = 256.0f * alpha;
  for (; entry < end; ++entry) {
    int64_t x = column + entry->dx;
    if (Clipped && (x < 0 || x >= width)) continue;
    float vr = entry->red * red, vg = entry->green * green, vb = entry->blue * blue;
    float largest = std::max(vr, std::max(vg, vb));
    float strength = largest * alpha;
    if (!(strength > minimum)) continue;
    float q = strength < saturation ? boost : 1.0f / largest;
    float* p = pixels + 3 * x;
    p[0] += q * vr * (1.0f - p[0]);
    p[1] += q * vg * (1.0f - p[1]);
    p[2] += q * vb * (1.0f - p[2]);
  }
}

}  // namespace

void PaintTileEffectRow(EffectTile* tile, const TileEffect& effect, int64_t y) {
  if (effect.clipped) {
    PaintRow<true>(tile, effect, y);
  } else {
    PaintRow<false>(tile, effect, y);
  }
}

// Columns of the matrix are the working primaries as the host's linear values: each primary is
// converted to the host profile, then linearised with the host image's own gamma.
bool MakeLinearConversion(const ImageRecord& host, LinearConversion* conversion) {
  ColorProfile working = LinearWorkingProfile();
  ColorProfile target = host.profile;
  bool gray = IsGrayImageMode(host.mode);
  if (gray || target == nullptr || working == nullptr) {
    // Grey tiles carry equal channels, already luminance in any grey space.
    *conversion = LinearConversion{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, true};
    return true;
  }
  cmsHTRANSFORM transform = cmsCreateTransform(working, TYPE_RGB_FLT, target, TYPE_RGB_FLT, INTENT_RELATIVE_COLORIMETRIC, 0);
  if (transform == nullptr) return false;
  bool identity = true;
  for (int primary = 0; primary < 3; ++primary) {
    float in[3] = {0, 0, 0}, out[3];
    in[primary] = 1.0f;
    cmsDoTransform(transform, in, out, 1);
    for (int row = 0; row < 3; ++row) {
      double v = std::max(0.0f, out[row]);
      float linear = float(std::pow(v, host.gamma));
      conversion->matrix[row][primary] = linear;
      if (std::fabs(linear - (row == primary ? 1.0f : 0.0f)) > 2e-3f) identity = false;
    }
  }
  cmsDeleteTransform(transform);
  conversion->identity = identity;
  return true;
}

namespace {

// The tile's light in the host's linear space, or false where the tile is black.
bool TileLight(const EffectTile& tile, const LinearConversion& conversion, int64_t x, int64_t y, float linear[3]) {
  const float* t = tile.At(x, y);
  if (t[0] == 0 && t[1] == 0 && t[2] == 0) return false;
  const auto& m = conversion.matrix;
  for (int row = 0; row < 3; ++row) {
    float v = conversion.identity ? t[row] : m[row][0] * t[0] + m[row][1] * t[1] + m[row][2] * t[2];
    linear[row] = std::min(1.0f, std::max(0.0f, v));
  }
  return true;
}

// Rounded by adding a half and truncating: both factors are positive, and the library's rounding
// call costs more than the rest of the pixel.
uint32_t Screen(uint32_t host, float light) { return host + uint32_t(double(light) * (kLinearFull - host) + 0.5); }

// 8-bit colour hosts: decoded through the image's table and encoded by thresholds, the same
// rounding as the image's writer (to the nearest code in the encoded scale) without a power per sample.
void ScreenEightBit(const EffectTile& tile, const LinearConversion& conversion, ImageRecord* host, const ImageRect& area,
                    const volatile bool* abort) {
  uint32_t thresholds[257];  // linear value from which code k is written
  thresholds[0] = 0;
  for (int k = 1; k < 256; ++k) thresholds[k] = uint32_t(std::ceil(std::pow((k - 0.5) / 255.0, host->gamma) * 16777216.0));
  thresholds[256] = 0xFFFFFFFF;
  // The code of the lowest linear value of each 256-wide step; within a step at most one
  // threshold is passed, so one comparison finishes the encoding.
  std::vector<uint8_t> start(65536);
  for (uint32_t step = 0, code = 0; step < 65536; ++step) {
    while (code < 255 && thresholds[code + 1] <= step << 8) ++code;
    start[step] = uint8_t(code);
  }
  auto encode = [&thresholds, &start](uint32_t linear) {
    if (linear > 0xFFFFFE) return uint8_t(255);
    uint32_t code = start[linear >> 8];
    while (linear >= thresholds[code + 1]) ++code;
    return uint8_t(code);
  };
  const int32_t* decode = host->gammaTables.eightToLinear;
  for (int64_t y = area.top; y < area.bottom && !*abort; ++y) {
    for (int64_t x = area.left; x < area.right; ++x) {
      float light[3];
      if (!TileLight(tile, conversion, x, y, light)) continue;
      uint8_t* pixel = host->Pixel(x, y);  // blue, green, red, alpha
      for (int k = 0; k < 3; ++k) {
        uint8_t& sample = pixel[2 - k];
        uint32_t before = uint32_t(decode[sample]);
        uint32_t after = Screen(before, light[k]);
        if (after != before) sample = std::max(sample, encode(after));
      }
    }
  }
}

}  // namespace

void ScreenTileOntoImage(const EffectTile& tile, const LinearConversion& conversion, ImageRecord* host,
                         const volatile bool* abort) {
  ImageRect area = WindowWithin(tile, host->rectangle);
  if (host->mode == plugInModeRGBColor && host->pixelType == GL_UNSIGNED_BYTE_TYPE) {
    ScreenEightBit(tile, conversion, host, area, abort);
    return;
  }
  for (int64_t y = area.top; y < area.bottom && !*abort; ++y) {
    for (int64_t x = area.left; x < area.right; ++x) {
      float light[3];
      if (!TileLight(tile, conversion, x, y, light)) continue;
      PixelValue h;
      host->readPixel(host, x, y, &h);
      h.red = Screen(h.red, light[0]);
      h.green = Screen(h.green, light[1]);
      h.blue = Screen(h.blue, light[2]);
      h.alpha = h.mask = kKeepSample;
      host->writePixel(host, x, y, h);
    }
  }
}
