// Creates, locks and unlocks the host handles through the host's own handle procedures, so the
// host keeps them between runs. Every failure ends the run with a box and a result code.
#include "host/HostHandles.h"

#include "host/HostState.h"
#include "params/ParameterBlockService.h"
#include "support/ErrorReport.h"

namespace {

constexpr int32 kDataHandleSize = 1;

HandleProcs* Procs() { return gFilterRecord != nullptr ? gFilterRecord->handleProcs : nullptr; }

Handle DataHandle() { return gDataCell != nullptr ? reinterpret_cast<Handle>(*gDataCell) : nullptr; }

void ExitWithBox(const char* text, int16 result) {
  ErrorReport(__LINE__, UserMessage).Report(kStyleError, kTitleExitingPlugin, "%s", text);
  SetResult(result);
}

Handle NewHostHandle(int32 size) {
  HandleProcs* procs = Procs();
  if (procs == nullptr || procs->newProc == nullptr) return nullptr;
  return procs->newProc(size);
}

// A parameters handle kept by the host from an older build may be shorter than the block; it is
// grown and starts again from the defaults rather than be read past its end.
bool EnsureParametersHandleSize(Handle parameters) {
  HandleProcs* procs = Procs();
  if (procs->getSizeProc == nullptr || procs->getSizeProc(parameters) >= int32(sizeof(ParameterBlock))) return true;
  if (procs->setSizeProc == nullptr || procs->setSizeProc(parameters, int32(sizeof(ParameterBlock))) != noErr) return false;
  Ptr locked = procs->lockProc(parameters, true);
  if (locked == nullptr) return false;
  ParameterBlock defaults = InitialParameterBlock();
  memcpy(locked, &defaults, sizeof defaults);
  procs->unlockProc(parameters);
  return true;
}

}  // namespace

bool BothHandlesExist() { return gFilterRecord != nullptr && gFilterRecord->parameters != nullptr && DataHandle() != nullptr; }

void CreateMissingHandles() {
  if (gFilterRecord == nullptr || !ResultIsOk()) return;
  if (gFilterRecord->parameters == nullptr) {
    gFilterRecord->parameters = NewHostHandle(int32(sizeof(ParameterBlock)));
    if (gFilterRecord->parameters == nullptr) {
      ExitWithBox("Could not access the parameters provided by the host editor.", memFullErr);
      return;
    }
    Ptr locked = Procs()->lockProc(gFilterRecord->parameters, true);
    if (locked != nullptr) {
      ParameterBlock defaults = InitialParameterBlock();
      memcpy(locked, &defaults, sizeof defaults);
      Procs()->unlockProc(gFilterRecord->parameters);
    }
  }
  if (DataHandle() == nullptr && gDataCell != nullptr) {
    Handle data = NewHostHandle(kDataHandleSize);
    if (data == nullptr) {
      ExitWithBox("Could not access the data provided by the host editor.", memFullErr);
      return;
    }
    *gDataCell = reinterpret_cast<intptr_t>(data);
  }
}

void LockHandles() {
  if (gHost.handlesLocked || gFilterRecord == nullptr) return;
  HandleProcs* procs = Procs();
  if (!BothHandlesExist() || procs == nullptr || procs->lockProc == nullptr || procs->unlockProc == nullptr) {
    ExitWithBox("Could not access the handles provided by the host editor.", filterBadParameters);
    return;
  }
  if (!EnsureParametersHandleSize(gFilterRecord->parameters)) {
    ExitWithBox("Could not access the filter data provided by the host editor.", memFullErr);
    return;
  }
  Ptr block = procs->lockProc(gFilterRecord->parameters, true);
  Ptr data = procs->lockProc(DataHandle(), true);
  if (block == nullptr || data == nullptr) {
    if (block != nullptr) procs->unlockProc(gFilterRecord->parameters);
    if (data != nullptr) procs->unlockProc(DataHandle());
    ExitWithBox("Could not access the filter data provided by the host editor.", memFullErr);
    return;
  }
  gHost.currentBlock = reinterpret_cast<ParameterBlock*>(block);
  gHost.showDialogFlag = reinterpret_cast<uint8_t*>(data);
  gHost.handlesLocked = true;
  BindCurrentParameterBlock(gHost.currentBlock);
}

void UnlockHandles() {
  if (!gHost.handlesLocked) return;
  BindCurrentParameterBlock(nullptr);
  HandleProcs* procs = Procs();
  if (procs != nullptr && procs->unlockProc != nullptr) {
    if (DataHandle() != nullptr) procs->unlockProc(DataHandle());
    if (gFilterRecord->parameters != nullptr) procs->unlockProc(gFilterRecord->parameters);
  }
  gHost.currentBlock = nullptr;
  gHost.showDialogFlag = nullptr;
  gHost.handlesLocked = false;
}

// A new run that the host wants to show: defaults, the dialog requested, and a parent window.
void ResetParametersAndRequestDialog() {
  LockHandles();
  if (!ResultIsOk()) return;
  ParameterBlockService(PARAMSVC_RESET, nullptr);
  *gHost.showDialogFlag = 1;
  if (gFilterRecord->platformData != nullptr && gFilterRecord->platformData->hwnd == 0) {
    gFilterRecord->platformData->hwnd = reinterpret_cast<intptr_t>(GetActiveWindow());
  }
}
