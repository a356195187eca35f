// The options dialog as a user meets it in the reference host: F10 opens it
// over the main dialog, a new OpenGL option brings its notice, the choices
// persist into the next run, where choosing the stored option again brings no
// notice, and the main dialog takes the new scheme at once.
#include <gtest/gtest.h>

#include <string>

#include "MachineSettingsFixture.h"
#include "TestSupport.h"
#include "preview/OpenGLSettings.h"
#include "ui/ColorScheme.h"
#include "ui/SchemeRegistryGuard.h"

namespace {

constexpr char kQualityNotice[] =
    "message box: 'Please Note' - 'The OpenGL drawing setting you have chosen, "
    "'Optimize for better display quality', "
    "will take effect the next time the plug-in is started.'";

class OptionsDrive : public MachineSettingsFixture {
 protected:
  OptionsDrive() : MachineSettingsFixture(L"optionsdrive") {}
  ProcessResult Drive(const char *script) {
    WriteWholeFile(Path(L"options.drive"), script);
    return RunFilterHostWithInitialSettings(L"--drive \"" + Path(L"options.drive") + L"\" --out \"" + Path(L"out.png") +
                                            L"\"");
  }
  int StoredOption() {
    OpenGLSettingsRecord settings;
    ReadOpenGLRegistryData(&settings);
    return settings.storedDrawingMode;
  }
  DWORD StoredScheme() {
    DWORD value = 0xFFFF, size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, kUIOptionsKey, kColorSchemeValue, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
  }
  StoredSchemeGuard m_SchemeGuard;
};

}  // namespace

TEST_F(OptionsDrive, ChoicesAreStoredNoticedAndKeptForTheNextRun) {
  StoreSetting(OPTIMIZE_FOR_COMPATIBILITY);
  ASSERT_TRUE(SaveColorScheme(COLORSCHEME_DARK));
  ProcessResult first = Drive(
      "options\n"
      "choose 1189\n"
      "choose 1240\n"
      "press 1199\n"
      "expect 1191 Configure\n"  // the main dialog again, once the options have closed
      "press Cancel\n");
  EXPECT_EQ(first.exitCode, 2) << "the drive ends with Cancel\n" << first.output;
  EXPECT_NE(first.output.find(kQualityNotice), std::string::npos) << first.output;
  EXPECT_EQ(StoredOption(), OPTIMIZE_FOR_QUALITY);
  EXPECT_EQ(StoredScheme(), DWORD(COLORSCHEME_VERY_LIGHT));

  // The next run opens on the stored choices: choosing the stored option again
  // is no change.
  ProcessResult second = Drive(
      "options\n"
      "choose 1189\n"
      "choose 1235\n"
      "press 1199\n"
      "press Cancel\n");
  EXPECT_EQ(second.exitCode, 2) << second.output;
  EXPECT_NE(second.output.find("drive: press 1199: ok"), std::string::npos) << second.output;
  EXPECT_EQ(second.output.find("'Please Note'"), std::string::npos) << second.output;
  EXPECT_EQ(StoredOption(), OPTIMIZE_FOR_QUALITY);
  EXPECT_EQ(StoredScheme(), DWORD(COLORSCHEME_SYSTEM_LIGHT));
}
