#include "tools/rudira_sql/schema_text.h"

#include <cctype>

#include "engine/data_cursor.h"
#include "engine/locale_list.h"
#include "storage/field_type.h"
#include "storage/index_header.h"

namespace rudira::sql_shell {

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsNameStart(unsigned char c) {
  return std::isalpha(c) || c == '_' || c >= 128;
}

// A name as the SQL parser reads it back: bare when it is a plain
// identifier, otherwise double-quoted.
std::string SqlName(const std::string& name) {
  bool plain = !name.empty() && IsNameStart(static_cast<unsigned char>(name[0]));
  for (const char c : name) {
    const auto b = static_cast<unsigned char>(c);
    if (!(IsNameStart(b) || std::isdigit(b))) plain = false;
  }
  if (plain) return name;
  std::string quoted = "\"";
  for (const char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string SqlString(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  return quoted + "'";
}

bool IsPlainNumber(const std::string& text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  bool digits = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (std::isdigit(static_cast<unsigned char>(c)))
      digits = true;
    else if (c == '.' && !point)
      point = true;
    else
      return false;
  }
  return digits;
}

// A DEFAULT, MIN or MAX text as the column definition's value: keywords and
// numbers bare, everything else quoted (the text is kept as written).
std::string CheckValue(const TFieldDescriptor& field, const std::string& text) {
  const std::string upper = Upper(text);
  const uint8_t type = field.FieldType;
  if ((type == kFieldTypeDate || type == kFieldTypeTime || type == kFieldTypeTimestamp) &&
      (upper == "CURRENT_DATE" || upper == "CURRENT_TIME" || upper == "CURRENT_TIMESTAMP")) {
    return upper;
  }
  if (type == kFieldTypeBoolean && (upper == "TRUE" || upper == "FALSE")) return upper;
  if (type != kFieldTypeString && IsPlainNumber(text)) return text;
  return SqlString(text);
}

const char* CompressionName(uint8_t compression) {
  switch (compression) {
    case kCompressionDupByte:
      return "DUPBYTE";
    case kCompressionTrailByte:
      return "TRAILBYTE";
    case kCompressionFull:
      return "FULL";
    default:
      return "NONE";
  }
}

std::string IndexFields(const TDataCursor& cursor, const TIndexDefinition& index) {
  std::string text;
  const auto& fields = cursor.Fields();
  for (int i = 0; i < index.IndexFieldCount; ++i) {
    if (i > 0) text += ", ";
    const uint16_t number = index.FieldNumbers[static_cast<size_t>(i)];
    text += number >= 1 && number <= fields.size() ? SqlName(fields[number - 1].FieldName)
                                                   : "#" + std::to_string(number);
  }
  return text;
}

// Whether some but not all fields are descending, which no statement can
// express.
bool MixedDescending(const TIndexDefinition& index) {
  if (index.Descending != 0) return false;
  for (int i = 0; i < index.IndexFieldCount; ++i) {
    if (index.FieldDescending[static_cast<size_t>(i)] != 0) return true;
  }
  return false;
}

std::string ColumnText(const TFieldDescriptor& field) {
  std::string text = SqlName(field.FieldName) + " " +
                     SqlTypeName(field.FieldType, field.SubType, field.Size, field.Scale);
  if (!field.FieldDescription.empty()) text += " DESCRIPTION " + SqlString(field.FieldDescription);
  if (field.Required != 0) text += " NOT NULL";
  if (!field.DefaultValue.empty()) text += " DEFAULT " + CheckValue(field, field.DefaultValue);
  if (!field.MinValue.empty()) text += " MIN " + CheckValue(field, field.MinValue);
  if (!field.MaxValue.empty()) text += " MAX " + CheckValue(field, field.MaxValue);
  if (field.FieldType == kFieldTypeString) {
    if (field.CharCase == kCharCaseUpper)
      text += " CHARCASE UPPER";
    else if (field.CharCase == kCharCaseLower)
      text += " CHARCASE LOWER";
  }
  return text;
}

}  // namespace

std::string SqlTypeName(uint8_t type, uint8_t subType, uint8_t size, uint8_t scale) {
  const std::string sized = "(" + std::to_string(size) + ")";
  switch (type) {
    case kFieldTypeString:
      return "VARCHAR" + sized;
    case kFieldTypeDate:
      return "DATE";
    case kFieldTypeBlob:
      switch (subType) {
        case kSubTypeMemo:
          return "MEMO";
        case kSubTypeFormattedMemo:
          return "BLOB(1, 3)";
        case kSubTypeGraphic:
          return "GRAPHIC";
        case kSubTypeTypedBinary:
          return "BLOB(1, 7)";
        default:
          return "BLOB";
      }
    case kFieldTypeBoolean:
      return "BOOLEAN";
    case kFieldTypeSmallInt:
      return "SMALLINT";
    case kFieldTypeInteger:
      return subType == kSubTypeAutoInc ? "AUTOINC" : "INTEGER";
    case kFieldTypeFloat:
      return subType == kSubTypeMoney ? "MONEY" : "FLOAT";
    case kFieldTypeBcd:
      return "DECIMAL(32, " + std::to_string(scale) + ")";
    case kFieldTypeBytes:
      return "BYTES" + sized;
    case kFieldTypeTime:
      return "TIME";
    case kFieldTypeTimestamp:
      return "TIMESTAMP";
    case kFieldTypeWord:
      return "WORD";
    case kFieldTypeCardinal:
      return "LARGEINT /* stored as engine type 13 */";
    case kFieldTypeExtended:
      return "FLOAT /* stored as engine type 14 */";
    case kFieldTypeVarBytes:
      return "VARBYTES" + sized + " /* stored as engine type 15 */";
    case kFieldTypeLargeInt:
      return "LARGEINT";
    default:
      return "/* unknown engine type " + std::to_string(type) + " */";
  }
}

std::string SchemaText(const TDataCursor& cursor) {
  TDataTable& table = *cursor.Table();
  const TIndexFile& indexes = table.IndexFile();
  const TDataFile& data = table.DataFile();
  const auto& fields = cursor.Fields();
  std::vector<std::string> parts;
  bool hasAutoInc = false;
  bool hasBlob = false;
  for (const TFieldDescriptor& field : fields) {
    parts.push_back(ColumnText(field));
    hasAutoInc = hasAutoInc || field.IsAutoInc();
    hasBlob = hasBlob || field.IsBlob();
  }
  std::string comments;
  const TIndexDefinition& primary = indexes.Definition(kPrimarySlot);
  if (primary.IndexFieldCount > 0) {
    std::string key;
    if (primary.Descending != 0) key += "DESC ";
    if (primary.CaseInsensitive != 0) key += "NOCASE ";
    key += "PRIMARY KEY (" + IndexFields(cursor, primary) + ")";
    if (primary.Compressed())
      key += std::string(" COMPRESS ") + CompressionName(primary.Compression);
    parts.push_back(key);
    if (MixedDescending(primary))
      comments += "/* the primary key has descending fields of its own */\n";
  }
  // The options follow the last column or key without a comma.
  const TDataHeader& header = data.Header();
  std::vector<std::string> options;
  const TIndexDefinition& text = indexes.Definition(kSysTextSlot);
  if (text.IndexFieldCount > 0) options.push_back("TEXT INDEX (" + IndexFields(cursor, text) + ")");
  const std::string description = data.Description();
  if (!description.empty()) options.push_back("DESCRIPTION " + SqlString(description));
  if (hasBlob && header.BlobBlockSize != 0 && header.BlobBlockSize != 512) {
    options.push_back("BLOB BLOCK SIZE " + std::to_string(header.BlobBlockSize));
  }
  if (header.LanguageId != 0) {
    const auto languageId = static_cast<uint16_t>(header.LanguageId);
    const std::string_view locale = LocaleNameOfId(languageId);
    const auto sorts = LocaleSortNames(languageId);
    std::string language = "LANGUAGE " + SqlString(std::string(locale));
    if (header.SortId != 0) {
      for (const char* sort : sorts) {
        if (SortIdOfName(languageId, sort) == static_cast<uint16_t>(header.SortId)) {
          language += " SORT " + SqlString(sort);
        }
      }
    }
    if (!locale.empty()) options.push_back(language);
  }
  if (header.Encrypted != 0)
    comments += "/* the table is encrypted; its password is not shown */\n";
  if (header.UserMajorVersion != 1 || header.UserMinorVersion != 0) {
    options.push_back("USER MAJOR VERSION " + std::to_string(header.UserMajorVersion) +
                      " USER MINOR VERSION " + std::to_string(header.UserMinorVersion));
  }
  if (hasAutoInc) options.push_back("LAST AUTOINC " + std::to_string(header.LastAutoIncValue));

  std::string out = comments + "CREATE TABLE " + SqlName(cursor.TableName()) + " (\n";
  for (size_t i = 0; i < parts.size(); ++i) {
    out += "  " + parts[i];
    if (i + 1 < parts.size()) out += ",";
    out += "\n";
  }
  for (const std::string& option : options) out += "  " + option + "\n";
  out += ");\n";

  for (int slot = 1; slot <= indexes.Header().SecondaryIndexCount && slot <= kMaxSecondaryIndexes;
       ++slot) {
    const TIndexDefinition& index = indexes.Definition(slot);
    std::string line = "CREATE ";
    if (index.Unique != 0) line += "UNIQUE ";
    if (index.Descending != 0) line += "DESC ";
    if (index.CaseInsensitive != 0) line += "NOCASE ";
    line += "INDEX " + SqlName(index.IndexName) + " ON " + SqlName(cursor.TableName()) + " (" +
            IndexFields(cursor, index) + ")";
    if (index.Compressed()) line += std::string(" COMPRESS ") + CompressionName(index.Compression);
    out += line + ";\n";
    if (MixedDescending(index))
      out += "/* index " + index.IndexName + " has descending fields of its own */\n";
  }
  return out;
}

std::string IndexListText(const TDataCursor& cursor) {
  const TIndexFile& indexes = cursor.Table()->IndexFile();
  const auto options = [](const TIndexDefinition& index, bool primary) {
    std::string text;
    const auto add = [&](const char* word) {
      text += text.empty() ? " (" : ", ";
      text += word;
    };
    if (primary || index.Unique != 0) add("unique");
    if (index.Descending != 0) add("descending");
    if (index.CaseInsensitive != 0) add("case-insensitive");
    if (index.Compressed())
      add(index.Compression == kCompressionFull      ? "compressed full"
          : index.Compression == kCompressionDupByte ? "compressed dupbyte"
                                                     : "compressed trailbyte");
    if (!text.empty()) text += ")";
    return text;
  };
  std::string out;
  const TIndexDefinition& primary = indexes.Definition(kPrimarySlot);
  if (primary.IndexFieldCount > 0) {
    out += "PRIMARY: " + IndexFields(cursor, primary) + options(primary, true) + "\n";
  } else {
    out += "PRIMARY: (none: records in insertion order)\n";
  }
  for (int slot = 1; slot <= indexes.Header().SecondaryIndexCount && slot <= kMaxSecondaryIndexes;
       ++slot) {
    const TIndexDefinition& index = indexes.Definition(slot);
    out += index.IndexName + ": " + IndexFields(cursor, index) + options(index, false) + "\n";
  }
  const TIndexDefinition& text = indexes.Definition(kSysTextSlot);
  if (text.IndexFieldCount > 0) out += "TEXT INDEX: " + IndexFields(cursor, text) + "\n";
  return out;
}

}  // namespace rudira::sql_shell
