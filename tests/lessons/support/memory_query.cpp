#include "memory_query.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <sstream>

namespace momiro::testing {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  const size_t begin = text.find_first_not_of(" ()");
  if (begin == std::string::npos) return "";
  const size_t end = text.find_last_not_of(" ()");
  return text.substr(begin, end - begin + 1);
}

bool Compare(int64_t left, const std::string& op, int64_t right) {
  if (op == "=") return left == right;
  if (op == "<>") return left != right;
  if (op == ">") return left > right;
  if (op == ">=") return left >= right;
  if (op == "<") return left < right;
  return left <= right;
}

}  // namespace

// --- MemoryTable ---------------------------------------------------------------

MemoryTable::MemoryTable(std::vector<std::string> fieldNames, std::vector<int> textFields)
    : names_(std::move(fieldNames)), isText_(names_.size(), false) {
  for (int position : textFields) isText_.at(position) = true;
}

int MemoryTable::FieldPosition(const std::string& name) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (Lower(names_[i]) == Lower(name)) return static_cast<int>(i);
  }
  return -1;
}

bool MemoryTable::IsText(int position) const { return isText_.at(position); }

size_t MemoryTable::AppendRow(MemoryRow row) {
  row.resize(names_.size());
  slots.emplace_back(std::move(row));
  return slots.size() - 1;
}

std::vector<MemoryRow> MemoryTable::Rows() const {
  std::vector<MemoryRow> rows;
  for (const auto& slot : slots) {
    if (slot) rows.push_back(*slot);
  }
  return rows;
}

// --- MemoryDatabase --------------------------------------------------------------

MemoryDatabase::MemoryDatabase() {
  tables_.emplace("mokuji", MemoryTable({"MNB", "ITM"}, {kContentsITM}));
  tables_.emplace("figure",
                  MemoryTable({"MNB", "TES", "COL", "PST", "BFR", "BTO", "DTX", "CMT", "TNB"},
                              {kFigureCMT}));
}

MemoryTable& MemoryDatabase::Table(const std::string& name) {
  auto it = tables_.find(Lower(name));
  if (it == tables_.end()) throw std::runtime_error("no table " + name);
  return it->second;
}

void MemoryDatabase::AddContents(int mnb, const std::string& title) {
  MemoryRow row(2);
  row[kContentsMNB] = {false, mnb, ""};
  row[kContentsITM] = {false, 0, title};
  Table("mokuji").AppendRow(std::move(row));
}

void MemoryDatabase::AddFigureRow(int mnb, int tes, int col, int pst, int bfr, int bto, int dtx,
                                  const std::string& cmt) {
  MemoryRow row(9);
  const int values[] = {mnb, tes, col, pst, bfr, bto, dtx};
  for (int i = 0; i < 7; ++i) row[i] = {false, values[i], ""};
  row[kFigureCMT] = {false, 0, cmt};
  Table("figure").AppendRow(std::move(row));
}

// --- MemoryQuery: text and parameters ------------------------------------------

void MemoryQuery::Close() {
  table_ = nullptr;
  result_.clear();
  where_.clear();
  state_ = State::Browse;
  eof_ = bof_ = true;
}

void MemoryQuery::ClearSql() {
  Close();
  sql_.clear();
}

void MemoryQuery::AddSql(const std::string& line) {
  Close();
  sql_.push_back(line);
}

void MemoryQuery::SetParamInt(int index, int value) { params_[index] = value; }

void MemoryQuery::Open() {
  Close();
  std::string text;
  for (const std::string& line : sql_) text += line + " ";
  static const std::regex kSelect(
      R"(^\s*select\s+\*\s+from\s+(\w+)(?:\s+where\s+(.*?))?(?:\s+order\s+by\s+(\w+))?\s*$)",
      std::regex::icase);
  std::smatch match;
  if (!std::regex_match(text, match, kSelect)) {
    throw std::runtime_error("memory query: unsupported SQL: " + text);
  }
  MemoryTable& table = database_.Table(match[1]);

  std::vector<Condition> where;
  int nextParam = 0;
  if (match[2].matched) {
    static const std::regex kAnd(R"(\s+and\s+)", std::regex::icase);
    static const std::regex kTerm(R"(^(\w+)\s*(>=|<=|<>|=|>|<)\s*(:\w+|-?\d+)$)");
    const std::string condition = match[2];
    for (std::sregex_token_iterator it(condition.begin(), condition.end(), kAnd, -1), end;
         it != end; ++it) {
      const std::string term = Trim(*it);
      std::smatch parts;
      if (!std::regex_match(term, parts, kTerm)) {
        throw std::runtime_error("memory query: unsupported condition: " + term);
      }
      Condition c{table.FieldPosition(parts[1]), parts[2], std::nullopt, 0};
      if (c.field < 0 || table.IsText(c.field)) {
        throw std::runtime_error("memory query: no integer field " + parts[1].str());
      }
      const std::string operand = parts[3];
      if (operand[0] == ':') {
        if (!params_.count(nextParam)) {
          throw std::runtime_error("No value for parameter '" + operand.substr(1) + "'");
        }
        c.param = nextParam++;
      } else {
        c.constant = std::stoll(operand);
      }
      where.push_back(c);
    }
  }
  int orderField = -1;
  if (match[3].matched) {
    orderField = table.FieldPosition(match[3]);
    if (orderField < 0) throw std::runtime_error("memory query: no field " + match[3].str());
  }

  table_ = &table;
  where_ = std::move(where);
  for (size_t slot = 0; slot < table.slots.size(); ++slot) {
    if (table.slots[slot] && Matches(*table.slots[slot])) result_.push_back(slot);
  }
  if (orderField >= 0) {
    std::stable_sort(result_.begin(), result_.end(), [&](size_t a, size_t b) {
      const MemoryValue& x = (*table.slots[a])[orderField];
      const MemoryValue& y = (*table.slots[b])[orderField];
      if (x.null != y.null) return x.null;  // empty values sort first
      return !x.null && x.integer < y.integer;
    });
  }
  position_ = 0;
  eof_ = bof_ = result_.empty();
}

bool MemoryQuery::Matches(const MemoryRow& row) const {
  for (const Condition& c : where_) {
    const MemoryValue& value = row[c.field];
    if (value.null) return false;  // an empty field satisfies no comparison
    const int64_t operand = c.param ? params_.at(*c.param) : c.constant;
    if (!Compare(value.integer, c.op, operand)) return false;
  }
  return true;
}

// --- MemoryQuery: navigation -----------------------------------------------------

void MemoryQuery::RequireOpen() const {
  if (table_ == nullptr) throw std::runtime_error("memory query: the query is not open");
}

bool MemoryQuery::IsEmpty() const { return result_.empty(); }

void MemoryQuery::CheckBrowseMode() {
  RequireOpen();
  if (state_ != State::Browse) Post();
}

void MemoryQuery::First() {
  CheckBrowseMode();
  position_ = 0;
  bof_ = true;
  eof_ = result_.empty();
}

void MemoryQuery::Next() {
  CheckBrowseMode();
  if (!result_.empty() && position_ + 1 < result_.size()) {
    ++position_;
    eof_ = bof_ = false;
  } else {
    eof_ = true;
  }
}

void MemoryQuery::Prior() {
  CheckBrowseMode();
  if (!result_.empty() && position_ > 0) {
    --position_;
    eof_ = bof_ = false;
  } else {
    bof_ = true;
  }
}

bool MemoryQuery::Locate(const std::string& fields, const std::vector<int>& values) {
  CheckBrowseMode();
  std::vector<int> positions;
  std::stringstream names(fields);
  for (std::string name; std::getline(names, name, ';');) {
    const int position = table_->FieldPosition(name);
    if (position < 0) throw std::runtime_error("項目 '" + name + "' が見つかりません");
    positions.push_back(position);
  }
  if (positions.size() != values.size()) throw std::runtime_error("memory query: Locate values");
  for (size_t i = 0; i < result_.size(); ++i) {
    const MemoryRow& row = *table_->slots[result_[i]];
    bool equal = true;
    for (size_t k = 0; k < positions.size() && equal; ++k) {
      const MemoryValue& value = row[positions[k]];
      equal = !value.null && value.integer == values[k];
    }
    if (equal) {
      position_ = i;
      eof_ = bof_ = false;
      return true;
    }
  }
  return false;
}

// --- MemoryQuery: editing -----------------------------------------------------------

void MemoryQuery::Edit() {
  RequireOpen();
  if (state_ != State::Browse) return;
  if (result_.empty()) throw std::runtime_error("memory query: Edit on an empty result");
  buffer_ = *table_->slots[result_[position_]];
  state_ = State::Edit;
}

void MemoryQuery::Append() {
  CheckBrowseMode();
  // Appended rows start empty (no copy of the current row).
  buffer_.assign(table_->FieldCount(), MemoryValue{});
  state_ = State::Insert;
}

void MemoryQuery::Post() {
  RequireOpen();
  if (state_ == State::Edit) {
    *table_->slots[result_[position_]] = buffer_;
  } else if (state_ == State::Insert) {
    result_.push_back(table_->AppendRow(buffer_));
    position_ = result_.size() - 1;
    eof_ = bof_ = false;
  }
  state_ = State::Browse;
}

void MemoryQuery::Delete() {
  RequireOpen();
  if (state_ == State::Insert) {  // deleting a row not yet stored discards it
    state_ = State::Browse;
    return;
  }
  state_ = State::Browse;
  if (result_.empty()) throw std::runtime_error("memory query: Delete on an empty result");
  table_->slots[result_[position_]].reset();
  result_.erase(result_.begin() + static_cast<std::ptrdiff_t>(position_));
  if (result_.empty()) {
    position_ = 0;
    eof_ = bof_ = true;
    return;
  }
  if (position_ >= result_.size()) position_ = result_.size() - 1;
  eof_ = bof_ = false;
}

// --- MemoryQuery: fields --------------------------------------------------------------

const MemoryValue& MemoryQuery::Value(int position) const {
  RequireOpen();
  static const MemoryValue kEmptyValue;
  if (position < 0 || position >= table_->FieldCount()) {
    throw std::runtime_error("memory query: no field at position " + std::to_string(position));
  }
  if (state_ != State::Browse) return buffer_[position];
  if (result_.empty()) return kEmptyValue;
  return (*table_->slots[result_[position_]])[position];
}

MemoryValue& MemoryQuery::MutableValue(int position) {
  RequireOpen();
  if (state_ == State::Browse) throw std::runtime_error("Table is not in edit or insert mode.");
  return buffer_.at(position);
}

int MemoryQuery::FieldInt(int position) const {
  const MemoryValue& value = Value(position);
  if (table_->IsText(position)) throw std::runtime_error("memory query: text field read as integer");
  return value.null ? 0 : static_cast<int>(value.integer);
}

std::string MemoryQuery::FieldText(int position) const {
  const MemoryValue& value = Value(position);
  if (value.null) return "";
  return table_->IsText(position) ? value.text : std::to_string(value.integer);
}

void MemoryQuery::SetFieldInt(int position, int value) {
  if (table_ != nullptr && table_->IsText(position)) {
    throw std::runtime_error("memory query: integer written to a text field");
  }
  MutableValue(position) = {false, value, ""};
}

void MemoryQuery::SetFieldText(int position, const std::string& text) {
  if (table_ != nullptr && !table_->IsText(position)) {
    throw std::runtime_error("memory query: text written to an integer field");
  }
  MutableValue(position) = {false, 0, text};
}

}  // namespace momiro::testing
