// Memoised values are stored as 64-bit words written whole, and each is a pure function of its
// key and slot, so concurrent generators may fill and read the caches without locks.
#include "effects/StarTables.h"

#include <windows.h>

#include <cmath>
#include <cstring>

#include "color/ColorProfiles.h"

const SpikeTableRow kSpikeTable[kSpikeTableSize] = {
    {40, 32},   {110, 17},  {180, 42},  {270, 19},  {340, 16},  {410, 31},  {470, 14},  {550, 24},  {640, 22},
    {760, 34},  {860, 16},  {1000, 20}, {1070, 14}, {1160, 38}, {1250, 16}, {1360, 28}, {1450, 20}, {1520, 21},
    {1630, 28}, {1750, 23}, {1830, 19}, {1890, 26}, {1990, 18}, {2070, 28}, {2150, 21}, {2260, 23}, {2330, 16},
    {2460, 31}, {2510, 14}, {2600, 17}, {2770, 18}, {2840, 16}, {2910, 25}, {2960, 15}, {3020, 18}, {3110, 15},
    {3190, 27}, {3220, 14}, {3310, 18}, {3380, 21}, {3470, 31}, {3520, 20}};

EffectRenderMode gEffectRenderMode{false, 1000.0, 1000.0, 64, false};

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFraction = 4294967294.0;
constexpr int kFalloffSlots = 65536;
constexpr int kFalloffKeys = 8;  // lengths remembered at once: the primary and secondary of a few renders
constexpr int kSoftFlareSlots = 131072;
constexpr uint64_t kEmpty = ~uint64_t(0);  // a NaN pattern no computed value has

struct Tables {
  double sine[kTenthsPerTurn];
  uint32_t wave[kTenthsPerTurn];
  bool built = false;
};
Tables gTables;

}  // namespace

struct FalloffCache {
  int32_t key = -1;  // the length, with bit 31 set in the preview
  uint64_t values[kFalloffSlots];
};

namespace {

FalloffCache gFalloff[kFalloffKeys];
SRWLOCK gFalloffLock = SRWLOCK_INIT;
int gNextFalloffSlot = 0;

struct SoftFlareCache {
  int32_t key = -1;
  uint32_t weights[kSoftFlareSlots];
  bool filled[kSoftFlareSlots];
};
SoftFlareCache gSoftFlare;

void ClearFalloff(FalloffCache* cache, int32_t key) {
  cache->key = key;
  for (uint64_t& v : cache->values) __atomic_store_n(&v, kEmpty, __ATOMIC_RELAXED);
}

int32_t KeyOf(int32_t length) { return gEffectRenderMode.preview ? int32_t(uint32_t(length) | 0x80000000u) : length; }

// The cache of a key, taken over from the oldest key when it has none.
FalloffCache* FalloffCacheFor(int32_t key) {
  AcquireSRWLockShared(&gFalloffLock);
  for (FalloffCache& cache : gFalloff) {
    if (cache.key == key) {
      ReleaseSRWLockShared(&gFalloffLock);
      return &cache;
    }
  }
  ReleaseSRWLockShared(&gFalloffLock);
  AcquireSRWLockExclusive(&gFalloffLock);
  FalloffCache* found = nullptr;
  for (FalloffCache& cache : gFalloff) {
    if (cache.key == key) found = &cache;
  }
  if (found == nullptr) {
    found = &gFalloff[gNextFalloffSlot];
    gNextFalloffSlot = (gNextFalloffSlot + 1) % kFalloffKeys;
    ClearFalloff(found, key);
  }
  ReleaseSRWLockExclusive(&gFalloffLock);
  return found;
}

double ComputeFalloff(int32_t length, double distance) {
  double r = gEffectRenderMode.referenceSize;
  return 4.0 * (std::pow(1.0 + distance * 150.0 / r, -200.0 / (length + 28.0)) - 7e-6);
}

}  // namespace

double SineOf(int64_t tenths) { return gTables.sine[WrapAngle(tenths)]; }
uint32_t RainbowWave(int64_t tenths) { return gTables.wave[WrapAngle(tenths)]; }
const uint32_t* RainbowWaveTable() { return gTables.wave; }

void EnterFinalRenderMode(const ImageRecord& hostImage) {
  double width = double(hostImage.rectangle.Width()), height = double(hostImage.rectangle.Height());
  double reference = std::trunc(std::sqrt(width * width + height * height) + 1);
  gEffectRenderMode = EffectRenderMode{false, reference, reference, hostImage.bytesPerSample > 1 ? 0u : 64u,
                                       IsGrayImageMode(hostImage.mode)};
}

void InitializeStarTables() {
  if (!gTables.built) {
    for (int i = 0; i < kTenthsPerTurn; ++i) {
      // Exact at the quarter turns, so that spikes along the axes are exactly symmetric.
      static const double kQuarterTurns[4] = {0.0, 1.0, 0.0, -1.0};
      gTables.sine[i] = i % 900 == 0 ? kQuarterTurns[i / 900] : std::sin(i * kPi / 1800.0);
      gTables.wave[i] = uint32_t(std::llround(0.5 * gTables.sine[i] * kFraction + 2147483647.0));
    }
    gTables.built = true;
  }
  AcquireSRWLockExclusive(&gFalloffLock);
  for (FalloffCache& cache : gFalloff) cache.key = -1;
  ReleaseSRWLockExclusive(&gFalloffLock);
  gSoftFlare.key = -1;
}

FalloffCache* SpikeFalloffTable(int32_t length) { return FalloffCacheFor(KeyOf(length)); }

double SpikeFalloff(FalloffCache* cache, int32_t length, int64_t roundedDistance) {
  if (roundedDistance < 0 || roundedDistance >= kFalloffSlots) return ComputeFalloff(length, double(roundedDistance));
  uint64_t bits = __atomic_load_n(&cache->values[roundedDistance], __ATOMIC_RELAXED);
  double value;
  if (bits != kEmpty) {
    memcpy(&value, &bits, sizeof value);
    return value;
  }
  value = ComputeFalloff(length, double(roundedDistance));
  memcpy(&bits, &value, sizeof bits);
  __atomic_store_n(&cache->values[roundedDistance], bits, __ATOMIC_RELAXED);
  return value;
}

uint32_t SoftFlareWeight(int32_t length, double distance) {
  // The soft flare is generated by one thread at a time (it has a single phase).
  int32_t key = KeyOf(length);
  if (gSoftFlare.key != key) {
    memset(gSoftFlare.filled, 0, sizeof gSoftFlare.filled);
    gSoftFlare.key = key;
  }
  int64_t slot = std::llround(distance * 16);
  bool cached = slot < kSoftFlareSlots;
  if (cached && gSoftFlare.filled[slot]) return gSoftFlare.weights[slot];
  double rho = cached ? slot / 16.0 : distance;  // the slot's own distance, whoever asks first
  double kappa = 16.0 / gEffectRenderMode.softFlareReferenceSize;
  double exponent = 14.0 - 0.1 * length;
  int64_t level = std::llround(67108860.0 / std::pow(kappa * rho + 1.0, exponent));
  uint32_t weight = level < 65537 ? 0u : uint32_t(level - 65536);
  if (cached) {
    gSoftFlare.weights[slot] = weight;
    gSoftFlare.filled[slot] = true;
  }
  return weight;
}
