// TDataCursor::ViewRecordNumbers: the record numbers of a natural-order view,
// as a walk of the view finds them, also after another cursor's change.
#include <cstring>

#include "engine/filter/filter_fixture.h"

namespace rudira::filtertest {
namespace {

class ViewRecordNumbersTest : public FilterTest {
 protected:
  // The physical record numbers of a walk over the view.
  static std::vector<int32_t> WalkedNumbers(TDataCursor& cursor) {
    std::vector<int32_t> numbers;
    std::vector<uint8_t> record(cursor.RecordSize());
    uint8_t bookmark[4];
    cursor.SetToBegin();
    while (cursor.GetNextRecord(record.data()) == 0) {
      cursor.GetBookmark(bookmark);
      int32_t recordNo = 0;
      std::memcpy(&recordNo, bookmark, sizeof recordNo);
      numbers.push_back(recordNo);
    }
    return numbers;
  }
};

TEST_F(ViewRecordNumbersTest, FilteredNaturalViewGivesTheWalkedNumbersAndFollowsOtherCursorsChanges) {
  People();
  auto natural = Open("people", [](TDataCursor& c) { c.SetNaturalOrder(true); });
  const std::vector<int32_t> everyone = WalkedNumbers(*natural);
  EXPECT_EQ(natural->ViewRecordNumbers(), everyone);

  Filter(*natural, "CITY = 'Kyoto'");
  const std::vector<int32_t> kyoto = WalkedNumbers(*natural);
  ASSERT_GT(kyoto.size(), 1u);
  ASSERT_LT(kyoto.size(), everyone.size());
  EXPECT_EQ(natural->ViewRecordNumbers(), kyoto);

  // Another cursor deletes a Kyoto person: its number leaves the view.
  GoTo(*natural, 50);
  uint8_t bookmark[4];
  natural->GetBookmark(bookmark);
  int32_t gone = 0;
  std::memcpy(&gone, bookmark, sizeof gone);
  std::vector<int32_t> expected = kyoto;
  std::erase(expected, gone);
  ASSERT_NE(expected, kyoto);
  auto other = Open("people");
  std::vector<uint8_t> record = GoTo(*other, 50);
  other->DeleteRecord(record.data());
  EXPECT_EQ(natural->ViewRecordNumbers(), expected);
}

}  // namespace
}  // namespace rudira::filtertest
