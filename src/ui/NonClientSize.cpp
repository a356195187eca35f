// The right panel is anchored to the right edge, so its old pixels are still right after a size
// change once they are moved with that edge: the old strip is named as source, the new one as
// destination. Windows Vista without composition copies them wrongly when the window shrinks,
// so there the system's default is kept.
#include "ui/NonClientSize.h"

#include <versionhelpers.h>

#include "resource.h"
#include "ui/DialogItems.h"

namespace {

typedef HRESULT(WINAPI* CompositionQuery)(BOOL*);

// The composition test is loaded at run time: the library must load where dwmapi does not exist.
bool DesktopCompositionEnabled() {
  wchar_t path[MAX_PATH];
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 12 >= MAX_PATH) return false;
  wcscat_s(path, MAX_PATH, L"\\dwmapi.dll");
  HMODULE library = LoadLibraryW(path);
  if (library == nullptr) return false;
  BOOL enabled = FALSE;
  auto query = reinterpret_cast<CompositionQuery>(reinterpret_cast<void*>(GetProcAddress(library, "DwmIsCompositionEnabled")));
  bool answered = query != nullptr && SUCCEEDED(query(&enabled));
  FreeLibrary(library);
  return answered && enabled != FALSE;
}

bool VistaWithoutComposition() { return IsWindowsVistaOrGreater() && !IsWindows7OrGreater() && !DesktopCompositionEnabled(); }

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

bool KeepRightPanelWhileSizing(HWND dialog, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (wParam == FALSE || IsIconic(dialog)) return false;
  auto* sizes = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
  RECT newWindow = sizes->rgrc[0], oldWindow = sizes->rgrc[1], oldClient = sizes->rgrc[2];
  if (Width(newWindow) == Width(oldWindow) && Height(newWindow) == Height(oldWindow)) return false;
  bool shrinking = Width(newWindow) < Width(oldWindow) || Height(newWindow) < Height(oldWindow);
  if (shrinking && VistaWithoutComposition()) return false;
  RECT panel;
  if (!GetDialogItemRect(IDC_SETTINGS_GROUP, &panel)) return false;
  *result = DefWindowProcW(dialog, WM_NCCALCSIZE, wParam, lParam);
  RECT newClient = sizes->rgrc[0];
  LONG stripWidth = Width(oldClient) - panel.left;
  LONG stripHeight = Height(oldClient) < Height(newClient) ? Height(oldClient) : Height(newClient);
  if (stripWidth <= 0 || stripWidth > Width(newClient) || stripHeight <= 0) return true;
  sizes->rgrc[1] = RECT{newClient.right - stripWidth, newClient.top, newClient.right, newClient.top + stripHeight};
  sizes->rgrc[2] = RECT{oldClient.right - stripWidth, oldClient.top, oldClient.right, oldClient.top + stripHeight};
  *result = WVR_VALIDRECTS;
  return true;
}
