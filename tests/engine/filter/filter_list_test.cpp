// Filters on a cursor: the list and its limits, the messages of bad
// filters, the optimisation levels, evaluation without reading records,
// callback and late filters, partial compares, per-record view updates and
// clones.
#include <gmock/gmock.h>

#include "engine/error_codes.h"
#include "engine/expression_parser.h"
#include "engine/filter/filter_fixture.h"

namespace rudira::filtertest {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// ID primary; NAME with a case-sensitive index; CODE with only a
// case-insensitive index; AGE without an index.
class FilterLevelTest : public FilterTest {
 protected:
  void SetUp() override {
    FilterTest::SetUp();
    CreateTable("codes",
                     {{"ID", kFieldTypeInteger}, {"NAME", kFieldTypeString, 10}, {"CODE", kFieldTypeString, 10},
                      {"AGE", kFieldTypeInteger}},
                     {"", {1}}, {{"ByName", {2}}, {"ByCode", {3}, false, false, true}});
    cursor_ = Open("codes");
    const std::vector<std::tuple<int32_t, std::string, std::string, int32_t>> rows = {
        {1, "ab", "ab", 10}, {2, "Ab", "Ab", 20}, {3, "AB", "AB", 30}, {4, "cd", "cd", 40}, {5, "Cd", "xy", 50}};
    for (const auto& [id, name, code, age] : rows) {
      std::vector<uint8_t> record = Blank(*cursor_);
      Set(*cursor_, record, "ID", id);
      Set(*cursor_, record, "NAME", name);
      Set(*cursor_, record, "CODE", code);
      Set(*cursor_, record, "AGE", age);
      cursor_->AppendRecord(record.data());
    }
  }
  // The cursor goes before the session it refers to, which the base
  // class's TearDown closes.
  void TearDown() override {
    cursor_.reset();
    FilterTest::TearDown();
  }
  std::unique_ptr<TDataCursor> cursor_;
};

TEST_F(FilterLevelTest, LevelFollowsTheCaseSensitivityOfTheIndexAndTheViewIsRight) {
  struct Case {
    std::string Text;
    bool CaseInsensitive;
    uint8_t Level;
    std::set<int32_t> Ids;
  };
  const std::vector<Case> cases = {
      {"NAME = 'Ab'", false, 2, {2}},
      {"CODE = 'Ab'", false, 0, {2}},               // only a case-insensitive index starts with CODE
      {"UPPER(CODE) = 'AB'", false, 2, {1, 2, 3}},  // answered by that index
      {"UPPER(CODE) = 'ab'", false, 2, {}},         // no upper-case text equals 'ab'
      {"CODE = 'ab'", true, 2, {1, 2, 3}},          // a case-insensitive comparison
      {"NAME = 'ab'", true, 0, {1, 2, 3}},          // ... that the case-sensitive index cannot answer
      {"NAME > 'a'", true, 2, {1, 4}},              // ordering stays case-sensitive
      {"ID >= 3", false, 2, {3, 4, 5}},
      {"4 > ID", false, 2, {1, 2, 3}},
      {"ID <> 2", false, 2, {1, 3, 4, 5}},
      {"AGE = 20", false, 0, {2}},
      {"ID > 1 AND AGE < 40", false, 1, {2, 3}},
      {"AGE < 40 AND ID > 1", false, 1, {2, 3}},
      {"ID = 1 OR NAME = 'cd'", false, 2, {1, 4}},
      {"ID = 1 OR AGE = 50", false, 0, {1, 5}},
      {"NOT (ID < 3)", false, 2, {3, 4, 5}},
      {"NAME IS NULL", false, 2, {}},
      {"NAME IS NOT NULL AND ID <= 2", false, 2, {1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    TCursorFilterOptions options;
    options.CaseInsensitive = c.CaseInsensitive;
    TFilter* filter = Filter(*cursor_, c.Text, options);
    EXPECT_EQ(cursor_->GetFilterOptimizeLevel(filter), c.Level);
    EXPECT_EQ(IdSet(*cursor_), c.Ids);
    EXPECT_EQ(cursor_->GetRecordCount(), static_cast<int32_t>(c.Ids.size()));
    cursor_->DropFilter(filter);
  }
  EXPECT_EQ(cursor_->GetRecordCount(), 5);
}

TEST_F(FilterLevelTest, PartialAndMovesTheIndexedSideLeftAndEstimatesAreKeyCounts) {
  TCursorFilterOptions options;
  options.ComputeEstimates = true;
  TFilter* filter = cursor_->AddFilter("AGE < 40 AND ID > 1", options);
  const TExpToken& root = *filter->Expression();
  EXPECT_EQ(root.OptimizeLevel, 1);
  ASSERT_EQ(root.Left->OptimizeLevel, 2);
  EXPECT_EQ(root.Left->Left->ColumnName, "ID");
  EXPECT_EQ(root.Left->EstimatedCount, 4);
  EXPECT_EQ(root.Right->OptimizeLevel, 0);

  TFilter* equal = cursor_->AddFilter("NAME = 'cd' OR ID < 3", options);
  EXPECT_EQ(equal->Expression()->EstimatedCount, 2);  // the larger side
  EXPECT_EQ(equal->Expression()->Left->EstimatedCount, 1);
}

TEST_F(FilterLevelTest, AlwaysFalseFilterCountsZeroWithoutReadingRecords) {
  Filter(*cursor_, "1 = 0");
  EXPECT_EQ(cursor_->GetRecordCount(), 0);
  cursor_->SetToBegin();
  EXPECT_TRUE(cursor_->AtBeginning());
  EXPECT_TRUE(cursor_->AtEnd());
  EXPECT_EQ(cursor_->FilterRecordReads(), 0u);
  // Index-answered conditions read nothing either; an evaluated one reads
  // every candidate.
  cursor_->DropFilter();
  Filter(*cursor_, "ID > 2 AND NAME <> 'cd'");
  EXPECT_EQ(cursor_->GetRecordCount(), 2);
  EXPECT_EQ(cursor_->FilterRecordReads(), 0u);
  cursor_->DropFilter();
  Filter(*cursor_, "AGE + 0 > 0");
  EXPECT_EQ(cursor_->GetRecordCount(), 5);
  EXPECT_EQ(cursor_->FilterRecordReads(), 5u);
}

TEST_F(FilterLevelTest, PartialCompareUnlessSwitchedOff) {
  Filter(*cursor_, "NAME = 'A*'");
  EXPECT_EQ(IdSet(*cursor_), (std::set<int32_t>{2, 3}));
  cursor_->DropFilter();
  Filter(*cursor_, "NAME <> 'c*'");
  EXPECT_EQ(IdSet(*cursor_), (std::set<int32_t>{1, 2, 3, 5}));
  cursor_->DropFilter();
  TCursorFilterOptions insensitive;
  insensitive.CaseInsensitive = true;
  Filter(*cursor_, "NAME = 'c*'", insensitive);
  EXPECT_EQ(IdSet(*cursor_), (std::set<int32_t>{4, 5}));
  cursor_->DropFilter();
  TCursorFilterOptions literal;
  literal.NoPartialCompare = true;
  Filter(*cursor_, "NAME = 'A*'", literal);
  EXPECT_EQ(cursor_->GetRecordCount(), 0);
}

class FilterListTest : public FilterTest {};

TEST_F(FilterListTest, NinetyPercentRuleDemotesCommonConditionsOnNaturalOrderOnly) {
  auto cursor = People();
  auto natural = Open("people", [](TDataCursor& c) { c.SetNaturalOrder(true); });
  TCursorFilterOptions rule;
  rule.NinetyPercentRule = true;
  // Six keys above 0 of six records: more than 90 percent (5).
  EXPECT_EQ(natural->GetFilterOptimizeLevel(natural->AddFilter("ID > 0", rule)), 0);
  EXPECT_EQ(natural->GetFilterOptimizeLevel(natural->AddFilter("ID > 10", rule)), 2);
  // Beside a selective full side the common one is answered by the index too.
  EXPECT_EQ(natural->GetFilterOptimizeLevel(natural->AddFilter("ID > 0 AND NAME = 'Eri'", rule)), 2);
  EXPECT_EQ(cursor->GetFilterOptimizeLevel(cursor->AddFilter("ID > 0", rule)), 2);
  EXPECT_EQ(natural->GetFilterOptimizeLevel(natural->AddFilter("ID > 0")), 2);
  natural->ActivateFilter();
  EXPECT_EQ(natural->GetRecordCount(), 1);
}

TEST_F(FilterListTest, CallbackAddedFirstRunsLastOnTheSurvivorsOnly) {
  auto cursor = People();
  std::vector<int32_t> seen;
  int owner = 7;
  TCursorFilterOptions late;
  late.Late = true;
  TFilter* callback = cursor->AddFilter(
      &owner,
      [&](void* who, const uint8_t* record) {
        EXPECT_EQ(who, &owner);
        std::vector<uint8_t> copy(record, record + cursor->RecordSize());
        seen.push_back(IntOf(*cursor, copy));
        return IntOf(*cursor, copy) != 50;
      },
      late);
  TFilter* expression = cursor->AddFilter("AGE > 30");
  EXPECT_THAT(cursor->Filters(), ElementsAre(expression, callback));
  EXPECT_TRUE(callback->IsCallback());
  EXPECT_EQ(cursor->GetFilterOptimizeLevel(callback), 0);
  cursor->ActivateFilter();
  // AGE > 30: 30 (41), 40 (52), 50 (33); the callback then drops 50.
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<int32_t>{30, 40, 50}));
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{30, 40}));
  EXPECT_EQ(cursor->GetRecordCount(), 2);
  // A filter added later still goes before the late one.
  TFilter* third = cursor->AddFilter("ID > 0");
  EXPECT_THAT(cursor->Filters(), ElementsAre(expression, third, callback));
}

TEST_F(FilterListTest, ActivateDeactivateAndDropOneOrAll) {
  auto cursor = People();
  TFilter* kyoto = cursor->AddFilter("CITY = 'Kyoto'");
  TFilter* young = cursor->AddFilter("AGE < 32");
  EXPECT_FALSE(kyoto->Active());
  EXPECT_EQ(cursor->GetRecordCount(), 6);
  cursor->ActivateFilter(kyoto);
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{10, 50, 60}));
  cursor->ActivateFilter();
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{10, 60}));
  cursor->DeactivateFilter(kyoto);
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{10, 20, 60}));
  cursor->DropFilter(young);
  EXPECT_EQ(cursor->FilterCount(), 1u);
  EXPECT_FALSE(cursor->FilterActive());
  EXPECT_EQ(cursor->GetRecordCount(), 6);
  cursor->ActivateFilter();
  EXPECT_EQ(cursor->GetRecordCount(), 3);
  cursor->DropFilter();
  EXPECT_EQ(cursor->FilterCount(), 0u);
  EXPECT_EQ(cursor->GetRecordCount(), 6);
}

TEST_F(FilterListTest, ActivatingKeepsTheCurrentRecordOrMovesToTheNextInView) {
  auto cursor = People();
  GoTo(*cursor, 40);
  Filter(*cursor, "ID <> 20");
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 40);
  cursor->DropFilter();
  GoTo(*cursor, 40);
  Filter(*cursor, "ID <> 40");
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 50);
}

TEST_F(FilterListTest, SixtyFifthFilterIsRefusedAndSixtyFourStay) {
  auto cursor = People();
  for (int i = 0; i < 64; ++i) cursor->AddFilter("ID <> " + std::to_string(i * 10));
  EXPECT_EQ(CodeOf([&] { cursor->AddFilter("ID > 0"); }), RUDIRA_INTERNALLIMIT);
  EXPECT_EQ(CodeOf([&] { cursor->AddFilter(nullptr, [](void*, const uint8_t*) { return true; }); }),
            RUDIRA_INTERNALLIMIT);
  EXPECT_EQ(cursor->FilterCount(), 64u);
  cursor->ActivateFilter();
  // IDs 10..60 are all excluded by the filters "ID <> 10" ... "ID <> 60".
  EXPECT_EQ(cursor->GetRecordCount(), 0);
  cursor->DropFilter(cursor->Filters()[1]);  // "ID <> 10"
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{10}));
}

TEST_F(FilterListTest, BadFiltersRaiseTheirMessagesAndChangeNothing) {
  auto cursor = People();
  Filter(*cursor, "CITY = 'Osaka'");
  struct Case {
    std::function<void()> Action;
    uint16_t Code;
    std::string Message;
  };
  TDataCursor other(*session_, *db_);
  other.SetTableName("people");
  other.OpenCursor();
  TFilter* foreign = other.AddFilter("ID > 0");
  const std::vector<Case> cases = {
      {[&] { cursor->AddFilter(""); }, RUDIRA_INVALIDFILTER, "filter expression is empty"},
      {[&] { cursor->AddFilter("   "); }, RUDIRA_INVALIDFILTER, "filter expression is empty"},
      {[&] { cursor->AddFilter("ID + 1"); }, RUDIRA_INVALIDFILTER, "filter expression must be a boolean expression"},
      {[&] { cursor->AddFilter("ID = "); }, RUDIRA_INVALIDFILTER, "in filter expression"},
      {[&] { cursor->AddFilter("NOSUCH = 1"); }, RUDIRA_INVALIDFILTER, "in filter expression"},
      {[&] { cursor->AddFilter(TExpTokenPtr()); }, RUDIRA_INVALIDFILTER, "filter expression is invalid"},
      {[&] { cursor->AddFilter(static_cast<TExpToken*>(nullptr)); }, RUDIRA_INVALIDFILTER,
       "filter expression is invalid"},
      {[&] { cursor->AddFilter(nullptr, TFilterCallback()); }, RUDIRA_INVALIDFILTER, "filter expression is invalid"},
      {[&] { cursor->ActivateFilter(foreign); }, RUDIRA_NOSUCHFILTER, ""},
      {[&] { cursor->DeactivateFilter(foreign); }, RUDIRA_NOSUCHFILTER, ""},
      {[&] { cursor->DropFilter(foreign); }, RUDIRA_NOSUCHFILTER, ""},
      {[&] { cursor->GetFilterOptimizeLevel(foreign); }, RUDIRA_NOSUCHFILTER, ""},
      {[&] { cursor->ReplaceFilterExpression(foreign, TExpTokenPtr()); }, RUDIRA_NOSUCHFILTER, ""},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(CodeOf(cases[i].Action), cases[i].Code);
    EXPECT_THAT(MessageOf(cases[i].Action), HasSubstr(cases[i].Message));
    EXPECT_EQ(cursor->FilterCount(), 1u);
    EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{20, 30}));
  }
}

TEST_F(FilterListTest, ReplaceExpressionAndReadyTrees) {
  auto cursor = People();
  TFilter* filter = Filter(*cursor, "CITY = 'Osaka'");
  auto parse = [&](const std::string& text) {
    TExpressionParser parser(RUDIRA_INVALIDFILTER, kFilterContext);
    parser.SetText(text);
    return parser.Parse(kFilterPermissions);
  };
  cursor->ReplaceFilterExpression(filter, parse("CITY = 'Kobe'"));
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{40}));
  EXPECT_EQ(CodeOf([&] { cursor->ReplaceFilterExpression(filter, parse("AGE")); }), RUDIRA_INVALIDFILTER);
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{40}));

  // A tree the caller keeps: the filter only refers to it.
  TExpTokenPtr kept = parse("AGE > 40");
  cursor->DropFilter();
  TFilter* borrowed = Filter(*cursor, "ID > 0");
  cursor->DropFilter(borrowed);
  borrowed = cursor->AddFilter(kept.get());
  EXPECT_FALSE(borrowed->OwnsExpression());
  cursor->ActivateFilter(borrowed);
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{30, 40}));
  cursor->DropFilter();
  EXPECT_EQ(kept->Left->ColumnName, "AGE");
}

TEST_F(FilterListTest, OwnWritesUpdateTheViewRecordByRecord) {
  auto cursor = People();
  Filter(*cursor, "AGE > 30");
  EXPECT_EQ(cursor->GetRecordCount(), 3);
  const uint64_t reads = cursor->FilterRecordReads();
  std::vector<uint8_t> record = GoTo(*cursor, 30);
  ASSERT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
  Set(*cursor, record, "AGE", int16_t{18});
  cursor->ModifyRecord(record.data());
  EXPECT_EQ(cursor->GetRecordCount(), 2);
  AddPerson(*cursor, 70, "Fumi", "Nara", 70);
  AddPerson(*cursor, 80, "Goro", "Nara", 8);
  EXPECT_EQ(cursor->GetRecordCount(), 3);
  record = GoTo(*cursor, 40);
  cursor->DeleteRecord(record.data());
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{50, 70}));
  // No rebuild read the records again.
  EXPECT_EQ(cursor->FilterRecordReads(), reads);

  // Another cursor of the session sees the changes by a rebuild.
  auto other = Open("people");
  Filter(*other, "AGE > 30");
  EXPECT_EQ(Walk(*other), (std::vector<int32_t>{50, 70}));
}

TEST_F(FilterListTest, MemoValuesAreReadWholeForTheTest) {
  CreateTable("notes", {FieldSpec("ID", kFieldTypeInteger), FieldSpec("M", kFieldTypeBlob, 0, kSubTypeMemo)},
              cursortest::IndexSpec("", {1}));
  auto cursor = Open("notes");
  const std::string longText = std::string(3000, 'x') + "needle";  // over several BLOB blocks
  const std::vector<std::pair<int32_t, std::string>> notes = {{1, "short"}, {2, longText}, {3, ""}};
  for (const auto& [id, text] : notes) {
    std::vector<uint8_t> record = Blank(*cursor);
    Set(*cursor, record, "ID", id);
    if (!text.empty()) {
      cursor->PutBlob(2, record.data(), 0, text.size(), reinterpret_cast<const uint8_t*>(text.data()));
    }
    cursor->AppendRecord(record.data());
  }
  const std::vector<std::pair<std::string, std::set<int32_t>>> cases = {
      {"M LIKE '%needle'", {2}}, {"M = 'short'", {1}}, {"M IS NULL", {3}}, {"LENGTH(M) > 3000", {2}}};
  for (const auto& [text, ids] : cases) {
    SCOPED_TRACE(text);
    TFilter* filter = Filter(*cursor, text);
    EXPECT_EQ(cursor->GetFilterOptimizeLevel(filter), 0);
    EXPECT_EQ(IdSet(*cursor), ids);
    cursor->DropFilter();
  }
}

TEST_F(FilterListTest, CloneCarriesFiltersAndRange) {
  auto cursor = People();
  cursor->SetIndexName("ByCityName");
  std::vector<uint8_t> key = Blank(*cursor);
  Set(*cursor, key, "CITY", std::string("Kyoto"));
  cursor->SetRange(key.data(), 1, key.data(), 1);
  TCursorFilterOptions partial;
  Filter(*cursor, "NAME = 'Ai*'", partial);
  Filter(*cursor, "AGE > 26");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{60}));
  cursor->DeactivateFilter(cursor->Filters()[1]);
  GoTo(*cursor, 60);
  auto clone = cursor->CloneCursor();
  EXPECT_EQ(clone->FilterCount(), 2u);
  EXPECT_TRUE(clone->RangeActive());
  EXPECT_EQ(clone->GetRecordCount(), cursor->GetRecordCount());
  EXPECT_EQ(IntOf(*clone, Current(*clone)), 60);
  EXPECT_EQ(Walk(*clone), (std::vector<int32_t>{10, 60}));
  EXPECT_FALSE(clone->Filters()[1]->Active());
  cursor.reset();
  clone->ActivateFilter();
  EXPECT_EQ(Walk(*clone), (std::vector<int32_t>{60}));
}

}  // namespace
}  // namespace rudira::filtertest
