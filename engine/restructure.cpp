// TDataCursor::RestructureTable: preconditions, the choice among an in-place
// change, an index rebuild and a full copy, and the in-place change.
//
// The choice compares the new definition with the table: anything that
// changes how records are stored (encryption, BLOB block size, locale, the
// fields' numbers, types, sizes and checks) needs every record copied into
// a new table; anything that changes only the order of keys needs the
// changed indexes rebuilt; names and descriptions change in place.
#include <algorithm>
#include <cctype>
#include <set>

#include "engine/data_cursor.h"
#include "engine/error_codes.h"
#include "engine/errors.h"
#include "engine/locale_compare.h"
#include "engine/restructure_steps.h"
#include "engine/table_definition_check.h"
#include "storage/data_header.h"
#include "storage/field_definitions.h"
#include "storage/index_header.h"

namespace rudira {

namespace {

enum class TChangeKind { InPlace, IndexRebuild, FullCopy };

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

uint32_t EffectiveBlockSize(uint32_t size) { return size == 0 ? kDefaultBlobBlockSize : size; }

bool NeedsFullCopy(TDataFile& data, const TRestructureDefinition& definition, const std::vector<uint16_t>& sources) {
  const TDataHeader& header = data.Header();
  if ((header.Encrypted != 0) != definition.Encrypted) return true;
  if (EffectiveBlockSize(header.BlobBlockSize) != EffectiveBlockSize(definition.BlobBlockSize)) return true;
  if (header.LanguageId != definition.LanguageId || header.SortId != definition.SortId) return true;
  const auto& fields = data.Fields();
  if (fields.size() != definition.Fields.size()) return true;
  for (size_t i = 0; i < fields.size(); ++i) {
    const TFieldDescriptor& old = fields[i];
    const TFieldDescriptor& fresh = definition.Fields[i];
    if (sources[i] != old.FieldNo || fresh.FieldType != old.FieldType || fresh.SubType != old.SubType ||
        fresh.Width != old.Width || fresh.Scale != old.Scale || fresh.Required != old.Required ||
        fresh.CharCase != old.CharCase || !SameTextIgnoringCase(fresh.DefaultValue, old.DefaultValue) ||
        !SameTextIgnoringCase(fresh.MinValue, old.MinValue) || !SameTextIgnoringCase(fresh.MaxValue, old.MaxValue)) {
      return true;
    }
  }
  return false;
}

bool SameStopWords(const std::vector<std::string>& a, const std::vector<std::string>& b, const TableLocale& locale) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (locale.LanguageId == 0 ? a[i] != b[i]
                               : CompareLocaleStrings(static_cast<uint16_t>(locale.LanguageId),
                                                      static_cast<uint16_t>(locale.SortId), a[i], true,
                                                      std::max(a[i].size(), b[i].size()), b[i]) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool IndexDefinitionDiffers(const TIndexDefinition& old, const TIndexDefinition& fresh) {
  if (old.KeySize != fresh.KeySize || old.IndexFieldCount != fresh.IndexFieldCount ||
      old.Descending != fresh.Descending || old.CaseInsensitive != fresh.CaseInsensitive ||
      old.Unique != fresh.Unique || old.Compression != fresh.Compression) {
    return true;
  }
  for (int i = 0; i < fresh.IndexFieldCount && i < kMaxIndexFields; ++i) {
    if (old.FieldNumbers[static_cast<size_t>(i)] != fresh.FieldNumbers[static_cast<size_t>(i)] ||
        old.FieldDescending[static_cast<size_t>(i)] != fresh.FieldDescending[static_cast<size_t>(i)]) {
      return true;
    }
  }
  return false;
}

bool PrimaryDefinitionDiffers(const TIndexDefinition& old, const TIndexDefinition& fresh) {
  if (old.IndexFieldCount == 0 && fresh.IndexFieldCount == 0) return false;
  TIndexDefinition unique = old;
  unique.Unique = 1;
  return IndexDefinitionDiffers(unique, fresh);
}

bool TextParametersDiffer(const TextIndexParameters& old, const TextIndexParameters& fresh, const TableLocale& locale) {
  return old.SpaceChars != fresh.SpaceChars || old.IncludeChars != fresh.IncludeChars ||
         !SameStopWords(old.StopWords, fresh.StopWords, locale);
}

TIndexDefinition NewTextIndexDefinition(const TRestructureDefinition& definition) {
  TIndexDefinition text = definition.Indexes.TextIndex.value_or(SysTextDefinition());
  text.IndexName = kSysTextName;
  return text;
}

namespace {

TIndexDefinition NewPrimaryDefinition(const TRestructureDefinition& definition) {
  TIndexDefinition primary = definition.Indexes.Primary;
  if (primary.IndexFieldCount == 0) primary = TIndexDefinition{};
  primary.IndexName.clear();
  primary.Unique = 1;
  return primary;
}

bool NeedsIndexRebuild(TIndexFile& index, const TRestructureDefinition& definition,
                       const TextIndexParameters& oldParameters, const TextIndexParameters& newParameters,
                       const TableLocale& locale) {
  const TIndexHeader& header = index.Header();
  if (header.SecondaryIndexCount != definition.Indexes.Secondaries.size()) return true;
  const TIndexDefinition primary = NewPrimaryDefinition(definition);
  if (PrimaryDefinitionDiffers(header.Definitions[kPrimarySlot], primary)) return true;
  if ((header.NoPrimaryKey != 0) != (primary.IndexFieldCount == 0)) return true;
  if (TextParametersDiffer(oldParameters, newParameters, locale)) return true;
  for (size_t i = 0; i < definition.Indexes.Secondaries.size(); ++i) {
    if (IndexDefinitionDiffers(header.Definitions[i + 1], definition.Indexes.Secondaries[i])) return true;
  }
  return IndexDefinitionDiffers(header.Definitions[kSysTextSlot], NewTextIndexDefinition(definition));
}

}  // namespace

void TDataCursor::RestructureTable(const TRestructureDefinition& given) {
  if (open_) Raise(RUDIRA_TABLEOPEN);
  if (readOnly_) Raise(RUDIRA_OSEACCES);
  std::vector<uint16_t> sources;
  for (const TFieldDescriptor& field : given.Fields) sources.push_back(field.FieldNo);
  const TRestructureDefinition definition =
      ValidateDefinition(given, database_.DirectoryPath(), tableName_, /*restructuring=*/true);

  const bool wasExclusive = exclusive_;
  const bool wasNatural = naturalOrderRequested_;
  const bool wasStructureOnly = structureOnly_;
  exclusive_ = true;
  naturalOrderRequested_ = true;
  structureOnly_ = false;
  auto restoreOptions = [&] {
    exclusive_ = wasExclusive;
    naturalOrderRequested_ = wasNatural;
    structureOnly_ = wasStructureOnly;
    readOnly_ = false;
  };
  try {
    OpenCursor();
  } catch (...) {
    restoreOptions();
    throw;
  }
  try {
    if (readOnly_ || table_->TableReadOnly()) Raise(RUDIRA_OSEACCES);
    TIndexFile& index = table_->IndexFile();
    TextIndexParameters oldParameters;
    if (!oldParameters.Decode(index.ReadParameters())) index.RaiseCorrupt();
    TextIndexParameters newParameters = oldParameters;
    if (definition.StopWords) newParameters.StopWords = *definition.StopWords;
    if (definition.SpaceChars) newParameters.SpaceChars = *definition.SpaceChars;
    if (definition.IncludeChars) newParameters.IncludeChars = *definition.IncludeChars;

    TDataFile& data = table_->DataFile();
    TChangeKind kind = TChangeKind::InPlace;
    if (NeedsFullCopy(data, definition, sources)) {
      kind = TChangeKind::FullCopy;
    } else if (NeedsIndexRebuild(index, definition, oldParameters, newParameters, data.Locale())) {
      kind = TChangeKind::IndexRebuild;
    }
    switch (kind) {
      case TChangeKind::FullCopy:
        // Closes this cursor itself before it renames the tables.
        CopyIntoNewTable(definition, sources, newParameters);
        break;
      case TChangeKind::IndexRebuild:
        RebuildIndexes(definition, oldParameters, newParameters);
        break;
      case TChangeKind::InPlace:
        table_->WriterLock();
        try {
          StoreDefinition(definition);
          FlushBuffers();
        } catch (...) {
          try {
            DiscardFailedWrite();
            table_->WriterUnlock();
          } catch (const std::exception&) {
            // The store's own error is the one to report.
          }
          throw;
        }
        table_->WriterUnlock();
        break;
    }
    CloseCursor();
  } catch (...) {
    try {
      CloseCursor();
    } catch (const std::exception&) {
      // The restructure's own error is the one to report.
    }
    restoreOptions();
    throw;
  }
  restoreOptions();
}

void TDataCursor::StoreDefinition(const TRestructureDefinition& definition) {
  TDataFile& data = table_->DataFile();
  TIndexFile& index = table_->IndexFile();
  const auto& fields = data.Fields();
  const size_t fieldCount = std::min(definition.Fields.size(), fields.size());
  // Names may trade places (A and B swapped): the renamed fields first take
  // names that no field has or will have, so that no step sees a duplicate.
  std::set<std::string> taken;
  for (size_t i = 0; i < fieldCount; ++i) {
    taken.insert(FieldNameKey(fields[i].FieldName));
    taken.insert(FieldNameKey(definition.Fields[i].FieldName));
  }
  int spare = 0;
  for (size_t i = 0; i < fieldCount; ++i) {
    const TFieldDescriptor old = fields[i];
    if (old.FieldName == definition.Fields[i].FieldName) continue;
    std::string interim;
    do {
      interim = "_" + std::to_string(++spare);
    } while (taken.count(FieldNameKey(interim)) != 0);
    data.UpdateFieldAttributes(i, interim, old.FieldDescription, old.Required != 0, old.MinValue, old.MaxValue,
                               old.DefaultValue);
  }
  for (size_t i = 0; i < fieldCount; ++i) {
    const TFieldDescriptor& fresh = definition.Fields[i];
    const TFieldDescriptor& old = fields[i];
    if (fresh.FieldName == old.FieldName && fresh.FieldDescription == old.FieldDescription &&
        fresh.Required == old.Required && fresh.MinValue == old.MinValue && fresh.MaxValue == old.MaxValue &&
        fresh.DefaultValue == old.DefaultValue) {
      continue;
    }
    data.UpdateFieldAttributes(i, fresh.FieldName, fresh.FieldDescription, fresh.Required != 0, fresh.MinValue,
                               fresh.MaxValue, fresh.DefaultValue);
  }
  index.SetTableFields(data.Fields(), data.Locale());
  const int count = std::min<int>(index.Header().SecondaryIndexCount, static_cast<int>(definition.Indexes.Secondaries.size()));
  for (int slot = 1; slot <= count; ++slot) {
    const std::string& name = definition.Indexes.Secondaries[static_cast<size_t>(slot) - 1].IndexName;
    if (index.Definition(slot).IndexName == name) continue;
    TIndexDefinition renamed = index.Definition(slot);
    renamed.IndexName = name;
    index.SetDefinition(slot, renamed);
  }
  if (data.Description() != definition.Description) data.SetDescription(definition.Description);
  if (definition.Encrypted && data.Password() != definition.Password) data.SetPassword(definition.Password);
  if (data.Header().UserMajorVersion != definition.UserMajorVersion ||
      data.Header().UserMinorVersion != definition.UserMinorVersion) {
    data.SetUserVersion(definition.UserMajorVersion, definition.UserMinorVersion);
  }
  // Lowering the counter would hand out ids that records still hold.
  if (definition.LastAutoIncValue > data.Header().LastAutoIncValue) {
    data.SetLastAutoIncValue(definition.LastAutoIncValue);
  }
}

}  // namespace rudira
