// What the preview tools and the effect editor do to a finished table: hide, reveal, force and
// unforce entries, add one, pick the nearest, and thin the table out by Quantity.
#pragma once
#include <cstdint>

#include "analysis/LightSourceTable.h"

enum LightSourceStateMode : int { STATE_HIDE = 0, STATE_UNHIDE = 1, STATE_FORCE = 2, STATE_UNFORCE = 3 };

struct TableRect {
  double left, top, right, bottom;
};

// Acts on every entry whose truncated centre lies in the rectangle; true when any was counted.
bool SetLightSourceStateInRect(LightSourceTable* table, const TableRect& rect, int mode);
// Acts on the nearest entry the mode can change within the pick radius; always true.
bool SetLightSourceStateOfNearest(LightSourceTable* table, double x, double y, int mode, double zoomPercent);
// An added entry, hidden until the editor shows it; its index, or -1 when memory ran out.
int64_t AddLightSourceAt(LightSourceTable* table, double x, double y);
// The nearest visible entry within the pick radius, or -1.
int64_t NearestVisibleLightSource(const LightSourceTable& table, double x, double y, int32_t quantity, double zoomPercent);

double PickRadius(double zoomPercent);
uint32_t QuantityThreshold(const LightSourceTable& table, int32_t quantity);
inline bool IsLightSourceVisible(const LightSource& entry, uint32_t threshold) {
  return entry.state == LIGHT_FORCED || (entry.state == LIGHT_DETECTED && entry.brightness > threshold);
}
