// Reductions of one image record into a smaller one: each destination pixel is the average, in
// linear light, of the box of source pixels it covers.
#pragma once
#include "core/ImageRecord.h"

// Integer box size per axis: the size ratio, plus one when the remainder is above 1.
int64_t ReductionFactor(int64_t sourceSize, int64_t destinationSize);
bool ReduceImage(const ImageRecord& source, ImageRecord* destination, const volatile bool* cancel);
// The largest (red + green + blue) / 3 of linear light over the pixels of [left, right) × [top,
// bottom) whose alpha is not 0 (0 when there is none), read as the reductions read them: 8- and
// 16-bit images straight through their gamma tables, the rest through the record's reader.
uint32_t BrightestInRect(const ImageRecord& image, int64_t left, int64_t top, int64_t right, int64_t bottom);

// Tests compare the direct paths (8-bit boxes, integer halvings) with the per-pixel reference paths.
void UseReferenceReducers(bool reference);
bool UsingReferenceReducers();
