// Synthetic scenes with known answers for the detection tests: flat discs and soft blobs of
// chosen centre, radius and colour over a dark, slightly noisy background.
#pragma once
#include <cstdint>
#include <vector>

#include "core/ImageRecord.h"

struct SceneLight {
  double x, y, radius;
  double red = 1.0, green = 1.0, blue = 1.0;  // linear, 0..1
  bool soft = false;  // an overexposed Gaussian blob (full within the radius) instead of a flat disc
};

struct Scene {
  int32_t width = 400, height = 300;
  int32_t mode = 3;  // plugInModeRGBColor
  double background = 0.01;
  double noise = 0.004;  // peak linear noise
  std::vector<SceneLight> lights;
  bool selectLeftHalf = false;  // a mask selecting x < width / 2
  bool transparentRightHalf = false;
  bool transparentEverywhere = false;
  uint32_t seed = 1;
};

// Renders the scene into a new image record (sRGB-encoded); false when it could not be made.
bool RenderScene(const Scene& scene, ImageRecord* image);
