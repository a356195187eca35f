// How the shader programs judge and report their OpenGL steps: the error after each step, and the
// stage names of the compile reports.
#pragma once
#include <GL/glew.h>

#include <cstdint>

// "Vertex Shader", "Fragment Shader" or "Unknown Shader Type".
const char* ShaderStageName(GLenum shaderType);

// True, after reporting the error with the text, when the OpenGL step just taken raised one.
bool OpenGLStepFailed(uint32_t line, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
