// The accelerator commands of the main dialog and of the effect editor, one row each.
#include <iterator>

#include "resource.h"
#include "ui/AcceleratorCommands.h"

namespace {

// clang-format off
constexpr AcceleratorCommandRow kAcceleratorCommands[] = {
//  command                    action               target                        name
    {ID_FOCUS_QUANTITY,          ACCEL_FOCUS_CONTROL, IDC_QUANTITY_VALUE,          "Quantity"},
    {ID_FOCUS_INTENSITY,         ACCEL_FOCUS_CONTROL, IDC_INTENSITY_VALUE,         "Intensity"},
    {ID_FOCUS_LENGTH,            ACCEL_FOCUS_CONTROL, IDC_LENGTH_VALUE,            "Length"},
    {ID_FOCUS_ANGLE,             ACCEL_FOCUS_CONTROL, IDC_ANGLE_VALUE,             "Angle"},
    {ID_FOCUS_POINTS,            ACCEL_FOCUS_CONTROL, IDC_POINTS_VALUE,            "Number of Points"},
    {ID_FOCUS_SHARPNESS,         ACCEL_FOCUS_CONTROL, IDC_SHARPNESS_VALUE,         "Spike Sharpness"},
    {ID_FOCUS_SPREAD,            ACCEL_FOCUS_CONTROL, IDC_SPREAD_VALUE,            "Spike Spread"},
    {ID_FOCUS_SATURATION,        ACCEL_FOCUS_CONTROL, IDC_SATURATION_VALUE,        "Color Saturation"},
    {ID_FOCUS_RAINBOW_INTENSITY, ACCEL_FOCUS_CONTROL, IDC_RAINBOW_INTENSITY_VALUE, "Rainbow Intensity"},
    {ID_FOCUS_RAINBOW_FREQUENCY, ACCEL_FOCUS_CONTROL, IDC_RAINBOW_FREQUENCY_VALUE, "Rainbow Frequency"},
    {ID_FOCUS_SECONDARY,         ACCEL_FOCUS_CONTROL, IDC_SECONDARY_VALUE,         "Secondary Spike Intensity"},
    {ID_FOCUS_SOFT_FLARE,        ACCEL_FOCUS_CONTROL, IDC_SOFT_FLARE_VALUE,        "Soft Flare Intensity"},
    {ID_FOCUS_BRIGHTNESS,        ACCEL_FOCUS_CONTROL, IDC_BRIGHTNESS_VALUE,        "Brightness"},
    {ID_FOCUS_CYAN_RED,          ACCEL_FOCUS_CONTROL, IDC_CYAN_RED_VALUE,          "Cyan / Red"},
    {ID_FOCUS_MAGENTA_GREEN,     ACCEL_FOCUS_CONTROL, IDC_MAGENTA_GREEN_VALUE,     "Magenta / Green"},
    {ID_FOCUS_YELLOW_BLUE,       ACCEL_FOCUS_CONTROL, IDC_YELLOW_BLUE_VALUE,       "Yellow / Blue"},
    {ID_FOCUS_MOVE_HORIZONTAL,   ACCEL_FOCUS_CONTROL, IDC_MOVE_HORIZONTAL_VALUE,   "Move Left / Right"},
    {ID_FOCUS_MOVE_VERTICAL,     ACCEL_FOCUS_CONTROL, IDC_MOVE_VERTICAL_VALUE,     "Move Up / Down"},
    {ID_OPEN_SETTINGS_SELECTOR,  ACCEL_OPEN_SELECTOR, IDC_SETTINGS_SELECTOR,       "settings selector"},
    {ID_OPEN_EFFECT_SELECTOR,    ACCEL_OPEN_SELECTOR, IDC_EFFECT_SELECTOR,         "effect selector"},
    {ID_OPEN_SETTINGS_MENU,      ACCEL_CLICK_CONTROL, IDC_SETTINGS_MENU,           "settings menu"},
    {ID_TOGGLE_PREVIEW,          ACCEL_TOGGLE_CHECK,  IDC_PREVIEW_CHECK,           "Preview"},
    {ID_TOGGLE_EFFECTS_ONLY,     ACCEL_TOGGLE_CHECK,  IDC_EFFECTS_ONLY,            "Effects Only"},
    {ID_FOCUS_PREVIEW,           ACCEL_FOCUS_CONTROL, IDC_PREVIEW,                 "preview"},
    {ID_TOOL_PAN,                ACCEL_SELECT_TOOL,   TOOL_PAN,                    "Pan tool"},
    {ID_TOOL_ZOOM,               ACCEL_SELECT_TOOL,   TOOL_ZOOM,                   "Zoom tool"},
    {ID_TOOL_HIDE,               ACCEL_SELECT_TOOL,   TOOL_HIDE,                   "Hide tool"},
    {ID_TOOL_SHOW,               ACCEL_SELECT_TOOL,   TOOL_SHOW,                   "Show tool"},
    {ID_TOOL_EDIT,               ACCEL_SELECT_TOOL,   TOOL_EDIT,                   "Edit tool"},
    {ID_OPEN_ZOOM_MENU,          ACCEL_CLICK_CONTROL, IDC_ZOOM_MENU,               "zoom menu"},
    {ID_FIT_IN_VIEW,             ACCEL_ZOOM,          ID_FIT_IN_VIEW,              "fit in view"},
    {ID_ZOOM_100,                ACCEL_ZOOM,          ID_ZOOM_100,                 "zoom to 100%"},
    {ID_FIT_ON_SCREEN,           ACCEL_ZOOM,          ID_FIT_ON_SCREEN,            "fit on screen"},
    {ID_ZOOM_IN,                 ACCEL_ZOOM,          ID_ZOOM_IN,                  "zoom in"},
    {ID_ZOOM_OUT,                ACCEL_ZOOM,          ID_ZOOM_OUT,                 "zoom out"},
    {ID_OPTIONS,                 ACCEL_CLICK_CONTROL, IDC_CONFIGURE,               "options dialog"},
    {ID_DIALOG_HELP,             ACCEL_CLICK_CONTROL, IDC_HELP_ICON,               "help for the dialog"},
    {ID_HELP_FILE,               ACCEL_HELP_FILE,     0,                           "help file"},
};
// clang-format on
static_assert(std::size(kAcceleratorCommands) == 38, "one row per accelerator command");

}  // namespace

const AcceleratorCommandRow* FindAcceleratorCommand(int command) {
  for (const AcceleratorCommandRow& row : kAcceleratorCommands) {
    if (row.command == command) return &row;
  }
  return nullptr;
}
