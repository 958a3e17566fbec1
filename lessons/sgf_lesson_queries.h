// SgfLessonQueries: the two live queries the SGF import and export work
// through, on a lesson database of any name: a scratch query over
// `mokuji` and a figure query (the same settings as the data module's, so
// rows are stored exactly as the lesson routines store them). Used by the
// "SGF" menu (on "kyozai") and by momiro-sgf (on the directory it is
// given). Owns its queries; closes them when it goes.
#ifndef MOMIRO_LESSONS_SGF_LESSON_QUERIES_H_
#define MOMIRO_LESSONS_SGF_LESSON_QUERIES_H_

#include <string>

#include "components/rudira_query.h"
#include "lessons/rudira_lesson_query.h"

namespace momiro {

class SgfLessonQueries {
 public:
  // databaseName: a database name ("kyozai") or a directory path.
  explicit SgfLessonQueries(const std::string& databaseName);
  ~SgfLessonQueries();
  SgfLessonQueries(const SgfLessonQueries&) = delete;
  SgfLessonQueries& operator=(const SgfLessonQueries&) = delete;

  LessonQuery& Contents() { return contents_; }
  LessonQuery& Figures() { return figures_; }

 private:
  rudira::TRUDIRAQuery contentsQuery_;
  rudira::TRUDIRAQuery figureQuery_;
  RudiraLessonQuery contents_;
  RudiraLessonQuery figures_;
};

}  // namespace momiro

#endif  // MOMIRO_LESSONS_SGF_LESSON_QUERIES_H_
