#include "tools/rudira_sql/csv_reader.h"

namespace rudira::sql_shell {

TCsvReader::TCsvReader(std::string_view text) : text_(text) {
  if (text_.substr(0, 3) == "\xEF\xBB\xBF") position_ = 3;
}

bool TCsvReader::Next(std::vector<std::string>& fields) {
  fields.clear();
  if (position_ >= text_.size()) return false;
  recordLine_ = line_;
  std::string field;
  // Ends the record at a line end (CRLF or LF) at position_; true when one
  // was there.
  const auto atLineEnd = [&]() {
    if (text_[position_] == '\n') {
      ++position_;
      ++line_;
      return true;
    }
    if (text_[position_] == '\r' && position_ + 1 < text_.size() && text_[position_ + 1] == '\n') {
      position_ += 2;
      ++line_;
      return true;
    }
    return false;
  };
  while (true) {
    field.clear();
    if (position_ < text_.size() && text_[position_] == '"') {
      ++position_;
      while (true) {
        if (position_ >= text_.size()) throw ECsvError(recordLine_, "quoted field not closed");
        const char c = text_[position_++];
        if (c == '"') {
          if (position_ < text_.size() && text_[position_] == '"') {
            field += '"';
            ++position_;
            continue;
          }
          break;
        }
        if (c == '\n') ++line_;
        field += c;
      }
      if (position_ < text_.size() && text_[position_] != ',' && text_[position_] != '\r' &&
          text_[position_] != '\n') {
        throw ECsvError(line_, "text after a closing quote");
      }
      if (position_ < text_.size() && text_[position_] == '\r' &&
          (position_ + 1 >= text_.size() || text_[position_ + 1] != '\n')) {
        throw ECsvError(line_, "text after a closing quote");
      }
    } else {
      while (position_ < text_.size()) {
        const char c = text_[position_];
        if (c == ',' || c == '\n' ||
            (c == '\r' && position_ + 1 < text_.size() && text_[position_ + 1] == '\n')) {
          break;
        }
        if (c == '"') throw ECsvError(line_, "quote inside an unquoted field");
        field += c;
        ++position_;
      }
    }
    fields.push_back(field);
    if (position_ >= text_.size()) return true;
    if (text_[position_] == ',') {
      ++position_;
      continue;
    }
    atLineEnd();
    return true;
  }
}

}  // namespace rudira::sql_shell
