// The preview's frame buffer objects: storage in the preview's texture format grown to the frame,
// completeness and granted-format checks, and the resolve of multisampled drawing.
#include "preview/FrameBufferObjects.h"

#include <algorithm>

#include "preview/OpenGLSettings.h"
#include "preview/TextureSetUploads.h"
#include "support/ErrorReport.h"

namespace {

// More samples cost memory and time for no visible gain on the preview's thin lines.
constexpr int kMostSamples = 4;

bool ReportIncomplete(uint32_t line, const char* format, GLenum status) {
  ErrorReport(line, DebugMessage).Report(kStyleError, kTitleUnexpectedError, format, unsigned(status));
  return false;
}

void WarnOnGrantedStorageFormat(uint32_t line, const char* format, GLint granted, GLint desired) {
  // An unsized request is granted as whatever sized format the driver picks.
  if (granted == desired || desired == GL_RGBA) return;
  ErrorReport(line, DebugMessage)
      .Report(kStyleWarning, kTitleTextureFormatWarning, format, unsigned(granted), unsigned(desired));
}

// A renderbuffer with its storage (multisampled when samples is not 0) as colour attachment 0.
struct RenderbufferAttachment {
  GLuint framebuffer;
  GLuint renderbuffer;
  GLsizei samples;
  const char* storageFailure;
  const char* formatWarning;
};

bool AttachRenderbuffer(const FrameBufferObjects& objects, const RenderbufferAttachment& attachment, GLsizei width,
                        GLsizei height) {
  glBindFramebuffer(GL_FRAMEBUFFER, attachment.framebuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, attachment.renderbuffer);
  GLenum format = GLenum(objects.internalFormat);
  if (attachment.samples == 0) {
    glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
  } else {
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, attachment.samples, format, width, height);
  }
  if (!NoOpenGLErrorPending(__LINE__, attachment.storageFailure)) return false;
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, attachment.renderbuffer);
  GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    return ReportIncomplete(__LINE__, "Frame Buffer Object after render buffer attachment was incomplete. Status = 0x%X", status);
  }
  GLint granted = 0;
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_INTERNAL_FORMAT, &granted);
  WarnOnGrantedStorageFormat(__LINE__, attachment.formatWarning, granted, objects.internalFormat);
  return true;
}

bool AllocatePrimaryStorage(const FrameBufferObjects& objects, GLsizei width, GLsizei height) {
  return AttachRenderbuffer(objects,
                            RenderbufferAttachment{objects.mainFramebuffer, objects.mainRenderbuffer, 0,
                                                   "Failed to allocate storage for the primary render buffer.",
                                                   "Primary Frame Buffer Object was not granted the required format (0x%X vs. 0x%X)."},
                            width, height);
}

bool AllocateMultisampleRenderbuffer(const FrameBufferObjects& objects, GLsizei width, GLsizei height) {
  return AttachRenderbuffer(
      objects,
      RenderbufferAttachment{objects.multisampleFramebuffer, objects.multisampleRenderbuffer, objects.samples,
                             "Failed to allocate storage for the multisampling render buffer.",
                             "Frame Buffer Object was not granted the required multitexturing format (0x%X vs. 0x%X)."},
      width, height);
}

bool AllocateMultisampleTexture(FrameBufferObjects* objects, GLsizei width, GLsizei height) {
  glBindFramebuffer(GL_FRAMEBUFFER, objects->multisampleFramebuffer);
  glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, objects->multisampleTexture);
  glTexImage2DMultisample(GL_TEXTURE_2D_MULTISAMPLE, objects->samples, GLenum(objects->internalFormat), width, height, GL_TRUE);
  GLint samples = 0, granted = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D_MULTISAMPLE, 0, GL_TEXTURE_SAMPLES, &samples);
  glGetTexLevelParameteriv(GL_TEXTURE_2D_MULTISAMPLE, 0, GL_TEXTURE_INTERNAL_FORMAT, &granted);
  glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, 0);
  if (!NoOpenGLErrorPending(__LINE__, "Failed to reallocate storage for the multisampling texture.")) return false;
  if (samples < 1) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "Texture was incomplete.  FBO = %d, RBO = %d, MultisamplingTextureName = %d",
                int(objects->multisampleFramebuffer), int(objects->mainRenderbuffer), int(objects->multisampleTexture));
    return false;
  }
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D_MULTISAMPLE, objects->multisampleTexture, 0);
  GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    return ReportIncomplete(__LINE__, "Frame Buffer Object after texture attachment was incomplete. Status = 0x%X", status);
  }
  WarnOnGrantedStorageFormat(__LINE__, "Frame Buffer Object was not granted the required multitexturing format (0x%X vs. 0x%X).",
                      granted, objects->internalFormat);
  return true;
}

bool AllocateStorage(FrameBufferObjects* objects, GLsizei width, GLsizei height) {
  if (!AllocatePrimaryStorage(*objects, width, height)) return false;
  if (objects->multisampleRenderbuffer != 0) return AllocateMultisampleRenderbuffer(*objects, width, height);
  if (objects->multisampleTexture != 0) return AllocateMultisampleTexture(objects, width, height);
  return true;
}

GLuint DrawingFramebuffer(const FrameBufferObjects& objects) {
  return objects.multisampleFramebuffer != 0 ? objects.multisampleFramebuffer : objects.mainFramebuffer;
}

// The frame goes on without the frame buffer objects; the next one allocates them afresh.
bool AbandonAttachment(FrameBufferObjects* objects) {
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError, "AttachFBOForRenderingPreparation() - Failed to fully prepare FBO and attachments for output.");
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  while (glGetError() != GL_NO_ERROR) {
  }
  objects->width = objects->height = 0;
  objects->attached = false;
  return false;
}

}  // namespace

bool CreateFrameBufferObjects(FrameBufferObjects* objects, int multisampleMode, int maximumSamples) {
  *objects = FrameBufferObjects{};
  objects->internalFormat = PreviewColorTextureFormat().internalFormat;
  int samples = std::min(maximumSamples, kMostSamples);
  objects->samples = multisampleMode != MULTISAMPLE_NONE && samples >= 2 ? samples : 0;
  glGenFramebuffers(1, &objects->mainFramebuffer);
  glGenRenderbuffers(1, &objects->mainRenderbuffer);
  if (objects->samples != 0) {
    glGenFramebuffers(1, &objects->multisampleFramebuffer);
    if (multisampleMode == MULTISAMPLE_TEXTURE) {
      glGenTextures(1, &objects->multisampleTexture);
    } else {
      glGenRenderbuffers(1, &objects->multisampleRenderbuffer);
    }
  }
  if (NoOpenGLErrorPending(__LINE__, "CreateFrameBufferObjects() - Failed to create frame buffer objects.")) return true;
  DestroyFrameBufferObjects(objects);
  return false;
}

bool AttachFBOForRenderingPreparation(FrameBufferObjects* objects, int32_t width, int32_t height, bool multisampled) {
  if (objects->mainFramebuffer == 0) return AbandonAttachment(objects);
  bool allocated = objects->width > 0 && objects->height > 0;
  if (!allocated || width > objects->width || height > objects->height) {
    GLsizei storageWidth = std::max(width, objects->width), storageHeight = std::max(height, objects->height);
    if (!AllocateStorage(objects, storageWidth, storageHeight)) return AbandonAttachment(objects);
    objects->width = storageWidth;
    objects->height = storageHeight;
  }
  objects->drawingMultisampled = multisampled && objects->multisampleFramebuffer != 0;
  glBindFramebuffer(GL_FRAMEBUFFER, objects->drawingMultisampled ? DrawingFramebuffer(*objects) : objects->mainFramebuffer);
  GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    ReportIncomplete(__LINE__, "Frame Buffer Object was incomplete. Status = 0x%X", status);
    return AbandonAttachment(objects);
  }
  objects->attached = true;
  return true;
}

bool ResolveFBO(FrameBufferObjects* objects) {
  if (!objects->attached) {
    return ReportTextureSetFailure(__LINE__, "ResolveFBO() - The frame buffer objects are not attached.");
  }
  if (objects->drawingMultisampled) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, objects->multisampleFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, objects->mainFramebuffer);
    // The blit obeys the scissor; the whole frame must be resolved.
    glPushAttrib(GL_SCISSOR_BIT);
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(0, 0, objects->width, objects->height, 0, 0, objects->width, objects->height, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    glPopAttrib();
    if (!NoOpenGLErrorPending(__LINE__, "Failed during resolution of multisampled texture using glBlitFramebuffer().")) {
      return false;
    }
  }
  glBindFramebuffer(GL_FRAMEBUFFER, objects->mainFramebuffer);
  return NoOpenGLErrorPending(__LINE__, "Failed during binding of main FBO to GL_FRAMEBUFFER using glBindFramebuffer().");
}

void ReleaseFBOForRendering(FrameBufferObjects* objects) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  objects->attached = false;
}

void DestroyFrameBufferObjects(FrameBufferObjects* objects) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (objects->mainFramebuffer != 0) glDeleteFramebuffers(1, &objects->mainFramebuffer);
  if (objects->multisampleFramebuffer != 0) glDeleteFramebuffers(1, &objects->multisampleFramebuffer);
  if (objects->mainRenderbuffer != 0) glDeleteRenderbuffers(1, &objects->mainRenderbuffer);
  if (objects->multisampleRenderbuffer != 0) glDeleteRenderbuffers(1, &objects->multisampleRenderbuffer);
  if (objects->multisampleTexture != 0) glDeleteTextures(1, &objects->multisampleTexture);
  *objects = FrameBufferObjects{};
}
