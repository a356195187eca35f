// The outline of a template's quad by the strength of the light drawn with it. A faint light's
// spike falls below the preview's visibility minimum long before the template ends, and the
// rectangle around a widening spike is half empty: drawn whole, thousands of such quads filled
// a software renderer's frame many times over for pixels that add nothing. Each strength class
// gets the trapezoid that holds every texel still visible at the class's strongest light.
#pragma once
#include <cstdint>
#include <vector>

#include "color/ColorConversion.h"
#include "shapes/Shape.h"

// Class k holds quads of strength (largest channel × alpha) up to 2^-k.
constexpr int kQuadStrengthClasses = 24;

// In template coordinates: texel (dx, dy) of the template is centred on (dx, dy). The quad runs
// from `left` to `right`; its upper and lower edges are straight lines between the values at
// the two ends. Empty: no texel of the class shows.
struct QuadOutline {
  bool empty;
  float left, right;
  float topAtLeft, topAtRight;
  float bottomAtLeft, bottomAtRight;
};

// The rectangle the template's texture holds, in entry offsets: [left, right) × [top, bottom).
struct TemplateBounds {
  int32_t left, top, right, bottom;
};

// The class of a quad of strength `strength` (0 to 1); strengths above 1 are class 0.
int QuadStrengthClass(double strength);

// Outlines for every class from the template's entries and their display colours (weights
// folded in, as 32-bit fractions). Class 0 holds every entry inside the bounds; class k those
// whose largest channel × 2^-k is at least `visibilityMinimum` (a fraction of one). Outlines
// keep half a texel beyond the texels, which linear filtering still reaches, and stay within the
// bounds' columns; their upper and lower edges may pass the bounds' rows at the ends, where the
// texture must give black.
void OutlineQuadsByStrength(const SubShape& subshape, const std::vector<EffectColor>& colors, const TemplateBounds& bounds,
                            double visibilityMinimum, QuadOutline outlines[kQuadStrengthClasses]);
