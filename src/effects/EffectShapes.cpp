#include "effects/EffectShapes.h"

#include <cstring>

#include "core/RunResult.h"
#include "effects/RenderBufferPool.h"
#include "effects/StarGenerator.h"
#include "effects/StarTables.h"

EffectShapes gEffectShapes;

namespace {

// Everything of a set that a generator reads.
bool SameEffect(const ParameterSet& a, const ParameterSet& b) {
  return memcmp(&a.intensity, &b.intensity, sizeof(ParameterSet) - offsetof(ParameterSet, intensity)) == 0;
}

}  // namespace

bool InitializeEffectTables() {
  ReleaseEffectShapes();
  InitializeStarTables();
  EffectShapes& shapes = gEffectShapes;
  memset(&shapes.starParameters, 0xFF, sizeof shapes.starParameters);
  memset(&shapes.softFlareParameters, 0xFF, sizeof shapes.softFlareParameters);
  if (!InitializeShape(&shapes.star, GenerateStarSubShape, &shapes.starParameters, false) ||
      !InitializeShape(&shapes.softFlare, GenerateSoftFlareSubShape, &shapes.softFlareParameters, true)) {
    SetRunResult(kOutOfMemory);
    return false;
  }
  shapes.initialized = true;
  return true;
}

void SetEffectShapeParameters(const ParameterSet& parameters) {
  EffectShapes& shapes = gEffectShapes;
  if (!SameEffect(shapes.starParameters, parameters)) ResetShape(&shapes.star);
  if (!SameEffect(shapes.softFlareParameters, parameters)) ResetShape(&shapes.softFlare);
  shapes.starParameters = parameters;
  shapes.softFlareParameters = parameters;
}

void ReleaseEffectShapes() {
  EffectShapes& shapes = gEffectShapes;
  ReleaseRenderBuffers();
  if (!shapes.initialized) return;
  DestroyShape(&shapes.star);
  DestroyShape(&shapes.softFlare);
  shapes.initialized = false;
}
