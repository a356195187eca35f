// The process-wide cache of gamma tables (32 entries under GammaTableMutex): for a gamma g, the
// tables that take 8- and 16-bit samples to linear light (24-bit fixed point) and back.
#pragma once
#include <cstdint>

#include "core/BufferManager.h"

constexpr uint32_t kLinearMaximum = 0xFFFFFF;  // linear light in 24-bit fixed point
constexpr int kGammaCacheSize = 32;

struct GammaTables {
  double gamma = 0.0;
  const int32_t* eightToLinear = nullptr;       // 256 entries
  const int32_t* sixteenToLinear = nullptr;     // 65536 entries
  const uint8_t* linearToEight = nullptr;       // 65536 entries, indexed by linear / 256
  const uint16_t* linearToSixteen = nullptr;    // 65536 entries
  const uint16_t* linearToHalf = nullptr;       // 65536 entries
};

bool CreateGammaTableMutex();
void ReleaseGammaTables();
bool LookUpGammaTables(double gamma, GammaTables* tables);
int UsedGammaTableEntries();
