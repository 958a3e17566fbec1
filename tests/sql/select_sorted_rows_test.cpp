// Results sorted after they are made (ORDER BY, GROUP BY, DISTINCT) come out
// the same whether their rows fit in memory for the sort or not: wide rows,
// a few hundred of them and more than a megabyte of them.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/sql/support/select_fixture.h"

namespace rudira::selecttest {
namespace {

using Lines = std::vector<std::string>;

constexpr int32_t kRows = 1500;  // about 770 bytes each: more than 1 MiB in all
constexpr int32_t kKeys = 13;

int32_t KeyOf(int32_t a) { return (a * 7919) % kKeys; }
// The texts of row a repeat every 50 rows, so that DISTINCT has rows to drop.
int32_t Shared(int32_t a) { return a % 50; }
std::string TextOf(char column, int32_t a) { return std::string(1, column) + std::to_string(100000 + a); }

class SelectSortedRows : public SelectTest, public ::testing::WithParamInterface<int32_t> {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    CreateTable("wide", {{"A"}, {"B"}, {"S", kFieldTypeString, 250}, {"T", kFieldTypeString, 250},
                         {"U", kFieldTypeString, 250}});
    std::vector<Row> rows;
    for (int32_t a = 1; a <= kRows; ++a) rows.push_back({a, KeyOf(a), TextOf('s', Shared(a)), TextOf('t', Shared(a)), TextOf('u', Shared(a))});
    Insert("wide", rows);
  }
  // The query takes the rows A = 1..Last().
  int32_t Last() const { return GetParam(); }
};

TEST_P(SelectSortedRows, OrderByKeepsTiesInTheOrderMade) {
  std::vector<int32_t> order;
  for (int32_t a = 1; a <= Last(); ++a) order.push_back(a);
  std::stable_sort(order.begin(), order.end(), [](int32_t x, int32_t y) { return KeyOf(x) > KeyOf(y); });
  Lines expected;
  for (int32_t a : order) {
    expected.push_back(std::to_string(a) + "|" + std::to_string(KeyOf(a)) + "|'" + TextOf('s', Shared(a)) + "'|'" +
                       TextOf('t', Shared(a)) + "'|'" + TextOf('u', Shared(a)) + "'");
  }
  EXPECT_EQ(Query("SELECT A, B, S, T, U FROM wide WHERE A <= " + std::to_string(Last()) + " ORDER BY B DESC"),
            expected);
}

TEST_P(SelectSortedRows, GroupByCombinesEveryRowOfItsGroup) {
  struct Group {
    int32_t Count = 0;
    int64_t Sum = 0;
  };
  // Wide grouping columns make wide rows.
  std::map<std::pair<int32_t, int32_t>, Group> groups;
  for (int32_t a = 1; a <= Last(); ++a) {
    Group& g = groups[{KeyOf(a), Shared(a)}];
    ++g.Count;
    g.Sum += a;
  }
  Lines expected;
  for (const auto& [key, g] : groups) {
    const auto& [b, shared] = key;
    expected.push_back(std::to_string(b) + "|'" + TextOf('s', shared) + "'|'" + TextOf('t', shared) + "'|'" +
                       TextOf('u', shared) + "'|" + std::to_string(g.Count) + "|" + std::to_string(g.Sum));
  }
  EXPECT_EQ(Query("SELECT B, S, T, U, COUNT(*), SUM(A) FROM wide WHERE A <= " + std::to_string(Last()) +
                  " GROUP BY B, S, T, U"),
            expected);
}

TEST_P(SelectSortedRows, DistinctLeavesEachRowOnce) {
  std::vector<std::pair<int32_t, int32_t>> seen;
  for (int32_t a = 1; a <= Last(); ++a) seen.push_back({KeyOf(a), Shared(a)});
  std::sort(seen.begin(), seen.end());
  seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
  Lines expected;
  for (const auto& [key, shared] : seen) {
    expected.push_back(std::to_string(key) + "|'" + TextOf('s', shared) + "'|'" + TextOf('t', shared) + "'|'" +
                       TextOf('u', shared) + "'");
  }
  EXPECT_EQ(Query("SELECT DISTINCT B, S, T, U FROM wide WHERE A <= " + std::to_string(Last())), expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SelectSortedRows, ::testing::Values(300, kRows),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                           return info.param == kRows ? std::string("MoreThanAMegabyte")
                                                      : "Rows" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace rudira::selecttest
