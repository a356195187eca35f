// Table edits. Each bumps the change count, which renderers compare to notice them.
#include "analysis/TableOperations.h"

#include <algorithm>
#include <cmath>

#include "core/ImageRecord.h"

namespace {

constexpr uint32_t kAddedColour = 0x37B719B5;

// A superseded entry (an added effect whose editing was cancelled) is no longer part of the
// picture: no operation may bring it back.
bool CanChange(const LightSource& entry, int mode) {
  if (entry.flags & kLightSourceSuperseded) return false;
  switch (mode) {
    case STATE_HIDE: return entry.state != LIGHT_HIDDEN;
    case STATE_UNHIDE: return entry.state == LIGHT_HIDDEN && entry.savedState != LIGHT_HIDDEN;
    case STATE_FORCE: return entry.state != LIGHT_FORCED;
    default: return entry.state == LIGHT_FORCED && entry.savedState != LIGHT_FORCED;
  }
}

// Applies a mode to one entry; true when it changed it.
bool ApplyMode(LightSource* entry, int mode) {
  if (!CanChange(*entry, mode)) return false;
  switch (mode) {
    case STATE_HIDE:
      entry->savedState = entry->state;
      entry->state = LIGHT_HIDDEN;
      break;
    case STATE_FORCE:
      entry->savedState = entry->state;
      entry->state = LIGHT_FORCED;
      break;
    default:
      entry->state = entry->savedState;
      break;
  }
  return true;
}

double DistanceSquared(const LightSource& entry, double x, double y) {
  double dx = entry.x - x, dy = entry.y - y;
  return dx * dx + dy * dy;
}

}  // namespace

double PickRadius(double zoomPercent) { return std::max(20.0, zoomPercent > 0 ? 2000.0 / zoomPercent : 20.0); }

uint32_t QuantityThreshold(const LightSourceTable& table, int32_t quantity) {
  if (quantity <= 0) return kFullFraction;
  if (quantity >= 100) return 0;
  uint32_t range = table.maxBrightness - table.minBrightness;
  double share = (101 - quantity) * 0.01;
  return uint32_t(int64_t(double(range) * share * share + table.minBrightness) - 1);
}

bool SetLightSourceStateInRect(LightSourceTable* table, const TableRect& rect, int mode) {
  LightSource* entries = table->Entries();
  uint64_t counted = 0;
  for (uint64_t i = 0; i < table->count; ++i) {
    double x = std::trunc(entries[i].x), y = std::trunc(entries[i].y);
    if (x < rect.left || x >= rect.right || y < rect.top || y >= rect.bottom) continue;
    if (entries[i].flags & kLightSourceSuperseded) continue;
    bool changed = ApplyMode(&entries[i], mode);
    if (changed || mode == STATE_HIDE || mode == STATE_FORCE) ++counted;
  }
  if (counted == 0) return false;
  NoteLightSourceChange(table);
  return true;
}

bool SetLightSourceStateOfNearest(LightSourceTable* table, double x, double y, int mode, double zoomPercent) {
  double radius = PickRadius(zoomPercent);
  double best = radius * radius;
  int64_t nearest = -1;
  LightSource* entries = table->Entries();
  for (uint64_t i = 0; i < table->count; ++i) {
    if (!CanChange(entries[i], mode)) continue;
    double d = DistanceSquared(entries[i], x, y);
    if (d < best) best = d, nearest = int64_t(i);
  }
  if (nearest >= 0) ApplyMode(&entries[nearest], mode);
  NoteLightSourceChange(table);
  return true;
}

int64_t AddLightSourceAt(LightSourceTable* table, double x, double y) {
  LightSource source{};
  source.x = x;
  source.y = y;
  source.radius = table->maxRadius / 2;
  source.radiusSquared = source.radius * source.radius;
  source.brightness = source.red = source.green = source.blue = kAddedColour;
  source.state = source.savedState = LIGHT_HIDDEN;
  double maxRadius = table->maxRadius;
  int64_t index = InsertLightSource(table, source);
  table->maxRadius = maxRadius;  // an added entry is half the largest and cannot change it
  if (index >= 0) NoteLightSourceChange(table);
  return index;
}

int64_t NearestVisibleLightSource(const LightSourceTable& table, double x, double y, int32_t quantity, double zoomPercent) {
  double radius = PickRadius(zoomPercent);
  double best = radius * radius;
  uint32_t threshold = QuantityThreshold(table, quantity);
  int64_t nearest = -1;
  const LightSource* entries = table.Entries();
  for (uint64_t i = 0; i < table.count; ++i) {
    if (!IsLightSourceVisible(entries[i], threshold)) continue;
    double d = DistanceSquared(entries[i], x, y);
    if (d < best) best = d, nearest = int64_t(i);
  }
  return nearest;
}
