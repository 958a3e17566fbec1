// Parsing statements into the statement model: each text with the summary of
// what the parser built (tests/sql/support/statement_summary.h lists the
// notation: "0: SELECT cols=[...] from=[table=correlation] ..." per query, in
// the statement's query order).
#include <gtest/gtest.h>

#include <string>

#include "engine/errors.h"
#include "sql/query_statement.h"
#include "support/statement_summary.h"

namespace rudira {
namespace {

struct ParseCase {
  const char* Sql;
  const char* Summary;
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.Sql; }

std::string ParseSummary(const std::string& sql) {
  TQueryStatement statement("kyozai\\", true, -1);
  try {
    statement.Prepare(sql);
  } catch (const ERUDIRAEngineError& error) {
    return "error " + std::to_string(error.ErrorCode()) + ": " + error.ErrorText();
  }
  return testing::StatementSummary(statement);
}

class StatementParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(StatementParse, BuildsTheStatementModel) {
  EXPECT_EQ(ParseSummary(GetParam().Sql), GetParam().Summary);
}

const ParseCase kSelectCases[] = {
    {"select * from mokuji;",
     "SELECT star | 0: SELECT cols=[*] from=[mokuji]"},
    {"Select * From figure Where (MNB = ?) order by BFR",
     "SELECT star params=1 | 0: SELECT cols=[*] from=[figure] where=(MNB = ?0) order=[BFR]"},
    {"SELECT a b FROM t",
     "SELECT | 0: SELECT cols=[b as] from=[t]"},
    {"SELECT a FROM t x",
     "SELECT | 0: SELECT cols=[a] from=[t=x]"},
    {"SELECT a FROM t WHERE a = 1",
     "SELECT | 0: SELECT cols=[a] from=[t] where=(a = 1)"},
    {"SELECT * FROM t ORDER BY 2 DESC NOCASE TOP 10",
     "SELECT star | 0: SELECT cols=[*] from=[t] order=[#2 desc] nocase top=10"},
    {"SELECT a FROM t UNION SELECT a FROM u ORDER BY 1",
     "SELECT | 0: SELECT cols=[a] from=[t] order=[#1] | 1: SELECT union-onto0 cols=[a] from=[u]"},
    {"SELECT a FROM t UNION ALL SELECT b FROM u UNION SELECT c FROM v ORDER BY 1 DESC TOP 3",
     "SELECT | 0: SELECT cols=[a] from=[t] order=[#1 desc] uniontop=3 | 1: SELECT union-all-onto0 cols=[b] from=[u] | 2: SELECT union-onto1 cols=[c] from=[v]"},
    {"SELECT a FROM (t JOIN u ON t.k = u.k) LEFT OUTER JOIN v ON v.k = t.k RIGHT JOIN w ON w.k = v.k INNER JOIN z ON z.k = w.k",
     "SELECT | 0: SELECT cols=[a] from=[t, u, v, w, z] multi join1(u on (t.k = u.k)) join2(v on (v.k = t.k)) join3(w on (w.k = v.k)) join1(z on (z.k = w.k))"},
    {"SELECT a FROM t WHERE a LIKE 'x%' AND b BETWEEN 1 AND 2 AND c IN (1,2) AND d IS NULL AND e = ?",
     "SELECT params=1 | 0: SELECT cols=[a] from=[t] where=((((LIKE(a,'x%') AND BETWEEN(b,1,2)) AND IN(c,1,2)) AND (d = NULL)) AND (e = ?0))"},
    {"SELECT a FROM t WHERE a IN (SELECT b FROM u WHERE c = ?) AND d = ?",
     "SELECT params=2 | 0: SELECT cols=[a] from=[t] where=(INSELECT(a,SELECT) AND (d = ?1)) | 1: SELECT sub cols=[b] from=[u] where=(c = ?0)"},
    {"SELECT * FROM sub\\t",
     "SELECT star | 0: SELECT cols=[*] from=[sub\\t]"},
    {"SELECT * FROM 'sub/t'",
     "SELECT star | 0: SELECT cols=[*] from=[sub\\t]"},
    {"SELECT * FROM sub\\ t",
     "SELECT star | 0: SELECT cols=[*] from=[sub\\t]"},
    {"SELECT * FROM t.dat",
     "SELECT star | 0: SELECT cols=[*] from=[t]"},
    {"SELECT * FROM \"sub\\t.DAT\" x, MEMORY m",
     "SELECT star | 0: SELECT cols=[*] from=[sub\\t=x, MEMORY:m] multi"},
    {"SELECT COUNT(*), SUM(a) s, MAX(t.b) AS m, a + 1 c, t.* FROM t GROUP BY a, t.b, 2 HAVING COUNT(*) > 1",
     "SELECT | 0: SELECT cols=[* agg25, s as agg23, t.m as agg27, c as calc{a + 1}, t.*] from=[t] group=[a,t.b,#2] having=(COUNT(*) > 1)"},
    {"SELECT a x.y FROM t",
     "SELECT | 0: SELECT cols=[y as] from=[t]"},
    {"SELECT a INTO r FROM t",
     "SELECT | 0: SELECT cols=[a] into=r from=[t]"},
    {"SELECT a INTO MEMORY FROM t",
     "SELECT | 0: SELECT cols=[a] into=MEMORY: from=[t]"},
    {"SELECT a INTO MEMORY r FROM t",
     "SELECT | 0: SELECT cols=[a] into=MEMORY:r from=[t]"},
    {"SELECT a INTO sub/r.dat FROM t",
     "SELECT | 0: SELECT cols=[a] into=sub\\r from=[t]"},
    {"SELECT a INTO sub\\r FROM t",
     "SELECT | 0: SELECT cols=[a] into=sub\\r from=[t]"},
    {"(SELECT a FROM t)",
     "SELECT | 0: SELECT cols=[a] from=[t]"},
    {"SELECT a FROM t WITH LOCKS LANGUAGE 'German (Standard)' SORT 'German Phone Book Order' ENCRYPTED WITH 'pw' NOJOINOPTIMIZE",
     "SELECT | 0: SELECT cols=[a] from=[t] locks lang=1031 sort=1 pwd='pw' nojoinopt"},
    {"SELECT a FROM t GROUP BY 'x'",
     "SELECT | 0: SELECT cols=[a] from=[t] group=[x]"},
    {"SELECT a FROM t /* comment */ WHERE a = 'it''s'",
     "SELECT | 0: SELECT cols=[a] from=[t] where=(a = 'it's')"},
    {"SELECT [a b], \"c d\".e FROM \"c d\"",
     "SELECT | 0: SELECT cols=[a b, c d.e] from=[c d]"},
    {"SELECT a FROM t WHERE a = 1 AND b = 2 OR NOT c",
     "SELECT | 0: SELECT cols=[a] from=[t] where=(((a = 1) AND (b = 2)) OR (NOT c))"},
    {"SELECT a FROM t HAVING SUM(a) > 1 AND b = 'x'",
     "SELECT | 0: SELECT cols=[a] from=[t] having=((SUM(a) > 1) AND (b = 'x'))"},
    {"SELECT a FROM t x, u AS y WHERE x.k = y.k",
     "SELECT | 0: SELECT cols=[a] from=[t=x, u=y] multi where=(x.k = y.k)"},
    {"SELECT a FROM t JOIN u ON t.k = u.k AND u.z = ?",
     "SELECT params=1 | 0: SELECT cols=[a] from=[t, u] multi join1(u on ((t.k = u.k) AND (u.z = ?0)))"},
    {"SELECT a FROM t, (u JOIN v ON v.k = u.k)",
     "SELECT | 0: SELECT cols=[a] from=[t, u, v] multi join1(v on (v.k = u.k))"},
    {"SELECT a FROM t ORDER BY a ASC, t.b DESCENDING, 3 ASCENDING",
     "SELECT | 0: SELECT cols=[a] from=[t] order=[a,t.b desc,#3]"},
    {"SELECT a FROM t WHERE b IN (SELECT c FROM u UNION SELECT d FROM v)",
     "SELECT | 0: SELECT cols=[a] from=[t] where=INSELECT(b,SELECT) | 1: SELECT sub cols=[c] from=[u] | 2: SELECT union-onto1 cols=[d] from=[v]"},
    {"SELECT a FROM t WHERE b NOT IN (SELECT c FROM u)",
     "SELECT | 0: SELECT cols=[a] from=[t] where=NOTINSELECT(b,SELECT) | 1: SELECT sub cols=[c] from=[u]"},
    {"SELECT * FROM t WHERE a IN (SELECT * FROM u ORDER BY 1)",
     "SELECT star | 0: SELECT cols=[*] from=[t] where=INSELECT(a,SELECT) | 1: SELECT sub cols=[*] from=[u] order=[#1]"},
    {"SELECT * FROM t WHERE a IN (SELECT * FROM u WHERE b IN (SELECT c FROM v WHERE d = ?)) AND e = ?",
     "SELECT star params=2 | 0: SELECT cols=[*] from=[t] where=(INSELECT(a,SELECT) AND (e = ?1)) | 1: SELECT sub cols=[*] from=[u] where=INSELECT(b,SELECT) | 2: SELECT sub cols=[c] from=[v] where=(d = ?0)"},
};
INSTANTIATE_TEST_SUITE_P(Select, StatementParse, ::testing::ValuesIn(kSelectCases));

const ParseCase kInsertCases[] = {
    {"INSERT INTO t VALUES (1, 'x')",
     "INSERT | 0: INSERT table=[t] cols=[*] values=[1,'x']"},
    {"INSERT INTO t (a) SELECT b FROM u",
     "INSERT | 0: INSERT table=[t] cols=[a] | 1: SELECT sub cols=[b] from=[u]"},
    {"INSERT INTO MEMORY m (a, m.b, 'c d') VALUES (?, 'x', 1 + 2) NOAUTOINC COMMIT INTERVAL 100 FLUSH;",
     "INSERT params=1 | 0: INSERT table=[MEMORY:m] cols=[a,m.b,c d] values=[?0,'x',(1 + 2)] noautoinc interval=100 flush"},
    {"INSERT INTO t x SELECT a FROM u NOAUTOINC COMMIT FLUSH",
     "INSERT | 0: INSERT table=[t=x] cols=[*] noautoinc flush | 1: SELECT sub cols=[a] from=[u]"},
    {"INSERT INTO t SELECT a FROM u y NOAUTOINC",
     "INSERT | 0: INSERT table=[t] cols=[*] noautoinc | 1: SELECT sub cols=[a] from=[u=y]"},
    {"INSERT INTO t SELECT a FROM u UNION ALL SELECT b FROM v COMMIT INTERVAL 3",
     "INSERT | 0: INSERT table=[t] cols=[*] interval=3 | 1: SELECT sub cols=[a] from=[u] | 2: SELECT union-all-onto1 cols=[b] from=[v]"},
    {"INSERT INTO t SELECT a FROM u COMMIT INTERVAL 3",
     "INSERT | 0: INSERT table=[t] cols=[*] interval=3 | 1: SELECT sub cols=[a] from=[u]"},
};
INSTANTIATE_TEST_SUITE_P(Insert, StatementParse, ::testing::ValuesIn(kInsertCases));

const ParseCase kUpdateCases[] = {
    {"UPDATE t SET a = 1 FROM t, u WHERE t.k = u.k",
     "UPDATE | 0: UPDATE table=[t, u] multi where=(t.k = u.k) set=[a=1]"},
    {"UPDATE t SET a = ?, t.b = b + 1 WHERE c = ? NOAUTOINC COMMIT INTERVAL 5 NOJOINOPTIMIZE",
     "UPDATE params=2 | 0: UPDATE table=[t] where=(c = ?1) nojoinopt set=[a=?0, t.b=(b + 1)] noautoinc interval=5"},
    {"UPDATE t x SET a = 1 FROM t x JOIN u ON u.k = x.k WHERE u.z = 2",
     "UPDATE | 0: UPDATE table=[t=x, u] multi join1(u on (u.k = x.k)) where=(u.z = 2) set=[a=1]"},
    {"UPDATE ((t SET a = 1 FROM t JOIN u ON u.k = t.k) JOIN v ON v.k = t.k)",
     "UPDATE | 0: UPDATE table=[t, u, v] multi join1(u on (u.k = t.k)) join1(v on (v.k = t.k)) set=[a=1]"},
};
INSTANTIATE_TEST_SUITE_P(Update, StatementParse, ::testing::ValuesIn(kUpdateCases));

const ParseCase kDeleteCases[] = {
    {"DELETE FROM t WHERE a = 1 COMMIT INTERVAL 10 NOJOINOPTIMIZE",
     "DELETE | 0: DELETE table=[t] where=(a = 1) nojoinopt interval=10"},
    {"DELETE FROM t x JOIN u ON u.k = x.k WHERE u.a IN (SELECT b FROM v)",
     "DELETE | 0: DELETE table=[t=x, u] multi join1(u on (u.k = x.k)) where=INSELECT(u.a,SELECT) | 1: SELECT sub cols=[b] from=[v]"},
};
INSTANTIATE_TEST_SUITE_P(Delete, StatementParse, ::testing::ValuesIn(kDeleteCases));

const ParseCase kDefinitionCases[] = {
    {"CREATE TABLE x (a INTEGER, b VARCHAR(20) NOT NULL DEFAULT 'n', PRIMARY KEY (a))",
     "CREATE TABLE | 0: CREATE TABLE target=x fields=[a type=6; b type=1 size=20 notnull default=n] indexes=[PK (a)]"},
    {"CREATE UNIQUE NOCASE INDEX i ON x (b)",
     "CREATE INDEX | 0: CREATE INDEX target=x indexes=[i unique nocase (b)]"},
    {"DROP INDEX x.i",
     "DROP INDEX | 0: DROP INDEX target=x index=i"},
    {"DROP INDEX IF EXISTS x.i",
     "DROP INDEX | 0: DROP INDEX target=x index=i ifexists"},
    {"CREATE TABLE IF NOT EXISTS \"sub/x.dat\" (a AUTOINC DESCRIPTION 'key', b CHAR(10) DEFAULT - 5 MIN -1 MAX +9 CHARCASE UPPER, c DATE DEFAULT CURRENT_DATE, d MEMO, e DECIMAL(10,2) MINIMUM 1.5 MAXIMUM 99, CONSTRAINT pk UNIQUE DESC NOCASE PRIMARY KEY (a, b) COMPRESS FULL TEXT INDEX (d) STOP WORDS 'the a  an' SPACE CHARS '-_' INCLUDE CHARS '#' DESCRIPTION 'Table' BLOB BLOCK SIZE 1024 LANGUAGE 'German (Standard)' ENCRYPTED WITH 'secret' USER MINOR VERSION 3 USER MAJOR VERSION 2 LAST AUTOINC 100)",
     "CREATE TABLE | 0: CREATE TABLE lang=1031 pwd='secret' target=sub\\x ifnotexists fields=[a type=6/29 desc='key'; b type=1 size=10 default=-5 min=-1 max=+9 charcase=2; c type=2 default=CURRENT_DATE; d type=3/22; e type=8 scale=2 min=1.5 max=99] indexes=[PK unique desc nocase compress=3 (a,b)] textindex=(d) stop=the|a|an space=2 include=1 desc='Table' blobblock=1024 major=2 minor=3 lastautoinc=100"},
    {"CREATE TABLE MEMORY m (a INTEGER)",
     "CREATE TABLE | 0: CREATE TABLE target=MEMORY:m fields=[a type=6]"},
    {"CREATE TABLE x (a INTEGER PRIMARY KEY (a) DESCRIPTION 'd')",
     "CREATE TABLE | 0: CREATE TABLE target=x fields=[a type=6] indexes=[PK (a)] desc='d'"},
    {"CREATE INDEX IF NOT EXISTS i ON sub\\x (a, b) COMPRESS DUPBYTE",
     "CREATE INDEX | 0: CREATE INDEX target=sub\\x ifnotexists indexes=[i compress=1 (a,b)]"},
    {"CREATE DESC INDEX i ON x (a) COMPRESS TRAILBYTE;",
     "CREATE INDEX | 0: CREATE INDEX target=x indexes=[i desc compress=2 (a)]"},
    {"CREATE ASCENDING INDEX i ON x (a) COMPRESS NONE",
     "CREATE INDEX | 0: CREATE INDEX target=x indexes=[i (a)]"},
    {"ALTER TABLE x ADD COLUMN c INTEGER AT 2 DESCRIPTION 'd' NOT NULL DEFAULT 0, REDEFINE b VARCHAR(30) CHARCASE LOWER, REDEFINE c d SMALLINT AT 1, DROP e, DROP COLUMN f, ADD PRIMARY KEY (c), DESCRIPTION 'new' NOBACKUP",
     "ALTER TABLE | 0: ALTER TABLE target=x fields=[c add type=6 at=2 desc='d' notnull default=0; b redefine type=1 size=30 charcase=1; c redefine as d type=5 at=1; e drop; f drop] indexes=[PK add (c)] desc='new' nobackup"},
    {"ALTER TABLE x DROP CONSTRAINT pk PRIMARY KEY, REDEFINE UNIQUE PRIMARY KEY (a) COMPRESS FULL, REDEFINE b DEFAULT 'z'",
     "ALTER TABLE | 0: ALTER TABLE target=x fields=[b redefine default=z] indexes=[PK drop; PK redefine unique compress=3 (a)]"},
    {"ALTER TABLE x DROP PRIMARY KEY",
     "ALTER TABLE | 0: ALTER TABLE target=x indexes=[PK drop]"},
    {"ALTER TABLE x ADD c INTEGER NOBACKUP",
     "ALTER TABLE | 0: ALTER TABLE target=x fields=[c add type=6] nobackup"},
    {"DROP TABLE IF EXISTS MEMORY m",
     "DROP TABLE | 0: DROP TABLE target=MEMORY:m ifexists"},
    {"DROP TABLE sub\\t.dat",
     "DROP TABLE | 0: DROP TABLE target=sub\\t"},
    {"DROP INDEX MEMORY t.i",
     "DROP INDEX | 0: DROP INDEX target=MEMORY:t index=i"},
    {"DROP INDEX sub\\x.i;",
     "DROP INDEX | 0: DROP INDEX target=sub\\x index=i"},
};
INSTANTIATE_TEST_SUITE_P(Definition, StatementParse, ::testing::ValuesIn(kDefinitionCases));

const ParseCase kTransactionCases[] = {
    {"START TRANSACTION;",
     "START TRANSACTION | 0: START TRANSACTION"},
    {"ROLLBACK WORK",
     "ROLLBACK | 0: ROLLBACK"},
    {"COMMIT",
     "COMMIT | 0: COMMIT"},
    {"COMMIT WORK FLUSH",
     "COMMIT | 0: COMMIT flush"},
};
INSTANTIATE_TEST_SUITE_P(Transaction, StatementParse, ::testing::ValuesIn(kTransactionCases));

}  // namespace
}  // namespace rudira
