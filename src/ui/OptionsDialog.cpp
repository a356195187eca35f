// The options dialog: its controls, the mutually exclusive OpenGL choices, the theme buttons,
// help, and what OK does with the choices.
#include "ui/OptionsDialog.h"

#include <cstdio>
#include <iterator>

#include "preview/OpenGLSettings.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"
#include "support/HelpViewer.h"
#include "support/ModuleInstance.h"
#include "support/UserMessage.h"
#include "ui/AcceleratorKeys.h"
#include "ui/ColorScheme.h"
#include "ui/HelpTopics.h"
#include "ui/MainDialogState.h"
#include "ui/ThemePreviews.h"
#include "ui/ToolTips.h"

namespace {

struct OpenGLChoiceRow {
  int control;
  int option;
  const char* notice;  // how the notice names the option
};
// clang-format off
constexpr OpenGLChoiceRow kOpenGLChoices[] = {
//  radio button               option                       notice
    {IDC_OPENGL_QUALITY,       OPTIMIZE_FOR_QUALITY,        ", 'Optimize for better display quality',"},
    {IDC_OPENGL_FASTER,        OPTIMIZE_FOR_SPEED,          ", 'Optimize for faster display',"},
    {IDC_OPENGL_COMPATIBILITY, OPTIMIZE_FOR_COMPATIBILITY,  ", 'Optimize for greater compatibility',"},
    {IDC_OPENGL_SOFTWARE,      OPTIMIZE_NONE,               ", 'Use Software Rendering',"},
};

struct ThemeButtonRow {
  int control;
  uint32_t scheme;
};
constexpr ThemeButtonRow kThemeButtons[] = {
//  button               scheme
    {IDC_THEME_SYSTEM,     COLORSCHEME_SYSTEM_LIGHT},
    {IDC_THEME_VERY_DARK,  COLORSCHEME_VERY_DARK},
    {IDC_THEME_DARK,       COLORSCHEME_DARK},
    {IDC_THEME_LIGHT,      COLORSCHEME_LIGHT},
    {IDC_THEME_VERY_LIGHT, COLORSCHEME_VERY_LIGHT},
};

struct ToolTipRow {
  int control;
  const wchar_t* text;
};
constexpr ToolTipRow kOptionsToolTips[] = {
    {IDC_OPTIONS_OK,           L"OK - Commit changes and close this dialog."},
    {IDC_OPTIONS_CANCEL,       L"Cancel (Esc) - Close this dialog without making any changes."},
    {IDC_OPTIONS_HELP_ICON,    L"Help (?) - Click to see help for this Dialog."},
    {IDC_UPDATE_CHECK,         L"Check this box to enable online update checking."},
    {IDC_UPDATE_DAYS,          L"Enter the number of days to wait between update checks."},
    {IDC_NETWORK_OPTIONS,      L"Configure the plug-in for Proxy Server operation.  Please read the manual first."},
    {IDC_OPENGL_COMPATIBILITY, L"Select this option for the greatest compatibility with your current software."},
    {IDC_OPENGL_FASTER,        L"Select this option for a faster display but with reduced display quality."},
    {IDC_OPENGL_QUALITY,       L"Select this option for the best display quality."},
};
// clang-format on

struct OptionsDialogState {
  HWND dialog = nullptr;
  HWND previousOwner = nullptr;
  bool ownToolTips = false;  // opened without a host or main dialog: the tooltip control is ours
  OptionsChoice before{};
  OptionsChoice chosen{};
};
// The one options dialog of the process; a second request brings it to the front.
OptionsDialogState* gOpenOptions = nullptr;

// Both System schemes are the one "System" choice: which of them applies is Windows' to decide.
bool SameScheme(uint32_t a, uint32_t b) {
  return a == b || (a < COLORSCHEME_VERY_DARK && b < COLORSCHEME_VERY_DARK);
}

HWND OpenMainDialog() {
  MainDialogState* main = CurrentMainDialog();
  return main != nullptr && !main->ended ? main->dialog : nullptr;
}

const OpenGLChoiceRow* ChoiceOfControl(int control) {
  for (const OpenGLChoiceRow& row : kOpenGLChoices) {
    if (row.control == control) return &row;
  }
  return nullptr;
}

const ThemeButtonRow* ThemeOfControl(int control) {
  for (const ThemeButtonRow& row : kThemeButtons) {
    if (row.control == control) return &row;
  }
  return nullptr;
}

void ShowOpenGLChoice(HWND dialog, int option) {
  for (const OpenGLChoiceRow& row : kOpenGLChoices) {
    CheckDlgButton(dialog, row.control, row.option == option ? BST_CHECKED : BST_UNCHECKED);
  }
}

void RedrawThemeButtons(HWND dialog) {
  for (const ThemeButtonRow& row : kThemeButtons) InvalidateRect(GetDlgItem(dialog, row.control), nullptr, FALSE);
}

void RegisterHelpKeys(HWND dialog) {
  HACCEL table = LoadAcceleratorsW(GetPluginInstance(), MAKEINTRESOURCEW(IDA_OPTIONS_ACCELERATORS));
  if (table == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError,
                "LoadDialogResources() - Failed to load keyboard accelerator table for about dialog.");
    return;
  }
  if (!RegisterAcceleratorKeys(dialog, table)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "InitializeDialog() - No accelerator key table could registered for window 0x%X.",
                unsigned(reinterpret_cast<uintptr_t>(dialog)));
  }
}

BOOL OnInitDialog(OptionsDialogState& state) {
  HWND dialog = state.dialog;
  state.previousOwner = SetMessageBoxOwner(dialog);
  OpenGLSettingsRecord stored;
  ReadOpenGLRegistryData(&stored);
  state.before.openGLOption = stored.storedDrawingMode;
  state.before.scheme = GetCurrentColorScheme();
  state.chosen = state.before;
  ShowOpenGLChoice(dialog, state.chosen.openGLOption);
  SetDlgItemInt(dialog, IDC_UPDATE_DAYS, 7, FALSE);
  state.ownToolTips = GetToolTipControl() == nullptr && CreateToolTipControl(dialog);
  for (const ToolTipRow& row : kOptionsToolTips) AddToolTip(dialog, row.control, row.text);
  RegisterHelpKeys(dialog);
  return TRUE;
}

void OnDestroy(OptionsDialogState& state) {
  UnregisterAcceleratorKeys(state.dialog);
  RemoveToolTips(state.dialog);
  if (state.ownToolTips) DestroyToolTipControl();
  if (state.previousOwner != nullptr) SetMessageBoxOwner(state.previousOwner);
}

void OnCommand(OptionsDialogState& state, int id, int code) {
  HWND dialog = state.dialog;
  if (const OpenGLChoiceRow* row = ChoiceOfControl(id)) {
    if (code == BN_CLICKED) {
      state.chosen.openGLOption = row->option;
      ShowOpenGLChoice(dialog, row->option);
    }
    return;
  }
  if (const ThemeButtonRow* row = ThemeOfControl(id)) {
    if (code == BN_CLICKED) {
      state.chosen.scheme = row->scheme;
      RedrawThemeButtons(dialog);
    }
    return;
  }
  switch (id) {
    case IDC_OPTIONS_OK: case IDOK:
      CommitOptions(state.before, state.chosen, OpenMainDialog());
      EndDialog(dialog, 1);
      return;
    case IDC_OPTIONS_CANCEL: case IDCANCEL: EndDialog(dialog, 0); return;
    case IDC_OPTIONS_HELP_ICON: if (code == STN_CLICKED) DisplayHTMLControlHelp(IDC_OPTIONS_HELP_ICON); return;
    case ID_DIALOG_HELP: DisplayHTMLControlHelp(IDC_OPTIONS_HELP_ICON); return;
    case ID_HELP_FILE: DisplayHelpFile(); return;
  }
}

INT_PTR DispatchOptionsMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* opened = reinterpret_cast<OptionsDialogState*>(lParam);
    opened->dialog = dialog;
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return OnInitDialog(*opened);
  }
  auto* found = reinterpret_cast<OptionsDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (found == nullptr) return FALSE;
  OptionsDialogState& state = *found;
  switch (message) {
    case WM_COMMAND: OnCommand(state, LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      const ThemeButtonRow* row = ThemeOfControl(int(item->CtlID));
      if (row == nullptr) return FALSE;
      DrawThemePreview(*item, row->scheme, SameScheme(row->scheme, state.chosen.scheme));
      return TRUE;
    }
    case WM_HELP: OnHelpRequest(reinterpret_cast<const HELPINFO*>(lParam)); return TRUE;
    case WM_SYSCOLORCHANGE: RedrawThemeButtons(dialog); return TRUE;
    case WM_APP_SHOW_MESSAGE: ShowPostedUserMessage(dialog, wParam); return TRUE;
    case WM_DESTROY: OnDestroy(state); return FALSE;
  }
  return FALSE;
}

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    return DispatchOptionsMessage(dialog, message, wParam, lParam);
  } catch (...) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "OptionsDialogProc() - Unexpected exception.");
    return FALSE;
  }
}

}  // namespace

void OpenGLNoticeText(int option, char* text, size_t size) {
  if (size == 0) return;
  text[0] = 0;
  for (const OpenGLChoiceRow& row : kOpenGLChoices) {
    if (row.option != option) continue;
    snprintf(text, size, "The OpenGL drawing setting you have chosen%s will take effect the next time the plug-in is started.",
             row.notice);
  }
}

void CommitOptions(const OptionsChoice& before, const OptionsChoice& chosen, HWND mainDialog) {
  if (chosen.openGLOption != before.openGLOption && chosen.openGLOption != OPTIMIZE_UNSET) {
    OpenGLSettingsRecord settings;
    ReadOpenGLRegistryData(&settings);
    settings.m_OpenGLDrawingMode = chosen.openGLOption;
    if (WriteOpenGLRegistryData(&settings)) {
      char notice[256];
      OpenGLNoticeText(chosen.openGLOption, notice, sizeof notice);
      ErrorReport(__LINE__, UserMessage).Report(kStyleInformation, kTitlePleaseNote, "%s", notice);
    }
  }
  if (!SameScheme(chosen.scheme, before.scheme)) {
    SaveColorScheme(chosen.scheme);
    if (ApplyColorScheme(chosen.scheme) && mainDialog != nullptr) {
      PostMessageW(mainDialog, WM_APP_COLOR_SCHEME_CHANGED, GetCurrentColorScheme(), 1);
    }
  }
}

bool OpenOptionsDialog(HWND parent) {
  if (gOpenOptions != nullptr) {
    SetForegroundWindow(gOpenOptions->dialog);
    return false;
  }
  OptionsDialogState state;
  gOpenOptions = &state;
  INT_PTR result = DialogBoxParamW(GetPluginInstance(), MAKEINTRESOURCEW(IDD_OPTIONS_DIALOG), parent, OptionsDialogProc,
                                   reinterpret_cast<LPARAM>(&state));
  gOpenOptions = nullptr;
  if (result == -1) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "OpenOptionsDialog() - DialogBoxParam() failed.");
    return false;
  }
  return result == 1;
}
