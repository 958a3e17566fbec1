// The table of the multi-process stress and crash tests, and the checker
// that reads it back.
//
// "stress": ID INTEGER (primary key), NAME CHAR(16) with the unique index
// "ByName", GRP SMALLINT with the non-unique index "ByGroup", VER INTEGER
// and the memo M. Every value of a record follows from its id and version
// (ValuesOf), so a log of "which id reached which version" is enough to
// know what the table must hold. A change of a record raises its version by
// one from the version its writer read: two writers that both believe they
// changed version v of a record betray a lost update.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "engine/cursor/cursor_fixture.h"
#include "engine/table_verifier.h"

namespace rudira::stresstest {

using cursortest::CursorTest;
using cursortest::FieldSpec;
using cursortest::IndexSpec;

inline constexpr const char* kTable = "stress";
inline constexpr int kMemoField = 5;

struct RowValues {
  std::string Name;
  int16_t Group = 0;
  std::string Memo;  // 0 to a few BLOB blocks
};

inline RowValues ValuesOf(int32_t id, int32_t version) {
  RowValues values;
  values.Name = "n" + std::to_string(id) + "." + std::to_string(version);
  values.Group = static_cast<int16_t>((id * 7 + version) % 5);
  const size_t length = static_cast<size_t>((id * 131 + version * 977) % 2600);
  values.Memo = std::string(length, static_cast<char>('a' + (id + version) % 26)) + "#" + std::to_string(id) +
                "/" + std::to_string(version);
  return values;
}

// A stored record as read back.
struct StoredRow {
  int32_t Id = 0;
  int32_t Version = 0;
  RowValues Values;
};

// Seconds a stress run lasts: MOMIRO_STRESS_SECONDS when set to a positive
// number (for a long manual run), else `fallback`.
inline double StressSeconds(double fallback) {
  if (const char* text = std::getenv("MOMIRO_STRESS_SECONDS")) {
    const double value = std::atof(text);
    if (value > 0) return value;
  }
  return fallback;
}

// What `check` returns, or the message of the engine error it raised.
inline std::string EngineErrorText(const std::function<std::string()>& check) {
  try {
    return check();
  } catch (const ERUDIRAEngineError& error) {
    return error.what();
  }
}

class StressTableTest : public CursorTest {
 protected:
  void CreateStressTable() {
    CreateTable(kTable,
                {FieldSpec("ID", kFieldTypeInteger), FieldSpec("NAME", kFieldTypeString, 16),
                 FieldSpec("GRP", kFieldTypeSmallInt), FieldSpec("VER", kFieldTypeInteger),
                 FieldSpec("M", kFieldTypeBlob, 0, kSubTypeMemo)},
                IndexSpec("", {1}), {IndexSpec("ByName", {2}, true), IndexSpec("ByGroup", {3}, false)});
  }

  // Closes every table of the test's own session, so that no file of the
  // table is open when children are forked: an inherited open file would
  // share its byte-range locks with the parent and every sibling.
  void DropSession() {
    session_.reset();
    db_ = nullptr;
  }
  void NewSession() {
    session_ = std::make_unique<TDataSession>();
    session_->SetPrivateDir(dir_);
    db_ = session_->OpenDatabase("db", dir_);
  }

  // Fills the edit's copy of a record with the values of (id, version).
  static void Store(TDataCursor& cursor, std::vector<uint8_t>& record, int32_t id, int32_t version) {
    const RowValues values = ValuesOf(id, version);
    Set(cursor, record, "ID", id);
    Set(cursor, record, "NAME", values.Name);
    Set(cursor, record, "GRP", values.Group);
    Set(cursor, record, "VER", version);
    cursor.TruncateBlob(kMemoField, record.data(), 0);
    cursor.PutBlob(kMemoField, record.data(), 0, values.Memo.size(),
                   reinterpret_cast<const uint8_t*>(values.Memo.data()));
  }

  static StoredRow Read(TDataCursor& cursor, const std::vector<uint8_t>& record) {
    StoredRow row;
    row.Id = IntOf(cursor, record, "ID");
    row.Version = IntOf(cursor, record, "VER");
    row.Values.Name = TextOf(cursor, record, "NAME");
    const TFieldValue group = Get(cursor, record, "GRP");
    if (const auto* g = std::get_if<int16_t>(&group)) row.Values.Group = *g;
    const size_t size = cursor.GetBlobSize(kMemoField, record.data());
    row.Values.Memo.assign(size, '\0');
    cursor.GetBlob(kMemoField, record.data(), 0, size, reinterpret_cast<uint8_t*>(row.Values.Memo.data()));
    return row;
  }

  // Every record in view of `cursor` in its current order.
  static std::vector<StoredRow> ReadAll(TDataCursor& cursor) {
    std::vector<StoredRow> rows;
    std::vector<uint8_t> record(cursor.RecordSize());
    cursor.SetToBegin();
    while (cursor.GetNextRecord(record.data()) == 0) rows.push_back(Read(cursor, record));
    return rows;
  }

  static std::string Describe(const StoredRow& row) {
    return "record " + std::to_string(row.Id) + " version " + std::to_string(row.Version);
  }

  // The records of the data file (natural order), each checked against the
  // values its id and version give. Empty text when the data file reads
  // clean, else what is wrong.
  std::string ReadDataFile(std::map<int32_t, StoredRow>& rows) {
    auto natural = Open(kTable, [](TDataCursor& c) { c.SetNaturalOrder(true); });
    for (const StoredRow& row : ReadAll(*natural)) {
      const RowValues expected = ValuesOf(row.Id, row.Version);
      if (row.Values.Name != expected.Name || row.Values.Group != expected.Group ||
          row.Values.Memo != expected.Memo) {
        return Describe(row) + " holds values of no version";
      }
      if (!rows.emplace(row.Id, row).second) return "record " + std::to_string(row.Id) + " twice in the data file";
    }
    return {};
  }

  // The engine's full verification of the table (headers, every index
  // entry against its record, every memo chain; its faults joined as the
  // text), then the indexes walked through a cursor: every index holds
  // exactly the records of `rows` at the versions read from the data file,
  // in its key order, and the cursor's record count is theirs. Empty text
  // when all agree.
  std::string CheckIndexes(const std::map<int32_t, StoredRow>& rows) {
    auto cursor = Open(kTable);
    TTableVerifier verifier(*cursor->Table());
    if (!verifier.Run()) {
      std::string faults;
      for (const TVerifyFault& fault : verifier.Faults()) faults += (faults.empty() ? "" : "; ") + fault.Text;
      return faults;
    }
    if (cursor->GetRecordCount() != static_cast<int32_t>(rows.size())) return "record count differs";
    for (const char* index : {"", "ByName", "ByGroup"}) {
      cursor->SetIndexName(index);
      const std::vector<StoredRow> walked = ReadAll(*cursor);
      std::set<int32_t> ids;
      for (size_t i = 0; i < walked.size(); ++i) {
        const StoredRow& row = walked[i];
        const auto stored = rows.find(row.Id);
        if (stored == rows.end() || stored->second.Version != row.Version) {
          return std::string("index '") + index + "' names " + Describe(row) + ", not so in the data file";
        }
        if (!ids.insert(row.Id).second) return std::string("index '") + index + "' names a record twice";
        if (i == 0) continue;
        const StoredRow& before = walked[i - 1];
        const bool ordered = index == std::string("")         ? before.Id < row.Id
                             : index == std::string("ByName") ? before.Values.Name < row.Values.Name
                                                              : before.Values.Group <= row.Values.Group;
        if (!ordered) return std::string("index '") + index + "' out of order at " + Describe(row);
      }
      if (ids.size() != rows.size()) return std::string("index '") + index + "' misses records";
    }
    return {};
  }
};

}  // namespace rudira::stresstest
