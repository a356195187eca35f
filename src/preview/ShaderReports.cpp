// How the shader programs judge and report their OpenGL steps: every step is judged by the
// OpenGL error after it, reported with the step's own text.
#include "preview/ShaderReports.h"

#include <cstdarg>
#include <cstdio>

#include "support/ErrorReport.h"

const char* ShaderStageName(GLenum shaderType) {
  if (shaderType == GL_VERTEX_SHADER || shaderType == GL_VERTEX_PROGRAM_ARB) return "Vertex Shader";
  if (shaderType == GL_FRAGMENT_SHADER || shaderType == GL_FRAGMENT_PROGRAM_ARB) return "Fragment Shader";
  return "Unknown Shader Type";
}

// The line is the caller's, so that the log names the step that failed.
bool OpenGLStepFailed(uint32_t line, const char* format, ...) {
  GLenum error = glGetError();
  if (error == GL_NO_ERROR) return false;
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  OpenGLErrorReport(line, OpenGLError, error).Report(kStyleError, kTitleUnexpectedError, "%s", text);
  return true;
}
