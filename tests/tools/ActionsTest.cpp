// Actions and the last parameters through the reference host program, as a photographer meets
// them: a recorded run replayed over other images, an editor whose descriptors never match, and
// the order in which the host's registry, the last-used file and the defaults are consulted.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ImageFiles.h"
#include "TestSupport.h"

namespace {

ProcessResult RunFilterHost(const std::wstring& host, const std::wstring& arguments) {
  return RunProcess(L"\"" + host + L"\" \"" + BuiltPluginPath() + L"\" " + arguments);
}
ProcessResult RunFilterHost(const std::wstring& arguments) { return RunFilterHost(BuiltFilterHostPath(), arguments); }

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }
std::wstring Defaults() { return Quoted(ExamplesPath() + L"\\default-settings.txt"); }

std::string TextOf(const std::wstring& path) {
  std::vector<uint8_t> bytes = ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// The recorded line of a key ("Lngt UntF #Prc 70"), or empty.
std::string LineOf(const std::string& recording, const std::string& key) {
  size_t at = recording.find(key + " ");
  if (at == std::string::npos) return "";
  return recording.substr(at, recording.find('\n', at) - at);
}

class Actions : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_Folder = MakeScratchFolder(L"actions");
  }
  void TearDown() override {
    RemoveFolderTree(m_Folder);
    CoUninitialize();
  }
  std::wstring Path(const wchar_t* name) { return m_Folder + L"\\" + name; }
  std::wstring m_Folder;
};

// The filter's last-used file in the user's data folder, set aside for a test and put back.
class LastUsedFileAside {
 public:
  LastUsedFileAside() {
    wchar_t local[MAX_PATH];
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    m_Path = std::wstring(local) + L"\\Vellbrook\\HalvornPro3\\Settings\\LastSavedParameters.sss";
    m_Existed = FileExists(m_Path);
    if (m_Existed) m_Saved = ReadWholeFile(m_Path);
    DeleteFileW(m_Path.c_str());
  }
  ~LastUsedFileAside() {
    if (m_Existed) WriteWholeFile(m_Path, std::string(m_Saved.begin(), m_Saved.end()));
    else DeleteFileW(m_Path.c_str());
  }
  const std::wstring& Path() const { return m_Path; }

 private:
  std::wstring m_Path;
  bool m_Existed = false;
  std::vector<uint8_t> m_Saved;
};

}  // namespace

TEST_F(Actions, ARecordedRunReplaysWithTheSameParametersAndOverTheSameImageTheSamePixels) {
  ProcessResult first = RunFilterHost(L"--size 400x300 --play " + Defaults() + L" --set Lngt=70 --set stEf=efT1 --set Angl=12.5 --out " +
                                      Quoted(Path(L"first.png")) + L" --record " + Quoted(Path(L"first.txt")));
  ASSERT_EQ(first.exitCode, 0) << first.output;
  std::string recording = TextOf(Path(L"first.txt"));
  EXPECT_EQ(LineOf(recording, "Lngt"), "Lngt UntF #Prc 70");
  EXPECT_EQ(LineOf(recording, "stEf"), "stEf enum efTy efT1");
  EXPECT_EQ(LineOf(recording, "Angl"), "Angl UntF #Ang 12.5");
  EXPECT_EQ(std::count(recording.begin(), recording.end(), '\n'), 14);

  ProcessResult other = RunFilterHost(L"--size 350x250 --play " + Quoted(Path(L"first.txt")) + L" --record " + Quoted(Path(L"other.txt")));
  ASSERT_EQ(other.exitCode, 0) << other.output;
  EXPECT_EQ(TextOf(Path(L"other.txt")), recording);
  EXPECT_EQ(other.output.find("Incomplete Settings"), std::string::npos) << other.output;

  ProcessResult again = RunFilterHost(L"--size 400x300 --play " + Quoted(Path(L"first.txt")) + L" --out " + Quoted(Path(L"again.png")));
  ASSERT_EQ(again.exitCode, 0) << again.output;
  DocumentImage a, b;
  ImageFileInfo info;
  std::string error;
  ASSERT_TRUE(LoadImageFile(Path(L"first.png"), 8, -1, &a, &info, &error)) << error;
  ASSERT_TRUE(LoadImageFile(Path(L"again.png"), 8, -1, &b, &info, &error)) << error;
  EXPECT_EQ(a.planes, b.planes);
}

TEST_F(Actions, AnIncompleteActionWarnsInEveryEditorButTheSpecialOnes) {
  HostRunTurn turn;
  LastUsedFileAside aside;
  std::string partial = TextOf(ExamplesPath() + L"\\default-settings.txt");
  partial.replace(partial.find("Lngt UntF #Prc 50"), 17, "Lngt UntF #Prc 87");
  partial.erase(partial.find("spsP UntF #Prc 50"), 18);
  WriteWholeFile(Path(L"partial.txt"), partial);
  std::wstring arguments = L"--size 200x150 --play " + Quoted(Path(L"partial.txt")) + L" --record " + Quoted(Path(L"recorded.txt"));

  ProcessResult ordinary = RunFilterHost(arguments);
  ASSERT_EQ(ordinary.exitCode, 0) << ordinary.output;
  EXPECT_NE(ordinary.output.find("Incomplete Settings"), std::string::npos) << ordinary.output;
  EXPECT_NE(ordinary.output.find("filterhost: the plug-in's error string: The settings provided by the editor do not match"),
            std::string::npos)
      << "a silent replay reports through the error string";
  EXPECT_EQ(LineOf(TextOf(Path(L"recorded.txt")), "Lngt"), "Lngt UntF #Prc 87");
  EXPECT_EQ(LineOf(TextOf(Path(L"recorded.txt")), "spsP"), "spsP UntF #Prc 50");

  // A copy of the host where that editor lives: Windows reports its path as the executable's.
  std::wstring editor = Path(L"Corel PaintShop Pro X6");
  CreateDirectoryW(editor.c_str(), nullptr);
  std::wstring copy = editor + L"\\Corel PaintShop Pro.exe";
  ASSERT_TRUE(CopyFileW(BuiltFilterHostPath().c_str(), copy.c_str(), FALSE));
  DeleteFileW(aside.Path().c_str());  // the special editor's run starts from the defaults
  ProcessResult special = RunFilterHost(copy, arguments);
  ASSERT_EQ(special.exitCode, 0) << special.output;
  EXPECT_EQ(special.output.find("Incomplete Settings"), std::string::npos) << special.output;
  EXPECT_EQ(LineOf(TextOf(Path(L"recorded.txt")), "Lngt"), "Lngt UntF #Prc 50") << "nothing read is applied";
}

TEST_F(Actions, TheLastParametersComeFromTheRegistryThenTheLastUsedFileThenTheDefaults) {
  HostRunTurn turn;  // no other run may write the last-used file meanwhile
  LastUsedFileAside aside;
  std::wstring profile = L" --profile " + Quoted(Path(L"profile"));
  std::wstring record = L" --record " + Quoted(Path(L"run.txt"));
  auto length = [this] { return LineOf(TextOf(Path(L"run.txt")), "Lngt"); };
  auto run = [](const std::wstring& arguments) {
    ProcessResult result = RunFilterHost(L"--size 160x120 " + arguments);
    EXPECT_EQ(result.exitCode, 0) << result.output;
  };

  run(L"--play " + Defaults() + L" --set Lngt=71" + profile);
  run(L"--no-registry --play " + Defaults() + L" --set Lngt=73");
  run(profile + record);
  EXPECT_EQ(length(), "Lngt UntF #Prc 71") << "the registry comes first";

  run(L"--no-registry --play " + Defaults() + L" --set Lngt=73");
  run(L"--no-registry" + record);
  EXPECT_EQ(length(), "Lngt UntF #Prc 73") << "without a registry, the last-used file";

  DeleteFileW(aside.Path().c_str());
  run(L"--no-registry" + record);
  EXPECT_EQ(length(), "Lngt UntF #Prc 50") << "without either, the initial defaults";

  // A registry entry of a later version: the defaults, and the last-used file is not consulted.
  run(L"--no-registry --play " + Defaults() + L" --set Lngt=73");
  std::string entry = TextOf(Path(L"profile") + L"\\734294A4-1CE5-49C7-A3A4-39D01A5DBEF2.descriptor");
  ASSERT_EQ(entry.rfind("PBlk tdta 0000000000000600", 0), 0u) << entry;
  entry.replace(10, 16, "0000000000000700");
  WriteWholeFile(Path(L"profile") + L"\\734294A4-1CE5-49C7-A3A4-39D01A5DBEF2.descriptor", entry);
  run(profile + record);
  EXPECT_EQ(length(), "Lngt UntF #Prc 50");
}
