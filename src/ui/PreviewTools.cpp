#include "ui/PreviewTools.h"

#include "resource.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"
#include "ui/MainDialogState.h"
#include "ui/PreviewZoom.h"

namespace {

struct ToolRow {
  int tool;
  int icon;          // the strip's control
  int normalIcon;    // resource of the normal image
  int cursor;        // without Alt
  int altCursor;     // with Alt
};

// clang-format off
constexpr ToolRow kToolRows[] = {
//  tool       icon control    normal image   cursor                altCursor
    {TOOL_PAN,  IDC_TOOL_PAN,  IDI_PAN_TOOL,  IDC_CURSOR_PAN,       IDC_CURSOR_ZOOM_OUT},
    {TOOL_ZOOM, IDC_TOOL_ZOOM, IDI_ZOOM_TOOL, IDC_CURSOR_ZOOM_IN,   IDC_CURSOR_ZOOM_OUT},
    {TOOL_HIDE, IDC_TOOL_HIDE, IDI_HIDE_TOOL, IDC_CURSOR_HIDE,      IDC_CURSOR_SHOW},
    {TOOL_SHOW, IDC_TOOL_SHOW, IDI_SHOW_TOOL, IDC_CURSOR_SHOW,      IDC_CURSOR_HIDE},
    {TOOL_EDIT, IDC_TOOL_EDIT, IDI_EDIT_TOOL, IDC_CURSOR_EDIT,      IDC_CURSOR_HIDE},
};
// clang-format on

constexpr int kCursorIds[] = {IDC_CURSOR_PAN,  IDC_CURSOR_PAN_GRAB, IDC_CURSOR_ZOOM_IN, IDC_CURSOR_ZOOM_OUT, IDC_CURSOR_HIDE,
                              IDC_CURSOR_SHOW, IDC_CURSOR_EDIT,     IDC_CURSOR_ADD,     IDC_CURSOR_ZOOM_LIMIT};
constexpr int kCursorCount = int(sizeof kCursorIds / sizeof kCursorIds[0]);
HCURSOR gCursors[kCursorCount];

HCURSOR CursorOf(int id) {
  for (int i = 0; i < kCursorCount; ++i) {
    if (kCursorIds[i] == id) return gCursors[i] != nullptr ? gCursors[i] : LoadCursorW(nullptr, IDC_ARROW);
  }
  return LoadCursorW(nullptr, IDC_ARROW);
}

HICON ToolImage(int resource) {
  return static_cast<HICON>(LoadImageW(GetPluginInstance(), MAKEINTRESOURCEW(resource), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

}  // namespace

// Space over the preview never reaches the thread's queue (the keyboard monitor keeps it from the
// focused button), so its state is the system's rather than the thread's.
int EffectivePreviewTool(int selectedTool) {
  if (GetKeyState(VK_CONTROL) < 0) return TOOL_ZOOM;
  if (GetKeyState(VK_SPACE) < 0 || GetAsyncKeyState(VK_SPACE) < 0) return TOOL_PAN;
  return selectedTool;
}

void ShowPreviewTools(HWND dialog, int selectedTool) {
  for (const ToolRow& row : kToolRows) {
    HWND icon = GetDlgItem(dialog, row.icon);
    if (icon == nullptr) continue;
    int image = !IsWindowEnabled(icon)         ? IDI_TOOL_DISABLED + row.tool
                : row.tool == selectedTool     ? IDI_TOOL_SELECTED + row.tool
                                               : row.normalIcon;
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(ToolImage(image)), 0);
  }
}

HCURSOR PreviewToolCursor(int tool, bool alt, bool grabbing, double zoom) {
  for (const ToolRow& row : kToolRows) {
    if (row.tool != tool) continue;
    int id = alt ? row.altCursor : row.cursor;
    if (tool == TOOL_PAN && grabbing && !alt) id = IDC_CURSOR_PAN_GRAB;
    if ((id == IDC_CURSOR_ZOOM_IN && zoom >= kMaximumZoom) || (id == IDC_CURSOR_ZOOM_OUT && zoom <= kMinimumZoom)) {
      id = IDC_CURSOR_ZOOM_LIMIT;
    }
    return CursorOf(id);
  }
  return LoadCursorW(nullptr, IDC_ARROW);
}

bool LoadPreviewCursors() {
  bool loaded = true;
  for (int i = 0; i < kCursorCount; ++i) {
    if (gCursors[i] != nullptr) continue;
    gCursors[i] = static_cast<HCURSOR>(LoadImageW(GetPluginInstance(), MAKEINTRESOURCEW(kCursorIds[i]), IMAGE_CURSOR, 0, 0,
                                                  LR_DEFAULTSIZE));
    if (gCursors[i] == nullptr) {
      ErrorReport(__LINE__, SystemError, GetLastError())
          .Report(kStyleError, kTitleUnexpectedError, "Could not retrieve cursor bitmap information.");
      loaded = false;
    }
  }
  return loaded;
}

void ReleasePreviewCursors() {
  for (HCURSOR& cursor : gCursors) {
    if (cursor != nullptr) DestroyCursor(cursor);
    cursor = nullptr;
  }
}
