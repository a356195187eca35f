// The buffer objects of a texture set (vertices; uploads and read-backs) and the freeing of a
// set with everything it holds.
#include "preview/OpenGLSettings.h"
#include "preview/TextureSetUploads.h"
#include "support/ErrorReport.h"

bool CreateTextureSetVertexBuffer(TextureSet* set, GLenum usage) {
  if (!gOpenGLDrawing.UseVertexBufferObjects || set->vertexBuffer != 0) return true;
  glGenBuffers(1, &set->vertexBuffer);
  set->vertexBufferSize = 0;
  set->vertexBufferUsage = usage;
  set->vertexBufferCurrent = false;
  if (NoOpenGLErrorPending(__LINE__, "CreateTextureSetVertexBuffer() - Failed to create Vertex Buffer.")) return true;
  set->vertexBuffer = 0;
  return false;
}

bool CreateTextureSetPixelBuffer(TextureSet* set, GLenum usage) {
  if (!gOpenGLDrawing.UsePixelBufferObjects || set->pixelBuffer != 0) return true;
  glGenBuffers(1, &set->pixelBuffer);
  set->pixelBufferSize = 0;
  set->pixelBufferUsage = usage;
  if (NoOpenGLErrorPending(__LINE__, "CreateTextureSetPixelBuffer() - Failed to create Pixel Buffer.")) return true;
  set->pixelBuffer = 0;
  return false;
}

bool UpdateVertexBuffer(TextureSet* set) {
  if (!NoOpenGLErrorPending(__LINE__, "Error on entry to UpdateVertexBuffer().")) return false;
  if (set->vertexBuffer == 0 || set->Vertices() == nullptr) {
    return ReportTextureSetFailure(__LINE__, "UpdateVertexBuffer() called with invalid texture.");
  }
  size_t bytes = size_t(set->tileCount) * 4 * sizeof(TexturedVertex);
  glBindBuffer(GL_ARRAY_BUFFER, set->vertexBuffer);
  if (bytes > set->vertexBufferSize) {
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bytes), set->Vertices(), set->vertexBufferUsage);
    set->vertexBufferSize = bytes;
  } else {
    glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(bytes), set->Vertices());
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  GLenum error = glGetError();
  set->vertexBufferCurrent = error == GL_NO_ERROR;
  if (error == GL_NO_ERROR) return true;
  set->vertexBufferSize = 0;
  OpenGLErrorReport(__LINE__, OpenGLError, error)
      .Report(kStyleError, kTitleUnexpectedError, "Failed to update Vertex Buffer for texture set %d.", int(set->vertexBuffer));
  return false;
}

void FreeTextureSet(TextureSet* set) {
  for (int i = 0; i < set->tileCount; ++i) DeleteTileTexture(&set->Tiles()[i]);
  if (set->vertexBuffer != 0) glDeleteBuffers(1, &set->vertexBuffer);
  if (set->pixelBuffer != 0) glDeleteBuffers(1, &set->pixelBuffer);
  DeallocateBuffer(&set->vertices);
  DeallocateBuffer(&set->tiles);
  DeallocateBuffer(&set->paddedPixels);
  DeallocateBuffer(&set->readPixels);
  *set = TextureSet{};
}
