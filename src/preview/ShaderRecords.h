// The records of the shader programs: the driver's shading support, one stage's sources and
// shader object, and one variant of a program with its OpenGL objects.
#pragma once
#include <GL/glew.h>

enum ShaderExtensionType { SHADER_TYPE_NONE = 0, SHADER_TYPE_GLSL = 1, SHADER_TYPE_ARB = 2 };

constexpr int kGammaShaderProgram = 1;
constexpr int kShapeScalingShaderProgram = 3;

constexpr int kVertexShaderSupport = 1;
constexpr int kFragmentShaderSupport = 2;

struct ShaderSupport {
  int type = SHADER_TYPE_NONE;
  int flags = 0;
  int version[3] = {-1, -1, -1};  // major, minor, patch; -1 unknown
};

// One stage of a variant: its sources and, once created, the shader object.
struct ShaderSourceList {
  GLenum shaderType = 0;  // GL_VERTEX_SHADER or GL_FRAGMENT_SHADER (the ARB values are the same)
  const char* const* sources = nullptr;
  int sourceCount = 0;
  GLuint shader = 0;
};

struct ShaderProgram {
  int name = 0;
  int extensionType = SHADER_TYPE_NONE;
  int minimumVersion[3] = {-1, -1, -1};
  int maximumVersion[3] = {-1, -1, -1};
  ShaderSourceList* vertexLists[2] = {};
  ShaderSourceList* fragmentLists[2] = {};
  GLuint glslProgram = 0;
  GLhandleARB arbProgram = 0;
  int created = 0;
  int variantIndex = 0;  // 1-based within its table, set at registration
};
