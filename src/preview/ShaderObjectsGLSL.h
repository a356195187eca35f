// The OpenGL objects of a shader program variant made and released through OpenGL 2.0's GLSL
// entry points.
#pragma once
#include <GL/glew.h>

#include "preview/ShaderRecords.h"

// On failure the variant keeps no objects.
bool CreateShaderProgramGLSL(ShaderProgram* variant);
// One stage's shader object, compiled; on failure none is kept.
bool CreateShaderGLSL(ShaderSourceList* list);
// Detaches a list's shader from the program (when there is one) and deletes it.
bool DestroyShaderListGLSL(ShaderSourceList* list, GLuint program);
// The program and its shaders, the program first taken out of use if it is current.
bool DestroyShaderObjectsGLSL(ShaderProgram* variant);
