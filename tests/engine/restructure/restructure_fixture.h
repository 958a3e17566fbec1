// Helpers of the restructure tests: the cursor tests' directory, session and
// tables, plus a table's definition as a restructure takes it, a recorder
// of data-loss reports and whole-file snapshots.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/cursor/cursor_fixture.h"
#include "engine/restructure_definition.h"
#include "storage/index_header.h"

namespace rudira::restructuretest {

using cursortest::CodeOf;
using cursortest::FieldSpec;
using cursortest::IndexSpec;

// One call of the data-loss callback.
struct Loss {
  int Cause = 0;
  std::string Context;
  bool operator==(const Loss&) const = default;
};

class RestructureTest : public cursortest::CursorTest {
 protected:
  // The table's current definition, each field linked to itself.
  TRestructureDefinition DefinitionOf(const std::string& name) {
    auto cursor = Open(name, [](TDataCursor& c) { c.SetStructureOnly(true); });
    TDataFile& data = cursor->Table()->DataFile();
    TIndexFile& index = cursor->Table()->IndexFile();
    TRestructureDefinition definition;
    const TDataHeader& header = data.Header();
    definition.LanguageId = header.LanguageId;
    definition.SortId = header.SortId;
    definition.Encrypted = header.Encrypted != 0;
    definition.Password = data.Password();
    definition.Description = data.Description();
    definition.UserMajorVersion = header.UserMajorVersion;
    definition.UserMinorVersion = header.UserMinorVersion;
    definition.BlobBlockSize = header.BlobBlockSize == 0 ? 512 : header.BlobBlockSize;
    definition.Fields = data.Fields();
    if (!index.NoPrimaryKey()) definition.Indexes.Primary = index.Definition(kPrimarySlot);
    for (int slot = 1; slot <= index.Header().SecondaryIndexCount; ++slot) {
      definition.Indexes.Secondaries.push_back(index.Definition(slot));
    }
    definition.Indexes.TextIndex = index.Definition(kSysTextSlot);
    return definition;
  }

  // Runs the restructure of `name` on a fresh cursor; the losses it reported
  // go to *losses when given. `answer` decides continue and stop-asking per
  // call (1-based call number); without it every call continues.
  void Restructure(const std::string& name, const TRestructureDefinition& definition,
                   std::vector<Loss>* losses = nullptr,
                   std::function<void(int call, bool& go, bool& stopAsking)> answer = {}) {
    TDataCursor cursor(*session_, *db_);
    cursor.SetTableName(name);
    if (losses) {
      cursor.SetDataLossCallback([losses, answer](TDataCursor&, int cause, bool& go, bool& stopAsking,
                                                  const std::string& context) {
        losses->push_back({cause, context});
        if (answer) answer(static_cast<int>(losses->size()), go, stopAsking);
      });
    }
    cursor.RestructureTable(definition);
  }

  // Every file of the test directory with its bytes.
  std::map<std::string, std::vector<char>> Files() const {
    std::map<std::string, std::vector<char>> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      files[entry.path().filename().string()] = FileBytes(entry.path().filename().string());
    }
    return files;
  }
  bool Exists(const std::string& file) const { return std::filesystem::exists(dir_ + file); }

  // The values of `field` of every record in physical order.
  std::vector<int32_t> Values(const std::string& table, const std::string& field) {
    auto cursor = Open(table, [](TDataCursor& c) { c.SetNaturalOrder(true); });
    return Walk(*cursor, field);
  }

  // A table "t" without primary key: V INTEGER and N INTEGER, one record
  // per (v, n) pair in order.
  void CreateValues(const std::vector<std::pair<int32_t, int32_t>>& rows,
                    const std::vector<IndexSpec>& secondaries = {}) {
    CreateTable("t", {{"V", kFieldTypeInteger}, {"N", kFieldTypeInteger}}, {"", {}}, secondaries);
    auto cursor = Open("t");
    for (const auto& [v, n] : rows) {
      std::vector<uint8_t> record = Blank(*cursor);
      Set(*cursor, record, "V", v);
      Set(*cursor, record, "N", n);
      cursor->AppendRecord(record.data());
    }
  }
};

}  // namespace rudira::restructuretest
