// The parts of a parsed SQL statement: source tables, result columns, ORDER BY
// and GROUP BY items, joins, INSERT/UPDATE targets and values, and the column,
// index and text-index definitions of CREATE TABLE, ALTER TABLE and CREATE
// INDEX. A TDataQuery (sql/data_query.h) owns them all.
//
// Names are short strings: at most 255 bytes, cut at a whole UTF-8 character.
// Expression trees are owned through TExpTokenPtr and go back to the node
// pool with their owner.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/exp_token.h"
#include "storage/field_descriptor.h"

namespace rudira {

class TDataCursor;  // engine cursor of an opened source table (execution)

constexpr size_t kSqlShortStringMax = 255;
// The directory name of the in-memory database.
constexpr char kMemoryDatabaseName[] = "Memory";

// Cuts `text` to `kSqlShortStringMax` bytes without splitting a character.
std::string SqlShortString(std::string_view text);

// Where a source or target table lives.
enum class TableLocation : uint8_t {
  kStatementDatabase = 0,  // the statement's database directory
  kDirectory = 1,          // the directory given in the table reference
  kMemory = 2,             // the in-memory database "Memory"
};

struct TSourceTable {
  std::string TableName;       // no directory part, no ".DAT"
  TableLocation Location = TableLocation::kStatementDatabase;
  std::string Directory;       // kDirectory: the path part, with a trailing "\"
  bool InMemory = false;
  std::string CorrelationName; // the table name unless one was given
  bool CorrelationGiven = false;
  int32_t Position = 0;        // 1-based position in the FROM list
  TDataCursor* Cursor = nullptr;  // set when execution opens the table; not owned here
};

struct TResultField {
  TExpTokenPtr Expression;
  std::string ColumnName;      // plain column or aggregate of one: its name; else the alias or empty
  bool AliasGiven = false;     // the name came from "AS name" or a bare alias
  std::string CorrelationName; // of a plain column reference
  uint8_t AggregateKind = 0;   // 0 none; else the function code of the aggregate
  bool Calculated = false;     // not a plain column nor an aggregate of a plain column
  std::string SourceText;      // the expression as written
};

struct TOrderByField {
  std::string ColumnName;
  std::string CorrelationName;
  uint16_t ColumnNumber = 0;   // 1-based; 0 when a name is used
  bool Descending = false;
};

struct TGroupByField {
  std::string ColumnName;
  std::string CorrelationName;
  uint16_t ColumnNumber = 0;
};

constexpr uint8_t kJoinInner = 1;
constexpr uint8_t kJoinLeftOuter = 2;
constexpr uint8_t kJoinRightOuter = 3;

struct TJoinExpression {
  int32_t SourceTableIndex = -1;  // 0-based index of the joined table in the query's source tables
  TExpTokenPtr OnExpression;
  uint8_t Kind = kJoinInner;
};

struct TUpdateField {
  std::string ColumnName;      // "*": every column of the table in table order
  std::string CorrelationName;
  std::string SourceText;
};

struct TUpdateValue {
  TExpTokenPtr Expression;
  std::string SourceText;
};

// CHARCASE codes: kCharCaseLower and kCharCaseUpper of storage/field_descriptor.h.
constexpr uint8_t kCharCaseNoChange = kCharCaseUnchanged;

// A data type as written in a column definition or CAST.
struct TSqlColumnType {
  uint8_t FieldType = 0;  // storage/field_type.h codes; 0 when no type was written
  uint8_t SubType = 0;
  uint8_t Size = 0;       // types 1, 9 and 15
  uint8_t Scale = 0;      // type 8
  uint16_t BlobSize = 0;  // BLOB(n, m): n
};

struct TCreateField {
  std::string ColumnName;      // the column defined, or the column that ALTER acts on
  TSqlColumnType Type;         // FieldType 0: no type given (REDEFINE, DROP)
  std::string SourceText;      // the definition as written, name through type
  // REDEFINE with a complete new definition: the column's new name; the new
  // type is in Type.
  std::string NewColumnName;
  std::string Description;
  bool NotNull = false;
  std::string DefaultText;     // DEFAULT, MIN and MAX values as written (sign joined)
  std::string MinText;
  std::string MaxText;
  uint8_t CharCase = kCharCaseNoChange;
  // ALTER TABLE
  bool Add = false;
  bool Redefine = false;
  bool Drop = false;
  int32_t AtPosition = 0;      // 1-based as written (0 is refused at execution)
  bool AtGiven = false;
  bool DescriptionGiven = false;
  bool NotNullGiven = false;
  bool DefaultGiven = false;
  bool MinGiven = false;
  bool MaxGiven = false;
  bool CharCaseGiven = false;
};

constexpr uint8_t kCompressNone = 0;
constexpr uint8_t kCompressDuplicateByte = 1;
constexpr uint8_t kCompressTrailingByte = 2;
constexpr uint8_t kCompressFull = 3;

struct TIndexColumn {
  std::string ColumnName;
  std::string SourceText;
};

struct TCreateIndex {
  std::string IndexName;       // empty for the primary index
  bool Primary = false;        // from PRIMARY KEY
  bool Unique = false;
  bool Descending = false;
  bool CaseInsensitive = false;  // NOCASE
  uint8_t Compression = kCompressNone;
  std::vector<TIndexColumn> Columns;
  // ALTER TABLE
  bool Add = false;
  bool Redefine = false;
  bool Drop = false;
};

// The full-text index of a table: its columns, stop words and the two
// character sets (bit c set: character code c is in the set).
struct TTextIndexDefinition {
  bool Given = false;
  std::vector<TIndexColumn> Columns;
  std::vector<std::string> StopWords;
  bool StopWordsGiven = false;
  std::bitset<256> SpaceChars;
  bool SpaceCharsGiven = false;
  std::bitset<256> IncludeChars;
  bool IncludeCharsGiven = false;
};

// Splits a stop-word string into its words (separated by blanks).
std::vector<std::string> SplitStopWords(std::string_view text);
// The set of the string's byte values.
std::bitset<256> CharacterSetOf(std::string_view text);

}  // namespace rudira
