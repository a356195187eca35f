// The families are switched in a fixed order (group boxes, sliders, check boxes and buttons,
// selectors) so that a group box never covers controls shown before it.
#include "ui/ControlFamilies.h"

#include <initializer_list>
#include <iterator>

#include "resource.h"
#include "ui/ControlSets.h"

namespace {

enum Visibility { SHOWN_IN_MAIN, SHOWN_IN_EDITOR };

struct FamilyControl {
  int id;
  Visibility visibility;
};

// clang-format off
constexpr FamilyControl kGroupBoxes[] = {
//  control                   shown
    {IDC_MAIN_SPIKES_GROUP,   SHOWN_IN_MAIN},
    {IDC_EFFECTS_COLOR_GROUP, SHOWN_IN_MAIN},
    {IDC_SECONDARY_GROUP,     SHOWN_IN_MAIN},
    {IDC_EDIT_EFFECT_GROUP,   SHOWN_IN_EDITOR},
};
constexpr FamilyControl kSelectors[] = {
    {IDC_EFFECT_LABEL,        SHOWN_IN_MAIN},
    {IDC_EFFECT_SELECTOR,     SHOWN_IN_MAIN},
    {IDC_SETTINGS_SELECTOR,   SHOWN_IN_MAIN},
    {IDC_SETTINGS_MENU,       SHOWN_IN_MAIN},
};
// Value box and track bar of each slider row, in row order; rows 12-17 edit one effect.
constexpr int kSliderRowControls[][2] = {
    {IDC_QUANTITY_VALUE, IDC_QUANTITY_TRACK},   {IDC_INTENSITY_VALUE, IDC_INTENSITY_TRACK},
    {IDC_LENGTH_VALUE, IDC_LENGTH_TRACK},       {IDC_ANGLE_VALUE, IDC_ANGLE_TRACK},
    {IDC_POINTS_VALUE, IDC_POINTS_TRACK},       {IDC_SHARPNESS_VALUE, IDC_SHARPNESS_TRACK},
    {IDC_SPREAD_VALUE, IDC_SPREAD_TRACK},       {IDC_SATURATION_VALUE, IDC_SATURATION_TRACK},
    {IDC_RAINBOW_INTENSITY_VALUE, IDC_RAINBOW_INTENSITY_TRACK},
    {IDC_RAINBOW_FREQUENCY_VALUE, IDC_RAINBOW_FREQUENCY_TRACK},
    {IDC_SECONDARY_VALUE, IDC_SECONDARY_TRACK}, {IDC_SOFT_FLARE_VALUE, IDC_SOFT_FLARE_TRACK},
    {IDC_BRIGHTNESS_VALUE, IDC_BRIGHTNESS_TRACK}, {IDC_CYAN_RED_VALUE, IDC_CYAN_RED_TRACK},
    {IDC_MAGENTA_GREEN_VALUE, IDC_MAGENTA_GREEN_TRACK}, {IDC_YELLOW_BLUE_VALUE, IDC_YELLOW_BLUE_TRACK},
    {IDC_MOVE_HORIZONTAL_VALUE, IDC_MOVE_HORIZONTAL_TRACK}, {IDC_MOVE_VERTICAL_VALUE, IDC_MOVE_VERTICAL_TRACK},
};
// clang-format on
static_assert(std::size(kSliderRowControls) == SLIDER_ROW_COUNT, "one entry per slider row");
constexpr int kFirstEditorRow = 12;

bool Shown(Visibility visibility, int controlSet) {
  bool editor = controlSet == CTLSET_EDIT_COLOR || controlSet == CTLSET_EDIT_GRAY;
  return controlSet != CTLSET_NONE && (visibility == SHOWN_IN_EDITOR) == editor;
}

void ShowControl(HWND dialog, int id, bool shown) {
  if (HWND control = GetDlgItem(dialog, id)) ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
}

void ShowFamily(HWND dialog, const FamilyControl* family, size_t count, int controlSet) {
  for (size_t i = 0; i < count; ++i) ShowControl(dialog, family[i].id, Shown(family[i].visibility, controlSet));
}

void ShowSliderRows(HWND dialog, int controlSet) {
  for (int row = 0; row < SLIDER_ROW_COUNT; ++row) {
    bool shown = Shown(row < kFirstEditorRow ? SHOWN_IN_MAIN : SHOWN_IN_EDITOR, controlSet);
    for (int id : {kSliderRowControls[row][0], kSliderRowControls[row][1], IDC_ROW_LEFT_ICON + row, IDC_ROW_LABEL + row,
                   IDC_ROW_RIGHT_ICON + row}) {
      ShowControl(dialog, id, shown);
    }
  }
}

}  // namespace

void ShowControlFamilies(HWND dialog, int controlSet) {
  if (controlSet == CTLSET_NONE) return;  // a closing dialog keeps what it shows
  ShowFamily(dialog, kGroupBoxes, std::size(kGroupBoxes), controlSet);
  ShowSliderRows(dialog, controlSet);
  ShowFamily(dialog, kSelectors, std::size(kSelectors), controlSet);
}
