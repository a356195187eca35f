// The settings selector (drop-down list 1023) and its menu button (1050): the stored parameter
// sets as list items, loading one, and the menu's Load, Save and Delete.
#pragma once
#include <windows.h>

#include "params/SettingsSelector.h"

// Fills the list ("Default Settings", "Initial Settings", the stored sets), selecting "Initial
// Settings", and gives the list and the button their tips.
bool InitializeSettingsControl(HWND dialog);
void ReleaseSettingsControl();
void ShowSettingsControlForSet(HWND dialog, int set);

// The wParam of WM_APP_PARAMETERS_CHANGED when the selector itself loaded the parameters: the
// dialog queues a preview but keeps the selector's item without the re-check.
constexpr WPARAM kChangedBySettingsSelector = 1;

// After a change from elsewhere: the chosen item stays shown while its set equals the current
// parameters, and the list shows none otherwise; the item shows again once they match.
void RecheckSettingsSelector(HWND dialog);
// Loads an item's set into the parameters and refreshes every control.
bool SelectSettingsEntry(HWND dialog, int index);

// Notifications of the list; true when handled.
bool OnSettingsSelectorCommand(HWND dialog, int code);
// The menu at the button's bottom-right corner; the chosen command is carried out.
void OpenSettingsMenu(HWND dialog);
// A command of the menu (Load, Save, Delete); false for any other id.
bool RunSettingsMenuCommand(HWND dialog, int command);

// The selector's entries, for tests.
const SettingsSelector& CurrentSettingsSelector();
