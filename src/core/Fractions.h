// Light, weights and strengths travel as 32-bit fractions, 4294967294 (0xFFFFFFFE) standing for
// one: the 8- and 16-bit sample tables map full scale to it.
#pragma once

constexpr double kFraction = 4294967294.0;
