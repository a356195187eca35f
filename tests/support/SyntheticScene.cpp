#include "color/ImageProfile.h"
#include "support/SyntheticScene.h"

#include <algorithm>
#include <cmath>

#include "color/ColorProfiles.h"

namespace {

constexpr double kLinearFull = 16777215.0;

// Coverage of a pixel by a flat disc, from 4 × 4 subsamples.
double DiscCoverage(const SceneLight& light, int64_t x, int64_t y) {
  int inside = 0;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double sx = x - 0.375 + 0.25 * j, sy = y - 0.375 + 0.25 * i;
      if (std::hypot(sx - light.x, sy - light.y) <= light.radius) ++inside;
    }
  }
  return inside / 16.0;
}

// An overexposed blob: clipped to full within its radius, then falling off softly.
double BlobLevel(const SceneLight& light, int64_t x, int64_t y) {
  double d = std::hypot(x - light.x, y - light.y) / light.radius;
  return std::min(1.0, 2.0 * std::exp(-0.6931471805599453 * d * d));
}

// Background grain from the position alone, so that the lights can be drawn afterwards box by box.
double Grain(const Scene& scene, int64_t x, int64_t y) {
  uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u ^ scene.seed * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return scene.background + scene.noise * ((h >> 8) / 16777216.0);
}

PixelValue PixelOf(const Scene& scene, int64_t x, const double level[3]) {
  PixelValue p;
  p.red = uint32_t(std::min(level[0], 1.0) * kLinearFull);
  p.green = uint32_t(std::min(level[1], 1.0) * kLinearFull);
  p.blue = uint32_t(std::min(level[2], 1.0) * kLinearFull);
  p.alpha = scene.transparentEverywhere || (scene.transparentRightHalf && x >= scene.width / 2) ? 0 : kFullFraction;
  p.mask = scene.selectLeftHalf && x >= scene.width / 2 ? 0 : kFullFraction;
  return p;
}

}  // namespace

bool RenderScene(const Scene& scene, ImageRecord* image) {
  ImageRect rect{0, 0, scene.width, scene.height};
  if (!CreateImage(image, rect, rect, scene.mode, StandardProfile(), scene.selectLeftHalf, false)) return false;
  for (int64_t y = 0; y < scene.height; ++y) {
    for (int64_t x = 0; x < scene.width; ++x) {
      double grain = Grain(scene, x, y);
      const double level[3] = {grain, grain, grain};
      image->writePixel(image, x, y, PixelOf(scene, x, level));
    }
  }
  // Each light over what is there: it brightens toward its colour by its coverage.
  for (const SceneLight& light : scene.lights) {
    double reach = 3 * light.radius + 2;
    int64_t left = std::max<int64_t>(0, int64_t(light.x - reach)), right = std::min<int64_t>(scene.width, int64_t(light.x + reach) + 1);
    int64_t top = std::max<int64_t>(0, int64_t(light.y - reach)), bottom = std::min<int64_t>(scene.height, int64_t(light.y + reach) + 1);
    const double colour[3] = {light.red, light.green, light.blue};
    for (int64_t y = top; y < bottom; ++y) {
      for (int64_t x = left; x < right; ++x) {
        double cover = light.soft ? BlobLevel(light, x, y) : DiscCoverage(light, x, y);
        if (cover <= 0) continue;
        PixelValue p;
        image->readPixel(image, x, y, &p);
        double level[3] = {p.red / kLinearFull, p.green / kLinearFull, p.blue / kLinearFull};
        for (int c = 0; c < 3; ++c) level[c] = std::max(level[c], level[c] * (1 - cover) + colour[c] * cover);
        image->writePixel(image, x, y, PixelOf(scene, x, level));
      }
    }
  }
  return true;
}
