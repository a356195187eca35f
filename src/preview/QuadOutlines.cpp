#include "preview/QuadOutlines.h"

#include <algorithm>
#include <cmath>

#include "core/Fractions.h"

namespace {


// Reach of a column's texels: the extreme rows, and whether any texel is there.
struct ColumnReach {
  int32_t top, bottom;
  bool any;
};

struct Line {
  double a, b;  // v = a + b·u
  double At(double u) const { return a + b * u; }
};

// The straight line at or above every point (u sorted ascending, distinct) with the least area
// under it over [left, right]: the line of the points' upper hull's edge above the middle.
Line LineAbove(const std::vector<double>& u, const std::vector<double>& v, double left, double right) {
  std::vector<size_t> hull;
  for (size_t i = 0; i < u.size(); ++i) {
    while (hull.size() >= 2) {
      size_t p = hull[hull.size() - 2], q = hull.back();
      double cross = (u[q] - u[p]) * (v[i] - v[p]) - (v[q] - v[p]) * (u[i] - u[p]);
      if (cross < 0) break;  // q stays above the segment from p to i
      hull.pop_back();
    }
    hull.push_back(i);
  }
  if (hull.size() == 1) return Line{v[hull[0]], 0.0};
  double middle = 0.5 * (left + right);
  size_t k = 0;
  while (k + 2 < hull.size() && u[hull[k + 1]] < middle) ++k;
  size_t p = hull[k], q = hull[k + 1];
  double b = (v[q] - v[p]) / (u[q] - u[p]);
  return Line{v[p] - b * u[p], b};
}

QuadOutline OutlineOfColumns(const std::vector<ColumnReach>& columns, int32_t firstColumn, const TemplateBounds& bounds) {
  // Each column's texels and the half texel beyond them that filtering blends in, at both of
  // the column's edges, kept within the texture's rectangle.
  double lowest = double(bounds.top) - 0.5, highest = double(bounds.bottom) - 0.5;
  double leftmost = double(bounds.left) - 0.5, rightmost = double(bounds.right) - 0.5;
  std::vector<double> u, above, below;  // below: the top edge's points, negated
  for (size_t c = 0; c < columns.size(); ++c) {
    if (!columns[c].any) continue;
    double x = double(firstColumn) + double(c);
    for (double edge : {x - 1.0, x + 1.0}) {
      u.push_back(std::clamp(edge, leftmost, rightmost));
      above.push_back(std::min(double(columns[c].bottom) + 1.0, highest));
      below.push_back(-std::max(double(columns[c].top) - 1.0, lowest));
    }
  }
  QuadOutline outline{};
  outline.empty = u.empty();
  if (outline.empty) return outline;
  // Column edges come in pairs two apart: sorted by u, and where two meet, the farther reach.
  std::vector<size_t> order(u.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return u[a] < u[b]; });
  std::vector<double> su, sa, sb;
  for (size_t i : order) {
    if (!su.empty() && su.back() == u[i]) {
      sa.back() = std::max(sa.back(), above[i]);
      sb.back() = std::max(sb.back(), below[i]);
      continue;
    }
    su.push_back(u[i]), sa.push_back(above[i]), sb.push_back(below[i]);
  }
  double left = su.front(), right = su.back();
  Line bottom = LineAbove(su, sa, left, right);
  Line top = LineAbove(su, sb, left, right);
  outline.left = float(left), outline.right = float(right);
  outline.bottomAtLeft = float(bottom.At(left)), outline.bottomAtRight = float(bottom.At(right));
  outline.topAtLeft = float(-top.At(left)), outline.topAtRight = float(-top.At(right));
  // The lines may leave the rectangle at the ends, where the texture's border is black; where
  // the class's own rectangle is smaller, it serves.
  double rectangleTop = -*std::max_element(sb.begin(), sb.end()), rectangleBottom = *std::max_element(sa.begin(), sa.end());
  double trapezoid = (right - left) * 0.5 * ((bottom.At(left) + top.At(left)) + (bottom.At(right) + top.At(right)));
  if ((right - left) * (rectangleBottom - rectangleTop) <= trapezoid) {
    outline.topAtLeft = outline.topAtRight = float(rectangleTop);
    outline.bottomAtLeft = outline.bottomAtRight = float(rectangleBottom);
  }
  return outline;
}

}  // namespace

int QuadStrengthClass(double strength) {
  if (!(strength < 1.0)) return 0;
  if (strength <= 0.0) return kQuadStrengthClasses - 1;
  int exponent = 0;
  std::frexp(strength, &exponent);  // strength < 2^exponent
  return std::min(kQuadStrengthClasses - 1, std::max(0, -exponent));
}

void OutlineQuadsByStrength(const SubShape& subshape, const std::vector<EffectColor>& colors, const TemplateBounds& bounds,
                            double visibilityMinimum, QuadOutline outlines[kQuadStrengthClasses]) {
  int32_t width = std::max(0, bounds.right - bounds.left);
  // reach[k][c]: the texels of column c whose strongest class is k; gathered below into the
  // texels of class k and every stronger-kept class.
  std::vector<std::vector<ColumnReach>> reach(kQuadStrengthClasses, std::vector<ColumnReach>(size_t(width), ColumnReach{0, 0, false}));
  const SubShapeEntry* entries = subshape.Entries();
  for (uint32_t e = 0; e < subshape.count && e < colors.size(); ++e) {
    const SubShapeEntry& entry = entries[e];
    if (entry.dx < bounds.left || entry.dx >= bounds.right || entry.dy < bounds.top || entry.dy >= bounds.bottom) continue;
    const EffectColor& colour = colors[e];
    double value = std::min(1.0, double(std::max({colour.red, colour.green, colour.blue})) / kFraction);
    // The weakest class whose strongest light still lifts the texel to the minimum.
    int strongest = 0;
    if (value > 0) {
      double ratio = value / visibilityMinimum;
      strongest = ratio >= 1 ? std::min(kQuadStrengthClasses - 1, int(std::floor(std::log2(ratio)))) : 0;
    }
    ColumnReach& column = reach[size_t(strongest)][size_t(entry.dx - bounds.left)];
    if (!column.any) column = ColumnReach{entry.dy, entry.dy, true};
    column.top = std::min<int32_t>(column.top, entry.dy);
    column.bottom = std::max<int32_t>(column.bottom, entry.dy);
  }
  // Class k keeps the texels whose strongest class is k or weaker.
  for (int k = kQuadStrengthClasses - 2; k >= 0; --k) {
    for (int32_t c = 0; c < width; ++c) {
      const ColumnReach& weaker = reach[size_t(k + 1)][size_t(c)];
      ColumnReach& column = reach[size_t(k)][size_t(c)];
      if (!weaker.any) continue;
      if (!column.any) column = weaker;
      column.top = std::min(column.top, weaker.top);
      column.bottom = std::max(column.bottom, weaker.bottom);
    }
  }
  for (int k = 0; k < kQuadStrengthClasses; ++k) outlines[k] = OutlineOfColumns(reach[size_t(k)], bounds.left, bounds);
}
