// The preview's three effect layers (primary spikes, secondary spikes, soft flares): one
// rasterised template per layer, uploaded as textures, and one textured, coloured quad per spike
// or soft flare of every visible light source, kept in batches that 16-bit indices can address.
// Everything runs on the preview task with its OpenGL context current.
#pragma once
#include <GL/glew.h>

#include <cstdint>

#include "core/BufferManager.h"
#include "core/ImageRecord.h"
#include "params/ParameterSet.h"
#include "preview/QuadOutlines.h"
#include "shapes/Shape.h"

enum EffectLayerKind : int {
  EFFECT_LAYER_PRIMARY = 0,
  EFFECT_LAYER_SECONDARY = 1,
  EFFECT_LAYER_SOFT_FLARE = 2,
  EFFECT_LAYER_COUNT = 3
};

constexpr int kEffectTextureSlots = 16;
constexpr int kEffectExposureLevels = 9;
constexpr uint32_t kVerticesPerBatch = 65532;  // the most four-vertex quads 16-bit indices reach
constexpr uint32_t kQuadsPerBatch = kVerticesPerBatch / 4;

struct EffectVertex {
  float red, green, blue, alpha;
  float s, t;
  float x, y;
};
static_assert(sizeof(EffectVertex) == 32, "the vertex pointers use a stride of 32 bytes");
constexpr int kEffectVertexTexCoordOffset = 16;
constexpr int kEffectVertexPositionOffset = 24;

struct EffectIndexBatch {
  GLuint buffer;
  uint64_t bufferSize;
  uint32_t count;
  BufferDescriptor indices;  // uint16_t
};

struct EffectBatch {
  GLuint vertexBuffer;
  uint64_t vertexBufferSize;
  BufferDescriptor vertices;  // EffectVertex
  EffectIndexBatch slots[kEffectTextureSlots];
};

// The template's pixels relative to the light source's centre pixel, and the textures holding it.
struct EffectTemplate {
  int32_t left, top, width, height;
  int32_t textureWidth, textureHeight;
  int levels;  // 1: float samples the shape scaling program scales; else kEffectExposureLevels
  bool empty;  // the generator drew nothing: no quads
  QuadOutline outlines[kQuadStrengthClasses];  // what a quad covers, by the strength of its light
};

// What a layer rebuilt since the counters were reset, for the trace and for tests (read from any
// thread).
struct EffectLayerCounters {
  int templateBuilds;
  int quadBuilds;
  int failures;
  uint32_t quads;
  uint32_t batches;
};

struct EffectLayer {
  int kind;
  Shape shape;              // subshapes[0][0] holds the template's entries
  ParameterSet parameters;  // the snapshot the template generator reads
  GLuint textures[kEffectTextureSlots];
  GLuint unpackBuffers[kEffectTextureSlots];
  uint64_t unpackSizes[kEffectTextureSlots];
  bool hasTemplate;
  ParameterSet templateBuiltFor;
  double templateReference;
  EffectTemplate geometry;
  bool hasQuads;
  bool lastBuildFailed;
  ParameterSet quadsBuiltFor;  // also the failed set while lastBuildFailed
  int32_t quadsTableChanges;
  ImageRect quadsVisible;  // the soft flares' culling rectangle
  double quadsScale;
  BufferDescriptor batches;  // EffectBatch records, zeroed as they are added
  uint32_t batchCapacity;
  uint32_t quadCount;
  // Changes whenever what the layer draws may have changed (template, quads, or none left), to a
  // value no layer had before, also across set-ups: a drawing of the layer kept with the stamp it
  // had then is still right while the stamp is the same.
  uint64_t drawingStamp;
  uint64_t quadsDigest;  // of the quads as last built, telling a rebuild that changed nothing
};

// What the context allows the effect drawing, settled at set-up.
struct EffectDrawingCapabilities {
  bool bufferObjects;   // vertex and element buffer objects
  bool pixelBuffers;    // pixel-unpack buffers per texture slot
  bool mipmaps;         // mipmapped spike textures
  bool powerOfTwo;      // textures must be power-of-two sized
  bool accelerated;
  GLint internalFormat; // of the exposure levels
  bool eightBitLevels;  // the levels keep 8 bits a channel
  // The float template in half floats where the levels would be 16-bit: filtered samples read up
  // to eight texels, and half the bytes make the spikes about a tenth faster on a software
  // renderer, while one nearest texel costs more to convert than to read. A 16-bit normalised
  // format would lose the faint ends, below 1/65535; in half floats the faintest entry the
  // preview keeps (2048 / 2^32) is a subnormal off by at most 3e-8, about a five-hundredth of an
  // 8-bit level even times the shader's 256.
  bool halfFloatTemplate;
  GLint maximumTexture;
};

extern EffectLayer gEffectLayers[EFFECT_LAYER_COUNT];
extern EffectDrawingCapabilities gEffectDrawing;

// Set-up with the scaled proxy layer: 48 textures, their pixel-unpack buffers and the layers.
bool InitializeFilterEffects_OpenGL();
void DestroyFilterEffects_OpenGL();
// Builds the three layers for the request and draws them with the current transform and blend
// state (image coordinates of the host's filter rectangle); `visible` is the part of the image the
// preview shows, outside which soft flares are not drawn. False when a layer failed or the
// drawing was aborted.
bool DrawFilterEffects_OpenGL(const ParameterSet& parameters, const ImageRect& hostRectangle, const ImageRect& visible);
// The two halves of it, for a frame that skips the effects layer when there is nothing to draw:
// the build (false when a layer failed or the drawing was aborted), whether any layer then has
// quads, and the drawing of the layers as built.
bool BuildFilterEffects_OpenGL(const ParameterSet& parameters, const ImageRect& hostRectangle, const ImageRect& visible);
bool FilterEffectsHaveQuads();
// Bit (1 << kind) for each layer with quads to draw.
uint32_t EffectLayersWithQuads();
bool DrawBuiltFilterEffects_OpenGL(uint32_t layers = (1u << EFFECT_LAYER_COUNT) - 1);
bool DrawCompositeOpenGLShape(EffectLayer* layer);

// When a request makes both spike templates stale (a Length or Spike Sharpness drag), prepares
// the two at once (rasterised, measured and filled), the secondary's on a thread of its own; the
// layers' builds then only upload them. Called before the layers are built; tests may have the
// two made one by one. What a dropped frame prepared is forgotten with the layers.
void RasteriseSpikeTemplatesTogether(const ParameterSet& parameters, const ImageRect& hostRectangle);
void SetSpikeTemplatesRasterisedTogether(bool together);
void ForgetPreparedTemplates();
// Tests compare the half-float templates' stars with those of 32-bit float templates; templates
// loaded after the call take the format.
void SetHalfFloatTemplatesAllowed(bool allowed);

// Brings the layer's template and quads up to date; false when memory ran out.
bool BuildEffectLayer(EffectLayer* layer, const ParameterSet& parameters, const ImageRect& hostRectangle,
                      const ImageRect& visible);

// The skip rules: whether a new request leaves the template, or the quads, as they are, and
// whether the back-off after a failed build holds the layer off.
bool EffectTemplateIsCurrent(const EffectLayer& layer, const ParameterSet& parameters);
bool EffectQuadsAreCurrent(const EffectLayer& layer, const ParameterSet& parameters, int32_t tableChanges,
                           const ImageRect& visible);
bool EffectBuildIsBackedOff(const EffectLayer& layer, const ParameterSet& parameters);
// The parameter snapshot a layer builds from: the secondary layer's is derived from the request.
ParameterSet EffectLayerParameters(int kind, const ParameterSet& parameters);

// Reference sizes of the preview's templates for a host rectangle: the star's and the render's.
double PreviewStarReferenceSize(const ImageRect& hostRectangle);
double FinalReferenceSize(const ImageRect& hostRectangle);

// The GL side of a layer (EffectTextures.cpp).
// False, with the error reported under `text`, when OpenGL has an error pending.
bool NoGLError(uint32_t line, const char* text);
// `pixels` are rows of the texture's size in `format` (GL_RGB or GL_RGBA), as floats or
// (GL_UNSIGNED_BYTE) bytes.
bool LoadShapeTexture(EffectLayer* layer, int level, const void* pixels, GLenum type, GLenum format);
bool CopyShapeVerticesToVBO(EffectLayer* layer, uint32_t batch);
bool CopyShapeIndexArraysToVBO(EffectLayer* layer, uint32_t batch);
bool CopySubShapeIndicesToVBO(EffectLayer* layer, int slot, uint32_t batch);
void ReleaseEffectBatches(EffectLayer* layer);

// A drawing stamp never handed out before.
uint64_t NewEffectDrawingStamp();

EffectLayerCounters GetEffectLayerCounters(int kind);
void ResetEffectLayerCounters();
