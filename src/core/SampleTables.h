// Sample conversion tables built once per load: integer sample widening and narrowing, and the
// standard table-driven conversions between 32-bit floats and IEEE 754 half floats.
#pragma once
#include <cstdint>

struct SampleTables {
  uint32_t eightTo32[256];        // v × 4294967294 / 255, 255 → 0xFFFFFFFE
  uint32_t sixteenTo32[65536];    // v × 4294967294 / 65535
  uint8_t sixteenTo8[65536];      // v × 255 / 65535
  uint16_t sixteenToHalf[65536];  // half of v / 65535
  uint16_t halfBase[512];         // float → half, indexed by sign and exponent
  uint8_t halfShift[512];
  uint32_t halfMantissa[2048];    // half → float
  uint32_t halfExponent[64];
  uint16_t halfOffset[64];
};

const SampleTables& GetSampleTables();  // built on first use, thread-safe
uint16_t FloatToHalf(float value);       // mantissa rounded toward zero, saturating to infinity
float HalfToFloat(uint16_t half);
