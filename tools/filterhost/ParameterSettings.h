// `--set KEY=VALUE`: filter parameters given by their scripting keys, with values as a
// descriptor carries them (percent and degree floats, a long, a boolean, an 'efTy' code); the
// host offers them to the plug-in in the descriptor of the run.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "PIFilter.h"

enum ParameterValueKind { VALUE_PERCENT, VALUE_DEGREES, VALUE_LONG, VALUE_BOOLEAN, VALUE_EFFECT };

struct ParameterSetting {
  uint32_t key;  // 'Intn', 'stEf', ...
  ParameterValueKind kind;
  double value;  // a number, or the enumeration code for 'stEf'
};

// Parses "KEY=VALUE"; false with *error for an unknown key or a value of the wrong kind.
bool ParseParameterSetting(const std::string& text, ParameterSetting* setting, std::string* error);
