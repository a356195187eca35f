// The outlines of effect quads by the strength of their light: every texel that can still show
// for a class's strongest light lies inside its trapezoid (with the half texel filtering reaches),
// fainter classes shrink, a widening spike's trapezoid is well inside its rectangle, and what no
// light of a class can lift to the minimum leaves it empty.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "ProcessingFixture.h"
#include "core/BufferManager.h"
#include "core/Fractions.h"
#include "preview/QuadOutlines.h"

namespace {

constexpr double kMinimum = 2048 / kFraction;

struct Texel {
  int dx, dy;
  double value;
};

class QuadOutlinesTest : public ProcessingFixture {
 protected:
  void TearDown() override {
    DeallocateBuffer(&subshape_.entries);
    ProcessingFixture::TearDown();
  }

  // A grey template of the given texels: colours with the weight folded in, as the display
  // colours come.
  void Build(const std::vector<Texel>& texels) {
    texels_ = texels;
    ASSERT_EQ(ReallocateBuffer(texels.size() * sizeof(SubShapeEntry), &subshape_.entries), 0);
    auto* entries = static_cast<SubShapeEntry*>(subshape_.entries.block);
    colours_.clear();
    subshape_.left = subshape_.top = 1 << 20;
    subshape_.right = subshape_.bottom = -(1 << 20);
    for (size_t i = 0; i < texels.size(); ++i) {
      const Texel& t = texels[i];
      uint32_t v = uint32_t(std::min(kFraction, std::round(t.value * kFraction)));
      entries[i] = SubShapeEntry{int16_t(t.dx), int16_t(t.dy), v, v, v, 0xFFFFFFFE};
      colours_.push_back(EffectColor{v, v / 2, v / 3, 0xFFFFFFFE});
      subshape_.left = std::min(subshape_.left, t.dx), subshape_.right = std::max(subshape_.right, t.dx + 1);
      subshape_.top = std::min(subshape_.top, t.dy), subshape_.bottom = std::max(subshape_.bottom, t.dy + 1);
    }
    subshape_.count = uint32_t(texels.size());
  }

  // A spike along +x: bright at the origin, fading by e every 30 texels, widening by one row on
  // each side every 20 columns, fainter toward its edges.
  static std::vector<Texel> WideningSpike(int length) {
    std::vector<Texel> texels;
    for (int dx = 0; dx < length; ++dx) {
      int half = 1 + dx / 20;
      for (int dy = -half; dy <= half; ++dy) {
        texels.push_back(Texel{dx, dy, std::exp(-dx / 30.0) * (1.0 - std::abs(dy) / double(half + 1))});
      }
    }
    return texels;
  }

  TemplateBounds Bounds() const { return TemplateBounds{subshape_.left, subshape_.top, subshape_.right, subshape_.bottom}; }

  static bool Inside(const QuadOutline& o, double u, double v) {
    constexpr double kSlack = 1e-4;
    if (u < o.left - kSlack || u > o.right + kSlack) return false;
    double f = o.right > o.left ? (u - o.left) / (o.right - o.left) : 0.0;
    double top = o.topAtLeft + f * (o.topAtRight - o.topAtLeft), bottom = o.bottomAtLeft + f * (o.bottomAtRight - o.bottomAtLeft);
    return v >= top - kSlack && v <= bottom + kSlack;
  }

  // The texel's square, and half a texel beyond it where it lies inside the bounds' texels.
  void ExpectCovered(const QuadOutline& o, const Texel& t, int k) const {
    const TemplateBounds b = Bounds();
    for (double du : {-1.0, 1.0}) {
      for (double dv : {-1.0, 1.0}) {
        double u = std::clamp(t.dx + du, b.left - 0.5, b.right - 0.5), v = std::clamp(t.dy + dv, b.top - 0.5, b.bottom - 0.5);
        EXPECT_TRUE(Inside(o, u, v)) << "class " << k << " texel " << t.dx << "," << t.dy << " corner " << u << "," << v;
      }
    }
  }

  static double Area(const QuadOutline& o) {
    return (o.right - o.left) * 0.5 * ((o.bottomAtLeft - o.topAtLeft) + (o.bottomAtRight - o.topAtRight));
  }

  SubShape subshape_{};
  std::vector<EffectColor> colours_;
  std::vector<Texel> texels_;
};

}  // namespace

TEST(QuadStrengthClassTest, ClassesArePowersOfTwoWithTheirUpperBoundIncluded) {
  EXPECT_EQ(QuadStrengthClass(1.0), 0);
  EXPECT_EQ(QuadStrengthClass(3.0), 0);
  EXPECT_EQ(QuadStrengthClass(0.75), 0);
  EXPECT_EQ(QuadStrengthClass(0.5), 0);  // at a class's bound it may stay in the stronger class
  EXPECT_EQ(QuadStrengthClass(0.499), 1);
  EXPECT_EQ(QuadStrengthClass(0.25), 1);
  EXPECT_EQ(QuadStrengthClass(0.2), 2);
  EXPECT_EQ(QuadStrengthClass(std::ldexp(0.9, -10)), 10);
  EXPECT_EQ(QuadStrengthClass(1e-30), kQuadStrengthClasses - 1);
  EXPECT_EQ(QuadStrengthClass(0.0), kQuadStrengthClasses - 1);
  for (int k = 0; k < kQuadStrengthClasses - 1; ++k) {
    double strongest = std::ldexp(1.0, -k);
    EXPECT_LE(QuadStrengthClass(strongest), k) << "the class's bound must hold its strongest light";
    EXPECT_GE(std::ldexp(1.0, -QuadStrengthClass(strongest * 0.999)), strongest * 0.999);
  }
}

TEST_F(QuadOutlinesTest, EveryTexelThatCanShowIsInsideItsClassAndFainterClassesShrink) {
  Build(WideningSpike(400));
  QuadOutline outlines[kQuadStrengthClasses];
  OutlineQuadsByStrength(subshape_, colours_, Bounds(), kMinimum, outlines);
  int checked = 0;
  for (int k = 0; k < kQuadStrengthClasses; ++k) {
    for (const Texel& t : texels_) {
      // The largest channel is the red one here, the value itself.
      if (k == 0 || std::ldexp(t.value, -k) >= kMinimum) {
        ASSERT_FALSE(outlines[k].empty) << k;
        ExpectCovered(outlines[k], t, k);
        ++checked;
      }
    }
    if (k > 0 && !outlines[k].empty) {
      EXPECT_LE(outlines[k].right, outlines[k - 1].right);
      EXPECT_LE(Area(outlines[k]), Area(outlines[k - 1]) + 1e-3);
    }
  }
  EXPECT_GT(checked, int(texels_.size()));
  // At e^-x/30, a light of 1/1024 lifts nothing beyond x = 30 ln(1024 × minimum⁻¹ ...): the
  // outline ends well before the spike does.
  EXPECT_LT(outlines[10].right, 300.0f);
  EXPECT_GT(outlines[10].right, 100.0f);
}

TEST_F(QuadOutlinesTest, AWideningSpikeNeedsMuchLessThanItsRectangle) {
  Build(WideningSpike(400));
  QuadOutline outlines[kQuadStrengthClasses];
  OutlineQuadsByStrength(subshape_, colours_, Bounds(), kMinimum, outlines);
  const TemplateBounds b = Bounds();
  double rectangle = double(b.right - b.left) * double(b.bottom - b.top);
  EXPECT_LT(Area(outlines[0]), 0.65 * rectangle);
  // Never beyond the columns the texture holds, nor ever larger than the rectangle.
  for (const QuadOutline& o : outlines) {
    if (o.empty) continue;
    EXPECT_GE(o.left, b.left - 0.5f);
    EXPECT_LE(o.right, b.right - 0.5f);
    EXPECT_LE(Area(o), rectangle + 1e-3);
  }
}

// The faintest texel a class keeps is exactly at the minimum for the class's strongest light;
// one class fainter, a light can no longer lift it and the class holds nothing.
TEST_F(QuadOutlinesTest, TheClassEdgeKeepsATexelExactlyAtTheMinimum) {
  std::vector<Texel> texels{{0, 0, std::ldexp(kMinimum, 5)}, {30, 0, std::ldexp(kMinimum, 5)}};
  Build(texels);
  QuadOutline outlines[kQuadStrengthClasses];
  OutlineQuadsByStrength(subshape_, colours_, Bounds(), kMinimum, outlines);
  ASSERT_FALSE(outlines[5].empty);
  ExpectCovered(outlines[5], texels[1], 5);
  EXPECT_TRUE(outlines[6].empty);
  EXPECT_TRUE(outlines[kQuadStrengthClasses - 1].empty);
}

// Entries the texture could not hold (beyond the largest texture) do not widen the outline.
TEST_F(QuadOutlinesTest, EntriesOutsideTheBoundsAreLeftOut) {
  Build(WideningSpike(200));
  TemplateBounds narrower{0, -3, 50, 4};
  QuadOutline outlines[kQuadStrengthClasses];
  OutlineQuadsByStrength(subshape_, colours_, narrower, kMinimum, outlines);
  ASSERT_FALSE(outlines[0].empty);
  EXPECT_LE(outlines[0].right, 49.5f);
  EXPECT_LE(Area(outlines[0]), 50.0 * 7.0 + 1e-3);
}
