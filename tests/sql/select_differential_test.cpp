// Differential test of SELECT against SQLite: the same rows in both engines,
// generated queries from a fixed seed, results compared row for row.
//
// The engine's comparisons are two-valued ("=" with both sides NULL is true,
// one NULL side makes "=" and the orderings false and "<>" true; AND, OR and
// NOT see no unknown; two NULLs compare equal). SQLite's are three-valued, so on the SQLite side every
// comparison is written out as the two-valued question the engine answers
// (IS / IS NOT for two columns, IFNULL with the NULL outcome for a column and
// a constant). Joins on equality match no NULL key in either engine.
#include <sqlite3.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "tests/sql/support/select_fixture.h"

namespace rudira::selecttest {
namespace {

using Lines = std::vector<std::string>;

constexpr uint32_t kSeed = 20261210;
constexpr int kQueries = 400;

// Deterministic on every platform (the standard distributions are not).
class TDice {
 public:
  explicit TDice(uint32_t seed) : engine_(seed) {}
  int Below(int n) { return static_cast<int>(engine_() % static_cast<uint32_t>(n)); }
  int Between(int low, int high) { return low + Below(high - low + 1); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  std::mt19937 engine_;
};

enum class Kind { kInt, kFloat, kString };

struct TableShape {
  std::string Name;
  std::vector<std::pair<std::string, Kind>> Columns;  // the first is the unique key N
};

// Both texts of one condition: the engine's and SQLite's.
struct Condition {
  std::string Engine;
  std::string Lite;
};

class SelectDifferential : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    ASSERT_EQ(sqlite3_open(":memory:", &lite_), SQLITE_OK);
    tables_ = {{"ta", {{"N", Kind::kInt}, {"A", Kind::kInt}, {"B", Kind::kInt}, {"F", Kind::kFloat}, {"S", Kind::kString}}},
               {"tb", {{"N", Kind::kInt}, {"K", Kind::kInt}, {"G", Kind::kFloat}, {"V", Kind::kString}}}};
    // ta without secondary indexes; tb with one on K so that joins probe it.
    MakeTable(tables_[0], 40, {{"", {1}}});
    MakeTable(tables_[1], 25, {{"", {1}}, {"ByK", {2}, false}});
  }
  void TearDown() override {
    sqlite3_close(lite_);
    SelectTest::TearDown();
  }

  Value RandomValue(Kind kind) {
    if (dice_.Chance(15)) return std::monostate{};
    switch (kind) {
      case Kind::kInt: return static_cast<int32_t>(dice_.Between(-3, 9));
      case Kind::kFloat: return dice_.Between(-4, 10) * 0.5;
      case Kind::kString: return RandomString();
    }
    return std::monostate{};
  }

  std::string RandomString() {
    std::string text;
    const int length = dice_.Between(1, 2);
    for (int i = 0; i < length; ++i) text += static_cast<char>('a' + dice_.Below(4));
    return text;
  }

  static std::string EngineType(Kind kind) {
    return kind == Kind::kInt ? "INTEGER" : kind == Kind::kFloat ? "REAL" : "TEXT";
  }

  void MakeTable(const TableShape& shape, int rows, const std::vector<Index>& indexes) {
    std::vector<Column> columns;
    std::string create = "CREATE TABLE " + shape.Name + "(";
    for (size_t i = 0; i < shape.Columns.size(); ++i) {
      const Kind kind = shape.Columns[i].second;
      const uint8_t type = kind == Kind::kInt ? kFieldTypeInteger : kind == Kind::kFloat ? kFieldTypeFloat : kFieldTypeString;
      columns.push_back({shape.Columns[i].first, type, static_cast<uint8_t>(kind == Kind::kString ? 4 : 0)});
      create += (i ? ", " : "") + shape.Columns[i].first + " " + EngineType(kind);
    }
    CreateTable(shape.Name, columns, indexes);
    ASSERT_EQ(sqlite3_exec(lite_, (create + ")").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    std::vector<Row> all;
    for (int r = 0; r < rows; ++r) {
      Row row{static_cast<int32_t>(r + 1)};
      for (size_t i = 1; i < shape.Columns.size(); ++i) row.push_back(RandomValue(shape.Columns[i].second));
      all.push_back(row);
      std::string insert = "INSERT INTO " + shape.Name + " VALUES(";
      for (size_t i = 0; i < row.size(); ++i) insert += (i ? ", " : "") + LiteLiteral(row[i]);
      ASSERT_EQ(sqlite3_exec(lite_, (insert + ")").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    Insert(shape.Name, all);
  }

  static std::string LiteLiteral(const Value& value) {
    if (std::holds_alternative<std::monostate>(value)) return "NULL";
    if (const auto* text = std::get_if<std::string>(&value)) return "'" + *text + "'";
    if (const auto* number = std::get_if<double>(&value)) return Number(*number);
    return std::to_string(std::get<int32_t>(value));
  }

  static std::string Number(double value) {
    std::ostringstream out;
    out << value;
    std::string text = out.str();
    if (text.find('.') == std::string::npos) text += ".0";
    return text;
  }

  std::string Constant(Kind kind) {
    switch (kind) {
      case Kind::kInt: return std::to_string(dice_.Between(-2, 8));
      case Kind::kFloat: return Number(dice_.Between(-3, 9) * 0.5);
      case Kind::kString: return "'" + RandomString() + "'";
    }
    return "NULL";
  }

  // One predicate on a column of `table` (qualified as written).
  Condition Atom(const TableShape& table, bool qualify) {
    const auto& [name, kind] = table.Columns[static_cast<size_t>(dice_.Below(static_cast<int>(table.Columns.size())))];
    const std::string column = qualify ? table.Name + "." + name : name;
    static const char* kOps[] = {"=", "<>", "<", ">", "<=", ">="};
    switch (dice_.Below(7)) {
      case 0:
      case 1:
      case 2: {
        const std::string op = kOps[dice_.Below(6)];
        const std::string constant = Constant(kind);
        const std::string text = column + " " + op + " " + constant;
        return {text, "IFNULL(" + text + ", " + (op == "<>" ? "1" : "0") + ")"};
      }
      case 3: {
        // Two columns of the same table and kind.
        std::vector<std::string> same;
        for (const auto& [other, otherKind] : table.Columns) {
          if (otherKind == kind) same.push_back(qualify ? table.Name + "." + other : other);
        }
        const std::string second = same[static_cast<size_t>(dice_.Below(static_cast<int>(same.size())))];
        const std::string op = kOps[dice_.Below(6)];
        const std::string text = column + " " + op + " " + second;
        // Two NULLs are equal: "=", "<=" and ">=" hold, "<>", "<" and ">" do not.
        if (op == "=") return {text, column + " IS " + second};
        if (op == "<>") return {text, column + " IS NOT " + second};
        if (op == "<=" || op == ">=") return {text, "IFNULL(" + text + ", " + column + " IS " + second + ")"};
        return {text, "IFNULL(" + text + ", 0)"};
      }
      case 4: {
        std::string low = Constant(kind);
        std::string high = Constant(kind);
        const std::string text = column + " BETWEEN " + low + " AND " + high;
        return {text, "IFNULL(" + text + ", 0)"};
      }
      case 5: {
        std::string list;
        const int n = dice_.Between(1, 4);
        for (int i = 0; i < n; ++i) list += (i ? ", " : "") + Constant(kind);
        const std::string text = column + " IN (" + list + ")";
        return {text, "IFNULL(" + text + ", 0)"};
      }
      default: {
        const std::string text = column + (dice_.Chance(50) ? " IS NULL" : " IS NOT NULL");
        return {text, text};
      }
    }
  }

  // AND / OR / NOT over atoms of the given tables.
  Condition Tree(const std::vector<const TableShape*>& tables, bool qualify, int depth) {
    if (depth == 0 || dice_.Chance(35)) {
      return Atom(*tables[static_cast<size_t>(dice_.Below(static_cast<int>(tables.size())))], qualify);
    }
    switch (dice_.Below(5)) {
      case 0: {
        Condition inner = Tree(tables, qualify, depth - 1);
        return {"NOT (" + inner.Engine + ")", "NOT (" + inner.Lite + ")"};
      }
      case 1:
      case 2: {
        Condition left = Tree(tables, qualify, depth - 1);
        Condition right = Tree(tables, qualify, depth - 1);
        return {"(" + left.Engine + ") OR (" + right.Engine + ")", "(" + left.Lite + ") OR (" + right.Lite + ")"};
      }
      default: {
        Condition left = Tree(tables, qualify, depth - 1);
        Condition right = Tree(tables, qualify, depth - 1);
        return {"(" + left.Engine + ") AND (" + right.Engine + ")", "(" + left.Lite + ") AND (" + right.Lite + ")"};
      }
    }
  }

  std::string Columns(const TableShape& table, bool qualify) {
    std::string list;
    for (const auto& [name, kind] : table.Columns) {
      (void)kind;
      if (name != "N" && dice_.Chance(40)) continue;
      list += (list.empty() ? "" : ", ") + (qualify ? table.Name + "." + name : name);
    }
    return list;
  }

  struct Generated {
    std::string Engine;
    std::string Lite;
    bool Ordered = false;  // ORDER BY with a unique tie-breaker
  };

  Generated SingleTable() {
    const TableShape& t = tables_[static_cast<size_t>(dice_.Below(2))];
    const std::string columns = Columns(t, false);
    Generated out;
    out.Engine = out.Lite = "SELECT " + columns + " FROM " + t.Name;
    if (dice_.Chance(85)) {
      const Condition where = Tree({&t}, false, 3);
      out.Engine += " WHERE " + where.Engine;
      out.Lite += " WHERE " + where.Lite;
    }
    if (dice_.Chance(60)) {
      const auto& [name, kind] = t.Columns[static_cast<size_t>(dice_.Below(static_cast<int>(t.Columns.size())))];
      (void)kind;
      const std::string direction = dice_.Chance(50) ? " DESC" : "";
      const std::string order = name == "N" ? " ORDER BY N" + direction : " ORDER BY " + name + direction + ", N";
      out.Engine += order;
      out.Lite += order;
      out.Ordered = true;
    }
    return out;
  }

  Generated Join() {
    const TableShape& a = tables_[0];
    const TableShape& b = tables_[1];
    const std::string key = dice_.Chance(70) ? "ta.A" : "ta.B";
    const std::string select = "SELECT ta.N, tb.N" + Prefixed(Columns(a, true)) + Prefixed(Columns(b, true));
    Generated out;
    switch (dice_.Below(3)) {
      case 0:
        out.Engine = out.Lite = select + " FROM ta, tb WHERE " + key + " = tb.K";
        break;
      case 1:
        out.Engine = out.Lite = select + " FROM ta INNER JOIN tb ON " + key + " = tb.K";
        break;
      default:
        out.Engine = select + " FROM ta LEFT OUTER JOIN tb ON " + key + " = tb.K";
        out.Lite = select + " FROM ta LEFT OUTER JOIN tb ON " + key + " = tb.K";
        break;
    }
    const bool hasWhere = out.Engine.find(" WHERE ") != std::string::npos;
    if (dice_.Chance(75)) {
      const Condition where = Tree({&a, &b}, true, 2);
      out.Engine += (hasWhere ? " AND (" : " WHERE (") + where.Engine + ")";
      out.Lite += (hasWhere ? " AND (" : " WHERE (") + where.Lite + ")";
    }
    if (dice_.Chance(50)) {
      out.Engine += " ORDER BY ta.N, tb.N";
      out.Lite += " ORDER BY ta.N, tb.N";
      out.Ordered = true;
    }
    return out;
  }

  static std::string Prefixed(const std::string& list) {
    // The key columns are already listed first.
    std::string out;
    std::istringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
      while (!item.empty() && item.front() == ' ') item.erase(item.begin());
      if (item == "ta.N" || item == "tb.N") continue;
      out += ", " + item;
    }
    return out;
  }

  Generated Union() {
    const Condition left = Tree({&tables_[0]}, false, 2);
    const Condition right = Tree({&tables_[1]}, false, 2);
    const std::string word = dice_.Chance(50) ? " UNION " : " UNION ALL ";
    const std::string first = dice_.Chance(50) ? "A" : "B";
    Generated out;
    out.Engine = "SELECT " + first + ", S FROM ta WHERE " + left.Engine + word + "SELECT K, V FROM tb WHERE " + right.Engine;
    out.Lite = "SELECT " + first + ", S FROM ta WHERE " + left.Lite + word + "SELECT K, V FROM tb WHERE " + right.Lite;
    return out;
  }

  Generated InSelect() {
    const Condition outer = Tree({&tables_[0]}, false, 1);
    const Condition inner = Tree({&tables_[1]}, false, 2);
    const std::string column = dice_.Chance(50) ? "A" : "B";
    const bool negated = dice_.Chance(35);
    Generated out;
    const std::string engineIn = column + (negated ? " NOT IN " : " IN ") + "(SELECT K FROM tb WHERE " + inner.Engine + ")";
    // The engine's IN compares with the sub-query's non-NULL values and is
    // false for a NULL operand; NOT IN is its negation.
    const std::string liteIn =
        "IFNULL(" + column + " IN (SELECT K FROM tb WHERE K IS NOT NULL AND (" + inner.Lite + ")), 0)";
    out.Engine = "SELECT N, A, B FROM ta WHERE " + engineIn;
    out.Lite = "SELECT N, A, B FROM ta WHERE " + std::string(negated ? "NOT " : "") + liteIn;
    if (dice_.Chance(50)) {
      out.Engine += " AND (" + outer.Engine + ")";
      out.Lite += " AND (" + outer.Lite + ")";
    }
    if (dice_.Chance(50)) {
      out.Engine += " ORDER BY N";
      out.Lite += " ORDER BY N";
      out.Ordered = true;
    }
    return out;
  }

  // One aggregate call over `table` (qualified or not): both texts. On the
  // SQLite side an AVG of only NULLs is 0, as in the engine, and in an
  // implicitly grouped query over no row every column is NULL.
  Condition Aggregate(const TableShape& table, bool qualify, bool implicit) {
    std::vector<std::string> numeric;
    std::vector<std::string> any;
    for (const auto& [name, kind] : table.Columns) {
      const std::string column = qualify ? table.Name + "." + name : name;
      any.push_back(column);
      if (kind != Kind::kString && name != "N") numeric.push_back(column);
    }
    auto pick = [&](const std::vector<std::string>& from) { return from[static_cast<size_t>(dice_.Below(static_cast<int>(from.size())))]; };
    Condition out;
    switch (dice_.Below(6)) {
      case 0: out = {"COUNT(*)", "COUNT(*)"}; break;
      case 1: {
        const std::string column = pick(any);
        out = {"COUNT(" + column + ")", "COUNT(" + column + ")"};
        break;
      }
      case 2: {
        const std::string column = pick(numeric);
        out = {"SUM(" + column + ")", "SUM(" + column + ")"};
        break;
      }
      case 3: {
        const std::string column = pick(numeric);
        out = {"MIN(" + column + ")", "MIN(" + column + ")"};
        break;
      }
      case 4: {
        const std::string column = pick(numeric);
        out = {"MAX(" + column + ")", "MAX(" + column + ")"};
        break;
      }
      default: {
        const std::string column = pick(numeric);
        out = {"AVG(" + column + ")", "IFNULL(AVG(" + column + "), 0)"};
        break;
      }
    }
    if (implicit) out.Lite = "CASE WHEN COUNT(*) = 0 THEN NULL ELSE " + out.Lite + " END";
    return out;
  }

  // GROUP BY (or implicit grouping) with COUNT, SUM, MIN, MAX, AVG and
  // RUNSUM, HAVING on aggregates of the select list or grouping columns,
  // ORDER BY and TOP.
  Generated Grouped() {
    const bool join = dice_.Chance(25);
    const TableShape& t = tables_[join ? 0 : static_cast<size_t>(dice_.Below(2))];
    const TableShape& other = tables_[1];
    const std::string from = join ? " FROM ta, tb WHERE ta.A = tb.K" : " FROM " + t.Name;
    Generated out;
    Condition where;
    if (dice_.Chance(60)) {
      where = join ? Tree({&t, &other}, true, 2) : Tree({&t}, false, 2);
      where.Engine = (join ? " AND (" : " WHERE (") + where.Engine + ")";
      where.Lite = (join ? " AND (" : " WHERE (") + where.Lite + ")";
    }
    // Implicit grouping: aggregates only.
    if (dice_.Chance(20)) {
      std::string engine;
      std::string lite;
      const int n = dice_.Between(1, 3);
      for (int i = 0; i < n; ++i) {
        const TableShape& source = join && dice_.Chance(50) ? other : t;
        const Condition call = Aggregate(source, join, true);
        engine += (i ? ", " : "") + call.Engine;
        lite += (i ? ", " : "") + call.Lite;
      }
      if (engine == "COUNT(*)") lite = "COUNT(*)";  // answered from the record count: 0 for no row
      out.Engine = "SELECT " + engine + from + where.Engine;
      out.Lite = "SELECT " + lite + from + where.Lite;
      return out;
    }
    std::vector<std::string> keys;
    for (const auto& [name, kind] : t.Columns) {
      (void)kind;
      if (name != "N") keys.push_back(join ? t.Name + "." + name : name);
    }
    std::vector<std::string> groups;
    const int groupCount = dice_.Between(1, 2);
    while (static_cast<int>(groups.size()) < groupCount) {
      const std::string key = keys[static_cast<size_t>(dice_.Below(static_cast<int>(keys.size())))];
      if (std::find(groups.begin(), groups.end(), key) == groups.end()) groups.push_back(key);
    }
    std::string groupList;
    for (const std::string& g : groups) groupList += (groupList.empty() ? "" : ", ") + g;
    std::vector<Condition> calls;
    const int n = dice_.Between(1, 3);
    for (int i = 0; i < n; ++i) calls.push_back(Aggregate(join && dice_.Chance(50) ? other : t, join, false));
    std::string engine = groupList;
    std::string lite = groupList;
    for (const Condition& call : calls) {
      engine += ", " + call.Engine;
      lite += ", " + call.Lite;
    }
    const bool runningSum = dice_.Chance(20);
    if (runningSum) {
      // The running total over the groups in grouping order (SQLite's
      // window runs after HAVING, the engine's total also goes through the
      // groups HAVING drops: no HAVING beside it here).
      std::string column;
      for (const auto& [name, kind] : t.Columns) {
        if (kind != Kind::kString && name != "N") column = join ? t.Name + "." + name : name;
      }
      engine += ", RUNSUM(" + column + ")";
      lite += ", SUM(SUM(" + column + ")) OVER (ORDER BY " + groupList + ")";
    }
    out.Engine = "SELECT " + engine + from + where.Engine + " GROUP BY " + groupList;
    out.Lite = "SELECT " + lite + from + where.Lite + " GROUP BY " + groupList;
    if (!runningSum && dice_.Chance(40)) {
      static const char* kOps[] = {"=", "<>", "<", ">", "<=", ">="};
      const std::string op = kOps[dice_.Below(6)];
      const std::string k = std::to_string(dice_.Between(0, 4));
      std::string subject;
      std::string liteSubject;
      if (dice_.Chance(70)) {
        const Condition& call = calls[static_cast<size_t>(dice_.Below(static_cast<int>(calls.size())))];
        subject = call.Engine;
        liteSubject = call.Lite;
      } else {
        subject = liteSubject = groups.front();
      }
      // Two-valued: a NULL side makes "<>" true and the others false.
      out.Engine += " HAVING " + subject + " " + op + " " + k;
      out.Lite += " HAVING IFNULL(" + liteSubject + " " + op + " " + k + ", " + (op == "<>" ? "1" : "0") + ")";
    }
    const int choice = dice_.Below(4);
    if (choice == 0) {
      // The grouping order, with or without TOP.
      out.Engine += " ORDER BY " + groupList;
      out.Lite += " ORDER BY " + groupList;
      if (dice_.Chance(60)) {
        const std::string top = std::to_string(dice_.Between(0, 5));
        out.Engine += " TOP " + top;
        out.Lite += " LIMIT " + top;
      }
      out.Ordered = true;
    } else if (choice == 1) {
      // An aggregate first; the grouping columns make the order unique.
      const std::string column = std::to_string(groups.size() + 1);
      out.Engine += " ORDER BY " + column + " DESC, " + groupList;
      out.Lite += " ORDER BY " + column + " DESC, " + groupList;
      if (dice_.Chance(50)) {
        const std::string top = std::to_string(dice_.Between(1, 4));
        out.Engine += " TOP " + top;
        out.Lite += " LIMIT " + top;
      }
      out.Ordered = true;
    } else {
      // Without ORDER BY the rows come in grouping order.
      out.Lite += " ORDER BY " + groupList;
      out.Ordered = true;
    }
    return out;
  }

  Lines LiteRows(const std::string& sql) {
    Lines rows;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(lite_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << "SQLite rejects " << sql << ": " << sqlite3_errmsg(lite_);
      return rows;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
      std::string line;
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        if (i) line += "|";
        switch (sqlite3_column_type(statement, i)) {
          case SQLITE_NULL: line += "NULL"; break;
          case SQLITE_INTEGER: line += std::to_string(sqlite3_column_int64(statement, i)); break;
          case SQLITE_FLOAT: {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.6g", sqlite3_column_double(statement, i));
            line += buffer;
            break;
          }
          default:
            line += "'" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, i))) + "'";
        }
      }
      rows.push_back(line);
    }
    sqlite3_finalize(statement);
    return rows;
  }

  TDice dice_{kSeed};
  sqlite3* lite_ = nullptr;
  std::vector<TableShape> tables_;
};

TEST_F(SelectDifferential, GeneratedQueriesAgreeWithSqlite) {
  int nonEmpty = 0;
  for (int q = 0; q < kQueries; ++q) {
    Generated query;
    switch (q % 6) {
      case 0:
      case 1: query = SingleTable(); break;
      case 2:
      case 3: query = Join(); break;
      case 4: query = Union(); break;
      default: query = InSelect(); break;
    }
    const bool live = dice_.Chance(50);
    Lines engine;
    try {
      engine = Query(query.Engine, live);
    } catch (const ERUDIRAEngineError& error) {
      ADD_FAILURE() << query.Engine << "\n" << error.what();
      continue;
    }
    Lines lite = LiteRows(query.Lite);
    if (!query.Ordered) {
      std::sort(engine.begin(), engine.end());
      std::sort(lite.begin(), lite.end());
    }
    EXPECT_EQ(engine, lite) << "engine: " << query.Engine << "\nSQLite: " << query.Lite << (live ? "\n(live)" : "");
    nonEmpty += lite.empty() ? 0 : 1;
  }
  // The generated conditions must not be all false: a suite of empty
  // results would prove nothing.
  EXPECT_GT(nonEmpty, kQueries / 2);
}

TEST_F(SelectDifferential, GroupedQueriesAgreeWithSqlite) {
  int nonEmpty = 0;
  constexpr int kGrouped = 240;
  for (int q = 0; q < kGrouped; ++q) {
    const Generated query = Grouped();
    const bool live = dice_.Chance(50);
    Lines engine;
    try {
      engine = Query(query.Engine, live);
    } catch (const ERUDIRAEngineError& error) {
      ADD_FAILURE() << query.Engine << "\n" << error.what();
      continue;
    }
    Lines lite = LiteRows(query.Lite);
    if (!query.Ordered) {
      std::sort(engine.begin(), engine.end());
      std::sort(lite.begin(), lite.end());
    }
    EXPECT_EQ(engine, lite) << "engine: " << query.Engine << "\nSQLite: " << query.Lite;
    nonEmpty += lite.empty() ? 0 : 1;
  }
  EXPECT_GT(nonEmpty, kGrouped / 2);
}

}  // namespace
}  // namespace rudira::selecttest
