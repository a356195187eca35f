// InitialDialogItems and the resize rules. Rectangles are computed from the template's layout plus
// the whole growth of the client area, so that repeated resizes never accumulate rounding.
#include "ui/DialogItems.h"

#include <iterator>

#include "resource.h"
#include "support/ErrorReport.h"
#include "support/Locks.h"

namespace {

struct ResizeRule {
  int id;
  ResizeBehaviour horizontal;
  ResizeBehaviour vertical;
};

// clang-format off
constexpr ResizeRule kResizeRules[] = {
//  control               horizontal    vertical
    {IDC_TOOL_PAN,        RESIZE_NONE,  RESIZE_NONE},
    {IDC_TOOL_ZOOM,       RESIZE_NONE,  RESIZE_NONE},
    {IDC_TOOL_HIDE,       RESIZE_NONE,  RESIZE_NONE},
    {IDC_TOOL_SHOW,       RESIZE_NONE,  RESIZE_NONE},
    {IDC_TOOL_EDIT,       RESIZE_NONE,  RESIZE_NONE},
    {IDC_TOOL_PAN_LABEL,  RESIZE_NONE,  RESIZE_NONE},
    {IDC_TOOL_ZOOM_LABEL, RESIZE_NONE,  RESIZE_NONE},
    {IDC_TOOL_HIDE_LABEL, RESIZE_NONE,  RESIZE_NONE},
    {IDC_TOOL_SHOW_LABEL, RESIZE_NONE,  RESIZE_NONE},
    {IDC_TOOL_EDIT_LABEL, RESIZE_NONE,  RESIZE_NONE},
    {IDC_PREVIEW,         RESIZE_GROW,  RESIZE_GROW},
    {IDC_PREVIEW_FRAME,   RESIZE_GROW,  RESIZE_GROW},
    {IDC_VSCROLL,         RESIZE_MOVE,  RESIZE_GROW},
    {IDC_HSCROLL,         RESIZE_GROW,  RESIZE_MOVE},
    {IDC_PROGRESS,        RESIZE_NONE,  RESIZE_MOVE},
    {IDC_ZOOM_OUT,        RESIZE_NONE,  RESIZE_MOVE},
    {IDC_ZOOM_IN,         RESIZE_NONE,  RESIZE_MOVE},
    {IDC_MAKER_LINK,      RESIZE_NONE,  RESIZE_MOVE},
    {IDC_ZOOM_DISPLAY,    RESIZE_NONE,  RESIZE_MOVE},
    {IDC_ZOOM_MENU,       RESIZE_NONE,  RESIZE_MOVE},
    {IDC_HELP_SUPPORT,    RESIZE_MOVE,  RESIZE_MOVE},
    {IDC_PREVIEW_CHECK,   RESIZE_MOVE,  RESIZE_MOVE},
    {IDC_SIZE_GRIP,       RESIZE_MOVE,  RESIZE_MOVE},
    {IDC_EFFECTS_ONLY,    RESIZE_MOVE,  RESIZE_MOVE},
    {IDC_CONFIGURE,       RESIZE_MOVE,  RESIZE_MOVE},
};
// clang-format on
static_assert(std::size(kResizeRules) == 25, "every control with a rule other than following the right edge");

CRITICAL_SECTION DialogItemsSection;
bool gSectionCreated = false;
DialogItem InitialDialogItems[kMaxDialogItems];
int gItemCount = 0;
SIZE gStoredClientSize{};
SIZE gInitialClientSize{};

struct Enumeration {
  HWND dialog;
  bool overflowReported;
};

BOOL CALLBACK RecordChild(HWND child, LPARAM parameter) {
  auto* enumeration = reinterpret_cast<Enumeration*>(parameter);
  if (GetParent(child) != enumeration->dialog) return TRUE;  // only the dialog's own controls
  if (gItemCount >= kMaxDialogItems) {
    if (!enumeration->overflowReported) {
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "Number of controls has exceeded InitialDialogItems[] table size");
    }
    enumeration->overflowReported = true;
    return TRUE;
  }
  DialogItem& item = InitialDialogItems[gItemCount++];
  item.window = child;
  item.id = GetDlgCtrlID(child);
  GetWindowRect(child, &item.initialRect);
  MapWindowPoints(nullptr, enumeration->dialog, reinterpret_cast<POINT*>(&item.initialRect), 2);
  GetClientRect(child, &item.clientRect);
  ResizeRuleOf(item.id, &item.horizontal, &item.vertical);
  item.currentRect = item.initialRect;
  item.valid = true;
  return TRUE;
}

void Apply(ResizeBehaviour behaviour, LONG delta, LONG* low, LONG* high) {
  if (behaviour == RESIZE_MOVE) *low += delta;
  if (behaviour != RESIZE_NONE) *high += delta;
}

// One deferral per valid control; null when the batch could not be begun or a deferral failed
// (which frees the batch).
HDWP DeferItemMoves(SIZE newSize) {
  LONG dx = newSize.cx - gInitialClientSize.cx, dy = newSize.cy - gInitialClientSize.cy;
  HDWP batch = BeginDeferWindowPos(gItemCount);
  if (batch == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "BeginDeferWindowPos() failed");
    return nullptr;
  }
  for (int i = 0; i < gItemCount && batch != nullptr; ++i) {
    DialogItem& item = InitialDialogItems[i];
    if (!item.valid) continue;
    RECT r = item.initialRect;
    Apply(item.horizontal, dx, &r.left, &r.right);
    Apply(item.vertical, dy, &r.top, &r.bottom);
    item.currentRect = r;
    batch = DeferWindowPos(batch, item.window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    if (batch == nullptr) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError,
                  "DeferWindowPos() failed. Control ID = %u, New Position = (%d,%d), New Width = %d, New Height = %d",
                  unsigned(item.id), int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top));
    }
  }
  return batch;
}

}  // namespace

void ResizeRuleOf(int id, ResizeBehaviour* horizontal, ResizeBehaviour* vertical) {
  for (const ResizeRule& rule : kResizeRules) {
    if (rule.id == id) {
      *horizontal = rule.horizontal;
      *vertical = rule.vertical;
      return;
    }
  }
  *horizontal = RESIZE_MOVE;
  *vertical = RESIZE_NONE;
}

bool InitializeDialogItems(HWND dialog) {
  if (!gSectionCreated) {
    if (!CreateCriticalSection(&DialogItemsSection)) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "Could not create 'DialogItemsSection' critical section.");
      return false;
    }
    gSectionCreated = true;
  }
  ScopedCriticalSection guard(DialogItemsSection);
  gItemCount = 0;
  RECT client;
  GetClientRect(dialog, &client);
  gInitialClientSize = gStoredClientSize = SIZE{client.right, client.bottom};
  Enumeration enumeration{dialog, false};
  EnumChildWindows(dialog, RecordChild, reinterpret_cast<LPARAM>(&enumeration));
  return true;
}

void DeleteDialogItems() {
  if (!gSectionCreated) return;
  DeleteCriticalSection(&DialogItemsSection);
  gSectionCreated = false;
  gItemCount = 0;
}

int DialogItemCount() { return gItemCount; }

// The batch is filled under DialogItemsSection but ended outside it: ending it sends the controls
// their size messages, and the preview window's handler takes locks the preview thread holds
// while it reads the table.
bool RepositionItem(HWND dialog, SIZE newSize) {
  if (!gSectionCreated || dialog == nullptr) return false;
  HDWP batch = nullptr;
  {
    ScopedCriticalSection guard(DialogItemsSection);
    if (newSize.cx == gStoredClientSize.cx && newSize.cy == gStoredClientSize.cy) return true;
    batch = DeferItemMoves(newSize);
    if (batch != nullptr) gStoredClientSize = newSize;
  }
  bool moved = batch != nullptr && EndDeferWindowPos(batch);
  if (batch != nullptr && !moved) {
    ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "EndDeferWindowPos() failed");
  }
  if (!moved) ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "RepositionItem() failed");
  return moved;
}

bool GetDialogItemRect(int id, RECT* rect) {
  if (!gSectionCreated) return false;
  ScopedCriticalSection guard(DialogItemsSection);
  for (int i = 0; i < gItemCount; ++i) {
    if (InitialDialogItems[i].id == id && InitialDialogItems[i].valid) {
      *rect = InitialDialogItems[i].currentRect;
      return true;
    }
  }
  return false;
}
