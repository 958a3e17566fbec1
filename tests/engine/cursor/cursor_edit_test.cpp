// TDataCursor editing: append, modify, delete, record locks between cursors
// of a session, pessimistic and optimistic edits, uniqueness over every
// index, auto-increment values, read-only cursors and a model walk.
#include "engine/cursor/cursor_fixture.h"

#include <map>
#include <numeric>
#include <random>

#include "engine/error_codes.h"
#include "storage/index_header.h"
#include "storage/index_tree.h"
#include "storage/record_layout.h"

namespace rudira::cursortest {
namespace {

class CursorEditTest : public CursorTest {
 protected:
  void SetUp() override {
    CursorTest::SetUp();
    CreatePeople();
  }
  // The entries of every index and the record count, checked for
  // consistency on the way.
  static std::vector<int64_t> IndexCounts(TDataCursor& cursor) {
    std::vector<int64_t> counts;
    TIndexFile& index = cursor.Table()->IndexFile();
    for (int slot : {0, 1, 2, kSysDeletedSlot}) counts.push_back(TIndexTree(index, slot).Check());
    counts.push_back(index.ActiveRecordCount());
    return counts;
  }
};

TEST_F(CursorEditTest, AppendModifyDeleteKeepEveryIndexInStep) {
  auto cursor = Open("people");
  AddPerson(*cursor, 2, "Botan", "Osaka");
  AddPerson(*cursor, 1, "Aiko", "Kyoto");
  EXPECT_EQ(IndexCounts(*cursor), (std::vector<int64_t>{2, 2, 2, 2, 2}));
  // Reposition puts the cursor on the new record.
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 1);

  std::vector<uint8_t> record = GoTo(*cursor, 2);
  ASSERT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
  Set(*cursor, record, "ID", 3);
  Set(*cursor, record, "NAME", std::string("Chiyo"));
  cursor->ModifyRecord(record.data());
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 3);
  EXPECT_EQ(cursor->LockedRecordNo(), 0);
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1, 3}));
  cursor->SetIndexName("ByName");
  std::vector<uint8_t> key = Blank(*cursor);
  Set(*cursor, key, "NAME", std::string("Chiyo"));
  EXPECT_TRUE(cursor->Find(key.data(), false, nullptr, 0, 0, false));
  Set(*cursor, key, "NAME", std::string("Botan"));
  EXPECT_FALSE(cursor->Find(key.data(), false, nullptr, 0, 0, false));
  cursor->SetIndexName("");

  record = GoTo(*cursor, 1);
  cursor->DeleteRecord(record.data());
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 3);
  EXPECT_EQ(IndexCounts(*cursor), (std::vector<int64_t>{1, 1, 1, 2, 1}));
  EXPECT_EQ(cursor->GetRecordCount(), 1);

  // The freed slot is taken again by the next append.
  AddPerson(*cursor, 4, "Daiki", "Kobe");
  EXPECT_EQ(cursor->Table()->DataFile().RecordSlotCount(), 2);
  EXPECT_EQ(IndexCounts(*cursor), (std::vector<int64_t>{2, 2, 2, 2, 2}));
}

TEST_F(CursorEditTest, AutoIncrementValuesAreAssignedOrKeptWhenSuppressed) {
  auto cursor = Open("people");
  AddPerson(*cursor, 1, "Aiko", "Kyoto");
  AddPerson(*cursor, 2, "Botan", "Kyoto");
  EXPECT_EQ(RecordAutoIncValue(GoTo(*cursor, 2).data()), 2);

  cursor->SuppressAutoInc(true);
  std::vector<uint8_t> record = Blank(*cursor);
  Set(*cursor, record, "ID", 3);
  Set(*cursor, record, "NAME", std::string("Chiyo"));
  SetRecordAutoIncValue(record.data(), 40);
  cursor->AppendRecord(record.data());
  EXPECT_EQ(RecordAutoIncValue(Current(*cursor).data()), 40);
  EXPECT_EQ(cursor->Table()->DataFile().Header().LastAutoIncValue, 40);

  // A caller-given value already in use is a key violation of the
  // deleted-records index.
  Set(*cursor, record, "ID", 4);
  Set(*cursor, record, "NAME", std::string("Daiki"));
  SetRecordAutoIncValue(record.data(), 2);
  EXPECT_EQ(CodeOf([&] { cursor->AppendRecord(record.data()); }), RUDIRA_KEYVIOL);

  cursor->SuppressAutoInc(false);
  SetRecordAutoIncValue(record.data(), 7);  // ignored
  cursor->AppendRecord(record.data());
  EXPECT_EQ(RecordAutoIncValue(Current(*cursor).data()), 41);
}

TEST_F(CursorEditTest, DuplicateOnTheSecondUniqueIndexChangesNothing) {
  {
    auto cursor = Open("people");
    AddPerson(*cursor, 1, "Aiko", "Kyoto");
    AddPerson(*cursor, 2, "Botan", "Osaka");
  }
  const std::vector<char> dataBefore = FileBytes("people.DAT");
  const std::vector<char> indexBefore = FileBytes("people.IDX");
  auto cursor = Open("people");
  const std::vector<int64_t> countsBefore = IndexCounts(*cursor);

  std::vector<uint8_t> record = Blank(*cursor);
  Set(*cursor, record, "ID", 3);
  Set(*cursor, record, "NAME", std::string("Botan"));  // unique in "ByName"
  Set(*cursor, record, "CITY", std::string("Nara"));
  try {
    cursor->AppendRecord(record.data());
    FAIL() << "no error";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), RUDIRA_KEYVIOL);
    EXPECT_EQ(error.ErrorIndexName(), "ByName");
  }
  EXPECT_EQ(IndexCounts(*cursor), countsBefore);
  EXPECT_EQ(cursor->Table()->DataFile().RecordSlotCount(), 2);
  EXPECT_EQ(cursor->Table()->DataFile().Header().LastAutoIncValue, 2);
  EXPECT_FALSE(cursor->Table()->WriteLocked());
  EXPECT_EQ(cursor->LockedRecordNo(), 0);
  cursor->CloseCursor();
  EXPECT_EQ(FileBytes("people.DAT"), dataBefore);
  EXPECT_EQ(FileBytes("people.IDX"), indexBefore);

  // The same on a modify: the record keeps its old values.
  cursor = Open("people");
  record = GoTo(*cursor, 1);
  ASSERT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
  Set(*cursor, record, "NAME", std::string("Botan"));
  EXPECT_EQ(CodeOf([&] { cursor->ModifyRecord(record.data()); }), RUDIRA_KEYVIOL);
  EXPECT_EQ(cursor->LockedRecordNo(), 0);
  EXPECT_EQ(TextOf(*cursor, GoTo(*cursor, 1), "NAME"), "Aiko");
  EXPECT_EQ(IndexCounts(*cursor), countsBefore);
}

TEST_F(CursorEditTest, TwoCursorsOfASessionCannotEditOneRecord) {
  session_->SetLockRetryCount(255);
  session_->SetLockWaitTime(60000);  // a retry wait would stall the test for hours
  auto a = Open("people");
  AddPerson(*a, 1, "Aiko", "Kyoto");
  AddPerson(*a, 2, "Botan", "Osaka");
  auto b = Open("people");
  std::vector<uint8_t> recordA = GoTo(*a, 1);
  std::vector<uint8_t> recordB = GoTo(*b, 1);
  ASSERT_EQ(a->GetCurrentRecord(recordA.data(), true), 0);
  EXPECT_EQ(a->LockedRecordNo(), 1);
  EXPECT_TRUE(a->Table()->RecordLockedHere(1));
  EXPECT_EQ(CodeOf([&] { b->GetCurrentRecord(recordB.data(), true); }), RUDIRA_RECLOCKFAILED);
  EXPECT_EQ(CodeOf([&] { b->DeleteRecord(recordB.data()); }), RUDIRA_RECLOCKFAILED);
  EXPECT_EQ(b->LockedRecordNo(), 0);

  // Another record is free; after A cancels, B can lock record 1.
  std::vector<uint8_t> other = GoTo(*b, 2);
  EXPECT_EQ(b->GetCurrentRecord(other.data(), true), 0);
  b->CancelRecord();
  a->CancelRecord();
  EXPECT_FALSE(a->Table()->RecordLockedHere(1));
  recordB = GoTo(*b, 1);
  EXPECT_EQ(b->GetCurrentRecord(recordB.data(), true), 0);
  b->CancelRecord();
}

TEST_F(CursorEditTest, PessimisticEditOfAChangedRecordFailsWithoutALock) {
  auto a = Open("people");
  AddPerson(*a, 1, "Aiko", "Kyoto");
  auto b = Open("people");
  std::vector<uint8_t> readByA = GoTo(*a, 1);

  std::vector<uint8_t> record = GoTo(*b, 1);
  ASSERT_EQ(b->GetCurrentRecord(record.data(), true), 0);
  Set(*b, record, "CITY", std::string("Nara"));
  b->ModifyRecord(record.data());

  EXPECT_EQ(CodeOf([&] { a->GetCurrentRecord(readByA.data(), true); }), RUDIRA_KEYORRECDELETED);
  EXPECT_EQ(a->LockedRecordNo(), 0);
  EXPECT_FALSE(a->Table()->RecordLockedHere(1));
  // With a fresh copy the edit begins.
  readByA = Current(*a);
  EXPECT_EQ(TextOf(*a, readByA, "CITY"), "Nara");
  EXPECT_EQ(a->GetCurrentRecord(readByA.data(), true), 0);
  a->CancelRecord();
}

TEST_F(CursorEditTest, OptimisticChangeStaysUntilCancel) {
  session_->SetLockProtocol(kLockProtocolOptimistic);
  auto a = Open("people");
  AddPerson(*a, 1, "Aiko", "Kyoto");
  auto b = Open("people");

  std::vector<uint8_t> editA = GoTo(*a, 1);
  ASSERT_EQ(a->GetCurrentRecord(editA.data(), true), 0);
  EXPECT_EQ(a->LockedRecordNo(), 0);  // optimistic: no lock while editing

  std::vector<uint8_t> editB = GoTo(*b, 1);
  ASSERT_EQ(b->GetCurrentRecord(editB.data(), true), 0);
  Set(*b, editB, "AGE", int16_t{41});
  b->ModifyRecord(editB.data());

  Set(*a, editA, "AGE", int16_t{42});
  EXPECT_EQ(CodeOf([&] { a->ModifyRecord(editA.data()); }), RUDIRA_KEYORRECDELETED);
  EXPECT_TRUE(a->RecordChanged());
  // A has re-read the record meanwhile, yet the edit stays refused.
  EXPECT_EQ(CodeOf([&] { a->ModifyRecord(editA.data()); }), RUDIRA_KEYORRECDELETED);
  EXPECT_FALSE(a->Table()->RecordLockedHere(1));
  a->CancelRecord();
  EXPECT_FALSE(a->RecordChanged());

  editA = Current(*a);
  ASSERT_EQ(a->GetCurrentRecord(editA.data(), true), 0);
  Set(*a, editA, "AGE", int16_t{42});
  a->ModifyRecord(editA.data());
  EXPECT_EQ(Get(*b, Current(*b), "AGE"), TFieldValue(int16_t{42}));
}

TEST_F(CursorEditTest, ReadOnlyCursorRefusesWrites) {
  {
    auto writer = Open("people");
    AddPerson(*writer, 1, "Aiko", "Kyoto");
  }
  auto reader = Open("people", [](TDataCursor& c) { c.SetReadOnly(true); });
  std::vector<uint8_t> record = GoTo(*reader, 1);
  for (const auto& write : std::vector<std::function<void()>>{
           [&] { reader->AppendRecord(record.data()); },
           [&] { reader->ModifyRecord(record.data()); },
           [&] { reader->DeleteRecord(record.data()); }}) {
    EXPECT_EQ(CodeOf(write), RUDIRA_OSEACCES);
  }
  EXPECT_EQ(Walk(*reader), (std::vector<int32_t>{1}));
}

TEST_F(CursorEditTest, ExclusiveCursorWritesWithoutLocks) {
  auto cursor = Open("people", [](TDataCursor& c) { c.SetExclusive(true); });
  AddPerson(*cursor, 1, "Aiko", "Kyoto");
  std::vector<uint8_t> record = GoTo(*cursor, 1);
  ASSERT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
  EXPECT_FALSE(cursor->Table()->RecordLockedHere(1));
  Set(*cursor, record, "CITY", std::string("Nara"));
  cursor->ModifyRecord(record.data());
  auto clone = cursor->CloneCursor();
  EXPECT_EQ(TextOf(*clone, Current(*clone), "CITY"), "Nara");
  EXPECT_EQ(CodeOf([&] { Open("people"); }), RUDIRA_OSEACCES);
}

// Random appends, modifications and deletions through two cursors of one
// session, checked against a map after every step in both orders.
TEST_F(CursorEditTest, RandomEditsMatchAModel) {
  auto a = Open("people");
  auto b = Open("people");
  b->SetIndexName("ByName");
  std::map<int32_t, std::string> model;
  std::mt19937 random(7);
  auto nameOf = [](int32_t id) { return "N" + std::to_string(1000 - id); };
  for (int step = 0; step < 400; ++step) {
    const int32_t id = static_cast<int32_t>(random() % 60);
    TDataCursor& cursor = (random() % 2) ? *a : *b;
    const bool present = model.count(id) != 0;
    std::vector<uint8_t> key = Blank(cursor);
    Set(cursor, key, "ID", id);
    Set(cursor, key, "NAME", present ? model[id] : nameOf(id));
    const bool found = cursor.Find(key.data(), false, nullptr, 0, 0, false);
    ASSERT_EQ(found, present) << step;
    if (!present) {
      AddPerson(cursor, id, nameOf(id), "C");
      model[id] = nameOf(id);
    } else if (random() % 2) {
      std::vector<uint8_t> record = Current(cursor);
      cursor.DeleteRecord(record.data());
      model.erase(id);
    } else {
      std::vector<uint8_t> record = Current(cursor);
      ASSERT_EQ(cursor.GetCurrentRecord(record.data(), true), 0);
      const std::string name = "M" + std::to_string(step);
      Set(cursor, record, "NAME", name);
      cursor.ModifyRecord(record.data());
      model[id] = name;
    }
    if (step % 40 == 0 || step == 399) {
      std::vector<int32_t> ids;
      for (const auto& [key, value] : model) ids.push_back(key);
      ASSERT_EQ(Walk(*a), ids) << step;
      ASSERT_EQ(static_cast<size_t>(b->GetRecordCount()), model.size());
      std::map<std::string, int32_t> byName;
      for (const auto& [key, value] : model) byName[value] = key;
      std::vector<int32_t> idsByName;
      for (const auto& [name, key] : byName) idsByName.push_back(key);
      ASSERT_EQ(Walk(*b), idsByName) << step;
      TIndexFile& index = a->Table()->IndexFile();
      for (int slot : {0, 1, 2}) ASSERT_EQ(TIndexTree(index, slot).Check(), static_cast<int64_t>(model.size()));
    }
  }
}

class CursorTransactionTest : public CursorEditTest {};

TEST_F(CursorTransactionTest, RecordStaysLockedUntilCommitButItsCursorMayEditAgain) {
  session_->SetLockRetryCount(255);
  session_->SetLockWaitTime(60000);  // a retry wait would stall the test for hours
  auto a = Open("people");
  AddPerson(*a, 1, "Aiko", "Kyoto");
  auto b = Open("people");
  db_->StartTransaction();
  std::vector<uint8_t> record = GoTo(*a, 1);
  ASSERT_EQ(a->GetCurrentRecord(record.data(), true), 0);
  Set(*a, record, "CITY", std::string("Nara"));
  a->ModifyRecord(record.data());
  EXPECT_EQ(a->LockedRecordNo(), 0);
  EXPECT_TRUE(a->Table()->RecordLockedHere(1));  // its unlock waits for the commit

  record = Current(*a);
  ASSERT_EQ(a->GetCurrentRecord(record.data(), true), 0);  // the same record again
  std::vector<uint8_t> other = GoTo(*b, 1);
  EXPECT_EQ(CodeOf([&] { b->GetCurrentRecord(other.data(), true); }), RUDIRA_RECLOCKFAILED);
  a->CancelRecord();
  db_->Commit(false);
  EXPECT_FALSE(a->Table()->RecordLockedHere(1));
  other = Current(*b);
  EXPECT_EQ(TextOf(*b, other, "CITY"), "Nara");
  EXPECT_EQ(b->GetCurrentRecord(other.data(), true), 0);
  b->CancelRecord();
}

TEST_F(CursorTransactionTest, RollbackTakesBackAppendedRecords) {
  auto cursor = Open("people");
  AddPerson(*cursor, 1, "Aiko", "Kyoto");
  db_->StartTransaction();
  AddPerson(*cursor, 2, "Botan", "Osaka");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1, 2}));
  db_->Rollback();
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1}));
  EXPECT_EQ(cursor->GetRecordCount(), 1);
  AddPerson(*cursor, 3, "Chiyo", "Kobe");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1, 3}));
}

TEST_F(CursorTransactionTest, DeletesOverflowingTheIndexCachesWriteNothingUntilRollbackTakesThemBack) {
  // Enough records that each index spans many more pages than its cache
  // holds at the default buffer sizes.
  constexpr int32_t kPeople = 1500;
  auto cursor = Open("people");
  for (int32_t id = 1; id <= kPeople; ++id) {
    AddPerson(*cursor, id, "N" + std::to_string(id), "C" + std::to_string(id % 7));
  }
  const std::vector<char> dataBefore = FileBytes("people.DAT");
  const std::vector<char> indexBefore = FileBytes("people.IDX");
  std::vector<int32_t> all(kPeople);
  std::iota(all.begin(), all.end(), 1);

  db_->StartTransaction();
  std::vector<uint8_t> record(cursor->RecordSize());
  cursor->SetToBegin();
  ASSERT_EQ(cursor->GetNextRecord(record.data()), 0);
  for (int32_t deleted = 0; deleted < kPeople - 100; ++deleted) {
    ASSERT_EQ(cursor->GetCurrentRecord(record.data()), 0);
    cursor->DeleteRecord(record.data());
  }
  EXPECT_EQ(cursor->GetRecordCount(), 100);
  // Inside the transaction the changes stay in the caches.
  EXPECT_EQ(FileBytes("people.IDX"), indexBefore);
  EXPECT_EQ(FileBytes("people.DAT"), dataBefore);
  db_->Rollback();

  EXPECT_EQ(Walk(*cursor), all);
  EXPECT_EQ(IndexCounts(*cursor),
            (std::vector<int64_t>{kPeople, kPeople, kPeople, kPeople, kPeople}));
  cursor->SetIndexName("ByName");
  std::vector<uint8_t> key = Blank(*cursor);
  Set(*cursor, key, "NAME", std::string("N777"));
  EXPECT_TRUE(cursor->Find(key.data(), false, nullptr, 0, 0, false));
}

}  // namespace
}  // namespace rudira::cursortest
