#include "board/point_geometry.h"

#include <gtest/gtest.h>

namespace momiro {
namespace {

TEST(PointGeometry, PointsRunDownTheColumns) {
  EXPECT_EQ(PointAt(0, 18, 19), 19);  // bottom-left corner
  EXPECT_EQ(PointAt(1, 0, 19), 20);   // top of the second column
  EXPECT_EQ(PointAt(12, 12, 13), 169);
  EXPECT_EQ(PointColumn(20, 19), 1);
  EXPECT_EQ(PointRow(20, 19), 0);
}

TEST(PointGeometry, NeighboursStopAtTheEdges) {
  struct Case {
    int p, lines;
    std::array<int, 4> expected;  // above, below, left, right
  };
  const Case cases[] = {
      {1, 19, {0, 2, 0, 20}},
      {19, 19, {18, 0, 0, 38}},  // the bottom row never reaches the next column
      {20, 19, {0, 21, 1, 39}},
      {361, 19, {360, 0, 342, 0}},
      {169, 13, {168, 0, 156, 0}},
      {41, 9, {40, 42, 32, 50}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NeighbourPoints(c.p, c.lines), c.expected) << "point " << c.p;
  }
}

TEST(PointGeometry, PointFromLabelInvertsTheCellGeometry) {
  for (int p = 1; p <= 361; ++p) {
    const int left = 4 + 28 * PointColumn(p, 19);
    const int top = 9 + 28 * PointRow(p, 19);
    ASSERT_EQ(PointFromLabel(left, top), p);
  }
}

}  // namespace
}  // namespace momiro
