// Fuzz target: filter texts parsed and type-checked against a fixed small
// table, then evaluated over its records. The first input byte picks the
// filter options and the cursor's order; the rest is the filter text.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/data_cursor.h"
#include "engine/data_session.h"
#include "engine/errors.h"
#include "fuzz/fuzz_seed.h"

namespace {

struct TFixture {
  TFixture() {
    session.SetPrivateDir(rudira::fuzz::ScratchDirectory());
    rudira::fuzz::WriteImages(rudira::fuzz::ScratchDirectory(), rudira::fuzz::SeedImages());
    database = session.OpenDatabase("db", rudira::fuzz::ScratchDirectory());
    cursor = std::make_unique<rudira::TDataCursor>(session, *database);
    cursor->SetTableName("t");
    cursor->OpenCursor();
    record.resize(cursor->RecordSize());
  }
  rudira::TDataSession session;
  rudira::TDataDirectory* database = nullptr;
  std::unique_ptr<rudira::TDataCursor> cursor;
  std::vector<uint8_t> record;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TFixture fixture;
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  rudira::TDataCursor& cursor = *fixture.cursor;
  rudira::TCursorFilterOptions options;
  options.CaseInsensitive = flags & 1;
  options.NoPartialCompare = flags & 2;
  options.ComputeEstimates = flags & 4;
  try {
    cursor.SetIndexName(flags & 8 ? "ByS" : "");
    rudira::TFilter* filter = cursor.AddFilter(text, options);
    cursor.ActivateFilter(filter);
    cursor.SetToBegin();
    for (int i = 0; i < 40 && cursor.GetNextRecord(fixture.record.data()) == 0; ++i) {
    }
    if (flags & 16) {
      cursor.SetToEnd();
      for (int i = 0; i < 40 && cursor.GetPriorRecord(fixture.record.data()) == 0; ++i) {
      }
    }
    cursor.GetRecordCount();
  } catch (const rudira::ERUDIRAEngineError& error) {
    rudira::fuzz::NoteError(error);
  }
  try {
    cursor.DropFilter();
  } catch (const rudira::ERUDIRAEngineError& error) {
    rudira::fuzz::NoteError(error);
  }
  return 0;
}
