// The one record of the open main dialog, kept in its DWLP_USER slot and reachable from the
// control-set handlers, and the operations that end the dialog or queue a preview from it.
#pragma once
#include <windows.h>

#include "params/ParameterBlock.h"

enum PreviewTool : int { TOOL_NONE = 0, TOOL_PAN = 1, TOOL_ZOOM = 2, TOOL_HIDE = 3, TOOL_SHOW = 4, TOOL_EDIT = 5, TOOL_COUNT };

constexpr int kCaptionLength = 128;

struct MainDialogState {
  HWND dialog;
  wchar_t okCaption[kCaptionLength];
  wchar_t cancelCaption[kCaptionLength];
  bool resetMode;
  bool ended;
  int endResult;
  bool okOrCancelPressed;
  bool previewEnabled;
  POINT minTrackSize;  // the template's window size
  HBITMAP bufferBitmap;
  HDC bufferDC;
  HGDIOBJ bufferOldBitmap;
  SIZE bufferSize;
  HICON helpIcon;
  HICON settingsIcon;
  HBITMAP logoBitmap;
  int progressPosition;
  int progressRange;
  HWND previousMessageBoxOwner;
  ParameterBlock openingBlock;  // what Reset returns to
  bool openingBlockValid;
  int selectedTool;
  int lastZoomCommand;  // the zoom command last chosen, until the zoom control takes it over
};

// The open main dialog's record, or null while none is open.
MainDialogState* CurrentMainDialog();

// Ends the dialog once: the preview task learns first that the dialog is going.
void EndMainDialog(MainDialogState& state, int result);
// Saves the window rectangle into "UISettings.bin" and ends with OK.
void CommitMainDialog(MainDialogState& state);
// Queues a render of the whole preview; from another thread the request goes to the preview
// window as a posted message.
void QueuePreviewFromDialog();
