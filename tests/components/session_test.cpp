// TRUDIRASession and the session list: defaults, the default session, names
// and auto-session names, settings of open and closed sessions, remote
// sessions, passwords and the password request.
#include <thread>

#include <gtest/gtest.h>

#include "components/component_messages.h"
#include "components/password_dialog.h"
#include "components/rudira_database.h"
#include "components/rudira_session.h"
#include "components/session_list.h"
#include "components/support/component_test_support.h"
#include "engine/data_session.h"

namespace rudira {
namespace {

using comptest::MessageOf;
using comptest::TTestDataSet;

class SessionTest : public comptest::TComponentTest {};

TEST_F(SessionTest, DefaultsAreTheDocumentedOnes) {
  TRUDIRASession session;
  EXPECT_EQ(session.EngineVersion(), "3.30");
  session.SetEngineVersion("9.99");
  EXPECT_EQ(session.EngineVersion(), "3.30");
  EXPECT_FALSE(session.Active());
  EXPECT_FALSE(session.AutoSessionName());
  EXPECT_FALSE(session.ForceBufferFlush());
  EXPECT_TRUE(session.KeepConnections());
  EXPECT_EQ(session.LockRetryCount(), 15);
  EXPECT_EQ(session.LockWaitTime(), 100);
  EXPECT_EQ(session.LockProtocol(), TLockProtocol::lpPessimistic);
  EXPECT_EQ(session.PrivateDir(), "");
  EXPECT_EQ(session.ProgressSteps(), 20);
  EXPECT_EQ(session.SessionName(), "");
  EXPECT_FALSE(session.StrictChangeDetection());
  EXPECT_EQ(session.SessionType(), TSessionType::stLocal);
  EXPECT_EQ(session.RemoteType(), TRemoteType::rtLAN);
  EXPECT_EQ(session.RemoteHost(), "");
  EXPECT_EQ(session.RemoteAddress(), "127.0.0.1");
  EXPECT_EQ(session.RemotePort(), 12005);
  EXPECT_EQ(session.RemoteService(), "");
  EXPECT_FALSE(session.RemoteTrace());
  EXPECT_EQ(session.RemoteUser(), "");
  EXPECT_EQ(session.RemotePassword(), "");
  EXPECT_EQ(session.MaxDataBufferBytes(), 16384);
  EXPECT_EQ(session.MaxDataBufferCount(), 8192);
  EXPECT_EQ(session.MaxIndexBufferBytes(), 16384);
  EXPECT_EQ(session.MaxBlobBufferBytes(), 32768);
  EXPECT_EQ(session.MaxBlobBufferCount(), 8192);
  EXPECT_EQ(session.SessionNumber(), -1);
  EXPECT_FALSE(session.IsDefault());
  EXPECT_EQ(session.LockCount(), 0);
}

TEST_F(SessionTest, TheDefaultSessionIsFirstAndNamedDefault) {
  TRUDIRASession* defaultSession = Sessions().DefaultSession();
  ASSERT_NE(defaultSession, nullptr);
  EXPECT_TRUE(defaultSession->IsDefault());
  EXPECT_EQ(defaultSession->SessionName(), "Default");
  EXPECT_EQ(defaultSession->Owner(), nullptr);
  EXPECT_EQ(Sessions().List().front(), defaultSession);
  EXPECT_EQ(Sessions().FindSession(""), defaultSession);
  EXPECT_EQ(Sessions().FindSession("dEFAULT"), defaultSession);

  TRUDIRASession other;
  other.SetSessionName("Other");
  EXPECT_EQ(Sessions().FindSession("OTHER"), &other);
  EXPECT_EQ(MessageOf([] { Sessions().GetSession("Nowhere"); }), "Session name Nowhere is not valid.");
}

TEST_F(SessionTest, OpeningAnotherSessionOpensTheDefaultOneFirst) {
  TRUDIRASession* defaultSession = Sessions().DefaultSession();
  TRUDIRASession session;
  session.SetSessionName("Second");
  std::vector<std::string> calls;
  defaultSession->OnStartup = [&](TRUDIRASession*) { calls.push_back("Default"); };
  session.OnStartup = [&](TRUDIRASession*) { calls.push_back("Second"); };
  session.Open();
  defaultSession->OnStartup = nullptr;
  EXPECT_TRUE(defaultSession->Active());
  EXPECT_TRUE(session.Active());
  EXPECT_EQ(calls, (std::vector<std::string>{"Second", "Default"}));
  EXPECT_NE(session.EngineSession(), defaultSession->EngineSession());
  EXPECT_EQ(Sessions().CurrentEngineSession(), session.EngineSession());
  session.Close();
  EXPECT_EQ(session.EngineSession(), nullptr);
  defaultSession->Close();
  EXPECT_EQ(defaultSession->EngineSession(), nullptr);
}

TEST_F(SessionTest, NameErrors) {
  TRUDIRASession session;
  EXPECT_EQ(MessageOf([&] { session.Open(); }), "Session name is missing.");
  EXPECT_FALSE(session.Active());
  EXPECT_EQ(MessageOf([&] { session.SetSessionName("default"); }), "Session name default already exists.");
  EXPECT_EQ(session.SessionName(), "");
  session.SetSessionName("Mine");
  session.Open();
  EXPECT_EQ(MessageOf([&] { session.SetSessionName("Yours"); }),
            "Cannot perform this operation on an active session.");
  EXPECT_EQ(session.SessionName(), "Mine");
}

TEST_F(SessionTest, SettingsReachTheEngineSessionAtOpenAndWhileOpen) {
  TRUDIRASession session;
  session.SetSessionName("Settings");
  session.SetLockRetryCount(3);
  session.SetLockWaitTime(7);
  session.SetLockProtocol(TLockProtocol::lpOptimistic);
  session.SetForceBufferFlush(true);
  session.SetStrictChangeDetection(true);
  session.SetProgressSteps(4);
  session.SetPrivateDir(dir_);
  session.SetMaxDataBufferBytes(1000);
  session.SetMaxBlobBufferCount(12);
  session.Open();
  TDataSession* engine = session.EngineSession();
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(engine->LockRetryCount(), 3);
  EXPECT_EQ(engine->LockWaitTime(), 7);
  EXPECT_EQ(engine->LockProtocol(), 1);
  EXPECT_TRUE(engine->ForceBufferFlush());
  EXPECT_TRUE(engine->StrictChangeDetection());
  EXPECT_EQ(engine->ProgressSteps(), 4);
  EXPECT_EQ(engine->PrivateDir(), TDataSession::NormalizeDirectory(dir_));
  EXPECT_EQ(engine->MaxDataBufferBytes(), 1000);
  EXPECT_EQ(engine->MaxBlobBufferCount(), 12);
  EXPECT_EQ(engine->MaxIndexBufferBytes(), 16384);

  session.SetLockRetryCount(9);
  session.SetLockWaitTime(11);
  session.SetLockProtocol(TLockProtocol::lpPessimistic);
  session.SetForceBufferFlush(false);
  session.SetStrictChangeDetection(false);
  session.SetPrivateDir("");
  session.SetRemoteTrace(true);
  EXPECT_EQ(engine->LockRetryCount(), 9);
  EXPECT_EQ(engine->LockWaitTime(), 11);
  EXPECT_EQ(engine->LockProtocol(), 0);
  EXPECT_FALSE(engine->ForceBufferFlush());
  EXPECT_FALSE(engine->StrictChangeDetection());
  EXPECT_EQ(engine->EffectivePrivateDir(), engine->CurrentDirectory());
  EXPECT_TRUE(session.RemoteTrace());
}

TEST_F(SessionTest, AnEmptyPrivateDirMeansTheEngineSessionsDirectory) {
  TRUDIRASession session;
  session.SetSessionName("Private");
  session.Open();
  TDataSession& engine = *session.EngineSession();
  EXPECT_EQ(engine.PrivateDir(), "");
  EXPECT_EQ(engine.EffectivePrivateDir(), engine.CurrentDirectory());
  EXPECT_EQ(engine.Settings().PrivateDirectory, engine.CurrentDirectory());
}

TEST_F(SessionTest, ProgressStepsAboveAHundredAreIgnored) {
  TRUDIRASession session;
  session.SetSessionName("Progress");
  const std::pair<uint16_t, uint16_t> cases[] = {{0, 0}, {150, 0}, {100, 100}, {101, 100}, {20, 20}};
  session.Open();
  for (const auto& [value, expected] : cases) {
    session.SetProgressSteps(value);
    EXPECT_EQ(session.ProgressSteps(), expected) << value;
    EXPECT_EQ(session.EngineSession()->ProgressSteps(), expected) << value;
  }
  session.SetProgressSteps(0);
  EXPECT_EQ(session.EngineSession()->ProgressStep(), 100);
}

TEST_F(SessionTest, RemotePropertiesNeedAnInactiveSession) {
  TRUDIRASession session;
  session.SetSessionName("Remote");
  session.Open();
  const std::vector<std::function<void()>> changes = {
      [&] { session.SetSessionType(TSessionType::stRemote); },
      [&] { session.SetRemoteType(TRemoteType::rtInternet); },
      [&] { session.SetRemoteHost("host"); },
      [&] { session.SetRemoteAddress("10.0.0.1"); },
      [&] { session.SetRemotePort(1); },
      [&] { session.SetRemoteService("svc"); },
      [&] { session.SetRemoteUser("user"); },
      [&] { session.SetRemotePassword("pw"); },
      [&] { session.SetAutoSessionName(true); },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    EXPECT_EQ(MessageOf(changes[i]), "Cannot perform this operation on an active session.") << i;
  }
  EXPECT_EQ(session.SessionType(), TSessionType::stLocal);
  EXPECT_EQ(session.RemotePort(), 12005);
  session.Close();
  for (const auto& change : changes) change();
  EXPECT_EQ(session.RemoteHost(), "host");
  EXPECT_EQ(session.RemotePort(), 1);
}

TEST_F(SessionTest, ARemoteSessionIsRefusedAtOpen) {
  TRUDIRASession session;
  session.SetSessionName("Far");
  session.SetSessionType(TSessionType::stRemote);
  EXPECT_EQ(MessageOf([&] { session.Open(); }),
            "Session Far cannot be opened: remote sessions are not supported.");
  EXPECT_FALSE(session.Active());
}

TEST_F(SessionTest, AutoSessionNamesTakeTheLowestFreeNumber) {
  TComponent form;
  TComponent otherForm;
  auto* first = new TRUDIRASession(&form);
  first->SetName("Session1");
  first->SetAutoSessionName(true);
  const int number = first->SessionNumber();
  EXPECT_EQ(first->SessionName(), "Session1_" + std::to_string(number + 1));
  EXPECT_TRUE(Sessions().SessionNumberUsed(number));

  auto* second = new TRUDIRASession(&otherForm);
  second->SetName("Session1");
  second->SetAutoSessionName(true);
  EXPECT_EQ(second->SessionNumber(), number + 1);
  EXPECT_EQ(second->SessionName(), "Session1_" + std::to_string(number + 2));

  first->SetAutoSessionName(false);
  EXPECT_FALSE(Sessions().SessionNumberUsed(number));
  EXPECT_EQ(first->SessionNumber(), -1);
  TComponent thirdForm;
  auto* third = new TRUDIRASession(&thirdForm);
  third->SetName("S");
  third->SetAutoSessionName(true);
  EXPECT_EQ(third->SessionNumber(), number);

  // Renaming the component regenerates the name.
  third->SetName("Renamed");
  EXPECT_EQ(third->SessionName(), "Renamed_" + std::to_string(number + 1));
  EXPECT_EQ(MessageOf([&] { third->SetSessionName("Manual"); }),
            "Cannot perform this operation on the active auto-session.");
}

TEST_F(SessionTest, AnAutoSessionNamesTheDatasetsAndDatabasesOfItsOwner) {
  TComponent form;
  auto* dataSet = new TTestDataSet(&form, "kyozai", "Default");
  auto* database = new TRUDIRADatabase(&form);
  EXPECT_EQ(database->SessionName(), "Default");
  auto* session = new TRUDIRASession(&form);
  session->SetName("Session1");
  session->SetAutoSessionName(true);
  const std::string name = session->SessionName();
  EXPECT_EQ(dataSet->SessionName(), name);
  EXPECT_EQ(database->SessionName(), name);

  // Components made in or moved into the owner later get the name too.
  auto* later = new TTestDataSet(&form, "kyozai");
  EXPECT_EQ(later->SessionName(), name);
  auto* laterDatabase = new TRUDIRADatabase(&form);
  EXPECT_EQ(laterDatabase->SessionName(), name);
  TComponent elsewhere;
  auto* moved = new TTestDataSet(&elsewhere, "kyozai", "Default");
  form.InsertComponent(moved);
  EXPECT_EQ(moved->SessionName(), name);

  session->SetName("Session2");
  EXPECT_EQ(dataSet->SessionName(), session->SessionName());
  EXPECT_EQ(database->SessionName(), session->SessionName());
}

TEST_F(SessionTest, AutoSessionRulesInOneOwner) {
  TComponent form;
  auto* first = new TRUDIRASession(&form);
  first->SetName("A");
  auto* second = new TRUDIRASession(&form);
  second->SetName("B");
  EXPECT_EQ(MessageOf([&] { second->SetAutoSessionName(true); }),
            "The active auto-session can be the only active session.");
  EXPECT_FALSE(second->AutoSessionName());
  EXPECT_EQ(second->SessionNumber(), -1);
  delete second;
  first->SetAutoSessionName(true);
  EXPECT_EQ(MessageOf([&] { new TRUDIRASession(&form); }), "This auto-session already exists.");
  EXPECT_EQ(form.ComponentCount(), 1);
}

TEST_F(SessionTest, PasswordsGoToTheEngineSession) {
  TRUDIRASession session;
  session.SetSessionName("Passwords");
  session.RemovePassword("none");  // inactive: nothing to remove
  session.AddPassword("Secret");
  ASSERT_TRUE(session.Active());  // a password opens the session
  EXPECT_TRUE(session.EngineSession()->HasPassword("Secret"));
  session.AddPassword("Other");
  session.RemovePassword("SECRET");
  EXPECT_TRUE(session.EngineSession()->HasPassword("Secret"));
  session.RemovePassword("Secret");
  EXPECT_FALSE(session.EngineSession()->HasPassword("Secret"));
  session.RemoveAllPasswords();
  EXPECT_TRUE(session.EngineSession()->Passwords().empty());
  EXPECT_EQ(session.LockCount(), 0);
}

class TRecordingDialog : public TPasswordDialog {
 public:
  bool ShowForSession(TRUDIRASession& session) override {
    shownFor_ = &session;
    session.AddPassword("FromDialog");
    return answer_;
  }
  bool answer_ = true;
  TRUDIRASession* shownFor_ = nullptr;
};

TEST_F(SessionTest, PasswordRequestAsksOnPasswordThenTheDialogElseNo) {
  TRUDIRASession session;
  session.SetSessionName("Request");
  session.Open();
  TDataSession& engine = *session.EngineSession();
  SetPasswordDialog(nullptr);
  EXPECT_FALSE(engine.RequestPassword());  // neither handler nor dialog

  TRecordingDialog dialog;
  SetPasswordDialog(&dialog);
  EXPECT_TRUE(engine.RequestPassword());
  EXPECT_EQ(dialog.shownFor_, &session);
  EXPECT_TRUE(engine.HasPassword("FromDialog"));
  dialog.answer_ = false;
  EXPECT_FALSE(engine.RequestPassword());

  // OnPassword comes first; the dialog is not shown then.
  dialog.shownFor_ = nullptr;
  std::vector<bool> seenContinue;
  session.OnPassword = [&](TRUDIRASession* sender, bool& continueFlag) {
    EXPECT_EQ(sender, &session);
    seenContinue.push_back(continueFlag);
    sender->AddPassword("FromHandler");
  };
  EXPECT_FALSE(engine.RequestPassword());  // Continue left false
  session.OnPassword = [&](TRUDIRASession*, bool& continueFlag) {
    seenContinue.push_back(continueFlag);
    continueFlag = true;
  };
  EXPECT_TRUE(engine.RequestPassword());
  EXPECT_EQ(seenContinue, (std::vector<bool>{false, false}));
  EXPECT_EQ(dialog.shownFor_, nullptr);
  EXPECT_TRUE(engine.HasPassword("FromHandler"));
  SetPasswordDialog(nullptr);
}

TEST_F(SessionTest, ActiveIsAppliedWhenLoadingCompletes) {
  TComponent form;
  auto* session = new TRUDIRASession(&form);
  form.BeginLoad();
  EXPECT_TRUE(session->Loading());
  session->SetActive(true);  // only remembered: no name yet
  session->SetSessionName("Loaded");
  EXPECT_FALSE(session->Active());
  form.EndLoad();
  EXPECT_FALSE(session->Loading());
  EXPECT_TRUE(session->Active());
}

TEST_F(SessionTest, ErrorsWhileLoadingPassOnAfterEveryComponentLoaded) {
  TComponent form;
  auto* unnamed = new TRUDIRASession(&form);
  auto* named = new TRUDIRASession(&form);
  named->SetSessionName("AfterTheFailure");
  form.BeginLoad();
  unnamed->SetActive(true);
  named->SetActive(true);
  EXPECT_EQ(MessageOf([&] { form.EndLoad(); }), "Session name is missing.");
  EXPECT_FALSE(unnamed->Loading());
  EXPECT_TRUE(named->Active());
}

TEST_F(SessionTest, DestroyingASessionHandsItsDatabasesToTheDefaultSession) {
  TComponent form;
  auto* session = new TRUDIRASession(&form);
  session->SetSessionName("Going");
  auto* database = new TRUDIRADatabase(&form);
  database->SetSessionName("Going");
  database->SetDatabaseName("Mine");
  database->SetDirectory(dir_);
  database->Open();
  EXPECT_EQ(database->Session(), session);
  delete session;
  EXPECT_FALSE(database->Connected());
  EXPECT_EQ(database->SessionName(), "");
  EXPECT_EQ(database->Session(), Sessions().DefaultSession());
  database->Open();  // now in the default session
  EXPECT_TRUE(Sessions().DefaultSession()->Active());
}

TEST_F(SessionTest, TheEngineLockNestsPerSessionAndExcludesOtherThreads) {
  TRUDIRASession session;
  session.SetSessionName("Locking");
  session.Open();
  auto otherThreadGetsIt = [] {
    bool got = false;
    std::thread other([&] {
      got = Sessions().EngineLock().try_lock();
      if (got) Sessions().EngineLock().unlock();
    });
    other.join();
    return got;
  };
  session.LockSession();
  {
    TSessionLock nested(session);
    EXPECT_EQ(session.LockCount(), 2);
    EXPECT_EQ(Sessions().CurrentEngineSession(), session.EngineSession());
    EXPECT_FALSE(otherThreadGetsIt());
  }
  EXPECT_EQ(session.LockCount(), 1);
  EXPECT_FALSE(otherThreadGetsIt());
  session.UnlockSession();
  EXPECT_EQ(session.LockCount(), 0);
  EXPECT_TRUE(otherThreadGetsIt());
}

}  // namespace
}  // namespace rudira
