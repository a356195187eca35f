// The colour scheme: the fixed colours of the four presets, the System scheme following the
// Windows colours, requests out of range refused, and the registry value read at load.
#include <gtest/gtest.h>

#include "SchemeRegistryGuard.h"
#include "TestSupport.h"
#include "ui/ColorScheme.h"
#include "ui/ObjectCache.h"

namespace {

struct FixedColors {
  uint32_t entry;
  COLORREF veryDark, dark, light, veryLight;
};

// The presets as the user sees them, COLORREF 0x00BBGGRR.
const FixedColors kExpected[] = {
    {8, 0xD0D0D0, 0xFFFFFF, 0x000000, 0x000000},  {13, 0xFF9933, 0xFF9933, 0xFF9933, 0xFF9933},
    {14, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}, {15, 0x343434, 0x585858, 0xB8B8B8, 0xD6D6D6},
    {16, 0x1E1E1E, 0x3A3A3A, 0x7D7D7D, 0x9E9E9E}, {18, 0x1E1E1E, 0x3A3A3A, 0x3A3A3A, 0x1E1E1E},
    {20, 0x454545, 0x666666, 0xAAAAAA, 0xCCCCCC}, {32, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF},
    {33, 0xD0D0D0, 0xFFFFFF, 0x000000, 0x000000}, {34, 0x1E1E1E, 0x3A3A3A, 0xEEEEEE, 0xF4F4F4},
    {36, 0x909090, 0xB0B0B0, 0xF0F0F0, 0xFFFFFF}, {37, 0x191919, 0x282828, 0x6C6C6C, 0x939393},
};

bool HasFixedColor(uint32_t entry) {
  for (const FixedColors& row : kExpected) {
    if (row.entry == entry) return true;
  }
  return false;
}


}  // namespace

class ColorSchemes : public ::testing::Test {
 protected:
  void TearDown() override {
    ApplyColorScheme(COLORSCHEME_DARK);
    DeleteThemeBrushes();
  }
};

TEST_F(ColorSchemes, PresetsHaveTheirFixedColoursAndZeroElsewhere) {
  for (uint32_t scheme = COLORSCHEME_VERY_DARK; scheme <= COLORSCHEME_VERY_LIGHT; ++scheme) {
    ASSERT_TRUE(ApplyColorScheme(scheme));
    EXPECT_EQ(GetCurrentColorScheme(), scheme);
    for (const FixedColors& row : kExpected) {
      const COLORREF expected[] = {row.veryDark, row.dark, row.light, row.veryLight};
      EXPECT_EQ(GetSchemeColor(row.entry), expected[scheme - COLORSCHEME_VERY_DARK]) << "entry " << row.entry << " scheme " << scheme;
    }
    for (uint32_t entry = 0; entry < SCHEMECOLOR_COUNT; ++entry) {
      if (!HasFixedColor(entry)) {
        EXPECT_EQ(GetSchemeColor(entry), 0u) << "entry " << entry << " scheme " << scheme;
      }
    }
  }
}

TEST_F(ColorSchemes, EntriesAboveThirtySevenAreBlack) {
  ASSERT_TRUE(ApplyColorScheme(COLORSCHEME_LIGHT));
  EXPECT_NE(GetSchemeColor(37), 0u);
  EXPECT_EQ(GetSchemeColor(38), 0u);
  EXPECT_EQ(GetSchemeColor(0xFFFFFFFF), 0u);
}

TEST_F(ColorSchemes, SystemSchemeFollowsWindowsIncludingTheBorrowedRoles) {
  ASSERT_TRUE(ApplyColorScheme(COLORSCHEME_SYSTEM_LIGHT));
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  bool dark = (GetRValue(face) + GetGValue(face) + GetBValue(face)) / 3 < 128;
  EXPECT_EQ(GetCurrentColorScheme(), dark ? COLORSCHEME_SYSTEM_DARK : COLORSCHEME_SYSTEM_LIGHT);
  for (int entry = 0; entry <= 30; ++entry) EXPECT_EQ(GetSchemeColor(entry), GetSysColor(entry)) << entry;
  const int borrowed[] = {8, 5, 8, 5, 21, 20, 16};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(GetSchemeColor(31 + i), GetSysColor(borrowed[i])) << 31 + i;
  // A request for the dark System scheme is decided by Windows too, not by the request.
  ASSERT_TRUE(ApplyColorScheme(COLORSCHEME_SYSTEM_DARK));
  EXPECT_EQ(GetCurrentColorScheme(), dark ? COLORSCHEME_SYSTEM_DARK : COLORSCHEME_SYSTEM_LIGHT);
}

TEST_F(ColorSchemes, ARequestAboveFiveFailsAndKeepsThePreviousScheme) {
  ASSERT_TRUE(ApplyColorScheme(COLORSCHEME_VERY_LIGHT));
  EXPECT_FALSE(ApplyColorScheme(6));
  EXPECT_FALSE(ApplyColorScheme(7));
  EXPECT_EQ(GetCurrentColorScheme(), uint32_t(COLORSCHEME_VERY_LIGHT));
  EXPECT_EQ(GetSchemeColor(SCHEMECOLOR_BACKGROUND), 0xD6D6D6u);
}

TEST_F(ColorSchemes, AStoredSevenLeavesThePreviousSchemeAndAStoredFourIsApplied) {
  StoredSchemeGuard guard;
  ASSERT_TRUE(ApplyColorScheme(COLORSCHEME_VERY_DARK));
  ASSERT_TRUE(SaveColorScheme(7));
  LoadColorScheme();
  EXPECT_EQ(GetCurrentColorScheme(), uint32_t(COLORSCHEME_VERY_DARK));
  ASSERT_TRUE(SaveColorScheme(COLORSCHEME_LIGHT));
  LoadColorScheme();
  EXPECT_EQ(GetCurrentColorScheme(), uint32_t(COLORSCHEME_LIGHT));
}

TEST_F(ColorSchemes, AValueOfTheWrongTypeIsReportedAndDarkApplied) {
  StoredSchemeGuard guard;
  ASSERT_TRUE(SaveColorScheme(COLORSCHEME_LIGHT));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kUIOptionsKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  const wchar_t text[] = L"4";
  RegSetValueExW(key, kColorSchemeValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  RegCloseKey(key);
  ApplyColorScheme(COLORSCHEME_VERY_LIGHT);
  ReportCapture capture;
  LoadColorScheme();
  EXPECT_EQ(GetCurrentColorScheme(), uint32_t(COLORSCHEME_DARK));
  EXPECT_TRUE(capture.HasReportContaining("Failed to read Color Scheme value in UI Options. : "));
}

TEST_F(ColorSchemes, TheBackgroundBrushIsCachedPerColour) {
  ASSERT_TRUE(ApplyColorScheme(COLORSCHEME_DARK));
  HBRUSH dark = GetSchemeBackgroundBrush();
  ASSERT_NE(dark, nullptr);
  EXPECT_EQ(GetSchemeBackgroundBrush(), dark);
  LOGBRUSH description{};
  ASSERT_EQ(GetObjectW(dark, sizeof description, &description), int(sizeof description));
  EXPECT_EQ(description.lbColor, 0x585858u);
  ASSERT_TRUE(ApplyColorScheme(COLORSCHEME_LIGHT));
  HBRUSH light = GetSchemeBackgroundBrush();
  EXPECT_NE(light, dark);
  ASSERT_TRUE(ApplyColorScheme(COLORSCHEME_DARK));
  EXPECT_EQ(GetSchemeBackgroundBrush(), dark) << "a scheme applied again reuses its brush";
}

TEST(ObjectCache, FindsCreatesAndDeletesBrushes) {
  DWORD before = CountGdiObjects();
  {
    CObjectCache cache;
    HGDIOBJ red = cache.GetNewObject(0x0000FF);
    HGDIOBJ blue = cache.GetNewObject(0xFF0000);
    ASSERT_NE(red, nullptr);
    EXPECT_NE(red, blue);
    EXPECT_EQ(cache.GetNewObject(0x0000FF), red);
    EXPECT_EQ(cache.CurrentObject(), red);
    EXPECT_EQ(cache.Count(), 2u);
    EXPECT_EQ(CountGdiObjects(), before + 2);
  }
  EXPECT_EQ(CountGdiObjects(), before) << "destroying the cache deletes its brushes";
}
