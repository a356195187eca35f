// Alpha and mask of a row of pixels carried from one record to another at the destination's
// depth, the colour left as it is: what follows a colour transform that converts colour only.
#pragma once
#include "core/ImageRecord.h"

// Pixels [left, left + width) of source row y go to destination pixels shifted by (dx, dy); both
// ranges lie inside their records. Integer records are read and written straight from the rows,
// with the tables the pixel readers and writers use, so every byte is what they would store.
void CopyAlphaAndMaskRow(const ImageRecord& source, ImageRecord* destination, int64_t left, int64_t width, int64_t y,
                         int64_t dx, int64_t dy);
