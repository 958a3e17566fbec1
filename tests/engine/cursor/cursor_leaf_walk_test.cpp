// TDataCursor moving along the leaf chain of an index: walks over many leaf
// pages in both directions, with and without a filter, and steps taken after
// another cursor of the session changed the tree under the cursor (splits,
// merges, the next entry deleted, entries inserted next to the position).
#include "engine/cursor/cursor_fixture.h"

#include <algorithm>
#include <iterator>
#include <random>
#include <set>

#include "engine/error_codes.h"

namespace rudira::cursortest {
namespace {

constexpr int32_t kRows = 3000;  // dozens of leaf pages in each index

class CursorLeafWalkTest : public CursorTest {
 protected:
  void SetUp() override {
    CursorTest::SetUp();
    // ID primary key; V = (ID * 7) mod 1000 in the non-unique index ByV.
    CreateTable("t", {{"ID", kFieldTypeInteger}, {"V", kFieldTypeInteger}}, {"", {1}}, {{"ByV", {2}, false}});
    cursor_ = Open("t");
    std::vector<int32_t> ids(kRows);
    for (int32_t i = 0; i < kRows; ++i) ids[static_cast<size_t>(i)] = 2 * i + 2;  // even IDs 2..6000
    std::shuffle(ids.begin(), ids.end(), std::mt19937(23));
    for (int32_t id : ids) Add(*cursor_, id);
  }
  void TearDown() override {
    cursor_.reset();
    CursorTest::TearDown();
  }
  void Add(TDataCursor& cursor, int32_t id) {
    std::vector<uint8_t> record = Blank(cursor);
    Set(cursor, record, "ID", id);
    Set(cursor, record, "V", (id * 7) % 1000);
    cursor.AppendRecord(record.data(), false);
    model_.insert(id);
  }
  void Remove(TDataCursor& cursor, int32_t id) {
    std::vector<uint8_t> key = Blank(cursor);
    Set(cursor, key, "ID", id);
    std::vector<uint8_t> record(cursor.RecordSize());
    ASSERT_TRUE(cursor.Find(key.data(), false, record.data(), 0, 0, false)) << id;
    cursor.DeleteRecord(record.data());
    model_.erase(id);
  }

  std::unique_ptr<TDataCursor> cursor_;
  std::set<int32_t> model_;  // the IDs stored
};

TEST_F(CursorLeafWalkTest, WalksEveryLeafInBothDirections) {
  const std::vector<int32_t> ascending(model_.begin(), model_.end());
  EXPECT_EQ(Walk(*cursor_), ascending);
  EXPECT_EQ(WalkBack(*cursor_), std::vector<int32_t>(ascending.rbegin(), ascending.rend()));

  // ByV orders by V, then by record: compare the (V, ID) pairs as walked
  // with the model sorted that way.
  cursor_->SetIndexName("ByV");
  std::vector<std::pair<int32_t, int32_t>> walked;
  std::vector<uint8_t> record(cursor_->RecordSize());
  cursor_->SetToBegin();
  while (cursor_->GetNextRecord(record.data()) == 0) {
    walked.emplace_back(IntOf(*cursor_, record, "V"), IntOf(*cursor_, record));
  }
  ASSERT_EQ(walked.size(), model_.size());
  EXPECT_TRUE(std::is_sorted(walked.begin(), walked.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; }));
  std::vector<std::pair<int32_t, int32_t>> expected;
  for (int32_t id : model_) expected.emplace_back((id * 7) % 1000, id);
  std::sort(expected.begin(), expected.end());
  std::sort(walked.begin(), walked.end());
  EXPECT_EQ(walked, expected);
}

TEST_F(CursorLeafWalkTest, FilteredWalkSkipsAlongTheLeaves) {
  // About one record in ten passes; the skipped runs cross leaf pages.
  TFilter* filter = cursor_->AddFilter("V < 100");
  cursor_->ActivateFilter(filter);
  std::vector<int32_t> expected;
  for (int32_t id : model_) {
    if ((id * 7) % 1000 < 100) expected.push_back(id);
  }
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(Walk(*cursor_), expected);
  EXPECT_EQ(WalkBack(*cursor_), std::vector<int32_t>(expected.rbegin(), expected.rend()));
  EXPECT_EQ(cursor_->GetRecordCount(), static_cast<int32_t>(expected.size()));
}

TEST_F(CursorLeafWalkTest, StepsAfterAnotherCursorChangedTheTree) {
  auto other = Open("t");
  std::vector<uint8_t> record(cursor_->RecordSize());
  std::vector<int32_t> walked;
  std::set<int32_t> behind;  // inserted below the position: never read
  cursor_->SetToBegin();
  int step = 0;
  while (cursor_->GetNextRecord(record.data()) == 0) {
    const int32_t id = IntOf(*cursor_, record);
    walked.push_back(id);
    switch (step++ % 4) {
      case 0:  // the following odd key: must be read next
        if (!model_.count(id + 1)) Add(*other, id + 1);
        break;
      case 1: {  // the next stored key disappears
        const auto next = model_.upper_bound(id);
        if (next != model_.end()) Remove(*other, *next);
        break;
      }
      case 2:  // a burst before the position splits the pages behind it
        for (int32_t k = 1; k <= 40; k += 2) {
          if (id - k > 0 && !model_.count(id - k)) {
            Add(*other, id - k);
            behind.insert(id - k);
          }
        }
        break;
      default:  // deletes behind the position merge pages
        for (int32_t k = 2; k <= 60; k += 2) {
          if (model_.count(id - k)) Remove(*other, id - k);
        }
        break;
    }
  }
  // Keys read in ascending order, none twice, and every key stored at the
  // end was read unless it was inserted behind the position.
  EXPECT_TRUE(std::is_sorted(walked.begin(), walked.end()));
  EXPECT_EQ(std::adjacent_find(walked.begin(), walked.end()), walked.end());
  std::vector<int32_t> missed;
  std::set_difference(model_.begin(), model_.end(), walked.begin(), walked.end(), std::back_inserter(missed));
  std::vector<int32_t> missedAhead;
  std::set_difference(missed.begin(), missed.end(), behind.begin(), behind.end(), std::back_inserter(missedAhead));
  EXPECT_EQ(missedAhead, std::vector<int32_t>{});
  // The walk back after all the changes agrees with the model.
  EXPECT_EQ(WalkBack(*cursor_), std::vector<int32_t>(model_.rbegin(), model_.rend()));
}

}  // namespace
}  // namespace rudira::cursortest
