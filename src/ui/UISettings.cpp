// Reads and writes "UISettings.bin" whole; a file of another version is refused and the defaults
// stay, since no older layout has a conversion.
#include "ui/UISettings.h"

#include "support/DataFolders.h"
#include "support/ErrorReport.h"

UISettings gUISettings = DefaultUISettings();

namespace {

constexpr uint16_t kUISettingsVersion[4] = {0, 0, 0, 12};

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
    return false;
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
