// Draws a texture set: every tile's quad with its texture, under the caller's transform, colour
// and blending, from the set's vertex buffer object when it holds the present tiles.
#include "preview/TextureSetUploads.h"
#include "support/ErrorReport.h"

namespace {

constexpr GLsizei kVertexStride = sizeof(TexturedVertex);
constexpr size_t kPositionOffset = 2 * sizeof(double);  // s and t come first

void PointArraysAtVertices(const TextureSet& set) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  if (VertexBufferInUse(set) && set.vertexBufferCurrent) {
    glBindBuffer(GL_ARRAY_BUFFER, set.vertexBuffer);
    glTexCoordPointer(2, GL_DOUBLE, kVertexStride, nullptr);
    glVertexPointer(2, GL_DOUBLE, kVertexStride, reinterpret_cast<const void*>(kPositionOffset));
  } else {
    // A buffer the caller left bound would turn the pointers into offsets into it. Drivers
    // without buffer objects have no binding and no entry point to clear it.
    if (glBindBuffer != nullptr) glBindBuffer(GL_ARRAY_BUFFER, 0);
    const auto* first = reinterpret_cast<const char*>(set.Vertices());
    glTexCoordPointer(2, GL_DOUBLE, kVertexStride, first);
    glVertexPointer(2, GL_DOUBLE, kVertexStride, first + kPositionOffset);
  }
}

bool DrawTiles(const TextureSet& set) {
  for (int i = 0; i < set.tileCount; ++i) {
    const SubImage& tile = set.Tiles()[i];
    // A tile whose upload failed has no texture; the rest of the set still draws.
    if (tile.texture == 0) continue;
    glBindTexture(GL_TEXTURE_2D, tile.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, set.minificationFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, set.magnificationFilter);
    glDrawArrays(GL_TRIANGLE_FAN, i * 4, 4);
    if (!NoOpenGLErrorPending(__LINE__, "glDrawArrays() Failed")) return false;
  }
  return true;
}

}  // namespace

bool DrawImageTextureSet(const TextureSet& set) {
  if (!NoOpenGLErrorPending(__LINE__, "Error on entry into DrawImageTextureSet()")) return false;
  if (set.tileCount == 0) return true;
  // The client state holds the array buffer binding too, so the caller's comes back with it.
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  // A set built at reduced scale draws in the coordinates of the full-size picture.
  if (set.scaled) glScaled(1.0 / set.scaleX, 1.0 / set.scaleY, 1.0);
  glEnable(GL_TEXTURE_2D);
  PointArraysAtVertices(set);
  bool drawn = DrawTiles(set);
  glPopMatrix();
  glPopAttrib();
  glPopClientAttrib();
  return NoOpenGLErrorPending(__LINE__, "Drawing of Image Texture Set Failed") && drawn;
}
