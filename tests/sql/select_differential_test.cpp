// Differential test of SELECT against SQLite: the same rows in both engines,
// generated queries from a fixed seed, results compared row for row (the
// shared set-up and the two-valued conditions: support/differential_fixture.h).
#include <algorithm>
#include <sstream>

#include "tests/sql/support/differential_fixture.h"

namespace rudira::selecttest {
namespace {

using Lines = std::vector<std::string>;

constexpr int kQueries = 400;

class SelectDifferential : public DifferentialTest {
 protected:
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
