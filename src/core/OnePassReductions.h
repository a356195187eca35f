// The image maximum and two box reductions of an 8-bit image from one reading of it: each source
// pixel goes through the gamma table once into running totals along its row, and every box of
// both reductions takes its part of that row as the totals where it ends less those where it
// starts. The results equal those of BrightestInRect and ReduceImage exactly.
#pragma once
#include <cstdint>

#include "core/ImageRecord.h"

// Whether the pairing has a one-pass path: an 8-bit source, 8- or 16-bit integer destinations no
// larger than the source, neither of them a 2 x 2 reduction (which samples its boxes differently).
bool CanReduceInOnePass(const ImageRecord& source, const ImageRecord& first, const ImageRecord& second);
// Writes both reductions and *maximum, the largest (red + green + blue) / 3 of the pixels whose
// alpha is not 0; adds 1 to *rowsDone (atomically) per source row. False when cancelled or the
// run result is set.
bool ReduceInOnePass(const ImageRecord& source, ImageRecord* first, ImageRecord* second, uint32_t* maximum,
                     uint64_t* rowsDone, const volatile bool* cancel);
