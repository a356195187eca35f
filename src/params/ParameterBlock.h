// The fourteen filter parameters: the 40-byte versioned ParameterBlock kept in the host's
// parameters handle, the 255-byte stored ParameterRecord, the effect styles and the defaults.
#pragma once
#include <cstddef>
#include <cstdint>

#include "PITypes.h"

enum EffectType : uint32_t {
  EFFECT_STANDARD_STAR = FourCC("efT0"),
  EFFECT_HOLLYWOOD_STAR = FourCC("efT1"),
  EFFECT_RELIGIOUS_CROSS = FourCC("efT2"),
  EFFECT_HYPER_STAR = FourCC("efT3"),
  EFFECT_NORTH_STAR = FourCC("efT4"),
  EFFECT_VECTOR_STAR = FourCC("efT5"),
  EFFECT_STAR_BURST = FourCC("efT6"),
};

struct EffectStyleRow {
  EffectType type;
  const char* name;
};
constexpr size_t kEffectStyleCount = 7;
extern const EffectStyleRow kEffectStyles[kEffectStyleCount];
const char* EffectTypeName(uint32_t type);  // null for an unknown code

// The number by which get, set and scripting address a value; 0 addresses nothing.
enum ParameterIndex : int32_t {
  PARAM_NONE = 0,
  PARAM_INTENSITY = 1,
  PARAM_LENGTH = 2,
  PARAM_ANGLE = 3,  // tenths of a degree
  PARAM_NUMBER_OF_POINTS = 4,
  PARAM_SPIKE_SHARPNESS = 5,
  PARAM_COLOR_SATURATION = 6,
  PARAM_RAINBOW_INTENSITY = 7,
  PARAM_RAINBOW_FREQUENCY = 8,
  PARAM_SECONDARY_SPIKE_INTENSITY = 9,
  PARAM_SOFT_FLARE_INTENSITY = 10,
  PARAM_EFFECTS_ONLY = 11,
  PARAM_EFFECT_TYPE = 12,
  PARAM_QUANTITY = 13,
  PARAM_SPIKE_SPREAD = 14,
  PARAM_COUNT
};

struct ParameterVersion {
  int16_t major, minor, revision, build;
};
constexpr ParameterVersion kCurrentParameterVersion = {0, 0, 0, 6};
constexpr ParameterVersion kConvertibleParameterVersion = {0, 0, 0, 5};
bool SameVersion(const ParameterVersion& a, const ParameterVersion& b);

struct ParameterBlock {
  ParameterVersion version;
  int16_t intensity;
  int16_t length;
  int16_t angle;
  int16_t numberOfPoints;
  int16_t spikeSharpness;
  int16_t colorSaturation;
  int16_t rainbowIntensity;
  int16_t rainbowFrequency;
  int16_t secondarySpikeIntensity;
  int16_t softFlareIntensity;
  int16_t effectsOnly;
  int16_t zero;
  uint32_t effectType;
  int16_t quantity;
  int16_t spikeSpread;
};
static_assert(sizeof(ParameterBlock) == 40);
static_assert(offsetof(ParameterBlock, intensity) == 8 && offsetof(ParameterBlock, effectsOnly) == 28);
static_assert(offsetof(ParameterBlock, effectType) == 32 && offsetof(ParameterBlock, quantity) == 36);
static_assert(offsetof(ParameterBlock, spikeSpread) == 38);

constexpr size_t kParameterRecordSize = 255;
// A ParameterBlock in bytes 0-39, zeros after; a heap block freed with FreeParameterRecord.
struct ParameterRecord {
  unsigned char bytes[kParameterRecordSize];
};
static_assert(sizeof(ParameterRecord) == 255);

// Row of the parameter table: where each value lives in the block and in a rendering request
// (ParameterSet), its range and default.
struct ParameterRow {
  ParameterIndex index;
  const char* name;
  size_t offset;
  size_t setOffset;
  int32_t minimum;
  int32_t maximum;
  int32_t defaultValue;
};
extern const ParameterRow kParameterRows[PARAM_COUNT - 1];
const ParameterRow* FindParameterRow(int32_t index);

ParameterBlock InitialParameterBlock();
int32_t GetBlockValue(const ParameterBlock& block, int32_t index);
bool SetBlockValue(ParameterBlock* block, int32_t index, int32_t value);

// What a descriptor, the registry or a file hands in is held to the ranges of the table before it
// is kept: a value beyond its range takes the nearer end, and a style code that names no style is
// no value at all, so the initial style takes its place. In range, a value passes unchanged.
bool IsKnownEffectType(uint32_t type);
int32_t ClampedParameterValue(const ParameterRow& row, int64_t value);
// True when every value was already in range and the style known.
bool ClampParameterBlock(ParameterBlock* block);
bool SameParameterValues(const ParameterBlock& a, const ParameterBlock& b);

ParameterRecord* NewParameterRecord(const ParameterBlock& block);
void FreeParameterRecord(ParameterRecord* record);
ParameterBlock BlockOfRecord(const ParameterRecord& record);
