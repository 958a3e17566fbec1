// A compact text form of a parsed statement, for tables of parse cases:
// the statement kind and flags, then each query of the statement with the
// clauses it holds (default values are left out).
#pragma once

#include <string>

#include "engine/exp_token.h"
#include "sql/query_statement.h"

namespace rudira::testing {

// An expression tree as text: columns as alias.name, constants as written,
// operators in parentheses, functions and extended predicates as NAME(args).
std::string RenderExpression(const TExpToken* node);

std::string StatementSummary(const TQueryStatement& statement);

}  // namespace rudira::testing
