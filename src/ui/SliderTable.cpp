// The slider table of the main dialog's panel, and lookups by control. Rows 0-11 edit the
// filter's parameters; rows 12-17 the effect editor's values of the effect being edited.
#include "ui/SliderTable.h"

#include <iterator>

#include "params/ParameterBlock.h"
#include "ui/ControlSets.h"

namespace {

constexpr SliderControlSet kMainSet[kRowControlSets] = {{CTLSET_MAIN, false}, {0, false}, {0, false}, {0, false}};
constexpr SliderControlSet kEditorSets[kRowControlSets] = {{CTLSET_EDIT_COLOR, false}, {CTLSET_EDIT_GRAY, false}, {0, false}, {0, false}};
// A grayscale image has no colour to balance.
constexpr SliderControlSet kColorEditorSet[kRowControlSets] = {{CTLSET_EDIT_COLOR, false}, {0, false}, {0, false}, {0, false}};

}  // namespace

// Icons are drawn twice: light ink for the dark schemes (IDI_ROW_LEFT + n), dark ink for the
// light ones (IDI_ROW_LEFT_LIGHT + n); schemes 0 and 4-5 are light, 1-3 dark.
#define SCHEME_IMAGES(dark, light, n) {light + n, dark + n, dark + n, dark + n, light + n, light + n}
#define ROW(name, minimum, maximum, line, page, defaultValue, limit, valueBox, trackBar, decimals, ctrlStep, n, sets, \
            binding, bound, textTip, trackTip)                                                                      \
  {name, minimum, maximum, line, page, defaultValue, limit, valueBox, trackBar, textTip, trackTip, decimals, ctrlStep, \
   IDC_ROW_LEFT_ICON + n, IDC_ROW_RIGHT_ICON + n, SCHEME_IMAGES(IDI_ROW_LEFT, IDI_ROW_LEFT_LIGHT, n),                 \
   SCHEME_IMAGES(IDI_ROW_RIGHT, IDI_ROW_RIGHT_LIGHT, n), IDC_ROW_LABEL + n,                                           \
   {sets[0], sets[1], sets[2], sets[3]}, binding, bound}

// clang-format off
const SliderRow kSliderRows[kSliderRowCount] = {
//  name                           min   max line page dflt lim value box                    track bar                   dec ctrl  n  sets            binding         bound
  ROW("Quantity",                    0,  100,   1,  10,  50,  4, IDC_QUANTITY_VALUE,          IDC_QUANTITY_TRACK,          0,  10,  0, kMainSet,       BIND_PARAMETER, PARAM_QUANTITY,
      L"Quantity (Q) - Set how many image highlights, ranked by brightness, will be given effects",
      L"Quantity (Q) - Move right to increase the number of dimmer image highlights given effects"),
  ROW("Intensity",                   0,  100,   1,  10,  50,  4, IDC_INTENSITY_VALUE,         IDC_INTENSITY_TRACK,         0,  10,  1, kMainSet,       BIND_PARAMETER, PARAM_INTENSITY,
      L"Intensity (I) - Set the brightness of the primary spike effects",
      L"Intensity (I) - Move right to increase the brightness of primary spikes"),
  ROW("Length",                      0,  100,   1,  10,  50,  4, IDC_LENGTH_VALUE,            IDC_LENGTH_TRACK,            0,  10,  2, kMainSet,       BIND_PARAMETER, PARAM_LENGTH,
      L"Length (L) - Set the length of the spikes and the size of the flare effects",
      L"Length (L) - Move right to increase the length of the spikes and the size of the flare effects"),
  ROW("Angle",                   -1800, 1800,   1, 100,   0,  4, IDC_ANGLE_VALUE,             IDC_ANGLE_TRACK,             1,  10,  3, kMainSet,       BIND_PARAMETER, PARAM_ANGLE,
      L"Angle (A) - Set the rotation angle of the spikes",
      L"Angle (A) - Move right to rotate the spikes clockwise"),
  ROW("Number of Points",            1,   32,   1,   8,   6,  4, IDC_POINTS_VALUE,            IDC_POINTS_TRACK,            0,   2,  4, kMainSet,       BIND_PARAMETER, PARAM_NUMBER_OF_POINTS,
      L"Number of Points (N) - Set the number of primary spikes around a highlight",
      L"Number of Points (N) - Move right to increase the number of primary spikes around a highlight"),
  ROW("Spike Sharpness",             0,  100,   1,  10,  50,  4, IDC_SHARPNESS_VALUE,         IDC_SHARPNESS_TRACK,         0,  10,  5, kMainSet,       BIND_PARAMETER, PARAM_SPIKE_SHARPNESS,
      L"Spike Sharpness (S) - Set the fuzziness or sharpness of the spikes",
      L"Spike Sharpness (S) - Move right to increase the sharpness of the spikes"),
  ROW("Spike Spread",                0,  100,   1,  10,  50,  4, IDC_SPREAD_VALUE,            IDC_SPREAD_TRACK,            0,  10,  6, kMainSet,       BIND_PARAMETER, PARAM_SPIKE_SPREAD,
      L"Spike Spread (K) - Set how quickly spikes will spread out as the distance increases from the star",
      L"Spike Spread (K) - Move right to increase the amount a spike spreads out"),
  ROW("Color Saturation",         -100,  100,   1,  10,  30,  4, IDC_SATURATION_VALUE,        IDC_SATURATION_TRACK,        0,  10,  7, kMainSet,       BIND_PARAMETER, PARAM_COLOR_SATURATION,
      L"Color Saturation (C) - Set the intensity of the highlight color used in the effects",
      L"Color Saturation (C) - Move right to increase the intensity of the highlight color in the effects"),
  ROW("Rainbow Intensity",           0,  100,   1,  10,  50,  4, IDC_RAINBOW_INTENSITY_VALUE, IDC_RAINBOW_INTENSITY_TRACK, 0,  10,  8, kMainSet,       BIND_PARAMETER, PARAM_RAINBOW_INTENSITY,
      L"Rainbow Intensity (R) - Set the brightness of the multicolored 'rainbow' pattern in the spikes",
      L"Rainbow Intensity (R) - Move right to increase the brightness of the multicolored 'rainbow' pattern in the spikes"),
  ROW("Rainbow Frequency",           0,  100,   1,  10,  50,  4, IDC_RAINBOW_FREQUENCY_VALUE, IDC_RAINBOW_FREQUENCY_TRACK, 0,  10,  9, kMainSet,       BIND_PARAMETER, PARAM_RAINBOW_FREQUENCY,
      L"Rainbow Frequency (F) - Set how quickly the multicolored 'rainbow' pattern changes color in the spikes",
      L"Rainbow Frequency (F) - Move right to make the multicolored 'rainbow' pattern change color more rapidly in the spikes"),
  ROW("Secondary Spike Intensity",     0,  100,   1,  10,  15,  4, IDC_SECONDARY_VALUE,         IDC_SECONDARY_TRACK,         0,  10, 10, kMainSet,       BIND_PARAMETER, PARAM_SECONDARY_SPIKE_INTENSITY,
      L"Secondary Spike Intensity (E) - Set the brightness of secondary central 'mini-spikes' around a highlight",
      L"Secondary Spike Intensity (E) - Move right to increase the brightness of secondary central 'mini-spikes' around a highlight"),
  ROW("Soft Flare Intensity",        0,  100,   1,  10,  30,  4, IDC_SOFT_FLARE_VALUE,        IDC_SOFT_FLARE_TRACK,        0,  10, 11, kMainSet,       BIND_PARAMETER, PARAM_SOFT_FLARE_INTENSITY,
      L"Soft Flare Intensity (Y) - Set the brightness of the soft flare around highlights",
      L"Soft Flare Intensity (Y) - Move right to increase the brightness of the soft flare around highlights"),
  ROW("Brightness",                  0,  100,   1,  10,  50,  4, IDC_BRIGHTNESS_VALUE,        IDC_BRIGHTNESS_TRACK,        0,  10, 12, kEditorSets,    BIND_EDITOR,    0,
      L"Brightness (B) - Set the brightness of the effects you are editing",
      L"Brightness (B) - Move right to increase the brightness of the effects you are editing."),
  ROW("Cyan / Red",                -50,   50,   1,  10,   0,  4, IDC_CYAN_RED_VALUE,          IDC_CYAN_RED_TRACK,          0,  10, 13, kColorEditorSet,BIND_EDITOR,    1,
      L"Cyan / Red Color Adjustment (C) - Set the proportion of Red in the color of the effects you are editing",
      L"Cyan / Red Color Adjustment (C) - Move right to increase the amount of Red in the color of the effects you are editing"),
  ROW("Magenta / Green",           -50,   50,   1,  10,   0,  4, IDC_MAGENTA_GREEN_VALUE,     IDC_MAGENTA_GREEN_TRACK,     0,  10, 14, kColorEditorSet,BIND_EDITOR,    2,
      L"Magenta / Green Color Adjustment (M) - Set the proportion of Green in the color of the effects you are editing",
      L"Magenta / Green Color Adjustment (M) - Move right to increase the amount of Green in the color of the effects you are editing"),
  ROW("Yellow / Blue",             -50,   50,   1,  10,   0,  4, IDC_YELLOW_BLUE_VALUE,       IDC_YELLOW_BLUE_TRACK,       0,  10, 15, kColorEditorSet,BIND_EDITOR,    3,
      L"Yellow / Blue Color Adjustment (Y) - Set the proportion of Blue in the color of the effects you are editing",
      L"Yellow / Blue Color Adjustment (Y) - Move right to increase the amount of Blue in the color of the effects you are editing"),
  ROW("Horizontal Position",     -2500, 2500,  25, 250,   0,  5, IDC_MOVE_HORIZONTAL_VALUE,   IDC_MOVE_HORIZONTAL_TRACK,   2, 250, 16, kEditorSets,    BIND_EDITOR,    4,
      L"Horizontal Position (L) - Move the effects you are editing to the Left or Right",
      L"Horizontal Position (L) - Move right to move the effects you are editing rightward"),
  ROW("Vertical Position",       -2500, 2500,  25, 250,   0,  5, IDC_MOVE_VERTICAL_VALUE,     IDC_MOVE_VERTICAL_TRACK,     2, 250, 17, kEditorSets,    BIND_EDITOR,    5,
      L"Vertical Position (U) - Move the effects you are editing Up or Down",
      L"Vertical Position (U) - Move right to move the effects you are editing downward"),
};
// clang-format on
#undef ROW
#undef SCHEME_IMAGES
static_assert(std::size(kSliderRows) == kSliderRowCount, "one row per slider of the panel");

int FindSliderRowByValueBox(int id) {
  for (int row = 0; row < kSliderRowCount; ++row) {
    if (kSliderRows[row].valueBox == id) return row;
  }
  return -1;
}

int FindSliderRowByTrackBar(int id) {
  for (int row = 0; row < kSliderRowCount; ++row) {
    if (kSliderRows[row].trackBar == id) return row;
  }
  return -1;
}

bool SliderRowInSet(const SliderRow& row, int set, bool* disabled) {
  if (set == CTLSET_NONE) return false;
  for (const SliderControlSet& pair : row.sets) {
    if (pair.set != set) continue;
    if (disabled != nullptr) *disabled = pair.disabled;
    return true;
  }
  return false;
}
