// What the differential tests against SQLite share: the same rows in both
// engines, a seeded dice, conditions written once for each engine, and
// SQLite's rows read back as the engine's text rows.
//
// The engine's comparisons are two-valued ("=" with both sides NULL is true,
// one NULL side makes "=" and the orderings false and "<>" true; AND, OR and
// NOT see no unknown; two NULLs compare equal). SQLite's are three-valued, so on the SQLite side every
// comparison is written out as the two-valued question the engine answers
// (IS / IS NOT for two columns, IFNULL with the NULL outcome for a column and
// a constant). Joins on equality match no NULL key in either engine.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/sql/support/select_fixture.h"

namespace rudira::selecttest {

constexpr uint32_t kDifferentialSeed = 20261210;

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

class DifferentialTest : public SelectTest {
 protected:
  using Lines = std::vector<std::string>;

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

  TDice dice_{kDifferentialSeed};
  sqlite3* lite_ = nullptr;
  std::vector<TableShape> tables_;
};

}  // namespace rudira::selecttest
