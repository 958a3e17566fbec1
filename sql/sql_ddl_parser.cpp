// The definition statements (CREATE TABLE, CREATE INDEX, ALTER TABLE, DROP
// TABLE, DROP INDEX) with column definitions, primary keys and table
// options, and the transaction statements.
#include "engine/errors.h"
#include "sql/query_statement.h"
#include "sql/sql_expression.h"
#include "sql/sql_parser.h"

namespace rudira {

namespace {

bool IsEmptyPlace(const TSqlLexer& lexer) {
  return lexer.AtEnd() || lexer.IsSymbol(';') || lexer.IsSymbol(',') || lexer.IsSymbol(')');
}

std::string TrimmedRight(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return SqlShortString(text);
}

}  // namespace

void TSqlParser::ParseTargetTable(TDataQuery& query, std::string_view missing) {
  TSourceTable table;
  ParseTableReference(table, missing, missing);
  query.TargetInMemory = table.InMemory;
  query.TargetName = SqlShortString(
      table.Location == TableLocation::kDirectory ? table.Directory + table.TableName : table.TableName);
}

void TSqlParser::ParseColumnNameAndType(TCreateField& field, bool typeRequired) {
  if (IsEmptyPlace(lexer_)) Fail(std::string(kTableColumnContext.EmptyMessage));
  if (!lexer_.IsName()) {
    Fail("Unknown or unexpected symbol '" + lexer_.TokenText() + "' found in " +
         std::string(kTableColumnContext.Name));
  }
  const size_t start = lexer_.TokenStart();
  field.ColumnName = SqlShortString(ReadString());
  if (!expressions_.ReadDataType(field.Type) && typeRequired) {
    Fail("SQL data type keyword expected, instead found '" + lexer_.TokenText() + "' in " +
         std::string(kTableColumnContext.Name));
  }
  field.SourceText = TrimmedRight(lexer_.SourceText(start, lexer_.TokenStart()));
}

std::string TSqlParser::ParseModifierValue(std::string_view fragment) {
  if (IsAnyOf({"CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "TRUE", "FALSE"}) ||
      lexer_.Kind() == SqlTokenKind::kSingleQuoted || lexer_.Kind() == SqlTokenKind::kInteger ||
      lexer_.Kind() == SqlTokenKind::kNumber) {
    return ReadString();
  }
  if (lexer_.IsSymbol('+') || lexer_.IsSymbol('-')) {
    std::string text = ReadString();
    if (lexer_.AtEnd()) Expected(fragment);
    return text + ReadString();
  }
  Expected(fragment);
}

void TSqlParser::ParseColumnModifiers(TCreateField& field, bool alter) {
  if (lexer_.IsSymbol(',')) return;
  if (alter && lexer_.Accept("AT")) {
    field.AtPosition =
        static_cast<int32_t>(ReadInteger("Integer value expected after AT keyword, instead found '", 0, INT32_MAX));
    field.AtGiven = true;
  }
  if (lexer_.Accept("DESCRIPTION")) {
    field.Description = SqlShortString(ReadString());
    field.DescriptionGiven = true;
  }
  if (lexer_.Accept("NOT")) {
    ExpectKeyword("NULL", "NULL keyword expected after NOT keyword, instead found '");
    field.NotNull = true;
    field.NotNullGiven = true;
  }
  if (lexer_.Accept("DEFAULT")) {
    field.DefaultText = ParseModifierValue("Default expression expected after DEFAULT keyword, instead found '");
    field.DefaultGiven = true;
  }
  if (lexer_.Accept("MIN") || lexer_.Accept("MINIMUM")) {
    field.MinText =
        ParseModifierValue("Minimum expression expected after MIN or MINIMUM keyword, instead found '");
    field.MinGiven = true;
  }
  if (lexer_.Accept("MAX") || lexer_.Accept("MAXIMUM")) {
    field.MaxText =
        ParseModifierValue("Maximum expression expected after MAX or MAXIMUM keyword, instead found '");
    field.MaxGiven = true;
  }
  if (lexer_.Accept("CHARCASE")) {
    if (lexer_.Accept("UPPER")) {
      field.CharCase = kCharCaseUpper;
    } else if (lexer_.Accept("LOWER")) {
      field.CharCase = kCharCaseLower;
    } else if (lexer_.Accept("NOCHANGE")) {
      field.CharCase = kCharCaseNoChange;
    } else {
      Expected("UPPER, LOWER, or NOCHANGE keyword expected after CHARCASE keyword, instead found '");
    }
    field.CharCaseGiven = true;
  }
}

bool TSqlParser::AtPrimaryKeyStart() const {
  return IsAnyOf({"CONSTRAINT", "PRIMARY", "UNIQUE", "ASC", "ASCENDING", "DESC", "DESCENDING", "NOCASE"});
}

void TSqlParser::ParseIndexColumns(std::vector<TIndexColumn>& columns, std::string_view open,
                                   std::string_view close) {
  ExpectSymbol('(', open);
  do {
    TIndexColumn column;
    std::string correlation;
    ReadColumnName(column.ColumnName, correlation, column.SourceText, kIndexColumnContext);
    if (!correlation.empty()) {
      Fail("Invalid use of table correlation name '" + correlation + "' specified in indexed columns");
    }
    columns.push_back(std::move(column));
  } while (lexer_.AcceptSymbol(','));
  ExpectSymbol(')', close);
}

uint8_t TSqlParser::ParseCompression() {
  if (!lexer_.Accept("COMPRESS")) return kCompressNone;
  if (lexer_.Accept("FULL")) return kCompressFull;
  if (lexer_.Accept("DUPBYTE")) return kCompressDuplicateByte;
  if (lexer_.Accept("TRAILBYTE")) return kCompressTrailingByte;
  if (lexer_.Accept("NONE")) return kCompressNone;
  Expected("FULL, DUPBYTE, TRAILBYTE, or NONE keyword expected after COMPRESS keyword, instead found '");
}

namespace {

// [UNIQUE] [ASC | ASCENDING | DESC | DESCENDING] [NOCASE]
void ParseIndexAttributes(TSqlLexer& lexer, TCreateIndex& index) {
  if (lexer.Accept("UNIQUE")) index.Unique = true;
  if (lexer.Accept("DESC") || lexer.Accept("DESCENDING")) {
    index.Descending = true;
  } else if (!lexer.Accept("ASC")) {
    lexer.Accept("ASCENDING");
  }
  if (lexer.Accept("NOCASE")) index.CaseInsensitive = true;
}

}  // namespace

void TSqlParser::ParsePrimaryKey(TCreateIndex& index) {
  if (lexer_.Accept("CONSTRAINT")) {
    // The constraint name is read and dropped.
    if (lexer_.IsName() && !lexer_.Is("PRIMARY")) lexer_.Next();
  }
  ParseIndexAttributes(lexer_, index);
  ExpectKeyword("PRIMARY", "PRIMARY keyword expected, instead found '");
  ExpectKeyword("KEY", "KEY keyword expected after PRIMARY keyword, instead found '");
  index.Primary = true;
  ParseIndexColumns(index.Columns, "Left parentheses expected, instead found '",
                    "Right parentheses expected, instead found '");
  index.Compression = ParseCompression();
}

void TSqlParser::ParseTextIndex(TDataQuery& query) {
  TTextIndexDefinition& text = query.TextIndex;
  lexer_.Next();  // TEXT
  ExpectKeyword("INDEX", "INDEX keyword expected after TEXT keyword, instead found '");
  text.Given = true;
  ParseIndexColumns(text.Columns, "Left parentheses expected after TEXTINDEX keyword, instead found '",
                    "Right parentheses expected after TEXT INDEX clause, instead found '");
  if (lexer_.Accept("STOP")) {
    ExpectKeyword("WORDS", "WORDS keyword expected after STOP keyword, instead found '");
    text.StopWords = SplitStopWords(ReadString());
    if (text.StopWords.empty()) Fail("Stop words are empty");
    text.StopWordsGiven = true;
  }
  if (lexer_.Accept("SPACE")) {
    ExpectKeyword("CHARS", "CHARS keyword expected after SPACE keyword, instead found '");
    const std::string chars = ReadString();
    if (chars.empty()) Fail("Character set is empty");
    text.SpaceChars = CharacterSetOf(chars);
    text.SpaceCharsGiven = true;
  }
  if (lexer_.Accept("INCLUDE")) {
    ExpectKeyword("CHARS", "CHARS keyword expected after INCLUDE keyword, instead found '");
    const std::string chars = ReadString();
    if (chars.empty()) Fail("Character set is empty");
    text.IncludeChars = CharacterSetOf(chars);
    text.IncludeCharsGiven = true;
  }
}

void TSqlParser::ParseTableOptions(TDataQuery& query, bool alter) {
  if (lexer_.Is("TEXT")) ParseTextIndex(query);
  if (lexer_.Accept("DESCRIPTION")) {
    query.Description = SqlShortString(ReadString());
    query.DescriptionGiven = true;
  }
  if (lexer_.Accept("BLOB")) {
    ExpectKeyword("BLOCK", "BLOCK keyword expected after BLOB keyword, instead found '");
    ExpectKeyword("SIZE", "SIZE keyword expected after BLOCK keyword, instead found '");
    query.BlobBlockSize =
        static_cast<uint16_t>(ReadInteger("Integer value expected after SIZE keyword, instead found '", 0, 65535));
    query.BlobBlockSizeGiven = true;
  }
  ParseLanguage(query);
  ParseEncrypted(query);
  while (lexer_.Is("USER")) {
    lexer_.Next();
    const char* versionMessage = nullptr;
    uint16_t* target = nullptr;
    if (!query.UserMajorVersionGiven && lexer_.Accept("MAJOR")) {
      versionMessage = "VERSION keyword expected after MAJOR keyword, instead found '";
      target = &query.UserMajorVersion;
      query.UserMajorVersionGiven = true;
    } else if (!query.UserMinorVersionGiven && lexer_.Accept("MINOR")) {
      versionMessage = "VERSION keyword expected after MINOR keyword, instead found '";
      target = &query.UserMinorVersion;
      query.UserMinorVersionGiven = true;
    } else {
      Expected("MAJOR or MINOR keyword expected after USER keyword, instead found '");
    }
    ExpectKeyword("VERSION", versionMessage);
    *target = static_cast<uint16_t>(
        ReadInteger("Integer value expected after VERSION keyword, instead found '", 0, 65535));
  }
  if (lexer_.Accept("LAST")) {
    ExpectKeyword("AUTOINC", "AUTOINC keyword expected after LAST keyword, instead found '");
    if (IsEmptyPlace(lexer_)) Fail("Next auto-increment number is empty");
    query.LastAutoInc = static_cast<int32_t>(
        ReadInteger("Integer constant expected after AUTOINC keyword, instead found '", 0, INT32_MAX));
  }
  if (alter && lexer_.Accept("NOBACKUP")) query.NoBackup = true;
}

void TSqlParser::ParseCreateTable(TDataQuery& query) {
  if (lexer_.Accept("IF")) {
    ExpectKeyword("NOT", "NOT keyword expected after IF keyword, instead found '");
    ExpectKeyword("EXISTS", "EXISTS keyword expected after NOT keyword, instead found '");
    query.IfNotExists = true;
  }
  ParseTargetTable(query, "Table name expected after CREATE TABLE keywords, instead found '");
  ExpectSymbol('(', "Left parentheses expected before list of table columns, instead found '");
  for (;;) {
    if (lexer_.IsSymbol(')') || AtPrimaryKeyStart() ||
        IsAnyOf({"TEXT", "DESCRIPTION", "BLOB", "LANGUAGE", "ENCRYPTED", "USER"})) {
      break;
    }
    TCreateField field;
    ParseColumnNameAndType(field, true);
    ParseColumnModifiers(field, false);
    query.CreateFields.push_back(std::move(field));
    if (!lexer_.AcceptSymbol(',')) break;
  }
  if (AtPrimaryKeyStart()) {
    TCreateIndex primary;
    ParsePrimaryKey(primary);
    query.CreateIndexes.push_back(std::move(primary));
  }
  ParseTableOptions(query, false);
  ExpectSymbol(')', "Right parentheses expected after CREATE TABLE statement, instead found '");
  ExpectStatementEnd(kStatementCreateTable);
}

void TSqlParser::ParseCreateIndex(TDataQuery& query) {
  TCreateIndex index;
  ParseIndexAttributes(lexer_, index);
  ExpectKeyword("INDEX", "INDEX keyword expected, instead found '");
  if (lexer_.Accept("IF")) {
    ExpectKeyword("NOT", "NOT keyword expected after IF keyword, instead found '");
    ExpectKeyword("EXISTS", "EXISTS keyword expected after NOT keyword, instead found '");
    query.IfNotExists = true;
  }
  if (!lexer_.IsName()) Expected("Index name expected after INDEX keyword, instead found '");
  index.IndexName = SqlShortString(ReadString());
  ExpectKeyword("ON", "ON keyword expected after index name, instead found '");
  ParseTargetTable(query, "Table name expected after ON keyword, instead found '");
  ParseIndexColumns(index.Columns, "Left parentheses expected, instead found '",
                    "Right parentheses expected, instead found '");
  index.Compression = ParseCompression();
  query.CreateIndexes.push_back(std::move(index));
  ExpectStatementEnd(kStatementCreateIndex);
}

void TSqlParser::ParseAlterTable(TDataQuery& query) {
  ParseTargetTable(query, "Table name expected after ALTER TABLE keywords, instead found '");
  for (;;) {
    const bool add = lexer_.Is("ADD");
    const bool redefine = lexer_.Is("REDEFINE");
    if (add || redefine) {
      lexer_.Next();
      if (AtPrimaryKeyStart()) {
        TCreateIndex primary;
        ParsePrimaryKey(primary);
        primary.Add = add;
        primary.Redefine = redefine;
        query.CreateIndexes.push_back(std::move(primary));
      } else {
        lexer_.Accept("COLUMN");
        TCreateField field;
        field.Add = add;
        field.Redefine = redefine;
        ParseColumnNameAndType(field, add);
        if (redefine && !IsEmptyPlace(lexer_) &&
            !IsAnyOf({"AT", "DESCRIPTION", "NOT", "DEFAULT", "MIN", "MINIMUM", "MAX", "MAXIMUM", "CHARCASE"})) {
          // A complete new definition: the new name and type.
          TCreateField replacement;
          ParseColumnNameAndType(replacement, true);
          field.NewColumnName = replacement.ColumnName;
          field.Type = replacement.Type;
          field.SourceText = TrimmedRight(field.SourceText + " " + replacement.SourceText);
        }
        ParseColumnModifiers(field, true);
        query.CreateFields.push_back(std::move(field));
      }
    } else if (lexer_.Accept("DROP")) {
      if (lexer_.Is("CONSTRAINT") || lexer_.Is("PRIMARY")) {
        if (lexer_.Accept("CONSTRAINT") && lexer_.IsName() && !lexer_.Is("PRIMARY")) lexer_.Next();
        ExpectKeyword("PRIMARY", "PRIMARY keyword expected, instead found '");
        ExpectKeyword("KEY", "KEY keyword expected after PRIMARY keyword, instead found '");
        TCreateIndex primary;
        primary.Primary = true;
        primary.Drop = true;
        query.CreateIndexes.push_back(std::move(primary));
      } else {
        lexer_.Accept("COLUMN");
        TCreateField field;
        field.Drop = true;
        ParseColumnNameAndType(field, false);
        query.CreateFields.push_back(std::move(field));
      }
    } else {
      break;
    }
    if (!lexer_.AcceptSymbol(',')) break;
  }
  ParseTableOptions(query, true);
  ExpectStatementEnd(kStatementAlterTable);
}

void TSqlParser::ParseDropTable(TDataQuery& query) {
  if (lexer_.Accept("IF")) {
    ExpectKeyword("EXISTS", "EXISTS keyword expected after IF keyword, instead found '");
    query.IfExists = true;
  }
  ParseTargetTable(query, "Table name expected after DROP TABLE keywords, instead found '");
  ExpectStatementEnd(kStatementDropTable);
}

void TSqlParser::ParseDropIndex(TDataQuery& query) {
  constexpr std::string_view kMissingTable = "Table name expected after DROP INDEX keywords, instead found '";
  if (lexer_.Accept("IF")) {
    ExpectKeyword("EXISTS", "EXISTS keyword expected after IF keyword, instead found '");
    query.IfExists = true;
  }
  query.TargetInMemory = lexer_.Accept("MEMORY");
  std::string directory;
  if (lexer_.IsName() && (lexer_.PeekSymbol('\\') || lexer_.PeekSymbol('/'))) {
    directory = ReadString();
    lexer_.Next();
    for (char& c : directory) {
      if (c == '/') c = '\\';
    }
    if (directory.empty() || directory.back() != '\\') directory += '\\';
  }
  // table.index, read as one qualified name.
  const std::string savedContext = lexer_.Context();
  lexer_.SetContext(kIndexNameContext.Name);
  if (IsEmptyPlace(lexer_)) Fail(std::string(kIndexNameContext.EmptyMessage));
  if (!lexer_.IsName() || !lexer_.PeekSymbol('.')) Expected(kMissingTable);
  const std::string table = ReadString();
  lexer_.Next();  // the point
  if (!lexer_.IsName()) Fail(std::string(kIndexNameContext.EmptyMessage));
  query.TargetIndexName = SqlShortString(ReadString());
  lexer_.SetContext(savedContext);
  query.TargetName = SqlShortString(query.TargetInMemory ? table : directory + table);
  ExpectStatementEnd(kStatementDropIndex);
}

void TSqlParser::ParseTransaction(TDataQuery& query) {
  if (query.Kind == kStatementRollback) {
    lexer_.Accept("WORK");
  } else if (query.Kind == kStatementCommit) {
    lexer_.Accept("WORK");
    if (lexer_.Accept("FLUSH")) query.CommitFlush = true;
  }
  ExpectStatementEnd(query.Kind);
}

}  // namespace rudira
