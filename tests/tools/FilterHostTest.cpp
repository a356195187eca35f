// The reference host as a separate program: first and repeat runs of the built plug-in in every
// host profile, the about selector, tracing, and refusals with clear errors.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

ProcessResult RunHost(const std::wstring& arguments) {
  return RunProcess(L"\"" + BuiltFilterHostPath() + L"\" \"" + BuiltPluginPath() + L"\" " + arguments);
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
  EXPECT_NE(run.output.find("message box: 'About Halvorn Pro 3'"), std::string::npos) << run.output;
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
