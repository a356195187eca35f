// Weighted sums of the pixel brightness under a shape, and four sums taken side by side, one in
// each lane of the processor's vectors, every lane adding its entries in its own order.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/Fractions.h"
#include "shapes/Shape.h"

// Running weighted sums of brightness about the first pixel's, so that the variance keeps its
// precision when the deviation is small against the mean.
struct BrightnessSums {
  uint32_t minimum = kFullFraction, maximum = 0;
  bool any = false;
  double origin = 0, weightSum = 0, shiftedSum = 0, shiftedSquares = 0;

  void Add(uint32_t brightness, uint32_t entryWeight) { AddWeighted(brightness, entryWeight / kFraction); }
  void AddWeighted(uint32_t brightness, double weight) {
    if (!any) origin = brightness, any = true;
    double shifted = brightness - origin;
    minimum = std::min(minimum, brightness);
    maximum = std::max(maximum, brightness);
    weightSum += weight;
    shiftedSum += weight * shifted;
    shiftedSquares += weight * shifted * shifted;
  }
};

// A shape wholly on an 8-bit image, read through the image's brightness plane: its plane entries
// and the plane at its centre pixel.
struct PlaneSum {
  const PlaneEntry* entries;
  uint32_t count;
  const int32_t* centre;
  BrightnessSums sums;
};

// Sums every entry of four shapes into their `sums`, each exactly as AddWeighted adds them one by
// one; false, with nothing summed, when the processor cannot (no AVX2, or a shape without entries).
bool SumFourSideBySide(PlaneSum* shapes);
