// TDataCursor open and close: sharing and its refusals, passwords of
// encrypted tables, a lost index file, structure-only cursors.
#include "engine/cursor/cursor_fixture.h"

#include <filesystem>

#include "engine/error_codes.h"
#include "storage/index_header.h"
#include "storage/index_tree.h"

namespace rudira::cursortest {
namespace {

class CursorOpenTest : public CursorTest {};

TEST_F(CursorOpenTest, MissingTableAndExclusiveUseAreRefused) {
  EXPECT_EQ(CodeOf([&] { Open("nothing"); }), RUDIRA_OSENOENT);
  CreatePeople();
  auto shared = Open("people");
  EXPECT_EQ(CodeOf([&] { Open("people", [](TDataCursor& c) { c.SetExclusive(true); }); }), RUDIRA_OSEACCES);
  auto second = Open("people");
  EXPECT_EQ(second->Table(), shared->Table());
  EXPECT_EQ(shared->Table()->UseCount(), 2);
  second->CloseCursor();
  second->CloseCursor();  // closing twice does nothing
  EXPECT_EQ(shared->Table()->UseCount(), 1);
  shared->CloseCursor();
  EXPECT_TRUE(db_->Tables().empty());
}

TEST_F(CursorOpenTest, EncryptedTableOpensWithTheSessionsPassword) {
  CreateTable("secret", {FieldSpec("N", kFieldTypeInteger)}, IndexSpec("", {1}), {}, "Kagi1");
  {
    session_->AddPassword("Kagi1");
    auto cursor = Open("secret");
    std::vector<uint8_t> record = Blank(*cursor);
    Set(*cursor, record, "N", 5);
    cursor->AppendRecord(record.data());
    session_->RemovePassword("Kagi1");
  }
  // Without it the callback is asked; declining gives 10498.
  int asked = 0;
  try {
    Open("secret", [&](TDataCursor& c) {
      c.SetPasswordCallback([&](TDataCursor&) {
        ++asked;
        return false;
      });
    });
    FAIL() << "opened without a password";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), RUDIRA_NOTSUFFTABLERIGHTS);
    EXPECT_EQ(error.ErrorTableName(), "secret");
  }
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(db_->Tables().empty());  // the failed open gave the table back
  EXPECT_EQ(CodeOf([&] { Open("secret"); }), RUDIRA_NOTSUFFTABLERIGHTS);

  // A callback that first offers a wrong password, then the right one.
  std::vector<std::string> offers = {"kagi1", "Kagi1"};
  auto cursor = Open("secret", [&](TDataCursor& c) {
    c.SetPasswordCallback([&](TDataCursor&) {
      if (offers.empty()) return false;
      session_->AddPassword(offers.front());
      offers.erase(offers.begin());
      return true;
    });
  });
  EXPECT_TRUE(offers.empty());
  EXPECT_EQ(Walk(*cursor, "N"), (std::vector<int32_t>{5}));
  cursor->CloseCursor();
  session_->RemoveAllPasswords();

  // Without a callback of its own the cursor asks the session's request.
  int requests = 0;
  session_->SetPasswordCallback([&] {
    ++requests;
    session_->AddPassword("Kagi1");
    return true;
  });
  EXPECT_EQ(Walk(*Open("secret"), "N"), (std::vector<int32_t>{5}));
  EXPECT_EQ(requests, 1);
}

TEST_F(CursorOpenTest, LostIndexFileIsRecreatedAndEveryRecordIsSeen) {
  CreatePeople();
  {
    auto cursor = Open("people");
    for (int32_t id = 1; id <= 40; ++id) AddPerson(*cursor, id, "P" + std::to_string(id), "C");
    std::vector<uint8_t> record = GoTo(*cursor, 7);
    cursor->DeleteRecord(record.data());
  }
  ASSERT_TRUE(std::filesystem::remove(dir_ + "people.IDX"));
  auto cursor = Open("people");
  EXPECT_TRUE(cursor->Table()->IndexesMissing());
  EXPECT_TRUE(std::filesystem::exists(dir_ + "people.IDX"));
  // The definitions went with the file: the cursor reads in natural order.
  EXPECT_TRUE(cursor->NaturalOrder());
  std::vector<int32_t> expected;
  for (int32_t id = 1; id <= 40; ++id) {
    if (id != 7) expected.push_back(id);
  }
  EXPECT_EQ(Walk(*cursor), expected);
  EXPECT_EQ(cursor->GetRecordCount(), 39);
  TIndexFile& index = cursor->Table()->IndexFile();
  EXPECT_EQ(index.ActiveRecordCount(), 39);
  EXPECT_EQ(TIndexTree(index, kSysDeletedSlot).Check(), 40);  // one entry per slot, the deleted one too
  cursor->CloseCursor();

  // The rebuilt index was written: a new open finds it in the file.
  auto again = Open("people");
  EXPECT_FALSE(again->Table()->IndexesMissing());
  EXPECT_EQ(again->Table()->IndexFile().ActiveRecordCount(), 39);
  AddPerson(*again, 41, "P41", "C");
  EXPECT_EQ(again->GetRecordCount(), 40);
}

TEST_F(CursorOpenTest, StructureOnlyCursorReadsTheDefinition) {
  CreatePeople();
  auto cursor = Open("people", [](TDataCursor& c) { c.SetStructureOnly(true); });
  EXPECT_EQ(cursor->Fields().size(), 4u);
  EXPECT_EQ(cursor->Field(2).FieldName, "NAME");
  EXPECT_EQ(CodeOf([&] { cursor->Field(9); }), RUDIRA_OUTOFRANGE);
  std::vector<uint8_t> record(cursor->RecordSize());
  EXPECT_EQ(CodeOf([&] { cursor->AppendRecord(record.data()); }), RUDIRA_OSEACCES);
}

}  // namespace
}  // namespace rudira::cursortest
