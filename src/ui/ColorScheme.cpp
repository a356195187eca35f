// The current colour scheme, its registry value and its brushes. The scheme is read once per load
// and changed only on the user-interface thread, so none of it is locked.
#include "ui/ColorScheme.h"

#include "support/ErrorReport.h"
#include "ui/ColorTable.h"
#include "ui/ObjectCache.h"

namespace {

uint32_t gColorScheme = COLORSCHEME_DARK;
CObjectCache gThemeBrushes;

// A button face whose mean channel is below half is a dark Windows theme.
bool SystemFaceIsDark() {
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  return (GetRValue(face) + GetGValue(face) + GetBValue(face)) / 3 < 128;
}

void RefreshSystemColumns() {
  for (SchemeColorRow& row : gSchemeColorTable) {
    COLORREF color = GetSysColor(row.systemColor);
    row.colors[COLORSCHEME_SYSTEM_LIGHT] = color;
    row.colors[COLORSCHEME_SYSTEM_DARK] = color;
  }
}

}  // namespace

bool ApplyColorScheme(uint32_t requested) {
  if (requested >= COLORSCHEME_COUNT) return false;
  uint32_t scheme = requested;
  if (requested < COLORSCHEME_VERY_DARK) {
    scheme = SystemFaceIsDark() ? COLORSCHEME_SYSTEM_DARK : COLORSCHEME_SYSTEM_LIGHT;
    RefreshSystemColumns();
  }
  gColorScheme = scheme;
  COLORREF background = GetSchemeColor(SCHEMECOLOR_BACKGROUND);
  if (gThemeBrushes.CurrentObject() == nullptr || gThemeBrushes.CurrentId() != background) {
    gThemeBrushes.GetNewObject(background);
  }
  return true;
}

void LoadColorScheme() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kUIOptionsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    ApplyColorScheme(COLORSCHEME_DARK);
    return;
  }
  DWORD type = 0, value = 0, size = sizeof value;
  LSTATUS read = RegQueryValueExW(key, kColorSchemeValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (read != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) {
    ErrorReport(__LINE__, SystemError, read != ERROR_SUCCESS ? DWORD(read) : DWORD(ERROR_INVALID_DATA))
        .Report(kStyleError, kTitleUnexpectedError, "Failed to read Color Scheme value in UI Options. : ");
    ApplyColorScheme(COLORSCHEME_DARK);
  } else {
    ApplyColorScheme(value);
  }
  LSTATUS closed = RegCloseKey(key);
  if (closed != ERROR_SUCCESS) {
    ErrorReport(__LINE__, SystemError, DWORD(closed))
        .Report(kStyleError, kTitleUnexpectedError, "Failed to close UI Options key after loading of Color Scheme. : ");
  }
}

bool SaveColorScheme(uint32_t scheme) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kUIOptionsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                   nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) {
    ErrorReport(__LINE__, SystemError, DWORD(status))
        .Report(kStyleError, kTitleUnexpectedError, "Failed to create registry key for UI Options. : ");
    return false;
  }
  DWORD value = scheme;
  status = RegSetValueExW(key, kColorSchemeValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  bool saved = status == ERROR_SUCCESS;
  if (!saved) {
    ErrorReport(__LINE__, SystemError, DWORD(status))
        .Report(kStyleError, kTitleUnexpectedError, "Failed to save Color Scheme value in UI Options. : ");
  }
  status = RegCloseKey(key);
  if (status != ERROR_SUCCESS) {
    ErrorReport(__LINE__, SystemError, DWORD(status))
        .Report(kStyleError, kTitleUnexpectedError, "Failed to close UI Options key after save of Color Scheme. : ");
  }
  return saved;
}

uint32_t GetCurrentColorScheme() { return gColorScheme; }

COLORREF GetSchemeColor(uint32_t entry) {
  if (entry >= SCHEMECOLOR_COUNT) return 0;
  return gSchemeColorTable[entry].colors[gColorScheme];
}

HBRUSH GetSchemeBackgroundBrush() {
  COLORREF background = GetSchemeColor(SCHEMECOLOR_BACKGROUND);
  if (gThemeBrushes.CurrentObject() != nullptr && gThemeBrushes.CurrentId() == background) {
    return static_cast<HBRUSH>(gThemeBrushes.CurrentObject());
  }
  return static_cast<HBRUSH>(gThemeBrushes.GetNewObject(background));
}

HBRUSH GetSchemeBrush(COLORREF color) {
  COLORREF background = GetSchemeColor(SCHEMECOLOR_BACKGROUND);
  HBRUSH brush = static_cast<HBRUSH>(gThemeBrushes.GetNewObject(color));
  // The background brush stays the current object, so that the next background lookup is free.
  gThemeBrushes.GetNewObject(background);
  return brush;
}

void DeleteThemeBrushes() { gThemeBrushes.DeleteObjects(); }

COLORREF SchemeColorIn(uint32_t scheme, uint32_t entry) {
  if (entry >= SCHEMECOLOR_COUNT || scheme >= COLORSCHEME_COUNT) return 0;
  if (scheme < COLORSCHEME_VERY_DARK) return GetSysColor(gSchemeColorTable[entry].systemColor);
  return gSchemeColorTable[entry].colors[scheme];
}
