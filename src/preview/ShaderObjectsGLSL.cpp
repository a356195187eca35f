// The GLSL path of the shader programs: OpenGL 2.0's program and shader objects made from a
// variant's source lists, linked, and released. Every step is judged by the OpenGL error after it.
#include <GL/glew.h>

#include <string>

#include "preview/ShaderObjectsGLSL.h"
#include "preview/ShaderReports.h"
#include "support/ErrorReport.h"

namespace {

std::string ShaderInfoLog(GLuint shader) {
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  std::string log(size_t(length > 0 ? length : 0) + 1, '\0');
  glGetShaderInfoLog(shader, GLsizei(log.size()), nullptr, &log[0]);
  log.resize(log.find('\0'));
  return log;
}

std::string ProgramInfoLog(GLuint program) {
  GLint length = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
  std::string log(size_t(length > 0 ? length : 0) + 1, '\0');
  glGetProgramInfoLog(program, GLsizei(log.size()), nullptr, &log[0]);
  log.resize(log.find('\0'));
  return log;
}

// The compile failure with the compiler's log, which says what in the source it refused.
void ReportCompileLog(GLuint shader, const char* stage) {
  std::string log = ShaderInfoLog(shader);
  if (OpenGLStepFailed(__LINE__, "CreateShaderGLSL() - Failed to get %s compilation log for shader ID %d.", stage,
                       int(shader))) {
    return;
  }
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError, "CreateShaderGLSL() - %s failed to compile. Shader ID = %u.\nShader compilation Log: %s",
              stage, shader, log.c_str());
}

bool CompileShader(GLuint shader, const ShaderSourceList& list, const char* stage) {
  glShaderSource(shader, list.sourceCount, list.sources, nullptr);
  if (OpenGLStepFailed(__LINE__, "CreateShaderGLSL() - Failed to load %s source for shader ID %d.", stage, int(shader))) {
    return false;
  }
  glCompileShader(shader);
  if (OpenGLStepFailed(__LINE__, "CreateShaderGLSL() - Failed to compile %s source for shader ID %d.", stage, int(shader))) {
    return false;
  }
  GLint compiled = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (OpenGLStepFailed(__LINE__, "CreateShaderGLSL() - Could not get %s compilation status for shader ID %d.", stage,
                       int(shader))) {
    return false;
  }
  if (compiled != GL_FALSE) return true;
  ReportCompileLog(shader, stage);
  return false;
}

// A stage's shader created and attached; a shader that cannot be attached is deleted at once, so
// that every shader a variant keeps is attached to its program.
bool AttachStage(ShaderProgram* variant, ShaderSourceList* list, bool vertex) {
  if (list == nullptr) return true;
  if (!CreateShaderGLSL(list)) return false;
  glAttachShader(variant->glslProgram, list->shader);
  bool failed = vertex ? OpenGLStepFailed(__LINE__, "CreateShaderProgramGLSL() failed to attach vertex shader %d to shader program %d",
                                          int(list->shader), variant->name)
                       : OpenGLStepFailed(__LINE__, "CreateShaderProgramGLSL() failed to attach fragment shader %d to shader program %d",
                                          int(list->shader), variant->name);
  if (!failed) return true;
  glDeleteShader(list->shader);
  list->shader = 0;
  return false;
}

bool AttachStages(ShaderProgram* variant) {
  for (ShaderSourceList* list : variant->vertexLists) {
    if (!AttachStage(variant, list, true)) return false;
  }
  for (ShaderSourceList* list : variant->fragmentLists) {
    if (!AttachStage(variant, list, false)) return false;
  }
  return true;
}

bool LinkProgram(ShaderProgram* variant) {
  GLuint program = variant->glslProgram;
  glLinkProgram(program);
  if (OpenGLStepFailed(__LINE__, "CreateShaderProgramGLSL() failed to link shader program %d", variant->name)) return false;
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (OpenGLStepFailed(__LINE__, "CreateShaderProgramGLSL() Could not obtain link status for shader program %d", variant->name)) {
    return false;
  }
  if (linked != GL_FALSE) return true;
  std::string log = ProgramInfoLog(program);
  glGetError();  // a log that cannot be read leaves the report without it, nothing more
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError,
              "CreateShaderProgramGLSL() - GLSL Shader Program %d, version %d failed to link. Program ID = %u.\nProgram link log: %s",
              variant->name, variant->variantIndex, program, log.c_str());
  return false;
}

}  // namespace

bool CreateShaderGLSL(ShaderSourceList* list) {
  const char* stage = ShaderStageName(list->shaderType);
  GLuint shader = glCreateShader(list->shaderType);
  if (OpenGLStepFailed(__LINE__, "CreateShaderGLSL() - Failed to create %s program object.", stage)) return false;
  if (shader == 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "CreateShaderGLSL() - Failed to create %s program object.", stage);
    return false;
  }
  if (!CompileShader(shader, *list, stage)) {
    glDeleteShader(shader);
    return false;
  }
  list->shader = shader;
  return true;
}

// A variant that fails at any step keeps no objects: the driver's program and shaders would
// otherwise stay until the context goes.
bool CreateShaderProgramGLSL(ShaderProgram* variant) {
  GLuint program = glCreateProgram();
  if (OpenGLStepFailed(__LINE__, "CreateShaderProgramGLSL() failed to create shader program %d", variant->name)) {
    if (program != 0) glDeleteProgram(program);
    return false;
  }
  if (program == 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "CreateShaderProgramGLSL() failed to create shader program %d", variant->name);
    return false;
  }
  variant->glslProgram = program;
  if (AttachStages(variant) && LinkProgram(variant)) return true;
  DestroyShaderObjectsGLSL(variant);
  return false;
}

bool DestroyShaderListGLSL(ShaderSourceList* list, GLuint program) {
  if (list == nullptr || list->shader == 0) return true;
  if (program != 0) glDetachShader(program, list->shader);
  glDeleteShader(list->shader);
  list->shader = 0;
  return !OpenGLStepFailed(__LINE__, "DestroyShaderListGLSL() - Failed to destroy GLSL shader list.");
}

// The shaders are detached before the program goes: a deleted program's name is no longer one to
// detach from.
bool DestroyShaderObjectsGLSL(ShaderProgram* variant) {
  GLuint program = variant->glslProgram;
  if (program != 0) {
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    if (GLuint(current) == program) glUseProgram(0);
  }
  bool destroyed = true;
  for (ShaderSourceList* list : variant->vertexLists) destroyed = DestroyShaderListGLSL(list, program) && destroyed;
  for (ShaderSourceList* list : variant->fragmentLists) destroyed = DestroyShaderListGLSL(list, program) && destroyed;
  if (program != 0) glDeleteProgram(program);
  variant->glslProgram = 0;
  variant->created = 0;
  return destroyed;
}
