// The arithmetic of a slider row, free of any window: clamping, the value box's text and what a
// typed text means, the key steps and the track bar's jump-click.
#pragma once
#include <cstdint>
#include <string>

#include "ui/SliderTable.h"

int32_t ClampSliderValue(const SliderRow& row, int64_t value);
// The value as the box shows it: a signed integer, or value / 10^decimals with that many decimals.
std::wstring FormatSliderValue(const SliderRow& row, int32_t value);
// Reads the leading decimal number of the text (sign, digits, one point, digits; what follows is
// ignored), scales it by 10^decimals, truncates and clamps. False when the text holds no number.
bool ParseSliderText(const SliderRow& row, const wchar_t* text, int32_t* value);
// The box's character limit: the table's, widened to the longest text the row itself shows
// (Angle shows "-180.0", six characters, beside a table limit of four).
int TextLimitOf(const SliderRow& row);
// The characters a value box takes; every other one is refused with a beep.
bool IsValueBoxCharacter(wchar_t character);

enum SliderKey { SLIDERKEY_UP, SLIDERKEY_DOWN, SLIDERKEY_PAGE_UP, SLIDERKEY_PAGE_DOWN };
// The value after a key held for `repeat` strokes: the line step (the Ctrl step with Ctrl) or
// the page step per stroke, clamped.
int32_t SteppedSliderValue(const SliderRow& row, int32_t value, SliderKey key, bool ctrl, int repeat);

// Where a press at x in a track bar puts the thumb: the value whose thumb centre is nearest x.
// A channel no longer than the thumb has no positions, and the value stays.
struct TrackGeometry {
  int channelLeft;
  int channelLength;
  int thumbWidth;
};
int32_t TrackJumpValue(const SliderRow& row, int32_t current, const TrackGeometry& track, int x);
