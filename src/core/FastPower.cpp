#include "core/FastPower.h"

#include <cmath>

namespace {

FastPowerTables BuildFastPowerTables() {
  FastPowerTables t{};
  for (int j = 0; j < 128; ++j) {
    t.inverse[j] = 1.0 / (1.0 + (j + 0.5) / 128.0);
    t.log2Of[j] = double(-std::log2(static_cast<long double>(t.inverse[j])));
    t.exp2Of[j] = double(std::exp2(static_cast<long double>(j) / 128.0L));
  }
  return t;
}

}  // namespace

const FastPowerTables gFastPowerTables = BuildFastPowerTables();
