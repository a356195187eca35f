// The sample conversion tables against the formulas, and half floats against a slow reference.
#include "core/SampleTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// Reference conversion: IEEE half with the mantissa rounded toward zero, saturating to infinity.
uint16_t ReferenceHalf(float value) {
  uint32_t bits;
  memcpy(&bits, &value, 4);
  uint16_t sign = uint16_t((bits >> 16) & 0x8000);
  float magnitude = std::fabs(value);
  if (std::isnan(value)) return uint16_t(sign | 0x7C00 | ((bits & 0x007FFFFF) >> 13));
  if (magnitude >= 65536.0f) return uint16_t(sign | 0x7C00);
  if (magnitude < std::ldexp(1.0f, -24)) return sign;
  int exponent = std::ilogb(magnitude);
  if (exponent < -14) return uint16_t(sign | uint16_t(magnitude / std::ldexp(1.0f, -24)));  // subnormal
  if (exponent > 15) return uint16_t(sign | 0x7C00);
  uint16_t mantissa = uint16_t((magnitude / std::ldexp(1.0f, exponent) - 1.0f) * 1024.0f);
  return uint16_t(sign | ((exponent + 15) << 10) | mantissa);
}

}  // namespace

TEST(SampleTables, IntegerConversionsFollowTheirFormulas) {
  const SampleTables& t = GetSampleTables();
  EXPECT_EQ(t.eightTo32[0], 0u);
  EXPECT_EQ(t.eightTo32[255], 0xFFFFFFFEu);
  EXPECT_EQ(t.eightTo32[128], uint32_t(std::llround(128 * 4294967294.0 / 255)));
  EXPECT_EQ(t.sixteenTo32[65535], 0xFFFFFFFEu);
  EXPECT_EQ(t.sixteenTo8[65535], 255);
  EXPECT_EQ(t.sixteenTo8[128], 0);
  EXPECT_EQ(t.sixteenTo8[129], 1);
  EXPECT_EQ(t.sixteenToHalf[65535], 0x3C00);  // 1.0
  EXPECT_EQ(t.sixteenToHalf[0], 0);
}

TEST(SampleTables, HalfFloatsMatchTheReferenceAcrossTheRange) {
  for (float value : {0.0f, -0.0f, 1.0f, -2.5f, 0.333f, 65504.0f, 70000.0f, -1e9f, 6.0e-8f, 1.0e-5f, 3.0e-5f, 1e-10f}) {
    EXPECT_EQ(FloatToHalf(value), ReferenceHalf(value)) << value;
  }
  for (uint32_t bits = 0x33000000; bits < 0x47800000; bits += 0x1357) {
    float value;
    memcpy(&value, &bits, 4);
    ASSERT_EQ(FloatToHalf(value), ReferenceHalf(value)) << value;
  }
}

TEST(SampleTables, EveryHalfConvertsBackExactly) {
  for (uint32_t half = 0; half < 65536; ++half) {
    uint16_t h = uint16_t(half);
    float value = HalfToFloat(h);
    if ((h & 0x7C00) == 0x7C00 && (h & 0x03FF) != 0) {
      EXPECT_TRUE(std::isnan(value));
      continue;
    }
    ASSERT_EQ(FloatToHalf(value), h) << std::hex << half;
  }
  EXPECT_EQ(HalfToFloat(0x3C00), 1.0f);
  EXPECT_EQ(HalfToFloat(0x0001), std::ldexp(1.0f, -24));
  EXPECT_TRUE(std::isinf(HalfToFloat(0xFC00)));
}
