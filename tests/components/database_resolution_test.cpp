// How a dataset's DatabaseName and SessionName find their database: the
// default session, temporary databases named after a directory, the
// in-memory database, path names, KeepConnections and failures.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "components/rudira_database.h"
#include "components/rudira_session.h"
#include "components/session_list.h"
#include "components/support/component_test_support.h"
#include "engine/data_session.h"
#include "storage/table_directory.h"

namespace rudira {
namespace {

namespace fs = std::filesystem;
using comptest::CreateTableIn;
using comptest::MessageOf;
using comptest::RecordsIn;
using comptest::TTestDataSet;
using comptest::WriteTable;

class DatabaseResolutionTest : public comptest::TComponentTest {};

TEST_F(DatabaseResolutionTest, KyozaiIsReadFromTheCurrentDirectoryAtEachOpen) {
  for (const auto& [program, records] : {std::pair{"first", 3}, std::pair{"second", 5}}) {
    fs::create_directories(dir_ + program + "/kyozai");
    WriteTable(dir_ + program + "/kyozai/", "mokuji", records);
  }
  fs::current_path(dir_ + "first");
  TComponent dataModule;
  auto* query = new TTestDataSet(&dataModule, "kyozai");
  query->Open();
  TRUDIRADatabase* database = query->Database();
  ASSERT_NE(database, nullptr);
  EXPECT_TRUE(database->Temporary());
  EXPECT_EQ(database->Session(), Sessions().DefaultSession());
  EXPECT_EQ(database->Owner(), Sessions().DefaultSession());
  EXPECT_EQ(database->Directory(), "kyozai");
  EXPECT_EQ(database->EngineDirectory()->DirectoryPath(), "kyozai\\");
  EXPECT_EQ(RecordsIn(*database->EngineDirectory(), "mokuji"), 3);

  fs::current_path(dir_ + "second");
  EXPECT_EQ(RecordsIn(*database->EngineDirectory(), "mokuji"), 5);
}

TEST_F(DatabaseResolutionTest, TwoDatasetsShareOneTemporaryDatabaseUntilTheSessionCloses) {
  TRUDIRASession* session = Sessions().DefaultSession();
  TTestDataSet contents(nullptr, dir_);
  TTestDataSet figures(nullptr, dir_);
  contents.Open();
  figures.Open();
  TRUDIRADatabase* database = contents.Database();
  EXPECT_EQ(figures.Database(), database);
  EXPECT_EQ(database->UseCount(), 2);
  EXPECT_EQ(database->DataSetCount(), 2);
  EXPECT_EQ(session->Databases().size(), 1u);

  contents.Close();
  figures.Close();
  EXPECT_EQ(session->FindDatabase(dir_), database);
  EXPECT_TRUE(database->Connected());
  EXPECT_EQ(database->UseCount(), 0);

  contents.Open();  // the same database again
  EXPECT_EQ(contents.Database(), database);
  contents.Close();

  session->Close();
  EXPECT_EQ(session->FindDatabase(dir_), nullptr);
  EXPECT_TRUE(session->Databases().empty());
}

TEST_F(DatabaseResolutionTest, SessionCloseClosesTheDatasetsOfItsTemporaryDatabases) {
  TRUDIRASession* session = Sessions().DefaultSession();
  TTestDataSet dataSet(nullptr, dir_);
  dataSet.Open();
  session->Close();
  EXPECT_FALSE(dataSet.Active());
  EXPECT_EQ(dataSet.CloseCalls(), 1);
  EXPECT_TRUE(session->Databases().empty());
}

TEST_F(DatabaseResolutionTest, WithoutKeepConnectionsTheLastCloseFreesTheTemporaryDatabase) {
  TRUDIRASession session;
  session.SetSessionName("Dropping");
  session.SetKeepConnections(false);
  TTestDataSet first(nullptr, dir_, "dropping");
  TTestDataSet second(nullptr, dir_, "DROPPING");
  first.Open();
  second.Open();
  EXPECT_FALSE(first.Database()->KeepConnection());
  first.Close();
  EXPECT_NE(session.FindDatabase(dir_), nullptr);
  second.Close();
  EXPECT_EQ(session.FindDatabase(dir_), nullptr);
  EXPECT_TRUE(session.EngineSession()->Databases().empty());
}

TEST_F(DatabaseResolutionTest, MemoryIsTheInMemoryDatabase) {
  TTestDataSet writer(nullptr, "Memory");
  writer.Open();
  TRUDIRADatabase* database = writer.Database();
  EXPECT_EQ(database->Directory(), "");
  ASSERT_TRUE(database->EngineDirectory()->IsMemory());
  CreateTableIn(*database->EngineDirectory(), "scratch", 2);
  TTestDataSet reader(nullptr, "memory");
  reader.Open();
  EXPECT_EQ(reader.Database(), database);
  EXPECT_EQ(RecordsIn(*reader.Database()->EngineDirectory(), "scratch"), 2);
  EXPECT_FALSE(fs::exists("scratch.DAT"));
  EXPECT_EQ(database->EngineDirectory()->DeleteTable("scratch", true), 0);
}

TEST_F(DatabaseResolutionTest, AMemoryComponentIgnoresItsDirectory) {
  WriteTable(dir_, "ondisk", 1);
  TRUDIRADatabase database;
  database.SetDatabaseName("MEMORY");
  database.SetDirectory(dir_);
  database.Open();
  EXPECT_TRUE(database.EngineDirectory()->IsMemory());
  EXPECT_EQ(database.EngineDirectory()->DirectoryPath(), "");
  EXPECT_EQ(RecordsIn(*database.EngineDirectory(), "ondisk"), -1);  // not the disk table
}

TEST_F(DatabaseResolutionTest, APathNameServesATemporaryDatabase) {
  // Refused for a component ...
  TRUDIRADatabase component;
  EXPECT_EQ(MessageOf([&] { component.SetDatabaseName("c:\\data"); }), "Database name c:\\data is not valid.");
  // ... but a dataset may use it: the engine gets no name and the path.
  TTestDataSet dataSet(nullptr, "c:\\data");
  dataSet.Open();
  TRUDIRADatabase* database = dataSet.Database();
  EXPECT_TRUE(database->Temporary());
  EXPECT_EQ(database->DatabaseName(), "c:\\data");
  EXPECT_EQ(database->EngineDirectory()->DatabaseName(), "");
  EXPECT_EQ(database->EngineDirectory()->DirectoryPath(), "c:\\data\\");

  // An absolute path with "/" reads its tables.
  WriteTable(dir_, "t", 6);
  TTestDataSet absolute(nullptr, dir_);
  absolute.Open();
  EXPECT_EQ(absolute.Database()->DatabaseName(), WithBackslashes(dir_));
  EXPECT_EQ(absolute.Database()->EngineDirectory()->DatabaseName(), "");
  EXPECT_EQ(RecordsIn(*absolute.Database()->EngineDirectory(), "t"), 6);
}

TEST_F(DatabaseResolutionTest, DatasetsOfANamedSessionUseIt) {
  TComponent form;
  auto* session = new TRUDIRASession(&form);
  session->SetName("Session1");
  session->SetAutoSessionName(true);
  auto* dataSet = new TTestDataSet(&form, dir_);
  dataSet->Open();
  EXPECT_EQ(dataSet->Database()->Session(), session);
  EXPECT_TRUE(session->Active());
  EXPECT_EQ(Sessions().DefaultSession()->FindDatabase(dir_), nullptr);
}

TEST_F(DatabaseResolutionTest, FailuresLeaveNothingBehind) {
  TTestDataSet lost(nullptr, "kyozai", "NoSuchSession");
  EXPECT_EQ(MessageOf([&] { lost.Open(); }), "Session name NoSuchSession is not valid.");
  EXPECT_FALSE(lost.Active());

  TRUDIRASession remote;
  remote.SetSessionName("Remote");
  remote.SetSessionType(TSessionType::stRemote);
  TTestDataSet far(nullptr, "kyozai", "Remote");
  EXPECT_EQ(MessageOf([&] { far.Open(); }), "Session Remote cannot be opened: remote sessions are not supported.");
  EXPECT_FALSE(far.Active());
  EXPECT_TRUE(remote.Databases().empty());  // the temporary database was freed
}

}  // namespace
}  // namespace rudira

namespace rudira {
namespace {

// A process that ends with a table still open through the default session
// (the session list and the engine's file list are both process-wide and go
// away when it exits) ends cleanly.
TEST_F(DatabaseResolutionTest, AProcessMayEndWithTablesOpen) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The components first, the files after them, as in the program.
    auto* dataSet = new TTestDataSet(nullptr, dir_);
    dataSet->Open();
    WriteTable(dir_, "open", 2);
    TDataTable* table = nullptr;
    if (dataSet->Database()->EngineDirectory()->OpenTable("open", false, false, false, &table) != 0) ::_exit(2);
    std::exit(table->DataFile().RecordSlotCount() == 2 ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace rudira
