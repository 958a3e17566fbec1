// The type checker of expression trees: resolves column names, gives every
// node its result type and rejects ill-typed trees.
//
// Checking runs bottom-up. String constants may name columns (filters allow
// it): such a constant becomes a column reference (FromString set, its
// constant type saved). A string constant facing a DATE, TIME or TIMESTAMP
// across a binary operator (or in LIKE, BETWEEN and IN lists) is converted
// to that type from the fixed text form. Every failure raises the check's
// error code with a message ending in " in " and the context phrase.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "engine/exp_token.h"

namespace rudira {

struct TExpressionCheck {
  uint16_t ErrorCode = 0;            // RUDIRA_INVALIDFILTER or RUDIRA_SQLPARSE
  std::string_view DatabaseName;     // names of messages
  std::string_view TableName;
  std::string_view ContextPhrase;    // "filter expression", "SQL statement", ...
  bool StringsNameColumns = false;   // a string constant naming a column becomes that column
  // Maps a column node (ColumnName, TableAlias) to a field: sets FieldNo, the
  // type fields and, for SQL, SourceTable. Returns false when there is no
  // such column; it must not raise for that, since string constants are
  // tried against it.
  std::function<bool(TExpToken& column)> ResolveColumn;
  void* Caller = nullptr;            // the caller's object, for the resolver
};

// Fills the type of every node of the tree or raises.
void CheckExpressionTypes(TExpToken& root, const TExpressionCheck& check);

// Checks a filter: the types, then that the root is BOOLEAN (else
// "filter expression must be a boolean expression").
void CheckFilterExpression(TExpToken& root, const TExpressionCheck& check);

// Whether values of the two types can be compared.
bool TypesComparable(uint8_t left, uint8_t right);

// The result type of left op right for "+", "-", "*", "/" (kOpAdd ...), or
// nothing (0 with ok false) for a type mismatch. An unknown side takes the
// other side's type.
bool ArithmeticResultType(uint8_t opCode, uint8_t left, uint8_t right, uint8_t& result);

}  // namespace rudira
