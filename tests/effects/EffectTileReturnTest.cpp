// The return of the final render's light to the host's encoding, against the plain way of doing
// it: the tile as an image record in the host's mode and the working profile, converted in place
// to the host's profile through the cached transform and screened through the records' accessors.
// Sections: host profiles built as ICC bytes; the scene; the oracle over every profile and depth;
// the transform the light goes through.
#include <windows.h>
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "HostSession.h"
#include "support/HostRecordFixture.h"
#include "analysis/LightSourceAnalysis.h"
#include "color/ColorConversion.h"
#include "color/ColorProfiles.h"
#include "color/ImageProfile.h"
#include "effects/EffectShapes.h"
#include "effects/EffectTile.h"
#include "effects/ProcessImage.h"
#include "host/HostImage.h"
#include "params/ParameterBlock.h"
#include "params/ParameterBlockService.h"

namespace {

constexpr uint64_t kLinearFull = 0xFFFFFF;

// A host's profile as the host hands it over: ICC bytes. The profile is closed here.
std::vector<uint8_t> Saved(cmsHPROFILE profile) {
  std::vector<uint8_t> bytes;
  cmsUInt32Number size = 0;
  if (profile != nullptr && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
    bytes.resize(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
  }
  if (profile != nullptr) cmsCloseProfile(profile);
  return bytes;
}

cmsHPROFILE RgbProfile(const cmsCIExyYTRIPLE& primaries, cmsToneCurve* curve) {
  cmsCIExyY white = {0.3127, 0.3290, 1.0};
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = curve != nullptr ? cmsCreateRGBProfile(&white, &primaries, curves) : nullptr;
  if (curve != nullptr) cmsFreeToneCurve(curve);
  return profile;
}

// A curve that no power describes: a straight toe into a steeper power (the inverse of the
// Rec. 709 transfer), as 1024 samples.
cmsToneCurve* ToeCurve() {
  std::vector<cmsUInt16Number> table(1024);
  for (size_t i = 0; i < table.size(); ++i) {
    double v = double(i) / double(table.size() - 1);
    double linear = v < 0.081 ? v / 4.5 : std::pow((v + 0.099) / 1.099, 1 / 0.45);
    table[i] = cmsUInt16Number(std::lround(linear * 65535));
  }
  return cmsBuildTabulatedToneCurve16(nullptr, cmsUInt32Number(table.size()), table.data());
}

// The sRGB curve sampled, as many hosts' sRGB profiles hold it.
cmsToneCurve* SampledSrgbCurve() {
  std::vector<cmsUInt16Number> table(1024);
  for (size_t i = 0; i < table.size(); ++i) {
    double v = double(i) / double(table.size() - 1);
    double linear = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    table[i] = cmsUInt16Number(std::lround(linear * 65535));
  }
  return cmsBuildTabulatedToneCurve16(nullptr, cmsUInt32Number(table.size()), table.data());
}

// The working profile's twin, whose light passes unconverted.
std::vector<uint8_t> SrgbProfile() { return Saved(cmsCreate_sRGBProfile()); }
std::vector<uint8_t> SampledSrgbProfile() {
  return Saved(RgbProfile({{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}}, SampledSrgbCurve()));
}
// Adobe RGB's primaries, so that the primaries differ from the working space's too.
std::vector<uint8_t> Gamma18Profile() {
  return Saved(RgbProfile({{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}}, cmsBuildGamma(nullptr, 1.8)));
}
// DCI-P3's primaries.
std::vector<uint8_t> TabulatedProfile() {
  return Saved(RgbProfile({{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}}, ToeCurve()));
}
std::vector<uint8_t> GrayProfile() {
  cmsToneCurve* curve = ToeCurve();
  cmsHPROFILE profile = curve != nullptr ? cmsCreateGrayProfile(cmsD50_xyY(), curve) : nullptr;
  if (curve != nullptr) cmsFreeToneCurve(curve);
  return Saved(profile);
}

struct ReturnCase {
  const char* name;
  std::vector<uint8_t> (*profile)();
  int16 mode;
  bool alikeWorking;  // the host's profile is alike the working profile
};
void PrintTo(const ReturnCase& c, std::ostream* out) { *out << c.name; }

// clang-format off
const ReturnCase kReturnCases[] = {
  {"sRGB8",          SrgbProfile,        plugInModeRGBColor,  true },
  {"sRGB16",         SrgbProfile,        plugInModeRGB48,     true },
  {"SampledSrgb8",   SampledSrgbProfile, plugInModeRGBColor,  false},
  {"SampledSrgb16",  SampledSrgbProfile, plugInModeRGB48,     false},
  {"Gamma18_8",      Gamma18Profile,     plugInModeRGBColor,  false},
  {"Gamma18_16",     Gamma18Profile,     plugInModeRGB48,     false},
  {"Tabulated8",     TabulatedProfile,   plugInModeRGBColor,  false},
  {"Tabulated16",    TabulatedProfile,   plugInModeRGB48,     false},
  {"Gray8",          GrayProfile,        plugInModeGrayScale, false},
  {"Gray16",         GrayProfile,        plugInModeGray16,    false},
  {"Tabulated32",    TabulatedProfile,   plugInModeRGB96,     false},
  {"Gray32",         GrayProfile,        plugInModeGray32,    false},
};
// clang-format on

// A gradient from dark to middle grey (the screen's result depends on what lies under the light)
// with lights of several tints and sizes; grey documents take each light's brightest channel.
void PaintScene(DocumentImage* d) {
  struct Light {
    int64_t x, y, size;
    double tint[3];
  };
  const Light lights[] = {{60, 60, 3, {1.0, 1.0, 1.0}},   {150, 70, 5, {1.0, 0.85, 0.7}}, {300, 60, 3, {0.8, 0.9, 1.0}},
                          {100, 180, 2, {1.0, 1.0, 1.0}}, {250, 170, 4, {1.0, 0.75, 0.9}}};
  auto store = [d](int plane, int64_t x, int64_t y, double level) {
    uint8_t* p = d->Sample(plane, x, y);
    if (d->bytesPerSample == 1) {
      *p = uint8_t(std::lround(level * 255));
    } else if (d->bytesPerSample == 2) {
      uint16_t v = uint16_t(std::lround(level * 32768));
      memcpy(p, &v, 2);
    } else {
      float v = float(level);
      memcpy(p, &v, 4);
    }
  };
  for (int plane = 0; plane < d->colourPlanes; ++plane) {
    for (int64_t y = 0; y < d->height; ++y) {
      for (int64_t x = 0; x < d->width; ++x) store(plane, x, y, 0.02 + 0.4 * double(x) / d->width + 0.05 * double(y) / d->height);
    }
  }
  for (const Light& light : lights) {
    for (int plane = 0; plane < d->colourPlanes; ++plane) {
      double level = d->colourPlanes == 1 ? *std::max_element(light.tint, light.tint + 3) : light.tint[plane];
      for (int64_t y = light.y - light.size / 2; y < light.y - light.size / 2 + light.size; ++y) {
        for (int64_t x = light.x - light.size / 2; x < light.x - light.size / 2 + light.size; ++x) store(plane, x, y, level);
      }
    }
  }
}

class TileReturn : public HostRecordFixture, public testing::WithParamInterface<ReturnCase> {
 protected:
  void TearDown() override {
    ReleaseImage(&m_Before);
    ReleaseImage(&m_Reference);
    ReleaseImage(&m_TileImage);
    ReleaseEffectTile(&m_Tile);
    ReleaseEffectShapes();
    StopLightSourceAnalysis();
    BindCurrentParameterBlock(nullptr);
    HostRecordFixture::TearDown();
  }
  // The scene in a document of the mode, its profile embedded; then the image read, analysed and
  // the effect shapes prepared, as the start selector does before the render.
  void OpenScene(int16 mode, const std::vector<uint8_t>& profile) {
    HostDocument document;
    document.imageMode = mode;
    document.width = 360;
    document.height = 240;
    Open(document);
    DocumentImage image = m_Session->Image();
    PaintScene(&image);
    m_Session->SetImage(image, profile);
    m_Block = InitialParameterBlock();
    m_Block.quantity = 100;
    m_Block.softFlareIntensity = 60;  // wide, faint glows: every level from the darkest up
    BindCurrentParameterBlock(&m_Block);
    HostProfileSource source = HostProfileOfRecord();
    ASSERT_NE(source.profileHandle, nullptr) << "the host hands its profile over";
    ASSERT_EQ(source.profileSize, int32_t(profile.size()));
    ASSERT_TRUE(OpenProfiles());
    ASSERT_TRUE(ReadHostImage());
    ASSERT_TRUE(StartLightSourceAnalysis(gHostImage));
    ASSERT_TRUE(WaitForLightSourceAnalysis(INFINITE));
    ASSERT_TRUE(InitializeEffectTables());
    ASSERT_TRUE(Copy(gHostImage, &m_Before));
  }
  static bool Copy(const ImageRecord& image, ImageRecord* copy) {
    return CreateImage(copy, image.rectangle, image.allocation, image.mode, image.profile, image.HasMask(), false) &&
           CopyImage(image, copy, nullptr);
  }
  // The render's effects over the whole image in one tile, in one round, as linear light.
  void PaintReferenceTile() {
    ASSERT_TRUE(CreateEffectTileBuffer(&m_Tile, gHostImage.rectangle, gHostImage.rectangle.Height()));
    PhaseRound round;
    memset(round.roundOf, 0, sizeof round.roundOf);
    round.index = 0;
    round.last = true;
    ASSERT_TRUE(CreateEffectTile(&m_Tile, gEffectShapes.starParameters, round, nullptr));
  }
  // The tile written into a record of the host's mode in the working profile, converted in
  // place to the host's profile and screened onto the image as it was before the render.
  void ReturnTheReferenceWay() {
    const ImageRect& rect = m_Before.rectangle;
    ASSERT_TRUE(CreateImage(&m_TileImage, rect, rect, m_Before.mode, WorkingProfile(), false, false));
    auto linear = [](float v) { return uint32_t(std::lround(std::min(1.0, std::max(0.0, double(v))) * kLinearFull)); };
    for (int64_t y = rect.top; y < rect.bottom; ++y) {
      for (int64_t x = rect.left; x < rect.right; ++x) {
        const float* t = m_Tile.At(x, y);
        m_TileImage.writePixel(&m_TileImage, x, y, PixelValue{linear(t[0]), linear(t[1]), linear(t[2]), kFullFraction, kFullFraction});
      }
    }
    ASSERT_TRUE(ConvertColorOf(&m_TileImage, HostImageProfile(), false));
    ASSERT_TRUE(Copy(m_Before, &m_Reference));
    auto screen = [](uint32_t host, uint32_t light) {
      return uint32_t(host + (uint64_t(light) * (kLinearFull - host) + kLinearFull / 2) / kLinearFull);
    };
    for (int64_t y = rect.top; y < rect.bottom; ++y) {
      for (int64_t x = rect.left; x < rect.right; ++x) {
        PixelValue t, h;
        m_TileImage.readPixel(&m_TileImage, x, y, &t);
        m_Reference.readPixel(&m_Reference, x, y, &h);
        PixelValue screened{screen(h.red, t.red), screen(h.green, t.green), screen(h.blue, t.blue), kKeepSample, kKeepSample};
        m_Reference.writePixel(&m_Reference, x, y, screened);
      }
    }
  }
  // A sample as a fraction of full scale.
  static double Level(const ImageRecord& image, int64_t x, int64_t y, int sample) {
    const uint8_t* p = image.Pixel(x, y);
    if (image.bytesPerSample == 1) return p[sample] / 255.0;
    if (image.bytesPerSample == 2) {
      uint16_t v;
      memcpy(&v, p + 2 * sample, 2);
      return v / 65535.0;
    }
    float v;
    memcpy(&v, p + 4 * sample, 4);
    return v;
  }

  ParameterBlock m_Block{};
  ImageRecord m_Before, m_Reference, m_TileImage;
  EffectTile m_Tile{};
};

}  // namespace

// Within a level at 8 bits and a thousandth of full scale at 16 and 32, every colour sample of every
// pixel; and the effects are really there, in the dark and over the brighter background alike.
TEST_P(TileReturn, GivesThePictureOfTheTileConvertedAsAnImage) {
  const ReturnCase& param = GetParam();
  std::vector<uint8_t> profile = param.profile();
  ASSERT_FALSE(profile.empty());
  OpenScene(param.mode, profile);
  EXPECT_EQ(AreProfilesAlike(WorkingProfile(), HostImageProfile()), param.alikeWorking);
  ASSERT_EQ(ProcessImage(&gHostImage), 0);
  PaintReferenceTile();
  ReturnTheReferenceWay();
  const double tolerance = gHostImage.bytesPerSample == 1 ? 1.0 / 255 + 1e-9 : 0.001;
  const ImageRect& rect = gHostImage.rectangle;
  double worst = 0;
  int beyond = 0, lit = 0, litBright = 0;
  int64_t worstX = 0, worstY = 0;
  for (int64_t y = rect.top; y < rect.bottom; ++y) {
    for (int64_t x = rect.left; x < rect.right; ++x) {
      bool changed = false;
      for (int sample = 0; sample < 3; ++sample) {
        double delta = std::fabs(Level(gHostImage, x, y, sample) - Level(m_Reference, x, y, sample));
        beyond += delta > tolerance;
        if (delta > worst) worst = delta, worstX = x, worstY = y;
        changed |= Level(m_Reference, x, y, sample) != Level(m_Before, x, y, sample);
      }
      lit += changed;
      litBright += changed && x > rect.right / 2;
    }
  }
  EXPECT_EQ(beyond, 0) << "worst difference " << worst << " of full scale" << " at " << worstX << ", " << worstY;
  EXPECT_GT(lit, 5000) << "the effects were painted";
  EXPECT_GT(litBright, 1000) << "over the brighter half too";
}

INSTANTIATE_TEST_SUITE_P(HostProfiles, TileReturn, testing::ValuesIn(kReturnCases),
                         [](const testing::TestParamInfo<ReturnCase>& info) { return std::string(info.param.name); });

// The light goes through the very transform that converting a tile image of the host's mode in
// place would take from the cache, with the cache's intent and flags; between alike profiles
// through none.
class TileReturnTransform : public HostRecordFixture {
 protected:
  void OpenWith(int16 mode, const std::vector<uint8_t>& profile) {
    HostDocument document;
    document.imageMode = mode;
    document.width = 64;
    document.height = 32;
    Open(document);
    m_Session->SetImage(m_Session->Image(), profile);
    ASSERT_TRUE(OpenProfiles());
    ASSERT_TRUE(ReadHostImage());
  }
};

TEST_F(TileReturnTransform, IsTheCachedOneOfATileImageOfTheHostsMode) {
  for (int16 mode : {plugInModeRGBColor, plugInModeRGB48}) {
    SCOPED_TRACE(testing::Message() << "mode " << mode);
    OpenWith(mode, Gamma18Profile());
    LinearConversion conversion;
    ASSERT_TRUE(MakeLinearConversion(gHostImage, &conversion));
    EXPECT_FALSE(conversion.identity);
    ImageRecord tile;
    ASSERT_TRUE(CreateImage(&tile, gHostImage.rectangle, gHostImage.rectangle, mode, WorkingProfile(), false, false));
    uint32_t format = GetImageColorTransform(tile);
    EXPECT_EQ(GetColorTransform(WorkingProfile(), format, HostImageProfile(), format), conversion.transform);
    ReleaseImage(&tile);
    TearDown();
    SetUp();
  }
  OpenWith(plugInModeRGBColor, SrgbProfile());
  int cached = CachedTransformCount();
  LinearConversion conversion;
  ASSERT_TRUE(MakeLinearConversion(gHostImage, &conversion));
  EXPECT_TRUE(conversion.identity);
  EXPECT_EQ(conversion.transform, nullptr);
  EXPECT_EQ(CachedTransformCount(), cached) << "no transform is built for it";
}
