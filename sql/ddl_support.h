// Pieces shared by the definition statements (sql/ddl_executor.cpp,
// sql/alter_table.cpp): the database a target table lives in, field and
// index descriptors built from parsed column and index definitions, and
// the text index's parameters.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data_cursor.h"
#include "engine/restructure_definition.h"
#include "sql/select_query_run.h"

namespace rudira {

constexpr size_t kMaxSqlFieldNameLength = 30;
constexpr size_t kMaxSqlDescriptionLength = 50;
constexpr size_t kMaxSqlCheckTextLength = 50;
constexpr size_t kMaxSqlIndexColumns = 16;

// Cuts a text to `limit` bytes without splitting a UTF-8 character.
std::string CutText(std::string_view text, size_t limit);
// Whether two names are equal ignoring case (ASCII letters).
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// The database a definition statement's target lives in: the in-memory
// database, the directory of a path, or the statement's database. A
// database opened here is closed with the object.
class TTargetDatabase {
 public:
  TTargetDatabase(TSelectExecutor::TImpl& impl, const TDataQuery& query);
  ~TTargetDatabase();
  TTargetDatabase(const TTargetDatabase&) = delete;
  TTargetDatabase& operator=(const TTargetDatabase&) = delete;

  TDataDirectory& Database() { return *database_; }
  const std::string& TableName() const { return name_; }
  bool InMemory() const { return inMemory_; }

  // A cursor on the table, not yet open, with the statement's password
  // callback. REQUIRES: used while this object lives.
  std::unique_ptr<TDataCursor> NewCursor();
  // An exclusive cursor on the table, open; closed with its owner.
  std::unique_ptr<TDataCursor> OpenExclusive();

 private:
  TSelectExecutor::TImpl& impl_;
  TDataDirectory* database_ = nullptr;
  bool owned_ = false;
  bool inMemory_ = false;
  std::string name_;
};

// The field descriptor of a column definition (FieldNo left 0): name,
// type, size, scale, description, NOT NULL, CHARCASE and the DEFAULT, MIN
// and MAX texts, each cut to its stored length.
TFieldDescriptor FieldOf(const TCreateField& column);

// The position number of `column` among `fields` (ignoring case), or 0.
// REQUIRES: fields numbered by position (FieldNo = position).
uint16_t FieldNumberOf(const std::vector<TFieldDescriptor>& fields, const std::string& column);

// The index descriptor of an index definition against `fields`, numbered
// by position and prepared; an unknown column raises "Invalid field name
// ... specified for index ...".
TIndexDefinition IndexOf(const TCreateIndex& index, const std::vector<TFieldDescriptor>& fields,
                         const std::string& tableName);
// The "Sys Text" descriptor of a text-index definition ("Invalid field name
// ... specified for text index" for an unknown column).
TIndexDefinition TextIndexOf(const TTextIndexDefinition& text, const std::vector<TFieldDescriptor>& fields,
                             const std::string& tableName);
// The stop words and character sets a text-index definition gives, over
// `base` (what the table has, or nothing for a new table).
TextIndexParameters TextParametersOf(const TTextIndexDefinition& text, TextIndexParameters base = {});
// A parsed character set in the stored form (bit c of byte c div 8).
TCharacterSet StoredCharacterSet(const std::bitset<256>& set);

// ALTER TABLE through the restructure.
void AlterTable(TSelectExecutor::TImpl& impl, TDataQuery& query);

}  // namespace rudira
