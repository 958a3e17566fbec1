// ALTER TABLE: the table's current definition with the statement's column,
// primary-key, text-index and option changes applied, carried out by the
// cursor engine's restructure (in place, by an index rebuild or by a full
// copy of the records, whichever the change needs).
//
// Columns keep their link to the table's field (the field number) through
// REDEFINE and AT moves, so that the restructure carries each value over
// to the column it became; an added column has no link. Index columns are
// followed through the same links: an index keeps working on a renamed or
// moved column, and an index on a dropped column is refused.
#include <algorithm>

#include "engine/errors.h"
#include "sql/ddl_support.h"
#include "sql/statement_executor.h"
#include "storage/data_header.h"
#include "storage/field_definitions.h"
#include "storage/index_header.h"

namespace rudira {

namespace {

struct TTableState {
  TRestructureDefinition Definition;
  std::vector<TFieldDescriptor> OldFields;
  bool HasPrimary = false;
};

// The table's definition as a restructure takes it, each field linked to
// itself. The table is opened exclusively for the read and closed again.
TTableState ReadTable(TTargetDatabase& target) {
  std::unique_ptr<TDataCursor> cursor = target.NewCursor();
  cursor->SetExclusive(true);
  cursor->SetStructureOnly(true);
  cursor->OpenCursor();
  TTableState state;
  TRestructureDefinition& definition = state.Definition;
  TDataFile& data = cursor->Table()->DataFile();
  TIndexFile& index = cursor->Table()->IndexFile();
  const TDataHeader& header = data.Header();
  definition.LanguageId = header.LanguageId;
  definition.SortId = header.SortId;
  definition.Encrypted = header.Encrypted != 0;
  if (definition.Encrypted) definition.Password = data.Password();
  definition.Description = data.Description();
  definition.UserMajorVersion = header.UserMajorVersion;
  definition.UserMinorVersion = header.UserMinorVersion;
  definition.BlobBlockSize = header.BlobBlockSize == 0 ? kDefaultBlobBlockSize : header.BlobBlockSize;
  definition.Fields = data.Fields();
  state.OldFields = data.Fields();
  state.HasPrimary = !index.NoPrimaryKey();
  if (state.HasPrimary) definition.Indexes.Primary = index.Definition(kPrimarySlot);
  for (int slot = 1; slot <= index.Header().SecondaryIndexCount; ++slot) {
    definition.Indexes.Secondaries.push_back(index.Definition(slot));
  }
  definition.Indexes.TextIndex = index.Definition(kSysTextSlot);
  cursor->CloseCursor();
  return state;
}

std::vector<TFieldDescriptor>::iterator FindColumn(std::vector<TFieldDescriptor>& fields, const std::string& name) {
  auto found = std::find_if(fields.begin(), fields.end(),
                            [&](const TFieldDescriptor& field) { return SameNameIgnoringCase(field.FieldName, name); });
  if (found == fields.end()) RaiseSql("Column " + name + " not found");
  return found;
}

// Puts `field` at the AT position of `column` (1-based; past the end
// appends), or at the end when none was given.
void Place(std::vector<TFieldDescriptor>& fields, TFieldDescriptor field, const TCreateField& column,
           size_t fallback) {
  size_t at = fallback;
  if (column.AtGiven) {
    if (column.AtPosition < 1) RaiseSql("AT column position must be greater than or equal to 1");
    at = std::min(static_cast<size_t>(column.AtPosition) - 1, fields.size());
  }
  fields.insert(fields.begin() + static_cast<std::ptrdiff_t>(std::min(at, fields.size())), std::move(field));
}

// REDEFINE: the name and type when a new definition was given, and each
// modifier that was given; everything else stays as the table has it.
void Redefine(TFieldDescriptor& field, const TCreateField& column) {
  const TFieldDescriptor given = FieldOf(column);
  if (!column.NewColumnName.empty()) field.FieldName = CutText(column.NewColumnName, kMaxSqlFieldNameLength);
  if (column.Type.FieldType != 0) {
    field.FieldType = given.FieldType;
    field.SubType = given.SubType;
    field.Size = given.Size;
    field.Scale = given.Scale;
  }
  if (column.DescriptionGiven) field.FieldDescription = given.FieldDescription;
  if (column.NotNullGiven) field.Required = given.Required;
  if (column.DefaultGiven) field.DefaultValue = given.DefaultValue;
  if (column.MinGiven) field.MinValue = given.MinValue;
  if (column.MaxGiven) field.MaxValue = given.MaxValue;
  if (column.CharCaseGiven) field.CharCase = given.CharCase;
}

void AlterColumns(std::vector<TFieldDescriptor>& fields, const TDataQuery& query) {
  for (const TCreateField& column : query.CreateFields) {
    if (column.Add) {
      TFieldDescriptor field = FieldOf(column);
      field.FieldNo = 0;
      Place(fields, std::move(field), column, fields.size());
      continue;
    }
    auto found = FindColumn(fields, column.ColumnName);
    if (column.Drop) {
      fields.erase(found);
      continue;
    }
    TFieldDescriptor field = *found;
    Redefine(field, column);
    if (column.AtGiven) {
      const size_t was = static_cast<size_t>(found - fields.begin());
      fields.erase(found);
      Place(fields, std::move(field), column, was);
    } else {
      *found = std::move(field);
    }
  }
}

// The new columns numbered by position and prepared, for looking up names.
std::vector<TFieldDescriptor> Positioned(std::vector<TFieldDescriptor> fields, TTargetDatabase& target) {
  for (size_t i = 0; i < fields.size(); ++i) fields[i].FieldNo = static_cast<uint16_t>(i + 1);
  PrepareFieldDefinitions(fields, target.Database().DatabaseName(), target.TableName());
  return fields;
}

class TIndexRemap {
 public:
  TIndexRemap(const std::vector<TFieldDescriptor>& oldFields, const std::vector<TFieldDescriptor>& linked)
      : oldFields_(oldFields), linked_(linked) {}

  // `index` with its columns renumbered to their new positions.
  TIndexDefinition Remap(TIndexDefinition index, bool textIndex) const {
    for (size_t i = 0; i < kMaxSqlIndexColumns && index.FieldNumbers[i] != 0; ++i) {
      const uint16_t old = index.FieldNumbers[i];
      const uint16_t position = PositionOf(old);
      if (position == 0) {
        const std::string name = NameOf(old);
        if (textIndex) RaiseSql("Invalid field name '" + name + "'" + " specified for text index");
        RaiseSql("Invalid field name '" + name + "'" + " specified for index " + "'" + index.IndexName + "'");
      }
      index.FieldNumbers[i] = position;
    }
    return index;
  }

 private:
  uint16_t PositionOf(uint16_t oldNumber) const {
    for (size_t i = 0; i < linked_.size(); ++i) {
      if (linked_[i].FieldNo == oldNumber) return static_cast<uint16_t>(i + 1);
    }
    return 0;
  }
  std::string NameOf(uint16_t oldNumber) const {
    for (const TFieldDescriptor& field : oldFields_) {
      if (field.FieldNo == oldNumber) return field.FieldName;
    }
    return std::to_string(oldNumber);
  }

  const std::vector<TFieldDescriptor>& oldFields_;
  const std::vector<TFieldDescriptor>& linked_;
};

void AlterIndexes(TTableState& state, const TDataQuery& query, const std::vector<TFieldDescriptor>& positioned,
                  const std::string& tableName) {
  TRestructureDefinition& definition = state.Definition;
  const TIndexRemap remap(state.OldFields, definition.Fields);
  // The primary key: the last ADD or REDEFINE given, or none after DROP.
  const TCreateIndex* newPrimary = nullptr;
  bool hasPrimary = state.HasPrimary;
  for (const TCreateIndex& index : query.CreateIndexes) {
    if (!index.Primary) continue;
    if (index.Add && hasPrimary) RaiseSql("Cannot REDEFINE the primary key using the ADD keyword");
    if (index.Drop) {
      newPrimary = nullptr;
      hasPrimary = false;
    } else {
      newPrimary = &index;
      hasPrimary = true;
    }
  }
  if (newPrimary) {
    definition.Indexes.Primary = IndexOf(*newPrimary, positioned, tableName);
  } else if (hasPrimary) {
    definition.Indexes.Primary = remap.Remap(definition.Indexes.Primary, false);
  } else {
    definition.Indexes.Primary = TIndexDefinition{};
  }
  for (TIndexDefinition& index : definition.Indexes.Secondaries) index = remap.Remap(index, false);
  if (query.TextIndex.Given) {
    definition.Indexes.TextIndex = TextIndexOf(query.TextIndex, positioned, tableName);
    if (query.TextIndex.StopWordsGiven) definition.StopWords = query.TextIndex.StopWords;
    if (query.TextIndex.SpaceCharsGiven) definition.SpaceChars = StoredCharacterSet(query.TextIndex.SpaceChars);
    if (query.TextIndex.IncludeCharsGiven) {
      definition.IncludeChars = StoredCharacterSet(query.TextIndex.IncludeChars);
    }
  } else if (definition.Indexes.TextIndex) {
    definition.Indexes.TextIndex = remap.Remap(*definition.Indexes.TextIndex, true);
  }
}

// The table options given; those not given keep the table's values.
void AlterOptions(TRestructureDefinition& definition, const TDataQuery& query) {
  if (query.LanguageGiven) {
    definition.LanguageId = static_cast<int16_t>(query.LanguageId);
    definition.SortId = static_cast<int16_t>(query.SortId);
  }
  if (query.PasswordGiven) {
    definition.Encrypted = !query.Password.empty();
    definition.Password = query.Password;
  }
  if (query.BlobBlockSizeGiven) definition.BlobBlockSize = query.BlobBlockSize;
  if (query.DescriptionGiven) definition.Description = CutText(query.Description, kMaxSqlDescriptionLength);
  if (query.UserMajorVersionGiven) definition.UserMajorVersion = static_cast<int16_t>(query.UserMajorVersion);
  if (query.UserMinorVersionGiven) definition.UserMinorVersion = static_cast<int16_t>(query.UserMinorVersion);
  definition.LastAutoIncValue = query.LastAutoInc;
  definition.NoBackup = query.NoBackup;
}

}  // namespace

void AlterTable(TSelectExecutor::TImpl& impl, TDataQuery& query) {
  TTargetDatabase target(impl, query);
  TTableState state = ReadTable(target);
  AlterColumns(state.Definition.Fields, query);
  const std::vector<TFieldDescriptor> positioned = Positioned(state.Definition.Fields, target);
  AlterIndexes(state, query, positioned, target.TableName());
  AlterOptions(state.Definition, query);
  std::unique_ptr<TDataCursor> cursor = target.NewCursor();
  cursor->RestructureTable(state.Definition);
}

}  // namespace rudira
