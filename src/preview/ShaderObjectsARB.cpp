// The ARB path of the shader programs: GL_ARB_shader_objects program and shader objects for
// drivers older than OpenGL 2.0. Every step is judged by the OpenGL error after it.
#include <GL/glew.h>

#include <string>

#include "preview/ShaderObjectsARB.h"
#include "preview/ShaderReports.h"
#include "support/ErrorReport.h"

namespace {

// The ARB path has one info log call for shaders and programs alike.
std::string ObjectInfoLog(GLhandleARB object) {
  GLint length = 0;
  glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
  std::string log(size_t(length > 0 ? length : 0) + 1, '\0');
  glGetInfoLogARB(object, GLsizei(log.size()), nullptr, &log[0]);
  log.resize(log.find('\0'));
  return log;
}

void ReportCompileLog(GLhandleARB shader, const char* stage) {
  std::string log = ObjectInfoLog(shader);
  if (OpenGLStepFailed(__LINE__, "CreateShaderARB() - Failed to get %s compilation log for shader ID %d.", stage,
                       int(shader))) {
    return;
  }
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError, "CreateShaderARB() - %s failed to compile. Shader ID = %u.\nShader compilation Log: %s",
              stage, shader, log.c_str());
}

bool CompileShader(GLhandleARB shader, const ShaderSourceList& list, const char* stage) {
  // The ARB prototype predates const-correct string arrays; the sources are only read.
  glShaderSourceARB(shader, list.sourceCount, const_cast<const GLcharARB**>(list.sources), nullptr);
  if (OpenGLStepFailed(__LINE__, "CreateShaderARB() - Failed to load %s source for shader ID %d.", stage, int(shader))) {
    return false;
  }
  glCompileShaderARB(shader);
  if (OpenGLStepFailed(__LINE__, "CreateShaderARB() - Failed to compile %s source for shader ID %d.", stage, int(shader))) {
    return false;
  }
  GLint compiled = GL_FALSE;
  glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
  if (OpenGLStepFailed(__LINE__, "CreateShaderARB() - Could not get %s compilation status for shader ID %d.", stage,
                       int(shader))) {
    return false;
  }
  if (compiled != GL_FALSE) return true;
  ReportCompileLog(shader, stage);
  return false;
}

// A shader that cannot be attached is deleted at once, so that every shader a variant keeps is
// attached to its program.
bool AttachStage(ShaderProgram* variant, ShaderSourceList* list, bool vertex) {
  if (list == nullptr) return true;
  if (!CreateShaderARB(list)) return false;
  glAttachObjectARB(variant->arbProgram, list->shader);
  bool failed = vertex ? OpenGLStepFailed(__LINE__, "CreateShaderProgramARB() failed to attach vertex shader %d to shader program %d",
                                          int(list->shader), variant->name)
                       : OpenGLStepFailed(__LINE__, "CreateShaderProgramARB() failed to attach fragment shader %d to shader program %d",
                                          int(list->shader), variant->name);
  if (!failed) return true;
  glDeleteObjectARB(list->shader);
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
  GLhandleARB program = variant->arbProgram;
  glLinkProgramARB(program);
  if (OpenGLStepFailed(__LINE__, "CreateShaderProgramARB() failed to link shader program %d", variant->name)) return false;
  GLint linked = GL_FALSE;
  glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
  if (OpenGLStepFailed(__LINE__, "CreateShaderProgramARB() Could not obtain link status for shader program %d", variant->name)) {
    return false;
  }
  if (linked != GL_FALSE) return true;
  std::string log = ObjectInfoLog(program);
  glGetError();  // a log that cannot be read leaves the report without it, nothing more
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError,
              "CreateShaderProgramARB() - EXT Shader Program %d, version %d failed to link. Program Handle = %u.\nProgram link log: %s",
              variant->name, variant->variantIndex, program, log.c_str());
  return false;
}

}  // namespace

bool CreateShaderARB(ShaderSourceList* list) {
  const char* stage = ShaderStageName(list->shaderType);
  GLhandleARB shader = glCreateShaderObjectARB(list->shaderType);
  if (OpenGLStepFailed(__LINE__, "CreateShaderARB() - Failed to create %s program object.", stage)) return false;
  if (shader == 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "CreateShaderARB() - Failed to create %s program object.", stage);
    return false;
  }
  if (!CompileShader(shader, *list, stage)) {
    glDeleteObjectARB(shader);
    return false;
  }
  list->shader = shader;
  return true;
}

// A variant that fails at any step keeps no objects.
bool CreateShaderProgramARB(ShaderProgram* variant) {
  GLhandleARB program = glCreateProgramObjectARB();
  if (OpenGLStepFailed(__LINE__, "CreateShaderProgramARB() failed to create shader program %d", variant->name)) {
    if (program != 0) glDeleteObjectARB(program);
    return false;
  }
  if (program == 0) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "CreateShaderProgramARB() failed to create shader program %d", variant->name);
    return false;
  }
  variant->arbProgram = program;
  if (AttachStages(variant) && LinkProgram(variant)) return true;
  DestroyShaderObjectsARB(variant);
  return false;
}

bool DestroyShaderListARB(ShaderSourceList* list, GLhandleARB program) {
  if (list == nullptr || list->shader == 0) return true;
  if (program != 0) glDetachObjectARB(program, list->shader);
  glDeleteObjectARB(list->shader);
  list->shader = 0;
  return !OpenGLStepFailed(__LINE__, "DestroyShaderListARB() - Failed to destroy EXT shader list.");
}

// The shaders are detached before the program goes: a deleted program's handle is no longer one
// to detach from.
bool DestroyShaderObjectsARB(ShaderProgram* variant) {
  GLhandleARB program = variant->arbProgram;
  if (program != 0 && glGetHandleARB(GL_PROGRAM_OBJECT_ARB) == program) glUseProgramObjectARB(0);
  bool destroyed = true;
  for (ShaderSourceList* list : variant->vertexLists) destroyed = DestroyShaderListARB(list, program) && destroyed;
  for (ShaderSourceList* list : variant->fragmentLists) destroyed = DestroyShaderListARB(list, program) && destroyed;
  if (program != 0) glDeleteObjectARB(program);
  variant->arbProgram = 0;
  variant->created = 0;
  return destroyed;
}
