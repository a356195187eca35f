// Builds the sample conversion tables. The half-float tables are the classic exponent-indexed
// ones: a base and a shift per float exponent, a mantissa, exponent and offset table per half.
#include "core/SampleTables.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

#include "core/Fractions.h"

namespace {

void BuildFloatToHalf(SampleTables* t) {
  for (int i = 0; i < 256; ++i) {
    int e = i - 127;
    uint16_t base;
    uint8_t shift;
    if (e < -24) {
      base = 0x0000, shift = 24;
    } else if (e < -14) {
      base = uint16_t(0x0400 >> (-e - 14)), shift = uint8_t(-e - 1);
    } else if (e <= 15) {
      base = uint16_t((e + 15) << 10), shift = 13;
    } else if (e < 128) {
      base = 0x7C00, shift = 24;
    } else {
      base = 0x7C00, shift = 13;
    }
    t->halfBase[i] = base;
    t->halfBase[i | 0x100] = uint16_t(base | 0x8000);
    t->halfShift[i] = t->halfShift[i | 0x100] = shift;
  }
}

uint32_t NormalisedMantissa(uint32_t i) {
  uint32_t m = i << 13;
  uint32_t e = 0;
  while ((m & 0x00800000) == 0) {
    e -= 0x00800000;
    m <<= 1;
  }
  m &= ~0x00800000u;
  e += 0x38800000;
  return m | e;
}

void BuildHalfToFloat(SampleTables* t) {
  t->halfMantissa[0] = 0;
  for (uint32_t i = 1; i < 1024; ++i) t->halfMantissa[i] = NormalisedMantissa(i);
  for (uint32_t i = 1024; i < 2048; ++i) t->halfMantissa[i] = 0x38000000 + ((i - 1024) << 13);
  t->halfExponent[0] = 0;
  for (uint32_t i = 1; i < 31; ++i) t->halfExponent[i] = i << 23;
  t->halfExponent[31] = 0x47800000;
  t->halfExponent[32] = 0x80000000;
  for (uint32_t i = 33; i < 63; ++i) t->halfExponent[i] = 0x80000000 + ((i - 32) << 23);
  t->halfExponent[63] = 0xC7800000;
  for (int i = 0; i < 64; ++i) t->halfOffset[i] = (i == 0 || i == 32) ? 0 : 1024;
}

SampleTables* BuildSampleTables() {
  auto* t = new SampleTables;
  BuildFloatToHalf(t);
  BuildHalfToFloat(t);
  for (uint32_t v = 0; v < 256; ++v) t->eightTo32[v] = uint32_t(std::llround(double(v) * kFraction / 255.0));
  for (uint32_t v = 0; v < 65536; ++v) {
    t->sixteenTo32[v] = uint32_t(std::llround(double(v) * kFraction / 65535.0));
    t->sixteenTo8[v] = uint8_t(std::lround(double(v) * 255.0 / 65535.0));
  }
  // The half table needs the float-to-half tables above, so it is filled last.
  for (uint32_t v = 0; v < 65536; ++v) {
    float value = float(double(v) / 65535.0);
    uint32_t bits;
    memcpy(&bits, &value, 4);
    t->sixteenToHalf[v] = uint16_t(t->halfBase[(bits >> 23) & 0x1FF] + ((bits & 0x007FFFFF) >> t->halfShift[(bits >> 23) & 0x1FF]));
  }
  return t;
}

}  // namespace

const SampleTables& GetSampleTables() {
  static std::unique_ptr<SampleTables> tables(BuildSampleTables());
  return *tables;
}

uint16_t FloatToHalf(float value) {
  const SampleTables& t = GetSampleTables();
  uint32_t bits;
  memcpy(&bits, &value, 4);
  uint32_t index = (bits >> 23) & 0x1FF;
  return uint16_t(t.halfBase[index] + ((bits & 0x007FFFFF) >> t.halfShift[index]));
}

float HalfToFloat(uint16_t half) {
  const SampleTables& t = GetSampleTables();
  uint32_t bits = t.halfMantissa[t.halfOffset[half >> 10] + (half & 0x3FF)] + t.halfExponent[half >> 10];
  float value;
  memcpy(&value, &bits, 4);
  return value;
}
