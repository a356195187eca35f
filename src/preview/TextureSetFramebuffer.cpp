// Copies a rectangle of the current read framebuffer into a texture set: straight from the
// framebuffer, or read back first when it goes through a pixel buffer object, gets the display
// gamma in software or must be padded to power-of-two textures.
#include <algorithm>

#include "preview/DisplayGamma.h"
#include "preview/OpenGLSettings.h"
#include "preview/TextureSetUploads.h"
#include "support/ErrorReport.h"

namespace {

// The rectangle read back as GL_RGBA pixels of the preview's data type, rows from the bottom as
// OpenGL reads them: in the set's pixel buffer object or in its read buffer.
struct ReadBack {
  ImageRect rectangle{};
  GLenum type = GL_UNSIGNED_BYTE;
  size_t pixelBytes = 0;
  bool inPixelBuffer = false;

  size_t RowBytes() const { return size_t(rectangle.Width()) * pixelBytes; }
  size_t PixelCount() const { return size_t(rectangle.Width()) * size_t(rectangle.Height()); }
  // A tile's texture starts with its bottom row.
  size_t TileOffset(const SubImage& tile) const {
    return size_t(rectangle.bottom - tile.tile.bottom) * RowBytes() + size_t(tile.tile.left - rectangle.left) * pixelBytes;
  }
};

// OpenGL counts framebuffer rows from the bottom.
GLint FramebufferRowOf(const ImageRect& rectangle, int32_t framebufferHeight) { return framebufferHeight - rectangle.bottom; }

bool AnyNewTileNeedsPadding(const TextureSet& set) {
  for (int i = 0; i < set.tileCount; ++i) {
    if (set.Tiles()[i].isNew && TileNeedsPadding(set.Tiles()[i])) return true;
  }
  return false;
}

bool CopyTilesFromFramebuffer(TextureSet* set, int32_t framebufferHeight, GLint internalFormat, bool powerOfTwo) {
  bool warned = false;
  for (int i = 0; i < set->tileCount; ++i) {
    SubImage& tile = set->Tiles()[i];
    GLint x = tile.tile.left, y = FramebufferRowOf(tile.tile, framebufferHeight);
    if (!tile.isNew) {
      glBindTexture(GL_TEXTURE_2D, tile.texture);
      glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, y, tile.tileWidth, tile.tileHeight);
      if (!NoOpenGLErrorPending(__LINE__, "CreateTextureSetFromFramebuffer() - Failed to complete glCopyTexSubImage2D() from frame buffer")) {
        return false;
      }
      continue;
    }
    tile.texture = MakeTileTexture(*set);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, internalFormat, x, y, tile.tileWidth, tile.tileHeight, 0);
    if (!NoOpenGLErrorPending(__LINE__, powerOfTwo
                                            ? "CreateTextureSetFromFramebuffer() - Failed to complete glCopyTexImage2D() from frame buffer"
                                            : "CreateTextureSetFromFramebuffer() - Failed to complete glCopyTexImage2D() from frame buffer, non power of two")) {
      DeleteTileTexture(&tile);
      return false;
    }
    WarnOnGrantedFormat(internalFormat, &warned);
    tile.isNew = false;
  }
  return true;
}

bool ReadRectangle(TextureSet* set, const ReadBack& readBack, int32_t framebufferHeight) {
  const ImageRect& rectangle = readBack.rectangle;
  GLint y = FramebufferRowOf(rectangle, framebufferHeight);
  GLsizei width = GLsizei(rectangle.Width()), height = GLsizei(rectangle.Height());
  size_t bytes = readBack.PixelCount() * readBack.pixelBytes;
  if (readBack.inPixelBuffer) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, set->pixelBuffer);
    set->pixelBufferSize = std::max(set->pixelBufferSize, bytes);
    glBufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(set->pixelBufferSize), nullptr, set->pixelBufferUsage);
    glReadPixels(rectangle.left, y, width, height, GL_RGBA, readBack.type, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (NoOpenGLErrorPending(__LINE__, "Failed to create PBO in CreateTextureSetFromFramebuffer()")) return true;
    set->pixelBufferSize = 0;
    return false;
  }
  if (!GrowWorkBuffer(bytes, &set->readPixels, "ReallocateBuffer failed in CreateTextureSetFromFramebuffer(), *gResult set to %d.")) {
    return false;
  }
  glReadPixels(rectangle.left, y, width, height, GL_RGBA, readBack.type, set->readPixels.block);
  return NoOpenGLErrorPending(__LINE__, "Creation of Texture Set from framebuffer Failed");
}

// The read-back in memory: the pixel buffer object mapped (null reported), or the read buffer.
uint8_t* MapReadBack(TextureSet* set, const ReadBack& readBack, GLenum access) {
  if (!readBack.inPixelBuffer) return static_cast<uint8_t*>(set->readPixels.block);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, set->pixelBuffer);
  void* mapped = glMapBuffer(GL_PIXEL_PACK_BUFFER, access);
  if (mapped == nullptr) {
    ReportOpenGLFailure(__LINE__, "Failed to map texture set PBO.");
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  }
  return static_cast<uint8_t*>(mapped);
}

bool UnmapReadBack(const ReadBack& readBack) {
  if (!readBack.inPixelBuffer) return true;
  bool unmapped = glUnmapBuffer(GL_PIXEL_PACK_BUFFER) == GL_TRUE;
  if (!unmapped) ReportOpenGLFailure(__LINE__, "Failed to unmap texture set PBO.");
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  return unmapped;
}

bool CorrectGamma(TextureSet* set, const ReadBack& readBack) {
  uint8_t* pixels = MapReadBack(set, readBack, GL_READ_WRITE);
  if (pixels == nullptr) return false;
  bool corrected = ApplyDisplayGamma(pixels, readBack.PixelCount(), readBack.type, set->gammaExponent);
  return UnmapReadBack(readBack) && corrected;
}

// Tiles read back as they are: new ones specified at their own size, kept ones updated.
bool UploadUnpaddedTiles(TextureSet* set, const ReadBack& readBack, GLint internalFormat, bool powerOfTwo) {
  const uint8_t* base = readBack.inPixelBuffer ? nullptr : static_cast<const uint8_t*>(set->readPixels.block);
  if (readBack.inPixelBuffer) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, set->pixelBuffer);
  bool uploaded = true, warned = false;
  for (int i = 0; i < set->tileCount && uploaded; ++i) {
    SubImage& tile = set->Tiles()[i];
    size_t offset = readBack.TileOffset(tile);
    const void* data = readBack.inPixelBuffer ? reinterpret_cast<const void*>(offset) : base + offset;
    if (!tile.isNew) {
      glBindTexture(GL_TEXTURE_2D, tile.texture);
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, tile.tileWidth, tile.tileHeight, GL_RGBA, readBack.type, data);
      uploaded = NoOpenGLErrorPending(__LINE__, "CreateTextureSetFromFramebuffer() - Failed to complete glTexSubImage2D() from PBO");
      continue;
    }
    if (TileNeedsPadding(tile)) continue;
    tile.texture = MakeTileTexture(*set);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, tile.tileWidth, tile.tileHeight, 0, GL_RGBA, readBack.type, data);
    uploaded = NoOpenGLErrorPending(__LINE__, powerOfTwo
                                                  ? "CreateTextureSetFromFramebuffer() - Failed to complete glTexImage2D() from PBO"
                                                  : "CreateTextureSetFromFramebuffer() - Failed to complete glTexImage2D() from PBO, non power of two");
    if (!uploaded) {
      DeleteTileTexture(&tile);
    } else {
      WarnOnGrantedFormat(internalFormat, &warned);
      tile.isNew = false;
    }
  }
  if (readBack.inPixelBuffer) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  return uploaded;
}

bool UploadPaddedTile(TextureSet* set, SubImage* tile, const ReadBack& readBack, const uint8_t* pixels,
                      GLint internalFormat, bool* warned) {
  uint64_t bytes = uint64_t(tile->textureWidth) * uint64_t(tile->textureHeight) * readBack.pixelBytes;
  if (!GrowWorkBuffer(bytes, &set->paddedPixels,
                      "ReallocateBuffer failed in CreateTextureSetFromFramebuffer() when MustUsePowerOfTwoSizedTextures, *gResult set to %d.")) {
    return false;
  }
  auto* padded = static_cast<uint8_t*>(set->paddedPixels.block);
  CopyTileWithPadding(pixels + readBack.TileOffset(*tile), readBack.RowBytes(), readBack.pixelBytes, *tile, padded);
  tile->texture = MakeTileTexture(*set);
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, tile->textureWidth, tile->textureHeight, 0, GL_RGBA, readBack.type, padded);
  if (!NoOpenGLErrorPending(__LINE__, "CreateTextureSetFromFramebuffer() - Failed to complete glTexImage2D() from PaddedTextureBuffer")) {
    DeleteTileTexture(tile);
    return false;
  }
  WarnOnGrantedFormat(internalFormat, warned);
  tile->isNew = false;
  return true;
}

// New tiles smaller than their power-of-two textures, specified from padded copies.
bool UploadPaddedTiles(TextureSet* set, const ReadBack& readBack, GLint internalFormat) {
  if (!AnyNewTileNeedsPadding(*set)) return true;
  const uint8_t* pixels = MapReadBack(set, readBack, GL_READ_ONLY);
  if (pixels == nullptr) return false;
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  bool uploaded = true, warned = false;
  for (int i = 0; i < set->tileCount && uploaded; ++i) {
    SubImage& tile = set->Tiles()[i];
    if (tile.isNew && TileNeedsPadding(tile)) uploaded = UploadPaddedTile(set, &tile, readBack, pixels, internalFormat, &warned);
  }
  return UnmapReadBack(readBack) && uploaded;
}

bool CopyTilesThroughReadBack(TextureSet* set, const ReadBack& readBack, int32_t framebufferHeight, GLint internalFormat,
                              bool powerOfTwo) {
  if (!ReadRectangle(set, readBack, framebufferHeight)) return false;
  if (set->applyGamma && !CorrectGamma(set, readBack)) return false;
  glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(readBack.rectangle.Width()));
  return UploadUnpaddedTiles(set, readBack, internalFormat, powerOfTwo) && UploadPaddedTiles(set, readBack, internalFormat);
}

// Rows above or below the framebuffer hold nothing to copy.
ImageRect ClipToFramebuffer(const ImageRect& rectangle, int32_t framebufferHeight) {
  return ImageRect{std::max(rectangle.left, 0), std::max(rectangle.top, 0), rectangle.right,
                   std::min(rectangle.bottom, framebufferHeight)};
}

}  // namespace

bool CreateTextureSetFromFramebuffer(TextureSet* set, const ImageRect& rectangle, int32_t framebufferHeight) {
  if (!NoOpenGLErrorPending(__LINE__, "Error on entry into CreateTextureSetFromFramebuffer()")) return false;
  ImageRect clipped = ClipToFramebuffer(rectangle, framebufferHeight);
  TextureFormat format = PreviewColorTextureFormat();
  ReadBack readBack{clipped, format.dataType, PixelBytesOfType(format.dataType), PixelBufferInUse(*set)};
  if (clipped.Width() <= 0 || clipped.Height() <= 0 || readBack.pixelBytes == 0) {
    return ReportTextureSetFailure(__LINE__, "Creation of Texture Set from framebuffer Failed");
  }
  // Framebuffer rows run from the bottom; the texture coordinates say so.
  set->bottomUp = true;
  bool powerOfTwo = gOpenGLDrawing.MustUsePowerOfTwoSizedTextures;
  GLint maximumWidth = 0, maximumHeight = 0;
  if (!GetMaximumTextureSize(powerOfTwo, false, &maximumWidth, &maximumHeight) ||
      !SubdivideImage(clipped, set, maximumWidth, maximumHeight)) {
    return false;
  }
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPushAttrib(GL_TEXTURE_BIT);
  for (GLenum parameter : {GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS, GL_PACK_SKIP_PIXELS, GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS}) {
    glPixelStorei(parameter, 0);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  bool readFirst = set->applyGamma || readBack.inPixelBuffer || AnyNewTileNeedsPadding(*set);
  bool copied = readFirst ? CopyTilesThroughReadBack(set, readBack, framebufferHeight, format.internalFormat, powerOfTwo)
                          : CopyTilesFromFramebuffer(set, framebufferHeight, format.internalFormat, powerOfTwo);
  glPopAttrib();
  glPopClientAttrib();
  if (!copied) return false;
  if (VertexBufferInUse(*set) && !UpdateVertexBuffer(set)) return false;
  return NoOpenGLErrorPending(__LINE__, "Creation of Texture Set from framebuffer Failed");
}
