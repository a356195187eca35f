// The parameter service's nine operations on a bound current block, and their edge cases.
#include "params/ParameterBlockService.h"

#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"

namespace {

struct RecordDeleter {
  void operator()(ParameterRecord* record) const { FreeParameterRecord(record); }
};
using RecordPtr = std::unique_ptr<ParameterRecord, RecordDeleter>;

RecordPtr Take(intptr_t result) { return RecordPtr(reinterpret_cast<ParameterRecord*>(result)); }

RecordPtr RecordWith(ParameterVersion version, int16_t spread, int16_t intensity) {
  ParameterBlock block = InitialParameterBlock();
  block.version = version;
  block.spikeSpread = spread;
  block.intensity = intensity;
  return RecordPtr(NewParameterRecord(block));
}

}  // namespace

class ParameterService : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Block = InitialParameterBlock();
    BindCurrentParameterBlock(&m_Block);
  }
  void TearDown() override { BindCurrentParameterBlock(nullptr); }
  intptr_t Set(int32_t index, int32_t value) {
    ParameterValuePair pair{index, value};
    return ParameterBlockService(PARAMSVC_SET_VALUE, &pair);
  }
  intptr_t Get(int32_t index) { return ParameterBlockService(PARAMSVC_GET_VALUE, reinterpret_cast<void*>(intptr_t(index))); }
  ParameterBlock m_Block{};
};

TEST_F(ParameterService, DefaultsAreTheFactoryValues) {
  const int32_t expected[PARAM_COUNT] = {0, 50, 50, 0, 6, 50, 30, 50, 50, 15, 30, 0, int32_t(FourCC("efT0")), 50, 50};
  for (int32_t index = 1; index < PARAM_COUNT; ++index) EXPECT_EQ(Get(index), expected[index]) << index;
  RecordPtr factory = Take(ParameterBlockService(PARAMSVC_NEW_FACTORY_RECORD, nullptr));
  ASSERT_NE(factory, nullptr);
  // The stored form: version 0.0.0.6, then the values at their offsets, zeros past the block.
  const unsigned char head[12] = {0, 0, 0, 0, 0, 0, 6, 0, 50, 0, 50, 0};
  EXPECT_EQ(memcmp(factory->bytes, head, sizeof head), 0);
  EXPECT_EQ(memcmp(factory->bytes + 32, "0Tfe", 4), 0);
  for (size_t i = 40; i < kParameterRecordSize; ++i) ASSERT_EQ(factory->bytes[i], 0) << i;
}

TEST_F(ParameterService, VersionInformationLeadsWithTheCurrentVersion) {
  const auto* info = reinterpret_cast<const int16_t*>(ParameterBlockService(PARAMSVC_VERSION_INFO, nullptr));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info[0], 0);
  EXPECT_EQ(info[1], 0);
  EXPECT_EQ(info[2], 0);
  EXPECT_EQ(info[3], 6);
}

TEST_F(ParameterService, SetAndGetKeepTheirWidths) {
  EXPECT_EQ(Set(PARAM_ANGLE, 1234), 1);
  EXPECT_EQ(m_Block.angle, 1234);
  EXPECT_EQ(Set(PARAM_EFFECT_TYPE, int32_t(FourCC("efT5"))), 1);
  EXPECT_EQ(m_Block.effectType, FourCC("efT5"));
  EXPECT_EQ(Get(PARAM_EFFECT_TYPE), int32_t(FourCC("efT5")));
  EXPECT_EQ(Set(PARAM_INTENSITY, 0x12345), 1);
  EXPECT_EQ(m_Block.intensity, 0x2345);
  EXPECT_EQ(Set(PARAM_COLOR_SATURATION, -100), 1);
  EXPECT_EQ(Get(PARAM_COLOR_SATURATION), -100);
}

TEST_F(ParameterService, IndicesOutsideTheTableAreRefused) {
  ParameterBlock before = m_Block;
  EXPECT_EQ(Set(0, 77), 0);
  EXPECT_EQ(Set(15, 77), 0);
  EXPECT_EQ(Get(0), 0);
  EXPECT_EQ(Get(15), 0);
  EXPECT_EQ(memcmp(&before, &m_Block, sizeof before), 0);
  EXPECT_EQ(ParameterBlockService(PARAMSVC_COUNT, nullptr), 0);
  EXPECT_EQ(ParameterBlockService(-1, nullptr), 0);
}

TEST_F(ParameterService, SnapshotWritesTheCurrentVersionWhateverTheBlockHolds) {
  m_Block.version = kConvertibleParameterVersion;
  m_Block.length = 77;
  RecordPtr snapshot = Take(ParameterBlockService(PARAMSVC_SNAPSHOT, nullptr));
  ASSERT_NE(snapshot, nullptr);
  ParameterBlock stored = BlockOfRecord(*snapshot);
  EXPECT_TRUE(SameVersion(stored.version, kCurrentParameterVersion));
  EXPECT_EQ(stored.length, 77);
}

TEST_F(ParameterService, ApplyCopiesVersionAndValuesAndResetRestoresDefaults) {
  RecordPtr record = RecordWith(kConvertibleParameterVersion, 9, 81);
  EXPECT_EQ(ParameterBlockService(PARAMSVC_APPLY, record.get()), 1);
  EXPECT_TRUE(SameVersion(m_Block.version, kConvertibleParameterVersion));
  EXPECT_EQ(m_Block.intensity, 81);
  EXPECT_EQ(m_Block.spikeSpread, 9);
  EXPECT_EQ(ParameterBlockService(PARAMSVC_RESET, nullptr), 1);
  ParameterBlock defaults = InitialParameterBlock();
  EXPECT_EQ(memcmp(&m_Block, &defaults, sizeof defaults), 0);
}

TEST_F(ParameterService, EqualsCurrentIgnoresTheVersion) {
  RecordPtr older = RecordWith(kConvertibleParameterVersion, 50, 50);
  EXPECT_EQ(ParameterBlockService(PARAMSVC_EQUALS_CURRENT, older.get()), 1);
  RecordPtr different = RecordWith(kCurrentParameterVersion, 50, 51);
  EXPECT_EQ(ParameterBlockService(PARAMSVC_EQUALS_CURRENT, different.get()), 0);
}

TEST_F(ParameterService, OnlyVersionFiveConvertsAndItsSpreadBecomesZero) {
  RecordPtr older = RecordWith(kConvertibleParameterVersion, 50, 64);
  RecordPtr converted = Take(ParameterBlockService(PARAMSVC_CONVERT, older.get()));
  ASSERT_NE(converted, nullptr);
  ParameterBlock block = BlockOfRecord(*converted);
  EXPECT_TRUE(SameVersion(block.version, kCurrentParameterVersion));
  EXPECT_EQ(block.spikeSpread, 0);
  EXPECT_EQ(block.intensity, 64);
  ParameterBlock source = BlockOfRecord(*older);
  source.spikeSpread = 0;
  EXPECT_TRUE(SameParameterValues(block, source));
  for (size_t i = 40; i < kParameterRecordSize; ++i) ASSERT_EQ(converted->bytes[i], 0);

  EXPECT_EQ(ParameterBlockService(PARAMSVC_CONVERT, RecordWith({0, 0, 0, 4}, 50, 50).get()), 0);
  EXPECT_EQ(ParameterBlockService(PARAMSVC_CONVERT, RecordWith({0, 0, 1, 6}, 50, 50).get()), 0);
  EXPECT_EQ(ParameterBlockService(PARAMSVC_CONVERT, RecordWith(kCurrentParameterVersion, 50, 50).get()), 0);
}

TEST_F(ParameterService, WithoutACurrentBlockNothingIsTouched) {
  BindCurrentParameterBlock(nullptr);
  EXPECT_EQ(Set(PARAM_LENGTH, 3), 0);
  EXPECT_EQ(ParameterBlockService(PARAMSVC_RESET, nullptr), 0);
  EXPECT_EQ(ParameterBlockService(PARAMSVC_SNAPSHOT, nullptr), 0);
}

TEST(ParameterVersion, MismatchWarningNamesStoredThenCurrentVersion) {
  ReportCapture capture;
  ReportParameterVersionMismatch({0, 0, 0, 5});
  ASSERT_EQ(capture.Reports().size(), 1u);
  EXPECT_EQ(capture.Reports()[0].title, "Debug:  Warning");
  EXPECT_EQ(capture.Reports()[0].text,
            "User Setting File version mismatch.\n\nFile Version = 0.0.0.5, Expected Version = 0.0.0.6.\n\n"
            "Conversion will be performed if possible.");
}

TEST(EffectStyles, SevenCodesWithTheirNames) {
  EXPECT_STREQ(EffectTypeName(0x65665430), "Standard Star");
  EXPECT_STREQ(EffectTypeName(FourCC("efT6")), "Star Burst");
  EXPECT_EQ(EffectTypeName(FourCC("efT7")), nullptr);
}
