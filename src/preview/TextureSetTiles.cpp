// The largest texture the driver really allocates, and the grid of overlapping tiles, their
// quads and texture coordinates that cover a rectangle with textures no larger than that.
#include <algorithm>

#include "core/RunResult.h"
#include "preview/OpenGLSettings.h"
#include "preview/TextureSetUploads.h"
#include "support/ErrorReport.h"

namespace {

// Probing stops here: a driver that refuses even this little is refused by every upload anyway.
constexpr GLint kSmallestProbedTexture = 64;
// More tiles than this means a nonsensical maximum size; the arrays would not be affordable.
constexpr int64_t kMostTiles = int64_t(1) << 22;

GLint gTestTextureLimit = 0;

// Drivers announce GL_MAX_TEXTURE_SIZE for their smallest format; a proxy texture tells whether
// this size of the preview's format would really be allocated.
bool ProxyTextureAccepted(GLint size, const TextureFormat& format) {
  if (gTestTextureLimit > 0 && size > gTestTextureLimit) return false;
  glTexImage2D(GL_PROXY_TEXTURE_2D, 0, format.internalFormat, size, size, 0, GL_RGBA, format.dataType, nullptr);
  GLint width = 0;
  glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  return width == size;
}

GLint RoundDownToPowerOfTwo(GLint value) {
  GLint power = 1;
  while (power <= value / 2) power *= 2;
  return value < 1 ? value : power;
}

int32_t RoundUpToPowerOfTwo(int32_t value) {
  int32_t power = 1;
  while (power < value) power *= 2;
  return power;
}

// Tiles along one side: each advances by the maximum less the overlap.
int64_t TilesAlong(int64_t length, int32_t maximum) {
  if (length <= maximum) return 1;
  int64_t advance = maximum - kTileOverlap;
  return 1 + (length - maximum + advance - 1) / advance;
}

// The arrays keep their entries: kept tiles hold their texture names there.
bool GrowPreservingContents(uint64_t bytes, BufferDescriptor* buffer, const char* failureFormat) {
  if (buffer->block != nullptr && buffer->size >= bytes) return true;
  int16_t result = ReallocateBufferPreserveContents(bytes, buffer);
  if (result == 0) return true;
  SetRunResult(result);
  ErrorReport(__LINE__, TraceMessage).Report(failureFormat, int(result));
  return false;
}

bool GrowTileArrays(TextureSet* set, int64_t tileCount) {
  return GrowPreservingContents(
             uint64_t(tileCount) * sizeof(SubImage), &set->tiles,
             "ReallocateBufferPreserveContents failed in CreateTextureSetFromImage() for SubImageDescArray, *gResult set to %d.") &&
         GrowPreservingContents(
             uint64_t(tileCount) * 4 * sizeof(TexturedVertex), &set->vertices,
             "ReallocateBufferPreserveContents failed in CreateTextureSetFromImage() for VertexDescArray, *gResult set to %d.");
}

// Tiles dropped by a smaller grid give their textures back; tiles added start without one.
void ResizeTileList(TextureSet* set, int tileCount) {
  SubImage* tiles = set->Tiles();
  for (int i = tileCount; i < set->tileCount; ++i) DeleteTileTexture(&tiles[i]);
  for (int i = set->tileCount; i < tileCount; ++i) tiles[i] = SubImage{};
  set->tileCount = tileCount;
}

// A kept texture must hold the tile; otherwise the tile gets a new one.
void SizeTileTexture(SubImage* tile, bool powerOfTwo) {
  int32_t width = powerOfTwo ? RoundUpToPowerOfTwo(tile->tileWidth) : tile->tileWidth;
  int32_t height = powerOfTwo ? RoundUpToPowerOfTwo(tile->tileHeight) : tile->tileHeight;
  if (tile->texture != 0 && tile->textureWidth >= width && tile->textureHeight >= height) {
    tile->isNew = false;
  } else {
    DeleteTileTexture(tile);
    tile->textureWidth = width;
    tile->textureHeight = height;
  }
  tile->textureRect = ImageRect{tile->tile.left, tile->tile.top, tile->tile.left + tile->textureWidth,
                                tile->tile.top + tile->textureHeight};
}

// Corners top left, bottom left, bottom right, top right: counter-clockwise on the screen under
// the layer's y-down projection, so that back-face culling keeps the quads.
void PlaceQuad(const SubImage& tile, const ImageRect& quad, bool bottomUp, TexturedVertex* vertices) {
  const double x[4] = {double(quad.left), double(quad.left), double(quad.right), double(quad.right)};
  const double y[4] = {double(quad.top), double(quad.bottom), double(quad.bottom), double(quad.top)};
  for (int corner = 0; corner < 4; ++corner) {
    double down = bottomUp ? tile.tile.bottom - y[corner] : y[corner] - tile.tile.top;
    vertices[corner] = TexturedVertex{(x[corner] - tile.tile.left) / tile.textureWidth, down / tile.textureHeight,
                                      x[corner], y[corner]};
  }
}

ImageRect UniteRects(const ImageRect& a, const ImageRect& b) {
  return ImageRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                   std::max(a.bottom, b.bottom)};
}

}  // namespace

void SetMaximumTextureSizeForTests(GLint size) { gTestTextureLimit = size; }

bool GetMaximumTextureSize(bool powerOfTwo, bool limitToViewport, GLint* width, GLint* height) {
  TextureFormat format = PreviewColorTextureFormat();
  GLint size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
  while (size > kSmallestProbedTexture && !ProxyTextureAccepted(size, format)) size /= 2;
  GLint maximumWidth = size, maximumHeight = size;
  if (limitToViewport) {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    maximumWidth = std::min(maximumWidth, viewport[2]);
    maximumHeight = std::min(maximumHeight, viewport[3]);
  }
  if (powerOfTwo) {
    maximumWidth = RoundDownToPowerOfTwo(maximumWidth);
    maximumHeight = RoundDownToPowerOfTwo(maximumHeight);
  }
  if (!NoOpenGLErrorPending(__LINE__, "Determination of maximum texture size failed.")) return false;
  *width = maximumWidth;
  *height = maximumHeight;
  return true;
}

bool SubdivideImage(const ImageRect& rectangle, TextureSet* set, int32_t maximumWidth, int32_t maximumHeight) {
  if (!NoOpenGLErrorPending(__LINE__, "Error on entry into SubdivideImage()")) return false;
  // Tiles must advance by at least a pixel past their overlap, or the grid would never end.
  if (rectangle.Width() <= 0 || rectangle.Height() <= 0 || maximumWidth <= kTileOverlap ||
      maximumHeight <= kTileOverlap) {
    return ReportTextureSetFailure(__LINE__, "Subdivision of specified image Failed");
  }
  int64_t columns = TilesAlong(rectangle.Width(), maximumWidth);
  int64_t rows = TilesAlong(rectangle.Height(), maximumHeight);
  if (columns * rows > kMostTiles) return ReportTextureSetFailure(__LINE__, "Subdivision of specified image Failed");
  if (!GrowTileArrays(set, columns * rows)) return false;
  ResizeTileList(set, int(columns * rows));
  bool powerOfTwo = gOpenGLDrawing.MustUsePowerOfTwoSizedTextures;
  SubImage* tiles = set->Tiles();
  for (int64_t row = 0; row < rows; ++row) {
    for (int64_t column = 0; column < columns; ++column) {
      SubImage& tile = tiles[row * columns + column];
      int32_t left = int32_t(rectangle.left + column * (maximumWidth - kTileOverlap));
      int32_t top = int32_t(rectangle.top + row * (maximumHeight - kTileOverlap));
      tile.tile = ImageRect{left, top, int32_t(std::min<int64_t>(int64_t(left) + maximumWidth, rectangle.right)),
                            int32_t(std::min<int64_t>(int64_t(top) + maximumHeight, rectangle.bottom))};
      tile.tileWidth = int32_t(tile.tile.Width());
      tile.tileHeight = int32_t(tile.tile.Height());
      SizeTileTexture(&tile, powerOfTwo);
      // Neighbours meet in the middle of their two shared pixels.
      ImageRect quad{tile.tile.left + (column > 0 ? 1 : 0), tile.tile.top + (row > 0 ? 1 : 0),
                     tile.tile.right - (column + 1 < columns ? 1 : 0), tile.tile.bottom - (row + 1 < rows ? 1 : 0)};
      PlaceQuad(tile, quad, set->bottomUp, set->Vertices() + (row * columns + column) * 4);
      set->covered = row == 0 && column == 0 ? tile.textureRect : UniteRects(set->covered, tile.textureRect);
    }
  }
  set->fullWidth = int32_t(rectangle.Width());
  set->fullHeight = int32_t(rectangle.Height());
  set->vertexBufferCurrent = false;
  return NoOpenGLErrorPending(__LINE__, "Subdivision of specified image Failed");
}
