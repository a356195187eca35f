// The host's descriptor read at start and written at finish, through the reference host's
// descriptor procedures: what is applied, when the dialog is asked for, what the user is told.
#include <gtest/gtest.h>

#include <cstring>

#include "Descriptors.h"
#include "HostHandleSuite.h"
#include "TestSupport.h"
#include "host/ScriptParameters.h"
#include "params/ParameterBlockService.h"
#include "support/HostRecordFixture.h"

namespace {

constexpr char kIncomplete[] =
    "The settings provided by the editor do not match the expected set.  Some settings may have been set to defaults.";

// A whole set as the filter records it, with values away from the defaults.
Descriptor FullSet() {
  Descriptor set;
  std::string error;
  EXPECT_TRUE(ParseDescriptor("opsO bool 1\nstEf enum efTy efT4\nqntY UntF #Prc 150\nIntn UntF #Prc 80.9\nLngt UntF #Prc 61\n"
                              "Angl UntF #Ang 12.37\nnumP long 9\nspsH UntF #Prc 40\nStrt UntF #Prc 20\nrbwI UntF #Prc 10\n"
                              "rbwF UntF #Prc 70\nsspI UntF #Prc 25\nsflB UntF #Prc 35\nspsP UntF #Prc 65\n",
                              &set, &error))
      << error;
  return set;
}

Descriptor Without(Descriptor set, const char (&key)[5]) {
  for (auto i = set.begin(); i != set.end(); ++i) {
    if (i->key == FourCC(key)) {
      set.erase(i);
      break;
    }
  }
  return set;
}

class Scripting : public HostRecordFixture {
 protected:
  void TearDown() override {
    BindCurrentParameterBlock(nullptr);
    HostRecordFixture::TearDown();
  }
  // A session whose host offers the descriptor with the play info; the current block starts as
  // the restored last parameters would leave it.
  void Offer(const Descriptor& descriptor, int16 playInfo) {
    HostOptions options;
    options.offerDescriptor = true;
    options.play = descriptor;
    options.playInfo = playInfo;
    Open(HostDocument{}, options);
    m_Block = InitialParameterBlock();
    m_Block.length = 33;  // what the last run left
    BindCurrentParameterBlock(&m_Block);
  }
  bool Read(bool showDialog = false) {
    EXPECT_EQ(ReadScriptParametersUI(&showDialog), 0);
    return showDialog;
  }
  std::string ErrorString() {
    const unsigned char* text = m_Session->Record()->errorString[0];
    return std::string(reinterpret_cast<const char*>(text + 1), text[0]);
  }
  // The descriptor that the finish selector's writer left with the host.
  Descriptor Written() {
    Descriptor written;
    EXPECT_TRUE(m_Session->RecordedDescriptor(&written));
    return written;
  }
  ParameterBlock m_Block{};
};

}  // namespace

TEST_F(Scripting, ACompleteSetIsTakenAsItIsAndThePlayInfoDecidesTheDialog) {
  ReportCapture capture;
  Offer(FullSet(), plugInDialogSilent);
  EXPECT_FALSE(Read(true)) << "silent play runs without the dialog, whatever the flag said";
  EXPECT_EQ(m_Block.effectsOnly, 1);
  EXPECT_EQ(m_Block.effectType, uint32_t(EFFECT_NORTH_STAR));
  EXPECT_EQ(m_Block.quantity, 100) << "a value beyond its range takes the nearer end";
  EXPECT_EQ(m_Block.intensity, 80) << "percentages are truncated";
  EXPECT_EQ(m_Block.length, 61);
  EXPECT_EQ(m_Block.angle, 123) << "12.37 degrees are 123 tenths";
  EXPECT_EQ(m_Block.numberOfPoints, 9);
  EXPECT_EQ(m_Block.spikeSpread, 65);
  EXPECT_EQ(m_Block.softFlareIntensity, 35);
  EXPECT_TRUE(capture.Boxes().empty());
  EXPECT_EQ(m_Session->Record()->errorString[0][0], 0);
  TearDown();
  SetUp();
  Offer(FullSet(), plugInDialogDisplay);
  EXPECT_TRUE(Read(false)) << "play info 1 shows the dialog";
  EXPECT_EQ(m_Block.angle, 123);
}

TEST_F(Scripting, AMissingKeyWarnsAppliesTheRestAndSilentlySetsTheErrorString) {
  ReportCapture capture;
  Offer(Without(FullSet(), "spsP"), plugInDialogSilent);
  EXPECT_FALSE(Read(true));
  EXPECT_EQ(m_Block.spikeSpread, 50) << "the missing value takes the initial default";
  EXPECT_EQ(m_Block.length, 61) << "the thirteen others are applied";
  EXPECT_EQ(m_Block.angle, 123);
  ASSERT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(capture.Boxes()[0].title, "Incomplete Settings");
  EXPECT_EQ(capture.Boxes()[0].text, kIncomplete);
  EXPECT_EQ(ErrorString(), kIncomplete);
  EXPECT_EQ(m_Session->Record()->errorString[0][0], 112);
  for (int16 playInfo : {plugInDialogDisplay, plugInDialogDontDisplay}) {
    TearDown();
    SetUp();
    Offer(Without(FullSet(), "spsP"), playInfo);
    EXPECT_TRUE(Read(false)) << "play info " << playInfo << " shows the dialog";
    EXPECT_EQ(m_Session->Record()->errorString[0][0], 0) << "only silent play reports through the error string";
  }
}

TEST_F(Scripting, AnUnknownKeyOrAValueOfTheWrongTypeMakesTheSetIncomplete) {
  ReportCapture capture;
  Descriptor extra = FullSet();
  DescriptorItem unknown;
  unknown.key = FourCC("Zzzz"), unknown.type = typeInteger, unknown.integer = 3;
  extra.push_back(unknown);
  Offer(extra, plugInDialogSilent);
  Read();
  EXPECT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(m_Block.length, 61) << "the known values are still applied";
  TearDown();
  SetUp();
  capture.Clear();
  Descriptor wrongType = Without(FullSet(), "numP");
  DescriptorItem points;
  points.key = FourCC("numP"), points.type = typeUnitFloat, points.qualifier = unitPercent, points.number = 9;
  wrongType.push_back(points);
  Offer(wrongType, plugInDialogSilent);
  Read();
  EXPECT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(m_Block.numberOfPoints, 6) << "a value that cannot be read keeps the default";
}

// Without a descriptor, or with one that holds no key at all, the restored parameters stay.
TEST_F(Scripting, NothingToReadKeepsTheRestoredParametersAndThePlayInfoStillDecides) {
  ReportCapture capture;
  Offer(Descriptor{}, plugInDialogSilent);
  EXPECT_FALSE(Read(true)) << "a silent replay of an empty action stays silent, even on a first run";
  EXPECT_EQ(m_Block.length, 33);
  EXPECT_TRUE(capture.Boxes().empty());
  TearDown();
  SetUp();
  Offer(Descriptor{}, plugInDialogDisplay);
  EXPECT_TRUE(Read(false));
  EXPECT_EQ(m_Block.length, 33);
  TearDown();
  SetUp();
  HostOptions options;
  Open(HostDocument{}, options);
  m_Block = InitialParameterBlock();
  m_Block.length = 33;
  BindCurrentParameterBlock(&m_Block);
  EXPECT_FALSE(Read(false));
  EXPECT_TRUE(Read(true));
  EXPECT_EQ(m_Block.length, 33);
  options.descriptorParameters = false;
  TearDown();
  SetUp();
  Open(HostDocument{}, options);
  BindCurrentParameterBlock(&m_Block);
  EXPECT_EQ(WriteFinalScriptParameters(), kHostInsufficient);
}

TEST_F(Scripting, TheFinishWritesEveryKeyInTableOrderAndReadsBackTheSame) {
  Offer(FullSet(), plugInDialogSilent);
  Read();
  ASSERT_EQ(WriteFinalScriptParameters(), 0);
  EXPECT_EQ(FormatDescriptor(Written()),
            "opsO bool 1\nstEf enum efTy efT4\nqntY UntF #Prc 100\nIntn UntF #Prc 80\nLngt UntF #Prc 61\nAngl UntF #Ang 12.3\n"
            "numP long 9\nspsH UntF #Prc 40\nStrt UntF #Prc 20\nrbwI UntF #Prc 10\nrbwF UntF #Prc 70\nsspI UntF #Prc 25\n"
            "sflB UntF #Prc 35\nspsP UntF #Prc 65\n");
  ParameterBlock first = m_Block;
  m_Block = InitialParameterBlock();
  Read();
  EXPECT_TRUE(SameParameterValues(m_Block, first)) << "what was written reads back as the same values";
}

namespace {

OSErr FailingPutUnitFloat(PIWriteDescriptor, DescriptorKeyID, DescriptorUnitID, const real64*) { return -36; }


}  // namespace

TEST_F(Scripting, AWriteFailureTellsTheUserAndKeepsTheHostsDescriptor) {
  ReportCapture capture;
  Offer(FullSet(), plugInDialogSilent);
  Handle before = m_Session->DescriptorParameters().descriptor;
  int created = GetHandleStatistics().created, disposed = GetHandleStatistics().disposed;
  WriteDescriptorProcs failing = *m_Session->DescriptorParameters().writeDescriptorProcs;
  failing.putUnitFloatProc = FailingPutUnitFloat;
  m_Session->DescriptorParameters().writeDescriptorProcs = &failing;
  EXPECT_EQ(WriteFinalScriptParameters(), -36);
  EXPECT_EQ(m_Session->DescriptorParameters().descriptor, before);
  EXPECT_TRUE(IsLiveHandle(before));
  EXPECT_EQ(GetHandleStatistics().created - created, GetHandleStatistics().disposed - disposed) << "the abandoned descriptor is freed";
  ASSERT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(capture.Boxes()[0].text, "The Photoshop scripting parameters could not be saved.");
  EXPECT_EQ(capture.Boxes()[0].title, "Scripting Error");
}

TEST(ScriptKeys, ConversionsBetweenDescriptorAndBlock) {
  const ScriptKeyRow& angle = kScriptKeys[5];
  ASSERT_EQ(angle.key, FourCC("Angl"));
  EXPECT_EQ(BlockValueOfScript(angle, 12.37), 123);
  EXPECT_EQ(BlockValueOfScript(angle, -12.37), -123) << "truncated toward zero";
  EXPECT_DOUBLE_EQ(ScriptValueOfBlock(angle, 123), 12.3);
  const ScriptKeyRow& quantity = kScriptKeys[2];
  EXPECT_EQ(BlockValueOfScript(quantity, 99.99), 99);
  EXPECT_EQ(BlockValueOfScript(quantity, 150.99), 100);
  EXPECT_EQ(BlockValueOfScript(quantity, 1e300), 100) << "beyond the integers: held to the range, not wrapped";
  EXPECT_EQ(BlockValueOfScript(quantity, -1e300), 0);
  EXPECT_EQ(BlockValueOfScript(angle, 180.05), 1800);
  EXPECT_EQ(BlockValueOfScript(angle, -99999), -1800);
  EXPECT_EQ(BlockValueOfScript(kScriptKeys[6], 65536 + 7), 32) << "Number of Points holds at 32";
  EXPECT_EQ(BlockValueOfScript(kScriptKeys[6], 0), 1);
  EXPECT_EQ(kScriptKeys[kScriptKeyCount].valueType, typeNull);
}

TEST(ScriptKeys, TheSpecialEditorsAreKnownByTheirExecutablePaths) {
  EXPECT_TRUE(HostIsSpecialScriptingEditor(L"C:\\Program Files\\Corel\\Corel PaintShop Pro X6\\Corel PaintShop Pro.exe"));
  EXPECT_TRUE(HostIsSpecialScriptingEditor(L"D:\\Corel PaintShop Pro X6 (64-bit)\\Corel PaintShop Pro.exe"));
  EXPECT_TRUE(HostIsSpecialScriptingEditor(L"C:\\Ulead\\PhotoImpact X3\\Iedit_.dat"));
  EXPECT_FALSE(HostIsSpecialScriptingEditor(L"C:\\Corel PaintShop Pro X7\\Corel PaintShop Pro.exe"));
  EXPECT_FALSE(HostIsSpecialScriptingEditor(L"C:\\tools\\filterhost.exe"));
}

// Tried as a new user would: an action with wild values renders within the ranges and records
// them back within the ranges.
TEST_F(Scripting, ValuesBeyondTheirRangesAreHeldAndAnUnknownStyleMakesTheSetIncomplete) {
  ReportCapture capture;
  Descriptor wild;
  std::string error;
  ASSERT_TRUE(ParseDescriptor("opsO bool 0\nstEf enum efTy efT9\nqntY UntF #Prc 1e308\nIntn UntF #Prc -50\nLngt UntF #Prc 61\n"
                              "Angl UntF #Ang -99999\nnumP long 2147483647\nspsH UntF #Prc 40\nStrt UntF #Prc 20\n"
                              "rbwI UntF #Prc 10\nrbwF UntF #Prc 70\nsspI UntF #Prc 25\nsflB UntF #Prc 35\nspsP UntF #Prc 65\n",
                              &wild, &error))
      << error;
  Offer(wild, plugInDialogSilent);
  EXPECT_FALSE(Read(true));
  EXPECT_EQ(m_Block.quantity, 100);
  EXPECT_EQ(m_Block.intensity, 0);
  EXPECT_EQ(m_Block.angle, -1800);
  EXPECT_EQ(m_Block.numberOfPoints, 32);
  EXPECT_EQ(m_Block.effectType, uint32_t(EFFECT_STANDARD_STAR)) << "the unknown style is missing: the initial style";
  EXPECT_EQ(m_Block.length, 61);
  ASSERT_EQ(capture.Boxes().size(), 1u);
  EXPECT_EQ(capture.Boxes()[0].title, "Incomplete Settings");
  EXPECT_EQ(ErrorString(), kIncomplete);
  ASSERT_EQ(WriteFinalScriptParameters(), 0);
  Descriptor written = Written();
  for (const DescriptorItem& item : written) {
    if (item.key == FourCC("qntY")) {
      EXPECT_EQ(item.number, 100.0);
    } else if (item.key == FourCC("numP")) {
      EXPECT_EQ(item.integer, 32);
    } else if (item.key == FourCC("Angl")) {
      EXPECT_EQ(item.number, -180.0);
    } else if (item.key == FourCC("stEf")) {
      EXPECT_EQ(item.integer, int64_t(FourCC("efT0")));
    }
  }
}
