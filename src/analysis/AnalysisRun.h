// The state of one run of the light source analysis, shared by its passes and band tasks.
#pragma once
#include <windows.h>

#include <cstdint>

#include "analysis/BandLockstep.h"
#include "analysis/LightSourceTable.h"
#include "core/ImageRecord.h"
#include "shapes/Shape.h"

constexpr int kAnalysisShapes = 1056;  // radii 0 to 263.75 in quarter pixels
constexpr int kCoarseStepLimit = 266;
constexpr int kFineStepLimit = 96;
constexpr double kCoarseRadiusMinimum = 6.0;  // smaller highlights are left to the fine pass
// Detection always splits the analysis image into this many bands, whatever the machine: where
// the seams lie decides which of two overlapping candidates is measured first, and the table
// must not depend on the number of processors.
constexpr int kDetectionBands = 2;

enum AnalysisPass { PASS_COARSE, PASS_FINE };

struct AnalysisRect {
  double left, top, right, bottom;
  bool Contains(double x, double y) const { return left <= x && x < right && top <= y && y < bottom; }
};

// Seconds spent in each phase of the last analysis.
struct AnalysisTimes {
  double imageMaximum;
  double analysisImages[2];  // making the coarse and the fine image (reduction and conversion)
  double detection[2];       // detection in the coarse and the fine image
  double finishing;
};

// Candidates whose refinement detection spared, as a light measured before them seemed to cover
// them, and of those the ones their band measured after all; for the reports and tests.
struct AnalysisCounts {
  uint64_t spared;  // atomic
  uint64_t measuredAfterAll;  // atomic
};

struct AnalysisRun {
  ImageRecord host;   // private copy of the host image
  ImageRecord image;  // the analysis image of the current pass
  ImageRecord fineImage;  // the fine pass's image, reduced with the coarse one before it is needed
  bool reducedAhead;      // both analysis images and the maximum came from one reading
  AnalysisRect rect;
  AnalysisPass pass;
  double scaleX, scaleY;  // of the current pass
  double coarseScaleX, coarseScaleY, fineScaleX, fineScaleY;
  uint32_t imageMaximum;  // M, the largest pixel brightness of the host image
  Shape* discs;
  Shape* rings;
  double* radii;
  HANDLE floodFillMutex;
  HANDLE completeEvent;
  HANDLE thread;
  uint64_t rowsDone;  // atomic; progress in host rows
  uint64_t rowsTotal;
  volatile bool abort;
  AnalysisTimes times;
  AnalysisCounts counts;
};

// Shape statistics kept across candidates: neighbouring candidates climb to the same places. An
// entry holds while the version, which every step with a fill in any band moves on, is the one it
// was made under.
struct StatisticsMemory {
  BufferDescriptor slots;
  uint64_t viewVersion;
};

// What the bands share in detection: the candidates of all their rows of a batch of steps are
// measured first, by whichever band's thread takes them, against views that every band has alike
// at the start of the batch; then each band takes the results of its own rows in order. `next`
// counts the pixels taken since the pass began (atomic), `stepPixels` pixels a step.
constexpr int kMostBatchSteps = 16;
struct DetectionPool {
  int64_t next;
  int64_t stepPixels;
};

// One band of rows of the analysis image, with its own list of light sources and, in detection,
// its own copy of the analysis image: another band's plateau fill reaches it only between two
// rows, when the bands are in step, so that no band's result depends on how far another has got.
struct AnalysisSection {
  AnalysisRun* run;
  int64_t left, top, right, bottom;
  ImageRecord view;
  FillLog fills;            // what this band filled during its current row
  BandLockstep* lockstep;   // null outside detection
  int64_t steps;            // rows of the longest band: every band takes this many steps
  AnalysisSection* bands;   // all sections of the pass, `bandCount` of them
  int bandCount;
  LightSourceTable list;
  HANDLE terminated;
  int index;
  uint32_t bandMaximum;  // pass 1: the band's largest brightness
  DetectionPool* pool;       // detection: the batch's candidates, measured by whichever band is free
  // Detection: for each pixel of the band's rows of a batch, its CandidateKind, and for a light its
  // CandidateResult; the kinds alone are read for the many pixels without one.
  BufferDescriptor kinds;
  BufferDescriptor results;
  // Detection: the number of the last batch in which a measurement of the band's row of each of
  // its steps asked for a fill (or to be made again by the band); written by any band's thread.
  int64_t fillMarks[kMostBatchSteps];
  StatisticsMemory statistics;  // shape statistics this band's thread has measured
  BrightnessPlane brightness;   // of the view, when it is 8-bit; filled with it
};

inline uint32_t BrightnessOf(const PixelValue& p) { return (p.red + p.green + p.blue) / 3; }

extern AnalysisRun gAnalysis;

void CountAnalysedRow(AnalysisRun* run);
