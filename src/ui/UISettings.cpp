// Reads and writes "UISettings.bin" whole; a file of another version or size, or one whose fields
// no dialog could have written, is refused: the defaults stay and replace it on disk, so that the
// same bad file is not read and refused on every run.
#include "ui/UISettings.h"

#include <string>

#include "support/DataFolders.h"
#include "support/ErrorReport.h"

UISettings gUISettings = DefaultUISettings();

namespace {

constexpr uint16_t kUISettingsVersion[4] = {0, 0, 0, 12};

constexpr LONG kLargestCoordinate = 1 << 20;

bool RectangleIsPlausible(const RECT& r) {
  if (r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0) return true;
  for (LONG c : {r.left, r.top, r.right, r.bottom}) {
    if (c < -kLargestCoordinate || c > kLargestCoordinate) return false;
  }
  return r.left < r.right && r.top < r.bottom;
}

bool FieldsArePlausible(const UISettings& s) {
  return s.previewTool >= 1 && s.previewTool <= 5 && (s.previewChecked == 0 || s.previewChecked == 1) &&
         s.debugImageZoom >= 0 && s.debugImageZoom <= 3 && RectangleIsPlausible(s.dialogRect) &&
         RectangleIsPlausible(s.debugImageRect);
}

// The file's size, or -1 when there is none (or no Settings folder to hold it).
long long StoredFileSize() {
  const wchar_t* folder = GetSettingsFolder();
  if (folder == nullptr) return -1;
  std::wstring path = std::wstring(folder) + L"\\" + kUISettingsFileName;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool ReplaceWithDefaults() {
  gUISettings = DefaultUISettings();
  SaveUISettings();
  return false;
}

bool VersionMatches(const UISettings& settings) {
  for (int i = 0; i < 4; ++i) {
    if (settings.version[i] != kUISettingsVersion[i]) return false;
  }
  return true;
}

}  // namespace

UISettings DefaultUISettings() {
  UISettings settings{};
  for (int i = 0; i < 4; ++i) settings.version[i] = kUISettingsVersion[i];
  settings.previewTool = 2;
  settings.previewChecked = 1;
  return settings;
}

bool LoadUISettings() {
  gUISettings = DefaultUISettings();
  long long size = StoredFileSize();
  if (size < 0) {
    UISettings absent{};
    ReadSettingsFile(kUISettingsFileName, &absent, sizeof absent);  // logs why there is nothing to read
    return false;
  }
  if (size != static_cast<long long>(sizeof(UISettings))) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleWarning, kTitleDebugWarning, "User Setting File has %lld bytes instead of %u; the defaults are used.",
                size, unsigned(sizeof(UISettings)));
    return ReplaceWithDefaults();
  }
  UISettings stored{};
  if (!ReadSettingsFile(kUISettingsFileName, &stored, sizeof stored)) return false;
  if (!VersionMatches(stored)) {
    // The version fields are signed 16-bit values in the file's description of itself.
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleWarning, kTitleDebugWarning,
                "User Setting File version mismatch.\n\nFile Version = %d.%d.%d.%d, Expected Version = %d.%d.%d.%d.\n\n"
                "Conversion will be performed if possible.",
                int16_t(stored.version[0]), int16_t(stored.version[1]), int16_t(stored.version[2]),
                int16_t(stored.version[3]), kUISettingsVersion[0], kUISettingsVersion[1], kUISettingsVersion[2],
                kUISettingsVersion[3]);
    return ReplaceWithDefaults();
  }
  if (!FieldsArePlausible(stored)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleWarning, kTitleDebugWarning,
                "User Setting File holds values out of range (tool %d, preview %d, zoom %d); the defaults are used.",
                int(stored.previewTool), int(stored.previewChecked), int(stored.debugImageZoom));
    return ReplaceWithDefaults();
  }
  gUISettings = stored;
  return true;
}

bool SaveUISettings() {
  for (int i = 0; i < 4; ++i) gUISettings.version[i] = kUISettingsVersion[i];
  return WriteSettingsFile(kUISettingsFileName, &gUISettings, sizeof gUISettings);
}

bool DialogRectSaved(const UISettings& settings) {
  const RECT& r = settings.dialogRect;
  return r.left != 0 || r.top != 0 || r.right != 0 || r.bottom != 0;
}
