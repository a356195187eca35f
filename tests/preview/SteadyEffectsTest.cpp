// Which effect layers a frame draws from the kept picture, which it keeps, and which it draws from
// their quads, over the frames of a slider drag, a view change and a failed copy.
#include <gtest/gtest.h>

#include "preview/SteadyEffects.h"

namespace {

constexpr uint32_t kPrimary = 1, kSecondary = 2, kFlare = 4, kAll = 7;

EffectsPlacement Placement(int32_t scrollX = 0, double zoom = 100.0) {
  EffectsPlacement p;
  p.client = RECT{0, 0, 320, 220};
  p.image = RECT{10, 10, 310, 210};
  p.drawing = p.image;
  p.zoom = zoom;
  p.scrollX = scrollX;
  p.imageRect = ImageRect{0, 0, 300, 200};
  return p;
}

// One frame: planned, drawn (the keeping succeeding unless told), noted.
EffectsDrawingPlan Frame(SteadyEffectsRecord* record, uint32_t layers, const uint64_t stamps[3],
                         const EffectsPlacement& placement = Placement(), bool copySucceeds = true) {
  EffectsDrawingPlan plan = PlanEffectsDrawing(*record, layers, stamps, placement);
  NoteEffectsFrame(record, plan, copySucceeds, layers, stamps, placement);
  return plan;
}

// Two frames of an Intensity drag: the secondary spikes and soft flares are kept.
SteadyEffectsRecord KeptAfterAnIntensityStep(uint64_t stamps[3]) {
  SteadyEffectsRecord record;
  Frame(&record, kAll, stamps);
  stamps[0] += 100;
  Frame(&record, kAll, stamps);
  return record;
}

void ExpectPlan(const EffectsDrawingPlan& plan, uint32_t fromKept, uint32_t toKeep, uint32_t live) {
  EXPECT_EQ(plan.fromKept, fromKept);
  EXPECT_EQ(plan.toKeep, toKeep);
  EXPECT_EQ(plan.live, live);
}

TEST(SteadyEffects, AnAngleDragKeepsTheSoftFlaresOnceAndDrawsThemFromThePictureAfter) {
  SteadyEffectsRecord record;
  uint64_t stamps[3] = {1, 2, 3};
  ExpectPlan(Frame(&record, kAll, stamps), 0, 0, kAll);  // nothing is known to hold still yet
  stamps[0] = 4, stamps[1] = 5;
  ExpectPlan(Frame(&record, kAll, stamps), 0, kFlare, kPrimary | kSecondary);
  for (uint64_t step = 0; step < 3; ++step) {
    stamps[0] = 10 + step, stamps[1] = 20 + step;
    ExpectPlan(Frame(&record, kAll, stamps), kFlare, 0, kPrimary | kSecondary);
  }
}

TEST(SteadyEffects, ALayerThatChangesAfterBeingKeptIsDrawnFromItsQuadsAgain) {
  SteadyEffectsRecord record;
  uint64_t stamps[3] = {1, 2, 3};
  Frame(&record, kAll, stamps);
  stamps[0] = 4;  // Intensity: the primary spikes alone
  ExpectPlan(Frame(&record, kAll, stamps), 0, kSecondary | kFlare, kPrimary);
  stamps[0] = 5;
  ExpectPlan(Frame(&record, kAll, stamps), kSecondary | kFlare, 0, kPrimary);
  // Soft Flare Intensity now: the picture holding the flare is stale; the spikes held still.
  stamps[2] = 6;
  ExpectPlan(Frame(&record, kAll, stamps), 0, kPrimary | kSecondary, kFlare);
  stamps[2] = 7;
  ExpectPlan(Frame(&record, kAll, stamps), kPrimary | kSecondary, 0, kFlare);
}

TEST(SteadyEffects, AMovedViewMovesEveryLayerAndForgetsThePicture) {
  uint64_t stamps[3] = {1, 2, 3};
  SteadyEffectsRecord record = KeptAfterAnIntensityStep(stamps);
  ExpectPlan(Frame(&record, kAll, stamps, Placement(5)), 0, 0, kAll);
  ExpectPlan(Frame(&record, kAll, stamps, Placement(5, 50.0)), 0, 0, kAll);
  // The view held still over a frame: every layer did, and they are kept anew.
  ExpectPlan(Frame(&record, kAll, stamps, Placement(5, 50.0)), 0, kAll, 0);
  ExpectPlan(Frame(&record, kAll, stamps, Placement(5, 50.0)), kAll, 0, 0);
}

TEST(SteadyEffects, APictureOfALayerWithoutQuadsNowIsNotUsed) {
  uint64_t stamps[3] = {1, 2, 3};
  SteadyEffectsRecord record = KeptAfterAnIntensityStep(stamps);
  // Every light's flare culled or Soft Flare Intensity at 0: no flare quads, the stamp aside.
  stamps[0] += 100;
  ExpectPlan(Frame(&record, kPrimary | kSecondary, stamps), 0, kSecondary, kPrimary);
}

TEST(SteadyEffects, AFailedCopyKeepsNoPicture) {
  SteadyEffectsRecord record;
  uint64_t stamps[3] = {1, 2, 3};
  Frame(&record, kAll, stamps);
  stamps[0] = 4;
  ExpectPlan(Frame(&record, kAll, stamps, Placement(), false), 0, kSecondary | kFlare, kPrimary);
  stamps[0] = 5;
  // Tried again, since the layers still held still.
  ExpectPlan(Frame(&record, kAll, stamps), 0, kSecondary | kFlare, kPrimary);
  ForgetSteadyEffects(&record);
  ExpectPlan(Frame(&record, kAll, stamps), 0, 0, kAll);
}

TEST(SteadyEffects, NoLayersNoPicture) {
  SteadyEffectsRecord record;
  uint64_t stamps[3] = {1, 2, 3};
  ExpectPlan(Frame(&record, 0, stamps), 0, 0, 0);
  ExpectPlan(Frame(&record, 0, stamps), 0, 0, 0);
  ExpectPlan(Frame(&record, kFlare, stamps), 0, 0, kFlare);  // the flare had no quads before
}

}  // namespace
