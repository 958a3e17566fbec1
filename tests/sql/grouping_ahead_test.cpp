// GROUP BY rows combined into their groups as they are made (TGrouping's
// combining ahead) against the same aggregates computed here in the order the
// rows were made: groups held in memory from their first row, groups beyond
// the room for held groups that go through the sort (and its run files), and
// groups of one row each, which stop the holding. Float sums must come out
// to the same bits, and the result table's LastAutoIncValue counts every row
// made, as when each row was written for the sort.
#include <bit>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "storage/data_file.h"
#include "tests/sql/support/select_fixture.h"

namespace rudira::selecttest {
namespace {

constexpr int32_t kRows = 6400;

// Values whose float sum depends on the order of its terms.
double FloatOf(int32_t a) { return a % 5 == 0 ? 1e16 + a : 1.0 / a; }
std::string TextOf(char column, int32_t g) { return std::string(1, column) + std::to_string(1000000 + g); }

struct Expected {
  int32_t Count = 0;
  double Sum = 0;
  double Min = 0;
  int32_t MaxA = 0;
};

struct Layout {
  const char* Name;
  int32_t (*GroupOf)(int32_t a);
};

// Four rows in a row per group: 1,600 groups of rows about 800 bytes wide,
// more than the room for held groups of a 1 MiB sort.
int32_t Blocks(int32_t a) { return (a - 1) / 4; }
// Every row its own group.
int32_t Single(int32_t a) { return kRows - a; }

struct Case {
  Layout Rows;
  int32_t DataBufferBytes;  // 0: the session's default
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.Rows.Name << ", " << c.DataBufferBytes << " bytes"; }

class GroupingAhead : public SelectTest, public ::testing::WithParamInterface<Case> {};

TEST_P(GroupingAhead, AggregatesEqualThoseOfTheRowsInTheOrderMade) {
  const Case& c = GetParam();
  if (c.DataBufferBytes > 0) session_->SetMaxDataBufferBytes(c.DataBufferBytes);
  CreateTable("w", {{"A"}, {"G"}, {"F", kFieldTypeFloat}, {"S", kFieldTypeString, 250}, {"T", kFieldTypeString, 250},
                    {"U", kFieldTypeString, 250}});
  std::vector<Row> rows;
  std::map<int32_t, Expected> groups;
  for (int32_t a = 1; a <= kRows; ++a) {
    const int32_t g = c.Rows.GroupOf(a);
    rows.push_back({a, g, FloatOf(a), TextOf('s', g), TextOf('t', g), TextOf('u', g)});
    auto [it, opened] = groups.try_emplace(g);
    Expected& e = it->second;
    if (opened) {
      e.Sum = FloatOf(a);
      e.Min = FloatOf(a);
    } else {
      e.Sum += FloatOf(a);
      e.Min = std::min(e.Min, FloatOf(a));
    }
    ++e.Count;
    e.MaxA = std::max(e.MaxA, a);
  }
  Insert("w", rows);

  auto executor = Run("SELECT G, S, T, U, COUNT(*), SUM(F), MIN(F), MAX(A), AVG(F) FROM w GROUP BY G, S, T, U");
  TDataCursor& result = *executor->ResultCursor();
  EXPECT_EQ(result.Table()->DataFile().Header().LastAutoIncValue, kRows);
  std::vector<uint8_t> record(result.RecordSize());
  auto field = [&](int n) { return ReadFieldValue(record.data(), result.Field(n)); };
  auto bits = [](const Value& v) { return std::bit_cast<uint64_t>(std::get<double>(v)); };
  auto it = groups.begin();
  result.SetToBegin();
  while (result.GetNextRecord(record.data()) == 0) {
    ASSERT_NE(it, groups.end());
    const auto& [g, e] = *it++;
    SCOPED_TRACE("group " + std::to_string(g));
    EXPECT_EQ(std::get<int32_t>(field(1)), g);
    EXPECT_EQ(std::get<std::string>(field(2)), TextOf('s', g));
    EXPECT_EQ(std::get<std::string>(field(4)), TextOf('u', g));
    EXPECT_EQ(std::get<int32_t>(field(5)), e.Count);
    EXPECT_EQ(bits(field(6)), std::bit_cast<uint64_t>(e.Sum));
    EXPECT_EQ(bits(field(7)), std::bit_cast<uint64_t>(e.Min));
    EXPECT_EQ(std::get<int32_t>(field(8)), e.MaxA);
    EXPECT_EQ(bits(field(9)), std::bit_cast<uint64_t>(e.Sum / e.Count));
  }
  EXPECT_EQ(it, groups.end());
}

INSTANTIATE_TEST_SUITE_P(Layouts, GroupingAhead,
                         ::testing::Values(Case{{"Blocks", Blocks}, 0}, Case{{"Blocks", Blocks}, 64 << 20},
                                           Case{{"Single", Single}, 0}, Case{{"Single", Single}, 64 << 20}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.Rows.Name) +
                                  (info.param.DataBufferBytes > 0 ? "LargeBuffers" : "DefaultBuffers");
                         });

}  // namespace
}  // namespace rudira::selecttest
