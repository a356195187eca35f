// The slider rows at run time. Each row's value lives in one place (a field of the current
// ParameterBlock or of the effect editor's values); the track bar and the value box show it, and
// every change a user makes is written there, told to the control set and to the dialog.
//
// Sections: the rows' run-time state and binding; showing a value; changes and their notice;
// the value box's subclass; the track bar's subclass; initialisation and release; the families'
// entry points.
#include "ui/Sliders.h"

#include <commctrl.h>
#include <richedit.h>
#include <windowsx.h>

#include "params/ParameterBlock.h"
#include "params/ParameterBlockService.h"
#include "support/AppMessages.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"
#include "ui/ColorScheme.h"
#include "ui/ControlSets.h"
#include "ui/EditorSliderValues.h"
#include "ui/SliderTable.h"
#include "ui/SliderValues.h"
#include "ui/ToolTips.h"

namespace {

constexpr UINT_PTR kValueBoxSubclassId = 0x534C5631;  // "SLV1"
constexpr UINT_PTR kTrackBarSubclassId = 0x534C5432;  // "SLT2"
constexpr int kValueTextLength = 32;

struct SliderRowState {
  int16_t* bound;
  int16_t unboundValue;  // where an unbound row keeps its value
  HWND track;
  HWND valueBox;
  HWND leftIcon;
  HWND rightIcon;
  HWND label;
  HICON leftImage;
  HICON rightImage;
  int16_t resetValue;
  bool focused;         // the track bar has the focus
  bool pressed;         // the left button went down on the track bar
  int32_t pressValue;   // the value when it went down
};

SliderRowState gRows[kSliderRowCount] = {};
HFONT gValueBoxFont = nullptr;

int16_t* BoundField(const SliderRow& row) {
  if (row.binding == BIND_EDITOR) {
    return row.boundIndex >= 0 && row.boundIndex < kEditorSliderCount ? &gEditorSliderValues.values[row.boundIndex] : nullptr;
  }
  ParameterBlock* block = CurrentParameterBlock();
  const ParameterRow* field = FindParameterRow(row.boundIndex);
  if (block == nullptr || field == nullptr) return nullptr;
  return reinterpret_cast<int16_t*>(reinterpret_cast<unsigned char*>(block) + field->offset);
}

int16_t* ValueOf(int row) { return gRows[row].bound != nullptr ? gRows[row].bound : &gRows[row].unboundValue; }

bool ValidRow(int row) { return row >= 0 && row < kSliderRowCount; }

// --- showing a value ----------------------------------------------------------------------------

// The box is written with its change notices off, so that only a user's typing reads as a change.
void WriteValueBox(int row) {
  HWND box = gRows[row].valueBox;
  if (box == nullptr) return;
  LRESULT mask = SendMessageW(box, EM_GETEVENTMASK, 0, 0);
  SendMessageW(box, EM_SETEVENTMASK, 0, 0);
  SetWindowTextW(box, FormatSliderValue(kSliderRows[row], *ValueOf(row)).c_str());
  SendMessageW(box, EM_SETEVENTMASK, 0, mask);
  if (GetFocus() == box) SendMessageW(box, EM_SETSEL, 0, -1);
}

// A new range can leave the thumb where the old range put it until the position changes (Wine's
// track bar recomputes the thumb only then): after a range change, `always` moves the position
// through another value and back.
void MoveTrackBar(int row, bool always = false) {
  HWND track = gRows[row].track;
  if (track == nullptr) return;
  int32_t value = *ValueOf(row);
  if (always) {
    const SliderRow& table = kSliderRows[row];
    SendMessageW(track, TBM_SETPOS, FALSE, value == table.minimum ? table.maximum : table.minimum);
  }
  if (always || SendMessageW(track, TBM_GETPOS, 0, 0) != value) SendMessageW(track, TBM_SETPOS, TRUE, value);
}

void SetValueBoxColors(int row, bool focused) {
  HWND box = gRows[row].valueBox;
  if (box == nullptr) return;
  SendMessageW(box, EM_SETBKGNDCOLOR, 0,
               GetSchemeColor(focused ? SCHEMECOLOR_VALUE_FOCUS_BACKGROUND : SCHEMECOLOR_VALUE_BACKGROUND));
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  format.dwMask = CFM_COLOR;
  // The focused box is white in every scheme; its text must stay readable on it.
  format.crTextColor = focused ? RGB(0, 0, 0) : GetSchemeColor(SCHEMECOLOR_VALUE_TEXT);
  LRESULT mask = SendMessageW(box, EM_GETEVENTMASK, 0, 0);
  SendMessageW(box, EM_SETEVENTMASK, 0, 0);
  SendMessageW(box, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  SendMessageW(box, EM_SETEVENTMASK, 0, mask);
}

// --- changes and their notice -------------------------------------------------------------------

// A change a user made: the set hears of it when the row is one of its own, and the dialog
// re-checks the settings selector and queues a preview.
void NotifySliderChange(HWND dialog, int row) {
  if (SliderRowInSet(kSliderRows[row], GetCurrentControlSet())) SendControlSetEvent(CTLSETEVNT_SLIDERS_CHANGED, row);
  SendMessageW(dialog, WM_APP_PARAMETERS_CHANGED, 0, 0);
}

// Writes the value and the track bar, the box too unless the user is typing into it; true when
// the value changed.
bool ApplyRowValue(int row, int32_t value, bool writeBox) {
  int32_t clamped = ClampSliderValue(kSliderRows[row], value);
  bool changed = *ValueOf(row) != clamped;
  *ValueOf(row) = int16_t(clamped);
  MoveTrackBar(row);
  if (writeBox) WriteValueBox(row);
  return changed;
}

void ChangeSliderValue(HWND dialog, int row, int32_t value, bool writeBox) {
  if (ApplyRowValue(row, value, writeBox)) NotifySliderChange(dialog, row);
}

int RowOfWindow(DWORD_PTR data) { return ValidRow(int(data)) ? int(data) : -1; }

// --- the value box ------------------------------------------------------------------------------

bool StepFromKey(HWND box, int row, WPARAM key, LPARAM flags) {
  SliderKey step;
  switch (key) {
    case VK_UP: step = SLIDERKEY_UP; break;
    case VK_DOWN: step = SLIDERKEY_DOWN; break;
    case VK_PRIOR: step = SLIDERKEY_PAGE_UP; break;
    case VK_NEXT: step = SLIDERKEY_PAGE_DOWN; break;
    default: return false;
  }
  bool ctrl = GetKeyState(VK_CONTROL) < 0;
  int repeat = int(LOWORD(flags));
  int32_t value = SteppedSliderValue(kSliderRows[row], *ValueOf(row), step, ctrl, repeat);
  ChangeSliderValue(GetParent(box), row, value, true);
  WriteValueBox(row);  // a key that met the end of the range still shows the value in full
  return true;
}

// Only the number goes into the box: Tab moves on, and every other character is refused aloud.
bool FilterCharacter(HWND box, WPARAM character) {
  if (character == L'\t') {
    SendMessageW(GetParent(box), WM_NEXTDLGCTL, GetKeyState(VK_SHIFT) < 0 ? 1 : 0, FALSE);
    return true;
  }
  if (IsValueBoxCharacter(wchar_t(character))) return false;
  MessageBeep(MB_ICONERROR);
  return true;
}

// Tab, Enter and Esc belong to the dialog (focus, OK, Cancel), whatever the rich edit asks for.
LRESULT DialogCodeOf(HWND box, WPARAM wParam, LPARAM lParam) {
  LRESULT code = DefSubclassProc(box, WM_GETDLGCODE, wParam, lParam);
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  code &= ~LRESULT(DLGC_WANTTAB);
  if (message != nullptr && (message->message == WM_KEYDOWN || message->message == WM_CHAR) &&
      (message->wParam == VK_TAB || message->wParam == VK_RETURN || message->wParam == VK_ESCAPE)) {
    code &= ~LRESULT(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
  }
  return code;
}

LRESULT CALLBACK ValueBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) noexcept {
  int row = RowOfWindow(data);
  if (row < 0) return DefSubclassProc(box, message, wParam, lParam);
  switch (message) {
    case WM_GETDLGCODE: return DialogCodeOf(box, wParam, lParam);
    case WM_CHAR:
      if (FilterCharacter(box, wParam)) return 0;
      break;
    case WM_KEYDOWN:
      if (StepFromKey(box, row, wParam, lParam)) return 0;
      break;
    case WM_MOUSEWHEEL: case WM_MOUSEHWHEEL:  // the wheel navigates the preview, not the box's text
      return SendMessageW(GetParent(box), message, wParam, lParam);
    case WM_SETFOCUS: {
      LRESULT result = DefSubclassProc(box, message, wParam, lParam);
      SetValueBoxColors(row, true);
      SendMessageW(box, EM_SETSEL, 0, -1);
      return result;
    }
    case WM_KILLFOCUS: {
      LRESULT result = DefSubclassProc(box, message, wParam, lParam);
      SetValueBoxColors(row, false);
      WriteValueBox(row);  // what was typed shows as the value it became
      return result;
    }
    case WM_APP_COLOR_SCHEME_CHANGED: SetValueBoxColors(row, GetFocus() == box); return 0;
  }
  return DefSubclassProc(box, message, wParam, lParam);
}

// --- the track bar ------------------------------------------------------------------------------

bool ThumbHit(HWND track, POINT point) {
  RECT thumb{};
  SendMessageW(track, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  return PtInRect(&thumb, point) != FALSE;
}

TrackGeometry GeometryOf(HWND track) {
  RECT channel{}, thumb{};
  SendMessageW(track, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
  SendMessageW(track, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  return TrackGeometry{channel.left, channel.right - channel.left, thumb.right - thumb.left};
}

// A press beside the thumb jumps it under the pointer and drags from there, instead of paging.
LRESULT PressTrack(HWND track, int row, WPARAM wParam, LPARAM lParam) {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  gRows[row].pressed = true;
  gRows[row].pressValue = *ValueOf(row);
  if (ThumbHit(track, point)) return DefSubclassProc(track, WM_LBUTTONDOWN, wParam, lParam);
  int32_t value = TrackJumpValue(kSliderRows[row], *ValueOf(row), GeometryOf(track), point.x);
  ChangeSliderValue(GetParent(track), row, value, true);
  RECT thumb{};
  SendMessageW(track, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  LPARAM onThumb = MAKELPARAM((thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2);
  return DefSubclassProc(track, WM_LBUTTONDOWN, wParam, onThumb);
}

// A double-click on a thumb that has not moved since the press puts the row back to its reset
// value; anywhere else it is a press like any other.
LRESULT DoubleClickTrack(HWND track, int row, WPARAM wParam, LPARAM lParam) {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  if (!ThumbHit(track, point) || *ValueOf(row) != gRows[row].pressValue) return PressTrack(track, row, wParam, lParam);
  ChangeSliderValue(GetParent(track), row, gRows[row].resetValue, true);
  return 0;
}

// The release hands the keyboard to the value box, text selected, for typing or arrow keys.
LRESULT ReleaseTrack(HWND track, int row, WPARAM wParam, LPARAM lParam) {
  LRESULT result = DefSubclassProc(track, WM_LBUTTONUP, wParam, lParam);
  if (!gRows[row].pressed) return result;
  gRows[row].pressed = false;
  if (HWND box = gRows[row].valueBox) {
    SendMessageW(GetParent(track), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
    SendMessageW(box, EM_SETSEL, 0, -1);
  }
  return result;
}

void LoadRowIcons(int row);

LRESULT CALLBACK TrackBarProc(HWND track, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) noexcept {
  int row = RowOfWindow(data);
  if (row < 0) return DefSubclassProc(track, message, wParam, lParam);
  switch (message) {
    case WM_LBUTTONDOWN: return PressTrack(track, row, wParam, lParam);
    case WM_LBUTTONDBLCLK: return DoubleClickTrack(track, row, wParam, lParam);
    case WM_LBUTTONUP: return ReleaseTrack(track, row, wParam, lParam);
    case WM_MOUSEWHEEL: case WM_MOUSEHWHEEL:  // the wheel navigates the preview
      return SendMessageW(GetParent(track), message, wParam, lParam);
    case WM_SETFOCUS: gRows[row].focused = true; break;
    case WM_KILLFOCUS: gRows[row].focused = false; break;
    case WM_APP_COLOR_SCHEME_CHANGED: {
      const SliderRow& table = kSliderRows[row];
      LoadRowIcons(row);
      SendMessageW(track, TBM_SETRANGEMIN, FALSE, table.minimum);
      SendMessageW(track, TBM_SETRANGEMAX, TRUE, table.maximum);
      MoveTrackBar(row, true);
      return 0;
    }
  }
  return DefSubclassProc(track, message, wParam, lParam);
}

// --- initialisation and release -----------------------------------------------------------------

// One font for all value boxes, as tall as a box's formatting rectangle.
void CreateValueBoxFont(HWND box) {
  if (gValueBoxFont != nullptr) return;
  RECT format{};
  SendMessageW(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  int height = format.bottom - format.top > 0 ? format.bottom - format.top : 12;
  gValueBoxFont = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
  if (gValueBoxFont == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError()).Report(kStyleError, kTitleUnexpectedError, "Failed to create font for edit controls. : ");
  }
}

// Track bars do not ask for double-clicks; their class is given the style once it is known.
void AddDoubleClickStyle(HWND track, int row) {
  SetLastError(ERROR_SUCCESS);
  ULONG_PTR style = GetClassLongPtrW(track, GCL_STYLE);
  if (style == 0 && GetLastError() != ERROR_SUCCESS) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to get slider control class information for slider %d. : ", row);
    return;
  }
  if (style & CS_DBLCLKS) return;
  SetLastError(ERROR_SUCCESS);
  if (SetClassLongPtrW(track, GCL_STYLE, LONG_PTR(style | CS_DBLCLKS)) == 0 && GetLastError() != ERROR_SUCCESS) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to modify slider control class information for slider %d.", row);
  }
}

void DestroyRowIcon(HWND control, HICON* icon, int row, const char* side) {
  if (control != nullptr) SendMessageW(control, STM_SETICON, 0, 0);
  if (*icon != nullptr && !DestroyIcon(*icon)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to destroy Icon in slider %d %s icon control", row, side);
  }
  *icon = nullptr;
}

HICON LoadRowIcon(HWND control, int resource, const char* side) {
  if (control == nullptr) return nullptr;
  RECT size{};
  GetClientRect(control, &size);
  auto icon = static_cast<HICON>(LoadImageW(GetPluginInstance(), MAKEINTRESOURCEW(resource), IMAGE_ICON,
                                            size.right > 0 ? size.right : 16, size.bottom > 0 ? size.bottom : 16, 0));
  if (icon == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "Failed to load Icon %d for slider %s icon control", resource, side);
    return nullptr;
  }
  SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  return icon;
}

// The icons of the current colour scheme; the ones shown before are destroyed.
void LoadRowIcons(int row) {
  const SliderRow& table = kSliderRows[row];
  uint32_t scheme = GetCurrentColorScheme() < COLORSCHEME_COUNT ? GetCurrentColorScheme() : COLORSCHEME_DARK;
  SliderRowState& state = gRows[row];
  HICON oldLeft = state.leftImage, oldRight = state.rightImage;
  state.leftImage = LoadRowIcon(state.leftIcon, table.leftImages[scheme], "left");
  state.rightImage = LoadRowIcon(state.rightIcon, table.rightImages[scheme], "right");
  if (oldLeft != nullptr) DestroyRowIcon(nullptr, &oldLeft, row, "left");
  if (oldRight != nullptr) DestroyRowIcon(nullptr, &oldRight, row, "right");
}

void AddRowToolTips(HWND dialog, const SliderRow& table) {
  for (int control : {int(table.valueBox), table.leftIcon, table.rightIcon, table.label}) AddToolTip(dialog, control, table.textTip);
  AddToolTip(dialog, table.trackBar, table.trackTip);
}

void SubclassRow(int row) {
  SliderRowState& state = gRows[row];
  if (!SetWindowSubclass(state.track, TrackBarProc, kTrackBarSubclassId, DWORD_PTR(row)) ||
      !SetWindowSubclass(state.valueBox, ValueBoxProc, kValueBoxSubclassId, DWORD_PTR(row))) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "SetWindowSubclass() failed for slider %d.", row);
  }
}

void InitializeRow(HWND dialog, int row) {
  const SliderRow& table = kSliderRows[row];
  SliderRowState& state = gRows[row];
  state = SliderRowState{};
  state.unboundValue = table.defaultValue;
  state.resetValue = table.defaultValue;
  if (table.valueBox == 0 || table.trackBar == 0) {
    if (int16_t* field = BoundField(table)) *field = table.defaultValue;
    return;
  }
  state.track = GetDlgItem(dialog, table.trackBar);
  state.valueBox = GetDlgItem(dialog, table.valueBox);
  state.leftIcon = GetDlgItem(dialog, table.leftIcon);
  state.rightIcon = GetDlgItem(dialog, table.rightIcon);
  state.label = GetDlgItem(dialog, table.label);
  if (state.track == nullptr || state.valueBox == nullptr) return;
  state.bound = BoundField(table);
  CreateValueBoxFont(state.valueBox);
  if (gValueBoxFont != nullptr) SendMessageW(state.valueBox, WM_SETFONT, reinterpret_cast<WPARAM>(gValueBoxFont), FALSE);
  AddDoubleClickStyle(state.track, row);
  LoadRowIcons(row);
  AddRowToolTips(dialog, table);
  SubclassRow(row);
  SendMessageW(state.valueBox, EM_EXLIMITTEXT, 0, TextLimitOf(table));
  SendMessageW(state.track, TBM_SETRANGEMIN, FALSE, table.minimum);
  SendMessageW(state.track, TBM_SETRANGEMAX, FALSE, table.maximum);
  SendMessageW(state.track, TBM_SETPAGESIZE, 0, table.pageStep);
  SendMessageW(state.track, TBM_SETLINESIZE, 0, table.lineStep);
  SendMessageW(state.valueBox, EM_SETEVENTMASK, 0, ENM_CHANGE);
  SetValueBoxColors(row, false);
  ApplyRowValue(row, *ValueOf(row), true);
  MoveTrackBar(row, true);
}

}  // namespace

// --- the families' entry points -----------------------------------------------------------------

bool InitializeSliders(HWND dialog) {
  for (int row = 0; row < kSliderRowCount; ++row) InitializeRow(dialog, row);
  return gValueBoxFont != nullptr;
}

void ReleaseSliders(HWND) {
  for (int row = 0; row < kSliderRowCount; ++row) {
    SliderRowState& state = gRows[row];
    if (state.track != nullptr) RemoveWindowSubclass(state.track, TrackBarProc, kTrackBarSubclassId);
    if (state.valueBox != nullptr) {
      RemoveWindowSubclass(state.valueBox, ValueBoxProc, kValueBoxSubclassId);
      SendMessageW(state.valueBox, WM_SETFONT, 0, FALSE);
    }
    DestroyRowIcon(state.leftIcon, &state.leftImage, row, "left");
    DestroyRowIcon(state.rightIcon, &state.rightImage, row, "right");
    state = SliderRowState{};
  }
  if (gValueBoxFont != nullptr) DeleteObject(gValueBoxFont);
  gValueBoxFont = nullptr;
}

void SetSliderValue(HWND, int row, int32_t value) {
  if (ValidRow(row)) ApplyRowValue(row, value, true);
}

int32_t GetSliderValue(int row) { return ValidRow(row) ? *ValueOf(row) : 0; }

void SetSliderResetValue(int row, int32_t value) {
  if (ValidRow(row)) gRows[row].resetValue = int16_t(ClampSliderValue(kSliderRows[row], value));
}

int32_t GetSliderResetValue(int row) { return ValidRow(row) ? gRows[row].resetValue : 0; }

void ShowSlidersForSet(HWND dialog, int set) {
  for (const SliderRow& row : kSliderRows) {
    bool disabled = false;
    bool shown = SliderRowInSet(row, set, &disabled);
    for (int id : {int(row.valueBox), int(row.trackBar), row.leftIcon, row.rightIcon, row.label}) {
      HWND control = GetDlgItem(dialog, id);
      if (control == nullptr) continue;
      ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
      EnableWindow(control, shown && !disabled);
    }
  }
}

void RefreshSliders(HWND) {
  for (int row = 0; row < kSliderRowCount; ++row) {
    if (gRows[row].track == nullptr) continue;
    gRows[row].bound = BoundField(kSliderRows[row]);
    ApplyRowValue(row, *ValueOf(row), true);
  }
}

bool OnSliderScroll(HWND dialog, HWND control) {
  for (int row = 0; row < kSliderRowCount; ++row) {
    if (gRows[row].track != control || control == nullptr) continue;
    ChangeSliderValue(dialog, row, int32_t(SendMessageW(control, TBM_GETPOS, 0, 0)), true);
    return true;
  }
  return false;
}

// Typed text counts while the user types in the box: each change that makes a number is applied
// at once, the track bar following; the box keeps the text as typed until the focus leaves.
bool OnValueBoxCommand(HWND dialog, int id, int code) {
  int row = FindSliderRowByValueBox(id);
  if (row < 0) return false;
  HWND box = gRows[row].valueBox;
  if (code != EN_CHANGE || box == nullptr || GetFocus() != box) return true;
  wchar_t text[kValueTextLength] = L"";
  GetWindowTextW(box, text, kValueTextLength);
  int32_t value = 0;
  if (ParseSliderText(kSliderRows[row], text, &value)) ChangeSliderValue(dialog, row, value, false);
  return true;
}
