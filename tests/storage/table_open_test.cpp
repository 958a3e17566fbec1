// Table files: names, creation, opening with a lost index file, passwords,
// renaming, deletion, emptying and index backups; change detection through
// the header counters.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "engine/error_codes.h"
#include "storage/field_type.h"
#include "storage/support/file_test_support.h"
#include "storage/support/table_test_support.h"

namespace rudira::tabletest {
namespace {

namespace fs = std::filesystem;

using TableOpenTest = TTableTest;

TEST_F(TableOpenTest, FileNamesTakeTheExtensionOfTheirKind) {
  struct Case {
    std::string table;
    bool inMemory;
    std::string dataName;
    std::string indexBackupName;
  };
  const Case cases[] = {
      {"figure", false, "/db/figure.DAT", "/db/figure.IBK"},
      {"figure.dat", false, "/db/figure.DAT", "/db/figure.IBK"},
      {" figure.IDX ", false, "/db/figure.DAT", "/db/figure.IBK"},
      {"figure.txt", false, "/db/figure.txt.DAT", "/db/figure.txt.IBK"},
      {"/elsewhere/figure", false, "/elsewhere/figure.DAT", "/elsewhere/figure.IBK"},
      {"figure", true, "figure.DAT", "figure.IBK"},
  };
  for (const Case& c : cases) {
    TDataTable table(nullptr, settings_, "/db/", c.table, c.inMemory, false, false);
    EXPECT_EQ(table.FileNameWith(".DAT"), c.dataName) << c.table;
    EXPECT_EQ(table.FileNameWith(".IBK"), c.indexBackupName) << c.table;
  }
}

TEST_F(TableOpenTest, CreatedTableOpensAndVerifies) {
  CreateTable("t", /*withBlob=*/true);
  EXPECT_TRUE(fs::exists(dir_ + "t.DAT"));
  EXPECT_EQ(fs::file_size(dir_ + "t.IDX"), 4096u);
  EXPECT_TRUE(fs::exists(dir_ + "t.BLB"));
  auto table = Table("t");
  table->Open();
  table->Open();
  EXPECT_EQ(table->UseCount(), 2);
  EXPECT_TRUE(table->FilesOpen());
  EXPECT_TRUE(table->HasBlobFields());
  EXPECT_FALSE(table->IndexesMissing());
  EXPECT_FALSE(table->TableReadOnly());
  EXPECT_EQ(CodeOf([&] { table->Verify(); }), 0);
  table->Close();
  EXPECT_TRUE(table->FilesOpen());
  table->Close();
  EXPECT_FALSE(table->FilesOpen());
}

TEST_F(TableOpenTest, TableWithoutBlobFieldsHasNoBlobFile) {
  CreateTable("t");
  EXPECT_FALSE(fs::exists(dir_ + "t.BLB"));
  auto table = Table("t");
  table->Open();
  EXPECT_FALSE(table->HasBlobFields());
}

TEST_F(TableOpenTest, LostIndexFileIsRecreatedEmpty) {
  CreateTable("t");
  fs::remove(dir_ + "t.IDX");
  auto table = Table("t");
  table->Open();
  EXPECT_TRUE(table->IndexesMissing());
  EXPECT_EQ(fs::file_size(dir_ + "t.IDX"), 4096u);
  EXPECT_EQ(CodeOf([&] { table->Verify(); }), 0);
  // The new file is shared like the others: another table object opens it.
  auto other = Table("t");
  EXPECT_EQ(CodeOf([&] { other->Open(); }), 0);
  EXPECT_FALSE(other->IndexesMissing());
  other->Close();
  table->Close();
  EXPECT_FALSE(table->IndexesMissing());
}

TEST_F(TableOpenTest, MissingDataFileFailsAndLeavesNothingOpen) {
  auto table = Table("none");
  EXPECT_EQ(CodeOf([&] { table->Open(); }), RUDIRA_OSENOENT);
  EXPECT_FALSE(table->FilesOpen());
  EXPECT_EQ(table->UseCount(), 0);
  EXPECT_FALSE(fs::exists(dir_ + "none.IDX"));
}

TEST_F(TableOpenTest, ReadOnlyFilesMakeTheTableReadOnlyOnDisk) {
  CreateTable("t");
  fs::permissions(dir_ + "t.IDX", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  auto table = Table("t");
  table->Open();
  EXPECT_TRUE(table->ReadOnlyOnDisk());
  EXPECT_TRUE(table->TableReadOnly());
  EXPECT_FALSE(table->ReaderLock());  // read-only on disk: no locks
}

TEST_F(TableOpenTest, EncryptedTableNeedsAPasswordOfOneToFifteenCharacters) {
  struct Case {
    std::string password;
    uint16_t code;
  };
  const Case cases[] = {{"", RUDIRA_INVALIDPASSWORD},
                        {"   ", RUDIRA_INVALIDPASSWORD},
                        {"0123456789abcdef", RUDIRA_INVALIDPASSWORD},
                        {" 0123456789abcde ", 0},
                        {"k", 0}};
  int i = 0;
  for (const Case& c : cases) {
    DataFileDefinition definition;
    TFieldDescriptor field;
    field.FieldName = "N";
    field.FieldType = kFieldTypeInteger;
    field.FieldNo = 1;
    definition.Fields.push_back(field);
    definition.Encrypted = true;
    definition.Password = c.password;
    const std::string name = "e" + std::to_string(i++);
    TDataTable table(nullptr, settings_, dir_, name, false, false, false);
    EXPECT_EQ(CodeOf([&] { table.Create(definition, {}); }), c.code) << '"' << c.password << '"';
    EXPECT_EQ(fs::exists(dir_ + name + ".DAT"), c.code == 0);
    if (c.code == 0) {
      table.Open();
      EXPECT_EQ(table.DataFile().Password(), c.password.substr(c.password.find_first_not_of(' '),
                                                                c.password.find_last_not_of(' ') -
                                                                    c.password.find_first_not_of(' ') + 1));
      table.Close();
    }
  }
}

TEST_F(TableOpenTest, RenameMovesEveryFileAndBackupsReplaceOldOnes) {
  CreateTable("t", true);
  auto table = Table("t");
  table->Rename("u", false);
  EXPECT_EQ(table->TableName(), "u");
  for (const char* ext : {".DAT", ".IDX", ".BLB"}) {
    EXPECT_FALSE(fs::exists(dir_ + "t" + ext)) << ext;
    EXPECT_TRUE(fs::exists(dir_ + "u" + ext)) << ext;
  }
  std::ofstream(dir_ + "u.DBK") << "old backup";
  table->Rename("ignored", true);
  for (const char* ext : {".DBK", ".IBK", ".BBK"}) EXPECT_TRUE(fs::exists(dir_ + "u" + ext)) << ext;
  EXPECT_GT(fs::file_size(dir_ + "u.DBK"), 100u);
  EXPECT_FALSE(fs::exists(dir_ + "u.DAT"));
}

TEST_F(TableOpenTest, DeleteRemovesTheFilesThatExist) {
  CreateTable("t");
  auto table = Table("t");
  table->Delete();
  EXPECT_FALSE(fs::exists(dir_ + "t.DAT"));
  EXPECT_FALSE(fs::exists(dir_ + "t.IDX"));
  EXPECT_EQ(CodeOf([&] { table->Delete(); }), RUDIRA_OSENOENT);
}

TEST_F(TableOpenTest, EmptyLeavesTheHeadersOnly) {
  CreateTable("t");
  const auto emptySize = fs::file_size(dir_ + "t.DAT");
  auto table = Table("t", /*exclusive=*/true);
  table->Open();
  InsertUnderLock(*table, 1);
  InsertUnderLock(*table, 2);
  EXPECT_GT(fs::file_size(dir_ + "t.DAT"), emptySize);
  table->Empty();
  EXPECT_EQ(fs::file_size(dir_ + "t.DAT"), emptySize);
  EXPECT_EQ(table->DataFile().RecordSlotCount(), 0);
  EXPECT_EQ(fs::file_size(dir_ + "t.IDX"), 4096u);
}

TEST_F(TableOpenTest, RestoredIndexFileIsTheBackupAgain) {
  CreateTable("t");
  auto table = Table("t");
  table->Open();
  table->BackupIndexFile();
  ASSERT_TRUE(fs::exists(dir_ + "t.IBK"));
  const auto before = filetest::FileBytes(dir_ + "t.IBK");
  // The index file grows and changes after the backup.
  table->WriterLock();
  table->IndexFile().AllocatePage(0);
  table->IndexFile().MarkHeaderModified();
  table->WriteChanges(false, false);
  table->WriterUnlock();
  ASSERT_NE(filetest::FileBytes(dir_ + "t.IDX"), before);
  table->RestoreIndexFile(false);
  EXPECT_EQ(filetest::FileBytes(dir_ + "t.IDX"), before);
  EXPECT_FALSE(fs::exists(dir_ + "t.IBK"));
  EXPECT_EQ(CodeOf([&] { table->Verify(); }), 0);
  table->BackupIndexFile();
  table->RestoreIndexFile(/*onlyDelete=*/true);
  EXPECT_FALSE(fs::exists(dir_ + "t.IBK"));
}

// --- change detection ---

class TableChangesTest : public TTableTest {
 protected:
  void SetUp() override {
    TTableTest::SetUp();
    CreateTable("t", /*withBlob=*/true);
    writer_ = Table("t");
    reader_ = Table("t");
    writer_->Open();
    reader_->Open();
  }
  std::unique_ptr<TDataTable> writer_;
  std::unique_ptr<TDataTable> reader_;
};

TEST_F(TableChangesTest, EachFilesCounterIsNoticedOnce) {
  EXPECT_FALSE(reader_->CheckForChanges());
  struct Case {
    const char* file;
    std::function<void(TDataTable&)> change;
  };
  const Case cases[] = {
      {"data", [](TDataTable& t) { t.DataFile().MarkHeaderModified(); }},
      {"index", [](TDataTable& t) { t.IndexFile().MarkHeaderModified(); }},
      {"blob", [](TDataTable& t) { t.BlobFile().MarkHeaderModified(); }},
  };
  for (const Case& c : cases) {
    writer_->WriterLock();
    c.change(*writer_);
    writer_->WriteChanges(true, false);
    writer_->WriterUnlock();
    EXPECT_TRUE(writer_->TableChanged()) << c.file;
    EXPECT_TRUE(reader_->CheckForChanges()) << c.file;
    EXPECT_FALSE(reader_->CheckForChanges()) << c.file;
  }
}

TEST_F(TableChangesTest, CachedRecordsAreDroppedWhenTheCounterMoves) {
  InsertUnderLock(*writer_, 5);
  ASSERT_TRUE(reader_->CheckForChanges());
  EXPECT_EQ(ValueOf(*reader_, 1), 5);
  writer_->WriterLock();
  TRecord* record = writer_->DataFile().GetRecord(1);
  ASSERT_TRUE(StoreFieldValue(record->Data(), writer_->DataFile().Fields()[0], int32_t{6}, writer_->DataFile().Locale()));
  writer_->DataFile().MarkRecordModified(record);
  writer_->DataFile().MarkHeaderModified();
  writer_->WriteChanges(false, false);
  writer_->WriterUnlock();
  EXPECT_EQ(ValueOf(*reader_, 1), 5);  // cached until the change is noticed
  EXPECT_TRUE(reader_->ReaderLock());  // the reader lock checks for changes
  EXPECT_EQ(ValueOf(*reader_, 1), 6);
  reader_->ReaderUnlock();
}

TEST_F(TableChangesTest, InsideATransactionNothingReachesTheFilesUntilTheEnd) {
  const int32_t countBefore = writer_->DataFile().Header().ChangeCount;
  writer_->TransactionLock();
  writer_->SetInTransaction(true);
  writer_->WriterLock();
  TRecord* record = writer_->DataFile().AllocateRecord(true, false);
  ASSERT_TRUE(StoreFieldValue(record->Data(), writer_->DataFile().Fields()[0], int32_t{9}, writer_->DataFile().Locale()));
  writer_->WriteChanges(false, false);
  writer_->WriterUnlock();
  EXPECT_EQ(writer_->DataFile().Header().ChangeCount, countBefore + 1);  // counted in memory
  EXPECT_FALSE(reader_->CheckForChanges());
  EXPECT_EQ(reader_->DataFile().RecordSlotCount(), 0);
  // Commit: the writer lock while still in the transaction, then write.
  writer_->WriterLock();
  writer_->SetInTransaction(false);
  writer_->WriteChanges(false, true);
  writer_->WriterUnlock();
  writer_->TransactionUnlock();
  EXPECT_TRUE(reader_->CheckForChanges());
  ASSERT_EQ(reader_->DataFile().RecordSlotCount(), 1);
  EXPECT_EQ(ValueOf(*reader_, 1), 9);
}

TEST_F(TableChangesTest, DroppingCachesWithHeadersDiscardsBufferedChanges) {
  writer_->SetInTransaction(true);
  writer_->DataFile().AllocateRecord(true, false);
  EXPECT_EQ(writer_->DataFile().RecordSlotCount(), 1);
  writer_->DropCaches(false, true);
  writer_->SetInTransaction(false);
  EXPECT_EQ(writer_->DataFile().RecordSlotCount(), 0);
  EXPECT_FALSE(writer_->DataFile().HeaderModified());
}

}  // namespace
}  // namespace rudira::tabletest
