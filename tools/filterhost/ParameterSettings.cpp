#include "ParameterSettings.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

enum ValueKind { PERCENT, DEGREES, LONG, BOOLEAN, EFFECT };

// Where each value lives in the plug-in's 40-byte block (16-bit values, the style 32-bit).
struct KeyRow {
  char key[5];
  ValueKind kind;
  int offset;
};
const KeyRow kKeys[] = {
    {"opsO", BOOLEAN, 28}, {"stEf", EFFECT, 32},  {"qntY", PERCENT, 36}, {"Intn", PERCENT, 8},  {"Lngt", PERCENT, 10},
    {"Angl", DEGREES, 12}, {"numP", LONG, 14},    {"spsH", PERCENT, 16}, {"spsP", PERCENT, 38}, {"Strt", PERCENT, 18},
    {"rbwI", PERCENT, 20}, {"rbwF", PERCENT, 22}, {"sspI", PERCENT, 24}, {"sflB", PERCENT, 26},
};

uint32_t Code(const char* four) {
  return uint32_t(uint8_t(four[0])) << 24 | uint32_t(uint8_t(four[1])) << 16 | uint32_t(uint8_t(four[2])) << 8 | uint8_t(four[3]);
}

const KeyRow* RowOf(uint32_t key) {
  for (const KeyRow& row : kKeys) {
    if (Code(row.key) == key) return &row;
  }
  return nullptr;
}

}  // namespace

bool ParseParameterSetting(const std::string& text, ParameterSetting* setting, std::string* error) {
  size_t equals = text.find('=');
  if (equals != 4) {
    *error = "--set wants KEY=VALUE with a four-character key: " + text;
    return false;
  }
  const KeyRow* row = RowOf(Code(text.c_str()));
  if (row == nullptr) {
    *error = "--set: unknown key '" + text.substr(0, 4) + "'";
    return false;
  }
  std::string value = text.substr(5);
  setting->key = Code(row->key);
  if (row->kind == EFFECT) {
    if (value.size() != 4 || value.compare(0, 3, "efT") != 0 || value[3] < '0' || value[3] > '6') {
      *error = "--set stEf wants efT0 to efT6: " + value;
      return false;
    }
    setting->value = Code(value.c_str());
    return true;
  }
  if (row->kind == BOOLEAN && (value == "true" || value == "false")) {
    setting->value = value == "true" ? 1 : 0;
    return true;
  }
  char* end = nullptr;
  setting->value = strtod(value.c_str(), &end);
  if (value.empty() || end == nullptr || *end != '\0' || !std::isfinite(setting->value)) {
    *error = "--set " + text.substr(0, 4) + " wants a number: " + value;
    return false;
  }
  return true;
}

void ApplyParameterSettings(const std::vector<ParameterSetting>& settings, Handle parameters, const HandleProcs* procs) {
  if (settings.empty() || parameters == nullptr) return;
  auto* block = reinterpret_cast<uint8_t*>(procs->lockProc(parameters, 0));
  if (block == nullptr) return;
  for (const ParameterSetting& setting : settings) {
    const KeyRow* row = RowOf(setting.key);
    if (row->kind == EFFECT) {
      uint32_t code = uint32_t(setting.value);
      memcpy(block + row->offset, &code, 4);
      continue;
    }
    double scaled = row->kind == DEGREES ? setting.value * 10 : setting.value;
    int16_t value = row->kind == BOOLEAN ? int16_t(setting.value != 0) : int16_t(int64_t(std::trunc(scaled)));
    memcpy(block + row->offset, &value, 2);
  }
  procs->unlockProc(parameters);
}
