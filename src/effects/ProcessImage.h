// The final render: the stars and soft flares of every visible light source painted into the
// host's image at full resolution, band by band on the workers, and handed back to the host.
#pragma once
#include <cstdint>

#include "core/ImageRecord.h"
#include "params/ParameterSet.h"

// Waits for the analysis, renders and writes the host image back on success; the run's result.
int16_t ProcessImage();

// Pieces of the render, exposed for tests.
bool GenerateFinalEffectShapes(int phaseX, int phaseY);
// Paints every visible effect of the band into the tile (which covers the band).
bool CreateEffectTile(ImageRecord* tile, const ImageRect& band, const ParameterSet& parameters);
// The render's abort flag: painters stop at their next check once it is raised.
extern volatile bool gRenderAborted;
