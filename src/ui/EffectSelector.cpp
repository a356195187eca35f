// Choosing a style writes it into the parameters and gives Number of Points the style's own
// count, which a double-click on that slider's thumb then returns to.
#include "ui/EffectSelector.h"

#include <iterator>

#include "params/ParameterBlock.h"
#include "params/ParameterBlockService.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "ui/AcceleratorKeys.h"
#include "ui/ControlSets.h"
#include "ui/Sliders.h"
#include "ui/ToolTips.h"

namespace {

constexpr int kNumberOfPointsRow = 4;

}  // namespace

// clang-format off
const EffectSelectorItem kEffectSelectorItems[kEffectSelectorItemCount] = {
//  name                 type                    points
    {L"Standard Star",   EFFECT_STANDARD_STAR,   6},
    {L"Star Burst",      EFFECT_STAR_BURST,      14},
    {L"Hyper Star",      EFFECT_HYPER_STAR,      14},
    {L"Hollywood Star",  EFFECT_HOLLYWOOD_STAR,  4},
    {L"North Star",      EFFECT_NORTH_STAR,      4},
    {L"Vector Star",     EFFECT_VECTOR_STAR,     8},
    {L"Religious Cross", EFFECT_RELIGIOUS_CROSS, 12},
};
// clang-format on
static_assert(std::size(kEffectSelectorItems) == kEffectStyleCount, "every style once");

int FindEffectSelectorItem(uint32_t type) {
  for (int item = 0; item < kEffectSelectorItemCount; ++item) {
    if (kEffectSelectorItems[item].type == type) return item;
  }
  return -1;
}

void InitializeEffectSelector(HWND dialog) {
  AddToolTip(dialog, IDC_EFFECT_SELECTOR, L"Effect (:) - Select the type of Star Effect to apply to the image.");
}

void LoadEffectSelector(HWND dialog, int set) {
  HWND list = GetDlgItem(dialog, IDC_EFFECT_SELECTOR);
  if (list == nullptr) return;
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  if (set != CTLSET_MAIN) return;
  for (const EffectSelectorItem& item : kEffectSelectorItems) {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.name));
  }
  const ParameterBlock* block = CurrentParameterBlock();
  SendMessageW(list, CB_SETCURSEL, WPARAM(block != nullptr ? FindEffectSelectorItem(block->effectType) : -1), 0);
}

void RefreshEffectSelector(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_EFFECT_SELECTOR);
  const ParameterBlock* block = CurrentParameterBlock();
  if (list == nullptr || block == nullptr) return;
  int item = FindEffectSelectorItem(block->effectType);
  if (SendMessageW(list, CB_GETCURSEL, 0, 0) == item) return;
  SendMessageW(list, CB_SETCURSEL, WPARAM(item), 0);
  SendControlSetEvent(CTLSETEVNT_EFFECT_CHANGED, item);
}

bool OnEffectSelectorCommand(HWND dialog, int code) {
  switch (code) {
    // While the list is open its letters choose items instead of commands.
    case CBN_DROPDOWN: EnableAcceleratorKeys(dialog, false); return true;
    case CBN_CLOSEUP: EnableAcceleratorKeys(dialog, true); return true;
    case CBN_SELCHANGE: break;
    default: return true;
  }
  int item = int(SendDlgItemMessageW(dialog, IDC_EFFECT_SELECTOR, CB_GETCURSEL, 0, 0));
  ParameterBlock* block = CurrentParameterBlock();
  if (item < 0 || item >= kEffectSelectorItemCount || block == nullptr) return true;
  const EffectSelectorItem& chosen = kEffectSelectorItems[item];
  block->effectType = chosen.type;
  SendControlSetEvent(CTLSETEVNT_EFFECT_CHANGED, item);
  SetSliderValue(dialog, kNumberOfPointsRow, chosen.points);
  SetSliderResetValue(kNumberOfPointsRow, chosen.points);
  SendMessageW(dialog, WM_APP_PARAMETERS_CHANGED, 0, 0);
  return true;
}
