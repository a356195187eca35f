// Slider arithmetic shared by the value boxes, the keys and the track bars. Typed text is read
// digit by digit, so that "0.29" is 29 hundredths and not 28.999... truncated to 28.
#include "ui/SliderValues.h"

#include <cwchar>

namespace {

// Far beyond every range, far within int64_t: longer numbers only saturate.
constexpr int64_t kSaturation = int64_t(1) << 40;

int64_t PowerOfTen(int exponent) {
  int64_t power = 1;
  for (int i = 0; i < exponent; ++i) power *= 10;
  return power;
}

void AppendDigit(int64_t* number, wchar_t digit) {
  if (*number < kSaturation) *number = *number * 10 + (digit - L'0');
}

}  // namespace

int32_t ClampSliderValue(const SliderRow& row, int64_t value) {
  if (value < row.minimum) return row.minimum;
  if (value > row.maximum) return row.maximum;
  return int32_t(value);
}

std::wstring FormatSliderValue(const SliderRow& row, int32_t value) {
  wchar_t text[32];
  if (row.decimals <= 0) {
    swprintf(text, 32, L"%d", value);
  } else {
    swprintf(text, 32, L"%.*f", int(row.decimals), double(value) / double(PowerOfTen(row.decimals)));
  }
  return text;
}

bool ParseSliderText(const SliderRow& row, const wchar_t* text, int32_t* value) {
  if (text == nullptr) return false;
  while (*text == L' ') ++text;
  bool negative = false;
  if (*text == L'+' || *text == L'-') negative = *text++ == L'-';
  int64_t whole = 0, fraction = 0;
  int digits = 0, fractionDigits = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text, ++digits) AppendDigit(&whole, *text);
  if (*text == L'.') {
    for (++text; *text >= L'0' && *text <= L'9'; ++text, ++digits) {
      // Digits beyond the row's decimals are truncated away.
      if (fractionDigits < row.decimals) {
        AppendDigit(&fraction, *text);
        ++fractionDigits;
      }
    }
  }
  if (digits == 0) return false;
  int64_t scaled = whole < kSaturation / PowerOfTen(row.decimals) ? whole * PowerOfTen(row.decimals) : kSaturation;
  scaled += fraction * PowerOfTen(row.decimals - fractionDigits);
  *value = ClampSliderValue(row, negative ? -scaled : scaled);
  return true;
}

int TextLimitOf(const SliderRow& row) {
  size_t longest = row.textLimit > 0 ? size_t(row.textLimit) : 0;
  for (int32_t end : {int32_t(row.minimum), int32_t(row.maximum)}) {
    size_t length = FormatSliderValue(row, end).size();
    if (length > longest) longest = length;
  }
  return int(longest);
}

bool IsValueBoxCharacter(wchar_t character) {
  return (character >= L'0' && character <= L'9') || character == L'\b' || character == L'+' || character == L'-' ||
         character == L'.';
}

int32_t SteppedSliderValue(const SliderRow& row, int32_t value, SliderKey key, bool ctrl, int repeat) {
  if (repeat < 1) repeat = 1;
  int64_t step = key == SLIDERKEY_PAGE_UP || key == SLIDERKEY_PAGE_DOWN ? row.pageStep : ctrl ? row.ctrlStep : row.lineStep;
  if (key == SLIDERKEY_DOWN || key == SLIDERKEY_PAGE_DOWN) step = -step;
  return ClampSliderValue(row, int64_t(value) + step * repeat);
}

int32_t TrackJumpValue(const SliderRow& row, int32_t current, const TrackGeometry& track, int x) {
  int64_t usable = int64_t(track.channelLength) - track.thumbWidth;
  if (usable <= 0) return ClampSliderValue(row, current);
  int64_t offset = int64_t(x) - track.thumbWidth / 2 - track.channelLeft;
  int64_t numerator = offset * (int64_t(row.maximum) - row.minimum) + usable / 2;
  // Division that rounds toward minus infinity, so that a press left of the channel stays left.
  int64_t steps = numerator >= 0 ? numerator / usable : -((-numerator + usable - 1) / usable);
  return ClampSliderValue(row, row.minimum + steps);
}
