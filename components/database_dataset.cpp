#include "components/database_dataset.h"

#include "components/rudira_database.h"
#include "components/rudira_session.h"
#include "components/session_list.h"

namespace rudira {

TRUDIRADatabase* OpenDataSetDatabase(TDatabaseDataSet& dataSet) {
  TRUDIRASession* session = Sessions().GetSession(dataSet.DataSetSessionName());
  TRUDIRADatabase* database = session->OpenDatabase(dataSet.DataSetDatabaseName(), dataSet.DataSetOwner());
  database->Attach(&dataSet);
  return database;
}

void CloseDataSetDatabase(TDatabaseDataSet& dataSet, TRUDIRADatabase* database) {
  if (database == nullptr) return;
  database->Detach(&dataSet);
  if (database->Session() != nullptr) {
    database->Session()->CloseDatabase(database);
  } else if (database->useCount_ > 0) {
    --database->useCount_;
  }
}

}  // namespace rudira
