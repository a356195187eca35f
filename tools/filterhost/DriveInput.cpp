// Sends keys (virtual key with its scan code) and absolute mouse events through SendInput, each
// tagged, and follows the tags through a message hook on the dialog's thread.
#include "DriveInput.h"

#include <atomic>
#include <cstdlib>

#include "ForeignWindows.h"

namespace {

// Tags in the extra information of every event we send: a fixed high part and a counter.
constexpr ULONG_PTR kTagBase = ULONG_PTR(0x4856524E) << 32;
constexpr ULONG_PTR kTagMask = ULONG_PTR(0xFFFFFFFF) << 32;
std::atomic<ULONG_PTR> gLastTagSent{kTagBase};
std::atomic<ULONG_PTR> gLastTagTaken{kTagBase};
std::atomic<int> gForeignModifierReleases{0};  // Shift 1, Ctrl 2, Alt 4: released by other input
constexpr DWORD kMoveLimitMs = 2000;
constexpr int kMoveAttempts = 3;
constexpr UINT kAnswerLimitMs = 1000;

bool IsInputMessage(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

int ModifierBit(WPARAM key) { return key == VK_SHIFT ? 1 : key == VK_CONTROL ? 2 : key == VK_MENU ? 4 : 0; }

// Notes the tag of input the dialog's thread took, and modifier releases that were not ours.
void NoteTag(const MSG* message) {
  if (!IsInputMessage(message->message)) return;
  ULONG_PTR tag = ULONG_PTR(GetMessageExtraInfo());
  if ((tag & kTagMask) != kTagBase && (message->message == WM_KEYUP || message->message == WM_SYSKEYUP))
    gForeignModifierReleases |= ModifierBit(message->wParam);
  ULONG_PTR seen = gLastTagTaken.load();
  while ((tag & kTagMask) == kTagBase && tag > seen && !gLastTagTaken.compare_exchange_weak(seen, tag)) {
  }
}

// Runs on the dialog's thread for every message its loops retrieve through GetMessage.
LRESULT CALLBACK NoteRetrievedInput(int code, WPARAM flags, LPARAM message) {
  if (code == HC_ACTION) NoteTag(reinterpret_cast<const MSG*>(message));
  return CallNextHookEx(nullptr, code, flags, message);
}

// The system's own modal loops (moving and sizing, menus) take their messages past the message
// hook but show each to the message filters.
LRESULT CALLBACK NoteFilteredInput(int code, WPARAM flags, LPARAM message) {
  if (code >= 0) NoteTag(reinterpret_cast<const MSG*>(message));
  return CallNextHookEx(nullptr, code, flags, message);
}

bool IsExtendedKey(WORD key) {
  switch (key) {
    case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_DIVIDE: case VK_RCONTROL:
    case VK_RMENU: case VK_NUMLOCK: case VK_APPS: case VK_LWIN: case VK_RWIN:
      return true;
    default:
      return false;
  }
}

INPUT KeyEvent(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = WORD(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(key) ? KEYEVENTF_EXTENDEDKEY : 0);
  return input;
}

// Absolute coordinates run 0..65535 over the virtual screen; the system maps back with
// floor(n * size / 65536), so rounding up lands on the pixel asked for.
LONG Normalized(LONG coordinate, int origin, int size) {
  return LONG((int64_t(coordinate - origin) * 65536 + size - 1) / size);
}

INPUT MouseEvent(DWORD flags, POINT screen, LONG wheel = 0) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = Normalized(screen.x, GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN));
  input.mi.dy = Normalized(screen.y, GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
  input.mi.mouseData = DWORD(wheel);
  input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
  return input;
}

// The cursor where the absolute event put it (within the rounding of normalised coordinates).
bool CursorIsAt(const INPUT& event) {
  POINT cursor{};
  if (!GetCursorPos(&cursor)) return false;
  INPUT there = MouseEvent(0, cursor);
  return there.mi.dx == event.mi.dx && there.mi.dy == event.mi.dy;
}

// A window that gains the X input focus has Wine's modifier state set from the X keyboard, whose
// keys we never pressed: modifiers we hold come back released. They are pressed again before the
// next input, as a user's finger still on the key would keep it down.
void PressHeldModifiersAgain(const InputHands* hands, std::vector<INPUT>* events) {
  int released = gForeignModifierReleases.exchange(0);
  std::vector<INPUT> again;
  for (WORD key : hands->held)
    if (ModifierBit(key) & released) again.push_back(KeyEvent(key, false));
  events->insert(events->begin(), again.begin(), again.end());
}

// Whether a window of another thread is in front of the dialog: then input went to it.
bool AnotherThreadInFront(HWND dialog) {
  HWND front = GetForegroundWindow();
  return front != nullptr && IsWindow(dialog) &&
         GetWindowThreadProcessId(front, nullptr) != GetWindowThreadProcessId(dialog, nullptr);
}

// Where an absolute mouse event puts the cursor: the inverse of Normalized.
POINT ScreenPointOf(const INPUT& event) {
  auto back = [](LONG n, int origin, int size) { return LONG(origin + int64_t(n) * size / 65536); };
  return POINT{back(event.mi.dx, GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN)),
               back(event.mi.dy, GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN))};
}

// Where the mouse events land, a pixel each. The X server hands a click to the window it shows
// there, which may be another test's window above the dialog.
std::vector<RECT> MousePoints(const std::vector<INPUT>& events) {
  std::vector<RECT> points;
  for (const INPUT& event : events) {
    if (event.type != INPUT_MOUSE) continue;
    POINT point = ScreenPointOf(event);
    points.push_back(RECT{point.x, point.y, point.x + 1, point.y + 1});
  }
  return points;
}

bool SendOnce(InputHands* hands, std::vector<INPUT> events, std::string* error);

// Sends the events and waits until the dialog's thread took the last one. When they were not
// taken because another program's window came in front (other tests start programs of their
// own), the dialog is brought back to the front and the events, which it never saw, are sent
// once more.
bool Send(InputHands* hands, const std::vector<INPUT>& events, std::string* error) {
  if (SendOnce(hands, events, error)) return true;
  if (!AnotherThreadInFront(hands->dialog)) return false;
  SetForegroundWindow(hands->dialog);
  return SendOnce(hands, events, error);
}

// A move to where the server already has the cursor makes no message, so a move counts as done
// once the cursor is there and the thread has had its chance to take it.
bool SendOnce(InputHands* hands, std::vector<INPUT> events, std::string* error) {
  std::vector<RECT> points = MousePoints(events);
  if (!WaitUntilUncovered(points.data(), points.size(), kForeignWindowLimitMs)) {
    *error = "a window of another program stays where the mouse must go: " +
             DescribeWindow(ForeignWindowOver(points.data(), points.size()));
    return false;
  }
  PressHeldModifiersAgain(hands, &events);
  ULONG_PTR tag = 0;
  for (INPUT& input : events) {
    tag = hands->watch->NextTag();
    (input.type == INPUT_KEYBOARD ? input.ki.dwExtraInfo : input.mi.dwExtraInfo) = tag;
  }
  UINT sent = SendInput(UINT(events.size()), events.data(), sizeof(INPUT));
  if (sent != events.size()) {
    *error = "SendInput failed with error " + std::to_string(GetLastError());
    return false;
  }
  const INPUT& last = events.back();
  bool moveOnly = last.type == INPUT_MOUSE && (last.mi.dwFlags & ~(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK)) == 0;
  // The plug-in swallows Space over its preview (it belongs to the preview's tools), so no message
  // shows it taken: it counts once the system's key state has it.
  bool space = last.type == INPUT_KEYBOARD && last.ki.wVk == VK_SPACE;
  bool taken = hands->watch->WaitForTag(tag, hands->dialog, moveOnly || space ? kMoveLimitMs : hands->timeoutMs);
  if (!taken && moveOnly) taken = hands->watch->WaitForTag(tag, hands->dialog, 0) || CursorIsAt(last);
  if (!taken && space) taken = (GetAsyncKeyState(VK_SPACE) < 0) == ((last.ki.dwFlags & KEYEVENTF_KEYUP) == 0);
  if (taken) {
    // The hooks see a message when it is taken from the queue; a message sent after it is
    // answered only once its handling is over (or has entered a loop of its own).
    DWORD_PTR ignored = 0;
    if (IsWindow(hands->dialog))
      SendMessageTimeoutW(hands->dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, hands->timeoutMs, &ignored);
    return true;
  }
  POINT cursor{};
  GetCursorPos(&cursor);
  DWORD_PTR ignored = 0;
  bool answers = IsWindow(hands->dialog) &&
                 SendMessageTimeoutW(hands->dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerLimitMs, &ignored) != 0;
  *error = "the dialog's thread did not take the input within " + std::to_string(hands->timeoutMs / 1000) +
           " s (is another window in front?); in front: " + DescribeWindow(GetForegroundWindow()) +
           "; under the cursor at (" + std::to_string(cursor.x) + "," + std::to_string(cursor.y) +
           "): " + DescribeWindow(WindowFromPoint(cursor)) + "; the dialog " +
           (answers ? "answers messages" : "does not answer messages within a second");
  return false;
}

bool IsHeld(const InputHands* hands, WORD key) {
  for (WORD held : hands->held)
    if (held == key) return true;
  return false;
}

}  // namespace

InputWatch::~InputWatch() { Detach(); }

bool InputWatch::Attach(DWORD thread, std::string* error) {
  Detach();
  // A hook procedure in this module for a thread of this process takes no module handle.
  m_Hook = SetWindowsHookExW(WH_GETMESSAGE, NoteRetrievedInput, nullptr, thread);
  if (m_Hook == nullptr) {
    *error = "SetWindowsHookExW(WH_GETMESSAGE) failed with error " + std::to_string(GetLastError());
    return false;
  }
  m_FilterHook = SetWindowsHookExW(WH_MSGFILTER, NoteFilteredInput, nullptr, thread);
  if (m_FilterHook != nullptr) return true;
  *error = "SetWindowsHookExW(WH_MSGFILTER) failed with error " + std::to_string(GetLastError());
  Detach();
  return false;
}

void InputWatch::Detach() {
  if (m_Hook != nullptr) UnhookWindowsHookEx(m_Hook);
  if (m_FilterHook != nullptr) UnhookWindowsHookEx(m_FilterHook);
  m_Hook = m_FilterHook = nullptr;
}

ULONG_PTR InputWatch::NextTag() { return ++gLastTagSent; }

bool InputWatch::WaitForTag(ULONG_PTR tag, HWND dialog, DWORD timeoutMs) const {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (gLastTagTaken.load() < tag) {
    if (!IsWindow(dialog)) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(5);
  }
  return true;
}

// Wine sets its cursor from the X pointer when a window appears or vanishes under it, which can
// undo a move just made; the move is repeated then, as a hand would move the mouse back.
bool MoveMouse(InputHands* hands, POINT screen, std::string* error) {
  for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
    bool sent = Send(hands, {MouseEvent(0, screen)}, error);
    if (sent && CursorIsAt(MouseEvent(0, screen))) return true;
    // Under Wine the X pointer can stay behind where a drag began, and X events from it move the
    // cursor back; a real mouse moves both, so the pointer is put where the cursor was sent.
    SetCursorPos(screen.x, screen.y);
    if (CursorIsAt(MouseEvent(0, screen))) return true;
  }
  POINT cursor{};
  GetCursorPos(&cursor);
  *error = "the cursor went to (" + std::to_string(cursor.x) + "," + std::to_string(cursor.y) + "), not (" +
           std::to_string(screen.x) + "," + std::to_string(screen.y) + ")";
  return false;
}

namespace {

// Wine takes the modifiers from the X server's pointer events, where our keys were never
// pressed: after a move they may read released though we hold them. Pressed again in the same
// batch as the button, they are down when the press arrives, as a finger on the key keeps them.
void PressHeldModifiers(const InputHands* hands, std::vector<INPUT>* events) {
  for (WORD key : hands->held)
    if (key == VK_CONTROL || key == VK_SHIFT || key == VK_MENU) events->push_back(KeyEvent(key, false));
}

}  // namespace

bool ClickMouse(InputHands* hands, POINT screen, int clicks, std::string* error) {
  if (!MoveMouse(hands, screen, error)) return false;
  std::vector<INPUT> events;
  PressHeldModifiers(hands, &events);
  for (int i = 0; i < clicks; ++i) {
    events.push_back(MouseEvent(MOUSEEVENTF_LEFTDOWN, screen));
    events.push_back(MouseEvent(MOUSEEVENTF_LEFTUP, screen));
  }
  return Send(hands, events, error);
}

// With the button down the system's move-and-size loop holds the X pointer grabbed, so that
// Wine may put its cursor back where the drag began; a step counts once the dialog took it (the
// caller checks what the drag did), and is repeated only when it never arrived.
bool MoveWithButtonDown(InputHands* hands, POINT screen, std::string* error) {
  for (int attempt = 0; attempt < kMoveAttempts; ++attempt)
    if (Send(hands, {MouseEvent(0, screen)}, error)) return true;
  return false;
}

// Each step waits until the dialog took it, as a hand moving at the speed of the screen would.
bool DragMouse(InputHands* hands, POINT from, POINT to, int steps, std::string* error) {
  if (!MoveMouse(hands, from, error)) return false;
  std::vector<INPUT> press;
  PressHeldModifiers(hands, &press);
  press.push_back(MouseEvent(MOUSEEVENTF_LEFTDOWN, from));
  if (!Send(hands, press, error)) return false;
  POINT previous = from;
  for (int step = 1; step <= steps; ++step) {
    POINT at{from.x + MulDiv(to.x - from.x, step, steps), from.y + MulDiv(to.y - from.y, step, steps)};
    // A short drag has fewer pixels than steps: a move to where the pointer is makes no message
    // and would only wait for one.
    if (at.x == previous.x && at.y == previous.y) continue;
    previous = at;
    if (!MoveWithButtonDown(hands, at, error)) {
      Send(hands, {MouseEvent(MOUSEEVENTF_LEFTUP, at)}, error);
      return false;
    }
  }
  return Send(hands, {MouseEvent(MOUSEEVENTF_LEFTUP, to)}, error);
}

bool SweepMouse(InputHands* hands, POINT from, POINT to, int steps, double stepsPerSecond, double* seconds,
                std::string* error) {
  LARGE_INTEGER frequency{}, start{}, now{};
  QueryPerformanceFrequency(&frequency);
  if (!MoveMouse(hands, from, error) || !Send(hands, {MouseEvent(MOUSEEVENTF_LEFTDOWN, from)}, error)) return false;
  QueryPerformanceCounter(&start);
  auto elapsed = [&] {
    QueryPerformanceCounter(&now);
    return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
  };
  for (int step = 1; step <= steps; ++step) {
    double due = step / stepsPerSecond;
    for (double left = due - elapsed(); left > 0; left = due - elapsed()) Sleep(DWORD(std::max(1.0, left * 1000.0 - 0.5)));
    POINT at{from.x + MulDiv(to.x - from.x, step, steps), from.y + MulDiv(to.y - from.y, step, steps)};
    // A hand does not wait for the screen: the moves go out on time, and the dialog takes them
    // as fast as it can (or merges them, as the system does with moves it has not yet given out).
    INPUT move = MouseEvent(0, at);
    move.mi.dwExtraInfo = hands->watch->NextTag();
    if (SendInput(1, &move, sizeof move) != 1) {
      *error = "SendInput failed with error " + std::to_string(GetLastError());
      Send(hands, {MouseEvent(MOUSEEVENTF_LEFTUP, at)}, error);
      return false;
    }
  }
  bool released = Send(hands, {MouseEvent(MOUSEEVENTF_LEFTUP, to)}, error);
  *seconds = elapsed();
  return released;
}

bool TurnWheel(InputHands* hands, POINT screen, int notches, std::string* error) {
  return MoveMouse(hands, screen, error) && Send(hands, {MouseEvent(MOUSEEVENTF_WHEEL, screen, notches * WHEEL_DELTA)}, error);
}

bool PressChord(InputHands* hands, const KeyChord& chord, std::string* error) {
  std::vector<INPUT> events;
  for (WORD modifier : chord.modifiers)
    if (!IsHeld(hands, modifier)) events.push_back(KeyEvent(modifier, false));
  events.push_back(KeyEvent(chord.key, false));
  events.push_back(KeyEvent(chord.key, true));
  for (auto modifier = chord.modifiers.rbegin(); modifier != chord.modifiers.rend(); ++modifier)
    if (!IsHeld(hands, *modifier)) events.push_back(KeyEvent(*modifier, true));
  return Send(hands, events, error);
}

bool HoldKey(InputHands* hands, WORD key, std::string* error) {
  if (IsHeld(hands, key)) return true;
  if (!Send(hands, {KeyEvent(key, false)}, error)) return false;
  hands->held.push_back(key);
  return true;
}

bool ReleaseKey(InputHands* hands, WORD key, std::string* error) {
  for (auto held = hands->held.begin(); held != hands->held.end(); ++held)
    if (*held == key) {
      hands->held.erase(held);
      return Send(hands, {KeyEvent(key, true)}, error);
    }
  *error = "the key is not held";
  return false;
}

void ReleaseHeldKeys(InputHands* hands) {
  std::string ignored;
  while (!hands->held.empty()) ReleaseKey(hands, hands->held.back(), &ignored);
}

bool TypeText(InputHands* hands, const std::string& text, std::string* error) {
  for (char character : text) {
    KeyChord chord;
    if (!ParseKeyChord(std::string(1, character), &chord, error)) return false;
    if (!PressChord(hands, chord, error)) return false;
  }
  return true;
}
