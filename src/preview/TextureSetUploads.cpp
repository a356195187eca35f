// Helpers shared by the texture set uploads and read-backs: buffer object use, tile textures,
// work buffer growth and padded tile copies.
#include "preview/TextureSetUploads.h"

#include <cstring>

#include "core/RunResult.h"
#include "preview/OpenGLSettings.h"
#include "support/ErrorReport.h"

bool VertexBufferInUse(const TextureSet& set) {
  return set.vertexBuffer != 0 && gOpenGLDrawing.UseVertexBufferObjects;
}

bool PixelBufferInUse(const TextureSet& set) { return set.pixelBuffer != 0 && gOpenGLDrawing.UsePixelBufferObjects; }

bool ReportOpenGLFailure(uint32_t line, const char* text) {
  GLenum error = glGetError();
  if (error != GL_NO_ERROR) {
    OpenGLErrorReport(line, OpenGLError, error).Report(kStyleError, kTitleUnexpectedError, "%s", text);
    while (glGetError() != GL_NO_ERROR) {
    }
  } else {
    ErrorReport(line, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "%s", text);
  }
  return false;
}

bool NoOpenGLErrorPending(uint32_t line, const char* text) {
  GLenum error = glGetError();
  if (error == GL_NO_ERROR) return true;
  OpenGLErrorReport(line, OpenGLError, error).Report(kStyleError, kTitleUnexpectedError, "%s", text);
  // OpenGL may hold several flags; the next step must not be blamed for this one's.
  while (glGetError() != GL_NO_ERROR) {
  }
  return false;
}

bool ReportTextureSetFailure(uint32_t line, const char* text) {
  ErrorReport(line, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "%s", text);
  return false;
}

bool GrowWorkBuffer(uint64_t bytes, BufferDescriptor* buffer, const char* failureFormat) {
  if (buffer->block != nullptr && buffer->size >= bytes) return true;
  int16_t result = ReallocateBuffer(bytes, buffer);
  if (result == 0) return true;
  SetRunResult(result);
  ErrorReport(__LINE__, TraceMessage).Report(failureFormat, int(result));
  return false;
}

GLuint MakeTileTexture(const TextureSet& set) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  // Without mipmaps the default minification filter would leave the texture incomplete.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, set.minificationFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, set.magnificationFilter);
  // OpenGL 1.1 (the Microsoft software renderer) knows only GL_CLAMP, which may blend in the
  // border colour at the edges; later versions clamp to the edge texels.
  GLint wrap = GLEW_VERSION_1_2 ? GL_CLAMP_TO_EDGE : GL_CLAMP;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  return texture;
}

void DeleteTileTexture(SubImage* tile) {
  if (tile->texture != 0) glDeleteTextures(1, &tile->texture);
  tile->texture = 0;
  tile->isNew = true;
}

bool TileNeedsPadding(const SubImage& tile) {
  return tile.textureWidth > tile.tileWidth || tile.textureHeight > tile.tileHeight;
}

void WarnOnGrantedFormat(GLint desired, bool* warned) {
  GLint granted = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &granted);
  // An unsized request is granted as whatever sized format the driver picks.
  if (*warned || granted == desired || desired == GL_RGBA) return;
  *warned = true;
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleWarning, kTitleTextureFormatWarning, "Unexpected internal texture format.  Desired 0x%X, got 0x%X",
              unsigned(desired), unsigned(granted));
}

void CopyTileWithPadding(const uint8_t* firstRow, size_t rowBytes, size_t pixelBytes, const SubImage& tile,
                         uint8_t* padded) {
  size_t tileRowBytes = size_t(tile.tileWidth) * pixelBytes;
  size_t paddedRowBytes = size_t(tile.textureWidth) * pixelBytes;
  for (int32_t row = 0; row < tile.textureHeight; ++row) {
    uint8_t* target = padded + size_t(row) * paddedRowBytes;
    if (row >= tile.tileHeight) {
      memcpy(target, target - paddedRowBytes, paddedRowBytes);
      continue;
    }
    memcpy(target, firstRow + size_t(row) * rowBytes, tileRowBytes);
    const uint8_t* last = target + tileRowBytes - pixelBytes;
    for (uint8_t* pad = target + tileRowBytes; pad < target + paddedRowBytes; pad += pixelBytes) {
      memcpy(pad, last, pixelBytes);
    }
  }
}

size_t PixelBytesOfType(GLenum pixelType) {
  switch (pixelType) {
    case GL_UNSIGNED_BYTE:
      return 4;
    case GL_UNSIGNED_SHORT:
    case GL_HALF_FLOAT:
      return 8;
    case GL_FLOAT:
    case GL_UNSIGNED_INT:
      return 16;
    default:
      return 0;
  }
}
