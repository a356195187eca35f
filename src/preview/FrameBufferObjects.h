// The preview's frame buffer objects: the main one with a renderbuffer in the preview's texture
// format, and in a multisample mode a multisampling one whose content is resolved into it.
#pragma once
#include <GL/glew.h>

#include <cstdint>

struct FrameBufferObjects {
  GLuint mainFramebuffer = 0;
  GLuint mainRenderbuffer = 0;
  GLuint multisampleFramebuffer = 0;
  GLuint multisampleRenderbuffer = 0;  // mode 1
  GLuint multisampleTexture = 0;       // mode 2
  int samples = 0;                     // 0: no multisampling
  GLint internalFormat = 0;
  int32_t width = 0, height = 0;       // of the storage allocated
  bool attached = false;
  bool drawingMultisampled = false;  // the attached drawing goes into the multisampling FBO
};

// Names the objects (no storage yet); samples = min(driver maximum, 4), none below 2.
bool CreateFrameBufferObjects(FrameBufferObjects* objects, int multisampleMode, int maximumSamples);
// Binds the FBO to draw into (the multisampling one when there is one and the drawing asks for it)
// at least width × height, (re)allocating storage, checking completeness and granted formats.
// Drawings of axis-aligned images gain nothing from multisampling and skip it.
bool AttachFBOForRenderingPreparation(FrameBufferObjects* objects, int32_t width, int32_t height, bool multisampled = true);
// Resolves the multisampled drawing into the main FBO and leaves the main FBO bound for reading.
bool ResolveFBO(FrameBufferObjects* objects);
// Back to the window's framebuffer.
void ReleaseFBOForRendering(FrameBufferObjects* objects);
void DestroyFrameBufferObjects(FrameBufferObjects* objects);
