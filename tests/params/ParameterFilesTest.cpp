// Parameter set files in scratch data folders: versions and conversion, what is deleted and what
// is never touched, the selector's entries after Save and Load, Delete, and the last-used file.
#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"
#include "params/ParameterBlockService.h"
#include "params/ParameterFiles.h"
#include "params/SettingsSelector.h"
#include "support/DataFolders.h"
#include "support/FaultInjection.h"
#include "support/LogTestSupport.h"
#include "support/UserMessage.h"
#include "ui/ParameterSetFiles.h"

namespace {

std::wstring gChosenPath;  // what the stand-in file dialogs answer; empty: the user cancels
OPENFILENAMEW gLastDialog;

BOOL WINAPI ChooseFile(OPENFILENAMEW* dialog) {
  gLastDialog = *dialog;
  if (gChosenPath.empty()) return FALSE;
  wcsncpy(dialog->lpstrFile, gChosenPath.c_str(), dialog->nMaxFile - 1);
  return TRUE;
}

int gAnswer = IDOK;
std::string gQuestion;
int Answer(HWND, const char* text, const char*, UINT) {
  gQuestion = text;
  return gAnswer;
}

class ParameterFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Root = UseScratchDataFolders(L"parameterfiles");
    m_Elsewhere = MakeScratchFolder(L"elsewhere");
    m_Block = InitialParameterBlock();
    BindCurrentParameterBlock(&m_Block);
    SetFileDialogProcs(ChooseFile, ChooseFile);
    SetUserQuestionSink(Answer);
    gChosenPath.clear();
    gAnswer = IDOK;
  }
  void TearDown() override {
    ReleaseSettingsSelector(&m_Selector);
    SetFileDialogProcs(nullptr, nullptr);
    SetUserQuestionSink(nullptr);
    BindCurrentParameterBlock(nullptr);
    SetDataFolderRoots(nullptr, nullptr);
    RemoveFolderTree(m_Root);
    RemoveFolderTree(m_Elsewhere);
  }
  std::wstring InFolder(const wchar_t* name) { return std::wstring(GetParametersFolder()) + L"\\" + name; }
  // A stored record of a version with a Length, as an older version of the filter wrote it.
  static std::string StoredRecord(int16_t build, int16_t length, int16_t spikeSpread = 77) {
    ParameterBlock block = InitialParameterBlock();
    block.version.build = build;
    block.length = length;
    block.spikeSpread = spikeSpread;
    std::string bytes(255, '\0');
    memcpy(&bytes[0], &block, sizeof block);
    return bytes;
  }
  static ParameterBlock BlockOfFile(const std::wstring& path) {
    std::vector<uint8_t> bytes = ReadWholeFile(path);
    ParameterBlock block{};
    if (bytes.size() >= sizeof block) memcpy(&block, bytes.data(), sizeof block);
    return block;
  }
  static int BoxesTitled(const ReportCapture& capture, const std::string& title) {
    int count = 0;
    for (const CapturedBox& box : capture.Boxes()) count += box.title == title;
    return count;
  }

  std::wstring m_Root, m_Elsewhere;
  ParameterBlock m_Block{};
  SettingsSelector m_Selector;
};

}  // namespace

TEST_F(ParameterFiles, AnOlderFileInTheFolderIsConvertedRewrittenAndListedOnce) {
  ReportCapture capture;
  WriteWholeFile(InFolder(L"Old Glow.sss"), StoredRecord(5, 64));
  ASSERT_TRUE(InitializeSettingsSelector(&m_Selector));
  PopulateSettingsSelector(&m_Selector);
  ASSERT_EQ(m_Selector.entries.size(), 3u);
  EXPECT_EQ(m_Selector.entries[2].name, L"Old Glow");
  ParameterBlock converted = BlockOfRecord(*m_Selector.entries[2].record);
  EXPECT_EQ(converted.spikeSpread, 0) << "0.0.0.5 had no Spike Spread";
  EXPECT_EQ(converted.length, 64);
  ParameterBlock rewritten = BlockOfFile(InFolder(L"Old Glow.sss"));
  EXPECT_EQ(rewritten.version.build, 6);
  EXPECT_EQ(rewritten.spikeSpread, 0);
  EXPECT_EQ(ReadWholeFile(InFolder(L"Old Glow.sss")).size(), 255u);
  EXPECT_EQ(BoxesTitled(capture, "Parameter Set Conversion"), 1);
  // The next opening of the dialog finds a current file: no second message.
  ReleaseSettingsSelector(&m_Selector);
  ASSERT_TRUE(InitializeSettingsSelector(&m_Selector));
  PopulateSettingsSelector(&m_Selector);
  EXPECT_EQ(m_Selector.entries.size(), 3u);
  EXPECT_EQ(BoxesTitled(capture, "Parameter Set Conversion"), 1);
}

TEST_F(ParameterFiles, ObsoleteAndEmptyFilesInTheFolderAreReportedAndDeleted) {
  ReportCapture capture;
  WriteWholeFile(InFolder(L"Ancient.sss"), StoredRecord(4, 64));
  WriteWholeFile(InFolder(L"Empty.sss"), "");
  WriteWholeFile(InFolder(L"Good.sss"), StoredRecord(6, 70));
  WriteWholeFile(InFolder(L"Notes.sssx"), "not a set");
  ASSERT_TRUE(InitializeSettingsSelector(&m_Selector));
  PopulateSettingsSelector(&m_Selector);
  ASSERT_EQ(m_Selector.entries.size(), 3u);
  EXPECT_EQ(m_Selector.entries[2].name, L"Good");
  EXPECT_FALSE(FileExists(InFolder(L"Ancient.sss")));
  EXPECT_FALSE(FileExists(InFolder(L"Empty.sss")));
  EXPECT_TRUE(FileExists(InFolder(L"Notes.sssx"))) << "only .sss files are sets";
  EXPECT_EQ(BoxesTitled(capture, "Invalid Parameter Set"), 1);
  bool obsoleteTold = false;
  for (const CapturedBox& box : capture.Boxes()) {
    obsoleteTold |= box.text.find("(Major Version = '0', Minor Version = '0', Revision = '0', Build = '4')was saved in an obsolete "
                                  "format and cannot be converted. The file will be deleted.") != std::string::npos;
  }
  EXPECT_TRUE(obsoleteTold);
}

TEST_F(ParameterFiles, AFileFromElsewhereIsNeverModified) {
  ReportCapture capture;
  std::wstring ancient = m_Elsewhere + L"\\Ancient.sss", older = m_Elsewhere + L"\\Older.sss", empty = m_Elsewhere + L"\\Empty.sss";
  WriteWholeFile(ancient, StoredRecord(4, 64));
  WriteWholeFile(older, StoredRecord(5, 64));
  WriteWholeFile(empty, "");
  ASSERT_TRUE(InitializeSettingsSelector(&m_Selector));
  for (const std::wstring& path : {ancient, empty}) {
    gChosenPath = path;
    EXPECT_FALSE(LoadParameterSet(nullptr, &m_Selector));
    EXPECT_TRUE(FileExists(path));
  }
  EXPECT_EQ(m_Block.length, 50) << "the current settings have not been changed";
  bool unchangedTold = false;
  for (const CapturedBox& box : capture.Boxes()) {
    unchangedTold |= box.text.find("Your current settings have not been changed.") != std::string::npos;
  }
  EXPECT_TRUE(unchangedTold);
  gChosenPath = older;
  EXPECT_TRUE(LoadParameterSet(nullptr, &m_Selector));
  EXPECT_EQ(m_Block.length, 64);
  EXPECT_EQ(m_Block.spikeSpread, 0);
  EXPECT_EQ(m_Selector.entries.size(), 2u) << "an imported file gets no entry";
  EXPECT_EQ(m_Selector.selected, -1);
  EXPECT_EQ(BlockOfFile(older).version.build, 5) << "and is not rewritten";
}

TEST_F(ParameterFiles, SavingUnderAnExistingNameReplacesItsEntryAndSavingElsewhereAddsNone) {
  ASSERT_TRUE(InitializeSettingsSelector(&m_Selector));
  m_Block.length = 81;
  gChosenPath = InFolder(L"Night.sss");
  ASSERT_TRUE(SaveParameterSet(nullptr, &m_Selector));
  EXPECT_EQ(std::wstring(gLastDialog.lpstrTitle), L"Save Halvorn Pro 3 Parameter File");
  EXPECT_EQ(std::wstring(gLastDialog.lpstrInitialDir), std::wstring(GetParametersFolder()));
  EXPECT_EQ(std::wstring(gLastDialog.lpstrDefExt), L"sss");
  EXPECT_EQ(std::wstring(gLastDialog.lpstrFilter + 16), L" *.sss");
  EXPECT_EQ(gLastDialog.nMaxFile, 1000u);
  EXPECT_NE(gLastDialog.Flags & OFN_OVERWRITEPROMPT, 0u);
  gChosenPath = InFolder(L"Aurora.sss");
  ASSERT_TRUE(SaveParameterSet(nullptr, &m_Selector));
  ASSERT_EQ(m_Selector.entries.size(), 4u);
  EXPECT_EQ(m_Selector.entries[2].name, L"Aurora") << "entries are kept in name order";
  EXPECT_EQ(m_Selector.entries[3].name, L"Night");
  EXPECT_EQ(m_Selector.selected, 2);
  m_Block.length = 82;
  gChosenPath = InFolder(L"Night.sss");
  ASSERT_TRUE(SaveParameterSet(nullptr, &m_Selector));
  ASSERT_EQ(m_Selector.entries.size(), 4u) << "the entry is replaced, not added";
  EXPECT_EQ(BlockOfRecord(*m_Selector.entries[3].record).length, 82);
  EXPECT_EQ(BlockOfFile(InFolder(L"Night.sss")).length, 82);
  EXPECT_EQ(m_Selector.selected, 3);
  gChosenPath = m_Elsewhere + L"\\Shared.sss";
  ASSERT_TRUE(SaveParameterSet(nullptr, &m_Selector));
  EXPECT_TRUE(FileExists(gChosenPath));
  EXPECT_EQ(m_Selector.entries.size(), 4u);
  gChosenPath.clear();
  EXPECT_FALSE(SaveParameterSet(nullptr, &m_Selector)) << "the user cancelled";
}

TEST_F(ParameterFiles, LoadingFromTheFolderSelectsTheEntryAndDeleteAsksFirst) {
  ReportCapture capture;
  WriteWholeFile(InFolder(L"Comet.sss"), StoredRecord(6, 44));
  ASSERT_TRUE(InitializeSettingsSelector(&m_Selector));
  gChosenPath = InFolder(L"Comet.sss");
  ASSERT_TRUE(LoadParameterSet(nullptr, &m_Selector));
  EXPECT_EQ(std::wstring(gLastDialog.lpstrTitle), L"Load Halvorn Pro 3 Parameter File");
  EXPECT_EQ(m_Block.length, 44);
  ASSERT_EQ(m_Selector.entries.size(), 3u);
  EXPECT_EQ(m_Selector.selected, 2);
  gAnswer = IDCANCEL;
  DeleteParameterSet(nullptr, &m_Selector, 2);
  EXPECT_EQ(gQuestion, "The Halvorn Pro 3 saved parameter file 'Comet.sss' will be deleted.");
  EXPECT_EQ(m_Selector.entries.size(), 3u);
  EXPECT_TRUE(FileExists(InFolder(L"Comet.sss")));
  gAnswer = IDOK;
  DeleteParameterSet(nullptr, &m_Selector, 2);
  EXPECT_EQ(m_Selector.entries.size(), 2u);
  EXPECT_FALSE(FileExists(InFolder(L"Comet.sss")));
  DeleteParameterSet(nullptr, &m_Selector, kInitialSettingsEntry);
  EXPECT_EQ(m_Selector.entries.size(), 2u) << "the fixed entries cannot be deleted";
}

TEST_F(ParameterFiles, AnEntryOfAnotherVersionIsNotApplied) {
  ReportCapture capture;
  ASSERT_TRUE(InitializeSettingsSelector(&m_Selector));
  ParameterBlock block = InitialParameterBlock();
  block.version.build = 7;
  block.length = 99;
  AddOrReplaceSettingsEntry(&m_Selector, L"Future", NewParameterRecord(block));
  EXPECT_EQ(m_Block.length, 50);
  EXPECT_TRUE(capture.HasReport("Parameter Set version mismatch: Major Version = '0', Minor Version = '0', Revision = '0', Build = '7'"));
}

TEST_F(ParameterFiles, TheLastUsedFileIsAppliedConvertedOrRefused) {
  ReportCapture capture;
  EXPECT_FALSE(ReadLastUsedParameters()) << "no file yet";
  m_Block.length = 91;
  WriteLastUsedParameters();
  m_Block = InitialParameterBlock();
  EXPECT_TRUE(ReadLastUsedParameters());
  EXPECT_EQ(m_Block.length, 91);
  std::wstring path = std::wstring(GetSettingsFolder()) + L"\\LastSavedParameters.sss";
  WriteWholeFile(path, StoredRecord(5, 23));
  EXPECT_TRUE(ReadLastUsedParameters());
  EXPECT_EQ(m_Block.length, 23);
  EXPECT_EQ(m_Block.spikeSpread, 0);
  WriteWholeFile(path, StoredRecord(9, 11));
  EXPECT_FALSE(ReadLastUsedParameters());
  EXPECT_EQ(m_Block.length, 23);
  EXPECT_TRUE(capture.HasReport(
      "No parameter file conversion could be done, using defaults.  Stored version = 0.0.0.9, current version = 0.0.0.6\n"));
}

TEST_F(ParameterFiles, TheFolderTestComparesDriveAndDirectory) {
  EXPECT_TRUE(IsInParametersFolder(InFolder(L"x.sss").c_str()));
  EXPECT_TRUE(IsInParametersFolder((std::wstring(GetParametersFolder()) + L"\\..\\Parameters\\y.sss").c_str()));
  EXPECT_FALSE(IsInParametersFolder((m_Elsewhere + L"\\x.sss").c_str()));
  EXPECT_FALSE(IsInParametersFolder((std::wstring(GetParametersFolder()) + L"\\sub\\x.sss").c_str()));
}

TEST_F(ParameterFiles, AnOlderFileThatMemoryWasShortToConvertIsKeptAndConvertedLater) {
  ReportCapture capture;
  std::string older = StoredRecord(5, 64);
  WriteWholeFile(InFolder(L"Old Glow.sss"), older);
  ArmFault(FAULT_PARAMETER_CONVERSION_MEMORY);
  ASSERT_TRUE(InitializeSettingsSelector(&m_Selector));
  PopulateSettingsSelector(&m_Selector);
  DisarmFaults();
  EXPECT_EQ(m_Selector.entries.size(), 2u) << "no entry for a file that could not be read into memory";
  ASSERT_TRUE(FileExists(InFolder(L"Old Glow.sss"))) << "a user's preset was deleted because memory was short";
  std::vector<uint8_t> kept = ReadWholeFile(InFolder(L"Old Glow.sss"));
  EXPECT_EQ(std::string(kept.begin(), kept.end()), older);
  bool told = false;
  for (const CapturedBox& box : capture.Boxes()) {
    told |= box.text.find("could not be converted for lack of memory. The file has not been changed.") != std::string::npos;
    EXPECT_EQ(box.text.find("The file will be deleted."), std::string::npos) << box.text;
  }
  EXPECT_TRUE(told);

  // With memory to spare, the next opening converts it as usual.
  ReleaseSettingsSelector(&m_Selector);
  ASSERT_TRUE(InitializeSettingsSelector(&m_Selector));
  PopulateSettingsSelector(&m_Selector);
  ASSERT_EQ(m_Selector.entries.size(), 3u);
  EXPECT_EQ(BlockOfFile(InFolder(L"Old Glow.sss")).version.build, 6);
}

TEST_F(ParameterFiles, StoredValuesBeyondTheirRangesAreHeldToThemBeforeTheyAreKept) {
  ParameterBlock wild = InitialParameterBlock();
  wild.length = 32767;
  wild.numberOfPoints = 32767;
  wild.quantity = -3;
  wild.effectsOnly = 9;
  wild.effectType = FourCC("efT9");
  wild.spikeSpread = 12;
  std::string bytes(255, '\0');
  memcpy(&bytes[0], &wild, sizeof wild);

  // The last-used file of the current version, as a damaged or hand-made file would hold it.
  WriteWholeFile(std::wstring(GetSettingsFolder()) + L"\\LastSavedParameters.sss", bytes);
  ASSERT_TRUE(ReadLastUsedParameters());
  EXPECT_EQ(m_Block.length, 100);
  EXPECT_EQ(m_Block.numberOfPoints, 32);
  EXPECT_EQ(m_Block.quantity, 0);
  EXPECT_EQ(m_Block.effectsOnly, 1);
  EXPECT_EQ(m_Block.effectType, uint32_t(EFFECT_STANDARD_STAR));
  EXPECT_EQ(m_Block.spikeSpread, 12);

  // A set file's entry holds what applying it gives, so the selector knows it as current.
  WriteWholeFile(InFolder(L"Wild.sss"), bytes);
  ASSERT_TRUE(InitializeSettingsSelector(&m_Selector));
  PopulateSettingsSelector(&m_Selector);
  ASSERT_EQ(m_Selector.entries.size(), 3u);
  ParameterBlock kept = BlockOfRecord(*m_Selector.entries[2].record);
  EXPECT_EQ(kept.length, 100);
  EXPECT_EQ(kept.effectType, uint32_t(EFFECT_STANDARD_STAR));
  EXPECT_EQ(ParameterBlockService(PARAMSVC_EQUALS_CURRENT, m_Selector.entries[2].record), 1);
}
