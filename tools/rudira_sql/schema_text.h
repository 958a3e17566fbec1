// The texts of .schema and .indexes: a table's definition read from an
// open cursor.
//
// .schema writes the definition as the SQL that makes the table again: a
// CREATE TABLE statement with every column (type and size, DESCRIPTION,
// NOT NULL, DEFAULT, MIN, MAX, CHARCASE), the primary key, the text index's
// columns and the table options that differ from what CREATE TABLE assumes
// (DESCRIPTION, BLOB BLOCK SIZE, LANGUAGE and SORT, USER MAJOR and MINOR
// VERSION, LAST AUTOINC), then one CREATE INDEX statement per secondary
// index. Types without an SQL name (engine types 13, 14, 15) are written as
// the nearest SQL type with a comment naming the stored type. The password
// of an encrypted table is not written, only a comment that it is
// encrypted; nor are a text index's stop words and character sets.
//
// .indexes writes one line per index: its name (PRIMARY for the primary
// index, "(none)" when the table keeps insertion order), its fields and
// its options.
#pragma once

#include <string>

namespace rudira {
class TDataCursor;
}

namespace rudira::sql_shell {

// REQUIRES: the cursor is open (structure-only is enough).
std::string SchemaText(const TDataCursor& cursor);
std::string IndexListText(const TDataCursor& cursor);

// The SQL type of an engine field type ("VARCHAR(40)", "INTEGER", ...).
std::string SqlTypeName(uint8_t type, uint8_t subType, uint8_t size, uint8_t scale);

}  // namespace rudira::sql_shell
