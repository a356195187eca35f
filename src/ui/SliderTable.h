// The eighteen slider rows of the main dialog's panel as one table: range, steps, display, tips,
// icons per colour scheme, the control sets that show each row and the value each row edits.
#pragma once
#include <cstdint>

#include "resource.h"

constexpr int kSliderRowCount = SLIDER_ROW_COUNT;
constexpr int kSchemeCount = 6;      // colour schemes 0-5
constexpr int kRowControlSets = 4;   // (set, disabled) pairs per row
constexpr int kFirstEditorRow = 12;  // rows 12-17 edit one effect

// Where a row's value lives: a field of the current ParameterBlock (by its ParameterIndex) or
// one of the effect editor's six slider values.
enum SliderBinding : uint8_t { BIND_PARAMETER, BIND_EDITOR };

struct SliderControlSet {
  int8_t set;  // 0: no set
  bool disabled;
};

struct SliderRow {
  const char* name;
  int16_t minimum;
  int16_t maximum;
  int16_t lineStep;
  int16_t pageStep;
  int16_t defaultValue;
  int16_t textLimit;
  int16_t valueBox;
  int16_t trackBar;
  const wchar_t* textTip;   // value box, both icons and the label
  const wchar_t* trackTip;  // track bar
  int16_t decimals;         // the value is shown divided by 10^decimals
  int16_t ctrlStep;         // arrow-key step with Ctrl held
  int32_t leftIcon;
  int32_t rightIcon;
  int32_t leftImages[kSchemeCount];
  int32_t rightImages[kSchemeCount];
  int32_t label;
  SliderControlSet sets[kRowControlSets];
  SliderBinding binding;
  int32_t boundIndex;  // ParameterIndex, or the editor value's index 0-5
};

extern const SliderRow kSliderRows[kSliderRowCount];

// The row whose value box or track bar has this id, or -1.
int FindSliderRowByValueBox(int id);
int FindSliderRowByTrackBar(int id);
// Whether the row is shown in the set, and whether it is disabled there.
bool SliderRowInSet(const SliderRow& row, int set, bool* disabled = nullptr);
