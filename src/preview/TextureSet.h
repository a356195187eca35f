// Images and framebuffer rectangles held as grids of OpenGL textures, so that pictures larger than
// the driver's largest texture can be drawn at any zoom and power-of-two-only drivers are served.
// Everything runs on the preview task with its context current.
#pragma once
#include <GL/glew.h>

#include <cstddef>
#include <cstdint>

#include "core/BufferManager.h"
#include "core/ImageRecord.h"

// Neighbouring tiles share this many pixels; their quads meet in the middle of the overlap.
constexpr int kTileOverlap = 2;

struct SubImage {
  GLuint texture = 0;
  ImageRect tile{};      // in the set's coordinates
  int32_t tileWidth = 0, tileHeight = 0;
  ImageRect textureRect{};  // left, top, left + texture width, top + texture height
  int32_t textureWidth = 0, textureHeight = 0;  // as allocated: a power of two when required
  bool isNew = false;
};

struct TexturedVertex {
  double s, t, x, y;
};
static_assert(sizeof(TexturedVertex) == 32);

struct TextureSet {
  int tileCount = 0;
  GLint minificationFilter = GL_LINEAR;
  GLint magnificationFilter = GL_LINEAR;
  GLuint vertexBuffer = 0;  // 0: vertices drawn from client memory
  size_t vertexBufferSize = 0;
  GLenum vertexBufferUsage = GL_STATIC_DRAW;
  bool vertexBufferCurrent = false;  // the buffer holds the vertices of the present tiles
  GLuint pixelBuffer = 0;  // 0: uploads and read-backs without a pixel buffer object
  size_t pixelBufferSize = 0;
  GLenum pixelBufferUsage = GL_STATIC_DRAW;
  bool scaled = false;
  double scaleX = 1.0, scaleY = 1.0;
  bool bottomUp = false;
  bool applyGamma = false;   // framebuffer copies get the display gamma in software
  double gammaExponent = 1.0;  // the exponent applied when applyGamma is set
  ImageRect covered{};
  int32_t fullWidth = 0, fullHeight = 0;
  BufferDescriptor vertices;  // 4 TexturedVertex per tile
  BufferDescriptor tiles;     // SubImage per tile
  // Work buffers of the padded and gamma-corrected copies.
  BufferDescriptor paddedPixels;
  BufferDescriptor readPixels;  // framebuffer read-backs made without a pixel buffer object

  SubImage* Tiles() const { return static_cast<SubImage*>(tiles.block); }
  TexturedVertex* Vertices() const { return static_cast<TexturedVertex*>(vertices.block); }
};

// The largest square texture of the preview's format the driver really allocates, halving from
// GL_MAX_TEXTURE_SIZE (not below 64); optionally limited to the viewport and rounded down to
// powers of two.
bool GetMaximumTextureSize(bool powerOfTwo, bool limitToViewport, GLint* width, GLint* height);
// Tests pretend a driver limit (0 restores the probe).
void SetMaximumTextureSizeForTests(GLint size);
bool SubdivideImage(const ImageRect& rectangle, TextureSet* set, int32_t maximumWidth, int32_t maximumHeight);

// Buffer objects of a set, made once per preview start where the drawing flags allow them (true
// and no buffer where they do not). A set uses its buffers only while the flags allow them.
bool CreateTextureSetVertexBuffer(TextureSet* set, GLenum usage);
bool CreateTextureSetPixelBuffer(TextureSet* set, GLenum usage);

// Uploads `area` of the record (its own coordinates; clipped to the record) into the set: tiles
// placed at the area's coordinates, made or updated in the preview's texture format. The record's
// pixel format and type (GL_BGRA or GL_RGBA; bytes, shorts, floats or half floats) describe its
// samples. A bottom-up set takes the record's rows as running from the picture's bottom.
bool CreateTextureSetFromImage(TextureSet* set, const ImageRecord& image, const ImageRect& area);
// Copies `rectangle` of the current read framebuffer (window coordinates, y down from the top of a
// framebuffer `framebufferHeight` high) into the set, tiles placed at the rectangle's coordinates.
// `framebufferHeight` is the height of the viewport the frame was drawn in, also when a frame
// buffer object's storage is taller. The set becomes bottom-up, so that drawn with the transform
// the frame was drawn with, every pixel lands where it was; a set with applyGamma gets
// gammaExponent applied to the colour samples on the way.
bool CreateTextureSetFromFramebuffer(TextureSet* set, const ImageRect& rectangle, int32_t framebufferHeight);
// Draws every tile with the current transform, colour and blending; a scaled set by the
// reciprocals of its factors.
bool DrawImageTextureSet(const TextureSet& set);
bool UpdateVertexBuffer(TextureSet* set);
void FreeTextureSet(TextureSet* set);
