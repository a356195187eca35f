// The help topic table: one row per control, menu command or run of menu commands, with the
// control sets it applies in and the page that explains it.
#include <iterator>

#include "resource.h"
#include "ui/HelpTopics.h"

namespace {

// clang-format off
constexpr HelpTopicRow kHelpTopics[] = {
//   first id                     last id                      sets                          page
    {IDC_HELP_ICON,               IDC_HELP_ICON,               HELPSET_MAIN,                 L"MainDialog.htm"},
    {IDOK,                        IDCANCEL,                    HELPSET_MAIN,                 L"MainDialog.htm"},
    {IDC_HELP_SUPPORT,            IDC_HELP_SUPPORT,            HELPSET_MAIN,                 L"MainDialog.htm"},
    {IDC_HELP_ICON,               IDC_HELP_ICON,               HELPSET_EDITOR,               L"EffectEditing.htm"},
    {IDOK,                        IDCANCEL,                    HELPSET_EDITOR,               L"EffectEditing.htm"},
    {IDC_SETTINGS_SELECTOR,       IDC_SETTINGS_SELECTOR,       HELPSET_MAIN,                 L"SelectingPredefinedSettings.htm"},
    {IDC_EFFECT_SELECTOR,         IDC_EFFECT_SELECTOR,         HELPSET_MAIN,                 L"EffectSelection.htm"},
    {IDC_CONFIGURE,               IDC_CONFIGURE,               HELPSET_MAIN,                 L"ConfigureButton.htm"},
    {IDC_PREVIEW_CHECK,           IDC_PREVIEW_CHECK,           HELPSET_MAIN,                 L"ViewportPreviewCheckbox.htm"},
    {IDC_EFFECTS_ONLY,            IDC_EFFECTS_ONLY,            HELPSET_MAIN,                 L"EffectsOnly.htm"},
    {IDC_PREVIEW,                 IDC_PREVIEW,                 HELPSET_MAIN,                 L"DisplayViewport.htm"},
    {IDC_PREVIEW_FRAME,           IDC_PREVIEW_FRAME,           HELPSET_MAIN,                 L"DisplayViewport.htm"},
    {IDC_QUANTITY_VALUE,          IDC_QUANTITY_TRACK,          HELPSET_MAIN,                 L"QuantityControl.htm"},
    {IDC_INTENSITY_TRACK,         IDC_INTENSITY_VALUE,         HELPSET_MAIN,                 L"IntensityControl.htm"},
    {IDC_LENGTH_TRACK,            IDC_LENGTH_VALUE,            HELPSET_MAIN,                 L"LengthControl.htm"},
    {IDC_ANGLE_TRACK,             IDC_ANGLE_VALUE,             HELPSET_MAIN,                 L"AngleControl.htm"},
    {IDC_POINTS_TRACK,            IDC_POINTS_VALUE,            HELPSET_MAIN,                 L"NumberOfPointsControl.htm"},
    {IDC_SHARPNESS_VALUE,         IDC_SHARPNESS_VALUE,         HELPSET_MAIN,                 L"SpikeSharpnessControl.htm"},
    {IDC_SHARPNESS_TRACK,         IDC_SHARPNESS_TRACK,         HELPSET_MAIN,                 L"SpikeSharpnessControl.htm"},
    {IDC_SPREAD_VALUE,            IDC_SPREAD_TRACK,            HELPSET_MAIN,                 L"SpikeSpreadControl.htm"},
    {IDC_SATURATION_TRACK,        IDC_SATURATION_VALUE,        HELPSET_MAIN,                 L"ColorSaturationControl.htm"},
    {IDC_RAINBOW_INTENSITY_TRACK, IDC_RAINBOW_INTENSITY_VALUE, HELPSET_MAIN,                 L"RainbowIntensityControl.htm"},
    {IDC_RAINBOW_FREQUENCY_TRACK, IDC_RAINBOW_FREQUENCY_VALUE, HELPSET_MAIN,                 L"RainbowFrequencyControl.htm"},
    {IDC_SECONDARY_TRACK,         IDC_SECONDARY_VALUE,         HELPSET_MAIN,                 L"SecondarySpikeIntensityControl.htm"},
    {IDC_SOFT_FLARE_TRACK,        IDC_SOFT_FLARE_VALUE,        HELPSET_MAIN,                 L"SoftFlareIntensityControl.htm"},
    {ID_SETTINGS_LOAD,            ID_SETTINGS_DELETE,          HELPSET_MAIN,                 L"SaveLoadControl.htm"},
    {ID_ZOOM_6400,                ID_ZOOM_FIT_ON_SCREEN,       HELPSET_MAIN | HELPSET_EDITOR, L"ViewportContextMenu.htm"},
    {IDC_BRIGHTNESS_VALUE,        IDC_BRIGHTNESS_TRACK,        HELPSET_EDITOR,               L"EffectEditorBrightness.htm"},
    {IDC_CYAN_RED_VALUE,          IDC_CYAN_RED_TRACK,          HELPSET_EDITOR,               L"EffectEditorCyanRedColor.htm"},
    {IDC_MAGENTA_GREEN_VALUE,     IDC_MAGENTA_GREEN_TRACK,     HELPSET_EDITOR,               L"EffectEditorMagentaGreenColor.htm"},
    {IDC_YELLOW_BLUE_VALUE,       IDC_YELLOW_BLUE_TRACK,       HELPSET_EDITOR,               L"EffectEditorYellowBlueColor.htm"},
    {IDC_MOVE_HORIZONTAL_VALUE,   IDC_MOVE_HORIZONTAL_TRACK,   HELPSET_EDITOR,               L"EffectEditorLeftRight.htm"},
    {IDC_MOVE_VERTICAL_VALUE,     IDC_MOVE_VERTICAL_TRACK,     HELPSET_EDITOR,               L"EffectEditorUpDown.htm"},
    {IDC_OPTIONS_HELP_ICON,       IDC_OPTIONS_HELP_ICON,       HELPSET_EVERY,                L"ConfigurationDialog.htm"},
    {IDC_UPDATE_CHECK,            IDC_UPDATE_CHECK,            HELPSET_EVERY,                L"ConfigurationDialog.htm"},
    {IDC_UPDATE_DAYS,             IDC_UPDATE_DAYS,             HELPSET_EVERY,                L"ConfigurationDialog.htm"},
    {IDC_NETWORK_OPTIONS,         IDC_NETWORK_OPTIONS,         HELPSET_EVERY,                L"ConfigurationDialog.htm"},
    {IDC_THEME_SYSTEM,            IDC_THEME_SYSTEM,            HELPSET_EVERY,                L"ConfigurationDialog.htm"},
    {IDC_THEME_VERY_DARK,         IDC_THEME_VERY_LIGHT,        HELPSET_EVERY,                L"ConfigurationDialog.htm"},
    {IDC_OPTIONS_OK,              IDC_OPTIONS_CANCEL,          HELPSET_EVERY,                L"ConfigurationDialog.htm"},
    {IDC_OPENGL_SOFTWARE,         IDC_OPENGL_COMPATIBILITY,    HELPSET_EVERY,                L"OpenGLDrawingOptions.htm"},
    {IDC_OPTIONS_CONFIGURE,       IDC_OPTIONS_CONFIGURE,       HELPSET_EVERY,                L"ConfigureButton.htm"},
    {IDC_ABOUT_TITLE,             IDC_ABOUT_LOGO,              HELPSET_EVERY,                L"AboutBox.htm"},
};
// clang-format on

uint32_t SetBit(int controlSet) {
  return controlSet >= 0 && controlSet <= 3 ? 1u << controlSet : 0;
}

}  // namespace

const wchar_t* FindHelpPage(int id, int controlSet) {
  for (const HelpTopicRow& row : kHelpTopics) {
    if (id >= row.firstId && id <= row.lastId && (row.sets & SetBit(controlSet)) != 0) return row.page;
  }
  return nullptr;
}

namespace {

bool NamedEarlier(size_t index) {
  for (size_t i = 0; i < index; ++i) {
    if (wcscmp(kHelpTopics[i].page, kHelpTopics[index].page) == 0) return true;
  }
  return false;
}

}  // namespace

int HelpTopicPageCount() {
  int count = 0;
  for (size_t i = 0; i < std::size(kHelpTopics); ++i) count += NamedEarlier(i) ? 0 : 1;
  return count;
}

const wchar_t* HelpTopicPage(int index) {
  int seen = 0;
  for (size_t i = 0; i < std::size(kHelpTopics); ++i) {
    if (NamedEarlier(i)) continue;
    if (seen++ == index) return kHelpTopics[i].page;
  }
  return nullptr;
}
