// How the image writers store linear light (0..0xFFFFFF) as samples of a gamma: the power taken
// in single precision, then the nearest integer sample; and how the readers take a float sample
// back to linear light. Code that must store or read exactly as the pixel access does goes
// through these.
#pragma once
#include <cstdint>

#include "core/FastPower.h"
#include "core/GammaTables.h"

inline float EncodedLight(uint32_t linear, double inverseGamma) {
  return linear > 0xFFFFFE ? 1.0f : float(FastPower(double(linear) / 16777216.0, inverseGamma));
}
inline uint8_t EightBitSampleOf(uint32_t linear, float encoded) {
  return linear > 0xFFFFFE ? 255 : uint8_t(encoded * 255.0f + 0.5f);
}
inline uint16_t SixteenBitSampleOf(uint32_t linear, float encoded) {
  return linear > 0xFFFFFE ? 65535 : uint16_t(encoded * 65535.0f + 0.5f);
}
inline uint32_t DecodedFloatLight(float sample, double gamma) {
  if (!(sample > 0.0f)) return 0;
  if (sample >= 1.0f) return kLinearMaximum;
  return uint32_t(FastPower(double(sample), gamma) * kLinearMaximum + 0.5);
}
