#include "sql/sql_expression.h"

#include <string>

#include "engine/errors.h"
#include "engine/expression_parser.h"

namespace rudira {

static_assert(kAllowAggregates == 1 && kAllowStar == 2 && kAllowExtended == 4 &&
              kAllowParameters == 8 && kAllowSubSelects == 16);

const SqlExpressionContext kSourceColumnContext{
    "source column expression", kAllowAggregates | kAllowStar | kAllowExtended,
    "Source column expression is empty"};
const SqlExpressionContext kWhereContext{
    "WHERE clause", kAllowExtended | kAllowParameters | kAllowSubSelects, "WHERE clause is empty"};
const SqlExpressionContext kJoinContext{
    "JOIN clause", kAllowExtended | kAllowParameters, "JOIN clause is empty"};
const SqlExpressionContext kHavingContext{"HAVING clause", kAllowAggregates, "HAVING clause is empty"};
const SqlExpressionContext kValueContext{"value expression", kAllowParameters, "Value expression is empty"};
const SqlExpressionContext kTableColumnContext{"table column", 0, "Table column name is empty"};
const SqlExpressionContext kIndexColumnContext{"index column", 0, "Index column name is empty"};
const SqlExpressionContext kIndexNameContext{"index name expression", 0, "Index name expression is empty"};

// The expression parser's view of the statement for one nesting depth. The
// parser holds the statement text from `base` on; a sub-select read by the
// statement parser moves the parser on to the text after it.
class TSqlExpressionReader::Owner : public TExpressionOwner {
 public:
  explicit Owner(TSqlExpressionReader& reader) : reader_(reader) {}

  void RegisterParameter(TExpToken& parameter) override { reader_.parameters_(parameter); }

  void ParseSubSelect(TExpressionParser& parser, TExpToken& subSelect) override {
    TSqlLexer& lexer = reader_.lexer_;
    const std::string context = lexer.Context();
    lexer.Seek(Base + parser.TokenStart());
    subSelect.SubQuery = reader_.subSelects_(lexer);
    lexer.SetContext(context);
    Base = lexer.TokenStart();
    parser.SetText(std::string_view(lexer.Text()).substr(Base));
  }

  size_t Base = 0;  // offset of the parser's text in the statement text

 private:
  TSqlExpressionReader& reader_;
};

TSqlExpressionReader::TSqlExpressionReader(TSqlLexer& lexer, SubSelectParser subSelects,
                                           ParameterSink parameters)
    : lexer_(lexer), subSelects_(std::move(subSelects)), parameters_(std::move(parameters)) {}

TSqlExpressionReader::~TSqlExpressionReader() = default;

TExpressionParser& TSqlExpressionReader::ParserAt(size_t depth) {
  while (parsers_.size() <= depth) {
    owners_.push_back(std::make_unique<Owner>(*this));
    parsers_.push_back(
        std::make_unique<TExpressionParser>(RUDIRA_SQLPARSE, kSqlStatementContext, owners_.back().get()));
  }
  return *parsers_[depth];
}

namespace {

// Keeps the nesting depth and the lexer's context phrase across one read,
// also when the read raises.
struct ReadScope {
  ReadScope(size_t& depth, TSqlLexer& lexer, std::string_view context)
      : depth_(depth), lexer_(lexer), savedContext_(lexer.Context()) {
    ++depth_;
    lexer_.SetContext(context);
  }
  ~ReadScope() {
    --depth_;
    lexer_.SetContext(savedContext_);
  }
  size_t& depth_;
  TSqlLexer& lexer_;
  std::string savedContext_;
};

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

}  // namespace

TExpTokenPtr TSqlExpressionReader::Read(const SqlExpressionContext& context, std::string* sourceText) {
  if (lexer_.AtEnd() || lexer_.IsSymbol(';') || lexer_.IsSymbol(',') || lexer_.IsSymbol(')')) {
    RaiseEngineError(RUDIRA_SQLPARSE, {.Text = context.EmptyMessage});
  }
  const size_t depth = depth_;
  TExpressionParser& parser = ParserAt(depth);
  Owner& owner = *owners_[depth];
  ReadScope scope(depth_, lexer_, context.Name);
  const size_t start = lexer_.TokenStart();
  owner.Base = start;
  parser.SetContext(context.Name);
  parser.SetText(std::string_view(lexer_.Text()).substr(start));
  TExpTokenPtr root = parser.ParseExpression(context.Permissions);
  const size_t end = owner.Base + parser.TokenStart();
  lexer_.Seek(end);
  if (sourceText) *sourceText = SqlShortString(TrimRight(lexer_.SourceText(start, end)));
  return root;
}

bool TSqlExpressionReader::ReadDataType(TSqlColumnType& type) {
  const size_t depth = depth_;
  TExpressionParser& parser = ParserAt(depth);
  ReadScope scope(depth_, lexer_, kTableColumnContext.Name);
  const size_t start = lexer_.TokenStart();
  parser.SetContext(kTableColumnContext.Name);
  parser.SetText(std::string_view(lexer_.Text()).substr(start));
  TSqlDataType parsed;
  if (!parser.ParseDataType(parsed)) return false;
  lexer_.Seek(start + parser.TokenStart());
  type.FieldType = parsed.FieldType;
  type.SubType = parsed.SubType;
  type.Size = parsed.Size;
  type.Scale = parsed.Scale;
  type.BlobSize = parsed.BlobSize;
  return true;
}

void SplitAnd(TExpToken* node, std::vector<TExpToken*>& pieces) {
  if (node && node->NodeKind == kNodeBinary && node->OpCode == kOpAnd) {
    SplitAnd(node->Left, pieces);
    SplitAnd(node->Right, pieces);
  } else if (node) {
    pieces.push_back(node);
  }
}

bool IsComparison(const TExpToken& node) {
  return node.NodeKind == kNodeBinary && node.OpCode >= kOpEqual && node.OpCode <= kOpLessEqual;
}

}  // namespace rudira
