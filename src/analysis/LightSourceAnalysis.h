// The light source analysis of a run: started in the background once the host image has been
// read, so that the dialog can open meanwhile; its result is gLightSourceTable.
#pragma once
#include <cstdint>

#include "core/ImageRecord.h"

// Starts the analysis of the image (the host image of the run); false when it could not start.
bool StartLightSourceAnalysis(const ImageRecord& image);
// Aborts the analysis if it still runs, waits for it, and empties the table.
void StopLightSourceAnalysis();
// Waits for the analysis to end, at most the given milliseconds; true once it has ended.
bool WaitForLightSourceAnalysis(uint32_t milliseconds);
bool LightSourceAnalysisRunning();
// Progress in host rows: done of total.
void GetLightSourceAnalysisProgress(uint64_t* done, uint64_t* total);
// Raised when the analysis failed, for the dialog and the renderers to notice.
bool LightSourceAnalysisFailed();

struct AnalysisTimes;
// Seconds spent in each phase of the last analysis, valid once it has ended.
AnalysisTimes GetLightSourceAnalysisTimes();
struct AnalysisCounts;
AnalysisCounts GetLightSourceAnalysisCounts();

// The analysis scale of an image: its larger pass is limited to a diagonal of about 2000 pixels.
double AnalysisScaleOf(int64_t width, int64_t height);
