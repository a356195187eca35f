// The families are switched in a fixed order (group boxes, sliders, check boxes and buttons,
// selectors) so that a group box never covers controls shown before it.
#include "ui/ControlFamilies.h"

#include <iterator>

#include "resource.h"
#include "ui/ControlSets.h"
#include "ui/EffectSelector.h"
#include "ui/PanelCheckBoxes.h"
#include "ui/SettingsSelectorControl.h"
#include "ui/Sliders.h"

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
constexpr FamilyControl kEffectSelectorControls[] = {
    {IDC_EFFECT_LABEL,        SHOWN_IN_MAIN},
    {IDC_EFFECT_SELECTOR,     SHOWN_IN_MAIN},
};
// clang-format on

bool Shown(Visibility visibility, int controlSet) {
  bool editor = controlSet == CTLSET_EDIT_COLOR || controlSet == CTLSET_EDIT_GRAY;
  return controlSet != CTLSET_NONE && (visibility == SHOWN_IN_EDITOR) == editor;
}

void ShowFamily(HWND dialog, const FamilyControl* family, size_t count, int controlSet) {
  for (size_t i = 0; i < count; ++i) {
    HWND control = GetDlgItem(dialog, family[i].id);
    if (control == nullptr) continue;
    bool shown = Shown(family[i].visibility, controlSet);
    ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
    EnableWindow(control, shown);
  }
}

}  // namespace

void ShowControlFamilies(HWND dialog, int controlSet) {
  if (controlSet == CTLSET_NONE) return;  // a closing dialog keeps what it shows
  ShowFamily(dialog, kGroupBoxes, std::size(kGroupBoxes), controlSet);
  ShowSlidersForSet(dialog, controlSet);
  ShowCheckBoxesForSet(dialog, controlSet);
  ShowFamily(dialog, kEffectSelectorControls, std::size(kEffectSelectorControls), controlSet);
  LoadEffectSelector(dialog, controlSet);
  ShowSettingsControlForSet(dialog, controlSet);
}
