// The main dialog's controls as they were laid out by the template, with the rule by which each
// follows the dialog's growth; the preview thread reads the preview's rectangle from it.
#pragma once
#include <windows.h>

enum ResizeBehaviour { RESIZE_NONE, RESIZE_MOVE, RESIZE_GROW, RESIZE_COUNT };

struct DialogItem {
  HWND window;
  int id;
  RECT initialRect;  // window rectangle in dialog client coordinates at initialisation
  RECT clientRect;
  ResizeBehaviour horizontal;
  ResizeBehaviour vertical;
  RECT currentRect;
  bool valid;
};

constexpr int kMaxDialogItems = 150;

// Creates DialogItemsSection and records every child of the dialog with its rule.
bool InitializeDialogItems(HWND dialog);
void DeleteDialogItems();
int DialogItemCount();
// The rule of a control id: horizontal and vertical behaviour.
void ResizeRuleOf(int id, ResizeBehaviour* horizontal, ResizeBehaviour* vertical);
// Moves every recorded control for a new client size, in one deferred batch.
bool RepositionItem(HWND dialog, SIZE newSize);
// The current rectangle of a control in dialog client coordinates; false when it is not recorded.
bool GetDialogItemRect(int id, RECT* rect);
