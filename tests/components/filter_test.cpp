// Filter, Filtered, FilterOptions and OnFilterRecord through the cursor's
// filter layer, and Locate and Lookup through a temporary cursor filter, on
// tables and query results.
#include <gtest/gtest.h>

#include <functional>

#include "components/rudira_query.h"
#include "components/rudira_table.h"
#include "components/support/dataset_test_support.h"
#include "engine/error_codes.h"

namespace rudira {
namespace {

using dstest::FigureRow;
using Keys = std::vector<std::string>;

// Rows with texts that a filter text would have to quote or could take for
// a field name.
const std::vector<FigureRow> kRows = {
    {1, 0, 1, 61, 0, 0, "", 1},     {1, 1, 2, 300, 1, 2, "Star", 2},   {1, 2, 1, 72, 2, 0, "it's", 3},
    {2, 0, 2, 61, 0, 0, "PST", 1},  {2, 1, 1, 300, 1, 2, "starry", 2}, {3, 0, 1, 180, 0, 0, "天元", 1},
    {3, 1, 2, 300, 1, 2, "", 2},
};

std::string KeyOf(const FigureRow& row) { return std::to_string(row.MNB) + "." + std::to_string(row.TES); }

// The keys of the rows that satisfy `test`, in the table's natural order.
Keys RowsWhere(const std::function<bool(const FigureRow&)>& test) {
  Keys keys;
  for (const FigureRow& row : kRows) {
    if (test(row)) keys.push_back(KeyOf(row));
  }
  return keys;
}

std::string CurrentKey(TDataSet& dataSet) {
  return dataSet.FieldByName("MNB").AsString() + "." + dataSet.FieldByName("TES").AsString();
}

Keys AllKeys(TDataSet& dataSet) {
  Keys keys;
  dataSet.First();
  while (!dataSet.Eof()) {
    keys.push_back(CurrentKey(dataSet));
    dataSet.Next();
  }
  return keys;
}

class FilterTest : public dstest::TDataSetTest {
 protected:
  void SetUp() override {
    TDataSetTest::SetUp();
    CreateFigureTable();
    figures_.reset(NewTable(nullptr, "figure"));
    figures_->Open();
    for (const FigureRow& row : kRows) AppendFigure(*figures_, row);
    figures_->First();
  }
  void TearDown() override {
    figures_.reset();
    TDataSetTest::TearDown();
  }
  std::unique_ptr<TRUDIRATable> figures_;
};

TEST_F(FilterTest, TheFilterTextNarrowsReadsAndRecordCountFromAnIndexWhereOneAnswers) {
  struct Case {
    std::string Text;
    std::function<bool(const FigureRow&)> Test;
    uint8_t Level;  // 2: answered from the MNB index
  };
  const std::vector<Case> cases = {
      {"MNB = 2", [](const FigureRow& r) { return r.MNB == 2; }, 2},
      {"(MNB >= 2) and (MNB < 3)", [](const FigureRow& r) { return r.MNB >= 2 && r.MNB < 3; }, 2},
      {"(MNB = 1) or (MNB = 3)", [](const FigureRow& r) { return r.MNB == 1 || r.MNB == 3; }, 2},
      {"MNB = 9", [](const FigureRow&) { return false; }, 2},
      {"(PST = 300) and (MNB <> 1)", [](const FigureRow& r) { return r.PST == 300 && r.MNB != 1; }, 1},
      {"PST = 300", [](const FigureRow& r) { return r.PST == 300; }, 0},
  };
  figures_->SetFiltered(true);
  for (const Case& c : cases) {
    const uint64_t readsBefore = figures_->Handle()->FilterRecordReads();
    figures_->SetFilter(c.Text);
    const uint64_t readsOfActivation = figures_->Handle()->FilterRecordReads() - readsBefore;
    const std::vector<TFilter*> filters = figures_->Handle()->Filters();
    ASSERT_EQ(filters.size(), 1u) << c.Text;
    EXPECT_EQ(figures_->Handle()->GetFilterOptimizeLevel(filters[0]), c.Level) << c.Text;
    if (c.Level == 2) {
      EXPECT_EQ(readsOfActivation, 0u) << c.Text;
    } else {
      EXPECT_GT(readsOfActivation, 0u) << c.Text;
    }
    const Keys expected = RowsWhere(c.Test);
    EXPECT_EQ(AllKeys(*figures_), expected) << c.Text;
    EXPECT_EQ(figures_->RecordCount(), static_cast<int32_t>(expected.size())) << c.Text;
    EXPECT_EQ(figures_->IsEmpty(), expected.empty()) << c.Text;
    if (expected.empty()) continue;
    figures_->Last();
    EXPECT_EQ(CurrentKey(*figures_), expected.back()) << c.Text;
    EXPECT_EQ(figures_->RecNo(), static_cast<int32_t>(expected.size())) << c.Text;
    figures_->SetRecNo(1);
    EXPECT_EQ(CurrentKey(*figures_), expected.front()) << c.Text;
  }
}

TEST_F(FilterTest, ChangingTheTextOrOptionsWhileFilteredReplacesTheFilter) {
  figures_->SetFilter("MNB = 1");
  EXPECT_EQ(figures_->RecordCount(), static_cast<int32_t>(kRows.size()));  // not Filtered yet
  figures_->SetFiltered(true);
  EXPECT_EQ(AllKeys(*figures_), RowsWhere([](const FigureRow& r) { return r.MNB == 1; }));
  figures_->SetFilter("MNB = 3");
  EXPECT_EQ(AllKeys(*figures_), RowsWhere([](const FigureRow& r) { return r.MNB == 3; }));
  EXPECT_EQ(figures_->Handle()->FilterCount(), 1u);

  // A rejected text raises the parser's error and leaves the filter in force.
  EXPECT_EQ(CodeOfEngine([&] { figures_->SetFilter("MNB = = 1"); }), RUDIRA_INVALIDFILTER);
  EXPECT_EQ(AllKeys(*figures_), RowsWhere([](const FigureRow& r) { return r.MNB == 3; }));

  // A trailing "*" compares a prefix unless foNoPartialCompare; the case
  // option ignores case.
  auto startsWith = [](const std::string& text, const std::string& prefix, bool anyCase) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
      if (anyCase ? std::tolower(text[i]) != std::tolower(prefix[i]) : text[i] != prefix[i]) return false;
    }
    return true;
  };
  figures_->SetFilter("DTX = 'star*'");
  EXPECT_EQ(AllKeys(*figures_), RowsWhere([&](const FigureRow& r) { return startsWith(r.DTX, "star", false); }));
  figures_->SetFilterOptions({.CaseInsensitive = true});
  EXPECT_EQ(AllKeys(*figures_), RowsWhere([&](const FigureRow& r) { return startsWith(r.DTX, "star", true); }));
  figures_->SetFilterOptions({.CaseInsensitive = true, .NoPartialCompare = true});
  EXPECT_TRUE(figures_->IsEmpty());
  EXPECT_EQ(figures_->RecordCount(), 0);
  figures_->SetFilter("DTX = 'it''s'");
  EXPECT_EQ(AllKeys(*figures_), RowsWhere([](const FigureRow& r) { return r.DTX == "it's"; }));

  figures_->SetFiltered(false);
  EXPECT_EQ(figures_->Handle()->FilterCount(), 0u);
  EXPECT_EQ(AllKeys(*figures_), RowsWhere([](const FigureRow&) { return true; }));
}

TEST_F(FilterTest, OnFilterRecordRunsAfterTheTextFilterOnTheRecordsItLeaves) {
  std::vector<int32_t> tried;  // MNB of every record the handler saw
  figures_->OnFilterRecord = [&tried](TDataSet& dataSet, bool& accept) {
    EXPECT_EQ(dataSet.State(), TDataSetState::dsFilter);
    tried.push_back(dataSet.FieldByName("MNB").AsInteger());
    accept = dataSet.FieldByName("COL").AsInteger() == 1;
  };
  figures_->SetFiltered(true);  // the handler alone: every record
  EXPECT_EQ(tried.size(), kRows.size());
  EXPECT_EQ(AllKeys(*figures_), RowsWhere([](const FigureRow& r) { return r.COL == 1; }));

  // A text filter set afterwards still runs first.
  tried.clear();
  figures_->SetFilter("MNB = 1");
  ASSERT_FALSE(tried.empty());
  for (int32_t mnb : tried) EXPECT_EQ(mnb, 1);
  const Keys both = RowsWhere([](const FigureRow& r) { return r.MNB == 1 && r.COL == 1; });
  EXPECT_EQ(AllKeys(*figures_), both);
  EXPECT_EQ(figures_->RecordCount(), static_cast<int32_t>(both.size()));

  // A record posted through the dataset is tried again: changed so that the
  // handler rejects it, it leaves the view.
  figures_->First();
  const std::string changed = CurrentKey(*figures_);
  figures_->Edit();
  figures_->FieldByName("COL").SetAsInteger(2);
  figures_->Post();
  EXPECT_EQ(figures_->RecordCount(), static_cast<int32_t>(both.size()) - 1);
  for (const std::string& key : AllKeys(*figures_)) EXPECT_NE(key, changed);

  // A new handler assigned while Filtered applies at once.
  figures_->OnFilterRecord = [](TDataSet&, bool& accept) { accept = false; };
  EXPECT_TRUE(figures_->IsEmpty());
  figures_->OnFilterRecord = nullptr;
  EXPECT_EQ(AllKeys(*figures_), RowsWhere([](const FigureRow& r) { return r.MNB == 1; }));
}

TEST_F(FilterTest, LocateAndLookupOnAQueryResultThroughATemporaryFilter) {
  struct Search {
    std::string Fields;
    std::vector<TFieldValue> Values;
    TLocateOptions Options;
    std::string Found;  // the key of the first matching row; empty: none
  };
  const std::vector<Search> searches = {
      {"COL;PST;BTO", {int16_t{1}, int16_t{300}, int16_t{2}}, {}, "2.1"},
      {"COL;PST;BTO", {int16_t{1}, int16_t{300}, int16_t{3}}, {}, ""},
      {"DTX", {std::string("sta*")}, {.PartialKey = true}, "2.1"},
      {"DTX", {std::string("sta")}, {.PartialKey = true}, "2.1"},
      {"DTX", {std::string("sta")}, {}, ""},
      {"DTX", {std::string("STAR")}, {.CaseInsensitive = true}, "1.1"},
      {"DTX", {std::string("STA")}, {.CaseInsensitive = true, .PartialKey = true}, "1.1"},
      {"DTX", {std::string("STAR")}, {}, ""},
      {"DTX", {std::monostate{}}, {}, "1.0"},
      {"MNB;DTX", {int32_t{3}, std::monostate{}}, {}, "3.1"},
      {"DTX", {std::string("")}, {.PartialKey = true}, "1.1"},  // any text
      {"DTX", {std::string("it's")}, {}, "1.2"},
      {"DTX", {std::string("PST")}, {}, "2.0"},  // a value, not the field PST
      {"CMT", {std::string("正解です")}, {}, "1.2"},  // a memo compared whole
      {"CMT", {std::string("正解")}, {}, ""},
  };
  figures_->SetRecNo(3);
  figures_->Edit();
  figures_->FieldByName("CMT").SetAsString("正解です");
  figures_->Post();
  figures_->Close();
  struct Result {
    std::string Sql;
    bool Live;
  };
  const std::vector<Result> results = {{"select * from figure", false}, {"select * from figure where MNB > 0", true}};
  for (const Result& result : results) {
    TRUDIRAQuery query;
    query.SetDatabaseName("kyozai");
    query.SetRequestLive(result.Live);
    query.SQL().Add(result.Sql);
    query.Open();
    // A live result carries its WHERE condition as a filter of its cursor;
    // the temporary filter goes beside it.
    const size_t filtersOfTheResult = query.Handle()->FilterCount();
    EXPECT_EQ(filtersOfTheResult > 0, result.Live) << result.Sql;
    for (const Search& s : searches) {
      const std::string what = result.Sql + " / " + s.Fields;
      query.Last();
      const std::string before = CurrentKey(query);
      EXPECT_EQ(query.Locate(s.Fields, s.Values, s.Options), !s.Found.empty()) << what;
      EXPECT_EQ(CurrentKey(query), s.Found.empty() ? before : s.Found) << what;
      EXPECT_EQ(query.Handle()->FilterCount(), filtersOfTheResult) << what;
    }

    // With the dataset's own filters active the search sees only their rows.
    query.SetFilter("MNB <> 1");
    query.SetFiltered(true);
    EXPECT_TRUE(query.Locate("DTX", {std::monostate{}}, {})) << result.Sql;
    EXPECT_EQ(CurrentKey(query), "3.1") << result.Sql;
    EXPECT_TRUE(query.Locate("PST", {int16_t{300}}, {})) << result.Sql;
    EXPECT_EQ(CurrentKey(query), "2.1") << result.Sql;
    const std::vector<TFieldValue> looked = query.Lookup("PST;BTO", {int16_t{300}, int16_t{2}}, "DTX");
    ASSERT_EQ(looked.size(), 1u) << result.Sql;
    EXPECT_EQ(std::get<std::string>(looked[0]), "starry") << result.Sql;
    query.OnFilterRecord = [](TDataSet& dataSet, bool& accept) {
      accept = dataSet.FieldByName("MNB").AsInteger() != 3;
    };
    EXPECT_FALSE(query.Locate("DTX", {std::monostate{}}, {})) << result.Sql;
    EXPECT_TRUE(query.Lookup("MNB", {int32_t{3}}, "DTX").empty()) << result.Sql;
    EXPECT_TRUE(query.Locate("MNB", {int32_t{2}}, {})) << result.Sql;
    EXPECT_EQ(CurrentKey(query), "2.0") << result.Sql;

    // Close takes the dataset's filters off the result cursor.
    query.Close();
    query.SetFiltered(false);
    query.Open();
    EXPECT_EQ(query.Handle()->FilterCount(), filtersOfTheResult) << result.Sql;
    EXPECT_EQ(query.RecordCount(), static_cast<int32_t>(kRows.size())) << result.Sql;
  }
}

}  // namespace
}  // namespace rudira
