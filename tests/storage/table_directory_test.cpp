// TDataDirectory: sharing table objects, exclusive use, closing, existence,
// temporary names, and transactions with deferred record unlocks.
#include <filesystem>

#include <gtest/gtest.h>

#include "engine/error_codes.h"
#include "storage/support/table_test_support.h"
#include "storage/table_directory.h"

namespace rudira::tabletest {
namespace {

namespace fs = std::filesystem;

class TableDirectoryTest : public TTableTest {
 protected:
  void SetUp() override {
    TTableTest::SetUp();
    CreateTable("t");
    directory_ = std::make_unique<TDataDirectory>(settings_, "db", dir_);
  }
  TDataTable* Open(const std::string& name, bool exclusive = false) {
    TDataTable* table = nullptr;
    EXPECT_EQ(directory_->OpenTable(name, false, false, exclusive, &table), 0) << name;
    return table;
  }
  std::unique_ptr<TDataDirectory> directory_;
};

TEST_F(TableDirectoryTest, CursorsOfTheSessionShareOneTableObject) {
  TDataTable* first = Open("t");
  TDataTable* second = Open(" T.dat ");
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->UseCount(), 2);
  EXPECT_EQ(first->Directory(), directory_.get());
  directory_->CloseTable(first);
  EXPECT_EQ(directory_->Tables().size(), 1u);
  directory_->CloseTable(second);
  EXPECT_TRUE(directory_->Tables().empty());
}

TEST_F(TableDirectoryTest, ExclusiveUseWhileAnotherCursorHasTheTableIsDenied) {
  TDataTable* shared = Open("t");
  TDataTable* table = shared;
  EXPECT_EQ(directory_->OpenTable("t", false, false, true, &table), -11013);
  EXPECT_EQ(table, nullptr);
  directory_->CloseTable(shared);
  TDataTable* exclusive = Open("t", true);
  ASSERT_NE(exclusive, nullptr);
  EXPECT_TRUE(exclusive->ExclusiveOpen());
  EXPECT_EQ(directory_->OpenTable("t", false, false, false, &table), -11013);
  directory_->CloseTable(exclusive);
}

TEST_F(TableDirectoryTest, TablesInUseCannotBeDeletedRenamedOrCreated) {
  TDataTable* table = Open("t");
  EXPECT_EQ(directory_->DeleteTable("t", false), -11013);
  EXPECT_EQ(directory_->RenameTable("t", false, "u", false), -11013);
  EXPECT_EQ(directory_->CreateTable("t", false, false, DataFileDefinition{}, {}), -11013);
  directory_->CloseTable(table);
  EXPECT_EQ(directory_->RenameTable("t", false, "u", false), 0);
  EXPECT_FALSE(directory_->TableExists("t", false));
  EXPECT_TRUE(directory_->TableExists("u.DAT", false));
  EXPECT_EQ(directory_->DeleteTable("u", false), 0);
  EXPECT_FALSE(directory_->TableExists("u", false));
}

TEST_F(TableDirectoryTest, IdleTablesOfATransactionAreReopenedOrDeletedByTheirKind) {
  CreateTable("x");
  directory_->StartTransaction();
  TDataTable* shared = Open("t");
  directory_->CloseTable(shared);
  TDataTable* exclusive = Open("x", true);
  directory_->CloseTable(exclusive);
  ASSERT_EQ(directory_->Tables().size(), 2u);  // both held by the transaction
  TDataTable* table = nullptr;
  // The exclusive one is this session's alone: taken exclusively again, and
  // deleted once idle; the shared one stays with the transaction.
  EXPECT_EQ(directory_->OpenTable("x", false, false, false, &table), -11013);
  EXPECT_EQ(directory_->OpenTable("x", false, false, true, &table), 0);
  EXPECT_EQ(table, exclusive);
  directory_->CloseTable(table);
  EXPECT_EQ(directory_->DeleteTable("t", false), -11013);
  EXPECT_EQ(directory_->DeleteTable("x", false), 0);
  EXPECT_FALSE(directory_->TableExists("x", false));
  directory_->Commit(false);
  EXPECT_TRUE(directory_->TableExists("t", false));
  EXPECT_TRUE(directory_->Tables().empty());
}

TEST_F(TableDirectoryTest, TemporaryTableNameSkipsExistingTables) {
  const std::string firstName = directory_->TemporaryTableName();
  ASSERT_GE(firstName.size(), 6u);
  EXPECT_EQ(firstName.substr(firstName.size() - 5), "0.DAT");
  CreateTable(firstName);
  const std::string secondName = directory_->TemporaryTableName();
  EXPECT_EQ(secondName, firstName.substr(0, firstName.size() - 5) + "1.DAT");
}

TEST_F(TableDirectoryTest, MemoryDirectoryKeepsItsTablesInMemory) {
  TDataDirectory memory(settings_, "Memory", "");
  EXPECT_TRUE(memory.IsMemory());
  TTableTest::CreateTable("disk");  // a disk table of the same name does not count
  DataFileDefinition definition;
  TFieldDescriptor field;
  field.FieldName = "N";
  field.FieldType = 6;
  field.FieldNo = 1;
  definition.Fields.push_back(field);
  const std::string name = "mem" + std::to_string(::getpid());
  ASSERT_EQ(memory.CreateTable(name, false, false, definition, {}), 0);
  EXPECT_TRUE(memory.TableExists(name, false));
  EXPECT_FALSE(fs::exists(name + ".DAT"));
  TDataTable* table = nullptr;
  ASSERT_EQ(memory.OpenTable(name, false, false, false, &table), 0);
  EXPECT_TRUE(table->InMemory());
  memory.CloseTable(table);
  EXPECT_EQ(memory.DeleteTable(name, false), 0);
  EXPECT_FALSE(memory.TableExists(name, false));
}

TEST_F(TableDirectoryTest, RollbackRestoresTheDataAndReleasesDeferredUnlocks) {
  settings_.LockRetryCount = 0;
  settings_.LockWaitTime = 1;
  TDataTable* table = Open("t");
  InsertUnderLock(*table, 1);
  TDataDirectory other(settings_, "db", dir_);  // another session
  TDataTable* theirs = nullptr;
  ASSERT_EQ(other.OpenTable("t", false, false, false, &theirs), 0);

  directory_->StartTransaction();
  EXPECT_TRUE(directory_->InTransaction());
  EXPECT_TRUE(table->InTransaction());
  EXPECT_TRUE(table->TransactionLocked());
  table->LockRecord(1);
  table->WriterLock();
  TRecord* record = table->DataFile().GetRecord(1);
  ASSERT_TRUE(StoreFieldValue(record->Data(), table->DataFile().Fields()[0], int32_t{2}, table->DataFile().Locale()));
  table->DataFile().MarkRecordModified(record);
  table->WriteChanges(false, false);
  table->WriterUnlock();
  table->UnlockRecord(1);
  EXPECT_EQ(CodeOf([&] { theirs->LockRecord(1); }), RUDIRA_RECLOCKFAILED);
  EXPECT_EQ(ValueOf(*table, 1), 2);

  directory_->Rollback();
  EXPECT_FALSE(directory_->InTransaction());
  EXPECT_FALSE(table->TransactionLocked());
  EXPECT_EQ(ValueOf(*table, 1), 1);
  EXPECT_EQ(CodeOf([&] { theirs->LockRecord(1); }), 0);
  theirs->ChangeReaderUnlock();
  theirs->UnlockRecord(1);
  other.CloseTable(theirs);
  directory_->CloseTable(table);
}

TEST_F(TableDirectoryTest, CommitWritesAndThenUnlocks) {
  settings_.LockRetryCount = 0;
  settings_.LockWaitTime = 1;
  TDataTable* table = Open("t");
  directory_->StartTransaction();
  table->LockRecord(1);
  table->WriterLock();
  TRecord* record = table->DataFile().AllocateRecord(true, false);
  ASSERT_TRUE(StoreFieldValue(record->Data(), table->DataFile().Fields()[0], int32_t{7}, table->DataFile().Locale()));
  table->WriteChanges(false, false);
  table->WriterUnlock();
  table->UnlockRecord(1);
  // A table opened during the transaction joins it.
  CreateTable("late");
  TDataTable* late = Open("late");
  EXPECT_TRUE(late->InTransaction());
  // Closing its last user keeps it listed until the transaction ends.
  directory_->CloseTable(late);
  EXPECT_NE(directory_->FindTable("late", false), nullptr);

  TDataDirectory other(settings_, "db", dir_);
  TDataTable* theirs = nullptr;
  ASSERT_EQ(other.OpenTable("t", false, false, false, &theirs), 0);
  EXPECT_EQ(theirs->DataFile().RecordSlotCount(), 0);
  directory_->Commit(true);
  EXPECT_EQ(directory_->FindTable("late", false), nullptr);
  EXPECT_FALSE(table->RecordLockedHere(1));
  EXPECT_TRUE(theirs->CheckForChanges());
  ASSERT_EQ(theirs->DataFile().RecordSlotCount(), 1);
  EXPECT_EQ(ValueOf(*theirs, 1), 7);
  EXPECT_EQ(CodeOf([&] { theirs->LockRecord(1); }), 0);
  theirs->ChangeReaderUnlock();
  theirs->UnlockRecord(1);
  other.CloseTable(theirs);
  directory_->CloseTable(table);
}

}  // namespace
}  // namespace rudira::tabletest
