// The OpenGL objects behind a shader program variant, made and released through one of the two
// entry-point families: OpenGL 2.0's core GLSL calls or the GL_ARB_shader_objects calls.
#pragma once
#include <GL/glew.h>

#include <cstdint>

#include "preview/ShaderPrograms.h"

// "Vertex Shader", "Fragment Shader" or "Unknown Shader Type", as the compile reports name stages.
const char* ShaderStageName(GLenum shaderType);

// True, after reporting the error with the text, when the OpenGL step just taken raised one.
bool OpenGLStepFailed(uint32_t line, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));

// Each leaves the variant without objects when it fails.
bool CreateShaderProgramGLSL(ShaderProgram* variant);
bool CreateShaderProgramARB(ShaderProgram* variant);
// One stage's shader object, compiled; on failure none is kept.
bool CreateShaderGLSL(ShaderSourceList* list);
bool CreateShaderARB(ShaderSourceList* list);
// Detaches a list's shader from the program (when there is one) and deletes it.
bool DestroyShaderListGLSL(ShaderSourceList* list, GLuint program);
bool DestroyShaderListARB(ShaderSourceList* list, GLhandleARB program);
// The program and its shaders, the program first taken out of use if it is current.
bool DestroyShaderObjectsGLSL(ShaderProgram* variant);
bool DestroyShaderObjectsARB(ShaderProgram* variant);
