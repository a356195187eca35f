// "UISettings.bin": what the user interface keeps between runs (dialog placement, preview tool,
// the preview switch and the debug image viewer), read before the main dialog opens.
#pragma once
#include <windows.h>

#include <cstdint>

struct UISettings {
  uint16_t version[4];
  RECT dialogRect;  // screen coordinates; all zero = never saved
  int32_t previewTool;
  int32_t previewChecked;
  RECT debugImageRect;
  int32_t debugImageZoom;  // 0 = x1, 1 = x2, 2 = x4, 3 = x8
};
static_assert(sizeof(UISettings) == 52, "the file holds exactly 52 bytes");

constexpr wchar_t kUISettingsFileName[] = L"UISettings.bin";
extern UISettings gUISettings;

UISettings DefaultUISettings();
// True when the file was read and had the expected version; otherwise the defaults are in force.
bool LoadUISettings();
bool SaveUISettings();
bool DialogRectSaved(const UISettings& settings);
