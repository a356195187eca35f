// Uploads an image record into a texture set: new tiles specified, kept tiles updated in place,
// through the set's pixel buffer object when it has one.
#include <algorithm>
#include <cstring>

#include "core/SampleTables.h"
#include "preview/OpenGLSettings.h"
#include "preview/TextureSetUploads.h"
#include "support/ErrorReport.h"

namespace {

// Where an upload's rows come from: the record, or the excerpt of it in the pixel buffer object.
// Rows are counted as the record stores them; a bottom-up set reads the picture's rows in reverse.
struct ImageSource {
  const ImageRecord* image = nullptr;
  size_t pixelBytes = 0;
  bool bottomUp = false;
  bool inPixelBuffer = false;
  GLenum format = 0, type = 0;  // of the rows as uploaded: the record's, or half floats in the buffer
  int64_t firstRow = 0, endRow = 0;  // stored rows the source holds

  int64_t StoredRow(int64_t pictureRow) const {
    return bottomUp ? image->rectangle.top + image->rectangle.bottom - 1 - pictureRow : pictureRow;
  }
  // The stored row that becomes the tile texture's first row.
  int64_t TileFirstRow(const SubImage& tile) const { return StoredRow(bottomUp ? tile.tile.bottom - 1 : tile.tile.top); }
  // A pointer into the record, or an offset into the bound pixel buffer object.
  const void* TileData(const SubImage& tile) const {
    if (!inPixelBuffer) return image->Pixel(tile.tile.left, TileFirstRow(tile));
    size_t offset = (size_t(TileFirstRow(tile) - firstRow) * size_t(image->allocatedWidth) +
                     size_t(tile.tile.left - image->allocation.left)) * pixelBytes;
    return reinterpret_cast<const void*>(offset);
  }
  // Padding taken straight from the source must be real neighbouring pixels.
  bool HoldsPaddedArea(const SubImage& tile) const {
    return int64_t(tile.tile.left) + tile.textureWidth <= image->rectangle.right &&
           TileFirstRow(tile) + tile.textureHeight <= endRow;
  }
};

bool UsableRecord(const ImageRecord& image) {
  bool knownFormat = image.pixelFormat == GL_BGRA || image.pixelFormat == GL_RGBA;
  size_t pixelBytes = PixelBytesOfType(GLenum(image.pixelType));
  return knownFormat && pixelBytes != 0 && pixelBytes == size_t(4 * image.bytesPerSample) &&
         image.pixels.block != nullptr && image.allocatedWidth > 0;
}

ImageRect ClipToRecord(const ImageRect& area, const ImageRecord& image) {
  const ImageRect& bounds = image.rectangle;
  return ImageRect{std::max(area.left, bounds.left), std::max(area.top, bounds.top), std::min(area.right, bounds.right),
                   std::min(area.bottom, bounds.bottom)};
}

// A half-float texture takes 8- and 16-bit rows converted to half floats on the way into the
// pixel buffer: the driver's own conversion, through floats, cost more than the rest of a frame.
bool UploadsAsHalfFloats(const ImageRecord& image, const TextureFormat& format) {
  bool integer = (image.pixelType == GL_UNSIGNED_BYTE && image.pixelFormat == GL_BGRA) ||
                 (image.pixelType == GL_UNSIGNED_SHORT && image.pixelFormat == GL_RGBA);
  return integer && format.internalFormat == GL_RGBA16F && format.dataType == GL_HALF_FLOAT;
}

// RGBA half floats of v / 255 or v / 65535, as the table of the pixel access has them.
void CopyRowsAsHalfFloats(const ImageRecord& image, const uint8_t* first, size_t pixels, uint16_t* out) {
  const uint16_t* toHalf = GetSampleTables().sixteenToHalf;
  if (image.pixelType == GL_UNSIGNED_BYTE) {
    for (size_t i = 0; i < pixels; ++i, first += 4, out += 4) {
      out[0] = toHalf[first[2] * 257], out[1] = toHalf[first[1] * 257], out[2] = toHalf[first[0] * 257];
      out[3] = toHalf[first[3] * 257];
    }
    return;
  }
  const auto* in = reinterpret_cast<const uint16_t*>(first);
  for (size_t i = 0; i < pixels * 4; ++i) out[i] = toHalf[in[i]];
}

// The area's stored rows, whole, so that the rows keep the record's row length.
bool CopyRowsIntoPixelBuffer(TextureSet* set, const ImageSource& source) {
  const ImageRecord& image = *source.image;
  size_t recordPixelBytes = PixelBytesOfType(GLenum(image.pixelType));
  size_t pixels = size_t(source.endRow - source.firstRow) * size_t(image.allocatedWidth);
  size_t bytes = pixels * source.pixelBytes;
  const uint8_t* first = image.Pixel(image.allocation.left, source.firstRow);
  const uint8_t* block = static_cast<const uint8_t*>(image.pixels.block);
  if (first < block || first + pixels * recordPixelBytes > block + image.pixels.size) {
    return ReportTextureSetFailure(__LINE__, "Failed to copy image into Image PBO.");
  }
  glBindBuffer(GL_PIXEL_UNPACK_BUFFER, set->pixelBuffer);
  // Respecifying the store lets the driver hand out fresh memory instead of waiting for the
  // previous frame's uploads from it.
  set->pixelBufferSize = std::max(set->pixelBufferSize, bytes);
  glBufferData(GL_PIXEL_UNPACK_BUFFER, GLsizeiptr(set->pixelBufferSize), nullptr, set->pixelBufferUsage);
  void* mapped = glMapBuffer(GL_PIXEL_UNPACK_BUFFER, GL_WRITE_ONLY);
  if (mapped == nullptr) {
    set->pixelBufferSize = 0;
    return ReportOpenGLFailure(__LINE__, "Failed to map Image Excerpt PBO.");
  }
  if (source.type == GL_HALF_FLOAT) {
    CopyRowsAsHalfFloats(image, first, pixels, static_cast<uint16_t*>(mapped));
  } else {
    memcpy(mapped, first, bytes);
  }
  if (glUnmapBuffer(GL_PIXEL_UNPACK_BUFFER) != GL_TRUE) return ReportOpenGLFailure(__LINE__, "Failed to unmap Image Excerpt PBO.");
  // The buffer binding is pixel-store state: left bound here, the uploads' saved state would
  // bring it back after them, and every later pixel call would read from it.
  glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  return true;
}

bool UploadPaddedTile(TextureSet* set, const SubImage& tile, const ImageSource& source, GLint internalFormat) {
  const ImageRecord& image = *source.image;
  // Padded tiles are copied from the record, in its own format.
  const size_t pixelBytes = PixelBytesOfType(GLenum(image.pixelType));
  uint64_t bytes = uint64_t(tile.textureWidth) * uint64_t(tile.textureHeight) * pixelBytes;
  if (!GrowWorkBuffer(bytes, &set->paddedPixels, "ReallocateBuffer failed in CreateTextureSetFromImage(), *gResult set to %d.")) {
    return false;
  }
  auto* padded = static_cast<uint8_t*>(set->paddedPixels.block);
  const uint8_t* first = image.Pixel(tile.tile.left, source.TileFirstRow(tile));
  size_t rowBytes = size_t(image.allocatedWidth) * pixelBytes;
  CopyTileWithPadding(first, rowBytes, pixelBytes, tile, padded);
  if (source.inPixelBuffer) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, tile.textureWidth, tile.textureHeight, 0, GLenum(image.pixelFormat),
               GLenum(image.pixelType), padded);
  GLenum error = glGetError();
  glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(image.allocatedWidth));
  if (source.inPixelBuffer) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, set->pixelBuffer);
  if (error == GL_NO_ERROR) return true;
  OpenGLErrorReport(__LINE__, OpenGLError, error)
      .Report(kStyleError, kTitleUnexpectedError,
              "CreateTextureSetFromImage() - glTexImage2D Failed to copy from SubImage buffer, DesiredInternalFormat = 0x%X, Image->PixelFormat = 0x%X.\n",
              unsigned(internalFormat), unsigned(image.pixelFormat));
  return false;
}

bool SpecifyTileTexture(TextureSet* set, const SubImage& tile, const ImageSource& source, GLint internalFormat) {
  GLenum format = source.format, type = source.type;
  if (!TileNeedsPadding(tile)) {
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, tile.tileWidth, tile.tileHeight, 0, format, type, source.TileData(tile));
    return NoOpenGLErrorPending(__LINE__, "CreateTextureSetFromImage() - glTexImage2D Failed");
  }
  if (!source.HoldsPaddedArea(tile)) return UploadPaddedTile(set, tile, source, internalFormat);
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, tile.textureWidth, tile.textureHeight, 0, format, type,
               source.TileData(tile));
  return NoOpenGLErrorPending(__LINE__, "CreateTextureSetFromImage() - glTexImage2D Failed to copy data directly from image.");
}

bool UploadTile(TextureSet* set, SubImage* tile, const ImageSource& source, GLint internalFormat, bool* warned) {
  if (!tile->isNew) {
    glBindTexture(GL_TEXTURE_2D, tile->texture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, tile->tileWidth, tile->tileHeight, source.format, source.type,
                    source.TileData(*tile));
    return NoOpenGLErrorPending(__LINE__, "CreateTextureSetFromImage() - glTexSubImage2D Failed");
  }
  tile->texture = MakeTileTexture(*set);
  if (!SpecifyTileTexture(set, *tile, source, internalFormat)) {
    DeleteTileTexture(tile);
    return false;
  }
  WarnOnGrantedFormat(internalFormat, warned);
  tile->isNew = false;
  return true;
}

bool UploadTiles(TextureSet* set, const ImageSource& source, GLint internalFormat) {
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPushAttrib(GL_TEXTURE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(source.image->allocatedWidth));
  if (source.inPixelBuffer) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, set->pixelBuffer);
  bool uploaded = true, warned = false;
  SubImage* tiles = set->Tiles();
  for (int i = 0; i < set->tileCount && uploaded; ++i) uploaded = UploadTile(set, &tiles[i], source, internalFormat, &warned);
  if (source.inPixelBuffer) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  glPopAttrib();
  glPopClientAttrib();
  return uploaded;
}

}  // namespace

bool CreateTextureSetFromImage(TextureSet* set, const ImageRecord& image, const ImageRect& area) {
  if (!NoOpenGLErrorPending(__LINE__, "Error on entry into CreateTextureSetFromImage()")) return false;
  ImageRect clipped = ClipToRecord(area, image);
  if (!UsableRecord(image) || clipped.Width() <= 0 || clipped.Height() <= 0) {
    return ReportTextureSetFailure(__LINE__, "Creation of Texture Set from image Failed");
  }
  TextureFormat format = PreviewColorTextureFormat();
  GLint maximumWidth = 0, maximumHeight = 0;
  bool powerOfTwo = gOpenGLDrawing.MustUsePowerOfTwoSizedTextures;
  if (!GetMaximumTextureSize(powerOfTwo, false, &maximumWidth, &maximumHeight) ||
      !SubdivideImage(clipped, set, maximumWidth, maximumHeight)) {
    return false;
  }
  ImageSource source;
  source.image = &image;
  source.bottomUp = set->bottomUp;
  source.inPixelBuffer = PixelBufferInUse(*set);
  bool half = source.inPixelBuffer && UploadsAsHalfFloats(image, format);
  source.format = half ? GLenum(GL_RGBA) : GLenum(image.pixelFormat);
  source.type = half ? GLenum(GL_HALF_FLOAT) : GLenum(image.pixelType);
  source.pixelBytes = PixelBytesOfType(source.type);
  int64_t firstRow = source.StoredRow(set->bottomUp ? clipped.bottom - 1 : clipped.top);
  source.firstRow = source.inPixelBuffer ? firstRow : image.rectangle.top;
  source.endRow = source.inPixelBuffer ? firstRow + clipped.Height() : image.rectangle.bottom;
  if (source.inPixelBuffer && !CopyRowsIntoPixelBuffer(set, source)) {
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    return false;
  }
  if (!UploadTiles(set, source, format.internalFormat)) return false;
  if (VertexBufferInUse(*set) && !UpdateVertexBuffer(set)) return false;
  return NoOpenGLErrorPending(__LINE__, "Creation of Texture Set from image Failed");
}
