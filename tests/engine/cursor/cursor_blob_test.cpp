// TDataCursor BLOBs: writes reach the file on post and are dropped on
// cancel, modified values replace the old chain, deleted records free their
// chains, and cloned records get their own copy.
#include "engine/cursor/cursor_fixture.h"

#include <string>

#include "engine/error_codes.h"

namespace rudira::cursortest {
namespace {

class CursorBlobTest : public CursorTest {
 protected:
  void SetUp() override {
    CursorTest::SetUp();
    CreateTable("notes", {FieldSpec("ID", kFieldTypeInteger), FieldSpec("M", kFieldTypeBlob, 0, kSubTypeMemo)},
                IndexSpec("", {1}));
  }
  static constexpr int kMemo = 2;
  static std::string Text(TDataCursor& cursor, const std::vector<uint8_t>& record) {
    const size_t size = cursor.GetBlobSize(kMemo, record.data());
    std::string text(size, '\0');
    EXPECT_EQ(cursor.GetBlob(kMemo, record.data(), 0, size, reinterpret_cast<uint8_t*>(text.data())), size);
    return text;
  }
  static void Put(TDataCursor& cursor, std::vector<uint8_t>& record, const std::string& text) {
    cursor.TruncateBlob(kMemo, record.data(), 0);
    cursor.PutBlob(kMemo, record.data(), 0, text.size(), reinterpret_cast<const uint8_t*>(text.data()));
  }
  static void AddNote(TDataCursor& cursor, int32_t id, const std::string& text) {
    std::vector<uint8_t> record = Blank(cursor);
    Set(cursor, record, "ID", id);
    Put(cursor, record, text);
    cursor.AppendRecord(record.data());
  }
};

TEST_F(CursorBlobTest, PostedValuesReachTheFileAndSurviveReopening) {
  const std::string longText(3000, 'x');
  {
    auto cursor = Open("notes");
    AddNote(*cursor, 1, "short");
    AddNote(*cursor, 2, longText);
    EXPECT_EQ(cursor->OpenBlobCount(), 0u);  // entries go after the post
  }
  auto cursor = Open("notes");
  EXPECT_EQ(Text(*cursor, GoTo(*cursor, 1)), "short");
  EXPECT_EQ(Text(*cursor, GoTo(*cursor, 2)), longText);
  std::vector<uint8_t> record = GoTo(*cursor, 2);
  uint8_t part[4] = {};
  EXPECT_EQ(cursor->GetBlob(kMemo, record.data(), 2998, 4, part), 2u);
  EXPECT_EQ(CodeOf([&] { cursor->GetBlobSize(1, record.data()); }), RUDIRA_NOTABLOB);
}

TEST_F(CursorBlobTest, CancelDropsTheWritesAndModifyReplacesTheValue) {
  auto cursor = Open("notes");
  AddNote(*cursor, 1, "first");
  std::vector<uint8_t> record = GoTo(*cursor, 1);
  ASSERT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
  Put(*cursor, record, "changed but cancelled");
  EXPECT_EQ(Text(*cursor, record), "changed but cancelled");
  cursor->CancelRecord();
  EXPECT_EQ(Text(*cursor, GoTo(*cursor, 1)), "first");

  record = GoTo(*cursor, 1);
  ASSERT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
  Put(*cursor, record, std::string(2000, 'y'));
  cursor->ModifyRecord(record.data());
  auto other = Open("notes");
  EXPECT_EQ(Text(*other, GoTo(*other, 1)), std::string(2000, 'y'));
  const int32_t blocks = cursor->Table()->BlobFile().BlockCount();

  // A shorter value reuses the chain; the surplus goes to the free chain.
  record = GoTo(*cursor, 1);
  ASSERT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
  Put(*cursor, record, "tiny");
  cursor->ModifyRecord(record.data());
  EXPECT_EQ(Text(*other, GoTo(*other, 1)), "tiny");
  EXPECT_EQ(cursor->Table()->BlobFile().BlockCount(), blocks);
  EXPECT_NE(cursor->Table()->BlobFile().Header().FirstFreeBlock, 0);
}

TEST_F(CursorBlobTest, DeleteFreesTheChainAndClonedRecordsOwnTheirCopy) {
  auto cursor = Open("notes");
  AddNote(*cursor, 1, std::string(1500, 'a'));
  std::vector<uint8_t> copy(cursor->RecordSize());
  GoTo(*cursor, 1);
  ASSERT_EQ(cursor->CloneCurrentRecord(copy.data()), 0);
  Set(*cursor, copy, "ID", 2);
  cursor->AppendRecord(copy.data());

  // Changing the copy leaves the original alone.
  std::vector<uint8_t> record = GoTo(*cursor, 2);
  EXPECT_EQ(Text(*cursor, record), std::string(1500, 'a'));
  ASSERT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
  Put(*cursor, record, "copy");
  cursor->ModifyRecord(record.data());
  EXPECT_EQ(Text(*cursor, GoTo(*cursor, 1)), std::string(1500, 'a'));
  EXPECT_EQ(Text(*cursor, GoTo(*cursor, 2)), "copy");

  // A record appended with another record's reference gets its own chain.
  std::vector<uint8_t> sharing = GoTo(*cursor, 1);
  Set(*cursor, sharing, "ID", 3);
  cursor->AppendRecord(sharing.data());
  record = GoTo(*cursor, 1);
  cursor->DeleteRecord(record.data());
  EXPECT_EQ(Text(*cursor, GoTo(*cursor, 3)), std::string(1500, 'a'));
  EXPECT_NE(cursor->Table()->BlobFile().Header().FirstFreeBlock, 0);
}

}  // namespace
}  // namespace rudira::cursortest
