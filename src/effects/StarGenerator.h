// The two effect-shape generators: the star (primary spikes of the style, the secondary
// mini-spikes, the rainbow) and the round soft flare. Each reads its shape's ParameterSet snapshot.
#pragma once
#include "effects/Shape.h"

bool GenerateStarSubShape(Shape* shape, int phaseX, int phaseY);
bool GenerateSoftFlareSubShape(Shape* shape, int phaseX, int phaseY);
