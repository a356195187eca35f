// The preview window's input: the mouse state machine of the preview tools (clicks, drags with
// the rubber band and its auto-scroll, panning), the keys that move the view, the zoom menu at
// the pointer, the pointer's shape and the focus.
#pragma once
#include <windows.h>

enum PreviewMouseState : int {
  MouseIdle = 0,
  MouseNoTool = 1,
  MouseZoomOut = 2,
  MouseZoomIn = 3,
  MousePan = 4,
  MouseZoomDrag = 5,
  MouseHideDrag = 6,
  MouseRevealDrag = 7,
  MouseShowDrag = 8,
  MouseUnshowDrag = 9,
  MouseEditSelect = 10,
  MouseEditHide = 11,
  MouseEditAdd = 12,
};

// The state a press enters with a tool, Alt held or not; MouseNoTool for an invalid tool.
int MouseStateForPress(int tool, bool alt);
// Subclasses the preview for the dialog's lifetime; the subclass goes with the window.
bool AttachPreviewInput(HWND dialog, HWND preview);
// The current state (tests and the cursor).
int PreviewMouseState();
