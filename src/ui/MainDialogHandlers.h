// The typed handlers of the main dialog's procedure, each in the file of its concern.
#pragma once
#include <windows.h>

#include "ui/MainDialogState.h"

// Initialisation and destruction (MainDialogLifetime.cpp).
BOOL OnInitDialog(HWND dialog);
void OnDestroy(MainDialogState& state);
// Placement from "UISettings.bin" (DialogPlacement.cpp).
void PlaceMainDialog(HWND dialog, POINT minimumSize);
// Commands of controls, menus and accelerators (MainDialogCommands.cpp).
bool OnCommand(MainDialogState& state, int id, int code, HWND control);
bool OnAcceleratorCommand(MainDialogState& state, int command);
void SelectPreviewTool(MainDialogState& state, int tool);
// Painting, colours and the progress bar (MainDialogPaint.cpp).
void RecreateDoubleBuffer(MainDialogState& state, SIZE size);
void ReleaseDoubleBuffer(MainDialogState& state);
void PaintMainDialog(MainDialogState& state, HDC dc, const RECT& area);
INT_PTR OnCtlColor(UINT message, HDC dc, HWND control);
void OnInitProgress(MainDialogState& state, int position, int range);
bool SubclassDialogControls(HWND dialog);
void RemoveDialogSubclasses(HWND dialog);
// The main control set's handler (MainControlSet.cpp).
bool ControlSetEventHandler(int event, intptr_t argument);
void SetOkCancelCaptions(MainDialogState& state, bool reset);
