// TDataCursor navigation: both ends, index and natural order, record
// numbers, bookmarks, Find, SetIndexName, SetToCursor, clones and block reads.
#include "engine/cursor/cursor_fixture.h"

#include <cstring>

#include "engine/error_codes.h"

namespace rudira::cursortest {
namespace {

class CursorNavigationTest : public CursorTest {
 protected:
  void SetUp() override {
    CursorTest::SetUp();
    CreatePeople();
  }
  // Five people appended out of key order.
  std::unique_ptr<TDataCursor> Populated() {
    auto cursor = Open("people");
    AddPerson(*cursor, 30, "Chiyo", "Osaka");
    AddPerson(*cursor, 10, "Aiko", "Kyoto");
    AddPerson(*cursor, 50, "Eri", "Kyoto");
    AddPerson(*cursor, 20, "Botan", "Osaka");
    AddPerson(*cursor, 40, "Daiki", "Kobe");
    return cursor;
  }
};

TEST_F(CursorNavigationTest, EmptyTableHasBothFlagsAndBlanksTheBuffer) {
  auto cursor = Open("people");
  cursor->SetToBegin();
  EXPECT_TRUE(cursor->AtBeginning());
  EXPECT_TRUE(cursor->AtEnd());
  std::vector<uint8_t> record(cursor->RecordSize(), 0xAA);
  EXPECT_EQ(cursor->GetNextRecord(record.data()), RUDIRA_EOF);
  EXPECT_EQ(record, std::vector<uint8_t>(cursor->RecordSize(), 0));
  EXPECT_EQ(cursor->GetPriorRecord(record.data()), RUDIRA_BOF);
  EXPECT_EQ(cursor->GetCurrentRecord(record.data()), RUDIRA_NOCURRREC);
  EXPECT_EQ(cursor->GetRecordCount(), 0);
  EXPECT_EQ(cursor->GetRecordNo(), 0);
}

TEST_F(CursorNavigationTest, PrimaryOrderBothWaysAndPastTheEnds) {
  auto cursor = Populated();
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{10, 20, 30, 40, 50}));
  EXPECT_EQ(WalkBack(*cursor), (std::vector<int32_t>{50, 40, 30, 20, 10}));

  std::vector<uint8_t> record(cursor->RecordSize());
  cursor->SetToEnd();
  EXPECT_EQ(cursor->GetNextRecord(record.data()), RUDIRA_EOF);
  EXPECT_EQ(cursor->GetNextRecord(record.data()), RUDIRA_EOF);
  ASSERT_EQ(cursor->GetPriorRecord(record.data()), 0);
  EXPECT_EQ(IntOf(*cursor, record), 50);
  EXPECT_EQ(cursor->GetRecordCount(), 5);
}

TEST_F(CursorNavigationTest, NaturalOrderFollowsPhysicalRecordNumbers) {
  Populated();
  auto natural = Open("people", [](TDataCursor& c) { c.SetNaturalOrder(true); });
  EXPECT_TRUE(natural->NaturalOrder());
  EXPECT_TRUE(natural->FilterActive());
  EXPECT_EQ(natural->IndexNo(), kNaturalOrderIndex);
  EXPECT_EQ(Walk(*natural), (std::vector<int32_t>{30, 10, 50, 20, 40}));
  EXPECT_EQ(WalkBack(*natural), (std::vector<int32_t>{40, 20, 50, 10, 30}));
  EXPECT_EQ(natural->GetRecordCount(), 5);
  ASSERT_TRUE(natural->SetToRecordNo(3));
  EXPECT_EQ(IntOf(*natural, Current(*natural)), 50);
}

TEST_F(CursorNavigationTest, IndexZeroWithoutPrimaryKeyFieldsIsNaturalOrder) {
  CreateTable("log", {{"N", kFieldTypeInteger}}, {"", {}});
  auto cursor = Open("log");
  EXPECT_TRUE(cursor->NaturalOrder());
  EXPECT_EQ(cursor->IndexNo(), 0);
  for (int32_t n : {7, 3, 9}) {
    std::vector<uint8_t> record = Blank(*cursor);
    Set(*cursor, record, "N", n);
    cursor->AppendRecord(record.data());
  }
  EXPECT_EQ(Walk(*cursor, "N"), (std::vector<int32_t>{7, 3, 9}));
  EXPECT_EQ(cursor->BookmarkSize(), 4u);
}

TEST_F(CursorNavigationTest, RecordNumbersPositionAndReport) {
  auto cursor = Populated();
  struct Case {
    int32_t Wanted;
    bool Reached;
    bool AtBegin;
    bool AtEnd;
    int32_t Id;  // record read afterwards by GetNextRecord (0: 8706)
  };
  for (const Case& c : {Case{0, false, true, false, 10}, Case{1, true, false, false, 20},
                        Case{4, true, false, false, 50}, Case{5, true, false, false, 0},
                        Case{6, false, false, true, 0}}) {
    SCOPED_TRACE(c.Wanted);
    EXPECT_EQ(cursor->SetToRecordNo(c.Wanted), c.Reached);
    EXPECT_EQ(cursor->AtBeginning(), c.AtBegin);
    EXPECT_EQ(cursor->AtEnd(), c.AtEnd);
    if (c.Reached) {
      EXPECT_EQ(cursor->GetRecordNo(), c.Wanted);
    }
    std::vector<uint8_t> record(cursor->RecordSize());
    const uint16_t code = cursor->GetNextRecord(record.data());
    EXPECT_EQ(code == 0 ? IntOf(*cursor, record) : 0, c.Id);
  }
}

TEST_F(CursorNavigationTest, BookmarksReturnAndLandOnTheFollowingRecord) {
  auto cursor = Populated();
  GoTo(*cursor, 30);
  std::vector<uint8_t> mark30(cursor->BookmarkSize());
  cursor->GetBookmark(mark30.data());
  GoTo(*cursor, 20);
  std::vector<uint8_t> mark20(cursor->BookmarkSize());
  cursor->GetBookmark(mark20.data());
  EXPECT_EQ(cursor->CompareBookmarks(mark20.data(), mark30.data()), -1);
  EXPECT_EQ(cursor->CompareBookmarks(mark30.data(), mark20.data()), 1);
  EXPECT_EQ(cursor->CompareBookmarks(mark30.data(), mark30.data()), 0);

  cursor->SetToEnd();
  EXPECT_TRUE(cursor->SetToBookmark(mark30.data()));
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 30);

  // Record 30 goes: its bookmark now leads to 40, which is not the one asked.
  std::vector<uint8_t> record = Current(*cursor);
  cursor->DeleteRecord(record.data());
  EXPECT_FALSE(cursor->SetToBookmark(mark30.data()));
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 40);
  EXPECT_TRUE(cursor->SetToBookmark(mark30.data(), /*noVerify=*/true));

  // No current record: the bookmark is all zero bytes.
  cursor->SetToBegin();
  std::vector<uint8_t> none(cursor->BookmarkSize(), 0xEE);
  cursor->GetBookmark(none.data());
  EXPECT_EQ(none, std::vector<uint8_t>(cursor->BookmarkSize(), 0));
}

TEST_F(CursorNavigationTest, SetIndexNameKeepsTheRecordAndIgnoresCase) {
  auto cursor = Populated();
  GoTo(*cursor, 40);  // Daiki
  cursor->SetIndexName("byname");
  EXPECT_EQ(cursor->IndexNo(), 1);
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 40);
  EXPECT_EQ(cursor->GetRecordNo(), 4);  // Aiko, Botan, Chiyo, Daiki
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{10, 20, 30, 40, 50}));

  GoTo(*cursor, 30);
  cursor->SetIndexName("BYNAME");  // same index in another case: nothing happens
  EXPECT_EQ(cursor->IndexNo(), 1);
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 30);

  cursor->SetIndexName("ByCityName");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{40, 10, 50, 20, 30}));  // Kobe, Kyoto A/E, Osaka B/C
  cursor->SetIndexName("");
  EXPECT_EQ(cursor->IndexNo(), 0);
}

TEST_F(CursorNavigationTest, UnknownIndexNameRaisesAndChangesNothing) {
  auto cursor = Populated();
  cursor->SetIndexName("ByCityName");
  GoTo(*cursor, 50);
  try {
    cursor->SetIndexName("NoSuchIndex");
    FAIL() << "no error";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), RUDIRA_INVALIDINDEXNAME);
    EXPECT_EQ(error.ErrorIndexName(), "NoSuchIndex");
    EXPECT_EQ(error.ErrorTableName(), "people");
  }
  EXPECT_EQ(cursor->IndexNo(), 2);
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 50);
  EXPECT_EQ(CodeOf([&] { cursor->SetIndexName("Sys Deleted"); }), RUDIRA_INVALIDINDEXNAME);
}

TEST_F(CursorNavigationTest, FindOnOneOfTwoFieldsOfANonUniqueIndex) {
  auto cursor = Populated();
  cursor->SetIndexName("ByCityName");
  std::vector<uint8_t> key = Blank(*cursor);
  std::vector<uint8_t> found(cursor->RecordSize());

  Set(*cursor, key, "CITY", std::string("Osaka"));
  EXPECT_TRUE(cursor->Find(key.data(), false, found.data(), 1, 0, false));
  EXPECT_EQ(IntOf(*cursor, found), 20);  // Botan, the first of Osaka

  Set(*cursor, key, "CITY", std::string("Kyoto"));
  EXPECT_TRUE(cursor->Find(key.data(), false, found.data(), 1, 0, false));
  EXPECT_EQ(IntOf(*cursor, found), 10);

  // Above every key: on the last record, not found.
  Set(*cursor, key, "CITY", std::string("Zama"));
  EXPECT_FALSE(cursor->Find(key.data(), false, found.data(), 1, 0, false));
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 30);
  EXPECT_FALSE(cursor->AtEnd());

  // Between keys: on the following record, not found.
  Set(*cursor, key, "CITY", std::string("Nara"));
  EXPECT_FALSE(cursor->Find(key.data(), false, nullptr, 1, 0, false));
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 20);

  // Both fields with a partial final string.
  Set(*cursor, key, "CITY", std::string("Osaka"));
  Set(*cursor, key, "NAME", std::string("Chi"));
  EXPECT_TRUE(cursor->Find(key.data(), false, found.data(), 2, 3, false));
  EXPECT_EQ(IntOf(*cursor, found), 30);
}

TEST_F(CursorNavigationTest, FindOnAUniqueIndexExactOrNearest) {
  auto cursor = Populated();
  std::vector<uint8_t> key = Blank(*cursor);
  Set(*cursor, key, "ID", 40);
  EXPECT_TRUE(cursor->Find(key.data(), false, nullptr, 0, 0, false));
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 40);

  Set(*cursor, key, "ID", 25);
  EXPECT_FALSE(cursor->Find(key.data(), false, nullptr, 0, 0, false));
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 40);  // not moved without the nearest flag
  EXPECT_FALSE(cursor->Find(key.data(), false, nullptr, 0, 0, true));
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 30);

  // A ready key.
  std::vector<uint8_t> ready(cursor->KeySize());
  Set(*cursor, key, "ID", 10);
  BuildIndexKey(cursor->Table()->IndexFile().Definition(0), cursor->Fields(), key.data(),
                cursor->Table()->DataFile().Locale(), ready.data());
  EXPECT_TRUE(cursor->Find(ready.data(), true, nullptr, 0, 0, false));
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 10);

  auto natural = Open("people", [](TDataCursor& c) { c.SetNaturalOrder(true); });
  EXPECT_FALSE(natural->Find(key.data(), false, nullptr, 0, 0, true));
}

TEST_F(CursorNavigationTest, SetToCursorAndCloneKeepTheRecord) {
  auto cursor = Populated();
  cursor->SetIndexName("ByName");
  GoTo(*cursor, 50);
  auto clone = cursor->CloneCursor();
  EXPECT_TRUE(clone->IsClone());
  EXPECT_EQ(clone->IndexNo(), 1);
  EXPECT_EQ(IntOf(*clone, Current(*clone)), 50);
  EXPECT_EQ(clone->GetRecordCount(), cursor->GetRecordCount());

  auto natural = Open("people", [](TDataCursor& c) { c.SetNaturalOrder(true); });
  EXPECT_EQ(natural->SetToCursor(*cursor), 0);
  EXPECT_EQ(IntOf(*natural, Current(*natural)), 50);
  GoTo(*natural, 20);
  EXPECT_EQ(cursor->SetToCursor(*natural), 0);
  EXPECT_EQ(IntOf(*cursor, Current(*cursor)), 20);

  // The other cursor stands on no record.
  natural->SetToBegin();
  EXPECT_EQ(cursor->SetToCursor(*natural), RUDIRA_RECNOTFOUND);
}

TEST_F(CursorNavigationTest, ReadRecordBlockStopsAtTheEnd) {
  auto cursor = Populated();
  cursor->SetToRecordNo(3);  // on 30
  int32_t count = 4;
  std::vector<uint8_t> block(static_cast<size_t>(cursor->RecordSize()) * 4);
  EXPECT_EQ(cursor->ReadRecordBlock(&count, block.data()), RUDIRA_EOF);
  ASSERT_EQ(count, 2);
  std::vector<uint8_t> second(block.begin() + cursor->RecordSize(), block.begin() + 2 * cursor->RecordSize());
  EXPECT_EQ(IntOf(*cursor, second), 50);
}

TEST_F(CursorNavigationTest, DeleteByAnotherCursorOfTheSessionMovesToTheFollowingRecord) {
  auto a = Populated();
  auto b = Open("people");
  GoTo(*a, 30);
  std::vector<uint8_t> record = GoTo(*b, 30);
  b->DeleteRecord(record.data());
  EXPECT_EQ(IntOf(*a, Current(*a)), 40);

  // The last record deleted under A: A ends up at the end.
  GoTo(*a, 50);
  record = GoTo(*b, 50);
  b->DeleteRecord(record.data());
  std::vector<uint8_t> current(a->RecordSize());
  EXPECT_EQ(a->GetCurrentRecord(current.data()), RUDIRA_EOF);
  EXPECT_EQ(a->GetRecordCount(), 3);
}

}  // namespace
}  // namespace rudira::cursortest
