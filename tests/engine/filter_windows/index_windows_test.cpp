// Comparisons answered from the same index, in one filter's AND chain or in
// several filters of a view, narrow each other's key ranges before index
// entries are read; the view must hold exactly the records that pass every
// filter, also beside OR, NOT, "<>" and keys shared by many index pages.
#include <cstdio>
#include <functional>
#include <optional>
#include <set>

#include "engine/filter/filter_fixture.h"

namespace rudira::filtertest {
namespace {

struct Person {
  int32_t Id;
  std::string Name;
  std::string City;
};

class IndexWindowsTest : public FilterTest {
 protected:
  void SetUp() override {
    FilterTest::SetUp();
    CreatePeople();
    cursor_ = Open("people");
    static const char* kCities[] = {"Kobe", "Kyoto", "Osaka"};
    for (int32_t id = 1; id <= 900; ++id) {
      char name[8];
      std::snprintf(name, sizeof name, "p%04d", 901 - id);  // name order against ID order
      Person person{id, name, kCities[(id * 7) % 3]};
      AddPerson(*cursor_, person.Id, person.Name, person.City);
      people_.push_back(person);
    }
  }

  std::set<int32_t> Expected(const std::function<bool(const Person&)>& passes) const {
    std::set<int32_t> ids;
    for (const Person& person : people_) {
      if (passes(person)) ids.insert(person.Id);
    }
    return ids;
  }

  // The cursor goes before the session it refers to, which the base
  // class's TearDown closes.
  void TearDown() override {
    cursor_.reset();
    FilterTest::TearDown();
  }
  std::unique_ptr<TDataCursor> cursor_;
  std::vector<Person> people_;
};

TEST_F(IndexWindowsTest, ViewHoldsTheRecordsThatPassEveryFilter) {
  using P = const Person&;
  struct Case {
    std::vector<std::string> Filters;  // each one filter of the view
    std::function<bool(P)> Passes;
  };
  const std::vector<Case> cases = {
      {{"ID >= 100", "ID <= 199"}, [](P p) { return p.Id >= 100 && p.Id <= 199; }},
      {{"ID >= 100 AND ID <= 199 AND CITY = 'Kyoto'"},
       [](P p) { return p.Id >= 100 && p.Id <= 199 && p.City == "Kyoto"; }},
      {{"ID > 500", "ID < 300"}, [](P) { return false; }},
      {{"ID >= 100", "ID <> 150", "ID < 160"}, [](P p) { return p.Id >= 100 && p.Id != 150 && p.Id < 160; }},
      {{"(ID >= 100 OR ID < 5) AND ID <= 120"}, [](P p) { return (p.Id >= 100 || p.Id < 5) && p.Id <= 120; }},
      {{"NOT (ID >= 10) AND ID > 3"}, [](P p) { return p.Id < 10 && p.Id > 3; }},
      {{"ID < 700", "NOT (ID < 650)"}, [](P p) { return p.Id < 700 && p.Id >= 650; }},
      {{"CITY >= 'Kobe'", "CITY <= 'Kyoto'", "ID > 800"},
       [](P p) { return p.City >= "Kobe" && p.City <= "Kyoto" && p.Id > 800; }},
      // Several hundred equal keys over more than two index pages.
      {{"CITY = 'Kyoto'"}, [](P p) { return p.City == "Kyoto"; }},
      {{"CITY = 'Kyoto'", "NAME > 'p0450'", "NAME <= 'p0600'", "ID > 320"},
       [](P p) { return p.City == "Kyoto" && p.Name > "p0450" && p.Name <= "p0600" && p.Id > 320; }},
      {{"NAME >= 'p0100' AND ID >= 700 AND NAME < 'p0150'"},
       [](P p) { return p.Name >= "p0100" && p.Id >= 700 && p.Name < "p0150"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Filters.front());
    for (const std::string& text : c.Filters) Filter(*cursor_, text);
    const std::set<int32_t> expected = Expected(c.Passes);
    EXPECT_EQ(IdSet(*cursor_), expected);
    EXPECT_EQ(cursor_->GetRecordCount(), static_cast<int32_t>(expected.size()));
    cursor_->DropFilter(nullptr);
  }
}

TEST_F(IndexWindowsTest, DeletedRecordsStayOutsideANarrowedView) {
  Filter(*cursor_, "ID >= 100");
  Filter(*cursor_, "ID <= 110");
  std::vector<uint8_t> record(cursor_->RecordSize());
  cursor_->SetToBegin();
  ASSERT_EQ(cursor_->GetNextRecord(record.data()), 0);
  ASSERT_EQ(IntOf(*cursor_, record), 100);
  cursor_->DeleteRecord(record.data());
  cursor_->DropFilter(nullptr);
  Filter(*cursor_, "ID <= 110");
  Filter(*cursor_, "ID >= 99");
  EXPECT_EQ(IdSet(*cursor_), (std::set<int32_t>{99, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110}));
}

// Filters answered by key ranges of one index are counted from its tree;
// the count must be the view's, and every other kind of filter is left to
// the view.
TEST_F(IndexWindowsTest, IndexCountIsTheViewCountOfRangesOfOneIndex) {
  struct Case {
    std::vector<std::string> Filters;
    bool FromIndex;
  };
  const std::vector<Case> cases = {
      {{"ID >= 100", "ID <= 199"}, true},
      {{"ID >= 100 AND ID <= 199"}, true},
      {{"ID > 500", "ID < 300"}, true},
      {{"CITY = 'Kyoto'"}, true},  // equal keys over several pages
      {{"NAME >= 'p0100' AND NAME < 'p0150'", "NAME > 'p0120'"}, true},
      {{"ID = NULL"}, true},
      {{"ID >= 100 AND ID <= 199 AND CITY = 'Kyoto'"}, false},  // two indexes
      {{"ID >= 100", "ID <> 150"}, false},
      {{"ID < 5 OR ID > 895"}, false},
      {{"NOT (ID >= 10)"}, false},
      {{"AGE > 3"}, false},  // no index
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Filters.front());
    std::vector<TFilter*> filters;
    for (const std::string& text : c.Filters) filters.push_back(cursor_->AddFilter(text));
    const std::optional<int64_t> counted = cursor_->IndexCount(filters);
    EXPECT_EQ(counted.has_value(), c.FromIndex);
    EXPECT_FALSE(cursor_->FilterActive());  // the view was not built
    cursor_->ActivateFilter(nullptr);
    if (counted) EXPECT_EQ(*counted, cursor_->GetRecordCount());
    cursor_->DropFilter(nullptr);
  }
}

TEST_F(IndexWindowsTest, IndexCountNarrowedByActiveFiltersAndDeletes) {
  Filter(*cursor_, "ID >= 100");
  std::vector<uint8_t> record(cursor_->RecordSize());
  cursor_->SetToBegin();
  ASSERT_EQ(cursor_->GetNextRecord(record.data()), 0);
  ASSERT_EQ(IntOf(*cursor_, record), 100);
  cursor_->DeleteRecord(record.data());
  TFilter* upTo = cursor_->AddFilter("ID <= 110");
  EXPECT_EQ(cursor_->IndexCount({upTo}), std::optional<int64_t>(10));
  // An active filter the index cannot answer leaves the count to the view.
  Filter(*cursor_, "AGE = NULL OR AGE <> NULL");
  EXPECT_EQ(cursor_->IndexCount({upTo}), std::nullopt);
}

TEST_F(IndexWindowsTest, IndexCountLeavesARangeToTheView) {
  cursor_->SetIndexName("ByCityName");
  std::vector<uint8_t> kyoto(cursor_->RecordSize());
  cursor_->InitRecord(kyoto.data());
  ASSERT_TRUE(StoreFieldValue(kyoto.data(), cursor_->Field(3), std::string("Kyoto"), {}));
  cursor_->SetRange(kyoto.data(), 1, kyoto.data(), 1);
  TFilter* filter = cursor_->AddFilter("ID <= 300");
  EXPECT_EQ(cursor_->IndexCount({filter}), std::nullopt);
}

}  // namespace
}  // namespace rudira::filtertest
