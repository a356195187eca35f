// The main control set's handler: OK and Cancel of the parameter panel, and reset mode, in which
// Cancel (or Esc) while Alt is held returns the dialog to the values it opened with.
#include "core/RunResult.h"
#include "params/ParameterBlockService.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"
#include "ui/AcceleratorKeys.h"
#include "ui/ControlSets.h"
#include "ui/MainDialogHandlers.h"
#include "ui/SettingsSelectorControl.h"
#include "ui/ToolTipTable.h"
#include "ui/ToolTips.h"

namespace {

constexpr WORD kAltKey = VK_MENU;

void EnterMainSet(MainDialogState& state) {
  SetOkCancelCaptions(state, false);
  PostMessageW(state.dialog, WM_APP_REFRESH_CONTROLS, 0, 0);
  if (!RegisterAcceleratorKeys(state.dialog, MainAcceleratorTable())) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "InitializeDialog() - No accelerator key table could registered for window 0x%X.",
                unsigned(reinterpret_cast<uintptr_t>(state.dialog)));
  }
  SendMessageW(state.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(state.dialog, IDOK)), TRUE);
}

// The controls go back to the values the dialog opened with ("Initial Settings"); the dialog
// stays open.
void ResetDialog(MainDialogState& state) {
  if (SelectSettingsEntry(state.dialog, kInitialSettingsEntry)) return;
  ParameterBlock* block = CurrentParameterBlock();
  if (block != nullptr && state.openingBlockValid) *block = state.openingBlock;
  PostMessageW(state.dialog, WM_APP_REFRESH_CONTROLS, 0, 0);
  PostMessageW(state.dialog, WM_APP_PARAMETERS_CHANGED, 0, 0);
}

void OnKeyState(MainDialogState& state, intptr_t argument) {
  WORD key = KeyCodeOf(argument);
  if (key == 0) {
    SetOkCancelCaptions(state, false);
  } else if (key == kAltKey) {
    SetOkCancelCaptions(state, !KeyReleased(argument));
  } else {
    SetOkCancelCaptions(state, state.resetMode);
  }
}

}  // namespace

// OK always reads its own caption; Cancel reads "Reset" in reset mode.
void SetOkCancelCaptions(MainDialogState& state, bool reset) {
  SetDlgItemTextW(state.dialog, IDOK, state.okCaption);
  UpdateToolTip(state.dialog, IDOK, kOkTip);
  SetDlgItemTextW(state.dialog, IDCANCEL, reset ? L"Reset" : state.cancelCaption);
  UpdateToolTip(state.dialog, IDCANCEL, reset ? kResetTip : kCancelTip);
  state.resetMode = reset;
}

bool ControlSetEventHandler(int event, intptr_t argument) {
  MainDialogState* state = CurrentMainDialog();
  if (state == nullptr) return false;
  switch (event) {
    case CTLSETEVNT_ENTER: EnterMainSet(*state); return true;
    case CTLSETEVNT_END_OK: CommitMainDialog(*state); return true;
    case CTLSETEVNT_END_CANCEL:
      if (state->resetMode) {
        ResetDialog(*state);
        return true;
      }
      SetRunResult(kUserCanceled);
      ErrorReport(__LINE__, TraceMessage).Report("CTLSETEVNT_END_CANCEL in ControlSetEventHandler(), *gResult set to %d.", kUserCanceled);
      EndMainDialog(*state, IDCANCEL);
      return true;
    case 3: case 4: case 5: case 6: return true;
    case CTLSETEVNT_LEAVE: UnregisterAcceleratorKeys(state->dialog); return true;
    case CTLSETEVNT_KEYSTATE: OnKeyState(*state, argument); return true;
  }
  return false;
}
