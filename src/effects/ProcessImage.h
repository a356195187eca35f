// The final render: the stars and soft flares of every visible light source painted into the
// host's image at full resolution, band by band on the workers; the caller hands it back to the host.
#pragma once
#include <cstdint>

#include "core/ImageRecord.h"
#include "params/ParameterSet.h"

// Waits for the analysis and renders into the host's image; the run's result.
int16_t ProcessImage(ImageRecord* hostImage);

// Seconds spent in each stage of the last render.
struct RenderTimes {
  double shapes, painting;
  int rounds;  // of phase generation and painting
};
RenderTimes GetRenderTimes();

// The phases are painted in rounds: each round generates as many phases as the working memory
// allows, paints their light sources into every band and frees them again.
struct PhaseRound {
  int8_t roundOf[4][4];  // the round that paints the light sources of a phase
  int index;
  bool last;  // also paints the light sources of phases no round has (none visible) and the soft flares
};

// Pieces of the render, exposed for tests.
bool GenerateFinalEffectShapes(int phaseX, int phaseY);
// Whether shapes are generated only as far as the light sources' offsets meet the image (the
// default); off, they span the whole reference size, the picture that the cut must keep.
void UseShapeReach(bool used);
// Whether the shapes are drawn in the compact form, straight into rows (the default); off, they
// are drawn as SubShapeEntry records and turned into the painters' form after, the picture
// that the compact form must keep.
void UseCompactShapes(bool used);
// The bytes of star entries within which all phases are generated in one round (0: the render's
// own budget); beyond it each round takes one phase per worker.
void LimitRoundShapeMemory(uint64_t bytes);
struct EffectTile;
struct FinishedRowsSink;
// Paints the visible effects of the round into the tile of a band; a tile that holds a window of
// the band's rows hands each finished window to the sink.
bool CreateEffectTile(EffectTile* tile, const ParameterSet& parameters, const PhaseRound& round,
                      const FinishedRowsSink* finishedRows);
// The render's abort flag: painters stop at their next check once it is raised.
extern volatile bool gRenderAborted;
