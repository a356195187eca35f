// Rendering contexts of the preview: pixel formats, contexts on a window or a memory bitmap, the
// hidden window of the installer and the options dialog, and one GLEW function table per context.
#pragma once
#include <windows.h>

enum OpenGLContextKind { OPENGL_CONTEXT_INVALID = 0, OPENGL_CONTEXT_SCREEN = 1, OPENGL_CONTEXT_BITMAP = 2 };

// A 32-bit top-down-or-bottom-up DIB section of a window's client size.
struct ContextBitmap {
  BITMAPV5HEADER header{};
  void* pixels = nullptr;
  HBITMAP bitmap = nullptr;
  RECT rect{};
  int width = 0;
  int height = 0;
};

struct OpenGLContext {
  int kind = OPENGL_CONTEXT_INVALID;
  HWND window = nullptr;
  HDC deviceContext = nullptr;
  HGLRC renderingContext = nullptr;
  ContextBitmap ownBitmap;  // only for contexts made with their own bitmap
};

// The pixel format number, or 0; *accelerated tells a hardware format from the generic one.
int SelectPixelFormat(HWND window, bool forceSoftware, PIXELFORMATDESCRIPTOR* descriptor, bool* accelerated);
// The two kinds of format SelectPixelFormat accepts.
bool IsHardwarePixelFormat(const PIXELFORMATDESCRIPTOR& format);
bool IsSoftwarePixelFormat(const PIXELFORMATDESCRIPTOR& format);
// The number on a memory DC of the software format a window's number denotes.
int MatchBitmapPixelFormat(HDC memoryContext, int pixelFormat, const PIXELFORMATDESCRIPTOR& wanted);
// Each leaves the context current on success, or context->kind == OPENGL_CONTEXT_INVALID.
void CreateScreenContext(OpenGLContext* context, HWND window, const RECT& viewport, int pixelFormat,
                         const PIXELFORMATDESCRIPTOR& descriptor);
// A memory DC compatible with the window, drawing into the background bitmap (ScreenBitmaps.h).
void CreateBitmapContext(OpenGLContext* context, HWND window, const RECT& viewport, int pixelFormat,
                         const PIXELFORMATDESCRIPTOR& descriptor);
void CreateBitmapContextWithBitmap(OpenGLContext* context, HWND window, const RECT& viewport, int pixelFormat,
                                   const PIXELFORMATDESCRIPTOR& descriptor);
void ReleaseOpenGLContext(OpenGLContext* context);

// Viewport and projection of a rectangle: origin top left, y downwards.
void SetGLSize(const RECT& rect);

HWND CreateHiddenWindow();
bool DestroyHiddenWindow(HWND window);
// *accelerated in: hardware allowed; out: the format chosen is a hardware one.
bool CreateHiddenOpenGLContext(OpenGLContext* context, PIXELFORMATDESCRIPTOR* descriptor, bool* accelerated);
bool DestroyHiddenOpenGLContext(OpenGLContext* context);
