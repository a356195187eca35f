// One GLEW state per OpenGL rendering context in a table of four slots, and the one way a
// rendering context is made current, so that GLEW's entry points always match the context.
#pragma once
#include <windows.h>

#include <cstddef>

#include "core/BufferManager.h"

constexpr int kGlewContextSlotCount = 4;

struct GlewContextSlot {
  HGLRC renderingContext = nullptr;  // null: the slot is free
  BufferDescriptor state;            // GLEW's globals as they were after initialising this context
};

// Size of one saved GLEW state: every entry point and capability flag of GLEW.
size_t GlewContextStateSize();

// For the current rendering context: initialise GLEW and keep its state in a free slot.
bool CreateGLEWContext();
// Frees the slot of a rendering context.
void DeleteGLEWContext(HGLRC renderingContext);
// The slot of the current rendering context, or null (reported).
GlewContextSlot* glewGetContext();
// The slot of a given rendering context, or null; quiet.
GlewContextSlot* FindGlewContextSlot(HGLRC renderingContext);

// wglMakeCurrent, then GLEW's globals restored from the slot of the new context. Every part of
// the preview makes contexts current through this, never through wglMakeCurrent itself.
bool MakeOpenGLContextCurrent(HDC deviceContext, HGLRC renderingContext);
