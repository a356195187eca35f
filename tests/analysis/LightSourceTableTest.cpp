// The light source table: ordered insertion with overlap rules, compaction, rescaling, the
// finishing step's ranking, the edits of the preview tools, Quantity and the listing.
#include <windows.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>

#include "ProcessingFixture.h"
#include "TestSupport.h"
#include "analysis/LightSourceListing.h"
#include "analysis/LightSourceTable.h"
#include "analysis/TableOperations.h"
#include "core/ImageRecord.h"
#include "ui/LightSourceTableDialog.h"

namespace {

LightSource Detected(double x, double y, double r, uint32_t brightness = 0x800000) {
  LightSource s{};
  s.x = x, s.y = y, s.radius = r, s.radiusSquared = r * r;
  s.brightness = brightness;
  s.red = s.green = s.blue = kFullFraction;
  s.state = s.savedState = LIGHT_DETECTED;
  return s;
}

class TableTest : public ProcessingFixture {
 protected:
  void TearDown() override {
    ReleaseLightSourceTable(&m_Table);
    ProcessingFixture::TearDown();
  }
  // A finished table of entries with the given brightness at (10 i, 10 i).
  void MakeFinished(std::initializer_list<uint32_t> brightness) {
    for (uint32_t b : brightness) {
      LightSource s = Detected(10.0 * m_Table.count, 10.0 * m_Table.count, 2.0, b);
      ASSERT_GE(InsertLightSource(&m_Table, s), 0);
    }
    m_Table.finished = 1;
    m_Table.maxBrightness = 0, m_Table.minBrightness = kFullFraction;
    for (uint64_t i = 0; i < m_Table.count; ++i) {
      m_Table.maxBrightness = std::max(m_Table.maxBrightness, At(i).brightness);
      m_Table.minBrightness = std::min(m_Table.minBrightness, At(i).brightness);
    }
  }
  LightSource& At(uint64_t i) { return m_Table.Entries()[i]; }
  LightSourceTable m_Table{};
};

}  // namespace

TEST_F(TableTest, InsertionKeepsRowOrderAndPutsANewEntryBeforeEqualRows) {
  ASSERT_EQ(InsertLightSource(&m_Table, Detected(5, 30, 1)), 0);
  ASSERT_EQ(InsertLightSource(&m_Table, Detected(5, 10, 1)), 0);
  ASSERT_EQ(InsertLightSource(&m_Table, Detected(50, 30, 1)), 1);
  ASSERT_EQ(m_Table.count, 3u);
  EXPECT_EQ(At(0).y, 10);
  EXPECT_EQ(At(1).x, 50);
  EXPECT_EQ(At(2).x, 5);
  EXPECT_EQ(At(2).intensity, kFullFraction);
  EXPECT_EQ(At(2).reserved, 0xFFFFFFFFu);
  EXPECT_EQ(m_Table.minY, 10);
  EXPECT_EQ(m_Table.maxY, 30);
  EXPECT_EQ(m_Table.maxRadius, 1);
}

TEST_F(TableTest, AnOverlapLeavesTheLargerAndOfEqualSizeTheFirst) {
  ASSERT_GE(InsertLightSource(&m_Table, Detected(100, 100, 3)), 0);
  EXPECT_EQ(InsertLightSource(&m_Table, Detected(101, 101, 2)), -1) << "smaller, inside a larger one";
  EXPECT_EQ(InsertLightSource(&m_Table, Detected(102, 100, 3)), -1) << "equal size: the first one stays";
  ASSERT_EQ(InsertLightSource(&m_Table, Detected(101, 100, 8)), 0) << "before the entry of the same row";
  EXPECT_EQ(At(1).flags & kLightSourceSuperseded, kLightSourceSuperseded) << "the smaller one is superseded";
  ASSERT_GE(InsertLightSource(&m_Table, Detected(150, 101, 3)), 0) << "far away: no overlap";
  CompactLightSources(&m_Table);
  ASSERT_EQ(m_Table.count, 2u);
  EXPECT_EQ(At(0).radius, 8);
  EXPECT_EQ(At(1).x, 150);
  EXPECT_EQ(m_Table.maxRadius, 8);
  // Added and hidden entries are no obstacle.
  LightSource added = Detected(101, 100, 1);
  added.state = LIGHT_HIDDEN;
  EXPECT_GE(InsertLightSource(&m_Table, added), 0);
  EXPECT_FALSE(IsInsideLightSource(m_Table, 150, 110));
  EXPECT_TRUE(IsInsideLightSource(m_Table, 150, 102.5));
}

TEST_F(TableTest, RescalingMapsPixelCentresAndScalesRadii) {
  InsertLightSource(&m_Table, Detected(10, 11, 2));
  InsertLightSource(&m_Table, Detected(40, 21, 4));
  RescaleLightSources(&m_Table, 4.0, 2.0);
  // Pixel centres map to pixel centres: pixel 40 of a 4× reduction covers pixels 160 to 163.
  EXPECT_EQ(At(1).x, 161.5);
  EXPECT_EQ(At(1).y, 42.5);
  EXPECT_EQ(At(1).radius, 16);
  EXPECT_EQ(At(1).radiusSquared, 256);
  EXPECT_EQ(m_Table.maxRadius, 16);
  EXPECT_EQ(m_Table.minY, 22);
  EXPECT_EQ(m_Table.maxY, 43);
}

TEST_F(TableTest, FinishingRanksBySizeAndBrightnessWithoutWrapping) {
  InsertLightSource(&m_Table, Detected(10, 10, 2, 0x400000));     // small, dim
  InsertLightSource(&m_Table, Detected(100, 20, 2, 0xFFFFFF));    // small, bright
  InsertLightSource(&m_Table, Detected(300, 30, 8, 0xFFFFFF));    // larger, bright
  InsertLightSource(&m_Table, Detected(3000, 40, 400, 0xFFFFFF)); // wider than 256 pixels
  LightSource tinted = Detected(900, 50, 8, 0xFFFFFF);
  tinted.blue = 0x40000000;
  InsertLightSource(&m_Table, tinted);
  volatile bool abort = false;
  FinishLightSourceTable(&m_Table, &abort);
  EXPECT_EQ(m_Table.finished, 1);
  EXPECT_LT(At(0).brightness, At(1).brightness);
  EXPECT_LT(At(1).brightness, At(2).brightness);
  EXPECT_LT(At(2).brightness, At(3).brightness);
  EXPECT_GT(At(4).red, At(4).blue) << "the hue is kept";
  EXPECT_GE(At(0).red, 2048u);
  EXPECT_LE(At(3).red, 2048u + 4294964990u) << "full scale keeps room for the floor";
  EXPECT_GT(At(3).red, 0xFFFF0000u) << "the widest is the brightest, not wrapped";
  EXPECT_EQ(m_Table.maxBrightness, At(3).brightness);
  EXPECT_EQ(m_Table.minBrightness, At(0).brightness);
}

TEST_F(TableTest, EqualBrightnessLeavesTheMinimumAt2048) {
  InsertLightSource(&m_Table, Detected(10, 10, 3, 0x800000));
  InsertLightSource(&m_Table, Detected(100, 20, 3, 0x800000));
  volatile bool abort = false;
  FinishLightSourceTable(&m_Table, &abort);
  EXPECT_EQ(m_Table.minBrightness, 2048u);
  EXPECT_EQ(At(0).brightness, m_Table.maxBrightness);
}

TEST_F(TableTest, QuantityThinsTheTableByBrightness) {
  MakeFinished({1000, 5000, 9000, 20000});
  EXPECT_EQ(QuantityThreshold(m_Table, 0), kFullFraction);
  EXPECT_EQ(QuantityThreshold(m_Table, 100), 0u);
  EXPECT_EQ(QuantityThreshold(m_Table, 150), 0u);
  // (max - min) × ((101 - 50) / 100)² + min - 1
  EXPECT_EQ(QuantityThreshold(m_Table, 50), uint32_t(std::trunc(19000 * 0.51 * 0.51 + 1000)) - 1);
  uint32_t none = QuantityThreshold(m_Table, 0), all = QuantityThreshold(m_Table, 100);
  int visibleAtNone = 0, visibleAtAll = 0;
  for (uint64_t i = 0; i < m_Table.count; ++i) {
    visibleAtNone += IsLightSourceVisible(At(i), none);
    visibleAtAll += IsLightSourceVisible(At(i), all);
  }
  EXPECT_EQ(visibleAtNone, 0);
  EXPECT_EQ(visibleAtAll, 4);
  At(0).state = LIGHT_FORCED;
  EXPECT_TRUE(IsLightSourceVisible(At(0), none)) << "forced entries show at any quantity";
}

TEST_F(TableTest, HideRevealShowAndUnshowInARectangle) {
  MakeFinished({100, 200, 300});  // at (0,0), (10,10), (20,20)
  int32_t changes = LightSourceChangeCount(m_Table);
  TableRect firstTwo{0, 0, 15, 15};
  EXPECT_TRUE(SetLightSourceStateInRect(&m_Table, firstTwo, STATE_HIDE));
  EXPECT_EQ(At(0).state, LIGHT_HIDDEN);
  EXPECT_EQ(At(1).savedState, LIGHT_DETECTED);
  EXPECT_EQ(At(2).state, LIGHT_DETECTED);
  EXPECT_TRUE(SetLightSourceStateInRect(&m_Table, firstTwo, STATE_HIDE)) << "hiding counts every entry in the rectangle";
  EXPECT_TRUE(SetLightSourceStateInRect(&m_Table, TableRect{0, 0, 5, 5}, STATE_UNHIDE));
  EXPECT_EQ(At(0).state, LIGHT_DETECTED);
  EXPECT_FALSE(SetLightSourceStateInRect(&m_Table, TableRect{0, 0, 5, 5}, STATE_UNHIDE)) << "nothing left to reveal";
  EXPECT_TRUE(SetLightSourceStateInRect(&m_Table, TableRect{15, 15, 30, 30}, STATE_FORCE));
  EXPECT_EQ(At(2).state, LIGHT_FORCED);
  EXPECT_EQ(At(2).savedState, LIGHT_DETECTED);
  EXPECT_TRUE(SetLightSourceStateInRect(&m_Table, TableRect{15, 15, 30, 30}, STATE_UNFORCE));
  EXPECT_EQ(At(2).state, LIGHT_DETECTED);
  EXPECT_FALSE(SetLightSourceStateInRect(&m_Table, TableRect{100, 100, 200, 200}, STATE_HIDE));
  EXPECT_EQ(LightSourceChangeCount(m_Table), changes + 5);
  // The truncated centre decides: 9.75 lies in [0, 10).
  At(1).x = At(1).y = 9.75;
  EXPECT_TRUE(SetLightSourceStateInRect(&m_Table, TableRect{9, 9, 10, 10}, STATE_FORCE));
  EXPECT_EQ(At(1).state, LIGHT_FORCED);
}

TEST_F(TableTest, TheNearestEntryWithinThePickRadius) {
  MakeFinished({100, 200, 300});
  EXPECT_EQ(PickRadius(100), 20);
  EXPECT_EQ(PickRadius(25), 80);
  int32_t changes = LightSourceChangeCount(m_Table);
  EXPECT_TRUE(SetLightSourceStateOfNearest(&m_Table, 12, 12, STATE_HIDE, 100));
  EXPECT_EQ(At(1).state, LIGHT_HIDDEN);
  // The nearest that the mode can change: the hidden one is passed over by another hide.
  EXPECT_TRUE(SetLightSourceStateOfNearest(&m_Table, 9, 9, STATE_HIDE, 100));
  EXPECT_EQ(At(0).state, LIGHT_HIDDEN) << "(0,0) is nearer than (20,20) to (9,9)";
  EXPECT_TRUE(SetLightSourceStateOfNearest(&m_Table, 60, 60, STATE_HIDE, 100)) << "out of reach still counts as an edit";
  EXPECT_EQ(At(2).state, LIGHT_DETECTED);
  EXPECT_TRUE(SetLightSourceStateOfNearest(&m_Table, 60, 60, STATE_HIDE, 25));
  EXPECT_EQ(At(2).state, LIGHT_HIDDEN) << "a small zoom widens the pick radius";
  EXPECT_EQ(LightSourceChangeCount(m_Table), changes + 4);
  // Ties go to the lower index.
  EXPECT_TRUE(SetLightSourceStateOfNearest(&m_Table, 5, 5, STATE_UNHIDE, 100));
  EXPECT_EQ(At(0).state, LIGHT_DETECTED);
  EXPECT_EQ(At(1).state, LIGHT_HIDDEN);
}

TEST_F(TableTest, AddedEntriesAreHiddenHalfTheLargestAndListedAsHidden) {
  MakeFinished({100, 200});
  int32_t changes = LightSourceChangeCount(m_Table);
  int64_t index = AddLightSourceAt(&m_Table, 3, 40);
  ASSERT_EQ(index, 2) << "a finished table appends";
  EXPECT_EQ(At(2).radius, 1.0);
  EXPECT_EQ(At(2).brightness, 0x37B719B5u);
  EXPECT_EQ(At(2).green, 0x37B719B5u);
  EXPECT_EQ(At(2).state, LIGHT_HIDDEN);
  EXPECT_EQ(LightSourceChangeCount(m_Table), changes + 1);
  char line[kListingLineSize];
  FormatLightSourceLine(line, sizeof line, index, At(2));
  EXPECT_STREQ(line, "LightSourceTable[0002] x = 3.00, y = 40.00, Diam = 2.00, Bright = 37B719B5 (D)");
  FormatLightSourceLine(line, sizeof line, 1, At(1));
  EXPECT_STREQ(line, "LightSourceTable[0001] x = 10.00, y = 10.00, Diam = 4.00, Bright = C8");
  EXPECT_EQ(NearestVisibleLightSource(m_Table, 4, 40, 100, 100), -1) << "the added entry is hidden";
  EXPECT_EQ(NearestVisibleLightSource(m_Table, 12, 9, 100, 100), 1);
  EXPECT_EQ(NearestVisibleLightSource(m_Table, 12, 9, 0, 100), -1) << "nothing detected shows at Quantity 0";
  FailNextBufferAllocations(1);
  for (int i = 0; i < 8200; ++i) {
    if (AddLightSourceAt(&m_Table, i, 0) < 0) break;
  }
  EXPECT_LT(m_Table.count, 8200u) << "the growth that failed returned -1";
}

namespace {

// Presses OK in the listing once it shows, and reads what it shows meanwhile.
struct ListingReader {
  std::string count;
  std::vector<std::string> lines;
  void Run() {
    HWND dialog = nullptr;
    if (!WaitUntil([&dialog] { return (dialog = FindWindowW(nullptr, L"Light Source Table")) != nullptr; })) return;
    // The window exists before its initialisation has filled it.
    char text[512] = "";
    WaitUntil([&] {
      GetDlgItemTextA(dialog, 3101, text, sizeof text);
      return text[0] != 0;
    });
    count = text;
    HWND list = GetDlgItem(dialog, 3102);
    LRESULT n = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
      SendMessageA(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
      lines.push_back(text);
    }
    RECT before, after;
    GetWindowRect(dialog, &before);
    SetWindowPos(dialog, nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(GetDlgItem(dialog, 3102), &after);
    resizedListWidth = after.right - after.left;
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  }
  LONG resizedListWidth = 0;
};

}  // namespace

TEST_F(TableTest, TheListingDialogShowsTheCountAndEveryEntryAndClosesWithOK) {
  MakeFinished({0x10, 0x20, 0x30});
  At(1).state = LIGHT_HIDDEN;
  LightSourceTable saved = gLightSourceTable;
  gLightSourceTable = m_Table;
  ListingReader reader;
  std::thread pressOK([&reader] { reader.Run(); });
  INT_PTR result = ShowLightSourceTable(nullptr);
  pressOK.join();
  gLightSourceTable = saved;
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(reader.count, "NumberOfLightSources = 3\n\n");
  ASSERT_EQ(reader.lines.size(), 3u);
  EXPECT_EQ(reader.lines[1], "LightSourceTable[0001] x = 10.00, y = 10.00, Diam = 4.00, Bright = 20 (D)");
  EXPECT_EQ(reader.lines[2], "LightSourceTable[0002] x = 20.00, y = 20.00, Diam = 4.00, Bright = 30");
  EXPECT_GT(reader.resizedListWidth, 500) << "the list follows the dialog's size";
}
