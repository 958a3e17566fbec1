// The in-memory query keeps the contract of lessons/lesson_query.h that the
// lesson routines rely on.
#include "support/memory_query.h"

#include <gtest/gtest.h>

#include "board/point_geometry.h"
#include "lessons/lesson_tables.h"

namespace momiro::testing {
namespace {

class MemoryQueryTest : public ::testing::Test {
 protected:
  MemoryQueryTest() : query(db) {
    // MNB 7: rows a, b, c in this order; MNB 8 one row between them.
    db.AddFigureRow(7, 1, 1, 11, 0, 4, 0, "a");
    db.AddFigureRow(8, 1, 1, 11, 0, 4, 0, "other");
    db.AddFigureRow(7, 2, 2, 12, 5, 0, 0, "b");
    db.AddFigureRow(7, 3, 1, 11, 0, 4, 0, "c");
    OpenFigures(query, 7);
  }
  std::string Current() const { return query.FieldText(kFigureCMT); }

  MemoryDatabase db;
  MemoryQuery query;
};

TEST_F(MemoryQueryTest, NextAndPriorStopAtTheEndsWithTheirFlags) {
  query.First();
  EXPECT_TRUE(query.Bof());
  EXPECT_FALSE(query.Eof());
  query.Prior();
  EXPECT_TRUE(query.Bof());
  EXPECT_EQ(Current(), "a");
  query.Next();
  EXPECT_FALSE(query.Bof());
  query.Next();
  EXPECT_EQ(Current(), "c");
  EXPECT_FALSE(query.Eof());
  query.Next();
  EXPECT_TRUE(query.Eof());
  EXPECT_EQ(Current(), "c");
  query.Prior();
  EXPECT_FALSE(query.Eof());
  EXPECT_EQ(Current(), "b");
}

TEST_F(MemoryQueryTest, LocateFindsTheFirstMatchOrStaysWhereItWas) {
  query.First();
  query.Next();
  EXPECT_TRUE(query.Locate("COL;PST;BTO", {1, 11, 4}));
  EXPECT_EQ(Current(), "a");
  EXPECT_TRUE(query.Locate("bfr", {5}));  // names ignore case
  EXPECT_EQ(Current(), "b");
  EXPECT_FALSE(query.Locate("COL;PST;BTO", {2, 11, 4}));
  EXPECT_EQ(Current(), "b");
  query.Next();
  query.Next();
  ASSERT_TRUE(query.Eof());
  EXPECT_TRUE(query.Locate("TNB", {1}));
  EXPECT_FALSE(query.Eof());
  EXPECT_THROW(query.Locate("XYZ", {1}), std::runtime_error);
}

TEST_F(MemoryQueryTest, AppendedRowsStartEmptyAndComeLast) {
  query.First();
  query.Append();
  query.SetFieldInt(kFigureMNB, 7);
  query.Next();  // a move stores the pending row
  EXPECT_EQ(db.Table("figure").Rows().size(), 5u);
  OpenFigures(query, 7);
  query.Locate("TNB", {4});
  EXPECT_EQ(query.FieldInt(kFigurePST), 0);
  EXPECT_EQ(query.FieldText(kFigureCMT), "");
  query.Next();
  EXPECT_TRUE(query.Eof());
  // An empty field equals no value, not even 0.
  query.Append();
  query.SetFieldInt(kFigureMNB, 7);
  query.Post();
  EXPECT_FALSE(query.Locate("TNB", {0}));
}

TEST_F(MemoryQueryTest, DeleteMovesToTheFollowingRowOrTheNewLast) {
  query.First();
  query.Delete();
  EXPECT_EQ(Current(), "b");
  query.Next();
  query.Delete();
  EXPECT_EQ(Current(), "b");
  EXPECT_FALSE(query.Eof());
  query.Delete();
  EXPECT_TRUE(query.IsEmpty());
  EXPECT_TRUE(query.Eof());
  EXPECT_TRUE(query.Bof());
  EXPECT_EQ(query.FieldInt(kFigureTES), 0);
  EXPECT_EQ(db.Table("figure").Rows().size(), 1u);
}

TEST_F(MemoryQueryTest, FieldsAreSetOnlyWhileEditing) {
  query.First();
  EXPECT_THROW(query.SetFieldInt(kFigureTES, 9), std::runtime_error);
  query.Edit();
  query.SetFieldInt(kFigureTES, 9);
  query.Close();  // not posted: discarded
  OpenFigures(query, 7);
  query.First();
  EXPECT_EQ(query.FieldInt(kFigureTES), 1);
}

TEST_F(MemoryQueryTest, OnlyTheStatementsOfTheLessonRoutinesAreUnderstood) {
  SetSql(query, {"select MNB from figure"});
  EXPECT_THROW(query.Open(), std::runtime_error);
  SetSql(query, {"select * from figure", "Where MNB = :MNB"});
  MemoryQuery fresh(db);
  SetSql(fresh, {"select * from figure", "Where MNB = :MNB"});
  EXPECT_THROW(fresh.Open(), std::runtime_error);  // no parameter value
  fresh.SetParamInt(0, 8);
  fresh.Open();
  EXPECT_EQ(fresh.FieldText(kFigureCMT), "other");
}

}  // namespace
}  // namespace momiro::testing
