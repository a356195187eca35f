// What the texture set files share: which buffer objects a set may use, the making of tile
// textures, the growth of work buffers and the padded copies of tiles smaller than their texture.
#pragma once
#include <GL/glew.h>

#include <cstddef>
#include <cstdint>

#include "preview/TextureSet.h"

// The title of the granted-format warning.
constexpr char kTitleTextureFormatWarning[] = "Debug - Warning";

// A set's buffer objects serve only while the drawing flags allow them.
bool VertexBufferInUse(const TextureSet& set);
bool PixelBufferInUse(const TextureSet& set);

// Reports an OpenGL error left pending (or, when OpenGL recorded none, the failure itself) with
// the given text; always false, so that callers can return it.
bool ReportOpenGLFailure(uint32_t line, const char* text);
// True when no OpenGL error is pending; otherwise reports it with the text.
bool NoOpenGLErrorPending(uint32_t line, const char* text);
// Reports a failure that OpenGL knows nothing about; always false.
bool ReportTextureSetFailure(uint32_t line, const char* text);

// Grows a work buffer to at least `bytes`. A failure sets the host result and traces the
// message, whose %d takes the result.
bool GrowWorkBuffer(uint64_t bytes, BufferDescriptor* buffer, const char* failureFormat);

// A texture name bound to GL_TEXTURE_2D with the set's filters and edge clamping.
GLuint MakeTileTexture(const TextureSet& set);
void DeleteTileTexture(SubImage* tile);
bool TileNeedsPadding(const SubImage& tile);
// Warns once per call site's build when the driver stored a texture in another format.
void WarnOnGrantedFormat(GLint desired, bool* warned);

// Copies a tile's rows into a buffer of its texture's size, repeating the last column and row
// into the padding, so that filtering at the tile's outer edges never reaches undefined texels.
void CopyTileWithPadding(const uint8_t* firstRow, size_t rowBytes, size_t pixelBytes, const SubImage& tile,
                         uint8_t* padded);

// Bytes of one four-sample pixel of a pixel type; 0 for a type the sets do not handle.
size_t PixelBytesOfType(GLenum pixelType);
