// The final render: the stars and soft flares of every visible light source painted into the
// host's image at full resolution, band by band on the workers, and handed back to the host.
#pragma once
#include <cstdint>

#include "core/ImageRecord.h"
#include "params/ParameterSet.h"

// Waits for the analysis, renders and writes the host image back on success; the run's result.
int16_t ProcessImage();

// Seconds spent in each stage of the last render.
struct RenderTimes {
  double shapes, painting, writeBack;
};
RenderTimes GetRenderTimes();

// Pieces of the render, exposed for tests.
bool GenerateFinalEffectShapes(int phaseX, int phaseY);
struct EffectTile;
// Paints every visible effect of the tile's band into the tile.
bool CreateEffectTile(EffectTile* tile, const ParameterSet& parameters);
// The render's abort flag: painters stop at their next check once it is raised.
extern volatile bool gRenderAborted;
