// QueryFigureRows: the board's view of the figure query's current row
// (board/figure_rows.h) over a LessonQuery.
//
// PlacePoint remembers the current row's TNB and locates it again after the
// capture check, which walks the rows from the first while a lesson is
// drawn. The query is not owned and must outlive this object.
#ifndef MOMIRO_LESSONS_QUERY_FIGURE_ROWS_H_
#define MOMIRO_LESSONS_QUERY_FIGURE_ROWS_H_

#include "board/figure_rows.h"
#include "lessons/lesson_query.h"

namespace momiro {

class QueryFigureRows : public FigureRows {
 public:
  explicit QueryFigureRows(LessonQuery& figures) : figures_(figures) {}

  bool HasCurrentRow() const override { return HasRows(figures_); }
  int CurrentTNB() const override { return figures_.FieldInt(kFigureTNB); }
  int CurrentTES() const override { return figures_.FieldInt(kFigureTES); }
  int CurrentPST() const override { return figures_.FieldInt(kFigurePST); }
  bool First() override {
    figures_.First();
    return !figures_.Eof();
  }
  bool Next() override {
    figures_.Next();
    return !figures_.Eof();
  }
  void LocateTNB(int tnb) override { figures_.Locate("TNB", {tnb}); }

 private:
  LessonQuery& figures_;  // RUDIRAQuery2; not owned
};

}  // namespace momiro

#endif  // MOMIRO_LESSONS_QUERY_FIGURE_ROWS_H_
