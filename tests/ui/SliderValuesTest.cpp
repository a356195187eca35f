// Slider arithmetic: typed text to values (decimals, truncation, clamping, refused text), the
// value box's display, key steps with Ctrl and repeat counts, and the track bar's jump-click.
#include <gtest/gtest.h>

#include "ui/SliderTable.h"
#include "ui/SliderValues.h"

namespace {

constexpr int kQuantity = 0, kAngle = 3, kPoints = 4, kSaturation = 7, kHorizontal = 16;

int32_t Parsed(int row, const wchar_t* text, int32_t unparsed = -99999) {
  int32_t value = unparsed;
  ParseSliderText(kSliderRows[row], text, &value);
  return value;
}

}  // namespace

TEST(SliderValues, TypedDecimalsAreScaledAndTruncated) {
  EXPECT_EQ(Parsed(kAngle, L"12.345"), 123);
  EXPECT_EQ(Parsed(kAngle, L"-12.39"), -123);
  EXPECT_EQ(Parsed(kAngle, L"12."), 120);
  EXPECT_EQ(Parsed(kAngle, L".5"), 5);
  EXPECT_EQ(Parsed(kQuantity, L"42.9"), 42) << "a row without decimals truncates the fraction";
  // Read digit by digit: 0.29 is 29 hundredths, not 28.999... truncated.
  EXPECT_EQ(Parsed(kHorizontal, L"0.29"), 29);
  EXPECT_EQ(Parsed(kHorizontal, L"-2.5"), -250);
  EXPECT_EQ(Parsed(kHorizontal, L"+1.07"), 107);
}

TEST(SliderValues, TypedValuesAreClampedToTheRowsRange) {
  EXPECT_EQ(Parsed(kQuantity, L"150"), 100);
  EXPECT_EQ(Parsed(kQuantity, L"-5"), 0);
  EXPECT_EQ(Parsed(kAngle, L"999"), 1800);
  EXPECT_EQ(Parsed(kPoints, L"0"), 1);
  EXPECT_EQ(Parsed(kSaturation, L"-101"), -100);
  EXPECT_EQ(Parsed(kHorizontal, L"26"), 2500);
}

TEST(SliderValues, TextWithoutANumberKeepsTheValue) {
  for (const wchar_t* text : {L"", L"-", L"+", L".", L"-.", L"--5", L"abc", L" "}) {
    int32_t value = 77;
    EXPECT_FALSE(ParseSliderText(kSliderRows[kQuantity], text, &value)) << static_cast<const void*>(text);
    EXPECT_EQ(value, 77);
  }
}

TEST(SliderValues, ASecondSignOrPointEndsTheNumberAndOverlongNumbersSaturate) {
  EXPECT_EQ(Parsed(kQuantity, L"1-2"), 1);
  EXPECT_EQ(Parsed(kAngle, L"1.2.3"), 12);
  EXPECT_EQ(Parsed(kQuantity, L"99999999999999999999999999999999"), 100);
  EXPECT_EQ(Parsed(kQuantity, L"-99999999999999999999999999999999"), 0);
  EXPECT_EQ(Parsed(kAngle, L"179.99999999999999999999"), 1799);
}

TEST(SliderValues, OnlyDigitsSignsPointAndBackspaceAreTyped) {
  for (wchar_t c : {L'0', L'5', L'9', L'+', L'-', L'.', L'\b'}) EXPECT_TRUE(IsValueBoxCharacter(c)) << int(c);
  for (wchar_t c : {L'a', L'Z', L'e', L',', L' ', L'\t', L'\r', L'/', L'*', wchar_t(0x0660)}) {
    EXPECT_FALSE(IsValueBoxCharacter(c)) << int(c);
  }
}

TEST(SliderValues, TheBoxShowsTheValueWithTheRowsDecimals) {
  EXPECT_EQ(FormatSliderValue(kSliderRows[kQuantity], 50), L"50");
  EXPECT_EQ(FormatSliderValue(kSliderRows[kSaturation], -100), L"-100");
  EXPECT_EQ(FormatSliderValue(kSliderRows[kAngle], 123), L"12.3");
  EXPECT_EQ(FormatSliderValue(kSliderRows[kAngle], -1800), L"-180.0");
  EXPECT_EQ(FormatSliderValue(kSliderRows[kAngle], -5), L"-0.5");
  EXPECT_EQ(FormatSliderValue(kSliderRows[kHorizontal], 2500), L"25.00");
  EXPECT_EQ(FormatSliderValue(kSliderRows[kHorizontal], -25), L"-0.25");
}

TEST(SliderValues, EveryShownValueReadsBackAsItself) {
  for (const SliderRow& row : kSliderRows) {
    for (int32_t value = row.minimum; value <= row.maximum; ++value) {
      int32_t read = 0;
      ASSERT_TRUE(ParseSliderText(row, FormatSliderValue(row, value).c_str(), &read)) << row.name;
      ASSERT_EQ(read, value) << row.name;
    }
  }
}

TEST(SliderValues, TheBoxTakesTheLongestTextItsRowShows) {
  EXPECT_EQ(TextLimitOf(kSliderRows[kQuantity]), 4);
  EXPECT_EQ(TextLimitOf(kSliderRows[kAngle]), 6) << "-180.0";
  EXPECT_EQ(TextLimitOf(kSliderRows[kHorizontal]), 6) << "-25.00";
  for (const SliderRow& row : kSliderRows) {
    for (int32_t value = row.minimum; value <= row.maximum; ++value) {
      ASSERT_LE(int(FormatSliderValue(row, value).size()), TextLimitOf(row)) << row.name << " " << value;
    }
  }
}

TEST(SliderValues, ArrowKeysStepByTheLineOrCtrlStepTimesTheRepeatCount) {
  const SliderRow& horizontal = kSliderRows[kHorizontal];
  EXPECT_EQ(SteppedSliderValue(horizontal, 0, SLIDERKEY_UP, false, 1), 25) << "Up alone moves 0.25";
  EXPECT_EQ(SteppedSliderValue(horizontal, 0, SLIDERKEY_UP, true, 1), 250) << "Ctrl+Up moves 2.50";
  EXPECT_EQ(SteppedSliderValue(horizontal, 0, SLIDERKEY_DOWN, true, 3), -750);
  EXPECT_EQ(SteppedSliderValue(kSliderRows[kPoints], 6, SLIDERKEY_UP, true, 2), 10);
  EXPECT_EQ(SteppedSliderValue(kSliderRows[kQuantity], 50, SLIDERKEY_UP, false, 0), 51) << "a repeat count of 0 is one stroke";
}

TEST(SliderValues, PageKeysStepByThePageStepWhateverCtrlSays) {
  EXPECT_EQ(SteppedSliderValue(kSliderRows[kAngle], 0, SLIDERKEY_PAGE_UP, false, 1), 100);
  EXPECT_EQ(SteppedSliderValue(kSliderRows[kAngle], 0, SLIDERKEY_PAGE_DOWN, true, 2), -200);
  EXPECT_EQ(SteppedSliderValue(kSliderRows[kPoints], 6, SLIDERKEY_PAGE_UP, false, 1), 14);
}

TEST(SliderValues, StepsStopAtTheEndsOfEveryRow) {
  for (const SliderRow& row : kSliderRows) {
    EXPECT_EQ(SteppedSliderValue(row, row.maximum, SLIDERKEY_UP, true, 500), row.maximum) << row.name;
    EXPECT_EQ(SteppedSliderValue(row, row.minimum, SLIDERKEY_PAGE_DOWN, false, 32767), row.minimum) << row.name;
  }
}

TEST(SliderValues, AJumpClickFollowsTheChannelFormula) {
  const SliderRow& quantity = kSliderRows[kQuantity];
  TrackGeometry track{10, 210, 10};  // c = 200 pixels for 100 steps
  // The thumb's centre at the channel's left end, middle and right end.
  EXPECT_EQ(TrackJumpValue(quantity, 50, track, 15), 0);
  EXPECT_EQ(TrackJumpValue(quantity, 50, track, 115), 50);
  EXPECT_EQ(TrackJumpValue(quantity, 50, track, 215), 100);
  // min + ((x - w/2 - left) * (max - min) + c/2) / c: 1 pixel is half a step, rounded up.
  EXPECT_EQ(TrackJumpValue(quantity, 50, track, 16), 1);
  EXPECT_EQ(TrackJumpValue(quantity, 50, track, 0), 0) << "left of the channel";
  EXPECT_EQ(TrackJumpValue(quantity, 50, track, 500), 100) << "right of the channel";
  const SliderRow& angle = kSliderRows[kAngle];
  EXPECT_EQ(TrackJumpValue(angle, 0, track, 15), -1800);
  EXPECT_EQ(TrackJumpValue(angle, 0, track, 115), 0);
  EXPECT_EQ(TrackJumpValue(angle, 0, track, 215), 1800);
}

TEST(SliderValues, ATrackTooShortForAChannelKeepsTheValue) {
  for (TrackGeometry track : {TrackGeometry{0, 0, 0}, TrackGeometry{5, 10, 10}, TrackGeometry{5, 8, 10}}) {
    EXPECT_EQ(TrackJumpValue(kSliderRows[kQuantity], 42, track, 7), 42);
  }
}
