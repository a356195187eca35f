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
  // In the final render's compact form unless the render is told otherwise.
  if (!InitializeShape(&shapes.star, GenerateCompactStarSubShape, &shapes.starParameters, false) ||
      !InitializeShape(&shapes.softFlare, GenerateCompactSoftFlareSubShape, &shapes.softFlareParameters, true)) {
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
  PrepareCompactStarColours(parameters);
}

// The shapes first: what they free goes to the pools, which are emptied after.
void ReleaseEffectShapes() {
  EffectShapes& shapes = gEffectShapes;
  if (shapes.initialized) {
    DestroyShape(&shapes.star);
    DestroyShape(&shapes.softFlare);
    shapes.initialized = false;
  }
  ReleaseRenderBuffers();
}
