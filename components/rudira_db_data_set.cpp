#include "components/rudira_db_data_set.h"

#include <algorithm>

#include "components/component_messages.h"
#include "components/rudira_database.h"
#include "components/rudira_session.h"

namespace rudira {

TRUDIRADBDataSet::TRUDIRADBDataSet(TComponent* owner) : TRUDIRADataSet(owner) {
  if (TRUDIRASession* autoSession = AutoSessionOf(owner)) sessionName_ = autoSession->SessionName();
}

TRUDIRADBDataSet::~TRUDIRADBDataSet() { CloseDatabase(); }

void TRUDIRADBDataSet::SetDatabaseName(const std::string& name) {
  if (database_ != nullptr || Active()) RaiseDatabaseError(kDatabaseOpen);
  std::string normal = name;
  std::replace(normal.begin(), normal.end(), '/', '\\');
  if (normal == databaseName_) return;
  databaseName_ = normal;
  DatabaseChanged();
}

void TRUDIRADBDataSet::SetSessionName(const std::string& name) {
  if (database_ != nullptr || Active()) RaiseDatabaseError(kDatabaseOpen);
  if (name == sessionName_) return;
  sessionName_ = name;
  DatabaseChanged();
}

TRUDIRASession* TRUDIRADBDataSet::DBSession() const {
  return database_ != nullptr ? database_->Session() : nullptr;
}

void TRUDIRADBDataSet::OpenDatabase() {
  if (database_ == nullptr) database_ = OpenDataSetDatabase(*this);
}

void TRUDIRADBDataSet::CloseDatabase() {
  if (database_ == nullptr) return;
  TRUDIRADatabase* database = database_;
  database_ = nullptr;
  CloseDataSetDatabase(*this, database);
}

void TRUDIRADBDataSet::InternalClose() {
  TRUDIRADataSet::InternalClose();
  CloseDatabase();
}

}  // namespace rudira
