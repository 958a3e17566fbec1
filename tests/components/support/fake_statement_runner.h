// A statement runner for the query tests: it records what a query prepares
// and executes, and answers with a cursor on a named table of the database
// (a stand-in for a SELECT result) or with rows affected only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "components/statement_runner.h"

namespace rudira::dstest {

struct FakeExecution {
  std::vector<std::string> Values;  // per descriptor: "NULL", or the value as text
  std::vector<uint8_t> Types;       // per descriptor: the engine type
};

// What the runners made by the fake factory saw and how they answer.
struct FakeScript {
  // Answer: a text whose first word is "select" opens this table (empty:
  // no cursor); any other text yields no cursor.
  std::string ResultTable = "figure";
  bool ReadOnlyResult = false;
  int32_t RowsAffected = 0;
  // Result fields reported hidden (1-based numbers); origins are reported as
  // "F." + the field number.
  std::vector<int> HiddenFields;
  // A code raised by Execute (0: none).
  uint16_t FailExecuteWith = 0;

  // Seen.
  std::vector<std::string> Prepared;
  std::vector<FakeExecution> Executions;
  std::vector<std::pair<bool, int32_t>> Made;  // RequestLive, MaxRowCount per runner
  int32_t LastMaxRowCount = 0;
  int LiveRunners = 0;
};

// Installs the fake factory for the lifetime of the object.
class TFakeRunnerScope {
 public:
  TFakeRunnerScope();
  ~TFakeRunnerScope();
  FakeScript Script;

 private:
  TStatementRunnerFactory previous_;
};

}  // namespace rudira::dstest
