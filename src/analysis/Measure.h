// The measurement of one candidate pixel: radial profile, recentring, contrast and refinement;
// a light source that passes every test goes into the band's list.
#pragma once
#include <cstdint>

#include "analysis/AnalysisRun.h"
#include "analysis/BandLockstep.h"

void MeasureCandidate(AnalysisSection* section, int64_t x, int64_t y);

// The same measurement taken apart, so that any band's thread may make it while the view holds
// still: it changes neither the view nor a list, and says what the band must do with it.
enum CandidateKind {
  CANDIDATE_NONE,   // dropped
  CANDIDATE_LIGHT,  // a light source, unless the band's list has one at (listX, listY)
  CANDIDATE_FILL,   // a plateau to fill: the band measures it itself
  CANDIDATE_AGAIN,  // not measured (no memory): the band measures it itself
  // Not measured past its list point, which a light found just before it seems to cover: dropped
  // if the band's list covers (listX, listY) when the band takes it, else the band measures it.
  CANDIDATE_COVERED,
  CANDIDATE_COUNT
};
struct CandidateResult {
  CandidateKind kind;
  double listX, listY;
  LightSource source;
};
void EvaluateCandidate(AnalysisRun* run, const ImageRecord& view, BrightnessPlane* plane, StatisticsMemory* memory,
                       int64_t x, int64_t y, CandidateResult* result);
// The same after the profile, for a candidate outside the table whose walks found no plateau;
// `d` holds its eight distances and is changed.
void EvaluateProfiledCandidate(AnalysisRun* run, const ImageRecord& view, BrightnessPlane* plane, StatisticsMemory* memory,
                               int64_t x, int64_t y, double d[8], CandidateResult* result);
// The same in two steps. First the place the band's list is asked about, the recentred centre;
// false when the candidate is dropped before (its edges out of balance). `d` is changed.
bool ListPointFromProfile(double d[8], int64_t x, int64_t y, double* listX, double* listY);
// Then the rest, from the distances as the first step left them and the list point in `result`.
void EvaluateFromListPoint(AnalysisRun* run, const ImageRecord& view, BrightnessPlane* plane, StatisticsMemory* memory,
                           const double d[8], CandidateResult* result);

// Pieces of the measurement, exposed for tests.
// PROFILE_OPEN_PLATEAU: a plateau to fill, found by a walk that was told not to fill.
enum ProfileOutcome { PROFILE_MEASURED, PROFILE_PLATEAU, PROFILE_FAILED, PROFILE_OPEN_PLATEAU };
// Walks and fills the given image, a band's own view of the analysis image; a fill goes into the
// log too, when there is one.
ProfileOutcome MeasureRadialProfile(AnalysisRun* run, const ImageRecord& image, FillLog* log, int64_t x, int64_t y,
                                    double distances[8], bool fill = true, BrightnessPlane* plane = nullptr);
inline ProfileOutcome MeasureRadialProfile(AnalysisRun* run, int64_t x, int64_t y, double distances[8]) {
  return MeasureRadialProfile(run, run->image, nullptr, x, y, distances);
}
// The same profile over an 8-bit view that its record's own reader reads (IsInlineReadable), by
// direct stepping through the pixel rows; detection uses it unless told to use the reference.
ProfileOutcome MeasureRadialProfileDirect(AnalysisRun* run, const ImageRecord& image, FillLog* log, int64_t x, int64_t y,
                                          double distances[8], bool fill = true,
                                          BrightnessPlane* plane = nullptr);
// Tests compare detection's direct paths with the per-pixel reference paths they replace.
void UseReferenceMeasurement(bool reference);
bool UsingReferenceMeasurement();
bool RecentreFromDistances(const double distances[8], double* x, double* y);
