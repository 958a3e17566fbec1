#include "lessons/sgf_lesson_queries.h"

namespace momiro {
namespace {

void Configure(rudira::TRUDIRAQuery& query, const std::string& databaseName) {
  query.SetDatabaseName(databaseName);
  query.SetRequestLive(true);
  query.SetMaxRowCount(-1);
  query.CopyOnAppend = false;
}

}  // namespace

SgfLessonQueries::SgfLessonQueries(const std::string& databaseName)
    : contents_(contentsQuery_), figures_(figureQuery_) {
  Configure(contentsQuery_, databaseName);
  Configure(figureQuery_, databaseName);
}

SgfLessonQueries::~SgfLessonQueries() {
  // A close can fail only on a pending row, which the import has posted or
  // taken back already; the tables keep what was posted.
  try {
    contentsQuery_.Close();
    figureQuery_.Close();
  } catch (...) {
  }
}

}  // namespace momiro
