#include "analysis/LightSourceListing.h"

#include <cmath>
#include <cstdio>

void FormatLightSourceCount(char* text, size_t size, uint64_t count) {
  snprintf(text, size, "NumberOfLightSources = %llu\n\n", static_cast<unsigned long long>(count));
}

void FormatLightSourceLine(char* text, size_t size, int64_t index, const LightSource& entry) {
  snprintf(text, size < kListingLineSize ? size : kListingLineSize, "LightSourceTable[%04d] x = %.2f, y = %.2f, Diam = %.2f, Bright = %X%s",
           int(index), entry.x, entry.y, 2.0 * std::sqrt(entry.radiusSquared), entry.brightness,
           entry.state == LIGHT_HIDDEN ? " (D)" : "");
}
