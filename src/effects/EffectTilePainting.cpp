// The painting loop of the final render: millions of shape entries a band, so it works on floats
// in a plain buffer with no call per pixel. For an entry of effect colour e (channels as fractions,
// c the largest) and alpha a, the strength is s = min(1, 256 c a), and each channel p becomes
// p + (s / c) e (1 - p): the compositing rule of the shapes, solved for one channel.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/Fractions.h"
#include "effects/EffectTile.h"
#include "effects/RenderBufferPool.h"
#include "support/Locks.h"

namespace {

constexpr double kSaturation = 16777216.0 / kFraction;  // 2^24 as a fraction: full strength beyond

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
  if (!IndexSubShapeRows(subshape)) return false;
  BufferDescriptor painted = TakeRenderBuffer(bytes);
  if (painted.size < bytes && ReallocateBuffer(bytes, &painted) != 0) return false;
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
  if (subshape->IsCompact()) return true;  // drawn in a form the painters read
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
  if (!subshape->IsCompact() && (subshape->entries.block == nullptr || !ConvertToPaintForm(subshape))) return false;
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

// A prefetch never faults, so the end of a chain (null) needs no test; with one GCC drops the
// prefetches altogether.
inline void PrefetchChunk(const EntryChunk* chunk) {
  const char* bytes = reinterpret_cast<const char*>(chunk);
  for (int line = 0; line < int(sizeof(EntryChunk) / 64); ++line) __builtin_prefetch(bytes + 64 * line);
}

// The same for the compact form: v is the entry's weight times its colour from the table times
// the effect's colour.
template <bool Clipped>
void PaintCompactRow(EffectTile* tile, const TileEffect& effect, int64_t y) {
  const CompactRows& rows = effect.subshape->compact;
  const int64_t width = int64_t(tile->band.right) - tile->band.left;
  float* pixels = static_cast<float*>(tile->pixels.block) + (y - tile->windowTop) * width * 3;
  const int64_t column = effect.centreX - tile->band.left;
  const float saturation = float(kSaturation);
  const float red = effect.red, green = effect.green, blue = effect.blue, alpha = effect.alpha, minimum = effect.minimum;
  const float boost = 256.0f * alpha;
  const float* colours = rows.colours;
  // Chunks lie where the generator happened to need them: the next row's first chunk and the
  // next chunk are fetched while these entries are painted.
  if (y + 1 < effect.bottom) PrefetchChunk(rows.Chain(y + 1 - effect.centreY).first);
  for (const EntryChunk* chunk = rows.Chain(y - effect.centreY).first; chunk != nullptr; chunk = chunk->next) {
    PrefetchChunk(chunk->next);
    if (Clipped && (column + chunk->right < 0 || column + chunk->left >= width)) continue;
    for (const CompactEntry* entry = chunk->entries, *end = chunk->entries + chunk->count; entry < end; ++entry) {
      int64_t x = column + entry->dx;
      if (Clipped && (x < 0 || x >= width)) continue;
      const float* colour = colours + 4 * entry->colour;
      float weight = entry->weight;
      float vr = weight * colour[0] * red, vg = weight * colour[1] * green, vb = weight * colour[2] * blue;
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
}

}  // namespace

void PaintTileEffectRow(EffectTile* tile, const TileEffect& effect, int64_t y) {
  if (effect.subshape->IsCompact()) {
    if (effect.clipped) {
      PaintCompactRow<true>(tile, effect, y);
    } else {
      PaintCompactRow<false>(tile, effect, y);
    }
  } else if (effect.clipped) {
    PaintRow<true>(tile, effect, y);
  } else {
    PaintRow<false>(tile, effect, y);
  }
}
