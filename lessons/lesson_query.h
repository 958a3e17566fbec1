// LessonQuery: the query operations the lesson routines use, as one
// interface.
//
// The lesson tables `mokuji` and `figure` are reached only through query
// objects holding SQL text. The lesson routines need a small part of a
// query's surface: SQL lines, parameters by position, Open/Close, walking the
// rows, editing, appending and deleting rows, fields by position and Locate
// on integer fields. This interface is exactly that part, so the routines
// can be built and tested before the dataset components exist.
//
// Planned binding: the data module's query components (RUDIRAQuery1 for the
// contents, RUDIRAQuery2 for the figure rows, RUDIRAQuery4 for branch
// numbers) implement it over TRUDIRAQuery with RequestLive true, MaxRowCount
// -1 and CopyOnAppend false; until then the tests implement it in memory.
//
// Contract (the dataset framework's, restated for what the routines rely on):
// - Open positions on the first row; on an empty result Eof() and Bof() are
//   both true. Rows come in the result's order: without ORDER BY that is the
//   table's natural order, and a row appended to `figure` comes last.
// - Next on the last row stays there and sets Eof(); Prior on the first row
//   stays there and sets Bof(). A move that succeeds clears both flags,
//   except that First() sets Bof() (and Eof() too when the result is empty).
// - Every move (First, Next, Prior, Locate) and every Append first stores a
//   pending edited or inserted row, as Post would; a failure stops the move.
// - Edit starts changing the current row, Append starts a new empty row (all
//   fields empty, not a copy of the current row); Post stores it, after which
//   an appended row is the current row and the last row of the result.
//   Setting a field outside edit or insert state fails.
// - Delete removes the current row; the row that followed it becomes current,
//   or the new last row when the last one was deleted; a result left empty
//   has Eof() and Bof() set.
// - Reading an empty field gives 0 (FieldInt) or the empty text (FieldText);
//   so do the fields of an empty result.
// - Locate("TNB", {t}), Locate("BFR", {b}) and Locate("COL;PST;BTO",
//   {c, p, b}) move to the first row in result order whose fields equal the
//   values and return true; an empty field equals no value. When no row
//   matches they return false and the current row does not change.
// - Every failure (engine errors, wrong state) is thrown; nothing returns an
//   error code. The routines over this interface catch nothing.
#ifndef MOMIRO_LESSONS_LESSON_QUERY_H_
#define MOMIRO_LESSONS_LESSON_QUERY_H_

#include <initializer_list>
#include <string>
#include <vector>

namespace momiro {

// Field positions of `figure` (select *).
constexpr int kFigureMNB = 0;  // contents number; 19, 13 and 9 hold adjourned games
constexpr int kFigureTES = 1;  // move number; 0 for basic-figure and text rows
constexpr int kFigureCOL = 2;  // 1, 2; -1, -2 wrong answer; 3 background text; 0 direct text
constexpr int kFigurePST = 3;  // point; 0 ends the drawing of a basic figure
constexpr int kFigureBFR = 4;  // branch number on the last row of a run; 0 elsewhere
constexpr int kFigureBTO = 5;  // on a run's first row: the BFR it continues, or 9999
constexpr int kFigureDTX = 6;  // text kind * 1000 + text colour * 100 + figure letter
constexpr int kFigureCMT = 7;  // comment of a stone row, text of a text row
constexpr int kFigureTNB = 8;  // running number 1..n, rewritten at every opening

// Field positions of `mokuji` (select *).
constexpr int kContentsMNB = 0;  // contents number, also the help topic number
constexpr int kContentsITM = 1;  // title

// BTO of a basic figure's first row.
constexpr int kBasicFigureStart = 9999;

class LessonQuery {
 public:
  virtual ~LessonQuery() = default;

  // Closes the query; a pending change that was not posted is discarded.
  virtual void Close() = 0;
  // Empties the SQL text (closing the query).
  virtual void ClearSql() = 0;
  // Adds one line to the SQL text.
  virtual void AddSql(const std::string& line) = 0;
  // Sets parameter `index` (0-based, in text order) to an integer; takes
  // effect at the next Open.
  virtual void SetParamInt(int index, int value) = 0;
  // Executes the SQL text and positions on the first row.
  virtual void Open() = 0;
  virtual bool Active() const = 0;

  virtual void First() = 0;
  virtual void Next() = 0;
  virtual void Prior() = 0;
  // True after Next on the last row, and on an empty result.
  virtual bool Eof() const = 0;
  // True after First, after Prior on the first row, and on an empty result.
  virtual bool Bof() const = 0;
  virtual bool IsEmpty() const = 0;

  virtual void Edit() = 0;
  virtual void Append() = 0;
  virtual void Post() = 0;
  virtual void Delete() = 0;

  // Fields of the current row by position.
  virtual int FieldInt(int position) const = 0;
  virtual std::string FieldText(int position) const = 0;
  // REQUIRES: edit or insert state.
  virtual void SetFieldInt(int position, int value) = 0;
  virtual void SetFieldText(int position, const std::string& text) = 0;

  // fields: names separated by ';'; values: one integer per field.
  virtual bool Locate(const std::string& fields, const std::vector<int>& values) = 0;
};

// Replaces the SQL text with `lines`, each added as its own line.
inline void SetSql(LessonQuery& query, std::initializer_list<const char*> lines) {
  query.ClearSql();
  for (const char* line : lines) query.AddSql(line);
}

// True when the query is open and has a current row.
inline bool HasRows(const LessonQuery& query) { return query.Active() && !query.IsEmpty(); }

}  // namespace momiro

#endif  // MOMIRO_LESSONS_LESSON_QUERY_H_
