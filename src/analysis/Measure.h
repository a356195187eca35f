// The measurement of one candidate pixel: radial profile, recentring, contrast and refinement;
// a light source that passes every test goes into the band's list.
#pragma once
#include <cstdint>

#include "analysis/AnalysisRun.h"

void MeasureCandidate(AnalysisSection* section, int64_t x, int64_t y);

// Pieces of the measurement, exposed for tests.
enum ProfileOutcome { PROFILE_MEASURED, PROFILE_PLATEAU, PROFILE_FAILED };
ProfileOutcome MeasureRadialProfile(AnalysisRun* run, int64_t x, int64_t y, double distances[8]);
bool RecentreFromDistances(const double distances[8], double* x, double* y);
