// The OpenGL objects of a shader program variant made and released through the
// GL_ARB_shader_objects entry points, for drivers older than OpenGL 2.0.
#pragma once
#include <GL/glew.h>

#include "preview/ShaderRecords.h"

// On failure the variant keeps no objects.
bool CreateShaderProgramARB(ShaderProgram* variant);
// One stage's shader object, compiled; on failure none is kept.
bool CreateShaderARB(ShaderSourceList* list);
// Detaches a list's shader from the program (when there is one) and deletes it.
bool DestroyShaderListARB(ShaderSourceList* list, GLhandleARB program);
// The program and its shaders, the program first taken out of use if it is current.
bool DestroyShaderObjectsARB(ShaderProgram* variant);
