// The panel's check boxes ("&Preview", "Effects &Only") drawn in the colour scheme through their
// custom-draw notices, since a themed check box ignores the colours WM_CTLCOLORSTATIC gives it.
#pragma once
#include <windows.h>

#include <commctrl.h>

bool IsPanelCheckBox(int id);
// The answer to a panel check box's NM_CUSTOMDRAW: box, check mark, label and focus drawn here.
LRESULT DrawPanelCheckBox(const NMCUSTOMDRAW& draw);
