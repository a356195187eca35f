// The finishing step: each colour is weighted by the highlight's size and brightness, then all
// are normalised to the brightest so that the table ranks light sources by how much light they
// give. Weights above 1.0 (highlights wider than 256 pixels) are kept: the sums are taken in
// doubles and every channel is mapped to 2048 + round(channel / P × 4294964990), P being the
// largest weighted channel. Results stay within 2048..0xFFFFFEFE, never wrap, and a larger or
// brighter highlight never ranks below a smaller or dimmer one of the same colour.
#include <algorithm>
#include <cmath>

#include "analysis/LightSourceTable.h"
#include "core/Fractions.h"
#include "core/ImageRecord.h"

namespace {

constexpr double kNormalisedFull = 4294964990.0;  // leaves room for the 2048 floor below 1.0
constexpr uint32_t kBrightnessFloor = 2048;

// The weight of an entry, a 32-bit fraction that may exceed 1.0, kept as the fraction's count.
double WeightOf(const LightSource& entry) {
  double diameter = 2.0 * entry.radius;
  double k = std::pow(diameter / 256.0, 1.2) * double(entry.brightness) / 16777215.0;
  return std::round(k * kFraction);
}

double WeightedChannel(uint32_t channel, double weight) { return std::round(channel * (weight / kFraction)); }

uint32_t Normalised(double weighted, double largest) {
  double ratio = largest > 0 ? weighted / largest : 1.0;
  if (ratio > 1.0) ratio = 1.0;
  return kBrightnessFloor + uint32_t(std::round(ratio * kNormalisedFull));
}

}  // namespace

void FinishLightSourceTable(LightSourceTable* table, const volatile bool* abort) {
  LightSource* entries = table->Entries();
  double largest = 0;
  for (uint64_t i = 0; i < table->count; ++i) {
    if (*abort) return;
    if (entries[i].state == LIGHT_HIDDEN) continue;
    double weight = WeightOf(entries[i]);
    largest = std::max({largest, WeightedChannel(entries[i].red, weight), WeightedChannel(entries[i].green, weight),
                        WeightedChannel(entries[i].blue, weight)});
  }
  uint32_t maxBrightness = 0, minBrightness = kFullFraction;
  for (uint64_t i = 0; i < table->count; ++i) {
    if (*abort) return;
    LightSource& entry = entries[i];
    double weight = WeightOf(entry);
    entry.red = Normalised(WeightedChannel(entry.red, weight), largest);
    entry.green = Normalised(WeightedChannel(entry.green, weight), largest);
    entry.blue = Normalised(WeightedChannel(entry.blue, weight), largest);
    entry.brightness = uint32_t((uint64_t(entry.red) + entry.green + entry.blue) / 3);
    if (entry.state == LIGHT_HIDDEN) continue;
    maxBrightness = std::max(maxBrightness, entry.brightness);
    minBrightness = std::min(minBrightness, entry.brightness);
  }
  table->maxBrightness = maxBrightness;
  table->minBrightness = minBrightness < maxBrightness ? minBrightness : kBrightnessFloor;
  table->finished = 1;
}
