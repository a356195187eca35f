// Painting one band: the visible stars of a round's phases, and in the last round every visible
// soft flare over them, in table order, into a tile of linear light that starts black and lives
// through all rounds; the host image is touched only when the tile is screened onto it. The band
// is painted a row at a time, every effect that crosses the row in turn, so that the row stays in
// the cache: each pixel still receives the effects in the same order.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "analysis/LightSourceTable.h"
#include "analysis/TableOperations.h"
#include "core/Fractions.h"
#include "core/Progress.h"
#include "core/RunResult.h"
#include "effects/EffectInstance.h"
#include "effects/EffectShapes.h"
#include "effects/EffectTile.h"
#include "effects/ProcessImage.h"
#include "effects/StarTables.h"
#include "support/ErrorReport.h"

volatile bool gRenderAborted = false;

namespace {


// Progress from a painter; false once the user has cancelled.
bool Advance(uint64_t units) { return AdvanceImageEditorProgress(units) && RunResult() != kUserCanceled; }

bool Cancelled(const char* pass) {
  SetRunResult(kUserCanceled);
  ErrorReport(__LINE__, TraceMessage)
      .Report("AdvanceImageEditorProgress returned false in CreateEffectTile() when %s, *gResult set to %d.", pass, kUserCanceled);
  return false;
}

bool Stopped() { return gRenderAborted || RunResult() != 0; }

EffectColor EffectOf(const LightSource& entry, const ParameterSet& parameters, uint32_t alpha) {
  EffectColor colour = SaturatedEffectColor(entry.red, entry.green, entry.blue, parameters.colorSaturation, gEffectRenderMode.grayImage);
  colour.weight = alpha;
  return colour;
}

// Which light sources a band paints in a round.
struct RoundSelection {
  const PhaseRound* round;
  uint32_t threshold, minimum;
  bool stars, flares;
  double flareShare;  // of a light source's intensity, as a 32-bit fraction

  bool InRound(const LightSource& entry) const {
    int paintedIn = round->roundOf[ShapePositionOf(entry.x).phase][ShapePositionOf(entry.y).phase];
    return paintedIn == round->index || (round->last && paintedIn < 0);
  }
  bool PaintsStar(const LightSource& entry) const {
    return stars && InRound(entry) && IsLightSourceVisible(entry, threshold) && entry.intensity > minimum;
  }
  uint32_t FlareAlpha(const LightSource& entry) const { return uint32_t(std::llround(flareShare / kFraction * entry.intensity)); }
  bool PaintsFlare(const LightSource& entry) const {
    return flares && IsLightSourceVisible(entry, threshold) && FlareAlpha(entry) > minimum;
  }
};

RoundSelection SelectionOf(const ParameterSet& parameters, const PhaseRound& round) {
  double share = parameters.softFlareIntensity * 0.01;
  return RoundSelection{&round,
                        QuantityThreshold(gLightSourceTable, parameters.quantity),
                        gEffectRenderMode.visibilityMinimum,
                        parameters.length >= 1 && (parameters.intensity >= 1 || parameters.secondarySpikeIntensity >= 1),
                        round.last && parameters.length > 0 && parameters.softFlareIntensity > 0,
                        std::trunc(share * share * kFraction)};
}

// Places the round's stars, then its soft flares, each in table order (the order in which a
// pixel receives them), keeping those that reach the band; false when one could not be placed.
bool PlaceEffects(const EffectTile& tile, const RoundSelection& selection, const ParameterSet& parameters, TileEffect* effects,
                  uint64_t* count) {
  const LightSourceTable& table = gLightSourceTable;
  *count = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (uint64_t i = 0; i < table.count; ++i) {
      if (Stopped()) return false;
      const LightSource& entry = table.Entries()[i];
      bool covers = false;
      bool placed = pass == 0 ? !selection.PaintsStar(entry) ||
                                    PrepareTileEffect(tile, &gEffectShapes.star, EffectOf(entry, parameters, entry.intensity), entry.x,
                                                      entry.y, selection.minimum, &effects[*count], &covers)
                              : !selection.PaintsFlare(entry) ||
                                    PrepareTileEffect(tile, &gEffectShapes.softFlare, EffectOf(entry, parameters, selection.FlareAlpha(entry)),
                                                      entry.x, entry.y, selection.minimum, &effects[*count], &covers);
      if (!placed) return false;
      *count += covers ? 1 : 0;
    }
  }
  return true;
}

// Paints the placed effects a row at a time, hands each finished window on, and spreads the
// round's progress units over the rows.
bool PaintRows(EffectTile* tile, const TileEffect* effects, uint64_t count, const RoundSelection& selection, uint64_t starUnits,
               uint64_t flareUnits, const FinishedRowsSink* finishedRows) {
  const ImageRect& band = tile->band;
  const uint64_t rows = uint64_t(band.Height());
  const size_t windowBytes = size_t(band.Width()) * size_t(tile->windowRows) * 3 * sizeof(float);
  uint64_t starsDone = 0, flaresDone = 0;
  for (int64_t y = band.top; y < band.bottom; ++y) {
    if (Stopped()) return false;
    for (uint64_t e = 0; e < count; ++e) {
      if (effects[e].top <= y && y < effects[e].bottom) PaintTileEffectRow(tile, effects[e], y);
    }
    if (tile->Windowed() && y + 1 == tile->WindowBottom()) {
      if (finishedRows != nullptr) finishedRows->finished(*tile, finishedRows->context);
      tile->windowTop = y + 1;
      memset(tile->pixels.block, 0, windowBytes);
    }
    uint64_t rowsDone = uint64_t(y - band.top + 1);
    uint64_t starsDue = starUnits * rowsDone / rows, flaresDue = flareUnits * rowsDone / rows;
    if (starsDue > starsDone && !Advance(starsDue - starsDone)) {
      return Cancelled(selection.stars ? "rendering cockleburrs" : "not rendering cockleburrs");
    }
    if (flaresDue > flaresDone && !Advance(flaresDue - flaresDone)) {
      return Cancelled(selection.flares ? "rendering soft flares" : "not rendering soft flares");
    }
    starsDone = starsDue, flaresDone = flaresDue;
  }
  return !Stopped();
}

}  // namespace

bool CreateEffectTile(EffectTile* tile, const ParameterSet& parameters, const PhaseRound& round,
                      const FinishedRowsSink* finishedRows) {
  const LightSourceTable& table = gLightSourceTable;
  RoundSelection selection = SelectionOf(parameters, round);
  // Every light source advances the progress once in the round of its phase, and once more for
  // its soft flare in the last round.
  uint64_t starUnits = 0, flareUnits = round.last ? table.count : 0, candidates = 0;
  for (uint64_t i = 0; i < table.count; ++i) {
    const LightSource& entry = table.Entries()[i];
    starUnits += selection.InRound(entry) ? 1 : 0;
    candidates += (selection.PaintsStar(entry) ? 1 : 0) + (selection.PaintsFlare(entry) ? 1 : 0);
  }
  BufferDescriptor buffer;
  if (ReallocateBuffer(std::max<uint64_t>(candidates, 1) * sizeof(TileEffect), &buffer) != 0) {
    if (RunResult() == 0) SetRunResult(kOutOfMemory);
    return false;
  }
  auto* effects = static_cast<TileEffect*>(buffer.block);
  uint64_t count = 0;
  bool painted = PlaceEffects(*tile, selection, parameters, effects, &count) &&
                 PaintRows(tile, effects, count, selection, starUnits, flareUnits, finishedRows);
  DeallocateBuffer(&buffer);
  return painted;
}
