// Runs the main dialog inside an activation context that selects the version 6 common controls
// from the module's own manifest: the host's manifest may name older ones, or none.
#include "host/DoUI.h"

#include <windows.h>

#include "host/HostProxyImage.h"
#include "host/HostState.h"
#include "preview/PreviewImageSource.h"
#include "preview/PreviewPictureBuild.h"
#include "preview/ProxyDisplay.h"
#include "resource.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"
#include "ui/AcceleratorKeys.h"
#include "ui/ColorScheme.h"
#include "ui/DialogResources.h"
#include "ui/MainDialog.h"
#include "ui/UISettings.h"

namespace {

// The window the host gave for its dialogs, else the active one.
HWND HostWindow() {
  if (gFilterRecord != nullptr && gFilterRecord->platformData != nullptr && gFilterRecord->platformData->hwnd != 0) {
    return reinterpret_cast<HWND>(gFilterRecord->platformData->hwnd);
  }
  return GetActiveWindow();
}

// Without the context the dialog still runs, with whichever common controls the host has.
HANDLE CreateCommonControlsContext(HINSTANCE instance) {
  wchar_t modulePath[MAX_PATH];
  DWORD length = GetModuleFileNameW(instance, modulePath, MAX_PATH);
  ACTCTXW context{};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = length > 0 && length < MAX_PATH ? modulePath : nullptr;
  context.hModule = instance;
  context.lpResourceName = MAKEINTRESOURCEW(IDR_MANIFEST_V6);
  HANDLE created = CreateActCtxW(&context);
  if (created == INVALID_HANDLE_VALUE) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "CreateActCtx() failed to create the common controls activation context.");
  }
  return created;
}

INT_PTR RunMainDialog(HINSTANCE instance, HWND owner) {
  HANDLE context = CreateCommonControlsContext(instance);
  ULONG_PTR cookie = 0;
  bool activated = context != INVALID_HANDLE_VALUE && ActivateActCtx(context, &cookie);
  if (context != INVALID_HANDLE_VALUE && !activated) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError, "ActivateActCtx() failed to activate the common controls context.");
  }
  INT_PTR result = DialogBoxParamW(instance, kMainDialogTemplate, owner, HalvornProc, 0);
  DWORD dialogError = GetLastError();
  if (activated) DeactivateActCtx(0, cookie);
  if (context != INVALID_HANDLE_VALUE) ReleaseActCtx(context);
  if (result == -1 || result == 0) {
    ErrorReport(__LINE__, SystemError, dialogError)
        .Report(kStyleError, kTitleUnexpectedError, "DialogBoxParam() failed to open the main dialog.");
  }
  return result;
}

}  // namespace

bool DoUI() {
  HINSTANCE instance = GetPluginInstance();
  if (instance == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "The application's instance handle has not been initialized.");
    return false;
  }
  LoadDialogAccelerators();
  LoadUISettings();
  if (!CreateProxyDisplayClass(instance, sizeof(LONG_PTR)) && ResultIsOk()) {
    SetResult(kStepFailed);
    ErrorReport(__LINE__, TraceMessage).Report("CreateProxyDisplayClass failed in DoUI(), *gResult set to %d.", kStepFailed);
  }
  if (!ResultIsOk()) return false;
  SetPreviewBackgroundColor(GetSchemeColor(SCHEMECOLOR_BACKGROUND));
  SetPreviewFrameColor(GetSchemeColor(SCHEMECOLOR_DARK_FRAME));
  SetPreviewFocusColor(GetSchemeColor(SCHEMECOLOR_HIGHLIGHT));
  SetPreviewImageSource(HostPreviewImageSource());
  SetPreviewSplashBitmap(GetSplashBitmap());
  // The picture is built while the dialog and its OpenGL contexts are made, not after them.
  StartPreviewPictureBuild(ExpectedLevelZeroMode());
  INT_PTR result = RunMainDialog(instance, HostWindow());
  ForgetPreviewPictureBuild();
  ReleaseHostProxyImage();
  // A dialog that could not be opened is a failure of the run, not the user's cancel.
  if ((result == -1 || result == 0) && ResultIsOk()) {
    SetResult(kStepFailed);
    ErrorReport(__LINE__, TraceMessage).Report("DialogBoxParam failed in DoUI(), *gResult set to %d.", kStepFailed);
  }
  if (result == IDCANCEL && ResultIsOk()) {
    SetResult(kUserCanceled);
    ErrorReport(__LINE__, TraceMessage).Report("User pressed Cancel in DoUI(), *gResult set to %d.", kUserCanceled);
  }
  DeleteProxyDisplayClass(instance);
  return result == IDOK;
}
