// TRUDIRADatabase: defaults, names and their normalisation, duplicate names,
// property changes on open databases, opening through the session with its
// directory, shared handles, KeepConnection and transactions.
#include <filesystem>

#include <gtest/gtest.h>

#include "components/rudira_database.h"
#include "components/rudira_session.h"
#include "components/session_list.h"
#include "components/support/component_test_support.h"
#include "engine/data_session.h"
#include "engine/errors.h"
#include "storage/table_directory.h"

namespace rudira {
namespace {

using comptest::MessageOf;
using comptest::RecordsIn;
using comptest::TTestDataSet;
using comptest::WriteTable;

class DatabaseTest : public comptest::TComponentTest {};

TEST_F(DatabaseTest, DefaultsAreTheDocumentedOnes) {
  TComponent form;
  auto* database = new TRUDIRADatabase(&form);
  EXPECT_EQ(database->EngineVersion(), "3.30");
  EXPECT_FALSE(database->Connected());
  EXPECT_EQ(database->DatabaseName(), "");
  EXPECT_EQ(database->Directory(), "");
  EXPECT_EQ(database->RemoteDatabase(), "");
  EXPECT_FALSE(database->HandleShared());
  EXPECT_TRUE(database->KeepConnection());
  EXPECT_EQ(database->SessionName(), "Default");
  EXPECT_EQ(database->Session(), Sessions().DefaultSession());
  EXPECT_FALSE(database->Temporary());
  EXPECT_FALSE(database->SharedHandle());
  EXPECT_EQ(database->UseCount(), 0);
  EXPECT_EQ(database->DataSetCount(), 0);

  // A database owned by a session takes that session's name.
  auto* session = new TRUDIRASession(&form);
  session->SetSessionName("Owning");
  auto* owned = new TRUDIRADatabase(session);
  EXPECT_EQ(owned->SessionName(), "Owning");
  EXPECT_EQ(owned->Session(), session);
}

TEST_F(DatabaseTest, SlashesBecomeBackslashes) {
  TRUDIRADatabase database;
  database.SetDirectory("data/kyozai/");
  database.SetRemoteDatabase("remote/db");
  EXPECT_EQ(database.Directory(), "data\\kyozai\\");
  EXPECT_EQ(database.RemoteDatabase(), "remote\\db");
}

TEST_F(DatabaseTest, PathNamesAreRefusedForDatabaseComponents) {
  TRUDIRADatabase database;
  database.SetDatabaseName("Good");
  const char* const refused[] = {"c:\\data", "c:/data", "dir/sub", "a:b"};
  for (const char* name : refused) {
    std::string expected = std::string("Database name ") + WithBackslashes(name) + " is not valid.";
    EXPECT_EQ(MessageOf([&] { database.SetDatabaseName(name); }), expected) << name;
    EXPECT_EQ(database.DatabaseName(), "Good");
  }
  database.SetDatabaseName("日本語の名前");  // multibyte names hold no separator bytes
  EXPECT_EQ(database.DatabaseName(), "日本語の名前");
}

TEST_F(DatabaseTest, ANameIsNeededToOpen) {
  TRUDIRADatabase database;
  bool before = false;
  database.BeforeConnect = [&](TRUDIRADatabase* sender) { before = sender == &database; };
  EXPECT_EQ(MessageOf([&] { database.Open(); }), "Database name is missing.");
  EXPECT_TRUE(before);
  EXPECT_FALSE(database.Connected());
}

TEST_F(DatabaseTest, AnUnknownSessionNameFailsAtOpen) {
  TRUDIRADatabase database;
  database.SetDatabaseName("Data");
  database.SetSessionName("Missing");
  EXPECT_EQ(MessageOf([&] { database.Open(); }), "Session name Missing is not valid.");
  EXPECT_FALSE(database.Connected());
}

TEST_F(DatabaseTest, OpeningMovesTheDatabaseToItsSessionAndOpensTheSession) {
  TRUDIRASession session;
  session.SetSessionName("Target");
  TRUDIRADatabase database;
  database.SetDatabaseName("Data");
  database.SetDirectory(dir_);
  database.SetSessionName("target");
  ASSERT_EQ(database.Session(), Sessions().DefaultSession());
  database.Open();
  EXPECT_TRUE(session.Active());
  EXPECT_EQ(database.Session(), &session);
  EXPECT_EQ(session.FindDatabase("DATA"), &database);
  EXPECT_EQ(Sessions().DefaultSession()->FindDatabase("Data"), nullptr);
  EXPECT_EQ(database.EngineDirectory()->DirectoryPath(), TDataSession::NormalizeDirectory(dir_));
  EXPECT_EQ(database.EngineDirectory()->DatabaseName(), "Data");
}

TEST_F(DatabaseTest, ReadsTablesFromItsDirectory) {
  WriteTable(dir_, "mokuji", 3);
  TRUDIRADatabase database;
  database.SetDatabaseName("Lessons");
  database.SetDirectory("  " + dir_ + "  ");
  database.Open();
  EXPECT_EQ(RecordsIn(*database.EngineDirectory(), "mokuji"), 3);
}

TEST_F(DatabaseTest, AMissingDirectorySurfacesWhenATableOpens) {
  TRUDIRADatabase database;
  database.SetDatabaseName("Nowhere");
  database.SetDirectory(dir_ + "absent");
  database.Open();
  TDataTable* table = nullptr;
  try {
    database.EngineDirectory()->OpenTable("mokuji", false, false, false, &table);
    FAIL() << "opened a table of a missing directory";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), 11010);
  }
}

TEST_F(DatabaseTest, PropertyChangesOnAnOpenDatabaseAreRefused) {
  TRUDIRADatabase database;
  database.SetDatabaseName("Open");
  database.SetDirectory(dir_);
  database.Open();
  const std::vector<std::function<void()>> changes = {
      [&] { database.SetDatabaseName("Other"); }, [&] { database.SetDirectory("x"); },
      [&] { database.SetRemoteDatabase("r"); },   [&] { database.SetSessionName("s"); },
      [&] { database.SetHandleShared(true); },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    EXPECT_EQ(MessageOf(changes[i]), "Cannot perform this operation on an open database.") << i;
  }
  EXPECT_EQ(database.DatabaseName(), "Open");
  EXPECT_EQ(database.Directory(), WithBackslashes(dir_));
  database.Close();
  for (const auto& change : changes) change();
  EXPECT_EQ(database.DatabaseName(), "Other");
}

TEST_F(DatabaseTest, DuplicateNamesInOneSession) {
  TRUDIRADatabase first;
  first.SetDatabaseName("Same");
  TRUDIRADatabase second;
  EXPECT_EQ(MessageOf([&] { second.SetDatabaseName("SAME"); }), "Database name SAME already exists.");
  EXPECT_EQ(second.DatabaseName(), "");

  // Both with HandleShared may share the name.
  first.SetHandleShared(true);
  second.SetHandleShared(true);
  second.SetDatabaseName("same");
  EXPECT_EQ(second.DatabaseName(), "same");

  // A database of the same name in another session is no duplicate.
  TRUDIRASession session;
  session.SetSessionName("Elsewhere");
  TRUDIRADatabase third(&session);
  third.SetDatabaseName("Same");
  EXPECT_EQ(third.DatabaseName(), "Same");
}

TEST_F(DatabaseTest, AnUnusedTemporaryDatabaseGivesWayToAComponent) {
  TRUDIRASession* session = Sessions().DefaultSession();
  TTestDataSet dataSet(nullptr, dir_ + "kyozai");
  TRUDIRADatabase database;
  database.SetDatabaseName("Taken");
  dataSet.SetDatabaseName("Held");
  dataSet.Open();
  TRUDIRADatabase* held = session->FindDatabase("Held");
  ASSERT_NE(held, nullptr);
  ASSERT_TRUE(held->Temporary());
  // In use: the name is refused.
  TRUDIRADatabase other;
  EXPECT_EQ(MessageOf([&] { other.SetDatabaseName("held"); }), "Database name held already exists.");
  dataSet.Close();
  ASSERT_EQ(session->FindDatabase("Held"), held);  // kept open: KeepConnections
  other.SetDatabaseName("held");
  EXPECT_EQ(session->FindDatabase("Held"), &other);
  EXPECT_EQ(session->Databases().size(), 2u);  // `database` and `other`
}

TEST_F(DatabaseTest, HandleSharedUsesTheOtherDatabasesDirectory) {
  TComponent form;
  auto* first = new TRUDIRADatabase(&form);
  first->SetHandleShared(true);
  first->SetDatabaseName("Shared");
  first->SetDirectory(dir_);
  auto* second = new TRUDIRADatabase(&form);
  second->SetHandleShared(true);
  second->SetDatabaseName("Shared");
  second->SetDirectory(dir_ + "elsewhere");
  first->Open();
  second->Open();
  EXPECT_TRUE(second->SharedHandle());
  EXPECT_FALSE(first->SharedHandle());
  EXPECT_EQ(second->EngineDirectory(), first->EngineDirectory());
  // The directory outlives whichever closes first.
  TDataDirectory* directory = first->EngineDirectory();
  first->Close();
  EXPECT_EQ(second->EngineDirectory(), directory);
  WriteTable(dir_, "t", 2);
  EXPECT_EQ(RecordsIn(*directory, "t"), 2);
  second->Close();
  EXPECT_FALSE(second->SharedHandle());
  EXPECT_TRUE(Sessions().DefaultSession()->EngineSession()->Databases().empty());
}

TEST_F(DatabaseTest, DatasetsPreferASharedDatabaseOfTheirOwner) {
  TComponent formA;
  TComponent formB;
  auto* ofA = new TRUDIRADatabase(&formA);
  ofA->SetHandleShared(true);
  ofA->SetDatabaseName("Pick");
  ofA->SetDirectory(dir_);
  auto* ofB = new TRUDIRADatabase(&formB);
  ofB->SetHandleShared(true);
  ofB->SetDatabaseName("Pick");
  ofB->SetDirectory(dir_);
  auto* dataSet = new TTestDataSet(&formB, "pick");
  dataSet->Open();
  EXPECT_EQ(dataSet->Database(), ofB);
  auto* stranger = new TTestDataSet(nullptr, "pick");
  stranger->Open();
  EXPECT_EQ(stranger->Database(), ofA);  // none of its owner: the first of that name
  delete stranger;
}

TEST_F(DatabaseTest, KeepConnectionFalseClosesAnUnusedDatabase) {
  TRUDIRADatabase database;
  database.SetDatabaseName("Keep");
  database.SetDirectory(dir_);
  TTestDataSet dataSet(nullptr, "Keep");
  dataSet.Open();
  EXPECT_EQ(database.UseCount(), 1);
  database.SetKeepConnection(false);
  EXPECT_TRUE(database.Connected());  // a dataset still uses it
  dataSet.Close();
  EXPECT_FALSE(database.Connected());
  database.Open();
  database.SetKeepConnection(true);
  database.SetKeepConnection(false);
  EXPECT_FALSE(database.Connected());
}

TEST_F(DatabaseTest, ClosingADatabaseClosesItsDatasetsFirst) {
  TRUDIRADatabase database;
  database.SetDatabaseName("Closing");
  database.SetDirectory(dir_);
  TTestDataSet a(nullptr, "Closing");
  TTestDataSet b(nullptr, "closing");
  a.Open();
  b.Open();
  EXPECT_EQ(database.DataSetCount(), 2);
  EXPECT_EQ(database.UseCount(), 2);
  database.Close();
  EXPECT_FALSE(a.Active());
  EXPECT_FALSE(b.Active());
  EXPECT_EQ(a.CloseCalls(), 1);
  EXPECT_EQ(b.CloseCalls(), 1);
  EXPECT_EQ(database.DataSetCount(), 0);
  EXPECT_EQ(database.UseCount(), 0);
}

TEST_F(DatabaseTest, TransactionStates) {
  TRUDIRADatabase database;
  database.SetDatabaseName("Tx");
  database.SetDirectory(dir_);
  EXPECT_EQ(MessageOf([&] { database.StartTransaction(); }), "Cannot perform this operation on a closed database.");
  EXPECT_EQ(MessageOf([&] { database.Commit(); }), "Cannot perform this operation on a closed database.");
  database.Open();
  EXPECT_EQ(MessageOf([&] { database.Commit(); }), "Database Tx has no active transaction.");
  EXPECT_EQ(MessageOf([&] { database.Rollback(); }), "Database Tx has no active transaction.");
  database.StartTransaction();
  EXPECT_TRUE(database.InTransaction());
  EXPECT_TRUE(database.EngineDirectory()->InTransaction());
  EXPECT_EQ(MessageOf([&] { database.StartTransaction(); }), "Database Tx already has an active transaction.");
  database.Commit(true);
  EXPECT_FALSE(database.InTransaction());
  database.StartTransaction();
  database.Rollback();
  EXPECT_FALSE(database.EngineDirectory()->InTransaction());
}

TEST_F(DatabaseTest, ACommitWritesAndARollbackDiscardsTheTablesChanges) {
  WriteTable(dir_, "t", 1);
  TRUDIRADatabase database;
  database.SetDatabaseName("Changes");
  database.SetDirectory(dir_);
  database.Open();
  TDataDirectory& directory = *database.EngineDirectory();
  TDataTable* table = nullptr;
  ASSERT_EQ(directory.OpenTable("t", false, false, false, &table), 0);
  auto append = [&] {
    table->WriterLock();
    table->DataFile().AllocateRecord(true, false);
    table->WriteChanges(false, false);
    table->WriterUnlock();
  };
  database.StartTransaction();
  append();
  database.Rollback();
  EXPECT_EQ(table->DataFile().RecordSlotCount(), 1);
  database.StartTransaction();
  append();
  database.Commit();
  directory.CloseTable(table);
  database.Close();
  database.Open();
  EXPECT_EQ(RecordsIn(*database.EngineDirectory(), "t"), 2);
}

TEST_F(DatabaseTest, ClosingTheLastUserRollsAnOpenTransactionBack) {
  TRUDIRADatabase database;
  database.SetDatabaseName("Left");
  database.SetDirectory(dir_);
  database.Open();
  database.StartTransaction();
  database.Close();
  database.Open();
  EXPECT_FALSE(database.InTransaction());
}

TEST_F(DatabaseTest, ConnectedIsAppliedWhenLoadingCompletes) {
  WriteTable(dir_, "t", 4);
  TComponent module;
  auto* database = new TRUDIRADatabase(&module);
  module.BeginLoad();
  database->SetConnected(true);
  database->SetDatabaseName("Streamed");
  database->SetDirectory(dir_);
  EXPECT_FALSE(database->Connected());
  module.EndLoad();
  ASSERT_TRUE(database->Connected());
  EXPECT_EQ(RecordsIn(*database->EngineDirectory(), "t"), 4);
}

}  // namespace
}  // namespace rudira
