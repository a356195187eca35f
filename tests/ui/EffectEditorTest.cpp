// The effect editor's arithmetic between a light-source entry and its six sliders, and whole
// entries read while another thread rewrites them.
#include "ui/EffectEditor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "TestSupport.h"
#include "analysis/TableOperations.h"
#include "ui/ControlSets.h"

namespace {

constexpr uint32_t kFull = 4294967294u;

LightSource Entry(uint32_t brightness, uint32_t red, uint32_t green, uint32_t blue) {
  LightSource entry{};
  entry.x = 100.25;
  entry.y = 50.5;
  entry.brightness = brightness;
  entry.red = red, entry.green = green, entry.blue = blue;
  entry.state = LIGHT_DETECTED;
  return entry;
}

EditorSliderValues Sliders(int16_t brightness, int16_t red, int16_t green, int16_t blue, int16_t moveX, int16_t moveY) {
  return EditorSliderValues{{brightness, red, green, blue, moveX, moveY}};
}

}  // namespace

TEST(EffectEditor, EqualGainsOpenNeutralAndBrightnessFollowsTheDisplayCurve) {
  EditorSliderValues s = EditorSlidersOfEntry(Entry(kFull / 4, 1000000, 1000000, 1000000));
  EXPECT_EQ(s.values[1], 0);
  EXPECT_EQ(s.values[2], 0);
  EXPECT_EQ(s.values[3], 0);
  EXPECT_EQ(s.values[0], int16_t(std::lround(100 * std::pow(0.25, 1 / 2.2))));
  EXPECT_EQ(s.values[4], 0);
  EXPECT_EQ(s.values[5], 0);
  // A red star: its red balance is up, the others down.
  EditorSliderValues red = EditorSlidersOfEntry(Entry(kFull, kFull, kFull / 4, kFull / 4));
  EXPECT_GT(red.values[1], 0);
  EXPECT_LT(red.values[2], 0);
  EXPECT_EQ(red.values[2], red.values[3]);
}

// Gains of zero have no balance: the sliders open neutral instead of from 0 / 0.
TEST(EffectEditor, AnEntryWithoutColourOpensNeutral) {
  EditorSliderValues s = EditorSlidersOfEntry(Entry(0, 0, 0, 0));
  EXPECT_EQ(s.values[0], 0);
  for (int c = 1; c <= 3; ++c) EXPECT_EQ(s.values[c], 0) << c;
}

TEST(EffectEditor, FullAndNoBrightnessWriteFullAndNoLight) {
  LightSource entry = Entry(123, 4, 5, 6);
  ApplyEditorSliders(Sliders(100, 0, 0, 0, 0, 0), 100.25, 50.5, &entry);
  EXPECT_EQ(entry.brightness, kFull);
  EXPECT_EQ(entry.red, kFull);
  EXPECT_EQ(entry.green, kFull);
  EXPECT_EQ(entry.blue, kFull);
  ApplyEditorSliders(Sliders(0, 0, 0, 0, 0, 0), 100.25, 50.5, &entry);
  EXPECT_EQ(entry.brightness, 0u);
  EXPECT_EQ(entry.red, 0u);
  // All three balances at the far left: every colour equally absent counts as neutral.
  ApplyEditorSliders(Sliders(100, -50, -50, -50, 0, 0), 100.25, 50.5, &entry);
  EXPECT_EQ(entry.red, kFull);
  EXPECT_EQ(entry.green, kFull);
}

TEST(EffectEditor, BalancesTintAndMovesShiftByHundredthsOfAPixel) {
  LightSource entry = Entry(0, 0, 0, 0);
  ApplyEditorSliders(Sliders(100, 50, 0, 0, 250, -125), 100.25, 50.5, &entry);
  EXPECT_EQ(entry.red, kFull) << "the largest balance keeps the full brightness";
  EXPECT_NEAR(entry.green / double(kFull), std::pow(0.5, 1.5849870031065745), 1e-6);
  EXPECT_EQ(entry.green, entry.blue);
  EXPECT_DOUBLE_EQ(entry.x, 102.75) << "Ctrl+Up on a move row is 250 hundredths: 2.50 pixels";
  EXPECT_DOUBLE_EQ(entry.y, 49.25);
  // Reopened, the sliders show red's share of the gains (0.6 of the sum: 22), and applying them
  // again keeps the colour: the two formulas are each other's inverse up to scale.
  EditorSliderValues back = EditorSlidersOfEntry(entry);
  EXPECT_EQ(back.values[0], 100);
  EXPECT_EQ(back.values[1], 22);
  EXPECT_EQ(back.values[2], back.values[3]);
  LightSource again = entry;
  ApplyEditorSliders(back, 100.25, 50.5, &again);
  EXPECT_NEAR(double(again.green) / again.red, double(entry.green) / entry.red, 0.03);
}

// The preview reads entries while the editor writes them: every read is one whole entry, never
// half of the old and half of the new.
TEST(EffectEditor, EntriesAreReadWholeWhileTheyAreRewritten) {
  LightSourceTable table{};
  ASSERT_EQ(ReallocateBuffer(4 * sizeof(LightSource), &table.entries), 0);
  table.count = 4;
  for (uint64_t i = 0; i < 4; ++i) table.Entries()[i] = Entry(1, 1, 1, 1);
  std::atomic<bool> stop{false};
  std::atomic<uint32_t> written{0};
  std::thread writer([&] {
    for (uint32_t n = 2; !stop.load(); ++n) {
      LightSource entry = Entry(n, n, n, n);
      entry.x = entry.y = double(n);
      WriteLightSourceEntry(&table, 2, entry);
      written.store(n);
    }
  });
  int torn = 0;
  // Reads for as long as the writer is busy, whatever the machine's speed.
  ASSERT_TRUE(WaitUntil([&] { return written.load() > 2; }, 10000));
  for (int read = 0; read < 8000000 && written.load() < 8000000; ++read) {
    LightSource entry = ReadLightSourceEntry(table, 2);
    if (entry.red != entry.brightness || entry.blue != entry.brightness || (entry.brightness > 1 && entry.x != double(entry.brightness))) {
      ++torn;
    }
  }
  stop = true;
  writer.join();
  EXPECT_EQ(torn, 0);
  DeallocateBuffer(&table.entries);
}

namespace {

// The run's table with three entries, the second hidden by the user; put back empty afterwards.
class EditorTable : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ReallocateBuffer(8 * sizeof(LightSource), &gLightSourceTable.entries), 0);
    gLightSourceTable.count = 3;
    gLightSourceTable.finished = 1;
    gLightSourceTable.maxRadius = 4;
    for (uint64_t i = 0; i < 3; ++i) {
      LightSource entry = Entry(kFull / 2, kFull / 2, kFull / 3, kFull / 4);
      entry.x = 100.0 * double(i + 1);
      entry.y = 50.0;
      gLightSourceTable.Entries()[i] = entry;
    }
    gLightSourceTable.Entries()[1].state = LIGHT_HIDDEN;
    gLightSourceTable.Entries()[1].savedState = LIGHT_DETECTED;
    for (uint64_t i = 0; i < 3; ++i) m_Before[i] = gLightSourceTable.Entries()[i];
    ASSERT_TRUE(EditorControlSetHandler(CTLSETEVNT_ENTER, 0));
  }
  void TearDown() override { ReleaseLightSourceTable(&gLightSourceTable); }
  void Slide(int row, int16_t value) {
    gEditorSliderValues.values[row] = value;
    EXPECT_TRUE(EditorControlSetHandler(CTLSETEVNT_SLIDERS_CHANGED, 12 + row));
  }
  // Every field (the record's padding is not copied with it).
  static bool Same(const LightSource& a, const LightSource& b) {
    return a.x == b.x && a.y == b.y && a.radius == b.radius && a.radiusSquared == b.radiusSquared &&
           a.brightness == b.brightness && a.red == b.red && a.green == b.green && a.blue == b.blue &&
           a.intensity == b.intensity && a.reserved == b.reserved && a.state == b.state && a.savedState == b.savedState &&
           a.flags == b.flags;
  }

  LightSource m_Before[3];
};

}  // namespace

// Opening a star twice with edits between, and editing another, keeps one copy of each as it was
// before its first opening: Cancel puts both back exactly, the hidden one hidden again.
TEST_F(EditorTable, CancelRestoresEveryStarAsItWasBeforeItsFirstOpening) {
  ASSERT_TRUE(OpenEffectForEditing(0));
  Slide(0, 90);
  Slide(4, 250);
  ASSERT_TRUE(OpenEffectForEditing(1));
  EXPECT_EQ(gLightSourceTable.Entries()[1].state, LIGHT_FORCED) << "an edited effect is always drawn";
  Slide(1, 40);
  ASSERT_TRUE(OpenEffectForEditing(0));
  EXPECT_DOUBLE_EQ(gLightSourceTable.Entries()[0].x, 102.5);
  Slide(5, -100);
  EXPECT_DOUBLE_EQ(gLightSourceTable.Entries()[0].y, 49.0) << "moves count from the second opening";
  EXPECT_EQ(EditorUndoCount(), 2u);
  int32_t changes = LightSourceChangeCount(gLightSourceTable);
  ASSERT_TRUE(EditorControlSetHandler(CTLSETEVNT_END_CANCEL, 0));
  EXPECT_GT(LightSourceChangeCount(gLightSourceTable), changes) << "the preview must redraw";
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(Same(gLightSourceTable.Entries()[i], m_Before[i])) << i;
  EXPECT_EQ(EditorUndoCount(), 0u);
}

TEST_F(EditorTable, AcceptKeepsTheEditsAndTheHiddenStarShown) {
  ASSERT_TRUE(OpenEffectForEditing(1));
  Slide(0, 100);
  ASSERT_TRUE(EditorControlSetHandler(CTLSETEVNT_END_OK, 0));
  EXPECT_EQ(gLightSourceTable.Entries()[1].state, LIGHT_FORCED);
  EXPECT_EQ(gLightSourceTable.Entries()[1].brightness, kFull);
  // The next editing starts with nothing to undo.
  ASSERT_TRUE(EditorControlSetHandler(CTLSETEVNT_ENTER, 0));
  EXPECT_EQ(EditorUndoCount(), 0u);
}

// A star added and then cancelled must not stay behind for a later Show or Reveal to find.
TEST_F(EditorTable, AnAddedStarThatIsCancelledIsGoneForGood) {
  int64_t index = AddLightSourceAt(&gLightSourceTable, 250.0, 60.0);
  ASSERT_EQ(index, 3);
  ASSERT_TRUE(OpenEffectForEditing(index));
  ASSERT_TRUE(EditorControlSetHandler(CTLSETEVNT_END_CANCEL, 0));
  EXPECT_EQ(gLightSourceTable.Entries()[index].state, LIGHT_HIDDEN);
  // A Show click right on it, and a Show drag over it, leave it hidden.
  SetLightSourceStateOfNearest(&gLightSourceTable, 250.0, 60.0, STATE_FORCE, 100.0);
  EXPECT_EQ(gLightSourceTable.Entries()[index].state, LIGHT_HIDDEN);
  SetLightSourceStateInRect(&gLightSourceTable, TableRect{240, 50, 260, 70}, STATE_FORCE);
  EXPECT_EQ(gLightSourceTable.Entries()[index].state, LIGHT_HIDDEN);
  EXPECT_EQ(NearestVisibleLightSource(gLightSourceTable, 250.0, 60.0, 100, 100.0), -1);
}
