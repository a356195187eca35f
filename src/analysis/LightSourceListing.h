// The text of the light source listing, shared by its dialog and the command-line tool.
#pragma once
#include <cstddef>
#include <cstdint>

#include "analysis/LightSourceTable.h"

constexpr size_t kListingLineSize = 257;  // a line is at most 256 characters

// "NumberOfLightSources = N\n\n"
void FormatLightSourceCount(char* text, size_t size, uint64_t count);
// "LightSourceTable[0007] x = 12.25, y = 3.50, Diam = 4.00, Bright = 7FFFFFFF (D)"
void FormatLightSourceLine(char* text, size_t size, int64_t index, const LightSource& entry);
