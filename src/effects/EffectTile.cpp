// Painting one band: the visible stars of a round's phases, and after the last round every visible
// soft flare, in table order, into a tile of linear light that starts black and lives through all
// rounds; the host image is touched only when the tile is screened onto it.
#include <cmath>

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

bool CreateEffectTile(EffectTile* tile, const ParameterSet& parameters, const PhaseRound& round) {
  const LightSourceTable& table = gLightSourceTable;
  uint32_t threshold = QuantityThreshold(table, parameters.quantity);
  uint32_t minimum = gEffectRenderMode.visibilityMinimum;
  const LightSource* entries = table.Entries();
  bool stars = parameters.length >= 1 && (parameters.intensity >= 1 || parameters.secondarySpikeIntensity >= 1);
  // Every light source advances the progress once, in the round of its phase.
  for (uint64_t i = 0; i < table.count; ++i) {
    if (Stopped()) return false;
    const LightSource& entry = entries[i];
    int paintedIn = round.roundOf[ShapePositionOf(entry.x).phase][ShapePositionOf(entry.y).phase];
    if (paintedIn != round.index && !(round.last && paintedIn < 0)) continue;
    if (stars && IsLightSourceVisible(entry, threshold) && entry.intensity > minimum &&
        !PaintShapeIntoTile(tile, &gEffectShapes.star, EffectOf(entry, parameters, entry.intensity), entry.x, entry.y, minimum)) {
      return false;
    }
    if (!Advance(1)) return Cancelled(stars ? "rendering cockleburrs" : "not rendering cockleburrs");
  }
  if (!round.last) return !Stopped();
  if (parameters.length > 0 && parameters.softFlareIntensity > 0) {
    double share = parameters.softFlareIntensity * 0.01;
    double k = std::trunc(share * share * kFraction);
    for (uint64_t i = 0; i < table.count; ++i) {
      if (Stopped()) return false;
      const LightSource& entry = entries[i];
      if (IsLightSourceVisible(entry, threshold)) {
        uint32_t alpha = uint32_t(std::llround(k / kFraction * entry.intensity));
        if (alpha > minimum &&
            !PaintShapeIntoTile(tile, &gEffectShapes.softFlare, EffectOf(entry, parameters, alpha), entry.x, entry.y, minimum)) {
          return false;
        }
      }
      if (!Advance(1)) return Cancelled("rendering soft flares");
    }
  } else if (!Advance(table.count)) {
    return Cancelled("not rendering soft flares");
  }
  return !Stopped();
}
