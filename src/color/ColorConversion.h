// Bulk colour conversion of image records through cached transforms, on worker threads, and the
// conversion of effect colours for display.
#pragma once
#include <cstddef>
#include <cstdint>

#include "color/TransformCache.h"
#include "core/GammaTables.h"
#include "core/ImageRecord.h"

constexpr uint32_t kColorConversionThreads = 8;

bool ConvertColorOf(ImageRecord* image, ColorProfile target, bool multiThreaded);
bool CopyTileWithColorConversion(const ImageRecord& source, const ImageRect& sourceRect, ImageRecord* destination,
                                 const ImageRect& destinationRect);

// An effect colour: three linear channels and a weight (a 32-bit fraction).
struct EffectColor {
  uint32_t red, green, blue, weight;
};
bool ConvertColorList(EffectColor* colors, size_t count, ColorProfile source, ColorProfile target);
void ConvertColor(EffectColor* color, ColorTransform transform, const GammaTables& targetTables);
