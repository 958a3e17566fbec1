// Random filters over random data: the view of every filter equals the set
// of records for which the evaluator, given each record in turn, finds the
// expression true; also after writes through the cursor. Random ranges on
// ascending and descending indexes keep the records between their bounds.
#include <algorithm>
#include <optional>
#include <random>

#include "engine/expression_checker.h"
#include "engine/expression_evaluator.h"
#include "engine/expression_parser.h"
#include "engine/filter/filter_fixture.h"
#include "engine/locale_services.h"
#include "storage/field_definitions.h"

namespace rudira::filtertest {
namespace {

// Column values straight from a record, for the reference evaluation.
class RecordAccess : public TExpressionRecordAccess {
 public:
  RecordAccess(const std::vector<TFieldDescriptor>& fields, const uint8_t* record) : fields_(fields), record_(record) {}
  void ReadColumn(const TExpToken& column, TExpToken& value) override {
    const TFieldValue v = ReadFieldValue(record_, fields_[static_cast<size_t>(column.FieldNo) - 1]);
    if (const auto* i = std::get_if<int32_t>(&v)) {
      value.SetInt32(*i);
    } else if (const auto* s = std::get_if<int16_t>(&v)) {
      value.SetInt16(*s);
    } else if (const auto* t = std::get_if<std::string>(&v)) {
      value.SetBytes(*t);
    } else {
      value.SetNull();
    }
  }

 private:
  const std::vector<TFieldDescriptor>& fields_;
  const uint8_t* record_;
};

class FilterRandomTest : public FilterTest, public ::testing::WithParamInterface<uint16_t> {
 protected:
  // ID primary; NUM with an index; DOWN with a descending index; STR with
  // a case-sensitive index; TXT with a case-insensitive one; FREE without.
  // No field is named like one of the random texts, which a filter would
  // take for that field.
  void SetUp() override {
    FilterTest::SetUp();
    if (GetParam() != 0 && !LocaleInstalled(GetParam(), 0)) GTEST_SKIP() << "no collation for the locale";
    CreateTable("random",
                     {{"ID", kFieldTypeInteger}, {"NUM", kFieldTypeInteger}, {"DOWN", kFieldTypeSmallInt},
                      {"STR", kFieldTypeString, 6}, {"TXT", kFieldTypeString, 6}, {"FREE", kFieldTypeInteger}},
                     {"", {1}},
                     {{"ByA", {2}, false}, {"ByD", {3}, false, true}, {"ByS", {4}, false},
                      {"ByT", {5}, false, false, true}},
                     "", {static_cast<int16_t>(GetParam()), 0});
    cursor_ = Open("random");
  }

  std::string RandomText() {
    static const char* kTexts[] = {"a", "ab", "Ab", "b", "ba", "B", "c", "abc"};
    return kTexts[rng_() % 8];
  }

  void AddRandomRecord(int32_t id) {
    std::vector<uint8_t> record = Blank(*cursor_);
    Set(*cursor_, record, "ID", id);
    auto maybe = [&](const std::string& field, const TFieldValue& value) {
      Set(*cursor_, record, field, rng_() % 8 == 0 ? TFieldValue{} : value);
    };
    maybe("NUM", static_cast<int32_t>(rng_() % 20));
    maybe("DOWN", static_cast<int16_t>(static_cast<int>(rng_() % 20) - 10));
    maybe("STR", RandomText());
    maybe("TXT", RandomText());
    maybe("FREE", static_cast<int32_t>(rng_() % 20));
    cursor_->AppendRecord(record.data());
  }

  std::string Comparison() {
    static const char* kOps[] = {"=", "<>", "<", "<=", ">", ">="};
    const std::string op = kOps[rng_() % 6];
    switch (rng_() % 8) {
      case 0: return "NUM " + op + " " + std::to_string(rng_() % 22);
      case 1: return "DOWN " + op + " " + std::to_string(static_cast<int>(rng_() % 22) - 11);
      case 2: return "STR " + op + " '" + RandomText() + "'";
      case 3: return "TXT " + op + " '" + RandomText() + "'";
      case 4: return "FREE " + op + " " + std::to_string(rng_() % 22);
      case 5: return "UPPER(TXT) " + op + " '" + (rng_() % 2 ? std::string("AB") : std::string("B")) + "'";
      case 6: return std::string(rng_() % 2 ? "NUM" : "STR") + (rng_() % 2 ? " IS NULL" : " IS NOT NULL");
      default: return std::to_string(rng_() % 22) + " " + op + " NUM";
    }
  }

  std::string Expression(int depth) {
    if (depth == 0 || rng_() % 3 == 0) return Comparison();
    switch (rng_() % 3) {
      case 0: return "(" + Expression(depth - 1) + ") AND (" + Expression(depth - 1) + ")";
      case 1: return "(" + Expression(depth - 1) + ") OR (" + Expression(depth - 1) + ")";
      default: return "NOT (" + Expression(depth - 1) + ")";
    }
  }

  // The IDs for which the expression is true, evaluated on every record.
  std::set<int32_t> Reference(const std::string& text, bool caseInsensitive) {
    TExpressionParser parser(RUDIRA_INVALIDFILTER, kFilterContext);
    parser.SetText(text);
    TExpTokenPtr root = parser.Parse(kFilterPermissions);
    const std::vector<TFieldDescriptor>& fields = cursor_->Fields();
    TExpressionCheck check;
    check.ErrorCode = RUDIRA_INVALIDFILTER;
    check.ContextPhrase = kFilterContext;
    check.ResolveColumn = [&](TExpToken& column) {
      for (const TFieldDescriptor& field : fields) {
        if (FieldNameKey(field.FieldName) != FieldNameKey(column.ColumnName)) continue;
        column.FieldNo = field.FieldNo;
        column.SetType(field.FieldType, field.SubType, field.Size, field.Scale);
        return true;
      }
      return false;
    };
    CheckFilterExpression(*root, check);
    TEvaluateOptions options;
    options.CaseInsensitive = caseInsensitive;
    options.LanguageId = GetParam();
    auto natural = Open("random", [](TDataCursor& c) { c.SetNaturalOrder(true); });
    std::set<int32_t> ids;
    std::vector<uint8_t> record(natural->RecordSize());
    natural->SetToBegin();
    while (natural->GetNextRecord(record.data()) == 0) {
      RecordAccess access(fields, record.data());
      if (EvaluateCondition(*root, access, options)) ids.insert(IntOf(*natural, record));
    }
    return ids;
  }

  std::mt19937 rng_{20261210};
  // The cursor goes before the session it refers to, which the base
  // class's TearDown closes.
  void TearDown() override {
    cursor_.reset();
    FilterTest::TearDown();
  }
  std::unique_ptr<TDataCursor> cursor_;
};

TEST_P(FilterRandomTest, ViewEqualsEvaluationOnEveryRecord) {
  for (int32_t id = 1; id <= 300; ++id) AddRandomRecord(id);
  // Some deleted slots, so that the base bitmap comes from the index.
  for (int32_t id = 7; id <= 300; id += 13) {
    std::vector<uint8_t> record = GoTo(*cursor_, id);
    cursor_->DeleteRecord(record.data());
  }
  int levels[3] = {0, 0, 0};
  for (int round = 0; round < 150; ++round) {
    const std::string text = Expression(3);
    const bool caseInsensitive = round % 4 == 3;
    SCOPED_TRACE(text + (caseInsensitive ? " (case-insensitive)" : ""));
    TCursorFilterOptions options;
    options.CaseInsensitive = caseInsensitive;
    options.ComputeEstimates = round % 2 == 0;
    TFilter* filter = Filter(*cursor_, text, options);
    ++levels[cursor_->GetFilterOptimizeLevel(filter)];
    const std::set<int32_t> expected = Reference(text, caseInsensitive);
    EXPECT_EQ(IdSet(*cursor_), expected);
    EXPECT_EQ(cursor_->GetRecordCount(), static_cast<int32_t>(expected.size()));
    if (round % 10 == 0) {
      // A write through the cursor updates the one record's bit.
      AddRandomRecord(1000 + round);
      EXPECT_EQ(IdSet(*cursor_), Reference(text, caseInsensitive));
    }
    cursor_->DropFilter(filter);
  }
  // The random filters reached every level.
  EXPECT_GT(levels[0], 0);
  EXPECT_GT(levels[1], 0);
  EXPECT_GT(levels[2], 0);
}

TEST_P(FilterRandomTest, RandomRangesKeepTheKeysBetweenTheirBoundsInIndexOrder) {
  for (int32_t id = 1; id <= 600; ++id) AddRandomRecord(id);
  for (int32_t id = 5; id <= 600; id += 11) {
    std::vector<uint8_t> record = GoTo(*cursor_, id);
    cursor_->DeleteRecord(record.data());
  }
  // Every record's ID, NUM, DOWN and FREE (nullopt: null), by ID.
  struct Row {
    int32_t Id;
    std::optional<int32_t> Num, Down, Free;
  };
  std::vector<Row> rows;
  {
    auto natural = Open("random", [](TDataCursor& c) { c.SetNaturalOrder(true); });
    std::vector<uint8_t> record(natural->RecordSize());
    natural->SetToBegin();
    while (natural->GetNextRecord(record.data()) == 0) {
      auto value = [&](const std::string& field) -> std::optional<int32_t> {
        const TFieldValue v = Get(*natural, record, field);
        if (const auto* i = std::get_if<int32_t>(&v)) return *i;
        if (const auto* s = std::get_if<int16_t>(&v)) return *s;
        return std::nullopt;
      };
      rows.push_back({IntOf(*natural, record), value("NUM"), value("DOWN"), value("FREE")});
    }
  }
  for (int round = 0; round < 60; ++round) {
    // ByA ascending on NUM, ByD descending on DOWN; both non-unique, so a
    // bound covers every record of its value. Nulls sort first ascending and
    // last descending; equal values stay in ID order.
    const bool descending = round % 2 == 1;
    const std::string field = descending ? "DOWN" : "NUM";
    const int low = descending ? -10 : 0;
    auto bound = [&]() -> std::optional<int32_t> {
      if (rng_() % 5 == 0) return std::nullopt;  // an open end
      return low + static_cast<int32_t>(rng_() % 22) - 1;
    };
    const std::optional<int32_t> start = bound();
    const std::optional<int32_t> end = bound();
    const bool filtered = rng_() % 3 == 0;
    SCOPED_TRACE(field + " from " + (start ? std::to_string(*start) : "open") + " to " +
                 (end ? std::to_string(*end) : "open") + (filtered ? " with FREE < 10" : ""));

    // Index order of a value against a bound: before (< 0), at, after.
    auto order = [&](const std::optional<int32_t>& value, int32_t limit) {
      if (!value) return descending ? 1 : -1;
      if (*value == limit) return 0;
      return (*value < limit) != descending ? -1 : 1;
    };
    std::vector<Row> inRange;
    for (const Row& row : rows) {
      const std::optional<int32_t>& value = descending ? row.Down : row.Num;
      if (start && order(value, *start) < 0) continue;
      if (end && order(value, *end) > 0) continue;
      if (filtered && !(row.Free && *row.Free < 10)) continue;
      inRange.push_back(row);
    }
    std::stable_sort(inRange.begin(), inRange.end(), [&](const Row& a, const Row& b) {
      const std::optional<int32_t>& va = descending ? a.Down : a.Num;
      const std::optional<int32_t>& vb = descending ? b.Down : b.Num;
      if (!va || !vb) return va.has_value() == descending && va.has_value() != vb.has_value();
      return order(va, *vb) < 0;
    });
    std::vector<int32_t> expected;
    for (const Row& row : inRange) expected.push_back(row.Id);

    cursor_->SetIndexName(descending ? "ByD" : "ByA");
    std::vector<uint8_t> startRecord = Blank(*cursor_);
    std::vector<uint8_t> endRecord = Blank(*cursor_);
    if (start) Set(*cursor_, startRecord, field, descending ? TFieldValue{static_cast<int16_t>(*start)} : TFieldValue{*start});
    if (end) Set(*cursor_, endRecord, field, descending ? TFieldValue{static_cast<int16_t>(*end)} : TFieldValue{*end});
    cursor_->SetRange(start ? startRecord.data() : nullptr, 1, end ? endRecord.data() : nullptr, 1);
    if (filtered) Filter(*cursor_, "FREE < 10");
    EXPECT_EQ(Walk(*cursor_), expected);
    std::vector<int32_t> backwards(expected.rbegin(), expected.rend());
    EXPECT_EQ(WalkBack(*cursor_), backwards);
    EXPECT_EQ(cursor_->GetRecordCount(), static_cast<int32_t>(expected.size()));
    cursor_->DropFilter();
    cursor_->ResetRange();
  }
}

// Tables without a locale compare strings bytewise, tables with one by
// collation, in the indexes and in the evaluator alike.
INSTANTIATE_TEST_SUITE_P(Locales, FilterRandomTest, ::testing::Values(uint16_t{0}, kUsEnglishLanguageId));

}  // namespace
}  // namespace rudira::filtertest
