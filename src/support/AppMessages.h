// The private window messages by which threads and dialogs of the plug-in talk to one another.
#pragma once
#include <windows.h>

constexpr UINT WM_APP_CURSOR_REFRESH = WM_APP + 1;
constexpr UINT WM_APP_PARAMETERS_CHANGED = WM_APP + 2;
constexpr UINT WM_APP_REFRESH_CONTROLS = WM_APP + 3;
constexpr UINT WM_APP_INIT_PROGRESS = WM_APP + 4;
constexpr UINT WM_APP_INIT_COMPLETE = WM_APP + 5;
constexpr UINT WM_APP_INVALIDATE_PROXY = WM_APP + 6;
constexpr UINT WM_APP_REDRAW_PREVIEW_FRAME = WM_APP + 7;
// WM_APP + 9, WM_APP_SHOW_MESSAGE, is the error reporter's (UserMessage.h).
constexpr UINT WM_APP_COLOR_SCHEME_CHANGED = WM_APP + 11;
constexpr UINT WM_APP_KEY_STATE = WM_APP + 12;
