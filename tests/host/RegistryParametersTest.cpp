// The last parameters in the host's descriptor registry, through the reference host's suites:
// hosts that grant the action descriptor suite only in version 2, hosts without a registry, and
// entries that cannot be used.
#include <gtest/gtest.h>

#include <cstring>

#include "ActionSuites.h"
#include "HostCallbacks.h"
#include "TestSupport.h"
#include "host/RegistryParameters.h"
#include "host/ScriptParameters.h"
#include "params/ParameterBlockService.h"
#include "support/HostRecordFixture.h"

namespace {

class Registry : public HostRecordFixture {
 protected:
  void TearDown() override {
    BindCurrentParameterBlock(nullptr);
    HostRecordFixture::TearDown();
  }
  void OpenHost(HostProfile profile, bool registry = true) {
    HostOptions options;
    options.profile = profile;
    options.actions.offerRegistry = registry;
    Open(HostDocument{}, options);
    m_Block = InitialParameterBlock();
    BindCurrentParameterBlock(&m_Block);
  }
  // Replaces the entry's record bytes as a host keeps them.
  static void StoreEntry(const std::vector<uint8_t>& bytes) {
    const auto* registry = static_cast<const PSDescriptorRegistryProcs*>(AcquireActionSuite(kPSDescriptorRegistrySuite, 1));
    const auto* procs = static_cast<const PSActionDescriptorProcs*>(AcquireActionSuite(kPSActionDescriptorSuite, 2));
    PIActionDescriptor descriptor = nullptr;
    ASSERT_EQ(procs->Make(&descriptor), kSPNoError);
    std::vector<uint8_t> copy = bytes;
    procs->PutData(descriptor, FourCC("PBlk"), int32(copy.size()), copy.data());
    ASSERT_EQ(registry->Register(kRegistryKey, descriptor, false), kSPNoError);
    procs->Free(descriptor);
  }
  ParameterBlock m_Block{};
};

std::vector<uint8_t> RecordBytes(int16_t build, int16_t length) {
  ParameterBlock block = InitialParameterBlock();
  block.version.build = build;
  block.length = length;
  std::vector<uint8_t> bytes(255, 0);
  memcpy(bytes.data(), &block, sizeof block);
  return bytes;
}

}  // namespace

TEST_F(Registry, WrittenAtFinishAndReadAtStartInEveryHostThatHasOne) {
  for (HostProfile profile : {HOST_PHOTOSHOP, HOST_PDN, HOST_AFFINITY}) {
    SCOPED_TRACE(HostProfileName(profile));
    OpenHost(profile);
    m_Block.length = 66;
    ASSERT_EQ(WriteRegistryParameters(), 0);
    const Descriptor* entry = RegistryEntry(kRegistryKey);
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(entry->size(), 1u);
    EXPECT_EQ((*entry)[0].key, FourCC("PBlk"));
    EXPECT_EQ((*entry)[0].data.size(), 255u);
    m_Block = InitialParameterBlock();
    EXPECT_EQ(ReadRegistryParameters(), 0);
    EXPECT_EQ(m_Block.length, 66);
    EXPECT_EQ(GetHostObservations().acquisitions, GetHostObservations().releases);
    TearDown();
    SetUp();
  }
}

TEST_F(Registry, WithoutARegistryOrAnEntryThereIsNothingToRead) {
  OpenHost(HOST_PSPI);
  EXPECT_EQ(ReadRegistryParameters(), kHostInsufficient) << "no suites at all";
  EXPECT_EQ(WriteRegistryParameters(), kHostInsufficient);
  TearDown();
  SetUp();
  OpenHost(HOST_PHOTOSHOP, false);
  EXPECT_EQ(ReadRegistryParameters(), kHostInsufficient);
  EXPECT_EQ(WriteRegistryParameters(), kHostInsufficient);
  TearDown();
  SetUp();
  OpenHost(HOST_PHOTOSHOP);
  EXPECT_EQ(ReadRegistryParameters(), kHostInsufficient) << "no entry yet";
  EXPECT_EQ(GetHostObservations().acquisitions, GetHostObservations().releases);
}

TEST_F(Registry, OlderEntriesConvertAndUnknownOnesGiveTheDefaults) {
  ReportCapture capture;
  OpenHost(HOST_PHOTOSHOP);
  StoreEntry(RecordBytes(5, 44));
  EXPECT_EQ(ReadRegistryParameters(), 0);
  EXPECT_EQ(m_Block.length, 44);
  EXPECT_EQ(m_Block.spikeSpread, 0);
  m_Block.length = 12;
  StoreEntry(RecordBytes(7, 44));
  EXPECT_EQ(ReadRegistryParameters(), kRegistryVersionIncompatible);
  EXPECT_EQ(m_Block.length, 12) << "the start selector resets to the defaults on this result";
  EXPECT_TRUE(capture.HasReport(
      "No parameter conversion could be done, using defaults.  Stored version = 0.0.0.7, current version = 0.0.0.6\n"));
  StoreEntry({});
  EXPECT_EQ(ReadRegistryParameters(), kHostInsufficient);
  EXPECT_TRUE(capture.HasReport("ReadRegistryParameters() couldn't get the parameter block length or it was zero."));
  std::vector<uint8_t> longer = RecordBytes(6, 39);
  longer.resize(300, 0xAB);
  StoreEntry(longer);
  EXPECT_EQ(ReadRegistryParameters(), 0) << "a longer entry is read whole and its record used";
  EXPECT_EQ(m_Block.length, 39);
}

TEST_F(Registry, AnEntryWithValuesBeyondTheirRangesIsHeldToThem) {
  OpenHost(HOST_PHOTOSHOP);
  ParameterBlock stored = InitialParameterBlock();
  stored.length = 32767;
  stored.numberOfPoints = 32767;
  stored.angle = -32768;
  stored.colorSaturation = -500;
  stored.effectType = FourCC("efT9");
  stored.intensity = 64;
  std::vector<uint8_t> bytes(255, 0);
  memcpy(bytes.data(), &stored, sizeof stored);
  StoreEntry(bytes);
  EXPECT_EQ(ReadRegistryParameters(), 0);
  EXPECT_EQ(m_Block.length, 100);
  EXPECT_EQ(m_Block.numberOfPoints, 32);
  EXPECT_EQ(m_Block.angle, -1800);
  EXPECT_EQ(m_Block.colorSaturation, -100);
  EXPECT_EQ(m_Block.effectType, uint32_t(EFFECT_STANDARD_STAR)) << "an unknown style is no value: the initial style";
  EXPECT_EQ(m_Block.intensity, 64) << "a value in range passes unchanged";
}
