#include "tools/make_kyozai/kyozai_writer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/data_cursor.h"
#include "engine/data_session.h"
#include "engine/errors.h"
#include "storage/data_file.h"
#include "storage/data_table.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/index_key.h"

namespace momiro {
namespace {

using rudira::TFieldDescriptor;

struct FieldSpec {
  const char* name;
  uint8_t type;
  uint8_t size;
};

constexpr FieldSpec kFigureFields[] = {
    {"MNB", rudira::kFieldTypeInteger, 0}, {"TES", rudira::kFieldTypeInteger, 0},
    {"COL", rudira::kFieldTypeInteger, 0}, {"PST", rudira::kFieldTypeInteger, 0},
    {"BFR", rudira::kFieldTypeInteger, 0}, {"BTO", rudira::kFieldTypeInteger, 0},
    {"DTX", rudira::kFieldTypeInteger, 0}, {"CMT", rudira::kFieldTypeString, kCommentWidth},
    {"TNB", rudira::kFieldTypeInteger, 0},
};
constexpr FieldSpec kContentsFields[] = {
    {"MNB", rudira::kFieldTypeInteger, 0},
    {"ITM", rudira::kFieldTypeString, kTitleWidth},
};

template <size_t N>
rudira::DataFileDefinition Definition(const FieldSpec (&specs)[N], const std::string& table) {
  rudira::DataFileDefinition definition;
  for (size_t i = 0; i < N; ++i) {
    TFieldDescriptor field;
    field.FieldNo = static_cast<uint16_t>(i + 1);
    field.FieldName = specs[i].name;
    field.FieldType = specs[i].type;
    field.Size = specs[i].size;
    definition.Fields.push_back(field);
  }
  rudira::PrepareFieldDefinitions(definition.Fields, "kyozai", table);
  return definition;
}

// An index over the first field (MNB) of `fields`.
rudira::TIndexDefinition IndexOnMnb(const std::string& name, bool unique,
                                    const std::vector<TFieldDescriptor>& fields,
                                    const std::string& table) {
  rudira::TIndexDefinition index;
  index.IndexName = name;
  index.Unique = unique ? 1 : 0;
  index.IndexFieldCount = 1;
  index.FieldNumbers[0] = 1;
  rudira::PrepareIndexDefinition(index, fields, false, table);
  return index;
}

void Created(int32_t result, const std::string& table) {
  if (result != 0)
    throw ELessonSourceError("cannot create table " + table + " (engine code " +
                             std::to_string(-result) + ")");
}

// Fills and appends records one at a time through a cursor on one table.
class RecordWriter {
 public:
  RecordWriter(rudira::TDataSession& session, rudira::TDataDirectory& database,
               const std::string& table)
      : cursor_(session, database) {
    cursor_.SetTableName(table);
    cursor_.OpenCursor();
    record_.resize(cursor_.RecordSize());
  }
  ~RecordWriter() { cursor_.CloseCursor(); }

  void Begin() { cursor_.InitRecord(record_.data()); }
  void Set(int position, const rudira::TFieldValue& value) {
    const TFieldDescriptor& field = cursor_.Fields().at(static_cast<size_t>(position));
    if (const auto* text = std::get_if<std::string>(&value); text != nullptr && text->empty()) {
      rudira::StoreFieldNull(record_.data(), field);  // an empty text reads back as the empty text
      return;
    }
    if (!rudira::StoreFieldValue(record_.data(), field, value,
                                 cursor_.Table()->DataFile().Locale()))
      throw ELessonSourceError("cannot store a value in field " + field.FieldName);
  }
  void Append() { cursor_.AppendRecord(record_.data(), false); }

 private:
  rudira::TDataCursor cursor_;
  std::vector<uint8_t> record_;
};

}  // namespace

void WriteKyozai(const std::string& directory, const std::vector<LessonEntry>& entries) {
  rudira::TDataSession session;
  session.SetPrivateDir(directory);
  rudira::TDataDirectory* database = session.OpenDatabase("kyozai", directory);

  const rudira::DataFileDefinition figure = Definition(kFigureFields, kFigureTable);
  rudira::TableIndexDefinitions figureIndexes;  // no primary-index fields
  figureIndexes.Secondaries.push_back(
      IndexOnMnb(kFigureByContents, false, figure.Fields, kFigureTable));
  Created(database->CreateTable(kFigureTable, false, false, figure, figureIndexes), kFigureTable);

  const rudira::DataFileDefinition contents = Definition(kContentsFields, kContentsTable);
  rudira::TableIndexDefinitions contentsIndexes;
  contentsIndexes.Primary = IndexOnMnb("", true, contents.Fields, kContentsTable);
  Created(database->CreateTable(kContentsTable, false, false, contents, contentsIndexes),
          kContentsTable);

  {
    RecordWriter writer(session, *database, kContentsTable);
    for (const LessonEntry& entry : entries) {
      writer.Begin();
      writer.Set(0, int32_t{entry.number});
      writer.Set(1, entry.title);
      writer.Append();
    }
  }
  RecordWriter writer(session, *database, kFigureTable);
  for (const LessonEntry& entry : entries) {
    for (const LessonRow& row : entry.rows) {
      writer.Begin();
      const int values[] = {row.mnb, row.tes, row.col, row.pst, row.bfr, row.bto, row.dtx};
      for (int i = 0; i < 7; ++i) writer.Set(i, int32_t{values[i]});
      writer.Set(7, row.cmt);
      writer.Set(8, int32_t{row.tnb});
      writer.Append();
    }
  }
}

}  // namespace momiro
