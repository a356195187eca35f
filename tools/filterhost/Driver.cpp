// The commands of a drive script carried out on the plug-in's dialog: finding controls, checking
// that a user could reach them, acting with mouse and keys, and checking what the controls show.
//
// Sections: finding the dialog and reading controls; the preview's frames; one handler per
// command; the dispatch table.
#include "Driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "DriveView.h"
#include "ForeignWindows.h"
#include "PngFiles.h"
#include "XwdCapture.h"

namespace {

constexpr DWORD kMessageLimitMs = 5000;  // a dialog that answers no message in this time is hung
constexpr DWORD kScreenshotLimitMs = 20000;
constexpr DWORD kScreenshotShowLimitMs = 5000;
constexpr int kDragSteps = 12;

BOOL CALLBACK NoteIfPluginDialog(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  wchar_t className[16] = {}, caption[64] = {};
  GetClassNameW(window, className, int(std::size(className)));
  GetWindowTextW(window, caption, int(std::size(caption)));
  if (wcscmp(className, L"#32770") != 0 || wcscmp(caption, kPluginDialogCaption) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

LRESULT SendWithLimit(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageLimitMs, &result)) return 0;
  return LRESULT(result);
}

// Returns once the dialog's thread has handled everything sent to it before.
void LetDialogCatchUp(HWND dialog) { SendWithLimit(dialog, WM_NULL, 0, 0); }

std::string ControlText(HWND control) {
  wchar_t text[1024] = {};
  SendWithLimit(control, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
  char utf8[4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

// The window a click at `point` reaches, once no other program's window lies there: the windows
// of tests running beside this one come and go within a test.
HWND WindowOnTopAt(POINT point) {
  WaitUntilUncovered(RECT{point.x, point.y, point.x + 1, point.y + 1}, kForeignWindowLimitMs);
  return WindowFromPoint(point);
}

bool WaitFor(const DriveSession& session, DWORD timeoutMs, bool (*holds)(HWND, const void*), HWND control, const void* data) {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    LetDialogCatchUp(session.dialog);
    if (holds(control, data)) return true;
    if (GetTickCount64() >= deadline || !IsWindow(session.dialog)) return false;
    Sleep(10);
  }
}

// Control characters as a script would write them, so that a report shows what the box holds.
std::string Printable(const std::string& text) {
  std::string shown;
  for (char c : text) shown += c == '\t' ? "\\t" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
  return shown;
}

std::string Describe(int id) {
  return id == IDOK ? "OK" : id == IDCANCEL ? "Cancel" : id == kResetButtonId ? "Reset" : std::to_string(id);
}

// The control as a user finds it: present, visible, enabled and not under another window.
HWND ReachableControl(const DriveSession& session, int id, POINT* centre, std::string* error) {
  HWND control = GetDlgItem(session.dialog, id);
  if (control == nullptr) return *error = "the dialog has no control " + Describe(id), nullptr;
  if (!IsWindowVisible(control)) return *error = "control " + Describe(id) + " is hidden", nullptr;
  if (!IsWindowEnabled(control)) return *error = "control " + Describe(id) + " is disabled", nullptr;
  RECT rectangle{};
  GetWindowRect(control, &rectangle);
  *centre = POINT{(rectangle.left + rectangle.right) / 2, (rectangle.top + rectangle.bottom) / 2};
  HWND top = WindowOnTopAt(*centre);
  if (top == nullptr) return *error = "control " + Describe(id) + " is off the screen", nullptr;
  // A tool tip that the last command left up goes as soon as the pointer moves on to the control.
  char className[64] = "";
  GetClassNameA(top, className, sizeof className);
  if (GetAncestor(top, GA_ROOT) != session.dialog && strcmp(className, "tooltips_class32") != 0)
    return *error = "control " + Describe(id) + " is covered by another window (" + className + ")", nullptr;
  return control;
}

bool PreviewPoint(const DriveSession& session, int x, int y, POINT* screen, std::string* error) {
  HWND preview = GetDlgItem(session.dialog, kPreviewControlId);
  if (preview == nullptr || !IsWindowVisible(preview))
    return *error = "the dialog has no visible preview window (control 1040)", false;
  *screen = POINT{x, y};
  ClientToScreen(preview, screen);
  HWND top = WindowOnTopAt(*screen);
  if (top == nullptr || GetAncestor(top, GA_ROOT) != session.dialog)
    return *error = "the point (" + std::to_string(x) + "," + std::to_string(y) + ") is not over the dialog", false;
  return true;
}

bool ClickControl(DriveSession* session, int id, std::string* report) {
  POINT centre{};
  return ReachableControl(*session, id, &centre, report) != nullptr && ClickMouse(&session->hands, centre, 1, report);
}

// Numbers as the value box shows them: equal when they agree to the box's own last digit, and
// the box holds nothing else (a Tab kept as a character means the box never let go of it).
bool SameNumber(const std::string& shown, const std::string& typed) {
  char* end = nullptr;
  double shownValue = strtod(shown.c_str(), &end);
  if (end == shown.c_str() || shown.find_first_not_of(' ', size_t(end - shown.c_str())) != std::string::npos) return false;
  size_t point = shown.find('.');
  size_t decimals = point == std::string::npos ? 0 : size_t(end - shown.c_str()) - point - 1;
  return std::fabs(shownValue - strtod(typed.c_str(), nullptr)) <= 0.5 * std::pow(10.0, -double(decimals)) + 1e-9;
}

}  // namespace

HWND FindPluginDialog() {
  HWND found = nullptr;
  EnumWindows(NoteIfPluginDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

bool ReadPreviewFrames(HWND preview, PreviewFrames* frames) {
  frames->queued = reinterpret_cast<LONG_PTR>(GetPropW(preview, L"Halvorn.QueuedFrame"));
  frames->presented = reinterpret_cast<LONG_PTR>(GetPropW(preview, L"Halvorn.PresentedFrame"));
  return frames->queued != 0 || frames->presented != 0;
}

bool IsPreviewIdle(const PreviewFrames& frames) { return frames.queued > 0 && frames.presented >= frames.queued; }

namespace {

bool RunWaitIdle(const DriveCommand& command, DriveSession* session, std::string* report) {
  HWND preview = GetDlgItem(session->dialog, kPreviewControlId);
  if (preview == nullptr) return *report = "the dialog has no preview window (control 1040)", false;
  ULONGLONG started = GetTickCount64();
  ULONGLONG limit = ULONGLONG(command.seconds * 1000);
  PreviewFrames frames;
  for (;;) {
    LetDialogCatchUp(session->dialog);
    ReadPreviewFrames(preview, &frames);
    if (IsPreviewIdle(frames)) return *report = "ok frame " + std::to_string(frames.presented), true;
    if (!IsWindow(session->dialog)) return *report = "the dialog closed", false;
    if (GetTickCount64() - started >= limit) break;
    Sleep(20);
  }
  char text[160];
  snprintf(text, sizeof text, "time-out after %g s (queued frame %lld, presented %lld)", command.seconds,
           static_cast<long long>(frames.queued), static_cast<long long>(frames.presented));
  *report = text;
  return false;
}

bool CancelReadsReset(HWND cancel, const void*) { return ControlText(cancel) == "Reset"; }

bool RunPress(const DriveCommand& command, DriveSession* session, std::string* report) {
  if (command.controlId != kResetButtonId) return ClickControl(session, command.controlId, report) && (*report = "ok", true);
  bool heldBefore = false;
  for (WORD key : session->hands.held) heldBefore = heldBefore || key == VK_MENU;
  if (!HoldKey(&session->hands, VK_MENU, report)) return false;
  HWND cancel = GetDlgItem(session->dialog, IDCANCEL);
  bool reset = cancel != nullptr && WaitFor(*session, session->textLimitMs, CancelReadsReset, cancel, nullptr);
  if (!reset) *report = "Cancel did not turn into Reset while Alt was held (it reads '" + ControlText(cancel) + "')";
  bool clicked = reset && ClickControl(session, IDCANCEL, report);
  std::string released;
  if (!heldBefore && !ReleaseKey(&session->hands, VK_MENU, &released) && clicked) *report = released, clicked = false;
  return clicked && (*report = "ok", true);
}

bool RunKeys(const DriveCommand& command, DriveSession* session, std::string* report) {
  for (const KeyChord& chord : command.chords)
    if (!PressChord(&session->hands, chord, report)) return false;
  return *report = "ok", true;
}

bool RunHoldOrRelease(const DriveCommand& command, DriveSession* session, std::string* report) {
  WORD key = command.chords[0].key;
  bool done = command.verb == DRIVE_HOLD ? HoldKey(&session->hands, key, report) : ReleaseKey(&session->hands, key, report);
  return done && (*report = "ok", true);
}

bool RunPointer(const DriveCommand& command, DriveSession* session, std::string* report) {
  const int* n = command.numbers;
  POINT from{}, to{};
  if (!PreviewPoint(*session, n[0], n[1], &from, report)) return false;
  // Keys named after the numbers are held through the pointer's work, as a hand holds them, and
  // let go afterwards (those held by `hold` before stay held).
  std::vector<WORD> pressed;
  for (WORD key : command.heldKeys) {
    if (std::find(session->hands.held.begin(), session->hands.held.end(), key) != session->hands.held.end()) continue;
    if (!HoldKey(&session->hands, key, report)) {
      for (auto k = pressed.rbegin(); k != pressed.rend(); ++k) ReleaseKey(&session->hands, *k, report);
      return false;
    }
    pressed.push_back(key);
  }
  bool done = false;
  switch (command.verb) {
    case DRIVE_CLICK: done = ClickMouse(&session->hands, from, 1, report); break;
    case DRIVE_DBLCLICK: done = ClickMouse(&session->hands, from, 2, report); break;
    case DRIVE_WHEEL: done = TurnWheel(&session->hands, from, n[2], report); break;
    default:
      to = POINT{n[2], n[3]};
      ClientToScreen(GetDlgItem(session->dialog, kPreviewControlId), &to);
      done = DragMouse(&session->hands, from, to, kDragSteps, report);
  }
  std::string releaseError;
  for (auto k = pressed.rbegin(); k != pressed.rend(); ++k) ReleaseKey(&session->hands, *k, &releaseError);
  return done && (*report = "ok", true);
}

}  // namespace

namespace {

bool ShowsNumber(HWND box, const void* typed) { return SameNumber(ControlText(box), *static_cast<const std::string*>(typed)); }
bool ShowsText(HWND control, const void* text) { return ControlText(control) == *static_cast<const std::string*>(text); }
bool ShowsItem(HWND selector, const void* item) {
  return SendWithLimit(selector, CB_GETDROPPEDSTATE, 0, 0) == 0 &&
         SendWithLimit(selector, CB_GETCURSEL, 0, 0) == *static_cast<const LRESULT*>(item);
}
bool IsDropped(HWND selector, const void*) { return SendWithLimit(selector, CB_GETDROPPEDSTATE, 0, 0) != 0; }
bool ShowsCheck(HWND box, const void* state) { return SendWithLimit(box, BM_GETCHECK, 0, 0) == *static_cast<const LRESULT*>(state); }

// A value box as a user fills it: click into it, select everything, type, Tab to leave.
bool SetValueBox(const DriveCommand& command, DriveSession* session, std::string* report) {
  int id = ValueBoxOfKey(command.key);
  POINT centre{};
  HWND box = ReachableControl(*session, id, &centre, report);
  // Home and Shift+End select the whole line in every kind of single-line box.
  KeyChord home{{}, VK_HOME}, selectToEnd{{VK_SHIFT}, VK_END}, tab{{}, VK_TAB};
  if (box == nullptr || !ClickMouse(&session->hands, centre, 1, report) || !PressChord(&session->hands, home, report) ||
      !PressChord(&session->hands, selectToEnd, report) ||
      !TypeText(&session->hands, command.value, report) || !PressChord(&session->hands, tab, report))
    return false;
  if (WaitFor(*session, session->textLimitMs, ShowsNumber, box, &command.value)) return *report = "ok", true;
  *report = "the value box did not take " + command.value + " (it reads '" + Printable(ControlText(box)) + "')";
  return false;
}

std::wstring Wide(const std::string& text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0);
  std::wstring wide(size_t(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), wide.data(), length);
  return wide;
}

// An item as a user picks it: open the list with a click, click the item (keys when the item is
// scrolled out of the list's view).
bool PickListItem(DriveSession* session, int listId, const std::string& name, const char* what, std::string* report) {
  POINT centre{};
  HWND selector = ReachableControl(*session, listId, &centre, report);
  if (selector == nullptr) return false;
  std::wstring wide = Wide(name);
  LRESULT item = SendWithLimit(selector, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(wide.c_str()));
  if (item == CB_ERR) {
    LRESULT count = SendWithLimit(selector, CB_GETCOUNT, 0, 0);
    return *report = std::string("the ") + what + " has no item '" + name + "' (it has " + std::to_string(count) + " items)", false;
  }
  if (!ClickMouse(&session->hands, centre, 1, report)) return false;
  if (!WaitFor(*session, session->textLimitMs, IsDropped, selector, nullptr)) return *report = std::string("the ") + what + " did not open", false;
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  RECT itemRect{}, listRect{};
  bool clickable = GetComboBoxInfo(selector, &info) && info.hwndList != nullptr &&
                   SendWithLimit(info.hwndList, LB_GETITEMRECT, WPARAM(item), reinterpret_cast<LPARAM>(&itemRect)) != LB_ERR &&
                   GetClientRect(info.hwndList, &listRect) && itemRect.top >= listRect.top && itemRect.bottom <= listRect.bottom;
  bool done = false;
  if (clickable) {
    POINT point{(itemRect.left + itemRect.right) / 2, (itemRect.top + itemRect.bottom) / 2};
    ClientToScreen(info.hwndList, &point);
    done = ClickMouse(&session->hands, point, 1, report);
  } else {
    done = PressChord(&session->hands, KeyChord{{}, VK_HOME}, report);
    for (LRESULT i = 0; done && i < item; ++i) done = PressChord(&session->hands, KeyChord{{}, VK_DOWN}, report);
    done = done && PressChord(&session->hands, KeyChord{{}, VK_RETURN}, report);
  }
  if (!done) return false;
  if (WaitFor(*session, session->textLimitMs, ShowsItem, selector, &item)) return *report = "ok", true;
  *report = std::string("the ") + what + " shows item " + std::to_string(SendWithLimit(selector, CB_GETCURSEL, 0, 0)) +
            ", not " + std::to_string(item);
  return false;
}

bool SetEffect(const DriveCommand& command, DriveSession* session, std::string* report) {
  return PickListItem(session, kEffectSelectorId, StyleNameOfCode(command.value), "effect list", report);
}

bool RunSelectStyle(const DriveCommand& command, DriveSession* session, std::string* report) {
  return PickListItem(session, kEffectSelectorId, command.value, "effect list", report);
}

bool RunSettings(const DriveCommand& command, DriveSession* session, std::string* report) {
  return PickListItem(session, kSettingsSelectorId, command.value, "settings list", report);
}

bool SetEffectsOnly(const DriveCommand& command, DriveSession* session, std::string* report) {
  LRESULT wanted = command.value == "1" ? BST_CHECKED : BST_UNCHECKED;
  POINT centre{};
  HWND box = ReachableControl(*session, kEffectsOnlyCheckId, &centre, report);
  if (box == nullptr) return false;
  if (SendWithLimit(box, BM_GETCHECK, 0, 0) != wanted && !ClickMouse(&session->hands, centre, 1, report)) return false;
  if (WaitFor(*session, session->textLimitMs, ShowsCheck, box, &wanted)) return *report = "ok", true;
  *report = std::string("the check box did not become ") + (wanted == BST_CHECKED ? "checked" : "unchecked");
  return false;
}

bool TrackStandsAt(HWND track, const void* value) {
  return SendWithLimit(track, TBM_GETPOS, 0, 0) == *static_cast<const LRESULT*>(value);
}

// A track bar as a user moves it: a click where the value's thumb would stand (the thumb jumps
// there), then, since a pixel may span several values, the arrow keys of the value box that the
// release hands the focus to.
// Where on the track bar a value lies: the thumb's centre when it stands there.
bool ThumbPointOf(HWND track, const std::string& key, double value, LRESULT* position, POINT* point, std::string* report) {
  LRESULT target = LRESULT(std::lround(value * std::pow(10.0, DecimalsOfKey(key))));
  LRESULT minimum = SendWithLimit(track, TBM_GETRANGEMIN, 0, 0), maximum = SendWithLimit(track, TBM_GETRANGEMAX, 0, 0);
  if (target < minimum || target > maximum || maximum <= minimum) {
    char shown[32];
    snprintf(shown, sizeof shown, "%g", value);
    return *report = "the track bar's range (" + std::to_string(minimum) + " to " + std::to_string(maximum) + ") does not hold " +
                     shown, false;
  }
  RECT channel{}, thumb{};
  SendWithLimit(track, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
  SendWithLimit(track, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  int thumbWidth = thumb.right - thumb.left, usable = channel.right - channel.left - thumbWidth;
  *point = POINT{channel.left + thumbWidth / 2 + (usable > 0 ? MulDiv(int(target - minimum), usable, int(maximum - minimum)) : 0),
                 (thumb.top + thumb.bottom) / 2};
  ClientToScreen(track, point);
  *position = target;
  return true;
}

bool RunSetTrack(const DriveCommand& command, DriveSession* session, std::string* report) {
  POINT centre{};
  HWND track = ReachableControl(*session, TrackBarOfKey(command.key), &centre, report);
  if (track == nullptr) return false;
  LRESULT target = 0;
  POINT press{};
  if (!ThumbPointOf(track, command.key, strtod(command.value.c_str(), nullptr), &target, &press, report)) return false;
  if (!ClickMouse(&session->hands, press, 1, report)) return false;
  for (int key = 0; key < 100 && !TrackStandsAt(track, &target); ++key) {
    LRESULT at = SendWithLimit(track, TBM_GETPOS, 0, 0);
    if (!PressChord(&session->hands, KeyChord{{}, WORD(at < target ? VK_UP : VK_DOWN)}, report)) return false;
  }
  if (!WaitFor(*session, session->textLimitMs, TrackStandsAt, track, &target))
    return *report = "the track bar stands at " + std::to_string(SendWithLimit(track, TBM_GETPOS, 0, 0)) + ", not " +
                     std::to_string(target), false;
  HWND box = GetDlgItem(session->dialog, ValueBoxOfKey(command.key));
  if (box != nullptr && !WaitFor(*session, session->textLimitMs, ShowsNumber, box, &command.value))
    return *report = "the value box reads '" + Printable(ControlText(box)) + "', not " + command.value, false;
  return *report = "ok", true;
}

// The thumb pressed where the first value lies (the track jumps there) and dragged to the last at
// a steady pace, without waiting for the preview: requests pile up as under a real hand. The
// report gives the sweep's duration, which the preview benchmarks divide the frames by.
bool RunSweep(const DriveCommand& command, DriveSession* session, std::string* report) {
  POINT centre{};
  HWND track = ReachableControl(*session, TrackBarOfKey(command.key), &centre, report);
  if (track == nullptr) return false;
  LRESULT first = 0, last = 0;  // track positions, checked against the range
  POINT from{}, to{};
  if (!ThumbPointOf(track, command.key, command.from, &first, &from, report) ||
      !ThumbPointOf(track, command.key, command.to, &last, &to, report)) {
    return false;
  }
  double seconds = 0;
  if (!SweepMouse(&session->hands, from, to, command.numbers[0], command.rate, &seconds, report)) return false;
  // A pixel of the channel may hold two values: the drag ends next to the last one at worst.
  char text[96];
  snprintf(text, sizeof text, "ok %d steps in %.3f s, ending at %ld", command.numbers[0], seconds,
           long(SendWithLimit(track, TBM_GETPOS, 0, 0)));
  return *report = text, true;
}

// The tool's icon in the strip clicked, as a user chooses a tool.
bool RunTool(const DriveCommand& command, DriveSession* session, std::string* report) {
  return ClickControl(session, command.controlId, report) && (*report = "ok", true);
}

bool RunSet(const DriveCommand& command, DriveSession* session, std::string* report) {
  if (command.key == "stEf") return SetEffect(command, session, report);
  if (command.key == "opsO") return SetEffectsOnly(command, session, report);
  return SetValueBox(command, session, report);
}

bool RunExpect(const DriveCommand& command, DriveSession* session, std::string* report) {
  HWND control = GetDlgItem(session->dialog, command.controlId);
  if (control == nullptr) return *report = "the dialog has no control " + Describe(command.controlId), false;
  if (WaitFor(*session, session->textLimitMs, ShowsText, control, &command.value)) return *report = "ok", true;
  *report = "the text is '" + Printable(ControlText(control)) + "', not '" + command.value + "'";
  return false;
}

// A window reaches the X screen a little after it is painted (Wine flushes its surfaces when the
// thread is idle), so a capture that shows nothing of it yet is taken again.
// The screen is shared with whatever else runs: the dialog stays above other windows while it is
// captured, so that a window another program opens meanwhile cannot cover it.
class TopmostWhileCaptured {
 public:
  explicit TopmostWhileCaptured(HWND dialog) : m_Dialog(dialog) {
    SetWindowPos(m_Dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  ~TopmostWhileCaptured() { SetWindowPos(m_Dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); }
  TopmostWhileCaptured(const TopmostWhileCaptured&) = delete;
  TopmostWhileCaptured& operator=(const TopmostWhileCaptured&) = delete;

 private:
  HWND m_Dialog;
};

bool RunScreenshot(const DriveCommand& command, DriveSession* session, std::string* report) {
  TopmostWhileCaptured topmost(session->dialog);
  RedrawWindow(session->dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  LetDialogCatchUp(session->dialog);
  RECT rectangle{};
  if (command.verb == DRIVE_SCREENSHOT_PREVIEW) {
    HWND preview = GetDlgItem(session->dialog, kPreviewControlId);
    if (preview == nullptr) return *report = "the dialog has no preview window (control 1040)", false;
    GetClientRect(preview, &rectangle);
    MapWindowPoints(preview, nullptr, reinterpret_cast<POINT*>(&rectangle), 2);
  } else {
    GetWindowRect(session->dialog, &rectangle);
  }
  // The X screen may still show the window's previous paint; a capture counts once the next one
  // shows the same picture, with no other program's window over it before or after.
  FilePixels pixels, previous;
  ULONGLONG deadline = GetTickCount64() + kScreenshotShowLimitMs;
  bool settled = false;
  do {
    if (!WaitUntilUncovered(rectangle, kForeignWindowLimitMs)) {
      *report = "a window of another program stays over the capture: " + DescribeWindow(ForeignWindowOver(rectangle));
      return false;
    }
    previous = std::move(pixels);
    // An xwd that stalls on a busy X server is tried once more before the command fails.
    if (!CaptureScreenRectangle(rectangle, kScreenshotLimitMs, &pixels, report) &&
        !CaptureScreenRectangle(rectangle, kScreenshotLimitMs, &pixels, report)) {
      return false;
    }
    bool uncovered = ForeignWindowOver(rectangle) == nullptr;
    settled = uncovered && !IsUniform(pixels) && pixels.samples == previous.samples;
    if (!uncovered) pixels = FilePixels{};
  } while (!settled && GetTickCount64() < deadline);
  if (pixels.samples.empty()) return *report = "windows of other programs kept coming over the capture", false;
  if (IsUniform(pixels)) return *report = "the screen shows nothing of the dialog (a uniform rectangle)", false;
  if (!WritePngFile(command.file, pixels, {}, 1, report)) return false;
  *report = "ok " + std::to_string(pixels.width) + "x" + std::to_string(pixels.height) + " at (" +
            std::to_string(rectangle.left) + "," + std::to_string(rectangle.top) + ")";
  std::string over = DescribeWindowsOver(rectangle, session->dialog);
  if (!over.empty()) *report += " under " + over;
  return true;
}

// A point that the mouse reaches on the dialog and that answers as the sizing corner: the
// dialog's own size grip (control 1083), a standard grip, or the frame's corner. Without a
// window manager Wine leaves the frame to nobody, and only a grip can be dragged.
// The standard grip answers hit tests as client area and starts the sizing on its button-down.
bool IsSizeGrip(HWND window) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, int(std::size(className)));
  return _wcsicmp(className, L"ScrollBar") == 0 && (GetWindowLongW(window, GWL_STYLE) & SBS_SIZEGRIP) != 0;
}

bool AnswersAsSizingCorner(HWND dialog, POINT point) {
  HWND under = WindowOnTopAt(point);
  if (under == nullptr || GetAncestor(under, GA_ROOT) != dialog) return false;
  return IsSizeGrip(under) || SendWithLimit(under, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y)) == HTBOTTOMRIGHT;
}

bool FindSizingCorner(HWND dialog, POINT* corner) {
  RECT rectangle{};
  HWND grip = GetDlgItem(dialog, kSizeGripId);
  if (grip != nullptr && IsWindowVisible(grip) && GetWindowRect(grip, &rectangle)) {
    POINT centre{(rectangle.left + rectangle.right) / 2, (rectangle.top + rectangle.bottom) / 2};
    if (AnswersAsSizingCorner(dialog, centre)) return *corner = centre, true;
  }
  GetWindowRect(dialog, &rectangle);
  for (int inset = 1; inset <= 24; ++inset)
    for (int across = 0; across <= inset; across += 2) {
      for (POINT point : {POINT{rectangle.right - inset, rectangle.bottom - inset + across},
                          POINT{rectangle.right - inset + across, rectangle.bottom - inset}}) {
        if (AnswersAsSizingCorner(dialog, point)) return *corner = point, true;
      }
    }
  return false;
}

struct WindowSize {
  int width;
  int height;
};
bool HasSize(HWND dialog, const void* size) {
  RECT rectangle{};
  GetWindowRect(dialog, &rectangle);
  const WindowSize* wanted = static_cast<const WindowSize*>(size);
  return rectangle.right - rectangle.left == wanted->width && rectangle.bottom - rectangle.top == wanted->height;
}

bool RunResize(const DriveCommand& command, DriveSession* session, std::string* report) {
  WindowSize wanted{command.numbers[0], command.numbers[1]};
  RECT rectangle{};
  GetWindowRect(session->dialog, &rectangle);
  POINT corner{};
  std::string how = "ok";
  if (!FindSizingCorner(session->dialog, &corner)) {
    how = "ok by SetWindowPos: the dialog has no sizing corner to drag";
    SetWindowPos(session->dialog, nullptr, 0, 0, wanted.width, wanted.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    POINT to{corner.x + wanted.width - (rectangle.right - rectangle.left),
             corner.y + wanted.height - (rectangle.bottom - rectangle.top)};
    if (!DragMouse(&session->hands, corner, to, kDragSteps, report)) return false;
  }
  if (WaitFor(*session, session->textLimitMs, HasSize, session->dialog, &wanted)) return *report = how, true;
  GetWindowRect(session->dialog, &rectangle);
  *report = "the dialog is " + std::to_string(rectangle.right - rectangle.left) + "x" +
            std::to_string(rectangle.bottom - rectangle.top) + ", not " + std::to_string(wanted.width) + "x" +
            std::to_string(wanted.height);
  return false;
}

// A window of this process of the class given, visible, other than the plug-in's dialog.
struct WindowSearch {
  const wchar_t* className;
  HWND except;
  bool (*accepts)(HWND);
  HWND found;
};

BOOL CALLBACK NoteWindowOfClass(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || window == search->except || !IsWindowVisible(window)) return TRUE;
  wchar_t className[32] = {};
  GetClassNameW(window, className, int(std::size(className)));
  if (wcscmp(className, search->className) != 0 || (search->accepts != nullptr && !search->accepts(window))) return TRUE;
  search->found = window;
  return FALSE;
}

HWND WaitForWindow(const DriveSession& session, const wchar_t* className, bool (*accepts)(HWND), DWORD limitMs) {
  ULONGLONG deadline = GetTickCount64() + limitMs;
  for (;;) {
    WindowSearch search{className, session.dialog, accepts, nullptr};
    EnumWindows(NoteWindowOfClass, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr || GetTickCount64() >= deadline) return search.found;
    Sleep(20);
  }
}

bool IsGoneOrHidden(HWND window, const void*) { return !IsWindow(window) || !IsWindowVisible(window); }

std::string MenuItemText(HMENU menu, int position) {
  wchar_t text[128] = {};
  GetMenuStringW(menu, UINT(position), text, int(std::size(text)), MF_BYPOSITION);
  char utf8[512] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

// The item of the open menu whose text is the name, with or without its closing "...".
int FindMenuItem(HMENU menu, const std::string& name) {
  for (int position = 0; position < GetMenuItemCount(menu); ++position) {
    std::string text = MenuItemText(menu, position);
    if (text == name || text == name + "...") return position;
  }
  return -1;
}

// A pop-up menu as a user works it: a click on its button, then on the item. A greyed or missing
// item closes the menu with Esc and fails.
bool PickFromMenu(DriveSession* session, int button, const char* name, const std::string& text, std::string* report) {
  if (!ClickControl(session, button, report)) return false;
  HWND popup = WaitForWindow(*session, L"#32768", nullptr, session->textLimitMs);
  if (popup == nullptr) return *report = std::string("the ") + name + " did not open", false;
  HMENU menu = reinterpret_cast<HMENU>(SendWithLimit(popup, MN_GETHMENU, 0, 0));
  int item = menu != nullptr ? FindMenuItem(menu, text) : -1;
  std::string ignored;
  if (item < 0) {
    PressChord(&session->hands, KeyChord{{}, VK_ESCAPE}, &ignored);
    return *report = std::string("the ") + name + " has no item '" + text + "'", false;
  }
  if (GetMenuState(menu, UINT(item), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) {
    PressChord(&session->hands, KeyChord{{}, VK_ESCAPE}, &ignored);
    return *report = "the menu item '" + MenuItemText(menu, item) + "' is greyed", false;
  }
  RECT rectangle{};
  if (!GetMenuItemRect(nullptr, menu, UINT(item), &rectangle)) return *report = "the menu item has no place on the screen", false;
  POINT centre{(rectangle.left + rectangle.right) / 2, (rectangle.top + rectangle.bottom) / 2};
  if (!ClickMouse(&session->hands, centre, 1, report)) return false;
  return *report = "ok", true;
}

bool RunMenu(const DriveCommand& command, DriveSession* session, std::string* report) {
  return PickFromMenu(session, kSettingsMenuButtonId, "settings menu", command.value, report);
}

bool RunZoomMenu(const DriveCommand& command, DriveSession* session, std::string* report) {
  return PickFromMenu(session, kZoomMenuButtonId, "zoom menu", command.value, report);
}

// The window itself when it is an edit, else the first edit among its descendants.
HWND EditIn(HWND window) {
  wchar_t className[32] = {};
  GetClassNameW(window, className, int(std::size(className)));
  if (_wcsicmp(className, L"Edit") == 0) return window;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    if (HWND edit = EditIn(child)) return edit;
  return nullptr;
}

bool IsFileDialog(HWND window) { return GetDlgItem(window, 0x47C) != nullptr || GetDlgItem(window, 0x480) != nullptr; }

// The system's open or save dialog answered as a user does: the path in its file name box, then
// Enter; it must close.
bool RunFile(const DriveCommand& command, DriveSession* session, std::string* report) {
  HWND fileDialog = WaitForWindow(*session, L"#32770", IsFileDialog, session->hands.timeoutMs);
  if (fileDialog == nullptr) return *report = "no file dialog opened", false;
  // The file name box (cmb13, a ComboBoxEx in the Explorer-style dialog, or edt1) and the edit in it.
  HWND name = GetDlgItem(fileDialog, 0x47C);
  if (name == nullptr) name = GetDlgItem(fileDialog, 0x480);
  name = name != nullptr ? EditIn(name) : nullptr;
  if (name == nullptr) return *report = "the file dialog has no file name box", false;
  ULONGLONG deadline = GetTickCount64() + kMessageLimitMs;
  while (GetForegroundWindow() != fileDialog && GetTickCount64() < deadline) {
    SetForegroundWindow(fileDialog);
    Sleep(20);
  }
  SendWithLimit(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command.file.c_str()));
  if (!PressChord(&session->hands, KeyChord{{}, VK_RETURN}, report)) return false;
  if (WaitFor(*session, session->hands.timeoutMs, IsGoneOrHidden, fileDialog, nullptr)) return *report = "ok", true;
  *report = "the file dialog stayed open";
  return false;
}

bool IsOptionsDialog(HWND window) {
  wchar_t caption[64] = {};
  GetWindowTextW(window, caption, int(std::size(caption)));
  return wcscmp(caption, kOptionsDialogCaption) == 0;
}

// F10 as a user presses it; the commands that follow act on the options dialog until it closes.
bool RunOptions(const DriveCommand&, DriveSession* session, std::string* report) {
  if (session->mainDialog != nullptr) return *report = "a dialog of the plug-in's dialog is already being driven", false;
  if (!PressChord(&session->hands, KeyChord{{}, VK_F10}, report)) return false;
  HWND options = WaitForWindow(*session, L"#32770", IsOptionsDialog, session->hands.timeoutMs);
  if (options == nullptr) return *report = "F10 opened no options dialog", false;
  session->mainDialog = session->dialog;
  session->dialog = session->hands.dialog = options;
  return *report = "ok", true;
}

bool IsChecked(HWND control, const void*) { return SendWithLimit(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// A radio button, check box or picture button clicked; a radio button or check box must then show
// the check.
bool RunChoose(const DriveCommand& command, DriveSession* session, std::string* report) {
  if (!ClickControl(session, command.controlId, report)) return false;
  HWND control = GetDlgItem(session->dialog, command.controlId);
  LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
  bool checkable = type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON || type == BS_AUTOCHECKBOX || type == BS_CHECKBOX;
  if (checkable && !WaitFor(*session, session->textLimitMs, IsChecked, control, nullptr))
    return *report = "control " + Describe(command.controlId) + " did not become checked", false;
  return *report = "ok", true;
}

// The control that has the keyboard focus in the dialog's thread, or the control it lies in.
bool HoldsFocus(HWND control, const void*) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(control, nullptr), &info) || info.hwndFocus == nullptr) return false;
  return info.hwndFocus == control || IsChild(control, info.hwndFocus);
}

// Tab pressed until the keyboard focus rests on the control, as a user moves it without touching
// the control; a control that no round of Tab reaches (not a tab stop) fails.
bool RunFocus(const DriveCommand& command, DriveSession* session, std::string* report) {
  POINT centre{};
  HWND control = ReachableControl(*session, command.controlId, &centre, report);
  if (control == nullptr) return false;
  int tabStops = 0;
  for (HWND child = GetWindow(session->dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    tabStops += (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) != 0 ? 1 : 0;
  for (int presses = 0; presses <= tabStops; ++presses) {
    if (WaitFor(*session, 0, HoldsFocus, control, nullptr)) return *report = "ok after " + std::to_string(presses) + " tabs", true;
    if (!PressChord(&session->hands, KeyChord{{}, VK_TAB}, report)) return false;
  }
  return *report = "Tab never put the focus on control " + Describe(command.controlId), false;
}

using CommandHandler = bool (*)(const DriveCommand&, DriveSession*, std::string*);

// verb               handler
constexpr CommandHandler kHandlers[] = {
    /* DRIVE_WAIT_IDLE  */ RunWaitIdle,
    /* DRIVE_PRESS      */ RunPress,
    /* DRIVE_KEY        */ RunKeys,
    /* DRIVE_HOLD       */ RunHoldOrRelease,
    /* DRIVE_RELEASE    */ RunHoldOrRelease,
    /* DRIVE_CLICK      */ RunPointer,
    /* DRIVE_DBLCLICK   */ RunPointer,
    /* DRIVE_DRAG       */ RunPointer,
    /* DRIVE_WHEEL      */ RunPointer,
    /* DRIVE_SET        */ RunSet,
    /* DRIVE_SCREENSHOT */ RunScreenshot,
    /* DRIVE_EXPECT     */ RunExpect,
    /* DRIVE_RESIZE     */ RunResize,
    /* DRIVE_ZOOM       */ RunZoom,
    /* DRIVE_SCROLL     */ RunScroll,
    /* DRIVE_SCREENSHOT_PREVIEW */ RunScreenshot,
    /* DRIVE_SET_TRACK  */ RunSetTrack,
    /* DRIVE_SELECT_STYLE */ RunSelectStyle,
    /* DRIVE_SETTINGS   */ RunSettings,
    /* DRIVE_MENU       */ RunMenu,
    /* DRIVE_FILE       */ RunFile,
    /* DRIVE_ZOOM_MENU  */ RunZoomMenu,
    /* DRIVE_SWEEP      */ RunSweep,
    /* DRIVE_TOOL       */ RunTool,
    /* DRIVE_OPTIONS    */ RunOptions,
    /* DRIVE_CHOOSE     */ RunChoose,
    /* DRIVE_FOCUS      */ RunFocus,
};
static_assert(std::size(kHandlers) == DRIVE_VERB_COUNT);

}  // namespace

bool BeginDrive(HWND dialog, DriveSession* session, std::string* error) {
  session->dialog = dialog;
  session->hands.dialog = dialog;
  session->hands.watch = &session->watch;
  return session->watch.Attach(GetWindowThreadProcessId(dialog, nullptr), error);
}

bool BringDialogToFront(DriveSession* session, std::string* error) {
  ULONGLONG deadline = GetTickCount64() + kMessageLimitMs;
  while (GetForegroundWindow() != session->dialog) {
    if (GetTickCount64() >= deadline) return *error = "the dialog could not be brought to the front", false;
    SetForegroundWindow(session->dialog);
    Sleep(20);
  }
  return true;
}

bool RunDriveCommand(const DriveCommand& command, DriveSession* session, std::string* report) {
  // A dialog that the plug-in's dialog opened has closed, or is closing under a command that names
  // a control only the plug-in's dialog has: the commands act on the plug-in's dialog again.
  if (session->mainDialog != nullptr) {
    bool namesOther = command.controlId > 0 && GetDlgItem(session->dialog, command.controlId) == nullptr;
    if (namesOther) WaitFor(*session, kMessageLimitMs, IsGoneOrHidden, session->dialog, nullptr);
    if (IsGoneOrHidden(session->dialog, nullptr)) {
      session->dialog = session->hands.dialog = session->mainDialog;
      session->mainDialog = nullptr;
    }
  }
  if (!IsWindow(session->dialog) || !IsWindowVisible(session->dialog)) return *report = "the dialog has closed", false;
  report->clear();
  return kHandlers[command.verb](command, session, report);
}

namespace {
bool IsGone(HWND dialog, const void*) { return !IsWindow(dialog) || !IsWindowVisible(dialog); }

}  // namespace

// Dialogs the plug-in's dialog opened (file dialogs, message boxes) are cancelled first, and an
// open menu is ended, for the plug-in's dialog takes no click while they are up.
BOOL CALLBACK CancelOwnedDialog(HWND window, LPARAM owner) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner))
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return TRUE;
}

// Cancel is posted as the button's click; a second click leaves an editor set that the first one
// only returned from, so clicks are repeated until the dialog is gone.
void CancelDialog(DriveSession* session) {
  ReleaseHeldKeys(&session->hands);
  PostMessageW(session->dialog, WM_CANCELMODE, 0, 0);
  EnumWindows(CancelOwnedDialog, reinterpret_cast<LPARAM>(session->dialog));
  for (int attempt = 0; attempt < 5 && !IsGone(session->dialog, nullptr); ++attempt) {
    if (attempt > 0) EnumWindows(CancelOwnedDialog, reinterpret_cast<LPARAM>(session->dialog));
    PostMessageW(session->dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(session->dialog, IDCANCEL)));
    WaitFor(*session, 3000, IsGone, session->dialog, nullptr);
  }
  // A failure inside a dialog that the plug-in's dialog opened cancels both.
  if (session->mainDialog != nullptr) {
    session->dialog = session->hands.dialog = session->mainDialog;
    session->mainDialog = nullptr;
    CancelDialog(session);
  }
}
