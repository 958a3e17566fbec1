// TDataSession: defaults, databases by directory key with reference counts,
// passwords, the private directory and the progress step.
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "engine/data_session.h"
#include "storage/os_process.h"

namespace rudira {
namespace {

namespace fs = std::filesystem;

TEST(SessionDatabaseTest, DefaultsAreTheDocumentedOnes) {
  TDataSession session;
  EXPECT_FALSE(session.ServerSide());
  EXPECT_EQ(session.ProgressSteps(), 20);
  EXPECT_EQ(session.ProgressStep(), 5);
  EXPECT_FALSE(session.ForceBufferFlush());
  EXPECT_FALSE(session.StrictChangeDetection());
  EXPECT_EQ(session.LockRetryCount(), 15);
  EXPECT_EQ(session.LockWaitTime(), 100);
  EXPECT_EQ(session.LockProtocol(), 0);
  EXPECT_FALSE(session.Remote());
  EXPECT_EQ(session.MaxDataBufferBytes(), 16384);
  EXPECT_EQ(session.MaxDataBufferCount(), 8192);
  EXPECT_EQ(session.MaxIndexBufferBytes(), 16384);
  EXPECT_EQ(session.MaxBlobBufferBytes(), 32768);
  EXPECT_EQ(session.MaxBlobBufferCount(), 8192);
  EXPECT_EQ(session.PrivateDir(), TDataSession::NormalizeDirectory(OsTempDirectory()));
  EXPECT_EQ(session.CurrentDirectory(), TDataSession::NormalizeDirectory(OsCurrentDirectory()));
  EXPECT_TRUE(session.Databases().empty());
  EXPECT_TRUE(session.Passwords().empty());
}

TEST(SessionDatabaseTest, DirectoriesAreTrimmedWithBackslashes) {
  EXPECT_EQ(TDataSession::NormalizeDirectory("  /a/b "), "\\a\\b\\");
  EXPECT_EQ(TDataSession::NormalizeDirectory("kyozai\\"), "kyozai\\");
  EXPECT_EQ(TDataSession::NormalizeDirectory("   "), "");
}

TEST(SessionDatabaseTest, MemoryTwiceIsOneDatabaseWithCountTwo) {
  TDataSession session;
  TDataDirectory* first = session.OpenDatabase("memory", "");
  TDataDirectory* second = session.OpenDatabase("Memory", "");
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->UseCount(), 2);
  EXPECT_TRUE(first->IsMemory());
  EXPECT_EQ(first->DirectoryPath(), "");
  session.CloseDatabase(first);
  EXPECT_EQ(session.Databases().size(), 1u);
  session.CloseDatabase(second);
  EXPECT_TRUE(session.Databases().empty());
  session.CloseDatabase(first);  // no longer listed: ignored
}

TEST(SessionDatabaseTest, DirectoriesDifferingInCaseOrBlanksAreOneDatabase) {
  TDataSession session;
  TDataDirectory* a = session.OpenDatabase("one", "C:\\Data\\Kyozai");
  TDataDirectory* b = session.OpenDatabase("two", "  c:/data/KYOZAI/ ");
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->UseCount(), 2);
  EXPECT_EQ(a->DatabaseName(), "one");
}

TEST(SessionDatabaseTest, NoDirectoryMeansTheCurrentDirectoryAtCreation) {
  const fs::path before = fs::current_path();
  TDataSession session;
  const std::string atCreation = session.CurrentDirectory();
  fs::current_path(fs::temp_directory_path());
  TDataDirectory* database = session.OpenDatabase("kyozai", "");
  fs::current_path(before);
  EXPECT_EQ(database->DirectoryPath(), atCreation);
  EXPECT_FALSE(database->IsMemory());
}

TEST(SessionDatabaseTest, EmptyPrivateDirectoryMeansTheCurrentDirectory) {
  TDataSession session;
  session.SetPrivateDir("  /tmp/work ");
  EXPECT_EQ(session.PrivateDir(), "\\tmp\\work\\");
  EXPECT_EQ(session.EffectivePrivateDir(), "\\tmp\\work\\");
  EXPECT_EQ(session.Settings().PrivateDirectory, "\\tmp\\work\\");
  session.SetPrivateDir("");
  EXPECT_EQ(session.PrivateDir(), "");
  EXPECT_EQ(session.EffectivePrivateDir(), session.CurrentDirectory());
  EXPECT_EQ(session.Settings().PrivateDirectory, session.CurrentDirectory());
}

TEST(SessionDatabaseTest, PasswordsAreKeptOnceAndCompareWithCase) {
  TDataSession session;
  session.AddPassword("Secret");
  session.AddPassword("Secret");
  session.AddPassword("");
  EXPECT_EQ(session.Passwords().size(), 1u);
  EXPECT_TRUE(session.HasPassword("Secret"));
  EXPECT_FALSE(session.HasPassword("secret"));
  session.RemovePassword("SECRET");
  EXPECT_TRUE(session.HasPassword("Secret"));
  session.RemovePassword("Secret");
  EXPECT_FALSE(session.HasPassword("Secret"));
  session.AddPassword("a");
  session.AddPassword("b");
  session.RemoveAllPasswords();
  EXPECT_TRUE(session.Passwords().empty());
}

TEST(SessionDatabaseTest, ProgressStepDividesAHundred) {
  const std::pair<uint16_t, int> cases[] = {{0, 100}, {3, 33}, {20, 5}, {1, 100}, {150, 0}};
  TDataSession session;
  for (const auto& [steps, step] : cases) {
    session.SetProgressSteps(steps);
    EXPECT_EQ(session.ProgressStep(), step) << steps;
  }
}

TEST(SessionDatabaseTest, SettingsReachTheTables) {
  TDataSession session;
  session.SetLockRetryCount(3);
  session.SetLockWaitTime(7);
  session.SetStrictChangeDetection(true);
  session.SetForceBufferFlush(true);
  session.SetMaxIndexBufferBytes(32768);
  TDataDirectory* database = session.OpenDatabase("Memory", "");
  EXPECT_EQ(&database->Settings(), &session.Settings());
  EXPECT_EQ(database->Settings().LockRetryCount, 3);
  EXPECT_EQ(database->Settings().LockWaitTime, 7);
  EXPECT_TRUE(database->Settings().StrictChangeDetection);
  EXPECT_TRUE(database->Settings().ForceBufferFlush);
  EXPECT_EQ(database->Settings().IndexBufferBytes, 32768);
}

TEST(SessionDatabaseTest, BackslashDirectoryOpensTablesOnDisk) {
  std::string pattern = (fs::temp_directory_path() / "session-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  TDataSession session;
  TDataDirectory* database = session.OpenDatabase("db", pattern);
  DataFileDefinition definition;
  TFieldDescriptor field;
  field.FieldName = "N";
  field.FieldType = 6;
  field.FieldNo = 1;
  definition.Fields.push_back(field);
  ASSERT_EQ(database->CreateTable("t", false, false, definition, {}), 0);
  EXPECT_TRUE(fs::exists(pattern + "/t.DAT"));
  TDataTable* table = nullptr;
  ASSERT_EQ(database->OpenTable("t", false, false, false, &table), 0);
  EXPECT_TRUE(table->FilesOpen());
  database->CloseTable(table);
  session.CloseDatabase(database);
  fs::remove_all(pattern);
}

}  // namespace
}  // namespace rudira
