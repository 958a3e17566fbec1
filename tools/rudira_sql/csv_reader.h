// TCsvReader: reads the records of an RFC 4180 CSV text.
//
// Records end with CRLF or LF (a final line end is optional); fields are
// separated by ","; a field that starts with '"' is quoted: it ends at the
// next lone '"', a doubled '"' inside standing for one, and it may hold
// ",", CR and LF. A quote inside an unquoted field, text after a closing
// quote, and a quote left open at the end of the text are errors, reported
// with the line on which the record starts. A UTF-8 byte-order mark at the
// start is skipped. Every line is a record, an empty one holding one empty
// field, so that a one-column result with NULLs reads back as it was
// written.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rudira::sql_shell {

class ECsvError : public std::runtime_error {
 public:
  ECsvError(int line, const std::string& message)
      : std::runtime_error("line " + std::to_string(line) + ": " + message),
        line_(line),
        message_(message) {}
  int Line() const { return line_; }
  // The message without the line.
  const std::string& Message() const { return message_; }

 private:
  int line_;
  std::string message_;
};

class TCsvReader {
 public:
  // REQUIRES: text outlives the reader.
  explicit TCsvReader(std::string_view text);

  // Reads the next record into `fields`; false at the end of the text.
  // Raises ECsvError for malformed text.
  bool Next(std::vector<std::string>& fields);
  // The line on which the record last read starts (1-based).
  int RecordLine() const { return recordLine_; }

 private:
  std::string_view text_;
  size_t position_ = 0;
  int line_ = 1;  // line at position_
  int recordLine_ = 0;
};

}  // namespace rudira::sql_shell
