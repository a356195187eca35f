// Lists of light sources kept in ascending y while detection runs, so that overlap searches
// walk back from the end and stop as soon as no entry can reach the probe.
#include "analysis/LightSourceTable.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/ImageRecord.h"
#include "support/Locks.h"

LightSourceTable gLightSourceTable;

namespace {
SRWLOCK gEntryLock = SRWLOCK_INIT;  // whole-entry reads and writes (innermost)
}  // namespace

LightSource ReadLightSourceEntry(const LightSourceTable& table, uint64_t index) {
  ScopedSharedLock lock(gEntryLock);
  return table.Entries()[index];
}

void WriteLightSourceEntry(LightSourceTable* table, uint64_t index, const LightSource& entry) {
  ScopedExclusiveLock lock(gEntryLock);
  table->Entries()[index] = entry;
}

namespace {

constexpr uint64_t kGrowthEntries = 8192;  // 0x90000 bytes
constexpr int kMostSuperseded = 1024;

static_assert(sizeof(LightSource) * kGrowthEntries == 0x90000, "entry buffers grow 0x90000 bytes at a time");

uint64_t CapacityOf(const LightSourceTable& list) { return list.entries.size / sizeof(LightSource); }

bool IsLiveDetected(const LightSource& entry) {
  return (entry.flags & kLightSourceSuperseded) == 0 && entry.state == LIGHT_DETECTED;
}

// Finds the live detected entries the new one overlaps; false when one of them is at least as
// large, which rejects the new one.
bool CollectOverlapped(const LightSourceTable& list, const LightSource& source, uint64_t* overlapped, int* overlappedCount) {
  double r = source.radius, rr = r * r;
  double reach = std::max(r, list.maxRadius) + 1.0;
  *overlappedCount = 0;
  const LightSource* entries = list.Entries();
  for (uint64_t i = list.count; i-- > 0;) {
    const LightSource& entry = entries[i];
    if (entry.y < source.y - reach) break;
    if (!IsLiveDetected(entry)) continue;
    double dx = entry.x - source.x, dy = entry.y - source.y;
    if (std::fabs(dx) > reach || std::fabs(dy) > reach) continue;
    if (dx * dx + dy * dy >= std::max(rr, entry.radiusSquared)) continue;
    if (entry.radiusSquared >= rr) return false;
    if (*overlappedCount < kMostSuperseded) overlapped[(*overlappedCount)++] = i;
  }
  return true;
}

void UpdateExtent(LightSourceTable* list, const LightSource& entry) {
  if (list->count == 0) {
    list->maxRadius = entry.radius;
    list->minY = list->maxY = entry.y;
    return;
  }
  list->maxRadius = std::max(list->maxRadius, entry.radius);
  list->minY = std::min(list->minY, entry.y);
  list->maxY = std::max(list->maxY, entry.y);
}

}  // namespace

int64_t InsertLightSource(LightSourceTable* list, const LightSource& source) {
  if (source.state == LIGHT_DETECTED) {
    static thread_local uint64_t overlapped[kMostSuperseded];
    int overlappedCount = 0;
    if (!CollectOverlapped(*list, source, overlapped, &overlappedCount)) return -1;
    for (int i = 0; i < overlappedCount; ++i) list->Entries()[overlapped[i]].flags |= kLightSourceSuperseded;
  }
  if (list->count >= CapacityOf(*list) &&
      ReallocateBufferPreserveContents((list->count + kGrowthEntries) * sizeof(LightSource), &list->entries) != 0) {
    return -1;
  }
  LightSource* entries = list->Entries();
  uint64_t index = list->count;
  if (!list->finished) {
    while (index > 0 && entries[index - 1].y >= source.y) --index;
    memmove(entries + index + 1, entries + index, (list->count - index) * sizeof(LightSource));
  }
  LightSource& entry = entries[index];
  entry = source;
  entry.intensity = kFullFraction;
  entry.reserved = 0xFFFFFFFF;
  entry.flags = 0;
  UpdateExtent(list, entry);
  ++list->count;
  return int64_t(index);
}

void CompactLightSources(LightSourceTable* list) {
  LightSource* entries = list->Entries();
  uint64_t kept = 0;
  for (uint64_t i = 0; i < list->count; ++i) {
    if (entries[i].flags & kLightSourceSuperseded) continue;
    entries[kept] = entries[i];
    const LightSource& entry = entries[kept];
    list->maxRadius = kept == 0 ? entry.radius : std::max(list->maxRadius, entry.radius);
    list->minY = kept == 0 ? entry.y : std::min(list->minY, entry.y);
    list->maxY = kept == 0 ? entry.y : std::max(list->maxY, entry.y);
    ++kept;
  }
  if (kept == 0) list->maxRadius = list->minY = list->maxY = 0;
  list->count = kept;
}

// Positions map pixel centre to pixel centre: analysis pixel j stands for the box of pixels
// around (j + 0.5) × scale - 0.5 of the image it was reduced from. Scaling the index alone would
// move every light source by half a box less half a pixel, several pixels in the coarse pass.
void RescaleLightSources(LightSourceTable* list, double ax, double ay) {
  if (ax == 1.0 && ay == 1.0) return;
  LightSource* entries = list->Entries();
  for (uint64_t i = 0; i < list->count; ++i) {
    entries[i].x = (entries[i].x + 0.5) * ax - 0.5;
    entries[i].y = (entries[i].y + 0.5) * ay - 0.5;
    entries[i].radius *= ax;
    entries[i].radiusSquared = entries[i].radius * entries[i].radius;
  }
  list->maxRadius *= ax;
  list->minY = std::trunc(ay * list->minY);
  list->maxY = std::trunc(ay * list->maxY) + 1;
}

bool IsInsideLightSource(const LightSourceTable& list, double x, double y) {
  double reach = list.maxRadius + 1.0;
  const LightSource* entries = list.Entries();
  for (uint64_t i = list.count; i-- > 0;) {
    const LightSource& entry = entries[i];
    if (!list.finished && entry.y < y - reach) break;
    if (!IsLiveDetected(entry)) continue;
    double dx = entry.x - x, dy = entry.y - y;
    if (std::fabs(dx) > reach || std::fabs(dy) > reach) continue;
    if (dx * dx + dy * dy <= entry.radiusSquared) return true;
  }
  return false;
}

void ReleaseLightSourceTable(LightSourceTable* list) {
  DeallocateBuffer(&list->entries);
  int32_t changes = LightSourceChangeCount(*list);
  memset(static_cast<void*>(list), 0, sizeof *list);
  __atomic_store_n(&list->changeCount, changes, __ATOMIC_RELEASE);
}
