// The ranked table of the image's light sources, and the lists the detection bands build.
#pragma once
#include <cstdint>

#include "core/BufferManager.h"

struct LightSource {
  double x, y;  // centre in host-image pixels once the table is finished
  double radius;
  double radiusSquared;
  uint32_t brightness;
  uint32_t red, green, blue;  // 32-bit fractions
  uint32_t intensity;         // alpha with which the effect is painted
  uint32_t reserved;
  int32_t state;  // LIGHT_HIDDEN, LIGHT_DETECTED or LIGHT_FORCED
  int32_t savedState;
  uint32_t flags;
};

enum LightSourceState : int32_t { LIGHT_HIDDEN = 0, LIGHT_DETECTED = 1, LIGHT_FORCED = 2 };
constexpr uint32_t kLightSourceSuperseded = 1;

// The table, and also each detection band's own list (which leaves the last fields alone).
// While `finished` is 0 the entries are kept in ascending `y`.
struct LightSourceTable {
  uint64_t count;
  BufferDescriptor entries;
  int32_t changeCount;  // atomic
  double maxRadius;
  double minY, maxY;
  int32_t finished;
  uint32_t maxBrightness;
  uint32_t minBrightness;

  LightSource* Entries() const { return static_cast<LightSource*>(entries.block); }
};

extern LightSourceTable gLightSourceTable;

inline void NoteLightSourceChange(LightSourceTable* table) { __atomic_add_fetch(&table->changeCount, 1, __ATOMIC_ACQ_REL); }
inline int32_t LightSourceChangeCount(const LightSourceTable& table) {
  return __atomic_load_n(&table.changeCount, __ATOMIC_ACQUIRE);
}

// One entry as a whole while the effect editor may be rewriting it on another thread: the preview
// never draws a star with the new brightness and the old position. Writers replace whole entries.
LightSource ReadLightSourceEntry(const LightSourceTable& table, uint64_t index);
void WriteLightSourceEntry(LightSourceTable* table, uint64_t index, const LightSource& entry);

// Inserts a light source (x, y, radius, brightness, colour and state taken from `source`).
// A detected one that overlaps a live detected entry at least as large is rejected; smaller
// overlapped entries are marked superseded. Returns the index, or -1 (rejected or out of memory).
int64_t InsertLightSource(LightSourceTable* list, const LightSource& source);
// Removes superseded entries, keeping order, and recomputes the list's extent.
void CompactLightSources(LightSourceTable* list);
// Scales positions and radii (x by ax, y by ay); a no-op for (1, 1).
void RescaleLightSources(LightSourceTable* list, double ax, double ay);
// Whether (x, y) lies within a live detected entry of the list.
bool IsInsideLightSource(const LightSourceTable& list, double x, double y);
// Frees the entries and returns the header to empty.
void ReleaseLightSourceTable(LightSourceTable* list);
// Colours and brightness in host-image units, ranked: brighter and larger rank higher.
void FinishLightSourceTable(LightSourceTable* table, const volatile bool* abort);
