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

}  // namespace

bool RenderScene(const Scene& scene, ImageRecord* image) {
  ImageRect rect{0, 0, scene.width, scene.height};
  if (!CreateImage(image, rect, rect, scene.mode, StandardProfile(), scene.selectLeftHalf, false)) return false;
  uint32_t state = scene.seed;
  auto random = [&state]() {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / 16777216.0;
  };
  for (int64_t y = 0; y < scene.height; ++y) {
    for (int64_t x = 0; x < scene.width; ++x) {
      double level[3];
      double grain = scene.background + scene.noise * random();
      level[0] = level[1] = level[2] = grain;
      for (const SceneLight& light : scene.lights) {
        if (std::fabs(x - light.x) > 3 * light.radius + 2 || std::fabs(y - light.y) > 3 * light.radius + 2) continue;
        double cover = light.soft ? BlobLevel(light, x, y) : DiscCoverage(light, x, y);
        const double colour[3] = {light.red, light.green, light.blue};
        for (int c = 0; c < 3; ++c) level[c] = std::max(level[c], level[c] * (1 - cover) + colour[c] * cover);
      }
      PixelValue p;
      p.red = uint32_t(std::min(level[0], 1.0) * kLinearFull);
      p.green = uint32_t(std::min(level[1], 1.0) * kLinearFull);
      p.blue = uint32_t(std::min(level[2], 1.0) * kLinearFull);
      p.alpha = scene.transparentEverywhere || (scene.transparentRightHalf && x >= scene.width / 2) ? 0 : kFullFraction;
      p.mask = scene.selectLeftHalf && x >= scene.width / 2 ? 0 : kFullFraction;
      image->writePixel(image, x, y, p);
    }
  }
  return true;
}
