// The effect selector (drop-down list 1182): the seven star styles in the order the user meets
// them, each with the number of points it brings to the Number of Points slider.
#pragma once
#include <windows.h>

#include <cstdint>

struct EffectSelectorItem {
  const wchar_t* name;
  uint32_t type;   // EffectType
  int16_t points;  // Number of Points the style sets
};

constexpr int kEffectSelectorItemCount = 7;
extern const EffectSelectorItem kEffectSelectorItems[kEffectSelectorItemCount];
// The item of a style, or -1 for a code that names none.
int FindEffectSelectorItem(uint32_t type);

// Gives the list its tip.
void InitializeEffectSelector(HWND dialog);
// Fills the list for the set (it is shown only in the main set) and selects the current style.
void LoadEffectSelector(HWND dialog, int set);
// Selects the current style's item when another is shown; the set hears of it.
void RefreshEffectSelector(HWND dialog);
// Notifications of the list; true when handled.
bool OnEffectSelectorCommand(HWND dialog, int code);
