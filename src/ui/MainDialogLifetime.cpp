// The main dialog from WM_INITDIALOG to WM_DESTROY: what it creates, in the order the preview
// task relies on, and what it gives back, so that a dialog opened and closed leaves nothing.
#include <windows.h>

#include <commctrl.h>

#include "params/ParameterBlockService.h"
#include "preview/BackgroundTask.h"
#include "preview/PreviewViewState.h"
#include "resource.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"
#include "support/UserMessage.h"
#include "ui/AcceleratorKeys.h"
#include "ui/ControlSets.h"
#include "ui/DialogItems.h"
#include "ui/EffectEditor.h"
#include "ui/EffectSelector.h"
#include "ui/GroupBoxes.h"
#include "ui/KeyboardMonitor.h"
#include "ui/MainDialogHandlers.h"
#include "ui/PanelCheckBoxes.h"
#include "ui/PreviewMouse.h"
#include "ui/PreviewTools.h"
#include "ui/PreviewZoom.h"
#include "ui/SettingsSelectorControl.h"
#include "ui/Sliders.h"
#include "ui/ToolTipTable.h"
#include "ui/ToolTips.h"
#include "ui/UISettings.h"

namespace {

MainDialogState gMainDialog{};
bool gMainDialogOpen = false;
bool gToolTipControlOwnedByDialog = false;

// The window size the template gives: the least the dialog may be sized to.
POINT TemplateWindowSize(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  AdjustWindowRectEx(&client, DWORD(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                     DWORD(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  return POINT{client.right - client.left, client.bottom - client.top};
}

SIZE ControlSize(HWND dialog, int id) {
  RECT r{};
  GetClientRect(GetDlgItem(dialog, id), &r);
  return SIZE{r.right > 0 ? r.right : 16, r.bottom > 0 ? r.bottom : 16};
}

// Icons and the logo at their controls' sizes, so that the statics never scale them.
void LoadControlImages(MainDialogState& state) {
  HINSTANCE instance = GetPluginInstance();
  SIZE help = ControlSize(state.dialog, IDC_HELP_ICON), menu = ControlSize(state.dialog, IDC_SETTINGS_MENU);
  SIZE logo = ControlSize(state.dialog, IDC_LOGO);
  state.helpIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_HELP), IMAGE_ICON, help.cx, help.cy, 0));
  state.settingsIcon =
      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_SETTINGS_MENU), IMAGE_ICON, menu.cx, menu.cy, 0));
  state.logoBitmap = static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, logo.cx, logo.cy, 0));
  if (state.helpIcon == nullptr || state.settingsIcon == nullptr || state.logoBitmap == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "LoadImage() failed to load the dialog's icons and logo.");
  }
  if (state.helpIcon) SendDlgItemMessageW(state.dialog, IDC_HELP_ICON, STM_SETICON, reinterpret_cast<WPARAM>(state.helpIcon), 0);
  if (state.settingsIcon) {
    SendDlgItemMessageW(state.dialog, IDC_SETTINGS_MENU, STM_SETICON, reinterpret_cast<WPARAM>(state.settingsIcon), 0);
  }
  if (state.logoBitmap) {
    // The bitmap the static loaded from the template is its own copy, no longer shown: freed here.
    HGDIOBJ loaded = reinterpret_cast<HGDIOBJ>(
        SendDlgItemMessageW(state.dialog, IDC_LOGO, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(state.logoBitmap)));
    if (loaded != nullptr && loaded != state.logoBitmap) DeleteObject(loaded);
  }
}

// A static of the new common controls may keep its own copy of a bitmap with alpha: whatever it
// holds at the end is freed along with the original.
void ReleaseControlImages(MainDialogState& state) {
  HGDIOBJ shown = reinterpret_cast<HGDIOBJ>(SendDlgItemMessageW(state.dialog, IDC_LOGO, STM_SETIMAGE, IMAGE_BITMAP, 0));
  if (shown != nullptr && shown != state.logoBitmap) DeleteObject(shown);
  SendDlgItemMessageW(state.dialog, IDC_HELP_ICON, STM_SETICON, 0, 0);
  SendDlgItemMessageW(state.dialog, IDC_SETTINGS_MENU, STM_SETICON, 0, 0);
  if (state.logoBitmap) DeleteObject(state.logoBitmap);
  if (state.helpIcon) DestroyIcon(state.helpIcon);
  if (state.settingsIcon) DestroyIcon(state.settingsIcon);
  state.logoBitmap = nullptr;
  state.helpIcon = state.settingsIcon = nullptr;
}

// The tooltip control is made once per load on the host's window; a dialog opened without it
// (no host window) makes its own and destroys it with itself.
void AddMainToolTips(HWND dialog) {
  if (GetToolTipControl() == nullptr) {
    HWND parent = GetParent(dialog);
    gToolTipControlOwnedByDialog = CreateToolTipControl(parent != nullptr ? parent : dialog) && parent == nullptr;
  }
  for (const ToolTipRow& row : kMainToolTips) AddToolTip(dialog, row.control, row.text);
}

void RecordOpeningState(MainDialogState& state, HWND dialog) {
  state = MainDialogState{};
  state.dialog = dialog;
  DialogIsTerminating = false;
  state.selectedTool = gUISettings.previewTool > TOOL_NONE && gUISettings.previewTool < TOOL_COUNT ? gUISettings.previewTool : TOOL_ZOOM;
  if (const ParameterBlock* block = CurrentParameterBlock()) {
    state.openingBlock = *block;
    state.openingBlockValid = true;
  }
  gMainDialogOpen = true;
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
}

void SetUpControls(MainDialogState& state) {
  HWND dialog = state.dialog;
  GetDlgItemTextW(dialog, IDOK, state.okCaption, kCaptionLength);
  GetDlgItemTextW(dialog, IDCANCEL, state.cancelCaption, kCaptionLength);
  RECT client;
  GetClientRect(dialog, &client);
  RecreateDoubleBuffer(state, SIZE{client.right, client.bottom});
  SubclassDialogControls(dialog);
  LoadControlImages(state);
  CheckDlgButton(dialog, IDC_PREVIEW_CHECK, BST_CHECKED);
  state.previewEnabled = true;
  gPreviewViewState.previewEnabled = true;
  AddMainToolTips(dialog);
  InitializeSettingsControl(dialog);
  InitializeEffectSelector(dialog);
  InitializeCheckBoxes(dialog);
  InitializeSliders(dialog);
  SetUpGroupBoxes(dialog);
  LoadDialogAccelerators();
}

}  // namespace

MainDialogState* CurrentMainDialog() { return gMainDialogOpen ? &gMainDialog : nullptr; }

BOOL OnInitDialog(HWND dialog) {
  MainDialogState& state = gMainDialog;
  RecordOpeningState(state, dialog);
  InitializeDialogItems(dialog);
  state.minTrackSize = TemplateWindowSize(dialog);
  state.previousMessageBoxOwner = SetMessageBoxOwner(dialog);
  SetDialogPostingTarget(dialog);
  SetUpControls(state);
  InstallKeyboardMonitor(dialog, GetDlgItem(dialog, IDC_PREVIEW));
  LoadPreviewCursors();
  AttachPreviewInput(dialog, GetDlgItem(dialog, IDC_PREVIEW));
  AttachControlSets(dialog);
  InstallControlSetHandler(CTLSET_MAIN, ControlSetEventHandler);
  InstallControlSetHandler(CTLSET_EDIT_COLOR, EditorControlSetHandler);
  InstallControlSetHandler(CTLSET_EDIT_GRAY, EditorControlSetHandler);
  SelectControlSet(CTLSET_MAIN);
  PlaceMainDialog(dialog, state.minTrackSize);
  // Every opening starts fitted, whatever the last one left.
  ResetPreviewZoom();
  OnPreviewPlaced(dialog);
  // The host's window may not be in front when the filter is started from a script or a menu.
  SetForegroundWindow(dialog);
  PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_QUANTITY_VALUE)), TRUE);
  SignalMainDialogInitialized();
  return FALSE;  // the focus is set by the posted WM_NEXTDLGCTL
}

void OnDestroy(MainDialogState& state) {
  HWND dialog = state.dialog;
  RequestBackgroundTaskTermination();
  RemoveKeyboardMonitor();
  ReleasePreviewCursors();
  ReleaseGroupBoxes(dialog);
  ReleaseSliders(dialog);
  ReleaseSettingsControl();
  ClearControlSets();
  // A control the dialog owns is already gone: owned windows are destroyed before their owner.
  if (gToolTipControlOwnedByDialog) {
    DestroyToolTipControl();
  } else {
    RemoveToolTips(dialog);
  }
  gToolTipControlOwnedByDialog = false;
  UnregisterAcceleratorKeys(dialog);
  RemoveDialogSubclasses(dialog);
  ReleaseControlImages(state);
  ReleaseDoubleBuffer(state);
  DeleteDialogItems();
  SetDialogPostingTarget(nullptr);
  if (state.previousMessageBoxOwner != nullptr) SetMessageBoxOwner(state.previousMessageBoxOwner);
  gPreviewViewState.previewEnabled = false;
  SetWindowLongPtrW(dialog, DWLP_USER, 0);
  gMainDialogOpen = false;
  state = MainDialogState{};
}

void EndMainDialog(MainDialogState& state, int result) {
  if (state.ended) return;
  DialogIsTerminating = true;
  state.ended = true;
  state.endResult = result;
  EndDialog(state.dialog, result);
}

void CommitMainDialog(MainDialogState& state) {
  RECT window;
  if (GetWindowRect(state.dialog, &window)) gUISettings.dialogRect = window;
  gUISettings.previewChecked = state.previewEnabled ? 1 : 0;
  gUISettings.previewTool = state.selectedTool;
  SaveUISettings();
  EndMainDialog(state, IDOK);
}
