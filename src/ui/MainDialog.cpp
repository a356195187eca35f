// HalvornProc: a short dispatch to the typed handlers, the dialog's end after any message that
// left the run's result set, and the size, activation and private messages.
#include "ui/MainDialog.h"

#include <initializer_list>

#include "core/RunResult.h"
#include "params/ParameterBlockService.h"
#include "preview/BackgroundTask.h"
#include "preview/ProxyDisplay.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"
#include "support/UserMessage.h"
#include "ui/CheckBoxDrawing.h"
#include "ui/ColorScheme.h"
#include "ui/ControlSets.h"
#include "ui/DialogItems.h"
#include "ui/EffectSelector.h"
#include "ui/HelpTopics.h"
#include "ui/MainDialogHandlers.h"
#include "ui/NonClientSize.h"
#include "ui/PanelCheckBoxes.h"
#include "ui/PreviewZoom.h"
#include "ui/SettingsSelectorControl.h"
#include "ui/SliderDrawing.h"
#include "ui/SliderTable.h"
#include "ui/Sliders.h"
#include "ui/UISettings.h"

namespace {

MainDialogState* StateOf(HWND dialog) {
  MainDialogState* state = CurrentMainDialog();
  return state != nullptr && state->dialog == dialog ? state : nullptr;
}

// Results go through DWLP_MSGRESULT except for the messages whose result the dialog manager
// takes from the procedure's return value.
INT_PTR SetDialogResult(HWND dialog, UINT message, LRESULT result) {
  switch (message) {
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_COMPAREITEM:
    case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON: case WM_INITDIALOG:
      return INT_PTR(result);
  }
  SetLastError(ERROR_SUCCESS);
  if (SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result) == 0 && GetLastError() != ERROR_SUCCESS) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to set Dialog result, Dialog ID = 0x%X; Result = 0x%X",
                unsigned(reinterpret_cast<uintptr_t>(dialog)), unsigned(result));
  }
  return TRUE;
}

// The template's size is the least the dialog may have, whatever drags or moves ask for.
void OnWindowPosChanging(MainDialogState& state, WINDOWPOS* position) {
  if (position->flags & SWP_NOSIZE) return;
  if (position->cx < state.minTrackSize.x) position->cx = state.minTrackSize.x;
  if (position->cy < state.minTrackSize.y) position->cy = state.minTrackSize.y;
  RecreateDoubleBuffer(state, SIZE{position->cx, position->cy});
}

void OnWindowPosChanged(MainDialogState& state, const WINDOWPOS* position) {
  if (position->flags & SWP_NOSIZE) return;
  RECT client;
  GetClientRect(state.dialog, &client);
  RepositionItem(state.dialog, SIZE{client.right, client.bottom});
  if (!state.ended) {
    RecreateDoubleBuffer(state, SIZE{client.right, client.bottom});
    OnPreviewPlaced(state.dialog);
  }
}

// Leaving the application releases every modifier the dialog saw going down.
void OnActivateApp(MainDialogState& state, bool active) {
  if (active) return;
  SetSizeMoveInProgress(false);
  if (!state.ended) QueuePreviewFromDialog();
  SendControlSetEvent(CTLSETEVNT_KEYSTATE, 0);
}

void OnEndSession(MainDialogState& state, bool ending) {
  if (!ending) return;
  SetRunResult(kUserCanceled);
  ErrorReport(__LINE__, TraceMessage).Report("System sent WM_ENDSESSION in SpindrelProc(), *gResult set to %d.", kUserCanceled);
  EndMainDialog(state, IDCANCEL);
}

void OnInitComplete(MainDialogState& state) {
  for (int id : {IDC_TOOL_HIDE, IDC_TOOL_SHOW, IDC_TOOL_EDIT, IDC_TOOL_HIDE_LABEL, IDC_TOOL_SHOW_LABEL, IDC_TOOL_EDIT_LABEL}) {
    EnableWindow(GetDlgItem(state.dialog, id), TRUE);
  }
  SelectPreviewTool(state, state.selectedTool);
}

void OnRedrawPreviewFrame(MainDialogState& state) {
  RECT frame;
  if (GetDialogItemRect(IDC_PREVIEW, &frame)) {
    RedrawWindow(state.dialog, &frame, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
}

// Every track bar and value box takes the new scheme: icons, range, colours.
void ForwardToSliderControls(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  for (const SliderRow& row : kSliderRows) {
    for (int id : {int(row.trackBar), int(row.valueBox)}) {
      if (HWND control = GetDlgItem(dialog, id)) SendMessageW(control, message, wParam, lParam);
    }
  }
}

void OnColorSchemeChanged(MainDialogState& state, uint32_t scheme) {
  ApplyColorScheme(scheme);
  ForwardToSliderControls(state.dialog, WM_APP_COLOR_SCHEME_CHANGED, scheme, 1);
  SetPreviewBackgroundColor(GetSchemeColor(SCHEMECOLOR_BACKGROUND));
  if (HWND preview = GetDlgItem(state.dialog, IDC_PREVIEW)) {
    SendMessageW(preview, WM_APP_COLOR_SCHEME_CHANGED, scheme, 1);
  }
  RedrawWindow(state.dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// A System scheme takes Windows' new colours into every control that keeps colours of its own (the
// value boxes, the preview), as a change made in the options dialog does.
void OnSysColorChange(MainDialogState& state) {
  for (HWND child = GetWindow(state.dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
  }
  if (GetCurrentColorScheme() < COLORSCHEME_VERY_DARK) {
    OnColorSchemeChanged(state, COLORSCHEME_SYSTEM_LIGHT);
    return;
  }
  InvalidateRect(state.dialog, nullptr, TRUE);
}

void OnPaint(MainDialogState& state) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(state.dialog, &paint);
  if (dc != nullptr) PaintMainDialog(state, dc, paint.rcPaint);
  EndPaint(state.dialog, &paint);
}

// The private messages of the dialog; false for any other message.
bool OnAppMessage(MainDialogState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_APP_PARAMETERS_CHANGED:
      if (wParam != kChangedBySettingsSelector) RecheckSettingsSelector(state.dialog);
      QueuePreviewFromDialog();
      return true;
    case WM_APP_REFRESH_CONTROLS:
      RefreshSliders(state.dialog);
      RefreshEffectSelector(state.dialog);
      RefreshCheckBoxes(state.dialog);
      RecheckSettingsSelector(state.dialog);
      return true;
    case WM_APP_INIT_PROGRESS: OnInitProgress(state, int(wParam), int(lParam)); return true;
    case WM_APP_INIT_COMPLETE: OnInitComplete(state); return true;
    case WM_APP_REDRAW_PREVIEW_FRAME: OnRedrawPreviewFrame(state); return true;
    case WM_APP_SHOW_MESSAGE: ShowPostedUserMessage(state.dialog, wParam); return true;
    case WM_APP_COLOR_SCHEME_CHANGED: OnColorSchemeChanged(state, uint32_t(wParam)); return true;
    case WM_APP_KEY_STATE: SendControlSetEvent(CTLSETEVNT_KEYSTATE, KeyStateArgument(WORD(wParam), WORD(lParam))); return true;
  }
  return false;
}

INT_PTR Dispatch(MainDialogState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND dialog = state.dialog;
  switch (message) {
    case WM_COMMAND: return OnCommand(state, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_HSCROLL:
      if (OnSliderScroll(dialog, reinterpret_cast<HWND>(lParam))) return SetDialogResult(dialog, message, 0);
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_HSCROLL)) OnPreviewScroll(dialog, SB_HORZ, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_VSCROLL:
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_VSCROLL)) OnPreviewScroll(dialog, SB_VERT, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->code != NM_CUSTOMDRAW) return FALSE;
      const auto& draw = *reinterpret_cast<const NMCUSTOMDRAW*>(lParam);
      if (IsPanelCheckBox(int(header->idFrom))) return SetDialogResult(dialog, message, DrawPanelCheckBox(draw));
      if (FindSliderRowByTrackBar(int(header->idFrom)) < 0) return FALSE;
      return SetDialogResult(dialog, message, DrawSliderTrackBar(draw));
    }
    case WM_PAINT: OnPaint(state); return TRUE;
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(dialog, &client);
      PaintMainDialog(state, reinterpret_cast<HDC>(wParam), client);
      return TRUE;
    }
    case WM_ERASEBKGND: case WM_QUERYENDSESSION: return SetDialogResult(dialog, message, TRUE);
    case WM_CTLCOLORDLG: case WM_CTLCOLORBTN: case WM_CTLCOLORSTATIC: case WM_CTLCOLORSCROLLBAR:
      return OnCtlColor(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SYSCOLORCHANGE: OnSysColorChange(state); return TRUE;
    case WM_HELP: OnHelpRequest(reinterpret_cast<const HELPINFO*>(lParam)); return SetDialogResult(dialog, message, TRUE);
    case WM_THEMECHANGED: case WM_DWMCOMPOSITIONCHANGED: case WM_DWMNCRENDERINGCHANGED: case WM_WININICHANGE: return TRUE;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = state.minTrackSize;
      return SetDialogResult(dialog, message, 0);
    case WM_WINDOWPOSCHANGING: OnWindowPosChanging(state, reinterpret_cast<WINDOWPOS*>(lParam)); return FALSE;
    case WM_WINDOWPOSCHANGED: OnWindowPosChanged(state, reinterpret_cast<WINDOWPOS*>(lParam)); return FALSE;
    case WM_NCCALCSIZE: {
      LRESULT result = 0;
      if (!KeepRightPanelWhileSizing(dialog, wParam, lParam, &result)) return FALSE;
      return SetDialogResult(dialog, message, result);
    }
    case WM_MOUSEWHEEL: case WM_MOUSEHWHEEL:
      OnPreviewWheel(dialog, GET_WHEEL_DELTA_WPARAM(wParam), GET_KEYSTATE_WPARAM(wParam), message == WM_MOUSEHWHEEL);
      return SetDialogResult(dialog, message, 0);
    case WM_ENTERSIZEMOVE: SetSizeMoveInProgress(true); return TRUE;
    // Alt is the preview tools' modifier and turns Cancel into Reset: let go on its own it must not
    // take the keyboard into the window menu, where the next keys and clicks would be lost.
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_KEYMENU && lParam == 0) return SetDialogResult(dialog, message, 0);
      return FALSE;
    case WM_EXITSIZEMOVE:
      SetSizeMoveInProgress(false);
      QueuePreviewFromDialog();
      return TRUE;
    case WM_ACTIVATEAPP: OnActivateApp(state, wParam != FALSE); return SetDialogResult(dialog, message, 0);
    case WM_ENDSESSION: OnEndSession(state, wParam != FALSE); return SetDialogResult(dialog, message, 0);
    case WM_DESTROY: OnDestroy(state); return TRUE;
  }
  return OnAppMessage(state, message, wParam, lParam) ? TRUE : FALSE;
}

}  // namespace

extern "C" __declspec(dllexport) INT_PTR CALLBACK HalvornProc(HWND dialog, UINT message, WPARAM wParam,
                                                              LPARAM lParam) noexcept {
  INT_PTR handled = FALSE;
  try {
    if (message == WM_INITDIALOG) return OnInitDialog(dialog);
    MainDialogState* state = StateOf(dialog);
    if (state == nullptr) return FALSE;
    handled = Dispatch(*state, message, wParam, lParam);
    // Any part of the plug-in that fails while the dialog runs ends it after the current message.
    state = StateOf(dialog);
    if (state != nullptr && !state->ended && RunResult() != 0) EndMainDialog(*state, IDCANCEL);
  } catch (...) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "HalvornProc() - Unexpected exception.");
    if (RunResult() == 0) SetRunResult(kTaskError);
  }
  return handled;
}
