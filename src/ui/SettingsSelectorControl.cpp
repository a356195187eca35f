// The list shows the selector's entries in order; the entry last chosen is remembered apart from
// what the list shows, so that a change that is undone by hand finds its entry again.
#include "ui/SettingsSelectorControl.h"

#include "params/ParameterBlockService.h"
#include "resource.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"
#include "ui/AcceleratorKeys.h"
#include "ui/ControlSets.h"
#include "ui/DialogResources.h"
#include "ui/ParameterSetFiles.h"
#include "ui/ToolTips.h"

namespace {

SettingsSelector gSelector;

HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_SETTINGS_SELECTOR); }

void FillList(HWND dialog) {
  HWND list = List(dialog);
  if (list == nullptr) return;
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  for (const SettingsEntry& entry : gSelector.entries) {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name.c_str()));
  }
}

bool EntryMatchesParameters(int index) {
  if (index < 0 || size_t(index) >= gSelector.entries.size()) return false;
  return ParameterBlockService(PARAMSVC_EQUALS_CURRENT, gSelector.entries[size_t(index)].record) != 0;
}

void ShowRememberedEntry(HWND dialog) {
  int shown = EntryMatchesParameters(gSelector.selected) ? gSelector.selected : -1;
  SendMessageW(List(dialog), CB_SETCURSEL, WPARAM(shown), 0);
}

// Whatever the menu did to the parameters reaches every control and the preview.
void AfterSettingsChanged(HWND dialog) {
  FillList(dialog);
  SendMessageW(List(dialog), CB_SETCURSEL, WPARAM(gSelector.selected), 0);
  SendControlSetEvent(CTLSETEVNT_SETTINGS_LOADED, gSelector.selected);
  SendMessageW(dialog, WM_APP_REFRESH_CONTROLS, 0, 0);
  SendMessageW(dialog, WM_APP_PARAMETERS_CHANGED, kChangedBySettingsSelector, 0);
}

bool DeleteAllowed(HWND dialog) {
  return int(SendMessageW(List(dialog), CB_GETCURSEL, 0, 0)) >= kFirstFileEntry;
}

}  // namespace

bool InitializeSettingsControl(HWND dialog) {
  AddToolTip(dialog, IDC_SETTINGS_SELECTOR, L"Settings (T) - Select a set of saved parameters");
  AddToolTip(dialog, IDC_SETTINGS_MENU, L"Menu (M) - Save, load, or delete the current parameter set");
  if (!InitializeSettingsSelector(&gSelector)) return false;
  PopulateSettingsSelector(&gSelector);
  FillList(dialog);
  SendMessageW(List(dialog), CB_SETCURSEL, kInitialSettingsEntry, 0);
  return true;
}

void ReleaseSettingsControl() { ReleaseSettingsSelector(&gSelector); }

void ShowSettingsControlForSet(HWND dialog, int set) {
  for (int id : {IDC_SETTINGS_SELECTOR, IDC_SETTINGS_MENU}) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) continue;
    ShowWindow(control, set == CTLSET_MAIN ? SW_SHOWNA : SW_HIDE);
    EnableWindow(control, set == CTLSET_MAIN);
  }
}

void RecheckSettingsSelector(HWND dialog) { ShowRememberedEntry(dialog); }

bool SelectSettingsEntry(HWND dialog, int index) {
  if (!ApplySettingsEntry(&gSelector, index)) {
    ShowRememberedEntry(dialog);
    return false;
  }
  SendMessageW(List(dialog), CB_SETCURSEL, WPARAM(index), 0);
  SendControlSetEvent(CTLSETEVNT_SETTINGS_LOADED, index);
  SendMessageW(dialog, WM_APP_REFRESH_CONTROLS, 0, 0);
  SendMessageW(dialog, WM_APP_PARAMETERS_CHANGED, kChangedBySettingsSelector, 0);
  return true;
}

bool OnSettingsSelectorCommand(HWND dialog, int code) {
  switch (code) {
    case CBN_DROPDOWN: EnableAcceleratorKeys(dialog, false); return true;
    case CBN_CLOSEUP: EnableAcceleratorKeys(dialog, true); return true;
    case CBN_SELCHANGE: {
      int index = int(SendMessageW(List(dialog), CB_GETCURSEL, 0, 0));
      if (index >= 0 && SelectSettingsEntry(dialog, index)) {
        // The focus moves on, so that the keys that follow are not taken by the list.
        PostMessageW(dialog, WM_NEXTDLGCTL, 0, FALSE);
      }
      return true;
    }
  }
  return true;
}

void OpenSettingsMenu(HWND dialog) {
  HMENU loaded = nullptr;
  HMENU menu = GetSettingsMenu();
  if (menu == nullptr) {
    loaded = LoadMenuW(GetPluginInstance(), MAKEINTRESOURCEW(IDM_SETTINGS_MENU));
    menu = loaded != nullptr ? GetSubMenu(loaded, 0) : nullptr;
  }
  if (menu == nullptr) return;
  EnableMenuItem(menu, ID_SETTINGS_DELETE, MF_BYCOMMAND | (DeleteAllowed(dialog) ? MF_ENABLED : MF_GRAYED));
  RECT button{};
  GetWindowRect(GetDlgItem(dialog, IDC_SETTINGS_MENU), &button);
  SetLastError(ERROR_SUCCESS);
  int command = int(TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY, button.right,
                                   button.bottom, 0, dialog, nullptr));
  DWORD error = GetLastError();
  if (loaded != nullptr) DestroyMenu(loaded);
  if (command == 0) {
    if (error != ERROR_SUCCESS) {
      ErrorReport(__LINE__, SystemError, error)
          .Report(kStyleError, kTitleUnexpectedError, "TrackPopupMenu() failed with error code 0x%X", unsigned(error));
    }
    return;
  }
  if (!RunSettingsMenuCommand(dialog, command)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "TrackPopupMenu() returned unexpected value 0x%X", unsigned(command));
  }
}

bool RunSettingsMenuCommand(HWND dialog, int command) {
  switch (command) {
    case ID_SETTINGS_LOAD:
      if (LoadParameterSet(dialog, &gSelector)) AfterSettingsChanged(dialog);
      return true;
    case ID_SETTINGS_SAVE:
      if (SaveParameterSet(dialog, &gSelector)) AfterSettingsChanged(dialog);
      return true;
    case ID_SETTINGS_DELETE: {
      int index = int(SendMessageW(List(dialog), CB_GETCURSEL, 0, 0));
      if (index < kFirstFileEntry) return true;
      DeleteParameterSet(dialog, &gSelector, index);
      FillList(dialog);
      ShowRememberedEntry(dialog);
      return true;
    }
  }
  return false;
}

const SettingsSelector& CurrentSettingsSelector() { return gSelector; }
