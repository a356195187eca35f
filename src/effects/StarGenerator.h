// The two effect-shape generators: the star (primary spikes of the style, the secondary
// mini-spikes, the rainbow) and the round soft flare. Each reads its shape's ParameterSet snapshot.
#pragma once
#include "shapes/Shape.h"

bool GenerateStarSubShape(Shape* shape, int phaseX, int phaseY);
bool GenerateSoftFlareSubShape(Shape* shape, int phaseX, int phaseY);

// Stars are drawn into scratch buffers: when a finished star's entries move on to a buffer of
// their own, its scratch is handed back here and the next star is drawn into memory that is
// already there, instead of fresh pages the system must clear. The final render frees them when
// its stars are made.
void ReturnStarScratch(BufferDescriptor* scratch);
void ReleaseStarScratch();
