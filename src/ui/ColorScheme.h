// The colour scheme of the main dialog: five presets and a "System" scheme that follows the
// Windows colours, stored per user in the registry, and the brush the dialog paints with.
#pragma once
#include <windows.h>

#include <cstdint>

enum ColorSchemeIndex : uint32_t {
  COLORSCHEME_SYSTEM_LIGHT = 0,
  COLORSCHEME_SYSTEM_DARK = 1,
  COLORSCHEME_VERY_DARK = 2,
  COLORSCHEME_DARK = 3,
  COLORSCHEME_LIGHT = 4,
  COLORSCHEME_VERY_LIGHT = 5,
  COLORSCHEME_COUNT
};

// Colour table entries with a role of their own (0-30 are the Windows system colours).
enum SchemeColorEntry : uint32_t {
  SCHEMECOLOR_TEXT = 8,
  SCHEMECOLOR_HIGHLIGHT = 13,
  SCHEMECOLOR_HIGHLIGHT_TEXT = 14,
  SCHEMECOLOR_BACKGROUND = 15,
  SCHEMECOLOR_BUTTON_SHADOW = 16,
  SCHEMECOLOR_BUTTON_TEXT = 18,
  SCHEMECOLOR_3D_HIGHLIGHT = 20,
  SCHEMECOLOR_VALUE_FOCUS_BACKGROUND = 32,
  SCHEMECOLOR_VALUE_TEXT = 33,
  SCHEMECOLOR_VALUE_BACKGROUND = 34,
  SCHEMECOLOR_LIGHT_FRAME = 36,
  SCHEMECOLOR_DARK_FRAME = 37,
  SCHEMECOLOR_COUNT = 38
};

constexpr wchar_t kUIOptionsKey[] = L"Software\\Vellbrook Software\\HalvornPro\\3.0\\UI Options";
constexpr wchar_t kColorSchemeValue[] = L"ColorScheme";

void LoadColorScheme();
bool SaveColorScheme(uint32_t scheme);
bool ApplyColorScheme(uint32_t requested);
uint32_t GetCurrentColorScheme();
COLORREF GetSchemeColor(uint32_t entry);
// The brush of the current scheme's background; owned by the scheme's cache.
HBRUSH GetSchemeBackgroundBrush();
// A solid brush of any colour, kept in the scheme's cache until DeleteThemeBrushes.
HBRUSH GetSchemeBrush(COLORREF color);
void DeleteThemeBrushes();
// The colour of an entry in any scheme, without changing the current one: the System schemes
// read Windows' colour of the entry now; 0 for an entry above 37 or a scheme above 5.
COLORREF SchemeColorIn(uint32_t scheme, uint32_t entry);
