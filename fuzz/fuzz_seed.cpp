#include "fuzz/fuzz_seed.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

#include "engine/data_cursor.h"
#include "engine/data_session.h"
#include "engine/errors.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/index_key.h"
#include "storage/table_directory.h"

namespace rudira::fuzz {
namespace {

struct FieldShape {
  const char* Name;
  uint8_t Type;
  uint8_t Size;
  uint8_t SubType;
};

struct IndexShape {
  const char* Name;  // empty: the primary index
  std::vector<uint16_t> Fields;
  bool Unique;
  bool CaseInsensitive;
};

void CreateTable(TDataDirectory& database, const std::string& name,
                 const std::vector<FieldShape>& fields, const std::vector<IndexShape>& indexes) {
  DataFileDefinition definition;
  for (size_t i = 0; i < fields.size(); ++i) {
    TFieldDescriptor field;
    field.FieldNo = static_cast<uint16_t>(i + 1);
    field.FieldName = fields[i].Name;
    field.FieldType = fields[i].Type;
    field.Size = fields[i].Size;
    field.SubType = fields[i].SubType;
    definition.Fields.push_back(field);
  }
  PrepareFieldDefinitions(definition.Fields, database.DatabaseName(), name);
  TableIndexDefinitions defs;
  for (const IndexShape& shape : indexes) {
    TIndexDefinition index;
    index.IndexName = shape.Name;
    index.Unique = shape.Unique ? 1 : 0;
    index.CaseInsensitive = shape.CaseInsensitive ? 1 : 0;
    index.IndexFieldCount = static_cast<uint8_t>(shape.Fields.size());
    for (size_t i = 0; i < shape.Fields.size(); ++i) index.FieldNumbers[i] = shape.Fields[i];
    PrepareIndexDefinition(index, definition.Fields, false, name);
    if (index.IndexName.empty())
      defs.Primary = index;
    else
      defs.Secondaries.push_back(index);
  }
  if (database.CreateTable(name, false, false, definition, defs) != 0) {
    throw std::runtime_error("seed table " + name + " could not be created");
  }
}

void Store(TDataCursor& cursor, std::vector<uint8_t>& record, int fieldNo,
           const TFieldValue& value) {
  const TFieldDescriptor& field = cursor.Field(fieldNo);
  if (std::holds_alternative<std::monostate>(value)) {
    StoreFieldNull(record.data(), field);
  } else if (!StoreFieldValue(record.data(), field, value, cursor.Table()->DataFile().Locale())) {
    throw std::runtime_error("seed value does not fit field " + field.FieldName);
  }
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

const std::string& ScratchDirectory() {
  // Never freed: the exit handler that removes the directory, registered
  // while the static is made, runs after that static's destructor.
  static const std::string* const directory = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/rudira-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch directory");
    auto* path = new std::string(pattern + "/");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchDirectory(), ignored);
    });
    return path;
  }();
  return *directory;
}

void CreateSeedTables(TDataSession& session, TDataDirectory& database) {
  (void)session;
  CreateTable(database, "t",
              {{"A", kFieldTypeInteger, 0, 0},
               {"S", kFieldTypeString, 20, 0},
               {"M", kFieldTypeBlob, 0, kSubTypeMemo},
               {"F", kFieldTypeFloat, 0, 0},
               {"D", kFieldTypeDate, 0, 0}},
              {{"", {1}, true, false}, {"ByS", {2}, false, true}});
  CreateTable(database, "u", {{"K", kFieldTypeInteger, 0, 0}, {"T", kFieldTypeString, 10, 0}},
              {{"", {1}, true, false}});

  TDataCursor t(session, database);
  t.SetTableName("t");
  t.OpenCursor();
  std::vector<uint8_t> record(t.RecordSize());
  const char* names[] = {"kuro", "shiro", "Hoshi", "tengen", "komi", "seki",
                         "ko",   "atari", "",      "Sente",  "gote", "ko"};
  for (int i = 0; i < 12; ++i) {
    t.InitRecord(record.data());
    Store(t, record, 1, int32_t(i * 3 + 1));
    Store(t, record, 2, names[i][0] ? TFieldValue(std::string(names[i])) : TFieldValue());
    Store(t, record, 4, i == 5 ? TFieldValue() : TFieldValue(double(i) * 1.25 - 3.0));
    Store(t, record, 5, i == 7 ? TFieldValue() : TFieldValue(int32_t(738000 + i * 40)));
    if (i % 4 != 3) {
      // Every third memo takes a chain of several blocks.
      const std::string memo = i % 3 == 0 ? std::string(1300 + i * 10, static_cast<char>('a' + i))
                                          : "memo " + std::to_string(i);
      t.PutBlob(3, record.data(), 0, memo.size(), reinterpret_cast<const uint8_t*>(memo.data()));
    }
    t.AppendRecord(record.data());
  }
  t.CloseCursor();

  TDataCursor u(session, database);
  u.SetTableName("u");
  u.OpenCursor();
  record.assign(u.RecordSize(), 0);
  for (int k : {1, 4, 7, 40}) {
    u.InitRecord(record.data());
    Store(u, record, 1, int32_t(k));
    Store(u, record, 2, std::string("u") + std::to_string(k));
    u.AppendRecord(record.data());
  }
  u.CloseCursor();
}

const std::vector<TFileImage>& SeedImages() {
  static const std::vector<TFileImage> images = [] {
    const std::string directory = ScratchDirectory() + "seed/";
    std::filesystem::create_directories(directory);
    {
      TDataSession session;
      session.SetPrivateDir(directory);
      TDataDirectory* database = session.OpenDatabase("seed", directory);
      CreateSeedTables(session, *database);
    }
    std::vector<TFileImage> result;
    for (const char* name : {"t.DAT", "t.IDX", "t.BLB", "u.DAT", "u.IDX", "u.BLB"}) {
      if (std::filesystem::exists(directory + name))
        result.push_back({name, ReadFile(directory + name)});
    }
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
    return result;
  }();
  return images;
}

void NoteError(const ERUDIRAEngineError& error) {
  static const bool verbose = std::getenv("RUDIRA_FUZZ_VERBOSE") != nullptr;
  if (verbose) std::fprintf(stderr, "  %s\n", error.what());
}

void WriteImages(const std::string& directory, const std::vector<TFileImage>& images) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
    std::filesystem::remove_all(entry.path(), ignored);
  }
  for (const TFileImage& image : images) {
    std::ofstream out(directory + image.Name, std::ios::binary | std::ios::trunc);
    out.write(image.Bytes.data(), static_cast<std::streamsize>(image.Bytes.size()));
  }
}

}  // namespace rudira::fuzz
