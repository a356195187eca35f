// The panel's parameter check box, "Effects &Only", as a family of one table row: the sets that
// show it, its tip and the parameter switch it is bound to.
#pragma once
#include <windows.h>

void InitializeCheckBoxes(HWND dialog);
void ShowCheckBoxesForSet(HWND dialog, int set);
// Every box from its bound switch.
void RefreshCheckBoxes(HWND dialog);
// BN_CLICKED of a box; false when the id is not one of the family's.
bool OnCheckBoxCommand(HWND dialog, int id, int code);
