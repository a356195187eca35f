#include "ParameterSettings.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// The filter's scripting keys and the kind of value each carries.
struct KeyRow {
  char key[5];
  ParameterValueKind kind;
};
const KeyRow kKeys[] = {
    {"opsO", VALUE_BOOLEAN}, {"stEf", VALUE_EFFECT},  {"qntY", VALUE_PERCENT}, {"Intn", VALUE_PERCENT}, {"Lngt", VALUE_PERCENT},
    {"Angl", VALUE_DEGREES}, {"numP", VALUE_LONG},    {"spsH", VALUE_PERCENT}, {"spsP", VALUE_PERCENT}, {"Strt", VALUE_PERCENT},
    {"rbwI", VALUE_PERCENT}, {"rbwF", VALUE_PERCENT}, {"sspI", VALUE_PERCENT}, {"sflB", VALUE_PERCENT},
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
  setting->kind = row->kind;
  if (row->kind == VALUE_EFFECT) {
    if (value.size() != 4 || value.compare(0, 3, "efT") != 0 || value[3] < '0' || value[3] > '6') {
      *error = "--set stEf wants efT0 to efT6: " + value;
      return false;
    }
    setting->value = Code(value.c_str());
    return true;
  }
  if (row->kind == VALUE_BOOLEAN && (value == "true" || value == "false")) {
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
