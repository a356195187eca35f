// The selector handlers. Each step runs only while the result is 0; a selector that ends with a
// non-zero result shuts the library down, so the next selector starts from a fresh load state.
#include "host/Selectors.h"

#include <objbase.h>

#include "analysis/LightSourceAnalysis.h"
#include "color/ColorProfiles.h"
#include "core/GammaTables.h"
#include "core/StageTimer.h"
#include "effects/EffectShapes.h"
#include "effects/ProcessImage.h"
#include "host/HostHandles.h"
#include "host/DoUI.h"
#include "host/HostImage.h"
#include "host/HostRectangles.h"
#include "host/HostState.h"
#include "host/HostSuites.h"
#include "host/Lifecycle.h"
#include "host/MemoryNegotiation.h"
#include "host/RegistryParameters.h"
#include "host/ScriptParameters.h"
#include "params/ParameterBlockService.h"
#include "params/ParameterFiles.h"
#include "preview/DisplayProfiles.h"
#include "support/ErrorReport.h"
#include "support/ModuleInstance.h"
#include "support/UserMessage.h"
#include "ui/AboutBox.h"


namespace {

void NegotiateMemory() {
  VRect rect = FilterRectangle();
  int64_t width = int64_t(rect.right) - rect.left;
  int64_t height = int64_t(rect.bottom) - rect.top;
  gFilterRecord->bufferSpace = RequiredBufferSpace(gFilterRecord->imageMode, width, height);
  int64_t allowance = TileSpaceAllowance(width, height, gFilterRecord->planes, gFilterRecord->haveMask != 0);
  if (gFilterRecord->maxSpace > allowance) gFilterRecord->maxSpace = int32(allowance);
}

void ShutDownIfFailed() {
  if (!ResultIsOk()) ShutDown();
}

void PrepareColorConversion() {
  bool gammaReady = CreateGammaTableMutex();
  if (!InitializeColorConversion(HostProfileOfRecord()) || !gammaReady) {
    SetResult(paramErr);
    ErrorReport(__LINE__, TraceMessage).Report("InitializeColorConversion failed in DoStart(), *gResult set to %d.", paramErr);
  }
}

void ReadImageOfHost() {
  if (!ReadHostImage()) {
    SetResult(paramErr);
    ErrorReport(__LINE__, TraceMessage).Report("ReadHostImage failed in DoStart(), *gResult set to %d.", paramErr);
  }
}

// The parameters of the last run: the host's registry first, then the last-used file, else the
// initial defaults. A registry entry that cannot be converted means defaults, whatever the file.
void RestoreLastParameters() {
  int16_t restored = ReadRegistryParameters();
  if ((restored == kHostInsufficient && !ReadLastUsedParameters()) || restored == kRegistryVersionIncompatible) {
    ParameterBlockService(PARAMSVC_RESET, nullptr);
  }
}

void ReadRecordedParameters(bool* showDialog) {
  if (ReadScriptParametersUI(showDialog) != 0) {
    SetResult(paramErr);
    ErrorReport(__LINE__, TraceMessage).Report("ReadScriptParametersUI failed in DoStart(), *gResult set to %d.", paramErr);
  }
}

// The painted image goes back to the host only when the render has finished without a fault or a
// cancel, so that the host's document is either wholly rendered or untouched.
void WriteBackRenderedImage() {
  LARGE_INTEGER start = StageStart();
  WriteHostImage(gHostImage);
  if (ResultIsOk()) ErrorReport(__LINE__, TraceMessage).Report("Final render: write-back %.3f s.", SecondsSince(start));
}

// The dialog's parameters are those of the current block, which its controls have written; once
// it has run, the next repeat run is silent.
void RunDialogStep() {
  if (!DoUI() && ResultIsOk()) {
    SetResult(userCanceledErr);
    ErrorReport(__LINE__, TraceMessage).Report("DoUI returned false in DoStart(), *gResult set to %d.", userCanceledErr);
  }
  *gHost.showDialogFlag = 0;
}

// Releases of the run, whatever the result.
void ReleaseRun() {
  ReleaseEffectShapes();
  StopLightSourceAnalysis();
  DestroyHostImage();
  CloseDisplayProfiles();
  TerminateColorConversion();
  ReleaseGammaTables();
}

}  // namespace

void DoAbout() {
  if (InitUI()) ShowAboutBox();
  ShutDown();
}

void DoParameters() {
  if (!ResultIsOk()) {
    ShutDown();
    UnlockHandles();
    return;
  }
  CreateMissingHandles();
  if (ResultIsOk()) ResetParametersAndRequestDialog();
  // A failed initialisation is no result of its own here: prepare tries again and ends the run.
  InitUI();
  ShutDownIfFailed();
  UnlockHandles();
}

void DoPrepare() {
  if (BothHandlesExist()) {
    LockHandles();
  } else {
    CreateMissingHandles();
    if (ResultIsOk()) ResetParametersAndRequestDialog();
  }
  if (!InitUI()) {
    ShutDown();
    SetResult(memFullErr);
    ErrorReport(__LINE__, TraceMessage).Report("InitUI failed in DoPrepare(), *gResult set to %d.", memFullErr);
    UnlockHandles();
    return;
  }
  if (ResultIsOk()) NegotiateMemory();
  ShutDownIfFailed();
  UnlockHandles();
}

void DoStart() {
  LockHandles();
  if (ResultIsOk()) SuspendHostWatch();
  if (ResultIsOk()) RestoreLastParameters();
  bool showDialog = ResultIsOk() && gHost.showDialogFlag != nullptr && *gHost.showDialogFlag != 0;
  if (ResultIsOk()) ReadRecordedParameters(&showDialog);
  if (ResultIsOk()) PrepareColorConversion();
  if (ResultIsOk()) ReadImageOfHost();
  if (ResultIsOk()) StartLightSourceAnalysis(gHostImage);
  if (ResultIsOk() && showDialog) RunDialogStep();
  if (ResultIsOk()) InitializeEffectTables();
  if (ResultIsOk()) ProcessImage(&gHostImage);
  if (ResultIsOk()) WriteBackRenderedImage();
  ReleaseRun();
  ShutDownIfFailed();
  UnlockHandles();
}

void DoContinue() {
  SetInputRectangle(kEmptyRect);
  SetOutputRectangle(kEmptyRect);
  SetMaskRectangle(kEmptyRect);
  ShutDownIfFailed();
  UnlockHandles();
}

void DoFinish() {
  LockHandles();
  if (ResultIsOk()) {
    WriteFinalScriptParameters();
    WriteRegistryParameters();
    WriteLastUsedParameters();
  }
  ShutDown();
  UnlockHandles();
}
