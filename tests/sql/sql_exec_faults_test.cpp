// Statements that once broke the SQL execution (found by sql_exec_fuzz):
// each must end with its engine error and leave the table as it was.
#include <string>
#include <vector>

#include "support/select_fixture.h"

namespace rudira::selecttest {
namespace {

class ExecutionFault : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    if (HasFatalFailure()) return;
    CreateTable("t", {{"A"}, {"S", kFieldTypeString, 20}, {"F", kFieldTypeFloat}}, {{"", {1}}});
    Insert("t", {{int32_t(1), std::string("one"), 1.5}, {int32_t(2), std::string("two"), 2.5}});
  }
};

const std::string kSqlError = "RUDIRA Engine Error # 11949 SQL error - ";

TEST_F(ExecutionFault, StatementsEndWithTheirErrors) {
  struct Case {
    const char* Sql;
    std::string Message;
  };
  const Case cases[] = {
      // The message's text of a Boolean value overran its buffer (seen in
      // the sanitizer build).
      {"UPDATE t SET S = 'x', F = F + 2 < 10",
       "Type mismatch between column F and constant value True in UPDATE statement"},
  };
  const std::vector<std::string> before = Query("SELECT * FROM t");
  for (const Case& c : cases) {
    EXPECT_EQ(MessageOf([&] { Run(c.Sql); }), kSqlError + c.Message) << c.Sql;
    EXPECT_EQ(Query("SELECT * FROM t"), before) << c.Sql;
  }
}

}  // namespace
}  // namespace rudira::selecttest
