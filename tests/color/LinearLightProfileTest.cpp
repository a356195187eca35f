// Effect light carried to a display's primaries without its gamma: the conversion must be the
// primaries' matrix whatever the brightness, so that a faint spike tail keeps its share of a
// star's light on a wide-gamut display as on an sRGB one.
#include "color/LinearLightProfile.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>

#include "ProcessingFixture.h"
#include "color/ColorConversion.h"
#include "color/ColorProfiles.h"
#include "color/ProfileGamma.h"

namespace {

constexpr double kFull = 4294967294.0;

// A display of Adobe RGB (1998) primaries with the sRGB tone curve and its straight toe, as
// calibrated wide-gamut monitors are often profiled.
ColorProfile MakeWideGamutDisplay() {
  cmsCIExyY white = {0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  cmsToneCurve* gamma = cmsBuildParametricToneCurve(nullptr, 4, srgb);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  ColorProfile profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(gamma);
  return profile;
}

class LinearLightProfile : public ProcessingFixture {
 protected:
  void SetUp() override {
    ProcessingFixture::SetUp();
    ASSERT_TRUE(OpenProfilesFor(plugInModeRGBColor));
  }
  // One effect colour (fractions of one) converted from the linear working space to `target`.
  EffectColor Converted(double r, double g, double b, ColorProfile target) {
    EffectColor color{uint32_t(std::llround(r * kFull)), uint32_t(std::llround(g * kFull)),
                      uint32_t(std::llround(b * kFull)), uint32_t(kFull)};
    EXPECT_TRUE(ConvertColorList(&color, 1, LinearWorkingProfile(), target));
    return color;
  }
};

}  // namespace

TEST_F(LinearLightProfile, KeepsThePrimariesAndStraightensTheToneCurve) {
  ColorProfile display = MakeWideGamutDisplay();
  ColorProfile linear = CreateLinearLightProfile(display);
  ASSERT_NE(linear, nullptr);
  EXPECT_NEAR(QuantisedProfileGamma(linear), 1.0, 1e-9);
  // sRGB's primaries in Adobe RGB's linear values: red (0.7152, 0, 0), green (0.2848, 1, 0.0412).
  EffectColor red = Converted(0.5, 0, 0, linear);
  EXPECT_NEAR(red.red / kFull, 0.5 * 0.7152, 0.004);
  EXPECT_LT(red.green / kFull, 0.002);
  EXPECT_LT(red.blue / kFull, 0.002);
  EffectColor green = Converted(0, 0.5, 0, linear);
  EXPECT_NEAR(green.red / kFull, 0.5 * 0.2848, 0.004);
  EXPECT_NEAR(green.green / kFull, 0.5, 0.004);
  EXPECT_NEAR(green.blue / kFull, 0.5 * 0.0412, 0.004);
  cmsCloseProfile(linear);
  cmsCloseProfile(display);
}

// A gamma-encoded target read back through an estimated gamma bends faint colours of each range
// tier away from bright ones; a straight target keeps every brightness in proportion.
TEST_F(LinearLightProfile, FaintAndBrightColoursConvertInProportion) {
  ColorProfile display = MakeWideGamutDisplay();
  ColorProfile linear = CreateLinearLightProfile(display);
  ASSERT_NE(linear, nullptr);
  EffectColor bright = Converted(0.0, 0.6, 0.3, linear);
  for (double faint : {1e-3, 1e-4, 2e-5}) {
    EffectColor dim = Converted(0.0, 0.6 * faint, 0.3 * faint, linear);
    SCOPED_TRACE(faint);
    EXPECT_NEAR(double(dim.green) / (double(bright.green) * faint), 1.0, 0.03);
    EXPECT_NEAR(double(dim.red) / (double(bright.red) * faint), 1.0, 0.03);
  }
  cmsCloseProfile(linear);
  cmsCloseProfile(display);
}

TEST_F(LinearLightProfile, SrgbDisplayLeavesEffectLightAsItIs) {
  ColorProfile linear = CreateLinearLightProfile(StandardProfile());
  ASSERT_NE(linear, nullptr);
  EffectColor color = Converted(0.25, 0.5, 0.125, linear);
  EXPECT_NEAR(color.red / kFull, 0.25, 0.002);
  EXPECT_NEAR(color.green / kFull, 0.5, 0.002);
  EXPECT_NEAR(color.blue / kFull, 0.125, 0.002);
  cmsCloseProfile(linear);
}

TEST_F(LinearLightProfile, ProfilesWithoutPrimariesAreRefused) {
  EXPECT_EQ(CreateLinearLightProfile(nullptr), nullptr);
  ColorProfile gray = OpenLinearGrayProfile();
  ASSERT_NE(gray, nullptr);
  EXPECT_EQ(CreateLinearLightProfile(gray), nullptr);
  cmsCloseProfile(gray);
  ColorProfile lab = cmsCreateLab4Profile(nullptr);
  EXPECT_EQ(CreateLinearLightProfile(lab), nullptr);
  cmsCloseProfile(lab);
}

// The preview converts effect light only when the display's primaries differ from the working
// space's: an sRGB display, made apart from the working profile, is found alike; a display whose
// green lies elsewhere, or whose white differs, is not.
TEST_F(LinearLightProfile, OnlyADisplayWithOtherPrimariesOrWhiteNeedsAConversion) {
  ColorProfile srgb = CreateLinearLightProfile(StandardProfile());
  ASSERT_NE(srgb, nullptr);
  EXPECT_TRUE(HaveSameColorants(srgb, LinearWorkingProfile()));
  EXPECT_TRUE(HaveSameColorants(LinearWorkingProfile(), LinearWorkingProfile()));

  ColorProfile wide = MakeWideGamutDisplay();
  ColorProfile wideLinear = CreateLinearLightProfile(wide);
  ASSERT_NE(wideLinear, nullptr);
  EXPECT_FALSE(HaveSameColorants(wideLinear, LinearWorkingProfile()));

  cmsCIExyY warm = {0.3457, 0.3585, 1.0};  // D50 instead of D65, same primaries
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* straight = cmsBuildGamma(nullptr, 1.0);
  cmsToneCurve* curves[3] = {straight, straight, straight};
  ColorProfile warmWhite = cmsCreateRGBProfile(&warm, &primaries, curves);
  cmsFreeToneCurve(straight);
  EXPECT_FALSE(HaveSameColorants(warmWhite, LinearWorkingProfile()));

  ColorProfile gray = OpenLinearGrayProfile();
  EXPECT_FALSE(HaveSameColorants(gray, LinearWorkingProfile()));
  EXPECT_FALSE(HaveSameColorants(nullptr, LinearWorkingProfile()));
  for (ColorProfile p : {srgb, wide, wideLinear, warmWhite, gray}) cmsCloseProfile(p);
}
