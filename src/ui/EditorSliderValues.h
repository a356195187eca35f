// The effect editor's six slider values, which rows 12-17 of the slider table edit: brightness,
// the three colour balances and the two moves (hundredths of an image pixel), in that order.
#pragma once
#include <cstdint>

constexpr int kEditorSliderCount = 6;

struct EditorSliderValues {
  int16_t values[kEditorSliderCount];
};

// Owned by the effect editor; the dialog's thread alone reads and writes it.
inline EditorSliderValues gEditorSliderValues{{50, 0, 0, 0, 0, 0}};
