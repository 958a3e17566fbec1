// Fuzz target: the SQL lexer and statement parser. The input is SQL text;
// every statement of it is parsed. A text the grammar rejects must raise
// the engine's SQL error, nothing else.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/errors.h"
#include "fuzz/fuzz_seed.h"
#include "sql/query_statement.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  rudira::TQueryStatement statement("db\\", size % 2 == 0, -1);
  try {
    statement.Prepare(text);
    // The statements after the first, as execution would parse them.
    for (int i = 0; i < 64 && statement.HasMoreStatements(); ++i) statement.ParseNextStatement();
  } catch (const rudira::ERUDIRAEngineError& error) {
    rudira::fuzz::NoteError(error);
  }
  return 0;
}
