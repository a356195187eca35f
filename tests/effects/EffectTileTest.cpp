// The final render's painting of one band: shapes turned into the painters' form and painted a
// row at a time with the compositing rule, cut at the band's edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ProcessingFixture.h"
#include "core/BufferManager.h"
#include "core/Fractions.h"
#include "effects/EffectTile.h"
#include "shapes/Shape.h"

namespace {


// A shape whose every phase holds the listed entries, ordered by row unless told otherwise.
struct ListedShape {
  std::vector<SubShapeEntry> entries;
  bool ordered = true;
};

bool GenerateListed(Shape* shape, int px, int py) {
  const auto* listed = static_cast<const ListedShape*>(shape->parameter);
  SubShape* subshape = &shape->subshapes[px][py];
  for (const SubShapeEntry& e : listed->entries) {
    if (!AddSubShapeEntry(subshape, e, 16)) return false;
  }
  if (listed->ordered && !OrderSubShapeByRow(subshape)) return false;
  PublishSubShape(subshape);
  return true;
}

class TilePainting : public ProcessingFixture {
 protected:
  void TearDown() override {
    DestroyShape(&m_Shape);
    ReleaseEffectTile(&m_Tile);
    ProcessingFixture::TearDown();
  }
  Shape* Make(std::vector<SubShapeEntry> entries, bool ordered = true) {
    m_Listed = ListedShape{std::move(entries), ordered};
    InitializeShape(&m_Shape, GenerateListed, &m_Listed, false);
    return &m_Shape;
  }
  // Paints the effect into every row it covers; false when it could not be placed.
  bool Paint(const EffectColor& colour, double x, double y, uint32_t minimum = 0) {
    TileEffect effect{};
    bool covers = false;
    if (!PrepareTileEffect(m_Tile, &m_Shape, colour, x, y, minimum, &effect, &covers)) return false;
    m_Clipped = covers && effect.clipped;
    for (int64_t row = effect.top; covers && row < effect.bottom; ++row) PaintTileEffectRow(&m_Tile, effect, row);
    return true;
  }
  const float* At(int64_t x, int64_t y) { return m_Tile.At(x, y); }
  ListedShape m_Listed;
  Shape m_Shape{};
  EffectTile m_Tile{};
  bool m_Clipped = false;
};

constexpr uint32_t kFull = kFullFraction;

}  // namespace

TEST_F(TilePainting, ThePaintFormHoldsColourTimesWeightAndTheColumnAndIsMadeOnce) {
  Make({{-2, 1, kFull, kFull / 2, 0, kFull / 4}, {3, -1, kFull / 4, kFull, kFull, kFull}, {5, 1, kFull, kFull, kFull, kFull / 2}});
  SubShape* subshape = AcquireSubShape(&m_Shape, 0, 0);
  ASSERT_NE(subshape, nullptr);
  ASSERT_TRUE(ConvertToPaintForm(subshape));
  const PaintEntry* row1 = subshape->PaintEntries() + subshape->RowStarts()[1 - subshape->top];
  ASSERT_EQ(subshape->RowStarts()[2 - subshape->top] - subshape->RowStarts()[1 - subshape->top], 2u);
  const PaintEntry& first = row1[0].dx == -2 ? row1[0] : row1[1];
  EXPECT_EQ(first.dx, -2);
  EXPECT_NEAR(first.red, 0.25, 1e-7);
  EXPECT_NEAR(first.green, 0.125, 1e-7);
  EXPECT_EQ(first.blue, 0.0f);
  const PaintEntry& top = subshape->PaintEntries()[subshape->RowStarts()[0]];
  EXPECT_EQ(top.dx, 3);
  EXPECT_NEAR(top.red, 0.25, 1e-7);
  EXPECT_NEAR(top.blue, 1.0, 1e-7);
  PaintEntry before[3];
  memcpy(before, subshape->PaintEntries(), sizeof before);
  EXPECT_TRUE(ConvertToPaintForm(subshape)) << "a second call finds it done";
  EXPECT_EQ(memcmp(before, subshape->PaintEntries(), sizeof before), 0);
}

// A shape comes from its generator in any order; the painters' form is ordered by row, by a copy
// where memory allows and in place where it does not, with the same records either way.
TEST_F(TilePainting, ThePaintFormIsOrderedByRowWhetherCopiedOrMadeInPlace) {
  std::vector<SubShapeEntry> scattered;
  for (int i = 0; i < 300; ++i) {
    scattered.push_back({int16_t(i % 17 - 8), int16_t((i * 7) % 23 - 11), kFull, uint32_t(i) * 1000u, kFull / 3, uint32_t(i + 1) * 4096u});
  }
  auto paintForm = [&](uint64_t memoryLimit) {
    DestroyShape(&m_Shape);
    Make(scattered, false);
    SubShape* subshape = AcquireSubShape(&m_Shape, 0, 0);
    OverrideWorkingMemoryLimit(memoryLimit);
    bool converted = ConvertToPaintForm(subshape);
    OverrideWorkingMemoryLimit(0);
    EXPECT_TRUE(converted);
    std::vector<std::vector<PaintEntry>> rows(size_t(subshape->bottom - subshape->top));
    for (size_t r = 0; r < rows.size(); ++r) {
      for (uint32_t i = subshape->RowStarts()[r]; i < subshape->RowStarts()[r + 1]; ++i) rows[r].push_back(subshape->PaintEntries()[i]);
      std::sort(rows[r].begin(), rows[r].end(), [](const PaintEntry& a, const PaintEntry& b) { return a.green < b.green; });
    }
    return rows;
  };
  auto copied = paintForm(0);
  auto inPlace = paintForm(1);  // nothing affordable: no second buffer
  ASSERT_EQ(copied.size(), 23u);
  size_t total = 0;
  for (size_t r = 0; r < copied.size(); ++r) {
    ASSERT_EQ(copied[r].size(), inPlace[r].size());
    for (size_t i = 0; i < copied[r].size(); ++i) {
      EXPECT_EQ(memcmp(&copied[r][i], &inPlace[r][i], sizeof(PaintEntry)), 0);
    }
    total += copied[r].size();
  }
  EXPECT_EQ(total, scattered.size());
  for (const SubShapeEntry& e : scattered) {
    const auto& row = copied[size_t(e.dy + 11)];
    double weight = e.weight / kFraction / kFraction;
    EXPECT_TRUE(std::any_of(row.begin(), row.end(), [&](const PaintEntry& p) {
      return p.dx == e.dx && p.green == float(e.green * weight) && p.blue == float(e.blue * weight);
    })) << e.dx << ", " << e.dy;
  }
}

TEST_F(TilePainting, EntriesRaiseTheirPixelsByTheCompositingRule) {
  ASSERT_TRUE(CreateEffectTileBuffer(&m_Tile, ImageRect{0, 10, 8, 20}, 10));
  Make({{0, 0, kFull, kFull, kFull, kFull}, {1, 0, kFull, kFull / 2, 0, kFull}, {2, 0, kFull, kFull, kFull, kFull / 8}});
  // Strength 1/1024, below saturation: each channel rises by 256 × alpha × v of its headroom.
  EffectColor faint{kFull, kFull, kFull, uint32_t(kFraction / 1024)};
  ASSERT_TRUE(Paint(faint, 3.5, 12.5));
  EXPECT_NEAR(At(3, 12)[0], 0.25, 1e-6);
  EXPECT_NEAR(At(4, 12)[1], 0.125, 1e-6);
  EXPECT_EQ(At(4, 12)[2], 0.0f);
  EXPECT_NEAR(At(5, 12)[0], 0.25 / 8, 1e-6);
  ASSERT_TRUE(Paint(faint, 3.5, 12.5));
  EXPECT_NEAR(At(3, 12)[0], 0.25 + 0.25 * 0.75, 1e-6) << "the second coat takes a share of what is left";
  // Full alpha saturates: the largest channel goes all the way, the others in proportion.
  ASSERT_TRUE(Paint(EffectColor{kFull, kFull, kFull, kFull}, 3.5, 12.5));
  EXPECT_NEAR(At(3, 12)[1], 1.0, 1e-6);
  float green = At(4, 12)[1];
  EXPECT_NEAR(At(4, 12)[0], 1.0, 1e-6);
  double coated = 0.125 + 0.125 * 0.875;  // the two faint coats
  EXPECT_NEAR(green, coated + 0.5 * (1 - coated), 1e-6);
  // At the visibility minimum nothing is painted.
  float before = At(5, 12)[0];
  ASSERT_TRUE(Paint(EffectColor{kFull, kFull, kFull, 64 * 8}, 3.5, 12.5, 64));
  EXPECT_EQ(At(5, 12)[0], before);
  for (int64_t y = 10; y < 20; ++y) {
    for (int64_t x = 0; x < 8; ++x) {
      if (y == 12 && x >= 3 && x <= 5) continue;
      ASSERT_EQ(At(x, y)[0], 0.0f) << x << ", " << y;
    }
  }
}

TEST_F(TilePainting, EffectsAreCutAtTheBandsEdges) {
  ASSERT_TRUE(CreateEffectTileBuffer(&m_Tile, ImageRect{0, 10, 8, 20}, 10));
  std::vector<SubShapeEntry> cross;
  for (int d = -4; d <= 4; ++d) {
    cross.push_back({int16_t(d), 0, kFull, kFull, kFull, kFull});
    if (d != 0) cross.push_back({0, int16_t(d), kFull, kFull, kFull, kFull});
  }
  Make(cross);
  ASSERT_TRUE(Paint(EffectColor{kFull, kFull, kFull, kFull}, 1.0, 11.0));
  EXPECT_TRUE(m_Clipped);
  int painted = 0;
  for (int64_t y = 10; y < 20; ++y) {
    for (int64_t x = 0; x < 8; ++x) {
      bool inCross = (y == 11 && x <= 5) || (x == 1 && y <= 15);
      EXPECT_EQ(At(x, y)[2], inCross ? 1.0f : 0.0f) << x << ", " << y;
      painted += At(x, y)[2] > 0;
    }
  }
  EXPECT_EQ(painted, 6 + 6 - 1);
  // Wholly outside the band: nothing to paint, and no failure.
  EXPECT_TRUE(Paint(EffectColor{kFull, kFull, kFull, kFull}, 30.0, 40.0));
}
