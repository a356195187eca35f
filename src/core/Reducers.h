// Reductions of one image record into a smaller one: each destination pixel is the average, in
// linear light, of the box of source pixels it covers.
#pragma once
#include "core/ImageRecord.h"

// Integer box size per axis: the size ratio, plus one when the remainder is above 1.
int64_t ReductionFactor(int64_t sourceSize, int64_t destinationSize);
bool ReduceImage(const ImageRecord& source, ImageRecord* destination, const volatile bool* cancel);
