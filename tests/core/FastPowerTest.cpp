// The per-pixel power function against the run-time library's pow.
#include "core/FastPower.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(FastPower, MatchesPowAcrossTheUnitIntervalAndGammas) {
  for (double gamma : {1.0 / 2.2, 2.2, 1.0, 0.1, 1.73695, 10.0}) {
    for (double x = 1e-9; x <= 1.0; x *= 1.0173) {
      double expected = std::pow(x, gamma);
      ASSERT_NEAR(FastPower(x, gamma), expected, expected * 1e-12 + 1e-300) << x << "^" << gamma;
    }
    EXPECT_DOUBLE_EQ(FastPower(1.0, gamma), 1.0);
  }
  // Every step of both tables, at and around the mantissas where a step begins.
  for (int step = 0; step < 128; ++step) {
    double m = 1.0 + step / 128.0;
    for (double x : {m / 2, std::nextafter(m / 2, 0.0), std::nextafter(m / 2, 1.0), m / 4096}) {
      if (x > 1.0) continue;
      for (double y : {1.6, 1.0 / 2.2, 3.0}) {
        double expected = std::pow(x, y);
        ASSERT_NEAR(FastPower(x, y), expected, expected * 1e-12) << x << "^" << y;
      }
    }
  }
  EXPECT_EQ(FastPower(0.0, 2.2), 0.0);
  EXPECT_EQ(FastPower(-0.5, 2.2), 0.0);
  EXPECT_EQ(FastPower(1e-300, 50.0), 0.0);
}
