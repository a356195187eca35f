// The texture formats the preview uploads 8-, 16- and 32-bit colour to: the first candidate of
// each depth that the driver really stores at that depth (and renders to, with frame buffers).
#include "preview/OpenGLSettings.h"
#include "core/RunResult.h"
#include "support/ErrorReport.h"

namespace {

constexpr GLsizei kTestSize = 256;

struct FormatCandidate {
  GLint internalFormat;
  GLint bits;
  GLenum dataType;
};

// Candidates of each depth, best first.
constexpr FormatCandidate k8BitCandidates[] = {
    {GL_RGBA, 8, GL_UNSIGNED_BYTE},
    {GL_RGBA8, 8, GL_UNSIGNED_BYTE},
};
constexpr FormatCandidate k16BitCandidates[] = {
    {GL_RGBA, 16, GL_UNSIGNED_SHORT},
    {GL_FLOAT_RGBA16_NV, 16, GL_HALF_FLOAT},
    {GL_RGBA16F, 16, GL_HALF_FLOAT},
    {GL_RGBA16, 16, GL_UNSIGNED_SHORT},
};
constexpr FormatCandidate k32BitCandidates[] = {
    {GL_RGBA, 32, GL_FLOAT},
    {GL_FLOAT_RGBA32_NV, 32, GL_FLOAT},
    {GL_RGBA32F, 32, GL_FLOAT},
};

// With frame buffers the format must also be a complete colour attachment of the same depth.
bool RenderableAs(GLuint renderbuffer, GLint internalFormat, const FormatCandidate& candidate) {
  glRenderbufferStorage(GL_RENDERBUFFER, GLenum(internalFormat), kTestSize, kTestSize);
  if (glGetError() != GL_NO_ERROR) return false;
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer);
  bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  GLint stored = 0, red = 0;
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_INTERNAL_FORMAT, &stored);
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_RED_SIZE, &red);
  return glGetError() == GL_NO_ERROR && complete && red == candidate.bits &&
         (candidate.internalFormat == GL_RGBA || stored == internalFormat);
}

// renderbuffer: 0 without frame buffers.
bool PassesTest(const FormatCandidate& candidate, GLuint renderbuffer, TextureFormat* selection) {
  while (glGetError() != GL_NO_ERROR) {
  }
  glTexImage2D(GL_TEXTURE_2D, 0, candidate.internalFormat, kTestSize, kTestSize, 0, GL_RGBA, candidate.dataType, nullptr);
  if (glGetError() != GL_NO_ERROR) return false;
  GLint red = 0, alpha = 0, stored = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_RED_SIZE, &red);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &stored);
  if (glGetError() != GL_NO_ERROR || red != candidate.bits || alpha != candidate.bits) return false;
  if (candidate.internalFormat != GL_RGBA && stored != candidate.internalFormat) return false;
  if (renderbuffer != 0 && !RenderableAs(renderbuffer, stored, candidate)) return false;
  *selection = TextureFormat{stored, unsigned(candidate.bits / 8 * 4), candidate.dataType};
  return true;
}

template <size_t N>
bool SelectFirstPassing(const FormatCandidate (&candidates)[N], GLuint renderbuffer, TextureFormat* selection) {
  for (const FormatCandidate& candidate : candidates) {
    if (PassesTest(candidate, renderbuffer, selection)) return true;
  }
  return false;
}

struct TestObjects {
  GLuint texture = 0;
  GLuint framebuffer = 0;
  GLuint renderbuffer = 0;
};

bool MakeTestObjects(bool useFrameBuffers, TestObjects* objects) {
  glPushAttrib(GL_TEXTURE_BIT);
  glGenTextures(1, &objects->texture);
  glBindTexture(GL_TEXTURE_2D, objects->texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  GLenum error = glGetError();
  if (error != GL_NO_ERROR) {
    OpenGLErrorReport(__LINE__, OpenGLError, error)
        .Report(kStyleError, kTitleUnexpectedError, "CharacterizeBestFormats() - Error initializing test texture.\n");
    return false;
  }
  if (!useFrameBuffers) return true;
  glGenFramebuffers(1, &objects->framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, objects->framebuffer);
  glGenRenderbuffers(1, &objects->renderbuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, objects->renderbuffer);
  error = glGetError();
  if (error != GL_NO_ERROR) {
    OpenGLErrorReport(__LINE__, OpenGLError, error)
        .Report(kStyleError, kTitleUnexpectedError, "CharacterizeBestFormats() - Error creating FBO test buffers.\n");
    return false;
  }
  return true;
}

void DeleteTestObjects(const TestObjects& objects) {
  if (objects.framebuffer != 0) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &objects.framebuffer);
  }
  if (objects.renderbuffer != 0) {
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glDeleteRenderbuffers(1, &objects.renderbuffer);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  if (objects.texture != 0) glDeleteTextures(1, &objects.texture);
  glPopAttrib();
  while (glGetError() != GL_NO_ERROR) {
  }
}

}  // namespace

bool FixedTextureFormatsForVendor(int vendor, TextureFormat* format8, TextureFormat* format16, TextureFormat* format32) {
  if (vendor != VENDOR_MICROSOFT) return false;
  *format8 = *format16 = *format32 = TextureFormat{GL_RGBA8, 4, GL_UNSIGNED_BYTE};
  return true;
}

bool CharacterizeBestFormats() {
  OpenGLDrawingFlags& drawing = gOpenGLDrawing;
  bool useFrameBuffers = drawing.UseFrameBufferObjects;
  TestObjects objects;
  bool ready = MakeTestObjects(useFrameBuffers, &objects);
  bool found = true;
  if (FixedTextureFormatsForVendor(drawing.vendor, &drawing.format8, &drawing.format16, &drawing.format32)) {
  } else if (!ready || !SelectFirstPassing(k8BitCandidates, objects.renderbuffer, &drawing.format8)) {
    found = false;
  } else {
    if (!SelectFirstPassing(k16BitCandidates, objects.renderbuffer, &drawing.format16)) drawing.format16 = drawing.format8;
    if (!SelectFirstPassing(k32BitCandidates, objects.renderbuffer, &drawing.format32)) drawing.format32 = drawing.format16;
  }
  DeleteTestObjects(objects);
  if (!found) {
    ErrorReport(__LINE__, UserMessage)
        .Report(kStyleError, "System Capability Problem",
                "Your computer and/or video drivers do not provide the required OpenGL capability.  This plug-in cannot run.");
    SetRunResult(kStepFailed);
  }
  return found;
}

TextureFormat PreviewColorTextureFormat() {
  int setting = gOpenGLSettings.m_OpenGLDrawingMode;
  bool deep = gOpenGLDrawing.accelerated && (setting == OPTIMIZE_FOR_QUALITY || setting == OPTIMIZE_FOR_SPEED);
  if (!deep) return gOpenGLDrawing.format8;
  TextureFormat format = gOpenGLDrawing.format16;
  if (format.internalFormat == gOpenGLDrawing.format8.internalFormat) format.dataType = gOpenGLDrawing.format8.dataType;
  return format;
}
