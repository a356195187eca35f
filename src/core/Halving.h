// The 2 × 2 reduction between two 8-bit or two 16-bit integer records read straight from their
// rows: what the proxy pyramid's halvings spend nearly all their time in.
#pragma once
#include "core/ImageRecord.h"

// Whether HalveRows gives exactly what the per-pixel 2 × 2 path gives between these records.
bool CanHalveDirectly(const ImageRecord& source, const ImageRecord& destination);

// Destination rows [top, bottom), relative to its rectangle. Pixel (j, i) averages the source
// pixels from (⌊j·fx + 0.5⌋, ⌊i·fy + 0.5⌋), two by two, the last row and column repeated at the
// source's edge. False when cancelled.
bool HalveRows(const ImageRecord& source, ImageRecord* destination, double fx, double fy, int64_t top, int64_t bottom,
               const volatile bool* cancel);
