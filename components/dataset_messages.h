// The fixed messages of the dataset, table and query components. They are
// raised as EDatabaseError (RaiseDatabaseError fills in the name); the texts,
// the Japanese ones included, are part of the interface and must not change.
#pragma once

namespace rudira {

inline constexpr char kNoParameterValue[] = "No value for parameter '%s'";
inline constexpr char kNotEditing[] = "Table is not in edit or insert mode.";
inline constexpr char kFieldReadOnly[] = "Field %s cannot be modified.";
inline constexpr char kNotIndexField[] = "Field %s is not in the current index.";
inline constexpr char kCircularDataLink[] = "Circular data links are not allowed.";
inline constexpr char kFieldIndexError[] = "Field index out of range.";
inline constexpr char kIndexFieldMissing[] = "Cannot access index field %s.";
inline constexpr char kNoTableName[] = "Missing table name.";
inline constexpr char kHandleError[] = "Error creating table handle.";
inline constexpr char kEmptySQLStatement[] = "No SQL statement available";
inline constexpr char kDataSetOpen[] = "データセットが開かれているため, この操作は実行できません";
inline constexpr char kFieldNotFound[] = "項目 '%s' が見つかりません";
inline constexpr char kInMemoryNoFields[] =
    "You must define at least one field before you can open an in-memory table at design-time";

// Messages of this system's own for cases the interface leaves open.
inline constexpr char kDataSetClosed[] = "Cannot perform this operation on a closed dataset.";
inline constexpr char kDataSetReadOnly[] = "Cannot modify a read-only dataset.";
inline constexpr char kDataSetEmpty[] = "Cannot perform this operation on an empty dataset.";
inline constexpr char kTableOpen[] = "Cannot perform this operation on an open dataset.";
inline constexpr char kInvalidFieldValue[] = "Invalid value for field %s.";
inline constexpr char kFieldRequired[] = "Field '%s' must have a value.";
inline constexpr char kIndexNotFound[] = "Index '%s' not found.";
inline constexpr char kNoIndexForFields[] = "No index for fields '%s'.";
inline constexpr char kNoStatementRunner[] = "SQL statement execution is not available.";
inline constexpr char kNotSeekable[] = "Invalid stream position.";

}  // namespace rudira
