// TRUDIRADBDataSet: a cursor dataset that reaches its tables through a
// database of a session (rudira_database.h): DatabaseName and SessionName
// name them; the database is resolved when the dataset opens
// (OpenDataSetDatabase: the session's database component of that name or a
// temporary one) and given back when it closes, which keeps a temporary
// database alive while the dataset is open.
//
// DatabaseName and SessionName require a closed dataset ("Cannot perform
// this operation on an open database."); every "/" in DatabaseName becomes
// "\". A dataset created in an owner that holds an auto-named session takes
// that session's name.
#pragma once

#include <string>

#include "components/database_dataset.h"
#include "components/rudira_data_set.h"

namespace rudira {

class TRUDIRADatabase;
class TRUDIRASession;

class TRUDIRADBDataSet : public TRUDIRADataSet, public TDatabaseDataSet {
 public:
  explicit TRUDIRADBDataSet(TComponent* owner = nullptr);
  ~TRUDIRADBDataSet() override;

  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);
  const std::string& SessionName() const { return sessionName_; }
  void SetSessionName(const std::string& name);
  // The database while open, else null.
  TRUDIRADatabase* Database() const { return database_; }
  // The database's session while open, else null.
  TRUDIRASession* DBSession() const;

  // TDatabaseDataSet
  void CloseDataSet() override { Close(); }
  TComponent* DataSetOwner() const override { return Owner(); }
  std::string DataSetSessionName() const override { return sessionName_; }
  std::string DataSetDatabaseName() const override { return databaseName_; }
  void SetDataSetSessionName(const std::string& name) override { sessionName_ = name; }

 protected:
  // Resolves and opens the database (no-op when already held).
  void OpenDatabase();
  // Gives the database back (no-op when none is held).
  void CloseDatabase();
  // Called when DatabaseName or SessionName changed (a query unprepares).
  virtual void DatabaseChanged() {}
  void InternalClose() override;

 private:
  std::string databaseName_;
  std::string sessionName_;
  TRUDIRADatabase* database_ = nullptr;  // while the dataset uses it
};

}  // namespace rudira
