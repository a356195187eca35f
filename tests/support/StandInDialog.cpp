// The driver tests' stand-in for the plug-in's dialog: a real "#32770" dialog with a modal loop on
// its own thread, with controls at the plug-in's ids and a preview that records its input.
#include "StandInDialog.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <process.h>

#include <cstring>
#include <iterator>

#include "TestSupport.h"

namespace {

constexpr UINT_PTR kPresentTimer = 1;
constexpr UINT kQueueFrameMessage = WM_APP + 50;
constexpr wchar_t kPreviewClass[] = L"StandInPreview";
constexpr int kSizeGripId = 1083;
constexpr int kSizeGripSide = 16;

void PlaceSizeGrip(HWND dialog) {
  RECT client{};
  GetClientRect(dialog, &client);
  SetWindowPos(GetDlgItem(dialog, kSizeGripId), nullptr, client.right - kSizeGripSide, client.bottom - kSizeGripSide,
               kSizeGripSide, kSizeGripSide, SWP_NOZORDER | SWP_NOACTIVATE);
}

// An empty template (header, no menu, the standard class, the caption): the controls are
// created in WM_INITDIALOG at pixel positions.
void BuildTemplate(DWORD* words, size_t count) {
  memset(words, 0, count * sizeof(DWORD));
  auto* header = reinterpret_cast<DLGTEMPLATE*>(words);
  header->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME | DS_CENTER;
  header->cx = 360;
  header->cy = 240;
  WORD* after = reinterpret_cast<WORD*>(reinterpret_cast<BYTE*>(words) + 18);
  after[0] = 0;  // menu
  after[1] = 0;  // class
  wcscpy(reinterpret_cast<wchar_t*>(after + 2), L"Halvorn Pro 3");
}

void SetFrameProperties(HWND preview, LONG_PTR queued, LONG_PTR presented) {
  SetPropW(preview, L"Halvorn.QueuedFrame", reinterpret_cast<HANDLE>(queued));
  SetPropW(preview, L"Halvorn.PresentedFrame", reinterpret_cast<HANDLE>(presented));
}

HWND Child(HWND dialog, const wchar_t* windowClass, const wchar_t* text, DWORD style, int id, int x, int y, int width,
           int height) {
  return CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, dialog,
                         reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
}

// Wine's rich edit box asks for Tab even on one line; a dialog's value box leaves it to the
// dialog, so that Tab moves on to the next control.
LRESULT CALLBACK LeaveTabToTheDialog(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  LRESULT result = DefSubclassProc(window, message, wParam, lParam);
  return message == WM_GETDLGCODE ? result & ~LRESULT(DLGC_WANTTAB) : result;
}

}  // namespace

StandInDialog::StandInDialog(StandInPlace place, UINT presentAfterMs)
    : m_PresentAfterMs(presentAfterMs), m_Front(place == STANDIN_IN_FRONT) {
  LoadLibraryW(L"riched20.dll");
  WNDCLASSW preview{};
  preview.lpfnWndProc = PreviewProcedure;
  preview.hInstance = GetModuleHandleW(nullptr);
  preview.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  preview.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  preview.lpszClassName = kPreviewClass;
  preview.style = CS_DBLCLKS;
  RegisterClassW(&preview);
  m_Thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Entry, this, 0, nullptr));
  WaitUntil([this] { return m_Window.load() != nullptr && IsWindowVisible(m_Window.load()); }, 10000);
}

StandInDialog::~StandInDialog() {
  if (!Ended() && IsWindow(m_Window.load())) PostMessageW(m_Window, WM_COMMAND, IDCANCEL, 0);
  WaitForSingleObject(m_Thread, 10000);
  CloseHandle(m_Thread);
}

// Modeless, so that a dialog kept behind other windows is shown without being activated; the
// loop is a modal dialog's own.
unsigned __stdcall StandInDialog::Entry(void* self) {
  DWORD dialogTemplate[32];
  BuildTemplate(dialogTemplate, std::size(dialogTemplate));
  auto* dialog = static_cast<StandInDialog*>(self);
  HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<DLGTEMPLATE*>(dialogTemplate),
                                           nullptr, Procedure, reinterpret_cast<LPARAM>(self));
  if (window == nullptr) return 0;
  if (dialog->m_Front) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
  } else {
    SetWindowPos(window, HWND_BOTTOM, 1500, 1100, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  }
  dialog->m_Window = window;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

void StandInDialog::CreateControls(HWND window) {
  Child(window, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 420, 380, 80, 26);
  Child(window, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, 510, 380, 80, 26);
  HWND length = Child(window, L"RichEdit20A", L"50", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 1007, 420, 20, 80, 22);
  SetWindowSubclass(length, LeaveTabToTheDialog, 0, 0);
  Child(window, L"EDIT", L"0", WS_TABSTOP | WS_BORDER, 1009, 510, 20, 80, 22);
  HWND effects = Child(window, L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 1182, 420, 60, 170, 200);
  for (const wchar_t* name : {L"Standard Star", L"Star Burst", L"Hyper Star", L"Hollywood Star", L"North Star", L"Vector Star",
                              L"Religious Cross"})
    SendMessageW(effects, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendMessageW(effects, CB_SETCURSEL, 0, 0);
  Child(window, L"BUTTON", L"Effects &Only", WS_TABSTOP | BS_AUTOCHECKBOX, 1122, 420, 100, 170, 22);
  HWND preview = Child(window, kPreviewClass, L"", 0, 1040, 10, 10, 380, 300);
  Child(window, L"SCROLLBAR", L"", SBS_SIZEGRIP | SBS_SIZEBOXBOTTOMRIGHTALIGN, kSizeGripId, 0, 0, 0, 0);
  PlaceSizeGrip(window);
  SetWindowLongPtrW(preview, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetFrameProperties(preview, 1, 1);
}

INT_PTR CALLBACK StandInDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<StandInDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      self = reinterpret_cast<StandInDialog*>(lParam);
      self->CreateControls(window);
      // Focus would activate the dialog: one kept behind must not take the front from a test
      // that is sending input in another process.
      if (self->m_Front) SetFocus(GetDlgItem(window, IDOK));
      return FALSE;
    case WM_SIZE:
      if (GetDlgItem(window, kSizeGripId) != nullptr) PlaceSizeGrip(window);
      return FALSE;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{400, 300};
      return TRUE;
    case kQueueFrameMessage: {
      HWND preview = GetDlgItem(window, 1040);
      LONG_PTR presented = reinterpret_cast<LONG_PTR>(GetPropW(preview, L"Halvorn.PresentedFrame"));
      SetFrameProperties(preview, LONG_PTR(wParam), presented);
      if (self->m_PresentAfterMs > 0) SetTimer(window, kPresentTimer, self->m_PresentAfterMs, nullptr);
      return TRUE;
    }
    case WM_TIMER: {
      KillTimer(window, kPresentTimer);
      HWND preview = GetDlgItem(window, 1040);
      LONG_PTR queued = reinterpret_cast<LONG_PTR>(GetPropW(preview, L"Halvorn.QueuedFrame"));
      SetFrameProperties(preview, queued, queued);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        self->m_Result = LOWORD(wParam);
        DestroyWindow(window);
      }
      return TRUE;
    case WM_DESTROY:
      PostQuitMessage(0);
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT CALLBACK StandInDialog::PreviewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<StandInDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  bool mouse = message >= WM_MOUSEFIRST && message <= WM_MOUSELAST;
  bool key = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
  if (self != nullptr && (mouse || key)) {
    PreviewEvent event{message, POINT{0, 0}, wParam, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0,
                       GetKeyState(VK_SHIFT) < 0};
    if (mouse && message != WM_MOUSEWHEEL) event.at = POINT{short(LOWORD(lParam)), short(HIWORD(lParam))};
    if (message == WM_MOUSEWHEEL) {
      event.at = POINT{short(LOWORD(lParam)), short(HIWORD(lParam))};
      ScreenToClient(window, &event.at);
    }
    std::lock_guard<std::mutex> guard(self->m_EventsLock);
    self->m_Events.push_back(event);
  }
  if (message == WM_LBUTTONDOWN) SetFocus(window);
  if (message == WM_GETDLGCODE) return DLGC_WANTALLKEYS;
  if (key) return 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

void StandInDialog::QueueFrame(LONG_PTR frame) { SendMessageW(m_Window, kQueueFrameMessage, WPARAM(frame), 0); }

void StandInDialog::SetFrames(LONG_PTR queued, LONG_PTR presented) { SetFrameProperties(GetDlgItem(m_Window, 1040), queued, presented); }

std::vector<PreviewEvent> StandInDialog::PreviewEvents() const {
  std::lock_guard<std::mutex> guard(m_EventsLock);
  return m_Events;
}

DriveCommand ParsedDriveCommand(const std::string& line) {
  std::vector<DriveCommand> commands;
  std::string error;
  EXPECT_TRUE(ParseDriveScript(line, &commands, &error)) << error;
  return commands.empty() ? DriveCommand{} : commands[0];
}
