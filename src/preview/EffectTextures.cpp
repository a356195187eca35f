// The OpenGL side of the effect layers: the 48 template textures and their pixel-unpack
// buffers, the quads' vertex and element buffer objects, and the drawing of the quads.
#include <GL/glew.h>

#include <atomic>
#include <cstring>

#include "preview/BackgroundTask.h"
#include "preview/EffectLayers.h"
#include "preview/OpenGLSettings.h"
#include "preview/ProxyLayer.h"
#include "preview/ShaderPrograms.h"
#include "preview/ShaderRecords.h"
#include "support/ErrorReport.h"

namespace {

std::atomic<bool> gHalfFloatTemplatesAllowed{true};

bool QualityOrSpeed() {
  int setting = gOpenGLSettings.m_OpenGLDrawingMode;
  return setting == OPTIMIZE_FOR_QUALITY || setting == OPTIMIZE_FOR_SPEED;
}

bool FloatTexturesAvailable() { return GLEW_VERSION_3_0 || GLEW_ARB_texture_float; }

// The float template needs the program that scales it back, and float textures to hold it.
int TemplateLevels() {
  return IsShaderProgramCreated(kShapeScalingShaderProgram) && FloatTexturesAvailable() ? 1 : kEffectExposureLevels;
}

EffectDrawingCapabilities DetermineCapabilities() {
  const OpenGLDrawingFlags& flags = gOpenGLDrawing;
  EffectDrawingCapabilities caps{};
  caps.accelerated = flags.accelerated;
  caps.powerOfTwo = flags.MustUsePowerOfTwoSizedTextures;
  caps.bufferObjects = QualityOrSpeed() && flags.accelerated && flags.UseVertexBufferObjects;
  caps.pixelBuffers = !caps.powerOfTwo && caps.bufferObjects && flags.UsePixelBufferObjects;
  caps.mipmaps = (GLEW_VERSION_3_0 || GLEW_ARB_framebuffer_object) && flags.accelerated && QualityOrSpeed();
  const TextureFormat& format = flags.accelerated && QualityOrSpeed() ? flags.format16 : flags.format8;
  caps.internalFormat = format.internalFormat != 0 ? format.internalFormat : GL_RGBA8;
  caps.eightBitLevels = format.dataType == GL_UNSIGNED_BYTE || format.internalFormat == 0;
  caps.halfFloatTemplate = flags.accelerated && QualityOrSpeed();
  GLint maximum = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maximum);
  caps.maximumTexture = maximum > 0 ? maximum : 1024;
  return caps;
}

EffectBatch* Batches(EffectLayer* layer) { return static_cast<EffectBatch*>(layer->batches.block); }
uint32_t BatchCount(const EffectLayer& layer) { return (4 * layer.quadCount + kVerticesPerBatch - 1) / kVerticesPerBatch; }

// Fills a buffer object from the start, re-allocating it when the data outgrew it.
void FillBufferObject(GLenum target, GLuint buffer, uint64_t* allocated, uint64_t bytes, const void* data) {
  glBindBuffer(target, buffer);
  if (bytes > *allocated) {
    glBufferData(target, GLsizeiptr(bytes), data, GL_DYNAMIC_DRAW);
    *allocated = bytes;
  } else {
    glBufferSubData(target, 0, GLsizeiptr(bytes), data);
  }
  glBindBuffer(target, 0);
}

void DeleteBufferObject(GLuint* buffer, uint64_t* size) {
  if (*buffer != 0) glDeleteBuffers(1, buffer);
  *buffer = 0;
  *size = 0;
}

}  // namespace

bool InitializeFilterEffects_OpenGL() {
  gEffectDrawing = DetermineCapabilities();
  bool ok = true;
  for (int kind = 0; kind < EFFECT_LAYER_COUNT; ++kind) {
    EffectLayer& layer = gEffectLayers[kind];
    memset(static_cast<void*>(&layer), 0, sizeof layer);
    layer.kind = kind;
    layer.drawingStamp = NewEffectDrawingStamp();
    InitializeShape(&layer.shape, nullptr, &layer.parameters, kind == EFFECT_LAYER_SOFT_FLARE);
    layer.geometry.levels = TemplateLevels();
    glGenTextures(kEffectTextureSlots, layer.textures);
    GLint magnification = gEffectDrawing.accelerated ? GL_LINEAR : GL_NEAREST;
    GLint minification = kind != EFFECT_LAYER_SOFT_FLARE && gEffectDrawing.mipmaps ? GL_LINEAR_MIPMAP_LINEAR : magnification;
    // Quad outlines stay within the template's columns but may pass its rows at their ends:
    // there the textures of drivers without power-of-two limits have a black border (those with
    // them get black rows in the template instead).
    GLint wrapRows = gEffectDrawing.powerOfTwo ? GL_CLAMP_TO_EDGE : GL_CLAMP_TO_BORDER;
    const GLfloat black[4] = {0, 0, 0, 0};
    for (GLuint texture : layer.textures) {
      glBindTexture(GL_TEXTURE_2D, texture);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magnification);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minification);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapRows);
      glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, black);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    if (gEffectDrawing.pixelBuffers) glGenBuffers(kEffectTextureSlots, layer.unpackBuffers);
    ok = NoGLError(__LINE__, "OpenGL Function Failed") && ok;
  }
  return ok;
}

void DestroyFilterEffects_OpenGL() {
  ForgetPreparedTemplates();
  for (EffectLayer& layer : gEffectLayers) {
    ReleaseEffectBatches(&layer);
    bool named = false;
    for (GLuint texture : layer.textures) named = named || texture != 0;
    if (named) glDeleteTextures(kEffectTextureSlots, layer.textures);
    for (int slot = 0; slot < kEffectTextureSlots; ++slot) DeleteBufferObject(&layer.unpackBuffers[slot], &layer.unpackSizes[slot]);
    NoGLError(__LINE__, "OpenGL Function Failed in DestroyFilterEffects_OpenGL().");
    DestroyShape(&layer.shape);
    memset(static_cast<void*>(&layer), 0, sizeof layer);
  }
}

void SetHalfFloatTemplatesAllowed(bool allowed) { gHalfFloatTemplatesAllowed.store(allowed); }

bool LoadShapeTexture(EffectLayer* layer, int level, const void* pixels, GLenum type, GLenum format) {
  const EffectTemplate& t = layer->geometry;
  uint64_t channels = format == GL_RGB ? 3 : 4;
  uint64_t bytes = uint64_t(t.textureWidth) * uint64_t(t.textureHeight) * channels * (type == GL_FLOAT ? sizeof(float) : 1);
  const void* data = pixels;
  GLuint unpack = layer->unpackBuffers[level];
  if (unpack != 0) {
    FillBufferObject(GL_PIXEL_UNPACK_BUFFER, unpack, &layer->unpackSizes[level], bytes, pixels);
    if (!NoGLError(__LINE__, "LoadShapeTexture() - Failed to copy texture into pixel buffer object.")) return false;
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, unpack);
    data = nullptr;  // the upload reads the bound buffer from its start
  }
  bool floatTemplate = t.levels == 1;
  bool halfFloats = gEffectDrawing.halfFloatTemplate && gHalfFloatTemplatesAllowed.load();
  GLint floatFormat = halfFloats ? (format == GL_RGB ? GL_RGB16F : GL_RGBA16F) : (format == GL_RGB ? GL_RGB32F : GL_RGBA32F);
  GLint internalFormat = floatTemplate ? floatFormat : gEffectDrawing.internalFormat;
  glBindTexture(GL_TEXTURE_2D, layer->textures[level]);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, t.textureWidth, t.textureHeight, 0, format, type, data);
  bool ok = true;
  if (gEffectDrawing.mipmaps && layer->kind != EFFECT_LAYER_SOFT_FLARE) {
    glGenerateMipmap(GL_TEXTURE_2D);
    ok = NoGLError(__LINE__, "LoadShapeTexture() - glGenerateMipmap() failed.");
  }
  if (unpack != 0) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  return NoGLError(__LINE__, "LoadShapeTexture() - Load of effect texture bitmap into OpenGL failed.") && ok;
}

bool CopyShapeVerticesToVBO(EffectLayer* layer, uint32_t b) {
  if (layer->batches.block == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "The VertexDescArray pointer is NULL.");
    return false;
  }
  EffectBatch& batch = Batches(layer)[b];
  if (batch.vertexBuffer == 0 && gEffectDrawing.bufferObjects) glGenBuffers(1, &batch.vertexBuffer);
  if (batch.vertexBuffer == 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "The Vertex Buffer Object does not exist and could not be created.");
    return false;
  }
  bool last = b + 1 >= BatchCount(*layer);
  uint32_t vertices = last ? 4 * layer->quadCount - b * kVerticesPerBatch : kVerticesPerBatch;
  FillBufferObject(GL_ARRAY_BUFFER, batch.vertexBuffer, &batch.vertexBufferSize, uint64_t(vertices) * sizeof(EffectVertex),
                   batch.vertices.block);
  if (!NoGLError(__LINE__, "CopyShapeVerticesToVBO() - OpenGL function error detected.")) {
    // Drawn from client memory rather than from a buffer that may hold anything.
    DeleteBufferObject(&batch.vertexBuffer, &batch.vertexBufferSize);
    return false;
  }
  return true;
}

bool CopySubShapeIndicesToVBO(EffectLayer* layer, int slot, uint32_t b) {
  EffectIndexBatch& indices = Batches(layer)[b].slots[slot];
  if (indices.indices.block == nullptr) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "The SubShape IBDArray Pointer is NULL");
    return false;
  }
  if (indices.buffer == 0 && gEffectDrawing.bufferObjects) glGenBuffers(1, &indices.buffer);
  if (indices.buffer == 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "The Element Vertex Buffer Object does not exist and could not be created.");
    return false;
  }
  FillBufferObject(GL_ELEMENT_ARRAY_BUFFER, indices.buffer, &indices.bufferSize, uint64_t(indices.count) * 2, indices.indices.block);
  if (!NoGLError(__LINE__, "CopySubShapeIndicesToVBO() - OpenGL function error detected.")) {
    DeleteBufferObject(&indices.buffer, &indices.bufferSize);
    return false;
  }
  return true;
}

bool CopyShapeIndexArraysToVBO(EffectLayer* layer, uint32_t b) {
  for (int slot = 0; slot < kEffectTextureSlots; ++slot) {
    if (Batches(layer)[b].slots[slot].count == 0) continue;
    if (!CopySubShapeIndicesToVBO(layer, slot, b)) return false;
  }
  return NoGLError(__LINE__, "CopyShapeIndexArraysToVBO() - OpenGL function error detected.");
}

void ReleaseEffectBatches(EffectLayer* layer) {
  for (uint32_t b = 0; b < layer->batchCapacity; ++b) {
    EffectBatch& batch = Batches(layer)[b];
    DeleteBufferObject(&batch.vertexBuffer, &batch.vertexBufferSize);
    DeallocateBuffer(&batch.vertices);
    for (EffectIndexBatch& indices : batch.slots) {
      DeleteBufferObject(&indices.buffer, &indices.bufferSize);
      DeallocateBuffer(&indices.indices);
    }
  }
  DeallocateBuffer(&layer->batches);
  layer->batchCapacity = 0;
  layer->quadCount = 0;
}

bool DrawCompositeOpenGLShape(EffectLayer* layer) {
  uint32_t batches = BatchCount(*layer);
  for (uint32_t b = 0; b < batches; ++b) {
    EffectBatch& batch = Batches(layer)[b];
    const char* base = nullptr;
    if (batch.vertexBuffer != 0) {
      glBindBuffer(GL_ARRAY_BUFFER, batch.vertexBuffer);
    } else {
      glBindBuffer(GL_ARRAY_BUFFER, 0);
      base = static_cast<const char*>(batch.vertices.block);
    }
    glColorPointer(4, GL_FLOAT, sizeof(EffectVertex), base);
    glVertexPointer(2, GL_FLOAT, sizeof(EffectVertex), base + kEffectVertexPositionOffset);
    glTexCoordPointer(2, GL_FLOAT, sizeof(EffectVertex), base + kEffectVertexTexCoordOffset);
    for (int slot = 0; slot < kEffectTextureSlots; ++slot) {
      EffectIndexBatch& indices = batch.slots[slot];
      if (indices.count == 0) continue;
      glBindTexture(GL_TEXTURE_2D, layer->textures[slot]);
      if (indices.buffer != 0) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices.buffer);
        glDrawElements(GL_QUADS, GLsizei(indices.count), GL_UNSIGNED_SHORT, nullptr);
      } else {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        glDrawElements(GL_QUADS, GLsizei(indices.count), GL_UNSIGNED_SHORT, indices.indices.block);
      }
    }
    // A batch is up to 16,383 quads: on a photo with tens of thousands of lights a layer takes
    // seconds, and a newer request or the dialog's end must not wait for all of it.
    if (b + 1 < batches) {
      glFinish();
      if (PreviewAborted()) break;
    }
  }
  glFinish();
  NoGLError(__LINE__, "glFinish() - Problem.");
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  return NoGLError(__LINE__, "DrawCompositeOpenGLShape() - OpenGL function error detected.");
}

// The frame's progress runs from 8 (the image is ready) to 12 (the composite begins): one step
// for each effect layer built.
constexpr int kFirstEffectLayerProgressStep = 9;

bool BuildFilterEffects_OpenGL(const ParameterSet& parameters, const ImageRect& hostRectangle, const ImageRect& visible) {
  RasteriseSpikeTemplatesTogether(parameters, hostRectangle);
  for (int kind = 0; kind < EFFECT_LAYER_COUNT; ++kind) {
    if (PreviewAborted()) return false;
    if (!BuildEffectLayer(&gEffectLayers[kind], parameters, hostRectangle, visible)) return false;
    ReportFrameProgress(kFirstEffectLayerProgressStep + kind);
  }
  return true;
}

bool FilterEffectsHaveQuads() {
  for (const EffectLayer& layer : gEffectLayers) {
    if (layer.hasQuads && layer.quadCount > 0) return true;
  }
  return false;
}

uint32_t EffectLayersWithQuads() {
  uint32_t layers = 0;
  for (const EffectLayer& layer : gEffectLayers) {
    if (layer.hasQuads && layer.quadCount > 0) layers |= 1u << layer.kind;
  }
  return layers;
}

bool DrawBuiltFilterEffects_OpenGL(uint32_t layers) {
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glEnableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  bool program = false;
  if (gEffectLayers[0].geometry.levels == 1) {
    program = MakeShaderProgramActive(kShapeScalingShaderProgram);
    if (!program) {
      ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "Failed to activate the shape scaling shader.");
    }
  }
  bool drawn = true;
  for (EffectLayer& layer : gEffectLayers) {
    bool wanted = (layers >> layer.kind) & 1u;
    if (wanted && layer.hasQuads && layer.quadCount > 0) drawn = DrawCompositeOpenGLShape(&layer) && drawn;
  }
  if (program && !MakeShaderProgramActive(0)) {
    OpenGLErrorReport(__LINE__, OpenGLError, glGetError())
        .Report("MakeShaderProgramActive() - Failed to activate shader program %d.", kShapeScalingShaderProgram);
  }
  glPopClientAttrib();
  return drawn && !PreviewAborted();
}

// A layer that failed to build leaves the others to be drawn.
bool DrawFilterEffects_OpenGL(const ParameterSet& parameters, const ImageRect& hostRectangle, const ImageRect& visible) {
  bool built = BuildFilterEffects_OpenGL(parameters, hostRectangle, visible);
  if (!built && PreviewAborted()) return false;
  return DrawBuiltFilterEffects_OpenGL() && built;
}

bool NoGLError(uint32_t line, const char* text) {
  GLenum error = glGetError();
  if (error == GL_NO_ERROR) return true;
  OpenGLErrorReport(line, OpenGLError, error).Report("%s", text);
  return false;
}
