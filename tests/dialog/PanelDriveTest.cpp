// The parameter panel worked through the system's input queue by the reference host's `--drive`:
// what is typed, stepped with keys, moved on a track bar, chosen in the lists and loaded through
// the settings menu's file dialogs reaches the recorded action and the image at OK.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "FilePixels.h"
#include "TestSupport.h"
#include "params/ParameterBlock.h"

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class PanelDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_Folder = MakeScratchFolder(L"paneldrive");
  }
  void TearDown() override {
    RemoveFolderTree(m_Folder);
    CoUninitialize();
  }
  std::wstring Path(const wchar_t* name) const { return m_Folder + L"\\" + name; }
  ProcessResult Drive(const std::string& script, const std::wstring& arguments) const {
    WriteWholeFile(Path(L"script.drive"), script);
    return RunFilterHostWithInitialSettings(L"--drive \"" + Path(L"script.drive") + L"\" " + arguments);
  }
  // The recorded action's line for a key ("Lngt UntF #Prc 80"), or "" when it has none.
  std::string RecordedLine(const char* key) const {
    std::vector<uint8_t> bytes = ReadWholeFile(Path(L"action.txt"));
    std::string text(bytes.begin(), bytes.end());
    size_t at = text.find(std::string(key) + " ");
    return at == std::string::npos ? "" : text.substr(at, text.find('\n', at) - at);
  }

  std::wstring m_Folder;
};

// The user's own Parameters folder, which the plug-in's file dialogs start in.
std::wstring UserParametersFolder() {
  wchar_t local[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
  return std::wstring(local) + L"\\Vellbrook\\HalvornPro3\\Parameters";
}

// How two pictures differ, for the message of a failed comparison.
std::string DifferingSamples(const FilePixels& a, const FilePixels& b) {
  if (a.width != b.width || a.height != b.height || a.samples.size() != b.samples.size())
    return "sizes " + std::to_string(a.width) + "x" + std::to_string(a.height) + " and " + std::to_string(b.width) + "x" +
           std::to_string(b.height);
  size_t differing = 0;
  int largest = 0;
  for (size_t i = 0; i < a.samples.size(); ++i) {
    int difference = std::abs(int(a.samples[i]) - int(b.samples[i]));
    differing += difference != 0;
    largest = std::max(largest, difference);
  }
  return std::to_string(differing) + " of " + std::to_string(a.samples.size()) + " bytes differ, by up to " +
         std::to_string(largest);
}

}  // namespace

TEST_F(PanelDrive, TypedSteppedAndMovedValuesReachTheActionAndOkPaintsThem) {
  ProcessResult driven = Drive(
      "wait-idle\n"
      "set Lngt 80\n"
      "set Angl 12.345\n"
      "expect 1009 12.3\n"
      // Q focuses Quantity with its text selected; 150 is more than it takes; a comma is refused.
      "key Q 1 5 0 , tab\n"
      "expect 1025 100\n"
      "select-style Star Burst\n"
      "expect 1011 14\n"
      "key N ctrl+up\n"
      "expect 1011 16\n"
      "key S pgdn pgdn\n"
      "expect 1022 30\n"
      "set-track Intn 30\n"
      "set-track Angl -90\n"
      "set opsO 1\n"
      "wait-idle\n"
      "press OK\n",
      L"--record \"" + Path(L"action.txt") + L"\" --out \"" + Path(L"driven.png") + L"\"");
  ASSERT_EQ(driven.exitCode, 0) << driven.output;
  SCOPED_TRACE("the driven run printed:\n" + driven.output);
  // The changes queued previews: the last wait showed a later frame than the first.
  const std::string kFrame = "drive: wait-idle: ok frame ";
  size_t first = driven.output.find(kFrame), last = driven.output.rfind(kFrame);
  ASSERT_NE(first, std::string::npos) << driven.output;
  EXPECT_GT(atol(driven.output.c_str() + last + kFrame.size()), atol(driven.output.c_str() + first + kFrame.size()))
      << driven.output;
  EXPECT_EQ(RecordedLine("Lngt"), "Lngt UntF #Prc 80");
  EXPECT_EQ(RecordedLine("qntY"), "qntY UntF #Prc 100");
  EXPECT_EQ(RecordedLine("stEf"), "stEf enum efTy efT6");
  EXPECT_EQ(RecordedLine("numP"), "numP long 16");
  EXPECT_EQ(RecordedLine("spsH"), "spsH UntF #Prc 30");
  EXPECT_EQ(RecordedLine("Intn"), "Intn UntF #Prc 30");
  EXPECT_EQ(RecordedLine("Angl"), "Angl UntF #Ang -90");
  EXPECT_EQ(RecordedLine("opsO"), "opsO bool 1");
  // What the panel shows at OK is what a silent run of the same settings paints.
  ProcessResult silent = RunFilterHostWithInitialSettings(
      L"--play-info silent --set Lngt=80 --set qntY=100 --set stEf=efT6 --set numP=16 --set spsH=30 --set Intn=30 "
      L"--set Angl=-90 --set opsO=1 --out \"" + Path(L"silent.png") + L"\"");
  ASSERT_EQ(silent.exitCode, 0) << silent.output;
  FilePixels fromDialog, fromSilentRun;
  ASSERT_TRUE(ReadPngForTest(Path(L"driven.png"), &fromDialog));
  ASSERT_TRUE(ReadPngForTest(Path(L"silent.png"), &fromSilentRun));
  EXPECT_TRUE(fromDialog.samples == fromSilentRun.samples)
      << "the dialog's OK painted other settings than it recorded: " << DifferingSamples(fromDialog, fromSilentRun);
}

TEST_F(PanelDrive, SettingsAreSavedLoadedConvertedAndDeletedThroughTheMenu) {
  std::wstring name = L"panel-drive-" + std::to_wstring(GetCurrentProcessId());
  std::wstring stored = UserParametersFolder() + L"\\" + name + L".sss";
  DeleteFileW(stored.c_str());
  // A set of the older version elsewhere: its Spike Spread meant nothing and loads as 0.
  ParameterBlock older = InitialParameterBlock();
  older.version = kConvertibleParameterVersion;
  older.length = 33;
  older.spikeSpread = 77;
  ParameterRecord* record = NewParameterRecord(older);
  ASSERT_NE(record, nullptr);
  WriteWholeFile(Path(L"older.sss"), std::string(reinterpret_cast<const char*>(record->bytes), sizeof record->bytes));
  FreeParameterRecord(record);
  std::string entry = Narrow(name);
  ProcessResult run = Drive(
      "wait-idle\n"
      "set Lngt 77\n"
      "set spsP 20\n"
      "menu Save Settings...\n"
      "file " + entry + ".sss\n"
      "expect 1023 " + entry + "\n"
      "set Lngt 20\n"
      "expect 1023 \"\"\n"
      "menu Load Settings...\n"
      "file " + Narrow(Path(L"older.sss")) + "\n"
      "expect 1007 33\n"
      "expect 1032 0\n"
      "settings " + entry + "\n"
      "expect 1007 77\n"
      "expect 1032 20\n"
      "menu Delete Settings\n"
      "expect 1023 \"\"\n"
      "press OK\n",
      L"--record \"" + Path(L"action.txt") + L"\"");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("drive: menu Save Settings...: ok"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("message box: 'Delete Halvorn Pro 3 Parameter File' - 'The Halvorn Pro 3 saved parameter file '" +
                            entry + ".sss' will be deleted.'"),
            std::string::npos)
      << run.output;
  EXPECT_FALSE(FileExists(stored)) << "Delete removed the stored set's file";
  EXPECT_EQ(ReadWholeFile(Path(L"older.sss")).size(), 255u) << "a set from elsewhere is read, never rewritten";
  EXPECT_EQ(RecordedLine("Lngt"), "Lngt UntF #Prc 77");
  EXPECT_EQ(RecordedLine("spsP"), "spsP UntF #Prc 20");
  DeleteFileW(stored.c_str());
}
