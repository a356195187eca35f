// WM_COMMAND of the main dialog: OK and Cancel through the control sets, the switches, the tools
// and the accelerator commands by their table.
#include "core/RunResult.h"
#include "params/ParameterBlockService.h"
#include "preview/PreviewViewState.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"
#include "support/HelpViewer.h"
#include "ui/AboutBox.h"
#include "ui/AcceleratorCommands.h"
#include "ui/ControlSets.h"
#include "ui/HelpTopics.h"
#include "ui/OptionsDialog.h"
#include "ui/EffectSelector.h"
#include "ui/MainDialogHandlers.h"
#include "ui/PanelCheckBoxes.h"
#include "ui/PreviewTools.h"
#include "ui/PreviewZoom.h"
#include "ui/SettingsSelectorControl.h"
#include "ui/Sliders.h"

namespace {

struct ToolControl {
  int control;
  int tool;
};
// clang-format off
constexpr ToolControl kToolControls[] = {
//  icon            tool
    {IDC_TOOL_PAN,  TOOL_PAN},
    {IDC_TOOL_ZOOM, TOOL_ZOOM},
    {IDC_TOOL_HIDE, TOOL_HIDE},
    {IDC_TOOL_SHOW, TOOL_SHOW},
    {IDC_TOOL_EDIT, TOOL_EDIT},
};
// clang-format on

int ToolOfControl(int id) {
  for (const ToolControl& row : kToolControls) {
    if (row.control == id) return row.tool;
  }
  return TOOL_NONE;
}

// Ends an editor set back into the main set, or hands the end to the main set's handler.
bool EndThroughControlSet(int event) {
  int set = GetCurrentControlSet();
  if (set == CTLSET_NONE) return false;
  bool handled = SendControlSetEvent(event, 0);
  if (set != CTLSET_MAIN) {
    ReturnToMainControlSet();
    return true;
  }
  return handled;
}

void OnOk(MainDialogState& state) {
  state.okOrCancelPressed = true;
  if (!EndThroughControlSet(CTLSETEVNT_END_OK)) CommitMainDialog(state);
}

void OnCancel(MainDialogState& state) {
  state.okOrCancelPressed = true;
  if (EndThroughControlSet(CTLSETEVNT_END_CANCEL)) return;
  SetRunResult(kUserCanceled);
  ErrorReport(__LINE__, TraceMessage)
      .Report("GetCurrentControlSet returned CTLSET_NONE or Cancel pressed in ProcessWMCommandMessages(), "
              "CurrentControlSet is %d, *gResult set to %d.",
              GetCurrentControlSet(), kUserCanceled);
  EndMainDialog(state, IDCANCEL);
}

void OnPreviewSwitch(MainDialogState& state) {
  state.previewEnabled = IsDlgButtonChecked(state.dialog, IDC_PREVIEW_CHECK) == BST_CHECKED;
  gPreviewViewState.previewEnabled = state.previewEnabled;
  QueuePreviewFromDialog();
}

void ToggleCheck(MainDialogState& state, int id) {
  HWND box = GetDlgItem(state.dialog, id);
  CheckDlgButton(state.dialog, id, IsDlgButtonChecked(state.dialog, id) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  SendMessageW(state.dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(box));
}

void OpenSelector(MainDialogState& state, int id) {
  HWND selector = GetDlgItem(state.dialog, id);
  SendMessageW(state.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(selector), TRUE);
  SendMessageW(selector, CB_SHOWDROPDOWN, TRUE, 0);
}

void OnToolCommand(MainDialogState& state, int tool, bool doubleClicked) {
  SelectPreviewTool(state, tool);
  if (!doubleClicked) return;
  // Double-clicking Pan fits the image in view; double-clicking Zoom goes to 100 %.
  if (tool == TOOL_PAN) OnAcceleratorCommand(state, ID_FIT_IN_VIEW);
  if (tool == TOOL_ZOOM) OnAcceleratorCommand(state, ID_ZOOM_100);
}

bool OnButtonCommand(MainDialogState& state, int id, int code) {
  switch (id) {
    case IDOK: case IDCANCEL:
      if (code == BN_CLICKED) {
        id == IDOK ? OnOk(state) : OnCancel(state);
      } else if (!state.ended) {
        SendMessageW(state.dialog, DM_SETDEFID, IDOK, 0);  // focus moving through OK or Cancel keeps OK the default
      }
      return true;
    case IDC_PREVIEW_CHECK: if (code == BN_CLICKED) OnPreviewSwitch(state); return true;
    case IDC_LOGO: case IDC_HELP_SUPPORT:
      if (code == BN_CLICKED) {
        ShowAboutBox();
        QueuePreviewFromDialog();
      }
      return true;
    case IDC_CONFIGURE:
      if (code == BN_CLICKED) {
        OpenOptionsDialog(state.dialog);
        QueuePreviewFromDialog();
      }
      return true;
    case IDC_HELP_ICON: if (code == STN_CLICKED) DisplayHTMLControlHelp(IDC_HELP_ICON); return true;
    case IDC_SETTINGS_MENU: if (code == STN_CLICKED) OpenSettingsMenu(state.dialog); return true;
    case IDC_ZOOM_MENU: case IDC_ZOOM_DISPLAY: if (code == STN_CLICKED) OpenZoomMenu(state.dialog, id); return true;
    case IDC_ZOOM_IN: case IDC_ZOOM_OUT: if (code == STN_CLICKED) OnZoomCommand(state.dialog, id); return true;
  }
  return false;
}

// The zoom menu's levels are kept for the preview's zoom control; the settings menu's entries
// belong to the settings selector.
bool OnMenuCommand(MainDialogState& state, int id) {
  if (id >= ID_ZOOM_6400 && id <= ID_ZOOM_FIT_ON_SCREEN) {
    state.lastZoomCommand = id;
    OnZoomCommand(state.dialog, id);
    return true;
  }
  return RunSettingsMenuCommand(state.dialog, id);
}

}  // namespace

// A tool not yet available (Hide, Show and Edit until the analysis ends) is remembered and
// shown chosen once it is.
void SelectPreviewTool(MainDialogState& state, int tool) {
  if (tool > TOOL_NONE && tool < TOOL_COUNT) state.selectedTool = tool;
  ShowPreviewTools(state.dialog, state.selectedTool);
  if (HWND preview = GetDlgItem(state.dialog, IDC_PREVIEW)) PostMessageW(preview, WM_APP_CURSOR_REFRESH, 0, 0);
}

bool OnAcceleratorCommand(MainDialogState& state, int command) {
  const AcceleratorCommandRow* row = FindAcceleratorCommand(command);
  if (row == nullptr) return false;
  switch (row->action) {
    case ACCEL_FOCUS_CONTROL:
      SendMessageW(state.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(state.dialog, row->target)), TRUE);
      break;
    case ACCEL_OPEN_SELECTOR: OpenSelector(state, row->target); break;
    case ACCEL_TOGGLE_CHECK: ToggleCheck(state, row->target); break;
    case ACCEL_SELECT_TOOL: SelectPreviewTool(state, row->target); break;
    case ACCEL_CLICK_CONTROL:
      SendMessageW(state.dialog, WM_COMMAND, MAKEWPARAM(row->target, STN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(state.dialog, row->target)));
      break;
    case ACCEL_ZOOM:
      state.lastZoomCommand = row->target;
      OnZoomCommand(state.dialog, row->target);
      break;
    case ACCEL_HELP_FILE: DisplayHelpFile(); break;
    case ACCEL_ACTION_COUNT: break;
  }
  return true;
}

bool OnCommand(MainDialogState& state, int id, int code, HWND control) {
  // A click that was queued behind the one that ended the dialog must not end it a second time,
  // least of all turn an OK into a cancel.
  if (state.ended) return true;
  if (control == nullptr && code == 1) return OnAcceleratorCommand(state, id);
  if (control == nullptr && id != IDOK && id != IDCANCEL) return OnMenuCommand(state, id);
  if (OnButtonCommand(state, id, code)) return true;
  int tool = ToolOfControl(id);
  if (tool != TOOL_NONE) {
    if (code == STN_CLICKED || code == STN_DBLCLK) OnToolCommand(state, tool, code == STN_DBLCLK);
    return true;
  }
  switch (id) {
    case IDC_EFFECT_SELECTOR: return OnEffectSelectorCommand(state.dialog, code);
    case IDC_SETTINGS_SELECTOR: return OnSettingsSelectorCommand(state.dialog, code);
  }
  return OnCheckBoxCommand(state.dialog, id, code) || OnValueBoxCommand(state.dialog, id, code);
}
