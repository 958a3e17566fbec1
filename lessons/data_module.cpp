#include "lessons/data_module.h"

namespace momiro {
namespace {

// A query as the data module's form declares it.
rudira::TRUDIRAQuery* NewLessonQuery(rudira::TComponent* owner, const char* name) {
  auto* query = new rudira::TRUDIRAQuery(owner);
  query->SetName(name);
  query->SetDatabaseName(kLessonDatabase);
  query->SetRequestLive(true);
  query->SetMaxRowCount(-1);
  query->CopyOnAppend = false;
  query->SetEngineVersion("3.30");  // a read-only property: the component reports its own
  return query;
}

}  // namespace

TDataModule1::TDataModule1()
    : RUDIRAQuery1(NewLessonQuery(this, "RUDIRAQuery1")),
      RUDIRAQuery2(NewLessonQuery(this, "RUDIRAQuery2")),
      RUDIRAQuery4(NewLessonQuery(this, "RUDIRAQuery4")),
      DataSource1(RUDIRAQuery1),
      DataSource2(RUDIRAQuery2),
      DataSource4(RUDIRAQuery4),
      contents_(*RUDIRAQuery1),
      figures_(*RUDIRAQuery2),
      branches_(*RUDIRAQuery4),
      queries_{contents_, figures_, branches_} {
  SetName("DataModule1");
}

TDataModule1::~TDataModule1() {
  // Closing can fail (a pending figure row that cannot be stored); the
  // program is ending and the tables keep what was posted.
  try {
    RUDIRAQuery1->Close();
    RUDIRAQuery2->Close();
  } catch (...) {
  }
}

void TDataModule1::OpenLessons(BoardState& board) { momiro::OpenLessons(queries_, board); }

}  // namespace momiro
