#include "sql/sql_parser.h"

#include <charconv>

#include "engine/errors.h"
#include "sql/query_statement.h"
#include "sql/sql_expression.h"

namespace rudira {

namespace {

constexpr std::string_view kSelectFromWords[] = {
    "LEFT", "RIGHT", "INNER", "JOIN", "WHERE", "ORDER", "GROUP", "HAVING",
    "TOP", "RANGE", "WITH", "ENCRYPTED", "LANGUAGE", "NOJOINOPTIMIZE", "UNION"};
constexpr std::string_view kInsertSourceExtraWords[] = {"NOAUTOINC", "COMMIT"};
constexpr std::string_view kJoinWords[] = {"ON"};
constexpr std::string_view kUpdateTargetWords[] = {"SET"};
constexpr std::string_view kUpdateFromWords[] = {
    "LEFT", "RIGHT", "INNER", "JOIN", "WHERE", "NOAUTOINC", "COMMIT", "NOJOINOPTIMIZE"};
constexpr std::string_view kDeleteFromWords[] = {
    "LEFT", "RIGHT", "INNER", "JOIN", "WHERE", "COMMIT", "NOJOINOPTIMIZE"};
constexpr std::string_view kInsertTargetWords[] = {"VALUES", "SELECT"};

bool InList(const TSqlLexer& lexer, std::span<const std::string_view> words) {
  for (std::string_view word : words) {
    if (lexer.Is(word)) return true;
  }
  return false;
}

// Whether the current word may not be a bare correlation name in `place`.
bool IsFollowWord(const TSqlLexer& lexer, TablePlace place) {
  switch (place) {
    case TablePlace::kSelectFrom: return InList(lexer, kSelectFromWords);
    case TablePlace::kInsertSourceFrom:
      return InList(lexer, kSelectFromWords) || InList(lexer, kInsertSourceExtraWords);
    case TablePlace::kJoin: return InList(lexer, kJoinWords);
    case TablePlace::kUpdateTarget: return InList(lexer, kUpdateTargetWords);
    case TablePlace::kUpdateFrom: return InList(lexer, kUpdateFromWords);
    case TablePlace::kDeleteFrom: return InList(lexer, kDeleteFromWords);
    case TablePlace::kInsertTarget: return InList(lexer, kInsertTargetWords);
  }
  return false;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

}  // namespace

TSqlParser::TSqlParser(TQueryStatement& statement)
    : statement_(statement), lexer_(statement.Lexer()), expressions_(statement.Expressions()) {}

void TSqlParser::Fail(const std::string& message) const {
  RaiseEngineError(RUDIRA_SQLPARSE, {.Text = message});
}

void TSqlParser::Expected(std::string_view fragment) const {
  std::string message(fragment);
  message += lexer_.TokenText();
  message += '\'';
  Fail(message);
}

void TSqlParser::ExpectKeyword(std::string_view keyword, std::string_view fragment) {
  if (!lexer_.Accept(keyword)) Expected(fragment);
}

void TSqlParser::ExpectSymbol(char symbol, std::string_view fragment) {
  if (!lexer_.AcceptSymbol(symbol)) Expected(fragment);
}

bool TSqlParser::IsAnyOf(std::initializer_list<std::string_view> keywords) const {
  for (std::string_view keyword : keywords) {
    if (lexer_.Is(keyword)) return true;
  }
  return false;
}

int64_t TSqlParser::ReadInteger(std::string_view fragment, int64_t minimum, int64_t maximum) {
  if (!lexer_.IsInteger()) Expected(fragment);
  const std::string& text = lexer_.TokenText();
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < minimum || value > maximum) {
    Expected(fragment);
  }
  lexer_.Next();
  return value;
}

std::string TSqlParser::ReadString() {
  std::string text = lexer_.TokenText();
  lexer_.Next();
  return text;
}

void TSqlParser::ExpectStatementEnd(uint8_t kind) {
  if (lexer_.AcceptSymbol(';') || lexer_.AtEnd()) return;
  Fail(std::string("End of ") + StatementKindName(kind) + " statement expected, instead found '" +
       lexer_.TokenText() + "'");
}

void TSqlParser::ParseStatement(TDataQuery& master) {
  if (lexer_.IsSymbol('(')) {
    lexer_.Next();
    if (!lexer_.Is("SELECT")) Expected("SELECT keyword expected, instead found '");
    master.Kind = kStatementSelect;
    ParseSelect(master, true, true, TablePlace::kSelectFrom);
    ExpectStatementEnd(kStatementSelect);
  } else if (lexer_.Is("SELECT")) {
    master.Kind = kStatementSelect;
    ParseSelect(master, true, false, TablePlace::kSelectFrom);
    ExpectStatementEnd(kStatementSelect);
  } else if (lexer_.Accept("INSERT")) {
    master.Kind = kStatementInsert;
    ParseInsert(master);
  } else if (lexer_.Accept("UPDATE")) {
    master.Kind = kStatementUpdate;
    ParseUpdate(master);
  } else if (lexer_.Accept("DELETE")) {
    master.Kind = kStatementDelete;
    ParseDelete(master);
  } else if (lexer_.Accept("CREATE")) {
    if (lexer_.Accept("TABLE")) {
      master.Kind = kStatementCreateTable;
      ParseCreateTable(master);
    } else if (IsAnyOf({"INDEX", "UNIQUE", "ASC", "ASCENDING", "DESC", "DESCENDING", "NOCASE"})) {
      master.Kind = kStatementCreateIndex;
      ParseCreateIndex(master);
    } else {
      Expected("TABLE, INDEX, UNIQUE, ASC, ASCENDING, DESC, DESCENDING, or NOCASE keyword expected, instead found '");
    }
  } else if (lexer_.Accept("ALTER")) {
    ExpectKeyword("TABLE", "TABLE keyword expected, instead found '");
    master.Kind = kStatementAlterTable;
    ParseAlterTable(master);
  } else if (lexer_.Accept("DROP")) {
    if (lexer_.Accept("TABLE")) {
      master.Kind = kStatementDropTable;
      ParseDropTable(master);
    } else if (lexer_.Accept("INDEX")) {
      master.Kind = kStatementDropIndex;
      ParseDropIndex(master);
    } else {
      Expected("TABLE or INDEX keyword expected, instead found '");
    }
  } else if (lexer_.Accept("START")) {
    ExpectKeyword("TRANSACTION", "TRANSACTION keyword expected, instead found '");
    master.Kind = kStatementStartTransaction;
    ParseTransaction(master);
  } else if (lexer_.Accept("ROLLBACK")) {
    master.Kind = kStatementRollback;
    ParseTransaction(master);
  } else if (lexer_.Accept("COMMIT")) {
    master.Kind = kStatementCommit;
    ParseTransaction(master);
  } else {
    Expected("SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, or DROP keyword expected, instead found '");
  }
}

TDataQuery* TSqlParser::ParseSubSelect() {
  TDataQuery& query = statement_.NewQuery();
  query.Kind = kStatementSelect;
  query.SubQuery = true;
  ParseSelect(query, false, false, TablePlace::kSelectFrom);
  return &query;
}

void TSqlParser::ParseTableReference(TSourceTable& table, std::string_view missingFirst,
                                     std::string_view missingLater) {
  const bool memory = lexer_.Accept("MEMORY");
  if (!lexer_.IsName()) Expected(memory ? missingLater : missingFirst);
  std::string path = ReadString();
  if (lexer_.IsSymbol('\\') || lexer_.IsSymbol('/')) {
    lexer_.Next();
    if (!lexer_.IsName()) Expected(missingLater);
    path += '\\';
    path += ReadString();
  }
  // An unquoted "name.DAT" reads as name, ".", DAT.
  if (lexer_.IsSymbol('.') && lexer_.PeekKeyword("DAT")) {
    lexer_.Next();
    path += '.';
    path += ReadString();
  }
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  const size_t separator = path.find_last_of("\\:");
  std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
  if (name.size() > 4 && SqlKeywordEquals(std::string_view(name).substr(name.size() - 4), ".DAT")) {
    name.resize(name.size() - 4);
  }
  table.TableName = SqlShortString(name);
  table.CorrelationName = table.TableName;
  table.InMemory = memory;
  if (memory) {
    table.Location = TableLocation::kMemory;
    table.Directory = kMemoryDatabaseName;
  } else if (separator != std::string::npos) {
    std::string directory(Trim(std::string_view(path).substr(0, separator + 1)));
    if (directory.empty() || directory.back() != '\\') directory += '\\';
    table.Location = TableLocation::kDirectory;
    table.Directory = SqlShortString(directory);
  } else {
    table.Location = TableLocation::kStatementDatabase;
    table.Directory = statement_.DatabaseDirectory();
  }
}

void TSqlParser::ParseCorrelation(TSourceTable& table, TablePlace place, bool allowAs) {
  if (allowAs && lexer_.Accept("AS")) {
    if (!lexer_.IsName()) Expected("Symbol or string expected after AS keyword, instead found '");
  } else if (!lexer_.IsName() || IsFollowWord(lexer_, place)) {
    return;
  }
  table.CorrelationName = SqlShortString(ReadString());
  table.CorrelationGiven = true;
}

TSourceTable& TSqlParser::AddSourceTable(TDataQuery& query, TSourceTable table) {
  if (query.FindCorrelation(table.CorrelationName)) {
    Fail("Duplicate table correlation name '" + table.CorrelationName + "' found in source tables");
  }
  table.Position = static_cast<int32_t>(query.SourceTables.size()) + 1;
  query.SourceTables.push_back(std::move(table));
  return query.SourceTables.back();
}

void TSqlParser::ReadColumnName(std::string& name, std::string& correlation, std::string& sourceText,
                                const SqlExpressionContext& context) {
  if (lexer_.AtEnd() || lexer_.IsSymbol(';') || lexer_.IsSymbol(',') || lexer_.IsSymbol(')')) {
    Fail(std::string(context.EmptyMessage));
  }
  const size_t start = lexer_.TokenStart();
  if (!lexer_.IsName()) {
    Fail("Unknown or unexpected symbol '" + lexer_.TokenText() + "' found in " + std::string(context.Name));
  }
  name = SqlShortString(ReadString());
  correlation.clear();
  if (lexer_.IsSymbol('.')) {
    lexer_.Next();
    if (!lexer_.IsName()) {
      Fail("Symbol or string expected after table correlation name, instead found '" + lexer_.TokenText() +
           "' in " + std::string(context.Name));
    }
    correlation = name;
    name = SqlShortString(ReadString());
  }
  sourceText = SqlShortString(lexer_.SourceText(start, lexer_.TokenStart()));
  while (!sourceText.empty() && static_cast<unsigned char>(sourceText.back()) <= 32) sourceText.pop_back();
}

void TSqlParser::ParseCommitOptions(TDataQuery& query) {
  if (!lexer_.Accept("COMMIT")) return;
  if (lexer_.Accept("INTERVAL")) {
    query.CommitInterval = static_cast<int32_t>(
        ReadInteger("Integer value expected after INTERVAL keyword, instead found '", 0, INT32_MAX));
    query.CommitIntervalGiven = true;
    if (lexer_.Accept("FLUSH")) query.CommitFlush = true;
  } else if (lexer_.Accept("FLUSH")) {
    query.CommitFlush = true;
  } else {
    Expected("INTERVAL and/or FLUSH keywords expected after COMMIT keyword, instead found '");
  }
}

}  // namespace rudira
