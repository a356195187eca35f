// The one tooltip control of the plug-in's dialogs ("tooltips_class32", Tahoma) and the services
// every dialog uses to give its controls a tip, change it and take its tips away again.
#pragma once
#include <windows.h>

// Creates the control on the owner window once per load; true when it exists afterwards.
bool CreateToolTipControl(HWND owner);
void DestroyToolTipControl();
HWND GetToolTipControl();

bool AddToolTip(HWND dialog, int control, const wchar_t* text);
bool UpdateToolTip(HWND dialog, int control, const wchar_t* text);
bool RemoveToolTips(HWND dialog);
