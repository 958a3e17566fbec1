// RudiraLessonQuery: the lesson routines' query interface (lesson_query.h)
// over a query component (components/rudira_query.h).
//
// Each call is the dataset operation of the same name; the contract of
// LessonQuery is the dataset framework's own, so the adapter adds only what
// the interface promises beyond it: the fields of an empty result read as 0
// and the empty text, and Locate takes integers. Fields are addressed by
// position in the result (select *). The query is not owned and must
// outlive the adapter.
#ifndef MOMIRO_LESSONS_RUDIRA_LESSON_QUERY_H_
#define MOMIRO_LESSONS_RUDIRA_LESSON_QUERY_H_

#include <string>
#include <vector>

#include "components/rudira_query.h"
#include "lessons/lesson_query.h"

namespace momiro {

class RudiraLessonQuery : public LessonQuery {
 public:
  explicit RudiraLessonQuery(rudira::TRUDIRAQuery& query) : query_(query) {}

  rudira::TRUDIRAQuery& Query() { return query_; }

  void Close() override { query_.Close(); }
  void ClearSql() override;
  void AddSql(const std::string& line) override;
  // The parameter list is derived from the ":name" markers of the SQL text.
  // REQUIRES: index < the number of markers.
  void SetParamInt(int index, int value) override;
  void Open() override { query_.Open(); }
  bool Active() const override { return query_.Active(); }

  void First() override { query_.First(); }
  void Next() override { query_.Next(); }
  void Prior() override { query_.Prior(); }
  bool Eof() const override { return query_.Eof(); }
  bool Bof() const override { return query_.Bof(); }
  bool IsEmpty() const override { return query_.IsEmpty(); }

  void Edit() override { query_.Edit(); }
  void Append() override { query_.Append(); }
  void Post() override { query_.Post(); }
  void Delete() override { query_.Delete(); }

  int FieldInt(int position) const override;
  std::string FieldText(int position) const override;
  void SetFieldInt(int position, int value) override;
  void SetFieldText(int position, const std::string& text) override;

  bool Locate(const std::string& fields, const std::vector<int>& values) override;

 private:
  // Whether the fields show a row: open, and not an empty result outside
  // insert state (an appended row is shown before it is posted).
  bool ShowsRow() const;

  rudira::TRUDIRAQuery& query_;
};

}  // namespace momiro

#endif  // MOMIRO_LESSONS_RUDIRA_LESSON_QUERY_H_
