// The record number (rank in the view) of a natural-order cursor, which is
// counted when asked: after deletes and edits that position the cursor
// again, after steps both ways and after SetToRecordNo, it equals the
// number of records in view up to the current one.
#include "engine/cursor/cursor_fixture.h"

#include <set>

namespace rudira::cursortest {
namespace {

constexpr int32_t kRows = 1500;

class CursorNaturalRankTest : public CursorTest {
 protected:
  void SetUp() override {
    CursorTest::SetUp();
    CreateTable("t", {{"ID", kFieldTypeInteger}, {"V", kFieldTypeInteger}}, {"", {1}});
    auto writer = Open("t");
    for (int32_t id = 1; id <= kRows; ++id) {
      std::vector<uint8_t> record = Blank(*writer);
      Set(*writer, record, "ID", id);
      Set(*writer, record, "V", id % 10);
      writer->AppendRecord(record.data(), false);
      ids_.insert(id);
    }
    cursor_ = Open("t", [](TDataCursor& c) { c.SetNaturalOrder(true); });
  }
  void TearDown() override {
    cursor_.reset();
    CursorTest::TearDown();
  }
  // Appended in ID order into a fresh table, record n holds ID n.
  int32_t Rank(int32_t id) const {
    return static_cast<int32_t>(std::distance(ids_.begin(), ids_.find(id))) + 1;
  }

  std::unique_ptr<TDataCursor> cursor_;
  std::set<int32_t> ids_;  // IDs stored
};

TEST_F(CursorNaturalRankTest, RankAfterDeletesEditsAndSteps) {
  std::vector<uint8_t> record(cursor_->RecordSize());
  // Delete every third record, walking forward: the cursor lands on the
  // following record each time.
  cursor_->SetToBegin();
  ASSERT_EQ(cursor_->GetNextRecord(record.data()), 0);
  while (true) {
    const int32_t id = IntOf(*cursor_, record);
    if (id % 3 == 0) {
      cursor_->DeleteRecord(record.data());
      ids_.erase(id);
      if (cursor_->GetCurrentRecord(record.data()) != 0) break;
    } else if (cursor_->GetNextRecord(record.data()) != 0) {
      break;
    }
    ASSERT_EQ(cursor_->GetRecordNo(), Rank(IntOf(*cursor_, record))) << "after ID " << id;
  }
  // An edit repositions on its record.
  ASSERT_TRUE(cursor_->SetToRecordNo(700));
  ASSERT_EQ(cursor_->GetCurrentRecord(record.data()), 0);
  ASSERT_EQ(cursor_->GetCurrentRecord(record.data(), true), 0);
  const int32_t edited = IntOf(*cursor_, record);
  Set(*cursor_, record, "V", 99);
  cursor_->ModifyRecord(record.data());
  EXPECT_EQ(cursor_->GetRecordNo(), Rank(edited));
  EXPECT_EQ(cursor_->GetRecordNo(), 700);
  // Steps both ways from a rank counted on demand.
  for (int i = 0; i < 5; ++i) ASSERT_EQ(cursor_->GetPriorRecord(record.data()), 0);
  EXPECT_EQ(cursor_->GetRecordNo(), 695);
  for (int i = 0; i < 7; ++i) ASSERT_EQ(cursor_->GetNextRecord(record.data()), 0);
  EXPECT_EQ(cursor_->GetRecordNo(), Rank(IntOf(*cursor_, record)));
  EXPECT_EQ(cursor_->GetRecordCount(), static_cast<int32_t>(ids_.size()));
  cursor_->SetToEnd();
  ASSERT_EQ(cursor_->GetPriorRecord(record.data()), 0);
  EXPECT_EQ(cursor_->GetRecordNo(), static_cast<int32_t>(ids_.size()));
}

}  // namespace
}  // namespace rudira::cursortest
