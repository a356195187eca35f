// Saturation moves each channel away from the mean of the other two; positive settings act
// fifteen times as strongly as negative ones, which only need to reach grey.
#include "effects/EffectInstance.h"

#include "core/ImageRecord.h"

namespace {

uint32_t Clamped(int64_t value) {
  if (value < 0) return 0;
  return value > int64_t(kFullFraction) ? kFullFraction : uint32_t(value);
}

uint32_t Saturated(int64_t channel, int64_t otherA, int64_t otherB, int64_t k) {
  return Clamped(channel + k * (channel - ((otherA + otherB) >> 1)) / 150);
}

}  // namespace

EffectColor SaturatedEffectColor(uint32_t red, uint32_t green, uint32_t blue, int32_t saturation, bool grayImage) {
  if (saturation == 0 || grayImage) return EffectColor{red, green, blue, kFullFraction};
  int64_t k = saturation < 1 ? saturation : 15 * int64_t(saturation);
  return EffectColor{Saturated(red, green, blue, k), Saturated(green, red, blue, k), Saturated(blue, red, green, k),
                     kFullFraction};
}
