// TResultPrinter: writes the rows of a result as an aligned table or as CSV.
//
// CSV follows RFC 4180: fields separated by ",", records ended by CRLF, a
// field quoted with '"' (inner quotes doubled) when it holds ",", '"', CR
// or LF; NULL is an empty field. The first record holds the column names
// when headers are on.
//
// Tables are aligned on terminal columns (value_format.h DisplayWidth),
// numbers to the right and everything else to the left; line ends and tabs
// inside values are shown as \n, \r and \t so that each row stays one line.
// A table needs every row before it can be aligned, so it is held until
// End(); CSV is written as the rows come.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/rudira_sql/shell_options.h"

namespace rudira::sql_shell {

struct TColumn {
  std::string Name;
  bool RightAligned = false;
};

using TRow = std::vector<std::optional<std::string>>;

class TResultPrinter {
 public:
  TResultPrinter(TOutputMode mode, bool header, std::FILE* out)
      : mode_(mode), header_(header), out_(out) {}

  void Begin(std::vector<TColumn> columns);
  // REQUIRES: one value per column.
  void Row(TRow row);
  void End();

 private:
  void WriteCsvRecord(const std::vector<std::string_view>& fields);
  void WriteTable();

  TOutputMode mode_;
  bool header_;
  std::FILE* out_;
  std::vector<TColumn> columns_;
  std::vector<TRow> rows_;  // table mode: the rows until End()
};

// The CSV form of one field: quoted when needed.
std::string CsvField(std::string_view text);

}  // namespace rudira::sql_shell
