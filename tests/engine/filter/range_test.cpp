// Ranges on the current index: prefixes of a two-field index, open ends,
// an empty range, descending indexes, natural order and ranges beside
// filters.
#include <cstdio>

#include "engine/error_codes.h"
#include "engine/filter/filter_fixture.h"

namespace rudira::filtertest {
namespace {

class RangeTest : public FilterTest {
 protected:
  std::vector<uint8_t> KeyRecord(TDataCursor& cursor, const std::string& city, const std::string& name = {}) {
    std::vector<uint8_t> record = Blank(cursor);
    Set(cursor, record, "CITY", city);
    if (!name.empty()) Set(cursor, record, "NAME", name);
    return record;
  }
  std::vector<uint8_t> IdRecord(TDataCursor& cursor, int32_t id) {
    std::vector<uint8_t> record = Blank(cursor);
    Set(cursor, record, "ID", id);
    return record;
  }
};

TEST_F(RangeTest, OneFieldOfATwoFieldIndexKeepsThatValueInIndexOrder) {
  auto cursor = People();
  cursor->SetIndexName("ByCityName");
  const std::vector<uint8_t> kyoto = KeyRecord(*cursor, "Kyoto");
  cursor->SetRange(kyoto.data(), 1, kyoto.data(), 1);
  EXPECT_TRUE(cursor->RangeActive());
  // Aiko, Aiya, Eri.
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{10, 60, 50}));
  EXPECT_EQ(WalkBack(*cursor), (std::vector<int32_t>{50, 60, 10}));
  EXPECT_EQ(cursor->GetRecordCount(), 3);
  ASSERT_TRUE(cursor->SetToRecordNo(2));
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 60);
  EXPECT_EQ(cursor->GetRecordNo(), 2);
  cursor->ResetRange();
  EXPECT_FALSE(cursor->RangeActive());
  EXPECT_EQ(cursor->GetRecordCount(), 6);
}

TEST_F(RangeTest, OneFieldRangeOverManyIndexPagesKeepsEveryRecordOfTheValue) {
  CreatePeople();
  auto cursor = Open("people");
  static const char* kCities[] = {"Kobe", "Kyoto", "Osaka"};
  std::vector<int32_t> kyoto;
  for (int32_t id = 1; id <= 900; ++id) {
    char name[8];
    std::snprintf(name, sizeof name, "p%04d", id);  // name order is ID order
    const std::string city = kCities[(id * 7) % 3];
    AddPerson(*cursor, id, name, city);
    if (city == "Kyoto") kyoto.push_back(id);
  }
  cursor->SetIndexName("ByCityName");
  const std::vector<uint8_t> key = KeyRecord(*cursor, "Kyoto");
  cursor->SetRange(key.data(), 1, key.data(), 1);
  EXPECT_EQ(Walk(*cursor), kyoto);
  EXPECT_EQ(cursor->GetRecordCount(), static_cast<int32_t>(kyoto.size()));
  // The same records through a filter on the range's index.
  cursor->ResetRange();
  Filter(*cursor, "CITY = 'Kyoto'");
  EXPECT_EQ(Walk(*cursor), kyoto);
}

TEST_F(RangeTest, BoundsFieldCountsAndOpenEnds) {
  auto cursor = People();
  cursor->SetIndexName("ByCityName");
  struct Case {
    std::string Label;
    std::vector<uint8_t> Start;  // empty: no start record
    int StartCount;
    std::vector<uint8_t> End;    // empty: no end record
    int EndCount;
    std::vector<int32_t> Ids;
  };
  const std::vector<Case> cases = {
      {"Kobe to Kyoto", KeyRecord(*cursor, "Kobe"), 1, KeyRecord(*cursor, "Kyoto"), 1, {40, 10, 60, 50}},
      {"Kyoto Aiya to Osaka", KeyRecord(*cursor, "Kyoto", "Aiya"), 2, KeyRecord(*cursor, "Osaka"), 1,
       {60, 50, 20, 30}},
      {"from Kyoto", KeyRecord(*cursor, "Kyoto"), 1, {}, 0, {10, 60, 50, 20, 30}},
      {"to Kobe", {}, 0, KeyRecord(*cursor, "Kobe"), 1, {40}},
      {"Ka to Kz", KeyRecord(*cursor, "Ka"), 1, KeyRecord(*cursor, "Kz"), 1, {40, 10, 60, 50}},
      {"field count 0 means all", KeyRecord(*cursor, "Kyoto", "Aiya"), 0, KeyRecord(*cursor, "Kyoto", "Eri"), 0,
       {60, 50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Label);
    cursor->SetRange(c.Start.empty() ? nullptr : c.Start.data(), c.StartCount,
                     c.End.empty() ? nullptr : c.End.data(), c.EndCount);
    EXPECT_EQ(Walk(*cursor), c.Ids);
    EXPECT_EQ(cursor->GetRecordCount(), static_cast<int32_t>(c.Ids.size()));
  }
}

TEST_F(RangeTest, StartAfterEndGivesAnEmptyView) {
  auto cursor = People();
  const std::vector<uint8_t> start = IdRecord(*cursor, 40);
  const std::vector<uint8_t> end = IdRecord(*cursor, 20);
  cursor->SetRange(start.data(), 0, end.data(), 0);
  cursor->SetToBegin();
  EXPECT_TRUE(cursor->AtBeginning());
  EXPECT_TRUE(cursor->AtEnd());
  EXPECT_EQ(cursor->GetRecordCount(), 0);
  EXPECT_EQ(cursor->GetNextRecord(), RUDIRA_EOF);
  // With a filter active the view is empty too.
  Filter(*cursor, "AGE > 0");
  EXPECT_EQ(cursor->GetRecordCount(), 0);
  cursor->SetRange(end.data(), 0, start.data(), 0);
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{20, 30, 40}));
}

TEST_F(RangeTest, NaturalOrderIgnoresRanges) {
  auto cursor = People();
  auto natural = Open("people", [](TDataCursor& c) { c.SetNaturalOrder(true); });
  const std::vector<int32_t> before = Walk(*natural);
  const std::vector<uint8_t> start = IdRecord(*cursor, 20);
  const std::vector<uint8_t> end = IdRecord(*cursor, 30);
  natural->SetRange(start.data(), 0, end.data(), 0);
  EXPECT_FALSE(natural->RangeActive());
  EXPECT_EQ(natural->GetRecordCount(), 6);
  EXPECT_EQ(Walk(*natural), before);
  natural->ResetRange();
  EXPECT_EQ(Walk(*natural), before);
}

TEST_F(RangeTest, RangeAndFiltersCombineAndSwitchingIndexDropsTheRange) {
  auto cursor = People();
  const std::vector<uint8_t> start = IdRecord(*cursor, 20);
  const std::vector<uint8_t> end = IdRecord(*cursor, 50);
  cursor->SetRange(start.data(), 0, end.data(), 0);
  Filter(*cursor, "CITY <> 'Kobe'");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{20, 30, 50}));
  EXPECT_EQ(cursor->GetRecordCount(), 3);
  // A record written into the range passes both.
  AddPerson(*cursor, 35, "Hana", "Nara");
  AddPerson(*cursor, 90, "Isamu", "Nara");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{20, 30, 35, 50}));
  cursor->SetIndexName("ByName");
  EXPECT_FALSE(cursor->RangeActive());
  EXPECT_EQ(cursor->GetRecordCount(), 7);
}

TEST_F(RangeTest, DescendingIndexPrefixRange) {
  CreateTable("scores", {{"ID", kFieldTypeInteger}, {"TEAM", kFieldTypeString, 8}, {"SCORE", kFieldTypeInteger}},
                   {"", {1}}, {{"ByTeamScore", {2, 3}, false, true}});
  auto cursor = Open("scores");
  const std::vector<std::tuple<int32_t, std::string, int32_t>> rows = {
      {1, "red", 5}, {2, "blue", 7}, {3, "red", 9}, {4, "green", 1}, {5, "blue", 3}, {6, "red", 1}};
  for (const auto& [id, team, score] : rows) {
    std::vector<uint8_t> record = Blank(*cursor);
    Set(*cursor, record, "ID", id);
    Set(*cursor, record, "TEAM", team);
    Set(*cursor, record, "SCORE", score);
    cursor->AppendRecord(record.data());
  }
  cursor->SetIndexName("ByTeamScore");
  std::vector<uint8_t> red = Blank(*cursor);
  Set(*cursor, red, "TEAM", std::string("red"));
  cursor->SetRange(red.data(), 1, red.data(), 1);
  // Descending: the highest score first.
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{3, 1, 6}));
  std::vector<uint8_t> green = Blank(*cursor);
  Set(*cursor, green, "TEAM", std::string("green"));
  // Descending team order: red, green, blue.
  cursor->SetRange(red.data(), 1, green.data(), 1);
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{3, 1, 6, 4}));
  // A filter on the descending index.
  cursor->ResetRange();
  TFilter* filter = Filter(*cursor, "TEAM < 'red' AND TEAM >= 'c'");
  EXPECT_EQ(cursor->GetFilterOptimizeLevel(filter), 2);
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{4}));
}

}  // namespace
}  // namespace rudira::filtertest
