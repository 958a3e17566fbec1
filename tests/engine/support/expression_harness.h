// A small table of named columns for expression tests: resolves column
// names for the type checker and serves the current record's values to the
// evaluator.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/exp_token.h"
#include "engine/expression_checker.h"
#include "engine/expression_evaluator.h"
#include "engine/expression_parser.h"

namespace rudira::test {

struct HarnessColumn {
  std::string Name;
  uint8_t Type = 0;
  uint8_t SubType = 0;
  uint16_t Size = 0;
  uint8_t Scale = 0;
  std::function<void(TExpToken&)> Fill;  // sets the value; nothing: NULL
};

class ExpressionHarness : public TExpressionRecordAccess {
 public:
  ExpressionHarness();

  std::vector<HarnessColumn> Columns;
  TEvaluateOptions Options;
  uint16_t ErrorCode = RUDIRA_INVALIDFILTER;
  std::string Context = kFilterContext;
  TExpressionOwner* Owner = nullptr;

  // Parses (raising on errors).
  TExpTokenPtr Parse(const std::string& text, uint32_t permissions = kFilterPermissions);
  // Parses and type-checks, string constants naming columns.
  TExpTokenPtr Check(const std::string& text, uint32_t permissions = kFilterPermissions);
  // Parses, checks and evaluates.
  TExpTokenPtr Evaluate(const std::string& text, uint32_t permissions = kFilterPermissions);
  // "NULL" or the value's text form.
  static std::string ValueText(const TExpToken& value);

  // The engine error raised by fn (a failed test when none was raised).
  static ERUDIRAEngineError Raised(const std::function<void()>& fn);

  void ReadColumn(const TExpToken& column, TExpToken& value) override;

 private:
  bool Resolve(TExpToken& column) const;
};

// The tree as an S-expression: (OR (= A 'x') ...).
std::string DumpTree(const TExpToken& node);

}  // namespace rudira::test
