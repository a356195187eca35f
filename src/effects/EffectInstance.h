// How a light source becomes an effect: its colour, pushed away from grey by Color Saturation.
#pragma once
#include <cstdint>

#include "color/ColorConversion.h"

// Channels are 32-bit fractions; saturation runs from -100 to 100. Grey images keep the colour.
EffectColor SaturatedEffectColor(uint32_t red, uint32_t green, uint32_t blue, int32_t saturation, bool grayImage);
