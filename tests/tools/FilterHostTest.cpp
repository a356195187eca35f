// The reference host as a separate program: first and repeat runs of the built plug-in in every
// host profile, the about selector, tracing, and refusals with clear errors.
#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "DocumentImage.h"
#include "ImageFiles.h"
#include "TestSupport.h"

namespace {

// The initial settings are played first, so that a run does not depend on what the last run of
// another test left as the filter's last parameters; --set values change what they name.
ProcessResult RunHost(const std::wstring& arguments) {
  std::wstring defaults = L" --play \"" + ExamplesPath() + L"\\default-settings.txt\" ";
  return RunProcess(L"\"" + BuiltFilterHostPath() + L"\" \"" + BuiltPluginPath() + L"\"" + defaults + arguments);
}

size_t Count(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

}  // namespace

TEST(FilterHost, FirstRunThenRepeatRunsInEveryProfile) {
  for (const wchar_t* profile : {L"photoshop", L"pdn", L"pspi", L"affinity"}) {
    ProcessResult run = RunHost(std::wstring(L"--dialog --repeat 2 --trace --host-profile ") + profile);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Count(run.output, "trace: PluginMain(parameters)\n"), 1u);
    EXPECT_EQ(Count(run.output, "trace: PluginMain(start) returned 0 (success)"), 3u);
    EXPECT_EQ(Count(run.output, "trace: PluginMain(finish) returned 0 (success)"), 3u);
    EXPECT_NE(run.output.find("filterhost: done"), std::string::npos);
    EXPECT_EQ(run.output.find("misuses"), std::string::npos);
  }
}

TEST(FilterHost, AboutShowsTheBoxThatTheHostAnswers) {
  ProcessResult run = RunHost(L"--about");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("about box: 'About Halvorn Pro 3' - 'Halvorn Pro 3 - star and diffraction effects Version 3.0.1.0"),
            std::string::npos)
      << run.output;
}

TEST(FilterHost, RefusesWhatThePluginDoesNotEnable) {
  ProcessResult tooLarge = RunHost(L"--size 40000x100");
  EXPECT_EQ(tooLarge.exitCode, 1);
  EXPECT_NE(tooLarge.output.find("filterhost: the document is larger than the plug-in's maximum size"), std::string::npos)
      << tooLarge.output;
  ProcessResult notPlugin = RunProcess(L"\"" + BuiltFilterHostPath() + L"\" \"" + BuiltFilterHostPath() + L"\"");
  EXPECT_EQ(notPlugin.exitCode, 1);
  EXPECT_NE(notPlugin.output.find("filterhost: the module has no PIPL resource"), std::string::npos) << notPlugin.output;
  ProcessResult badOption = RunHost(L"--host-profile gimp");
  EXPECT_EQ(badOption.exitCode, 64);
}

namespace {

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

}  // namespace

// The imaging component is a COM server: the test thread joins an apartment to make files.
class FilterHostFiles : public ::testing::Test {
 protected:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(FilterHostFiles, ImageFilesRoundTripThroughTheHostAtEveryDepth) {
  std::wstring folder = MakeScratchFolder(L"files");
  struct Case {
    int colourPlanes;
    bool alpha;
    int bytes;
    const wchar_t* name;
  };
  for (const Case& c : {Case{3, true, 1, L"rgba8.png"}, Case{1, false, 1, L"gray8.png"}, Case{3, false, 2, L"rgb16.png"},
                        Case{3, true, 2, L"rgba16.tif"}, Case{3, false, 4, L"rgb32.tif"}, Case{1, false, 4, L"gray32.pfm"}}) {
    DocumentImage original = MakeTestDocument(45, 23, c.colourPlanes, c.alpha, c.bytes, false);
    std::string error;
    std::wstring in = folder + L"\\in-" + c.name, out = folder + L"\\out-" + c.name;
    ASSERT_TRUE(SaveImageFile(in, original, {}, &error)) << error;
    ProcessResult run = RunHost(L"--in " + Quoted(in) + L" --out " + Quoted(out));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    DocumentImage written;
    ImageFileInfo info;
    ASSERT_TRUE(LoadImageFile(out, c.bytes * 8, c.colourPlanes == 1 ? 1 : 0, &written, &info, &error)) << error;
    EXPECT_EQ(written.width, 45);
    EXPECT_EQ(info.alpha, c.alpha);
    for (int p = 0; p < original.Planes(); ++p) EXPECT_EQ(written.planes[size_t(p)], original.planes[size_t(p)]) << p;
  }
  RemoveFolderTree(folder);
}

TEST_F(FilterHostFiles, BadInputGivesOneLineAndNoOutput) {
  std::wstring folder = MakeScratchFolder(L"badfiles");
  std::wstring out = folder + L"\\out.png";
  ProcessResult missing = RunHost(L"--in " + Quoted(folder + L"\\missing.png") + L" --out " + Quoted(out));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("filterhost: cannot read the image file"), std::string::npos) << missing.output;
  WriteWholeFile(folder + L"\\text.png", "this is not an image at all");
  ProcessResult text = RunHost(L"--in " + Quoted(folder + L"\\text.png") + L" --out " + Quoted(out));
  EXPECT_EQ(text.exitCode, 1);
  DocumentImage picture = MakeTestDocument(64, 64, 3, false, 1, false);
  std::string error;
  ASSERT_TRUE(SaveImageFile(folder + L"\\whole.png", picture, {}, &error)) << error;
  std::vector<uint8_t> bytes = ReadWholeFile(folder + L"\\whole.png");
  WriteWholeFile(folder + L"\\truncated.png", std::string(bytes.begin(), bytes.begin() + long(bytes.size() / 2)));
  ProcessResult truncated = RunHost(L"--in " + Quoted(folder + L"\\truncated.png") + L" --out " + Quoted(out));
  EXPECT_EQ(truncated.exitCode, 1) << truncated.output;
  EXPECT_FALSE(FileExists(out));
  EXPECT_FALSE(FileExists(out + L".partial"));
  DocumentImage deep = MakeTestDocument(8, 8, 3, false, 4, false);
  EXPECT_FALSE(SaveImageFile(out, deep, {}, &error));
  EXPECT_EQ(error, "32-bit documents are written as TIFF or float maps: name a .tif or .pfm output");
  EXPECT_FALSE(FileExists(out));
  RemoveFolderTree(folder);
}

TEST_F(FilterHostFiles, AMaskFileSelectsAndMustFitTheDocument) {
  std::wstring folder = MakeScratchFolder(L"maskfiles");
  std::string error;
  ASSERT_TRUE(SaveImageFile(folder + L"\\in.png", MakeTestDocument(40, 20, 3, false, 1, false), {}, &error)) << error;
  ASSERT_TRUE(SaveImageFile(folder + L"\\mask.png", MakeTestDocument(40, 20, 1, false, 1, false), {}, &error)) << error;
  ASSERT_TRUE(SaveImageFile(folder + L"\\small.png", MakeTestDocument(30, 20, 1, false, 1, false), {}, &error)) << error;
  ProcessResult fits = RunHost(L"--in " + Quoted(folder + L"\\in.png") + L" --mask " + Quoted(folder + L"\\mask.png"));
  EXPECT_EQ(fits.exitCode, 0) << fits.output;
  ProcessResult wrong = RunHost(L"--in " + Quoted(folder + L"\\in.png") + L" --mask " + Quoted(folder + L"\\small.png"));
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_NE(wrong.output.find("filterhost: the mask is 30x20 but the document is 40x20"), std::string::npos) << wrong.output;
  RemoveFolderTree(folder);
}

// The filter end to end on an image file: the reference host's test picture carries a small
// highlight every 97 columns and 89 rows (from 40, 30).
TEST_F(FilterHostFiles, TheFilterPaintsStarsAndTheSettingsReachIt) {
  std::wstring folder = MakeScratchFolder(L"render");
  std::string error;
  DocumentImage picture = MakeTestDocument(300, 200, 3, false, 1, false);
  std::wstring in = folder + L"\\in.png";
  ASSERT_TRUE(SaveImageFile(in, picture, {}, &error)) << error;
  auto render = [&](const std::wstring& settings, DocumentImage* result) {
    std::wstring out = folder + L"\\out.png";
    DeleteFileW(out.c_str());
    ProcessResult run = RunHost(L"--in " + Quoted(in) + L" --out " + Quoted(out) + L" --set qntY=100 " + settings);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    ImageFileInfo info;
    return LoadImageFile(out, 8, 0, result, &info, &error);
  };
  DocumentImage stars, none, black;
  ASSERT_TRUE(render(L"", &stars)) << error;
  size_t above = size_t(30 - 6) * 300 + 137;  // on the upward spike of the highlight at (137, 30)
  EXPECT_GT(stars.planes[1][above], picture.planes[1][above] + 10);
  ASSERT_TRUE(render(L"--set Lngt=0", &none)) << error;
  EXPECT_EQ(none.planes, picture.planes) << "Length 0 draws nothing";
  ASSERT_TRUE(render(L"--set qntY=0 --set opsO=1", &black)) << error;
  for (int p = 0; p < 3; ++p) {
    for (uint8_t v : black.planes[size_t(p)]) ASSERT_EQ(v, 0) << "Effects Only without a visible light is black";
  }
  ProcessResult bad = RunHost(L"--in " + Quoted(in) + L" --set Xyzw=3");
  EXPECT_EQ(bad.exitCode, 64);
  EXPECT_NE(bad.output.find("--set: unknown key 'Xyzw'"), std::string::npos) << bad.output;
  RemoveFolderTree(folder);
}

// A host that serves plane ranges from plane 0 whatever plane they start at: the filter's output
// file is byte for byte the one of a host that serves them as asked, stars in every channel.
namespace {

// A sample in the host's levels: 0..255, 0..32768 or the float itself.
double SampleLevel(const DocumentImage& image, int plane, int64_t index) {
  const uint8_t* p = image.planes[size_t(plane)].data() + index * image.bytesPerSample;
  if (image.bytesPerSample == 1) return *p;
  if (image.bytesPerSample == 2) return p[0] | p[1] << 8;
  float f;
  memcpy(&f, p, sizeof f);
  return f;
}

}  // namespace

TEST_F(FilterHostFiles, AHostServingPlaneRangesFromPlaneZeroRendersTheSamePicture) {
  std::wstring folder = MakeScratchFolder(L"planeranges");
  struct Case {
    int colourPlanes;
    bool alpha;
    int bytes;
    const wchar_t* name;
  };
  for (const Case& c : {Case{3, false, 1, L"rgb8.png"}, Case{3, true, 2, L"rgba16.tif"}, Case{1, false, 4, L"gray32.pfm"}}) {
    DocumentImage picture = MakeTestDocument(300, 200, c.colourPlanes, c.alpha, c.bytes, false);
    std::string error;
    std::wstring in = folder + L"\\in-" + c.name, asked = folder + L"\\asked-" + c.name, fromZero = folder + L"\\zero-" + c.name;
    ASSERT_TRUE(SaveImageFile(in, picture, {}, &error)) << error;
    std::wstring common = L"--in " + Quoted(in) + L" --tile 128 --set qntY=100 --out ";
    ProcessResult normal = RunHost(common + Quoted(asked));
    ASSERT_EQ(normal.exitCode, 0) << normal.output;
    ProcessResult quirky = RunHost(common + Quoted(fromZero) + L" --quirk planes-from-zero");
    ASSERT_EQ(quirky.exitCode, 0) << quirky.output;
    DocumentImage rendered, reference;
    ImageFileInfo info;
    ASSERT_TRUE(LoadImageFile(fromZero, c.bytes * 8, c.colourPlanes == 1 ? 1 : 0, &rendered, &info, &error)) << error;
    ASSERT_TRUE(LoadImageFile(asked, c.bytes * 8, c.colourPlanes == 1 ? 1 : 0, &reference, &info, &error)) << error;
    // Two runs of the filter may differ by a level in a few samples (float sums of effects whose
    // light sources the analysis measured a hair apart); a plane served wrongly differs everywhere.
    ASSERT_EQ(rendered.Planes(), reference.Planes());
    int apart = 0;
    double worst = 0;
    for (int p = 0; p < reference.Planes(); ++p) {
      for (int64_t i = 0; i < int64_t(reference.width) * reference.height; ++i) {
        double a = SampleLevel(reference, p, i), b = SampleLevel(rendered, p, i);
        apart += a != b;
        worst = std::max(worst, std::fabs(a - b));
      }
    }
    EXPECT_LE(worst, c.bytes == 4 ? 1e-4 : 1.0) << "levels apart at most";
    EXPECT_LE(apart, reference.width * reference.height / 1000) << "samples apart";
    for (int p = 0; p < c.colourPlanes; ++p) {
      EXPECT_NE(rendered.planes[size_t(p)], picture.planes[size_t(p)]) << "stars in plane " << p;
    }
  }
  ProcessResult unknown = RunHost(L"--quirk planes-from-one");
  EXPECT_EQ(unknown.exitCode, 64);
  RemoveFolderTree(folder);
}

TEST_F(FilterHostFiles, CancellingTheRenderWritesNoFile) {
  std::wstring folder = MakeScratchFolder(L"rendercancel");
  std::string error;
  std::wstring in = folder + L"\\in.png", out = folder + L"\\out.png";
  ASSERT_TRUE(SaveImageFile(in, MakeTestDocument(900, 600, 3, false, 1, false), {}, &error)) << error;
  ProcessResult run = RunHost(L"--in " + Quoted(in) + L" --out " + Quoted(out) + L" --cancel-at 60");
  EXPECT_EQ(run.exitCode, 2) << run.output;
  EXPECT_FALSE(FileExists(out));
  RemoveFolderTree(folder);
}

// The bundled photograph: the Pleiades, whose bright blue stars get stars of their own colour.
TEST_F(FilterHostFiles, ThePhotographOfTheSampleGetsStars) {
  std::wstring folder = MakeScratchFolder(L"sample");
  std::wstring in = ExamplesPath() + L"\\pleiades.png", out = folder + L"\\pleiades.png";
  ProcessResult run = RunHost(L"--in " + Quoted(in) + L" --out " + Quoted(out));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  DocumentImage before, after;
  ImageFileInfo info;
  std::string error;
  ASSERT_TRUE(LoadImageFile(in, 8, 0, &before, &info, &error)) << error;
  ASSERT_TRUE(LoadImageFile(out, 8, 0, &after, &info, &error)) << error;
  ASSERT_EQ(after.width, before.width);
  size_t brighter = 0, darker = 0, pixels = before.planes[0].size();
  for (size_t i = 0; i < pixels; ++i) {
    int rise = int(after.planes[2][i]) - int(before.planes[2][i]);
    brighter += rise > 8 ? 1 : 0;
    darker += rise < 0 ? 1 : 0;
  }
  EXPECT_GT(brighter, pixels / 100) << "stars spread over the sky";
  EXPECT_LT(brighter, pixels / 2) << "but not over all of it";
  EXPECT_EQ(darker, 0u) << "effects never darken";
  RemoveFolderTree(folder);
}
