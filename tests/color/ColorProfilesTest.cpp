// The profiles of a run, the grayscale resource profile, the transform cache and display profiles.
#include "color/ColorProfiles.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <vector>

#include "ProcessingFixture.h"
#include "TestSupport.h"
#include "color/TransformCache.h"
#include "core/GammaTables.h"
#include "core/RunResult.h"
#include "preview/DisplayProfiles.h"
#include "resource.h"

namespace {

std::vector<uint8_t> LinearGrayProfileBytes() {
  HMODULE module = GetModuleHandleW(nullptr);  // the resources are linked into the test too
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDR_LINEAR_COLOR_PROFILE), MAKEINTRESOURCEW(10));
  if (resource == nullptr) return {};
  const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, resource)));
  return std::vector<uint8_t>(bytes, bytes + SizeofResource(module, resource));
}

uint32_t BigEndian32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

char* LockBytes(char** handle, unsigned char) { return *handle; }
void UnlockBytes(char**) {}

}  // namespace

class ColorRun : public ProcessingFixture {};

TEST(LinearGrayProfile, HeaderTagsAndCurveAreAsDescribed) {
  std::vector<uint8_t> bytes = LinearGrayProfileBytes();
  ASSERT_EQ(bytes.size(), 912u);
  EXPECT_EQ(BigEndian32(bytes, 0), 912u);
  EXPECT_EQ(BigEndian32(bytes, 8), 0x02100000u);
  EXPECT_EQ(memcmp(&bytes[12], "prtrGRAYXYZ ", 12), 0);
  EXPECT_EQ(memcmp(&bytes[24], "\x07\xDB\x00\x03\x00\x03", 6), 0) << "created 2011-03-03";
  EXPECT_EQ(memcmp(&bytes[36], "acspMSFT", 8), 0);
  EXPECT_EQ(BigEndian32(bytes, 128), 5u);
  cmsHPROFILE profile = cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size()));
  ASSERT_NE(profile, nullptr);
  EXPECT_EQ(cmsGetColorSpace(profile), cmsSigGrayData);
  EXPECT_EQ(cmsGetDeviceClass(profile), cmsSigOutputClass);
  char description[64] = {};
  cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", description, sizeof description);
  EXPECT_STREQ(description, "Default Grayscale Profile");
  const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigGrayTRCTag));
  ASSERT_NE(curve, nullptr);
  ASSERT_EQ(cmsGetToneCurveEstimatedTableEntries(curve), 256u);
  const cmsUInt16Number* entries = cmsGetToneCurveEstimatedTable(curve);
  for (int j = 0; j <= 5; ++j) EXPECT_EQ(entries[j], 16 * j);
  EXPECT_EQ(entries[16], 534);
  EXPECT_EQ(entries[128], 19795);
  EXPECT_EQ(entries[255], 65535);
  const auto* white = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigMediaWhitePointTag));
  ASSERT_NE(white, nullptr);
  EXPECT_NEAR(white->X, 0.9642, 1e-4);
  EXPECT_NEAR(EstimateProfileGamma(profile), 1.74, 0.1);
  cmsCloseProfile(profile);
  ClearProfileGammaEstimates();
}

TEST_F(ColorRun, WithoutAHostProfileGrayGetsTheResourceAndColourGetsSrgb) {
  ASSERT_TRUE(OpenProfilesFor(plugInModeGray16));
  EXPECT_EQ(cmsGetColorSpace(HostImageProfile()), cmsSigGrayData);
  EXPECT_EQ(cmsGetColorSpace(GrayscaleWorkingProfile()), cmsSigGrayData);
  EXPECT_EQ(cmsGetColorSpace(LinearWorkingProfile()), cmsSigRgbData);
  EXPECT_NEAR(EstimateProfileGamma(LinearWorkingProfile()), 1.0, 0.05);
  TerminateColorConversion();
  EXPECT_EQ(HostImageProfile(), nullptr);
  ASSERT_TRUE(OpenProfilesFor(plugInModeRGBColor));
  EXPECT_EQ(cmsGetColorSpace(HostImageProfile()), cmsSigRgbData);
}

TEST_F(ColorRun, TheHostsProfileIsCopiedAndOpened) {
  cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
  cmsHPROFILE gray = cmsCreateGrayProfile(cmsD50_xyY(), cmsBuildGamma(nullptr, 1.8));
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(gray, nullptr, &size);
  std::vector<char> bytes(size);
  cmsSaveProfileToMem(gray, bytes.data(), &size);
  char* data = bytes.data();
  HostProfileSource host{&data, int32_t(size), LockBytes, UnlockBytes, 3};
  ASSERT_TRUE(InitializeColorConversion(host));
  EXPECT_EQ(cmsGetColorSpace(HostImageProfile()), cmsSigGrayData) << "the host's profile wins over the mode's default";
  EXPECT_NEAR(EstimateProfileGamma(HostImageProfile()), 1.8, 0.05);
  cmsCloseProfile(gray);
  cmsCloseProfile(lab);
}

TEST_F(ColorRun, TransformsAreCachedByKeyAndThe33rdIsUsedButNotKept) {
  ReportCapture capture;
  ASSERT_TRUE(OpenProfilesFor(plugInModeRGBColor));
  ColorTransform first = GetColorTransform(HostImageProfile(), TYPE_RGBA_8, WorkingProfile(), TYPE_RGBA_8);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetColorTransform(HostImageProfile(), TYPE_RGBA_8, WorkingProfile(), TYPE_RGBA_8), first);
  const uint32_t formats[] = {TYPE_RGBA_8, TYPE_BGRA_8, TYPE_RGBA_16, TYPE_RGBA_FLT, TYPE_RGBA_HALF_FLT, TYPE_RGB_16};
  int distinct = 1;
  for (uint32_t in : formats) {
    for (uint32_t out : formats) {
      if (distinct == kTransformCacheSize) break;
      if (in == TYPE_RGBA_8 && out == TYPE_RGBA_8) continue;
      ASSERT_NE(GetColorTransform(HostImageProfile(), in, LinearWorkingProfile(), out), nullptr);
      ++distinct;
    }
  }
  EXPECT_EQ(CachedTransformCount(), kTransformCacheSize);
  EXPECT_FALSE(capture.HasReport("Transform cache table size exceeded."));
  ColorTransform extra = GetColorTransform(GrayscaleWorkingProfile(), 0x30189, WorkingProfile(), TYPE_RGBA_8);
  ASSERT_NE(extra, nullptr);
  uint8_t gray[4] = {255, 0, 0, 0}, rgbOut[4] = {};
  cmsDoTransform(extra, gray, rgbOut, 1);
  EXPECT_GE(rgbOut[0], 250);
  EXPECT_TRUE(capture.HasReport("Transform cache table size exceeded."));
}

TEST_F(ColorRun, FormatsFollowTheProfilesColourSpace) {
  ASSERT_TRUE(OpenProfilesFor(plugInModeGrayScale));
  EXPECT_EQ(AdjustFormatToProfile(TYPE_BGRA_8, GrayscaleWorkingProfile()), 0x30189u);
  EXPECT_EQ(AdjustFormatToProfile(TYPE_RGBA_16, GrayscaleWorkingProfile()), 0x3018Au);
  EXPECT_EQ(AdjustFormatToProfile(TYPE_RGBA_FLT, GrayscaleWorkingProfile()), 0x43018Cu);
  EXPECT_EQ(AdjustFormatToProfile(0x30189, WorkingProfile()), uint32_t(TYPE_RGBA_8));
  EXPECT_EQ(AdjustFormatToProfile(TYPE_RGBA_HALF_FLT, GrayscaleWorkingProfile()), uint32_t(TYPE_RGBA_HALF_FLT));
}

// The preview asks for the display profile at every template and quad build: a monitor without
// one is looked up and reported once per run, not at every slider step.
TEST_F(ColorRun, AMonitorWithoutAProfileIsShownInSrgbAtGamma22AndReportedOnce) {
  ASSERT_TRUE(OpenProfilesFor(plugInModeRGBColor));
  CloseDisplayProfiles();
  ReportCapture capture;
  double gamma = 0;
  ColorProfile display = InitializeDisplayColorConversion(&gamma);
  ASSERT_NE(display, nullptr);
  bool withoutProfile = display == StandardProfile();
  if (withoutProfile) {
    EXPECT_DOUBLE_EQ(gamma, 2.2);
  } else {
    EXPECT_GT(gamma, 0.5);  // a machine whose monitor has a profile
  }
  for (int ask = 0; ask < 5; ++ask) {
    double again = 0;
    EXPECT_EQ(InitializeDisplayColorConversion(&again), display);
    EXPECT_DOUBLE_EQ(again, gamma);
  }
  size_t reported = 0;
  for (const CapturedReport& report : capture.Reports()) {
    reported += report.text == "Could not get a display color profile for the current monitor." ? 1 : 0;
  }
  EXPECT_EQ(reported, withoutProfile ? 1u : 0u);
  // A new run asks the monitor again.
  CloseDisplayProfiles();
  EXPECT_EQ(InitializeDisplayColorConversion(nullptr), display);
  CloseDisplayProfiles();
}

namespace {

cmsHPROFILE ReopenedProfile(cmsHPROFILE profile, std::vector<uint8_t>* bytes) {
  cmsUInt32Number size = 0;
  if (profile == nullptr || !cmsSaveProfileToMem(profile, nullptr, &size)) return nullptr;
  bytes->resize(size);
  if (!cmsSaveProfileToMem(profile, bytes->data(), &size)) return nullptr;
  return cmsOpenProfileFromMem(bytes->data(), size);
}

}  // namespace

// A profile made apart from another, at another time or read back from a host's bytes, is alike
// when it describes the same colours; a change of curve or of kind is not.
TEST(ProfileLikeness, TheSameColoursAreAlikeWheneverAndHoweverTheProfileWasMade) {
  cmsHPROFILE working = cmsCreate_sRGBProfile();
  cmsHPROFILE twin = cmsCreate_sRGBProfile();
  cmsSetHeaderFlags(twin, cmsEmbeddedProfileTrue);  // a header field that says nothing of colours
  std::vector<uint8_t> bytes;
  cmsHPROFILE fromHost = ReopenedProfile(twin, &bytes);
  cmsCIExyY white = {0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* power = cmsBuildGamma(nullptr, 2.2);
  cmsToneCurve* curves[3] = {power, power, power};
  cmsHPROFILE sameSpacePowerCurve = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsHPROFILE gray = cmsCreateGrayProfile(cmsD50_xyY(), power);
  cmsFreeToneCurve(power);
  ASSERT_NE(fromHost, nullptr);
  EXPECT_TRUE(AreProfilesAlike(working, working));
  EXPECT_TRUE(AreProfilesAlike(working, twin));
  EXPECT_TRUE(AreProfilesAlike(working, fromHost));
  EXPECT_FALSE(AreProfilesAlike(working, sameSpacePowerCurve));
  EXPECT_FALSE(AreProfilesAlike(working, gray));
  EXPECT_FALSE(AreProfilesAlike(working, nullptr));
  EXPECT_FALSE(AreProfilesAlike(nullptr, nullptr));
  for (cmsHPROFILE profile : {working, twin, fromHost, sameSpacePowerCurve, gray}) cmsCloseProfile(profile);
}
