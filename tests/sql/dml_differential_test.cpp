// Differential test of INSERT, UPDATE and DELETE against SQLite: the same
// rows in both engines, a seeded sequence of statements (with transactions
// rolled back or committed now and then), and after every statement the
// rows affected and the whole table compared.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/sql/support/differential_fixture.h"

namespace rudira::selecttest {
namespace {

constexpr int kStatements = 300;

class DmlDifferential : public DifferentialTest {
 protected:
  // Result tables go to a directory of their own: a table of the
  // statement's database opened while its transaction is active takes part
  // in it, and a result table must stay free to be dropped.
  void SetUp() override {
    DifferentialTest::SetUp();
    if (HasFatalFailure()) return;
    std::filesystem::create_directory(dir_ + "private");
    session_->SetPrivateDir(dir_ + "private/");
  }

  const TableShape& Target() const { return tables_[0]; }

  // A literal of `value` that both engines read the same way.
  std::string Literal(Kind kind) { return LiteLiteral(RandomValue(kind)); }

  struct Statement {
    std::string Engine;
    std::string Lite;
  };

  Statement InsertValues() {
    const std::string key = std::to_string(nextKey_++);
    std::string columns = "N";
    std::string values = key;
    const bool all = dice_.Chance(50);
    for (size_t i = 1; i < Target().Columns.size(); ++i) {
      if (!all && dice_.Chance(40)) continue;
      columns += ", " + Target().Columns[i].first;
      values += ", " + Literal(Target().Columns[i].second);
    }
    if (all) columns.clear();
    const std::string sql = "INSERT INTO ta " + (columns.empty() ? "" : "(" + columns + ") ") + "VALUES (" + values + ")";
    return {sql, sql};
  }

  Statement InsertSelect() {
    const Condition where = Tree({&tables_[1]}, false, 2);
    const std::string offset = std::to_string(10000 * ++batch_);
    const std::string head = "INSERT INTO ta (N, A, F, S) SELECT N + " + offset + ", K, G, V FROM tb WHERE ";
    return {head + where.Engine, head + where.Lite};
  }

  // One assignment of UPDATE: a constant, NULL, another column of the
  // same kind, or a column changed by a constant.
  std::string Assignment(const std::string& column, Kind kind) {
    switch (dice_.Below(4)) {
      case 0: return column + " = " + Constant(kind);
      case 1: return column + " = NULL";
      case 2:
        if (kind == Kind::kInt) return column + " = " + (column == "A" ? "B" : "A");
        return column + " = " + Constant(kind);
      default:
        if (kind == Kind::kInt) return column + " = " + column + " + " + std::to_string(dice_.Between(1, 5));
        if (kind == Kind::kFloat) return column + " = " + column + " * 2";
        return column + " = " + Constant(kind);
    }
  }

  // WHERE of UPDATE and DELETE: a condition on the target, or a
  // membership in a sub-select of tb.
  Condition Where() {
    if (dice_.Chance(25)) {
      const Condition inner = Tree({&tables_[1]}, false, 1);
      const std::string column = dice_.Chance(50) ? "A" : "B";
      return {column + " IN (SELECT K FROM tb WHERE " + inner.Engine + ")",
              "IFNULL(" + column + " IN (SELECT K FROM tb WHERE K IS NOT NULL AND (" + inner.Lite + ")), 0)"};
    }
    return Tree({&tables_[0]}, false, 2);
  }

  // Outside a transaction an interval changes nothing that shows; inside
  // one it would commit the transaction's work so far, which SQLite's
  // ROLLBACK does not model: none is given there.
  std::string Interval() {
    if (inTransaction_ || !dice_.Chance(30)) return "";
    return " COMMIT INTERVAL " + std::to_string(dice_.Between(1, 4));
  }

  Statement Update() {
    std::string set;
    for (size_t i = 1; i < Target().Columns.size(); ++i) {
      if (!dice_.Chance(40)) continue;
      set += (set.empty() ? "" : ", ") + Assignment(Target().Columns[i].first, Target().Columns[i].second);
    }
    if (set.empty()) set = Assignment("A", Kind::kInt);
    Statement out{"UPDATE ta SET " + set, "UPDATE ta SET " + set};
    if (dice_.Chance(85)) {
      const Condition where = Where();
      out.Engine += " WHERE " + where.Engine;
      out.Lite += " WHERE " + where.Lite;
    }
    out.Engine += Interval();
    return out;
  }

  Statement Delete() {
    // Two conditions joined by AND, so that a delete takes a part of the rows.
    const Condition first = Where();
    const Condition second = Where();
    Statement out{"DELETE FROM ta WHERE (" + first.Engine + ") AND (" + second.Engine + ")",
                  "DELETE FROM ta WHERE (" + first.Lite + ") AND (" + second.Lite + ")"};
    out.Engine += Interval();
    return out;
  }

  void Lite(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(lite_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      ADD_FAILURE() << "SQLite rejects " << sql << ": " << (error ? error : "");
    }
    sqlite3_free(error);
  }

  bool inTransaction_ = false;
  int nextKey_ = 1000;
  int batch_ = 0;
};

TEST_F(DmlDifferential, StatementSequencesLeaveTheSameTable) {
  int64_t changedByWhere = 0;
  int transactionLeft = 0;
  for (int s = 0; s < kStatements; ++s) {
    if (transactionLeft == 0 && dice_.Chance(8)) {
      Run("START TRANSACTION");
      Lite("BEGIN");
      transactionLeft = dice_.Between(2, 8);
      inTransaction_ = true;
    }
    Statement statement;
    const int pick = dice_.Below(100);
    if (pick < 30) statement = InsertValues();
    else if (pick < 40) statement = InsertSelect();
    else if (pick < 75) statement = Update();
    else statement = Delete();

    int32_t affected = -1;
    try {
      affected = Run(statement.Engine)->RowsAffected();
    } catch (const ERUDIRAEngineError& error) {
      ADD_FAILURE() << statement.Engine << "\n" << error.what();
    }
    Lite(statement.Lite);
    EXPECT_EQ(affected, sqlite3_changes(lite_)) << statement.Engine;
    if (pick >= 40) changedByWhere += affected;
    EXPECT_EQ(Query("SELECT * FROM ta ORDER BY N"), LiteRows("SELECT * FROM ta ORDER BY N"))
        << "after " << statement.Engine << "\nSQLite: " << statement.Lite;
    if (transactionLeft > 0 && --transactionLeft == 0) {
      const bool rollback = dice_.Chance(50);
      inTransaction_ = false;
      Run(rollback ? "ROLLBACK" : "COMMIT");
      Lite(rollback ? "ROLLBACK" : "COMMIT");
      EXPECT_EQ(Query("SELECT * FROM ta ORDER BY N"), LiteRows("SELECT * FROM ta ORDER BY N"))
          << (rollback ? "after ROLLBACK" : "after COMMIT");
    }
    if (HasFailure()) break;  // one divergence is enough to read
  }
  // The generated conditions must select rows: changes of no row would
  // prove nothing.
  EXPECT_GT(changedByWhere, 0);
}

}  // namespace
}  // namespace rudira::selecttest
