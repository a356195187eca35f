// Which shading path the preview's driver offers, which shading-language version it speaks, and
// whether the shape-scaling program is wanted.
#pragma once
#include <GL/glew.h>

#include "preview/OpenGLSettings.h"
#include "preview/ShaderRecords.h"

// On the preview task with its context current; reads the drawing setting and acceleration.
void DetectShaderSupport();
const ShaderSupport& DetectedShaderSupport();
// Tests pretend a driver: the support as detection would have left it.
void SetDetectedShaderSupport(const ShaderSupport& support);
bool GetSupportedGLSLVersion();
// The leading "major.minor[.patch]" of a GL_SHADING_LANGUAGE_VERSION string; 1.51 reads as 1.0.
bool ParseShadingLanguageVersion(const char* text, int version[3]);
// Inside [minimum, maximum], a -1 component of a bound matching anything from there on.
bool ShadingLanguageVersionInRange(const int version[3], const int minimum[3], const int maximum[3]);

// The shape-scaling program is wanted only where the effect textures use the 16-bit format:
// accelerated, setting 1 or 2, a 16-bit format other than the 8-bit one, and float textures
// (GL 3.0 or GL_ARB_texture_float). Reads the drawing settings and the current context's GLEW.
bool ShouldCreateShapeScalingProgram();

// The decisions, free of OpenGL calls.
// The candidate path: SHADER_TYPE_NONE for setting 3 or 4 or a software format, else GLSL with
// GL 2.0, else ARB with GL 1.5 and all four ARB shader extensions, else none.
int ChooseShaderExtensionType(int setting, bool accelerated, bool openGL20, bool openGL15, bool arbShaderExtensions);
// The version from the GL_SHADING_LANGUAGE_VERSION text and the OpenGL error raised reading it;
// reports what it refuses.
bool InterpretShadingLanguageVersion(const char* text, GLenum readError, bool arbShadingLanguage100, bool openGL20,
                                     int version[3]);
bool ShapeScalingProgramWanted(bool accelerated, int setting, const TextureFormat& format8,
                               const TextureFormat& format16, bool floatTextures);
