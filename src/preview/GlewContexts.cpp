// GLEW 2 keeps one process-wide set of entry points and capability flags, filled for whichever
// context was current when glewInit ran. Each rendering context therefore keeps its own copy of
// that set in a slot, taken right after initialisation, and MakeOpenGLContextCurrent writes the
// copy back whenever the context becomes current.
//
// The restored set is process-wide, not per thread: a context made current on one thread
// changes the entry points seen by a context current on another thread. That is safe because
// every context is used on one thread and at most one preview context and one hidden context
// exist at a time; both come from the same driver on the same screen, whose entry points and
// capabilities agree. A design with simultaneous contexts of different drivers on different
// threads would need GLEW's globals per thread instead.
#include "preview/GlewContexts.h"

#include <GL/glew.h>

#include <cstring>

#include "preview/GlewStateTable.h"
#include "preview/OpenGLReports.h"
#include "support/ErrorReport.h"

namespace {

GlewContextSlot gGlewContexts[kGlewContextSlotCount];

void SaveGlewState(void* buffer) {
  auto* out = static_cast<unsigned char*>(buffer);
  for (size_t i = 0; i < kGlewStateEntryCount; ++i) {
    std::memcpy(out, kGlewStateEntries[i].address, kGlewStateEntries[i].size);
    out += kGlewStateEntries[i].size;
  }
}

void RestoreGlewState(const void* buffer) {
  auto* in = static_cast<const unsigned char*>(buffer);
  for (size_t i = 0; i < kGlewStateEntryCount; ++i) {
    std::memcpy(kGlewStateEntries[i].address, in, kGlewStateEntries[i].size);
    in += kGlewStateEntries[i].size;
  }
}

GlewContextSlot* FirstFreeSlot() {
  for (GlewContextSlot& slot : gGlewContexts) {
    if (slot.renderingContext == nullptr) return &slot;
  }
  return nullptr;
}

}  // namespace

size_t GlewContextStateSize() {
  static const size_t size = [] {
    size_t total = 0;
    for (size_t i = 0; i < kGlewStateEntryCount; ++i) total += kGlewStateEntries[i].size;
    return total;
  }();
  return size;
}

GlewContextSlot* FindGlewContextSlot(HGLRC renderingContext) {
  if (renderingContext == nullptr) return nullptr;
  for (GlewContextSlot& slot : gGlewContexts) {
    if (slot.renderingContext == renderingContext) return &slot;
  }
  return nullptr;
}

bool CreateGLEWContext() {
  HGLRC current = wglGetCurrentContext();
  if (current == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleContextUnexpectedError,
                "CreateGLEWContext() - Failed to obtain OpenGL rendering context from current context.");
    return false;
  }
  if (FindGlewContextSlot(current) != nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleContextUnexpectedError,
                "CreateGLEWContext() - A GLEW context for OpenGL rendering context 0x%X already exists.",
                unsigned(uintptr_t(current)));
    return false;
  }
  GlewContextSlot* slot = FirstFreeSlot();
  if (slot == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleContextUnexpectedError,
                "CreateGLEWContext() - The GLEW context descriptor array is full.");
    return false;
  }
  if (slot->state.size != GlewContextStateSize() && ReallocateBuffer(GlewContextStateSize(), &slot->state) != 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleContextUnexpectedError, "CreateGLEWContext() - Can't allocate memory for GLEW context.");
    return false;
  }
  GLenum error = glewInit();
  if (error != GLEW_OK) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleContextUnexpectedError,
                "CreateGLEWContext() - The GLEW context could not be initialized. Error = '%s'.",
                reinterpret_cast<const char*>(glewGetErrorString(error)));
    DeallocateBuffer(&slot->state);
    return false;
  }
  SaveGlewState(slot->state.block);
  slot->renderingContext = current;
  return true;
}

void DeleteGLEWContext(HGLRC renderingContext) {
  GlewContextSlot* slot = FindGlewContextSlot(renderingContext);
  if (slot == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleContextUnexpectedError,
                "DeleteGLEWContext() - Failed to obtain GLEW context for OpenGL rendering context 0x%X.",
                unsigned(uintptr_t(renderingContext)));
    return;
  }
  DeallocateBuffer(&slot->state);
  slot->renderingContext = nullptr;
}

GlewContextSlot* glewGetContext() {
  HGLRC current = wglGetCurrentContext();
  if (current == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleContextUnexpectedError,
                "glewGetContext() - Failed to obtain OpenGL rendering context from current context.");
    return nullptr;
  }
  GlewContextSlot* slot = FindGlewContextSlot(current);
  if (slot == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleContextUnexpectedError,
                "glewGetContext() - Failed to find GLEW context descriptor for OpenGL current context 0x%X.",
                unsigned(uintptr_t(current)));
  }
  return slot;
}

// A context without a slot yet (between its creation and CreateGLEWContext) leaves GLEW's state
// as it is: CreateGLEWContext fills it next.
bool MakeOpenGLContextCurrent(HDC deviceContext, HGLRC renderingContext) {
  if (!wglMakeCurrent(deviceContext, renderingContext)) return false;
  if (GlewContextSlot* slot = FindGlewContextSlot(renderingContext)) RestoreGlewState(slot->state.block);
  return true;
}
