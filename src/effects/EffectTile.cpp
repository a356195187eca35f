// Painting one band: the visible stars of a round's phases, and in the last round every visible
// soft flare over them, in table order, into a tile of linear light that starts black and lives
// through all rounds; the host image is touched only when the tile is screened onto it. The band
// is painted a row at a time, every effect that crosses the row in turn, so that the row stays in
// the cache: each pixel still receives the effects in the same order.
#include <cmath>
#include <cstring>

#include "analysis/LightSourceTable.h"
#include "analysis/TableOperations.h"
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

constexpr int16_t kUserCanceled = -128;
constexpr int16_t kOutOfMemory = -108;
constexpr double kFraction = 4294967294.0;

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

}  // namespace

bool CreateEffectTile(EffectTile* tile, const ParameterSet& parameters, const PhaseRound& round,
                      const FinishedRowsSink* finishedRows) {
  const LightSourceTable& table = gLightSourceTable;
  uint32_t threshold = QuantityThreshold(table, parameters.quantity);
  uint32_t minimum = gEffectRenderMode.visibilityMinimum;
  const LightSource* entries = table.Entries();
  bool stars = parameters.length >= 1 && (parameters.intensity >= 1 || parameters.secondarySpikeIntensity >= 1);
  bool flares = round.last && parameters.length > 0 && parameters.softFlareIntensity > 0;
  double share = parameters.softFlareIntensity * 0.01;
  double k = std::trunc(share * share * kFraction);
  auto inRound = [&round](const LightSource& entry) {
    int paintedIn = round.roundOf[ShapePositionOf(entry.x).phase][ShapePositionOf(entry.y).phase];
    return paintedIn == round.index || (round.last && paintedIn < 0);
  };
  auto paintsStar = [&](const LightSource& entry) {
    return stars && inRound(entry) && IsLightSourceVisible(entry, threshold) && entry.intensity > minimum;
  };
  auto flareAlpha = [&](const LightSource& entry) { return uint32_t(std::llround(k / kFraction * entry.intensity)); };
  auto paintsFlare = [&](const LightSource& entry) {
    return flares && IsLightSourceVisible(entry, threshold) && flareAlpha(entry) > minimum;
  };
  // Every light source advances the progress once in the round of its phase, and once more for
  // its soft flare in the last round, spread over the band's rows.
  uint64_t starUnits = 0, flareUnits = round.last ? table.count : 0, candidates = 0;
  for (uint64_t i = 0; i < table.count; ++i) {
    starUnits += inRound(entries[i]) ? 1 : 0;
    candidates += (paintsStar(entries[i]) ? 1 : 0) + (paintsFlare(entries[i]) ? 1 : 0);
  }
  BufferDescriptor buffer;
  if (ReallocateBuffer(std::max<uint64_t>(candidates, 1) * sizeof(TileEffect), &buffer) != 0) {
    if (RunResult() == 0) SetRunResult(kOutOfMemory);
    return false;
  }
  auto* effects = static_cast<TileEffect*>(buffer.block);
  auto release = [&buffer](bool result) {
    DeallocateBuffer(&buffer);
    return result;
  };
  // Stars first, then soft flares, each in table order: the order in which a pixel receives them.
  uint64_t count = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (uint64_t i = 0; i < table.count; ++i) {
      if (Stopped()) return release(false);
      const LightSource& entry = entries[i];
      bool covers = false;
      if (pass == 0 && paintsStar(entry) &&
          !PrepareTileEffect(*tile, &gEffectShapes.star, EffectOf(entry, parameters, entry.intensity), entry.x, entry.y, minimum,
                             &effects[count], &covers)) {
        return release(false);
      }
      if (pass == 1 && paintsFlare(entry) &&
          !PrepareTileEffect(*tile, &gEffectShapes.softFlare, EffectOf(entry, parameters, flareAlpha(entry)), entry.x, entry.y,
                             minimum, &effects[count], &covers)) {
        return release(false);
      }
      count += covers ? 1 : 0;
    }
  }
  const ImageRect& band = tile->band;
  const uint64_t rows = uint64_t(band.Height());
  const bool windowed = tile->Windowed();
  const size_t windowBytes = size_t(band.Width()) * size_t(tile->windowRows) * 3 * sizeof(float);
  uint64_t starsDone = 0, flaresDone = 0;
  for (int64_t y = band.top; y < band.bottom; ++y) {
    if (Stopped()) return release(false);
    for (uint64_t e = 0; e < count; ++e) {
      if (effects[e].top <= y && y < effects[e].bottom) PaintTileEffectRow(tile, effects[e], y);
    }
    if (windowed && y + 1 == tile->WindowBottom()) {
      if (finishedRows != nullptr) finishedRows->finished(*tile, finishedRows->context);
      tile->windowTop = y + 1;
      memset(tile->pixels.block, 0, windowBytes);
    }
    uint64_t rowsDone = uint64_t(y - band.top + 1);
    uint64_t starsDue = starUnits * rowsDone / rows, flaresDue = flareUnits * rowsDone / rows;
    if (starsDue > starsDone && !Advance(starsDue - starsDone)) {
      release(false);
      return Cancelled(stars ? "rendering cockleburrs" : "not rendering cockleburrs");
    }
    starsDone = starsDue;
    if (flaresDue > flaresDone && !Advance(flaresDue - flaresDone)) {
      release(false);
      return Cancelled(flares ? "rendering soft flares" : "not rendering soft flares");
    }
    flaresDone = flaresDue;
  }
  return release(!Stopped());
}
