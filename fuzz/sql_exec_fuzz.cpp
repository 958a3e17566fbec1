// Fuzz target: SQL statements run on a small database made afresh for each
// input in the scratch directory (the seed tables t and u). The first byte
// asks for a live result; the rest is the SQL text, every statement of
// which is prepared and run, and the result rows are read.
//
// Texts that could name other directories (a path separator inside quotes,
// any backslash or colon) are skipped: the target must not create or drop
// files outside its scratch directory.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/data_cursor.h"
#include "engine/data_session.h"
#include "engine/errors.h"
#include "fuzz/fuzz_seed.h"
#include "sql/select_executor.h"

namespace {

bool MayNameOtherDirectory(std::string_view text) {
  char quote = 0;
  for (const char c : text) {
    if (c == '\\' || c == ':') return true;
    if (quote != 0) {
      if (c == quote)
        quote = 0;
      else if (c == '/')
        return true;
    } else if (c == '\'' || c == '"') {
      quote = c;
    }
  }
  return false;
}

void ReadResult(rudira::TSelectExecutor& executor) {
  rudira::TDataCursor* cursor = executor.ResultCursor();
  if (cursor == nullptr) return;
  std::vector<uint8_t> record(cursor->RecordSize());
  cursor->SetToBegin();
  for (int row = 0; row < 200 && cursor->GetNextRecord(record.data()) == 0; ++row) {
    if (!executor.LiveResult()) continue;
    for (size_t i = 0; i < executor.ResultColumns().size(); ++i) {
      if (executor.ResultColumns()[i].Calculated) executor.ReadCalculatedColumn(i, record.data());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  if (MayNameOtherDirectory(text)) return 0;
  const std::vector<rudira::fuzz::TFileImage>& seed = rudira::fuzz::SeedImages();
  const std::string& directory = rudira::fuzz::ScratchDirectory();
  rudira::fuzz::WriteImages(directory, seed);
  rudira::TDataSession session;
  session.SetPrivateDir(directory);
  rudira::TDataDirectory* database = session.OpenDatabase("db", directory);
  {
    rudira::TSelectExecutor executor(session, *database, data[0] & 1, data[0] & 2 ? 5 : -1);
    try {
      executor.Prepare(text);
      executor.Execute();
      ReadResult(executor);
    } catch (const rudira::ERUDIRAEngineError& error) {
      rudira::fuzz::NoteError(error);
    }
  }
  try {
    if (database->InTransaction()) database->Rollback();
  } catch (const rudira::ERUDIRAEngineError& error) {
    rudira::fuzz::NoteError(error);
  }
  return 0;
}
