// TDatabaseDataSet: what a database component needs from a dataset that uses
// it, and the two functions through which a dataset gets and gives back its
// database.
//
// The dataset side (the dataset component with its DatabaseName and
// SessionName) belongs to the dataset framework built on top of this layer;
// this interface is the part of it the session and database components see:
// they close attached datasets when a database closes, and an auto-named
// session hands its name to the datasets of its owner.
//
// A dataset uses its database from its open to its close:
//
//   database_ = OpenDataSetDatabase(*this);     // when the dataset opens
//   ...                                         // database_->EngineDirectory()
//   CloseDataSetDatabase(*this, database_);     // when it closes
//
// While attached, the dataset keeps the database's use count raised, which
// keeps a temporary database alive.
#pragma once

#include <string>

namespace rudira {

class TComponent;
class TRUDIRADatabase;

class TDatabaseDataSet {
 public:
  virtual ~TDatabaseDataSet() = default;

  // Closes the dataset; it gives its database back through
  // CloseDataSetDatabase while closing.
  virtual void CloseDataSet() = 0;
  // The owner of the dataset component (a form or data module), or null.
  virtual TComponent* DataSetOwner() const = 0;
  // The dataset's SessionName (empty: the default session) and DatabaseName.
  virtual std::string DataSetSessionName() const = 0;
  virtual std::string DataSetDatabaseName() const = 0;
  // Sets SessionName; an auto-named session calls it for the datasets of its
  // owner.
  virtual void SetDataSetSessionName(const std::string& name) = 0;
};

// Resolves the dataset's database: its session by SessionName ("Session
// name %s is not valid." when unknown; empty: the default session), the
// session's database of that DatabaseName, or a new temporary one; opens it,
// raises its use count and attaches the dataset. Errors pass on and leave
// nothing attached.
TRUDIRADatabase* OpenDataSetDatabase(TDatabaseDataSet& dataSet);
// Detaches the dataset and gives its use back to the database's session
// (TRUDIRASession::CloseDatabase). A null database is ignored.
void CloseDataSetDatabase(TDatabaseDataSet& dataSet, TRUDIRADatabase* database);

}  // namespace rudira
