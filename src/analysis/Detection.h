// The passes of the analysis over bands of rows, one thread per band, and the merge of the
// bands' lists into the table.
#pragma once
#include <cstdint>

#include "analysis/AnalysisRun.h"

typedef unsigned(__stdcall* AnalysisTask)(void* section);

// Sections for the rows [top, bottom) of a rectangle, `bands` of them (0: one per worker), or one
// per row when there are fewer rows; null (and *count 0) when they could not be made.
AnalysisSection* CreateAnalysisSections(AnalysisRun* run, int64_t left, int64_t top, int64_t right, int64_t bottom,
                                        int* count, int bands = 0);
void DestroyAnalysisSections(AnalysisSection* sections, int count);
// Runs the task once per section on threads of its own and waits for all; 0 or -1715.
int16_t SpawnAnalysisThreadsAndWait(AnalysisTask task, AnalysisSection* sections, int count);

// Pass 1: the largest pixel brightness of the host image (0xFFFFFF when it cannot be found).
uint32_t FindImageMaximum(AnalysisRun* run);
// One detection pass over the current analysis image; 0 or an error code.
int16_t DetectLightSources(AnalysisRun* run);
// Merges the sections' lists into the table after the table's own entries.
void MergeSectionLists(AnalysisSection* sections, int count);
