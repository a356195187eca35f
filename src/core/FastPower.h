// x^y for the per-pixel gamma arithmetic of the readers and writers and the cross-section of the
// star's spikes, without a library call: the run-time's pow costs some 200 ns here, this a few.
// log2 and exp2 each take a 128-step table and a short series, so there is no division and the
// chain of dependent multiplications stays short; the relative error is below 1e-12.
#pragma once
#include <cstdint>
#include <cstring>

struct FastPowerTables {
  double inverse[128];   // 1 / c for the centre c of each 1/128 step of the mantissa in [1, 2)
  double log2Of[128];    // -log2(inverse), so that log2(m) = log2Of + log2(m × inverse)
  double exp2Of[128];    // 2^(j / 128)
};
extern const FastPowerTables gFastPowerTables;

// A positive normal x as 2^exponent × c × (1 + ratio), c the centre of the 1/128 step of the
// mantissa that holds it: |ratio| < 1/255, small enough for a short series in it.
struct MantissaStep {
  int exponent;
  int step;
  double ratio;
};
inline MantissaStep MantissaStepOf(double x) {
  uint64_t bits;
  memcpy(&bits, &x, 8);
  int exponent = int((bits >> 52) & 0x7FF) - 1023;
  int step = int((bits >> 45) & 127);
  bits = (bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull;  // mantissa in [1, 2)
  double m;
  memcpy(&m, &bits, 8);
  return MantissaStep{exponent, step, m * gFastPowerTables.inverse[step] - 1.0};
}

// For x in (0, 1] (values at or below 0 give 0) and any finite y.
inline double FastPower(double x, double y) {
  if (!(x > 0.0)) return 0.0;
  if (x == 1.0) return 1.0;
  const FastPowerTables& t = gFastPowerTables;
  MantissaStep split = MantissaStepOf(x);
  int exponent = split.exponent, step = split.step;
  double r = split.ratio;
  double lnRatio = r * (1.0 + r * (-0.5 + r * (1.0 / 3 + r * (-0.25 + r * (0.2 - r * (1.0 / 6))))));
  double log2x = (double(exponent) + t.log2Of[step]) + lnRatio * 1.4426950408889634;
  double power = y * log2x;
  if (power < -1020.0) return 0.0;
  double scaled = power * 128.0;
  int64_t steps = int64_t(scaled);
  if (double(steps) > scaled) --steps;  // the floor, for negative powers too
  double u = (scaled - double(steps)) * (0.6931471805599453 / 128.0);  // 2^(fraction of a step) = e^u, 0 <= u < 0.0055
  double e = 1.0 + u * (1.0 + u * (0.5 + u * (1.0 / 6 + u * (1.0 / 24 + u * (1.0 / 120)))));
  uint64_t scale = uint64_t((steps >> 7) + 1023) << 52;
  double factor;
  memcpy(&factor, &scale, 8);
  return t.exp2Of[steps & 127] * e * factor;
}
