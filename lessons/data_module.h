// TDataModule1: the data module of the program — the query components over
// the lesson database `kyozai` and their data sources.
//
//   component     SQL (set by the lesson routines)          source        shown by
//   RUDIRAQuery1  contents: select / condition / order      DataSource1   DBGrid1
//   RUDIRAQuery2  figure rows: select / Where MNB = :MNB    DataSource2   DBGrid2
//   RUDIRAQuery4  branch numbers of one MNB, by BFR         DataSource4   -
//
// Every query names the database "kyozai" (the directory kyozai under the
// current directory, opened by the default session on first use), asks for
// a live result, returns all rows and starts appended rows empty. The
// module is created before the windows and outlives them; the queries and
// sources are owned by it. Destroying it closes RUDIRAQuery1 and
// RUDIRAQuery2 (RUDIRAQuery4 is open only inside NextFreeBranchId).
#ifndef MOMIRO_LESSONS_DATA_MODULE_H_
#define MOMIRO_LESSONS_DATA_MODULE_H_

#include "board/board_state.h"
#include "components/component.h"
#include "components/data_link.h"
#include "components/rudira_query.h"
#include "lessons/lesson_tables.h"
#include "lessons/rudira_lesson_query.h"

namespace momiro {

inline constexpr const char* kLessonDatabase = "kyozai";

class TDataModule1 : public rudira::TComponent {
 public:
  TDataModule1();
  ~TDataModule1() override;
  TDataModule1(const TDataModule1&) = delete;
  TDataModule1& operator=(const TDataModule1&) = delete;

  // Owned by the module (component ownership).
  rudira::TRUDIRAQuery* const RUDIRAQuery1;
  rudira::TRUDIRAQuery* const RUDIRAQuery2;
  rudira::TRUDIRAQuery* const RUDIRAQuery4;
  rudira::TDataSource DataSource1;
  rudira::TDataSource DataSource2;
  rudira::TDataSource DataSource4;

  // The queries as the lesson routines see them.
  LessonQuery& Contents() { return contents_; }
  LessonQuery& Figures() { return figures_; }
  LessonQuery& Branches() { return branches_; }
  LessonQueries& Queries() { return queries_; }

  // Start-up: the contents "Where MNB >= 0" and the first entry's figure
  // rows (OpenLessons). Engine errors (a missing kyozai) pass on.
  void OpenLessons(BoardState& board);

 private:
  RudiraLessonQuery contents_;
  RudiraLessonQuery figures_;
  RudiraLessonQuery branches_;
  LessonQueries queries_;
};

}  // namespace momiro

#endif  // MOMIRO_LESSONS_DATA_MODULE_H_
