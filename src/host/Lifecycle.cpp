// Brings the library up on the first selector of a load and down again at its end, so that a
// selector that fails leaves nothing behind and the next one starts fresh.
#include "host/Lifecycle.h"

#include <commctrl.h>
#include <objbase.h>

#include <cwchar>

#include "core/BufferManager.h"
#include "core/Progress.h"
#include "host/HostState.h"
#include "host/HostSuites.h"
#include "preview/OpenGLSettings.h"
#include "support/DataFolders.h"
#include "support/DebugLog.h"
#include "support/ErrorReport.h"
#include "support/FaultInjection.h"
#include "support/HelpViewer.h"
#include "support/UserMessage.h"
#include "ui/AcceleratorKeys.h"
#include "ui/ColorScheme.h"
#include "ui/DialogResources.h"
#include "ui/ToolTips.h"

namespace {

constexpr const char kProductName[] = "Halvorn Pro 3";

HMODULE gRichEditLibrary = nullptr;
HCURSOR gHandCursor = nullptr;

// The rich-edit library by its full path in the system folder: a bare name would be looked for in
// the host's folder first, where any file of that name would be loaded into the host.
HMODULE LoadRichEditLibrary() {
  wchar_t path[MAX_PATH];
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  constexpr wchar_t kName[] = L"\\riched20.dll";
  if (length == 0 || length + wcslen(kName) >= MAX_PATH) return nullptr;
  wcscat_s(path, MAX_PATH, kName);
  return LoadLibraryW(path);
}

bool LoadCommonControls() {
  gRichEditLibrary = LoadRichEditLibrary();
  if (gRichEditLibrary == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "LoadLibrary() failed to load 'riched20.dll'.");
    return false;
  }
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  if (!InitCommonControlsEx(&controls)) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "InitCommonControlsEx() failed.");
    return false;
  }
  gHandCursor = LoadCursorW(nullptr, IDC_HAND);
  // Missing menus or splash are reported where they are loaded; the dialog still opens without them.
  LoadUserInterfaceResources();
  return true;
}

}  // namespace

void InitializeGlobals(int16 selector, HWND owner) {
  if (selector != filterSelectorAbout) AcquireHostSuites();
  gHost.userInterfaceThreadId = GetCurrentThreadId();
  gHost.ownerWindow = owner;
  InitializeUserMessages(owner, gHost.userInterfaceThreadId);
  if (!InitializeLogQueue(kProductName)) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Can't open the debug logging queue for debug event messages.");
  }
  MakeUserDataFolder();
  if (!OpenDebugLog(LogModeThreaded)) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Can't open debug log file");
  }
  InitializeHelpViewer();
  InitializeBufferManager();
  LoadColorScheme();
  // Without a host window the main dialog makes the tooltip control on itself.
  if (owner != nullptr) CreateToolTipControl(owner);
  LoadOpenGLDrawingSettings();
  InitializeImageEditorProgressBar();
  gHost.initialized = true;
}

// COM may already be initialised by the host in another apartment mode; that is accepted, but
// only an initialisation made here is balanced by CoUninitialize.
bool InitUI() {
  if (gHost.comInitialized) return true;
  HRESULT result = FaultInjected(FAULT_COM_INITIALIZE) ? E_OUTOFMEMORY : CoInitialize(nullptr);
  if (FAILED(result) && result != RPC_E_CHANGED_MODE) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Error:  CoInitialize returned 0x%X.", unsigned(result));
    return false;
  }
  gHost.comNeedsUninitialize = SUCCEEDED(result);
  if (!LoadCommonControls()) {
    if (gHost.comNeedsUninitialize) CoUninitialize();
    gHost.comNeedsUninitialize = false;
    return false;
  }
  gHost.comInitialized = true;
  return true;
}

void ShutDown() {
  if (gHost.comNeedsUninitialize) CoUninitialize();
  gHost.comNeedsUninitialize = false;
  gHost.comInitialized = false;
  TearDown();
}

void TearDown() {
  if (!gHost.initialized) return;
  TerminateImageEditorProgressBar();
  QuitHelpViewer();
  DestroyToolTipControl();
  FreeDialogAccelerators();
  ReportBufferUsage();
  DeleteThemeBrushes();
  ReleaseUserInterfaceResources();
  if (gRichEditLibrary != nullptr) FreeLibrary(gRichEditLibrary);
  gRichEditLibrary = nullptr;
  TerminateBufferManager();
  ReleaseHostSuites();
  CloseDebugLog();
  ResetDataFolders();
  gHost.initialized = false;
}
