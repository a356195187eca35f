// The accelerator registry and its WH_MSGFILTER hook. Both are touched only on the thread that
// installed the hook (the host's user-interface thread), so the registry needs no lock.
#include "ui/AcceleratorKeys.h"

#include <vector>

#include "resource.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"

namespace {

struct AcceleratorEntry {
  HWND window;
  HACCEL table;
  bool enabled;
};

std::vector<AcceleratorEntry> gAcceleratorRegistry;
HHOOK gMessageFilterHook = nullptr;
HACCEL gMainAccelerators = nullptr;
HACCEL gEditorAccelerators = nullptr;

AcceleratorEntry* FindEntry(HWND window) {
  for (AcceleratorEntry& entry : gAcceleratorRegistry) {
    if (entry.window == window) return &entry;
  }
  return nullptr;
}

bool IsKeyboardMessage(UINT message) { return message >= WM_KEYDOWN && message <= WM_SYSDEADCHAR; }

LRESULT CALLBACK MessageFilterHook(int code, WPARAM wParam, LPARAM lParam) noexcept {
  auto* message = reinterpret_cast<MSG*>(lParam);
  if (code == MSGF_DIALOGBOX && message != nullptr && IsKeyboardMessage(message->message)) {
    HWND active = GetActiveWindow();
    AcceleratorEntry* entry = FindEntry(active);
    if (entry != nullptr && entry->enabled && entry->table != nullptr) {
      SetLastError(ERROR_SUCCESS);
      if (TranslateAcceleratorW(active, entry->table, message) != 0) return 1;
      DWORD error = GetLastError();
      if (error != ERROR_SUCCESS) {
        ErrorReport(__LINE__, SystemError, error)
            .Report(kStyleError, kTitleUnexpectedError, "Invalid keyboard message detected in WH_MSGFILTER hook.");
      }
    }
  }
  return CallNextHookEx(gMessageFilterHook, code, wParam, lParam);
}

}  // namespace

bool InitializeAcceleratorKeys() {
  if (gMessageFilterHook != nullptr) return true;
  // A hook of this process's own thread takes no module handle.
  gMessageFilterHook = SetWindowsHookExW(WH_MSGFILTER, MessageFilterHook, nullptr, GetCurrentThreadId());
  if (gMessageFilterHook == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "InitializeAcceleratorKeys() - Failed to connect accelerator key hook.");
    return false;
  }
  return true;
}

bool RegisterAcceleratorKeys(HWND window, HACCEL table) {
  if (window == nullptr || table == nullptr || !InitializeAcceleratorKeys()) return false;
  if (AcceleratorEntry* entry = FindEntry(window)) {
    entry->table = table;
    entry->enabled = true;
    return true;
  }
  gAcceleratorRegistry.push_back(AcceleratorEntry{window, table, true});
  return true;
}

void UnregisterAcceleratorKeys(HWND window) {
  for (auto it = gAcceleratorRegistry.begin(); it != gAcceleratorRegistry.end(); ++it) {
    if (it->window == window) {
      gAcceleratorRegistry.erase(it);
      return;
    }
  }
}

void EnableAcceleratorKeys(HWND window, bool enabled) {
  AcceleratorEntry* entry = FindEntry(window);
  if (entry == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError,
                "EnableAcceleratorKeys() - No accelerator key table is registered for window 0x%X.",
                unsigned(reinterpret_cast<uintptr_t>(window)));
    return;
  }
  entry->enabled = enabled;
}

void TerminateAcceleratorKeys() {
  if (gMessageFilterHook != nullptr) UnhookWindowsHookEx(gMessageFilterHook);
  gMessageFilterHook = nullptr;
  gAcceleratorRegistry.clear();
}

HACCEL RegisteredAcceleratorTable(HWND window) {
  AcceleratorEntry* entry = FindEntry(window);
  return entry != nullptr && entry->enabled ? entry->table : nullptr;
}

bool LoadDialogAccelerators() {
  HINSTANCE instance = GetPluginInstance();
  if (gMainAccelerators == nullptr) gMainAccelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDA_MAIN_ACCELERATORS));
  if (gEditorAccelerators == nullptr) {
    gEditorAccelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDA_EDITOR_ACCELERATORS));
  }
  if (gMainAccelerators == nullptr || gEditorAccelerators == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "LoadDialogResources() - Failed to load keyboard accelerator table.");
    return false;
  }
  return true;
}

HACCEL MainAcceleratorTable() { return gMainAccelerators; }
HACCEL EditorAcceleratorTable() { return gEditorAccelerators; }

// Tables loaded from resources are freed with the module; DestroyAcceleratorTable is only needed
// for tables made at run time, and the registry must forget them either way.
void FreeDialogAccelerators() {
  TerminateAcceleratorKeys();
  gMainAccelerators = nullptr;
  gEditorAccelerators = nullptr;
}
