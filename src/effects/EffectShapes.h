// The star and soft-flare shapes of a run, each with its own parameter snapshot.
#pragma once
#include "params/ParameterSet.h"
#include "shapes/Shape.h"

struct EffectShapes {
  Shape star;
  Shape softFlare;
  ParameterSet starParameters;
  ParameterSet softFlareParameters;
  bool initialized;
};
extern EffectShapes gEffectShapes;

// The effect tables without a preview window: the star tables, and both shapes with snapshots
// that no real parameter set equals. False (with the result set) when they could not be made.
bool InitializeEffectTables();
// Sets the parameters of both shapes; a change of parameters empties their SubShapes.
void SetEffectShapeParameters(const ParameterSet& parameters);
void ReleaseEffectShapes();
