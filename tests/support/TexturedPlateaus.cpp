// The textured plateaus, painted pixel by pixel from a hash of the position, the same in every run.
#include "support/TexturedPlateaus.h"

#include <cmath>

#include "PITypes.h"

namespace {

constexpr double kLinearFull = 16777215.0;

uint32_t Hash(int64_t x, int64_t y, uint32_t seed) {
  uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 13;
  return h;
}

struct Level {
  double red, green, blue;
};

Level TexturedLevel(int64_t x, int64_t y, int64_t width, int64_t height, int stepLimit) {
  double grain = (Hash(x, y, 7) >> 8) / 16777216.0;
  struct Light {
    double x, y, r;
  };
  const Light lights[] = {{0.25, 0.3, 3}, {0.5, 0.5, 6}, {0.2, 0.75, 2}, {0.7, 0.25, 4}, {0.62, 0.78, 1.5}, {0.06, 0.5, 5}};
  for (const Light& light : lights) {
    if (std::hypot(x - light.x * width, y - light.y * height) <= light.r) return Level{1.0, 0.98, 0.95};
  }
  double u = double(x) / width, v = double(y) / height;
  if (v < 0.1) return Level{0.02 + 0.01 * grain, 0.02, 0.02};
  if (u < 0.45 && v < 0.55) {
    double level = 0.55 + 0.03 * grain;  // the pale wood: within an eighth, no fill for its grain
    return Level{level, level * 0.97, level * 0.9};
  }
  if (u < 0.45) {
    double level = 0.45 + 0.2 * grain;  // coarse grain: colours change at once
    return Level{level, level, level * 0.95};
  }
  if (v < 0.55) {
    double rise = std::log(1.134) / (stepLimit - 1);
    return Level{0.5, 0.5 * std::exp(rise * (x - 0.45 * width)), 0.5};
  }
  return Level{0.62, 0.6, 0.58};  // flat: the first candidate fills it
}

}  // namespace

void PaintTexturedPlateaus(ImageRecord* image, int64_t width, int64_t height, int stepLimit) {
  for (int64_t y = 0; y < height; ++y) {
    for (int64_t x = 0; x < width; ++x) {
      Level l = TexturedLevel(x, y, width, height, stepLimit);
      image->writePixel(image, image->rectangle.left + x, image->rectangle.top + y,
                        PixelValue{uint32_t(l.red * kLinearFull), uint32_t(l.green * kLinearFull), uint32_t(l.blue * kLinearFull),
                                   kFullFraction, kFullFraction});
    }
  }
}

