// The registered program tables, the variant selected for each program name and the active
// program: registration, creation, activation, the gamma uniform and the release of it all.
#include "preview/ShaderPrograms.h"

#include <GL/glew.h>

#include <cstdlib>

#include "preview/ShaderObjectsARB.h"
#include "preview/ShaderObjectsGLSL.h"
#include "preview/ShaderReports.h"
#include "support/ErrorReport.h"

namespace {

struct RegisteredTable {
  ShaderProgram* variants;
  int count;
};

// Task thread only. The lists are plain blocks so that running short of memory is a report, not
// an exception on the preview task.
struct ShaderProgramRegistry {
  RegisteredTable* tables = nullptr;
  int tableCount = 0;
  ShaderProgram** selected = nullptr;  // indexed by program name
  int selectedCount = 0;
  ShaderProgram* active = nullptr;
};
ShaderProgramRegistry gRegistry;

ShaderProgram* SelectedVariant(int name) {
  if (name < 0 || name >= gRegistry.selectedCount) return nullptr;
  return gRegistry.selected[name];
}

bool IsRegistered(const ShaderProgram* table) {
  for (int i = 0; i < gRegistry.tableCount; ++i) {
    if (gRegistry.tables[i].variants == table) return true;
  }
  return false;
}

bool AppendTable(ShaderProgram* table, int count) {
  if (IsRegistered(table)) return true;
  void* grown = realloc(gRegistry.tables, sizeof(RegisteredTable) * size_t(gRegistry.tableCount + 1));
  if (grown == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "AddShaderProgram() - Failed to create a new available program list.");
    return false;
  }
  gRegistry.tables = static_cast<RegisteredTable*>(grown);
  gRegistry.tables[gRegistry.tableCount++] = RegisteredTable{table, count};
  return true;
}

bool GrowSelectedList(int entries) {
  if (entries <= gRegistry.selectedCount) return true;
  void* grown = realloc(gRegistry.selected, sizeof(ShaderProgram*) * size_t(entries));
  if (grown == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "AddShaderProgram() - Failed to create a new selected version list.");
    return false;
  }
  gRegistry.selected = static_cast<ShaderProgram**>(grown);
  for (int i = gRegistry.selectedCount; i < entries; ++i) gRegistry.selected[i] = nullptr;
  gRegistry.selectedCount = entries;
  return true;
}

// Names index the selected list, so a negative one makes the table invalid (-1).
int HighestName(const ShaderProgram* table, int count) {
  int highest = 0;
  for (int i = 0; i < count; ++i) {
    if (table[i].name < 0) return -1;
    if (table[i].name > highest) highest = table[i].name;
  }
  return highest;
}

bool HasStage(ShaderSourceList* const lists[2]) { return lists[0] != nullptr || lists[1] != nullptr; }

bool VariantFitsDriver(const ShaderProgram& variant, const ShaderSupport& support) {
  if (variant.extensionType != support.type) return false;
  if (!ShadingLanguageVersionInRange(support.version, variant.minimumVersion, variant.maximumVersion)) return false;
  if (HasStage(variant.vertexLists) && (support.flags & kVertexShaderSupport) == 0) return false;
  return !HasStage(variant.fragmentLists) || (support.flags & kFragmentShaderSupport) != 0;
}

bool HoldsObjects(const ShaderProgram& variant) {
  if (variant.created != 0 || variant.glslProgram != 0 || variant.arbProgram != 0) return true;
  for (const ShaderSourceList* list : variant.vertexLists) {
    if (list != nullptr && list->shader != 0) return true;
  }
  for (const ShaderSourceList* list : variant.fragmentLists) {
    if (list != nullptr && list->shader != 0) return true;
  }
  return false;
}

void ReportUnknownBindType(int type) {
  ErrorReport(__LINE__, DebugMessage)
      .Report(kStyleError, kTitleUnexpectedError, "UnBindActiveShaderProgram() - Shader extension type %d is not recognized.", type);
}

}  // namespace

// A table registered again (a second preview start without release) is not listed twice, and
// its program chooses its variant afresh.
bool AddShaderProgram(ShaderProgram* table, int count) {
  int highestName = table != nullptr && count > 0 ? HighestName(table, count) : -1;
  if (highestName < 0) {
    ErrorReport(__LINE__, DebugMessage).Report(kStyleError, kTitleUnexpectedError, "AddShaderProgram() - Invalid program table.");
    return false;
  }
  if (!AppendTable(table, count)) return false;
  for (int i = 0; i < count; ++i) table[i].variantIndex = i + 1;
  if (!GrowSelectedList(highestName + 1)) return false;
  for (int i = 0; i < count; ++i) gRegistry.selected[table[i].name] = nullptr;
  const ShaderSupport& support = DetectedShaderSupport();
  if (support.type == SHADER_TYPE_NONE) return false;
  for (int i = 0; i < count; ++i) {
    if (VariantFitsDriver(table[i], support)) {
      gRegistry.selected[table[i].name] = &table[i];
      return true;
    }
  }
  return false;
}

const ShaderProgram* SelectedShaderProgram(int name) { return SelectedVariant(name); }

bool IsShaderProgramCreated(int name) {
  const ShaderProgram* variant = SelectedVariant(name);
  return variant != nullptr && variant->created != 0;
}

bool CreateShaderProgram(int name) {
  ShaderProgram* variant = SelectedVariant(name);
  if (variant == nullptr) return false;
  if (variant->created != 0) return true;
  bool created = false;
  switch (variant->extensionType) {
    case SHADER_TYPE_GLSL: created = CreateShaderProgramGLSL(variant); break;
    case SHADER_TYPE_ARB: created = CreateShaderProgramARB(variant); break;
    default:
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "CreateShaderProgram() - Extension type %d is not recognized.",
                  variant->extensionType);
      return false;
  }
  if (OpenGLStepFailed(__LINE__, "CreateShaderProgram() - Failed to create shader program %d.", name)) {
    if (created) DestroyShaderProgram(variant);
    return false;
  }
  variant->created = created ? 1 : 0;
  return created;
}

// Name 0 with nothing active touches no OpenGL state, so it is safe wherever the preview tidies up.
bool MakeShaderProgramActive(int name) {
  if (name == 0) {
    if (gRegistry.active == nullptr) return true;
    bool unbound = UnBindActiveShaderProgram();
    gRegistry.active = nullptr;
    return !OpenGLStepFailed(__LINE__, "MakeShaderProgramActive() - Failed to activate shader program %d.", name) && unbound;
  }
  ShaderProgram* variant = SelectedVariant(name);
  if (variant == nullptr) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "MakeShaderProgramActive() - Shader Program Name %d is not recognized.", name);
    return false;
  }
  if (variant->created == 0) return false;
  gRegistry.active = variant;
  bool bound = BindActiveShaderProgram();
  if (!bound) gRegistry.active = nullptr;
  return !OpenGLStepFailed(__LINE__, "MakeShaderProgramActive() - Failed to activate shader program %d.", name) && bound;
}

// An unknown type binds nothing and says so (the text is the one the system has always written).
bool BindActiveShaderProgram() {
  const ShaderProgram* variant = gRegistry.active;
  if (variant == nullptr) return false;
  switch (variant->extensionType) {
    case SHADER_TYPE_NONE:
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "BindActiveShaderProgram() - No shader support is available.");
      return false;
    case SHADER_TYPE_GLSL:
      glUseProgram(variant->glslProgram);
      if (OpenGLStepFailed(__LINE__, "BindActiveShaderProgram() - Could not enable GLSL shader program %d.", variant->name)) {
        return false;
      }
      break;
    case SHADER_TYPE_ARB:
      glUseProgramObjectARB(variant->arbProgram);
      if (OpenGLStepFailed(__LINE__, "BindActiveShaderProgram() - Could not enable ARB shader program %d.", variant->name)) {
        return false;
      }
      break;
    default:
      ReportUnknownBindType(variant->extensionType);
      return false;
  }
  return !OpenGLStepFailed(__LINE__, "BindActiveShaderProgram() - Failed to enable active shader program.");
}

// The path is the active program's; with none active, the driver's.
bool UnBindActiveShaderProgram() {
  int type = gRegistry.active != nullptr ? gRegistry.active->extensionType : DetectedShaderSupport().type;
  switch (type) {
    case SHADER_TYPE_NONE:
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "UnBindActiveShaderProgram() - No shader support is available.");
      return false;
    case SHADER_TYPE_GLSL:
      glUseProgram(0);
      return !OpenGLStepFailed(__LINE__, "BindActiveShaderProgram() - Could not disable active GLSL shader program.");
    case SHADER_TYPE_ARB:
      glUseProgramObjectARB(0);
      return !OpenGLStepFailed(__LINE__, "BindActiveShaderProgram() - Could not unbind active ARB shader program.");
    default:
      ReportUnknownBindType(type);
      return false;
  }
}

// Uniforms are set on the program in use, so the gamma program must be the active one.
bool SetProxyShaderGamma(double exponent) {
  const ShaderProgram* gamma = SelectedVariant(kGammaShaderProgram);
  if (gamma == nullptr || gRegistry.active != gamma) return false;
  GLfloat g = GLfloat(exponent);
  GLint location = -1;
  switch (gamma->extensionType) {
    case SHADER_TYPE_NONE:
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "SetProxyShaderGamma() - An invalid shader extension type was found.");
      return false;
    case SHADER_TYPE_GLSL:
      location = glGetUniformLocation(gamma->glslProgram, "GammaCorrection");
      if (location != -1) glUniform4f(location, g, g, g, 1.0f);
      break;
    case SHADER_TYPE_ARB:
      location = glGetUniformLocationARB(gamma->arbProgram, "GammaCorrection");
      if (location != -1) glUniform4fARB(location, g, g, g, 1.0f);
      break;
    default:
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "SetProxyShaderGamma() - Shader extension type %d is not recognized.",
                  gamma->extensionType);
      return false;
  }
  if (location == -1) {
    ErrorReport(__LINE__, DebugMessage)
        .Report(kStyleError, kTitleUnexpectedError, "SetProxyShaderGamma() - An invalid variable name was specified.");
  }
  return !OpenGLStepFailed(__LINE__, "SetProxyShaderGamma() - Failed to set Gamma Correction value.") && location != -1;
}

bool LoadProxyShaderGamma(double exponent) {
  if (!IsShaderProgramCreated(kGammaShaderProgram)) return false;
  const ShaderProgram* previous = gRegistry.active;
  if (previous != SelectedVariant(kGammaShaderProgram) && !MakeShaderProgramActive(kGammaShaderProgram)) return false;
  bool loaded = SetProxyShaderGamma(exponent);
  bool restored = MakeShaderProgramActive(previous != nullptr ? previous->name : 0);
  return loaded && restored;
}

bool DestroyShaderProgram(ShaderProgram* variant) {
  if (variant == nullptr) return false;
  bool destroyed = false;
  switch (variant->extensionType) {
    case SHADER_TYPE_NONE:
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError,
                  "DestroyShaderProgram() - Extension type SHADER_TYPE_NONE is not valid for this function.");
      return false;
    case SHADER_TYPE_GLSL: destroyed = DestroyShaderObjectsGLSL(variant); break;
    case SHADER_TYPE_ARB: destroyed = DestroyShaderObjectsARB(variant); break;
    default:
      ErrorReport(__LINE__, DebugMessage)
          .Report(kStyleError, kTitleUnexpectedError, "DestroyShaderProgram() - Extension type %d is not recognized.",
                  variant->extensionType);
      return false;
  }
  if (gRegistry.active == variant) gRegistry.active = nullptr;
  return !OpenGLStepFailed(__LINE__, "DestroyShaderProgram() - Failed to destroy shader program.") && destroyed;
}

// Only variants that hold objects are destroyed: the others may belong to a path whose entry
// points this driver does not have.
void DestroyShaderPrograms() {
  for (int t = 0; t < gRegistry.tableCount; ++t) {
    RegisteredTable& table = gRegistry.tables[t];
    for (int i = 0; i < table.count; ++i) {
      if (HoldsObjects(table.variants[i])) DestroyShaderProgram(&table.variants[i]);
    }
  }
  free(gRegistry.tables);
  free(gRegistry.selected);
  gRegistry = ShaderProgramRegistry{};
}
