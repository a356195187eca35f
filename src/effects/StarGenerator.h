// The two effect-shape generators: the star (primary spikes of the style, the secondary
// mini-spikes, the rainbow) and the round soft flare. Each reads its shape's ParameterSet snapshot.
#pragma once
#include "params/ParameterSet.h"
#include "shapes/Shape.h"

// One spike of a star's layout: its angle (tenths of a degree, not yet wrapped) and strength (a
// 32-bit fraction, kept as a double as the styles compute it).
struct StarSpike {
  int64_t angle;
  double strength;
};
constexpr int kMaximumStarSpikes = 4 * 512 + 8;

// The spikes a star of the parameters draws: the style's primary spikes, and the 42 secondary
// mini-spikes. The preview draws each as one textured quad of a single rasterised spike.
int PrimaryStarSpikes(const ParameterSet& parameters, StarSpike* out);
int SecondaryStarSpikes(const ParameterSet& parameters, StarSpike* out);

bool GenerateStarSubShape(Shape* shape, int phaseX, int phaseY);
bool GenerateSoftFlareSubShape(Shape* shape, int phaseX, int phaseY);
// The same in the compact form of the final render: the entries each row of the generators above
// holds, in their order, coloured from CompactStarColours() or white.
bool GenerateCompactStarSubShape(Shape* shape, int phaseX, int phaseY);
bool GenerateCompactSoftFlareSubShape(Shape* shape, int phaseX, int phaseY);
// The colour table of compact stars (FillStarColourTable) for the parameters in the render mode
// entered; SetEffectShapeParameters fills it before any phase is generated.
void PrepareCompactStarColours(const ParameterSet& parameters);
const float* CompactStarColours();
