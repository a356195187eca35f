// A click on a check box writes its switch into the current ParameterBlock and tells the set
// and the dialog, as a slider's change does.
#include "ui/PanelCheckBoxes.h"

#include <iterator>

#include "params/ParameterBlock.h"
#include "params/ParameterBlockService.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "ui/ControlSets.h"
#include "ui/ToolTips.h"

namespace {

struct CheckBoxRow {
  int control;
  const wchar_t* tip;
  int sets[3];
  ParameterIndex bound;
};

// clang-format off
constexpr CheckBoxRow kCheckBoxes[] = {
//  control           tip                                                                                 sets                 bound
    {IDC_EFFECTS_ONLY, L"Effects Only (O) - Check to output the effects only, excluding the original image", {CTLSET_MAIN, CTLSET_EDIT_COLOR, CTLSET_EDIT_GRAY}, PARAM_EFFECTS_ONLY},
};
// clang-format on
static_assert(std::size(kCheckBoxes) == 1, "one parameter switch on the panel");

bool InSet(const CheckBoxRow& row, int set) {
  for (int member : row.sets) {
    if (member == set && set != CTLSET_NONE) return true;
  }
  return false;
}

const CheckBoxRow* FindCheckBox(int id) {
  for (const CheckBoxRow& row : kCheckBoxes) {
    if (row.control == id) return &row;
  }
  return nullptr;
}

}  // namespace

void InitializeCheckBoxes(HWND dialog) {
  for (const CheckBoxRow& row : kCheckBoxes) AddToolTip(dialog, row.control, row.tip);
  RefreshCheckBoxes(dialog);
}

void ShowCheckBoxesForSet(HWND dialog, int set) {
  for (const CheckBoxRow& row : kCheckBoxes) {
    HWND box = GetDlgItem(dialog, row.control);
    if (box == nullptr) continue;
    ShowWindow(box, InSet(row, set) ? SW_SHOWNA : SW_HIDE);
    EnableWindow(box, InSet(row, set));
  }
}

void RefreshCheckBoxes(HWND dialog) {
  const ParameterBlock* block = CurrentParameterBlock();
  if (block == nullptr) return;
  for (const CheckBoxRow& row : kCheckBoxes) {
    CheckDlgButton(dialog, row.control, GetBlockValue(*block, row.bound) != 0 ? BST_CHECKED : BST_UNCHECKED);
  }
}

bool OnCheckBoxCommand(HWND dialog, int id, int code) {
  const CheckBoxRow* row = FindCheckBox(id);
  if (row == nullptr) return false;
  ParameterBlock* block = CurrentParameterBlock();
  if (code != BN_CLICKED || block == nullptr) return true;
  SetBlockValue(block, row->bound, IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0);
  if (InSet(*row, GetCurrentControlSet())) SendControlSetEvent(CTLSETEVNT_SLIDERS_CHANGED, id);
  SendMessageW(dialog, WM_APP_PARAMETERS_CHANGED, 0, 0);
  return true;
}
