// TDataCursor change detection across processes: records changed, deleted
// and inserted by another process seen under the lax and the strict check,
// and record locks held by another process.
#include "engine/cursor/cursor_fixture.h"

#include "engine/error_codes.h"

namespace rudira::cursortest {
namespace {

// The child process must be forked while the parent has no table open:
// otherwise it would inherit the parent's descriptors and their locks.
class CursorChangeTest : public CursorTest {
 protected:
  void SetUp() override {
    CursorTest::SetUp();
    CreatePeople();
    auto cursor = Open("people");
    AddPerson(*cursor, 1, "Aiko", "Kyoto");
    AddPerson(*cursor, 2, "Botan", "Osaka");
    AddPerson(*cursor, 3, "Chiyo", "Kobe");
  }
  using Change = std::function<void(TDataCursor&)>;
  // Forks a child with a session of its own that runs `changes` one per
  // Go(), on one cursor of "people" kept open from the first step on. A
  // step reports 1 when it succeeded.
  void StartChild(TSteppedChild& child, std::vector<Change> changes) {
    auto state = std::make_shared<std::pair<OtherUser, std::unique_ptr<TDataCursor>>>();
    std::vector<TSteppedChild::Step> steps;
    for (Change& change : changes) {
      steps.push_back([this, state, change] {
        if (!state->second) {
          state->first = NewUser();
          state->second = Open("people", {}, state->first.Session.get(), state->first.Db);
        }
        change(*state->second);
        return 1;
      });
    }
    child.Start(std::move(steps));
  }
  static void Rename(TDataCursor& cursor, int32_t id, const std::string& name) {
    std::vector<uint8_t> record = GoTo(cursor, id);
    if (cursor.GetCurrentRecord(record.data(), true) != 0) throw std::runtime_error("edit");
    Set(cursor, record, "NAME", name);
    cursor.ModifyRecord(record.data());
  }
};

TEST_F(CursorChangeTest, LaxCheckSeesAnotherProcessOnlyAfterALock) {
  TSteppedChild child;
  StartChild(child, {[](TDataCursor& c) { Rename(c, 2, "Bara"); }});
  auto reader = Open("people");
  EXPECT_EQ(TextOf(*reader, GoTo(*reader, 2), "NAME"), "Botan");
  ASSERT_EQ(child.Go(), 1);

  // No lock taken, nothing read from disk: the cached record stays.
  EXPECT_EQ(TextOf(*reader, Current(*reader), "NAME"), "Botan");

  // Another cursor of the session begins an edit; its record lock re-reads
  // the headers, and the reader resynchronises at its next operation.
  auto editor = Open("people");
  std::vector<uint8_t> record = GoTo(*editor, 3);
  ASSERT_EQ(editor->GetCurrentRecord(record.data(), true), 0);
  editor->CancelRecord();
  EXPECT_EQ(TextOf(*reader, Current(*reader), "NAME"), "Bara");
  EXPECT_EQ(IntOf(*reader, Current(*reader)), 2);
  EXPECT_EQ(child.Finish(), 0);
}

TEST_F(CursorChangeTest, StrictCheckSeesAnotherProcessAtTheNextOperation) {
  TSteppedChild child;
  StartChild(child, {[](TDataCursor& c) { Rename(c, 2, "Bara"); },
                     [](TDataCursor& c) {
                       std::vector<uint8_t> record = GoTo(c, 2);
                       c.DeleteRecord(record.data());
                     }});
  session_->SetStrictChangeDetection(true);
  auto reader = Open("people");
  EXPECT_EQ(TextOf(*reader, GoTo(*reader, 2), "NAME"), "Botan");
  ASSERT_EQ(child.Go(), 1);
  EXPECT_EQ(TextOf(*reader, Current(*reader), "NAME"), "Bara");
  EXPECT_FALSE(reader->Table()->ReaderLocked());  // released at the end of the operation

  // A deletion moves the cursor to the following record.
  ASSERT_EQ(child.Go(), 1);
  EXPECT_EQ(IntOf(*reader, Current(*reader)), 3);
  EXPECT_EQ(child.Finish(), 0);
}

TEST_F(CursorChangeTest, InsertByAnotherProcessIsCountedOnlyUnderTheStrictCheck) {
  TSteppedChild child;
  StartChild(child, {[](TDataCursor& c) { AddPerson(c, 4, "Daiki", "Nara"); },
                     [](TDataCursor& c) { AddPerson(c, 5, "Eri", "Nara"); }});
  auto cursor = Open("people");
  EXPECT_EQ(cursor->GetRecordCount(), 3);
  ASSERT_EQ(child.Go(), 1);
  EXPECT_EQ(cursor->GetRecordCount(), 3);
  cursor->Refresh();  // the strict check on request
  EXPECT_EQ(cursor->GetRecordCount(), 4);

  session_->SetStrictChangeDetection(true);
  ASSERT_EQ(child.Go(), 1);
  EXPECT_EQ(cursor->GetRecordCount(), 5);
  EXPECT_EQ(WalkBack(*cursor), (std::vector<int32_t>{5, 4, 3, 2, 1}));
  EXPECT_EQ(child.Finish(), 0);
}

TEST_F(CursorChangeTest, OptimisticPostAfterAnotherProcessChangedTheRecord) {
  TSteppedChild child;
  StartChild(child, {[](TDataCursor& c) { Rename(c, 1, "Ai"); }});
  session_->SetLockProtocol(kLockProtocolOptimistic);
  auto cursor = Open("people");
  std::vector<uint8_t> record = GoTo(*cursor, 1);
  ASSERT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
  ASSERT_EQ(child.Go(), 1);
  Set(*cursor, record, "CITY", std::string("Nara"));
  // The writer lock re-reads the headers: the stored record differs.
  EXPECT_EQ(CodeOf([&] { cursor->ModifyRecord(record.data()); }), RUDIRA_KEYORRECDELETED);
  EXPECT_TRUE(cursor->RecordChanged());
  cursor->CancelRecord();
  EXPECT_EQ(TextOf(*cursor, Current(*cursor), "NAME"), "Ai");
  EXPECT_EQ(TextOf(*cursor, Current(*cursor), "CITY"), "Kyoto");
  EXPECT_EQ(child.Finish(), 0);
}

TEST_F(CursorChangeTest, RecordLockedByAnotherProcess) {
  TSteppedChild child;
  StartChild(child, {[](TDataCursor& c) {
                       std::vector<uint8_t> record = GoTo(c, 2);
                       if (c.GetCurrentRecord(record.data(), true) != 0) throw std::runtime_error("edit");
                     },
                     [](TDataCursor& c) { c.CancelRecord(); }});
  session_->SetLockRetryCount(2);
  session_->SetLockWaitTime(5);
  ASSERT_EQ(child.Go(), 1);
  auto cursor = Open("people");
  std::vector<uint8_t> record = GoTo(*cursor, 2);
  EXPECT_EQ(CodeOf([&] { cursor->GetCurrentRecord(record.data(), true); }), RUDIRA_RECLOCKFAILED);
  EXPECT_EQ(cursor->LockedRecordNo(), 0);
  // Another record is free.
  record = GoTo(*cursor, 3);
  EXPECT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
  cursor->CancelRecord();
  ASSERT_EQ(child.Go(), 1);  // the child cancels its edit
  record = GoTo(*cursor, 2);
  EXPECT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
  cursor->CancelRecord();
  EXPECT_EQ(child.Finish(), 0);
}

}  // namespace
}  // namespace rudira::cursortest
