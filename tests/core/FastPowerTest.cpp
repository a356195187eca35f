// The per-pixel power function against the run-time library's pow.
#include "core/FastPower.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(FastPower, MatchesPowAcrossTheUnitIntervalAndGammas) {
  for (double gamma : {1.0 / 2.2, 2.2, 1.0, 0.1, 1.73695, 10.0}) {
    for (double x = 1e-9; x <= 1.0; x *= 1.0173) {
      double expected = std::pow(x, gamma);
      ASSERT_NEAR(FastPower(x, gamma), expected, expected * 1e-9 + 1e-300) << x << "^" << gamma;
    }
    EXPECT_DOUBLE_EQ(FastPower(1.0, gamma), 1.0);
  }
  EXPECT_EQ(FastPower(0.0, 2.2), 0.0);
  EXPECT_EQ(FastPower(-0.5, 2.2), 0.0);
  EXPECT_EQ(FastPower(1e-300, 50.0), 0.0);
}
