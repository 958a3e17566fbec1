// An in-memory LessonQuery for tests: tables of rows in natural (slot) order
// and queries over them that follow the contract of lessons/lesson_query.h.
//
// It understands the statements the lesson routines send — "select * from
// T", an optional WHERE of comparisons joined by AND (each side an integer
// field against an integer or a :name parameter), and an optional ORDER BY
// one field — and refuses any other text, so a routine that sends the wrong
// SQL fails its test. Results are live: edits, appends and deletes go to the
// table. Slots are never reused, so appended rows always come last.
#ifndef MOMIRO_TESTS_LESSONS_SUPPORT_MEMORY_QUERY_H_
#define MOMIRO_TESTS_LESSONS_SUPPORT_MEMORY_QUERY_H_

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "lessons/lesson_query.h"

namespace momiro::testing {

// A field value; null (empty) until set.
struct MemoryValue {
  bool null = true;
  int64_t integer = 0;
  std::string text;
};
using MemoryRow = std::vector<MemoryValue>;

class MemoryTable {
 public:
  // textFields: positions of the text fields; all others are integers.
  MemoryTable(std::vector<std::string> fieldNames, std::vector<int> textFields);

  int FieldCount() const { return static_cast<int>(names_.size()); }
  // Position of a field by name, ignoring case; -1 when there is none.
  int FieldPosition(const std::string& name) const;
  bool IsText(int position) const;

  // Appends a row in the next slot; returns the slot.
  size_t AppendRow(MemoryRow row);
  // The rows that exist, in slot order.
  std::vector<MemoryRow> Rows() const;

  std::vector<std::optional<MemoryRow>> slots;  // deleted rows leave an empty slot

 private:
  std::vector<std::string> names_;
  std::vector<bool> isText_;
};

class MemoryDatabase {
 public:
  // A database with the lesson tables `mokuji` (MNB, ITM) and `figure`
  // (MNB, TES, COL, PST, BFR, BTO, DTX, CMT, TNB).
  MemoryDatabase();

  MemoryTable& Table(const std::string& name);

  // Test data: a contents entry, and a figure row with every field but TNB
  // set (TNB is left empty, as appended rows have it).
  void AddContents(int mnb, const std::string& title);
  void AddFigureRow(int mnb, int tes, int col, int pst, int bfr, int bto, int dtx,
                    const std::string& cmt = "");

 private:
  std::map<std::string, MemoryTable> tables_;  // by lower-case name
};

class MemoryQuery : public LessonQuery {
 public:
  explicit MemoryQuery(MemoryDatabase& database) : database_(database) {}

  void Close() override;
  void ClearSql() override;
  void AddSql(const std::string& line) override;
  void SetParamInt(int index, int value) override;
  void Open() override;
  bool Active() const override { return table_ != nullptr; }

  void First() override;
  void Next() override;
  void Prior() override;
  bool Eof() const override { return eof_; }
  bool Bof() const override { return bof_; }
  bool IsEmpty() const override;

  void Edit() override;
  void Append() override;
  void Post() override;
  void Delete() override;

  int FieldInt(int position) const override;
  std::string FieldText(int position) const override;
  void SetFieldInt(int position, int value) override;
  void SetFieldText(int position, const std::string& text) override;

  bool Locate(const std::string& fields, const std::vector<int>& values) override;

  // For the tests: the SQL lines as added, and the parameters as set.
  const std::vector<std::string>& SqlLines() const { return sql_; }
  const std::map<int, int>& Params() const { return params_; }
  // The position of the current row in the result (0-based).
  size_t RowIndex() const { return position_; }

 private:
  enum class State { Browse, Edit, Insert };
  struct Condition {
    int field;
    std::string op;
    std::optional<int> param;  // index of the :name parameter, or
    int64_t constant = 0;      // the integer constant
  };

  void RequireOpen() const;
  void CheckBrowseMode();  // stores a pending edit or insert, as every move does
  const MemoryValue& Value(int position) const;
  MemoryValue& MutableValue(int position);
  bool Matches(const MemoryRow& row) const;

  MemoryDatabase& database_;
  std::vector<std::string> sql_;
  std::map<int, int> params_;

  MemoryTable* table_ = nullptr;  // while open
  std::vector<Condition> where_;
  std::vector<size_t> result_;  // slots of the result rows, in result order
  size_t position_ = 0;
  bool eof_ = true;
  bool bof_ = true;
  State state_ = State::Browse;
  MemoryRow buffer_;  // the row being edited or inserted
};

}  // namespace momiro::testing

#endif  // MOMIRO_TESTS_LESSONS_SUPPORT_MEMORY_QUERY_H_
