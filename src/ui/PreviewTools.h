// The five preview tools: which one acts (Ctrl makes any tool zoom, Space pan), how the tool strip
// shows the chosen one, and the pointer each tool shows over the preview.
#pragma once
#include <windows.h>

// The tool that a press would use now, from the chosen tool and the keys held.
int EffectivePreviewTool(int selectedTool);
// Shows `selectedTool` chosen and the others normal; tools not yet available show disabled.
void ShowPreviewTools(HWND dialog, int selectedTool);
// The pointer of a tool with or without Alt; `grabbing` while the Pan tool drags. The zoom
// pointers turn into the no-further-zoom pointer at the end of the zoom levels.
HCURSOR PreviewToolCursor(int tool, bool alt, bool grabbing, double zoom);
// Loads the pointers once for the dialog's lifetime, and lets them go with it.
bool LoadPreviewCursors();
void ReleasePreviewCursors();
