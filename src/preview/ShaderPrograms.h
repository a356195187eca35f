// The preview's fragment programs: the gamma program that turns the linear composite into display
// values and the shape-scaling program of the 16-bit effect textures, each in a GLSL and an ARB
// variant, chosen by what the driver offers and activated by a small integer name.
#pragma once
#include <GL/glew.h>

#include "preview/ShaderRecords.h"
#include "preview/ShaderSupport.h"

bool AddShaderProgram(ShaderProgram* table, int count);
// Registers the gamma program's and the shape-scaling program's tables, in that order.
bool RegisterBuiltInShaderPrograms();
bool CreateShaderProgram(int name);
bool IsShaderProgramCreated(int name);
// The variant selected for a name, or null.
const ShaderProgram* SelectedShaderProgram(int name);
// 0 deactivates.
bool MakeShaderProgramActive(int name);
bool BindActiveShaderProgram();
bool UnBindActiveShaderProgram();
// "GammaCorrection" of the gamma program, which must be active: (g, g, g, 1).
bool SetProxyShaderGamma(double exponent);
// The gamma exponent loaded into the created gamma program whatever is active: the gamma program
// is activated for it and the program active before is restored. False without the program.
bool LoadProxyShaderGamma(double exponent);
bool DestroyShaderProgram(ShaderProgram* variant);
void DestroyShaderPrograms();
