// A join link that is one equality on a unique one-field index is answered
// by a key search in that index. Each case runs a query whose link takes
// that path beside the same query with the link written as "a.R + 0", which
// keeps the filter over the inner table, and checks both against the rows
// the data says: inner WHERE filters, keys with no record, NULL keys, a
// secondary unique index and an outer join.
#include <map>
#include <optional>

#include "tests/sql/support/select_fixture.h"

namespace rudira::selecttest {
namespace {

using Lines = std::vector<std::string>;

constexpr int32_t kInner = 200;
constexpr int32_t kOuter = 60;

class SelectKeyProbe : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    // t: K primary key, W = K mod 10, U = 1000 + 3K (unique index ByU).
    CreateTable("t", {{"K"}, {"W"}, {"U"}, {"V", kFieldTypeString, 10}}, {{"", {1}}, {"ByU", {3}}});
    std::vector<Row> inner;
    for (int32_t k = 1; k <= kInner; ++k) inner.push_back({k, k % 10, 1000 + 3 * k, "v" + std::to_string(k)});
    Insert("t", inner);
    // a: N primary key, R a key of t, a U value of t, a missing key or NULL.
    CreateTable("a", {{"N"}, {"R"}}, {{"", {1}}});
    std::vector<Row> outer;
    for (int32_t n = 1; n <= kOuter; ++n) {
      std::optional<int32_t> r;
      switch (n % 4) {
        case 0: r = (n * 37) % kInner + 1; break;
        case 1: r = 1000 + 3 * ((n * 11) % kInner + 1); break;
        case 2: r = kInner + n; break;  // no such K
        default: break;                  // NULL
      }
      r_[n] = r;
      outer.push_back({n, r ? Value(*r) : Value(std::monostate{})});
    }
    Insert("a", outer);
  }

  // "N|'vK'" for each a row whose R matches t's column (K or U) and whose
  // t row passes `innerPasses`; with `outer`, "N|NULL" for the others.
  Lines Expected(bool byU, const std::function<bool(int32_t k)>& innerPasses, bool outer) const {
    Lines lines;
    for (const auto& [n, r] : r_) {
      std::optional<int32_t> k;
      if (r) {
        if (!byU && *r >= 1 && *r <= kInner) k = *r;
        if (byU && *r > 1000 && (*r - 1000) % 3 == 0 && (*r - 1000) / 3 <= kInner) k = (*r - 1000) / 3;
      }
      if (k && innerPasses(*k)) lines.push_back(std::to_string(n) + "|'v" + std::to_string(*k) + "'");
      else if (outer) lines.push_back(std::to_string(n) + "|NULL");
    }
    return lines;
  }

  std::map<int32_t, std::optional<int32_t>> r_;  // a's rows
};

struct ProbeCase {
  const char* Name;
  const char* Sql;  // "%LINK%" stands for the link's left side
  bool ByU;
  bool Outer;
  std::function<bool(int32_t)> InnerPasses;
};

std::string WithLink(const std::string& sql, const std::string& link) {
  std::string text = sql;
  const size_t at = text.find("%LINK%");
  text.replace(at, 6, link);
  return text;
}

TEST_F(SelectKeyProbe, KeySearchAndFilterGiveTheRowsOfTheData) {
  const ProbeCase cases[] = {
      {"primary key", "SELECT a.N, t.V FROM a, t WHERE %LINK% = t.K ORDER BY a.N", false, false,
       [](int32_t) { return true; }},
      {"inner WHERE filter", "SELECT a.N, t.V FROM a, t WHERE %LINK% = t.K AND t.W < 5 ORDER BY a.N", false, false,
       [](int32_t k) { return k % 10 < 5; }},
      {"secondary unique index", "SELECT a.N, t.V FROM a, t WHERE t.U = %LINK% ORDER BY a.N", true, false,
       [](int32_t) { return true; }},
      {"outer join", "SELECT a.N, t.V FROM a LEFT OUTER JOIN t ON %LINK% = t.K ORDER BY a.N", false, true,
       [](int32_t) { return true; }},
  };
  for (const ProbeCase& c : cases) {
    const Lines expected = Expected(c.ByU, c.InnerPasses, c.Outer);
    EXPECT_EQ(Query(WithLink(c.Sql, "a.R")), expected) << c.Name << ", key search";
    EXPECT_EQ(Query(WithLink(c.Sql, "a.R + 0")), expected) << c.Name << ", filter";
  }
}

TEST_F(SelectKeyProbe, AReRunAfterTheInnerTableChangedSeesTheChange) {
  TSelectExecutor executor(*session_, *db_, false, -1);
  executor.Prepare("SELECT a.N, t.V FROM a, t WHERE a.R = t.K ORDER BY a.N");
  executor.Execute();
  const Lines before = Rows(executor);
  ASSERT_EQ(before, Expected(false, [](int32_t) { return true; }, false));
  // Records of t go away under the prepared query's cursors.
  auto cursor = Open("t");
  std::vector<uint8_t> key(cursor->RecordSize());
  std::vector<uint8_t> record(cursor->RecordSize());
  for (int32_t k = 2; k <= kInner; k += 2) {
    Fill(*cursor, key, {k});
    ASSERT_TRUE(cursor->Find(key.data(), false, record.data(), 0, 0, false)) << k;
    cursor->DeleteRecord(record.data());
  }
  cursor.reset();
  executor.Execute();
  EXPECT_EQ(Rows(executor), Expected(false, [](int32_t k) { return k % 2 != 0; }, false));
}

}  // namespace
}  // namespace rudira::selecttest
