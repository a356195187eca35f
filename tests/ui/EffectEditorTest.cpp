// The effect editor's arithmetic between a light-source entry and its six sliders, and whole
// entries read while another thread rewrites them.
#include "ui/EffectEditor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "TestSupport.h"

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
