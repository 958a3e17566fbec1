// Helpers of the component tests: a fresh temporary directory per test, small
// tables written with the engine, and a dataset double that uses its
// database through the session as a dataset does.
#pragma once

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "components/component.h"
#include "components/database_dataset.h"

namespace rudira {
class TDataDirectory;
}

namespace rudira::comptest {

// The EDatabaseError message `action` raised; empty when it raised none.
template <typename Action>
std::string MessageOf(Action&& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return error.what();
  }
  return {};
}

// Creates table `name` in `directory` (a path with trailing "/" or "\", or
// empty) holding `records` records: an INTEGER field N numbered from 1.
void WriteTable(const std::string& directory, const std::string& name, int records);
// Creates the same table in an open engine directory (also in memory).
void CreateTableIn(TDataDirectory& directory, const std::string& name, int records);
// Record slots of the table as read through the engine directory; -1 when
// it cannot be opened.
int32_t RecordsIn(TDataDirectory& directory, const std::string& name);

// A dataset as the dataset framework will make it, reduced to its database
// use: Open resolves and opens its database, Close gives it back.
class TTestDataSet : public TComponent, public TDatabaseDataSet {
 public:
  explicit TTestDataSet(TComponent* owner = nullptr, std::string databaseName = {}, std::string sessionName = {});
  ~TTestDataSet() override;

  void Open();
  void Close();
  bool Active() const { return database_ != nullptr; }
  TRUDIRADatabase* Database() const { return database_; }
  int CloseCalls() const { return closeCalls_; }

  void SetDatabaseName(const std::string& name) { databaseName_ = name; }
  const std::string& SessionName() const { return sessionName_; }

  void CloseDataSet() override;
  TComponent* DataSetOwner() const override { return Owner(); }
  std::string DataSetSessionName() const override { return sessionName_; }
  std::string DataSetDatabaseName() const override { return databaseName_; }
  void SetDataSetSessionName(const std::string& name) override { sessionName_ = name; }

 private:
  std::string databaseName_;
  std::string sessionName_;
  TRUDIRADatabase* database_ = nullptr;  // while open
  int closeCalls_ = 0;                   // CloseDataSet calls by a database
};

// A fresh temporary directory (with trailing "/") and, at the end, the
// current directory restored and the default session closed, so that every
// test starts from the process's initial component state.
class TComponentTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string dir_;          // with trailing "/"
  std::string startDir_;     // current directory at SetUp
};

}  // namespace rudira::comptest
