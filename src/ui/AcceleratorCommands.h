// What each accelerator command of the main dialog does, as one table; the editor's table uses
// the same commands and adds the focus keys of the effect editor's sliders.
#pragma once
#include "ui/MainDialogState.h"

enum AcceleratorAction {
  ACCEL_FOCUS_CONTROL,    // move the focus to the control
  ACCEL_OPEN_SELECTOR,    // focus a drop-down list and open it
  ACCEL_TOGGLE_CHECK,     // flip a check box as a click would
  ACCEL_SELECT_TOOL,      // choose a preview tool
  ACCEL_CLICK_CONTROL,    // send the control's click to the dialog
  ACCEL_ZOOM,             // a zoom command of the preview
  ACCEL_HELP_FILE,        // open the help file at its start page
  ACCEL_ACTION_COUNT
};

struct AcceleratorCommandRow {
  int command;
  AcceleratorAction action;
  int target;  // control id, tool number or zoom command
  const char* name;
};

const AcceleratorCommandRow* FindAcceleratorCommand(int command);
