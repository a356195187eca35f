// The parameter table, the initial defaults and the value access by ParameterIndex that the
// service, the scripting code and the parameter files share.
#include "params/ParameterBlock.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "params/ParameterSet.h"

// clang-format off
const EffectStyleRow kEffectStyles[kEffectStyleCount] = {
  // type                     name
  {EFFECT_STANDARD_STAR,     "Standard Star"},
  {EFFECT_HOLLYWOOD_STAR,    "Hollywood Star"},
  {EFFECT_RELIGIOUS_CROSS,   "Religious Cross"},
  {EFFECT_HYPER_STAR,        "Hyper Star"},
  {EFFECT_NORTH_STAR,        "North Star"},
  {EFFECT_VECTOR_STAR,       "Vector Star"},
  {EFFECT_STAR_BURST,        "Star Burst"},
};

const ParameterRow kParameterRows[PARAM_COUNT - 1] = {
#define ROW(index, name, field, minimum, maximum, defaultValue) \
  {index, name, offsetof(ParameterBlock, field), offsetof(ParameterSet, field), minimum, maximum, defaultValue}
  // index                            name                         field                      min    max  default
  ROW(PARAM_INTENSITY,                  "Intensity",                 intensity,                    0,   100, 50),
  ROW(PARAM_LENGTH,                     "Length",                    length,                       0,   100, 50),
  ROW(PARAM_ANGLE,                      "Angle",                     angle,                    -1800,  1800, 0),
  ROW(PARAM_NUMBER_OF_POINTS,           "Number of Points",          numberOfPoints,               1,    32, 6),
  ROW(PARAM_SPIKE_SHARPNESS,            "Spike Sharpness",           spikeSharpness,               0,   100, 50),
  ROW(PARAM_COLOR_SATURATION,           "Color Saturation",          colorSaturation,           -100,   100, 30),
  ROW(PARAM_RAINBOW_INTENSITY,          "Rainbow Intensity",         rainbowIntensity,             0,   100, 50),
  ROW(PARAM_RAINBOW_FREQUENCY,          "Rainbow Frequency",         rainbowFrequency,             0,   100, 50),
  ROW(PARAM_SECONDARY_SPIKE_INTENSITY,  "Secondary Spike Intensity", secondarySpikeIntensity,      0,   100, 15),
  ROW(PARAM_SOFT_FLARE_INTENSITY,       "Soft Flare Intensity",      softFlareIntensity,           0,   100, 30),
  ROW(PARAM_EFFECTS_ONLY,               "Effects Only",              effectsOnly,                  0,     1, 0),
  ROW(PARAM_EFFECT_TYPE,                "Effect Type",               effectType,                   0,     0, int32_t(EFFECT_STANDARD_STAR)),
  ROW(PARAM_QUANTITY,                   "Quantity",                  quantity,                     0,   100, 50),
  ROW(PARAM_SPIKE_SPREAD,               "Spike Spread",              spikeSpread,                  0,   100, 50),
#undef ROW
};
// clang-format on
static_assert(std::size(kParameterRows) == PARAM_COUNT - 1);

const char* EffectTypeName(uint32_t type) {
  for (const EffectStyleRow& row : kEffectStyles) {
    if (row.type == type) return row.name;
  }
  return nullptr;
}

bool SameVersion(const ParameterVersion& a, const ParameterVersion& b) {
  return a.major == b.major && a.minor == b.minor && a.revision == b.revision && a.build == b.build;
}

const ParameterRow* FindParameterRow(int32_t index) {
  for (const ParameterRow& row : kParameterRows) {
    if (row.index == index) return &row;
  }
  return nullptr;
}

ParameterBlock InitialParameterBlock() {
  ParameterBlock block{};
  block.version = kCurrentParameterVersion;
  for (const ParameterRow& row : kParameterRows) SetBlockValue(&block, row.index, row.defaultValue);
  return block;
}

int32_t GetBlockValue(const ParameterBlock& block, int32_t index) {
  const ParameterRow* row = FindParameterRow(index);
  if (row == nullptr) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(&block) + row->offset;
  if (index == PARAM_EFFECT_TYPE) {
    uint32_t type;
    memcpy(&type, bytes, sizeof type);
    return int32_t(type);
  }
  int16_t value;
  memcpy(&value, bytes, sizeof value);
  return value;
}

// The Effect Type is stored whole; every other value is cut to its 16 bits.
bool SetBlockValue(ParameterBlock* block, int32_t index, int32_t value) {
  const ParameterRow* row = FindParameterRow(index);
  if (row == nullptr) return false;
  auto* bytes = reinterpret_cast<unsigned char*>(block) + row->offset;
  if (index == PARAM_EFFECT_TYPE) {
    uint32_t type = uint32_t(value);
    memcpy(bytes, &type, sizeof type);
  } else {
    int16_t cut = int16_t(value);
    memcpy(bytes, &cut, sizeof cut);
  }
  return true;
}

bool IsKnownEffectType(uint32_t type) { return EffectTypeName(type) != nullptr; }

int32_t ClampedParameterValue(const ParameterRow& row, int64_t value) {
  if (row.index == PARAM_EFFECT_TYPE) return IsKnownEffectType(uint32_t(value)) ? int32_t(value) : row.defaultValue;
  return int32_t(value < row.minimum ? row.minimum : value > row.maximum ? row.maximum : value);
}

bool ClampParameterBlock(ParameterBlock* block) {
  bool inRange = true;
  for (const ParameterRow& row : kParameterRows) {
    int32_t value = GetBlockValue(*block, row.index);
    int32_t kept = ClampedParameterValue(row, value);
    if (kept != value) {
      SetBlockValue(block, row.index, kept);
      inRange = false;
    }
  }
  return inRange;
}

bool SameParameterValues(const ParameterBlock& a, const ParameterBlock& b) {
  for (const ParameterRow& row : kParameterRows) {
    if (GetBlockValue(a, row.index) != GetBlockValue(b, row.index)) return false;
  }
  return true;
}

ParameterRecord* NewParameterRecord(const ParameterBlock& block) {
  auto* record = static_cast<ParameterRecord*>(calloc(1, sizeof(ParameterRecord)));
  if (record != nullptr) memcpy(record->bytes, &block, sizeof block);
  return record;
}

void FreeParameterRecord(ParameterRecord* record) { free(record); }

ParameterBlock BlockOfRecord(const ParameterRecord& record) {
  ParameterBlock block;
  memcpy(&block, record.bytes, sizeof block);
  return block;
}
