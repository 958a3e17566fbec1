#include "tools/rudira_sql/result_printer.h"

#include <algorithm>

#include "tools/rudira_sql/value_format.h"

namespace rudira::sql_shell {

namespace {

// A value as one table line.
std::string CellText(const std::optional<std::string>& value) {
  if (!value) return {};
  std::string text;
  for (const char c : *value) {
    if (c == '\n')
      text += "\\n";
    else if (c == '\r')
      text += "\\r";
    else if (c == '\t')
      text += "\\t";
    else
      text += c;
  }
  return text;
}

void Pad(std::string& line, size_t count) {
  line.append(count, ' ');
}

}  // namespace

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

void TResultPrinter::Begin(std::vector<TColumn> columns) {
  columns_ = std::move(columns);
  rows_.clear();
  if (mode_ == TOutputMode::Csv && header_) {
    std::vector<std::string_view> names;
    for (const TColumn& column : columns_) names.push_back(column.Name);
    WriteCsvRecord(names);
  }
}

void TResultPrinter::Row(TRow row) {
  if (mode_ == TOutputMode::Table) {
    rows_.push_back(std::move(row));
    return;
  }
  std::vector<std::string_view> fields;
  for (const auto& value : row)
    fields.push_back(value ? std::string_view(*value) : std::string_view());
  WriteCsvRecord(fields);
}

void TResultPrinter::End() {
  if (mode_ == TOutputMode::Table) WriteTable();
  rows_.clear();
  std::fflush(out_);
}

void TResultPrinter::WriteCsvRecord(const std::vector<std::string_view>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(fields[i]);
  }
  line += "\r\n";
  std::fwrite(line.data(), 1, line.size(), out_);
}

void TResultPrinter::WriteTable() {
  const size_t n = columns_.size();
  std::vector<std::vector<std::string>> cells;
  cells.reserve(rows_.size());
  std::vector<size_t> widths(n, 0);
  if (header_) {
    for (size_t c = 0; c < n; ++c) widths[c] = DisplayWidth(columns_[c].Name);
  }
  for (const TRow& row : rows_) {
    std::vector<std::string> line;
    for (size_t c = 0; c < n; ++c) {
      line.push_back(CellText(row[c]));
      widths[c] = std::max(widths[c], DisplayWidth(line.back()));
    }
    cells.push_back(std::move(line));
  }
  const auto writeLine = [&](const std::vector<std::string>& texts, bool isHeader) {
    std::string line;
    for (size_t c = 0; c < n; ++c) {
      if (c > 0) line += " | ";
      const size_t gap = widths[c] - DisplayWidth(texts[c]);
      const bool right = columns_[c].RightAligned && !isHeader;
      if (right) Pad(line, gap);
      line += texts[c];
      if (!right && c + 1 < n) Pad(line, gap);
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out_);
  };
  if (header_) {
    std::vector<std::string> names;
    for (const TColumn& column : columns_) names.push_back(column.Name);
    writeLine(names, true);
    std::string rule;
    for (size_t c = 0; c < n; ++c) {
      if (c > 0) rule += "-+-";
      rule.append(widths[c], '-');
    }
    rule += '\n';
    std::fwrite(rule.data(), 1, rule.size(), out_);
  }
  for (const auto& line : cells) writeLine(line, false);
}

}  // namespace rudira::sql_shell
