// The host's entry: stores the call's records, initialises the library on the first call of a
// load, switches the host to 32-bit rectangles where it offers them, and dispatches the selector.
#include <windows.h>

#include <new>

#include "core/Progress.h"
#include "host/HostState.h"
#include "host/Lifecycle.h"
#include "host/Selectors.h"
#include "support/ErrorReport.h"

FilterRecord* gFilterRecord = nullptr;
AboutRecord* gAboutRecord = nullptr;
intptr_t* gDataCell = nullptr;
int16* gResult = nullptr;
HostGlobals gHost;

namespace {

HWND OwnerWindow(int16 selector) {
  intptr_t window = 0;
  if (selector == filterSelectorAbout) {
    if (gAboutRecord != nullptr && gAboutRecord->platformData != nullptr) {
      window = static_cast<PlatformData*>(gAboutRecord->platformData)->hwnd;
    }
  } else if (gFilterRecord != nullptr && gFilterRecord->platformData != nullptr) {
    window = gFilterRecord->platformData->hwnd;
  }
  return window != 0 ? reinterpret_cast<HWND>(window) : GetActiveWindow();
}

void Dispatch(int16 selector) {
  switch (selector) {
    case filterSelectorAbout: DoAbout(); break;
    case filterSelectorParameters: DoParameters(); break;
    case filterSelectorPrepare: DoPrepare(); break;
    case filterSelectorStart: DoStart(); break;
    case filterSelectorContinue: DoContinue(); break;
    case filterSelectorFinish: DoFinish(); break;
    default: break;
  }
}

}  // namespace

extern "C" __declspec(dllexport) void PluginMain(int16 selector, void* record, intptr_t* data, int16* result) noexcept {
  if (result == nullptr) return;
  bool known = selector >= filterSelectorAbout && selector <= filterSelectorFinish;
  if (!known || (record == nullptr)) return;  // nothing is changed for what we do not understand
  gAboutRecord = selector == filterSelectorAbout ? static_cast<AboutRecord*>(record) : nullptr;
  gFilterRecord = selector == filterSelectorAbout ? nullptr : static_cast<FilterRecord*>(record);
  gDataCell = data;
  gResult = result;
  SetLastError(0);
  try {
    if (!gHost.initialized) InitializeGlobals(selector, OwnerWindow(selector));
    if (gFilterRecord != nullptr) SetImageEditorProgressProcs(gFilterRecord->progressProc, gFilterRecord->abortProc);
    if (gFilterRecord != nullptr && gFilterRecord->bigDocumentData != nullptr) {
      gFilterRecord->bigDocumentData->PluginUsing32BitCoordinates = 1;
    }
    Dispatch(selector);
  } catch (const std::bad_alloc&) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "PluginMain() - Out of memory.");
    SetResult(memFullErr);
    ShutDown();
  } catch (...) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "PluginMain() - Unexpected exception.");
    SetResult(paramErr);
    ShutDown();
  }
}
