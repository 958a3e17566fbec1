// Opening the contents and figure rows, renumbering, and free branch numbers.
#include "lessons/lesson_tables.h"

#include <gtest/gtest.h>

#include "support/lesson_fixture.h"

namespace momiro::testing {
namespace {

std::vector<int> Column(MemoryQuery& query, int position) {
  std::vector<int> values;
  query.First();
  while (!query.Eof()) {
    values.push_back(query.FieldInt(position));
    query.Next();
  }
  return values;
}

class LessonTablesTest : public ::testing::Test {
 protected:
  LessonTablesTest() : contents(db), figures(db), branches(db) { AddFixtureLesson(db); }

  MemoryDatabase db;
  MemoryQuery contents;
  MemoryQuery figures;
  MemoryQuery branches;
};

TEST_F(LessonTablesTest, OpenFiguresSendsItsTwoLinesAndNumbersTheRows) {
  OpenFigures(figures, 101);
  EXPECT_EQ(figures.SqlLines(), (std::vector<std::string>{"select * from figure", "Where MNB = :MNB"}));
  EXPECT_EQ(figures.Params(), (std::map<int, int>{{0, 101}}));
  EXPECT_TRUE(figures.Eof());
  EXPECT_EQ(Column(figures, kFigureTNB), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  // The numbers are stored in the table, not only in the result.
  OpenFigures(figures, 201);
  EXPECT_EQ(Column(figures, kFigureTNB), (std::vector<int>{1, 2, 3}));
  for (const MemoryRow& row : db.Table("figure").Rows()) {
    EXPECT_FALSE(row[kFigureTNB].null);
  }
}

TEST_F(LessonTablesTest, AnEntryWithoutRowsOpensEmpty) {
  OpenFigures(figures, 301);
  EXPECT_TRUE(figures.Active());
  EXPECT_TRUE(figures.IsEmpty());
  EXPECT_TRUE(figures.Eof());
}

TEST_F(LessonTablesTest, AppendedRowsAreNumberedAgainWithoutGaps) {
  OpenFigures(figures, 201);
  figures.First();
  figures.Delete();  // TNB 1 goes: the rest must be 1..n again
  figures.Append();
  figures.SetFieldInt(kFigureMNB, 201);
  figures.SetFieldInt(kFigurePST, P(9, 9));
  figures.Append();
  figures.SetFieldInt(kFigureMNB, 201);
  figures.SetFieldInt(kFigurePST, P(9, 10));
  figures.Post();
  EXPECT_EQ(Column(figures, kFigureTNB), (std::vector<int>{2, 3, 0, 0}));

  RenumberFigures(figures);
  EXPECT_EQ(Column(figures, kFigureTNB), (std::vector<int>{1, 2, 3, 4}));
  OpenFigures(figures, 201);
  EXPECT_EQ(Column(figures, kFigureTNB), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(Column(figures, kFigurePST), (std::vector<int>{P(0, 0), P(1, 0), P(9, 9), P(9, 10)}));
}

TEST_F(LessonTablesTest, NextFreeBranchIdIsTheFirstGap) {
  struct Case {
    std::vector<int> used;
    int expected;
  };
  const Case cases[] = {
      {{1, 2, 4}, 3}, {{}, 1}, {{1, 2, 3}, 4}, {{2, 3}, 1}, {{4, 2, 1}, 3},
      // A number used twice is never the answer.
      {{1, 1, 2}, 3},
  };
  for (const Case& c : cases) {
    MemoryDatabase fresh;
    for (int b : c.used) fresh.AddFigureRow(501, 1, 1, P(0, 0), b, 0, 0);
    fresh.AddFigureRow(501, 1, 1, P(0, 1), 0, 0, 0);  // not a branch row
    fresh.AddFigureRow(502, 1, 1, P(0, 2), 3, 0, 0);  // another entry's branch
    MemoryQuery query(fresh);
    EXPECT_EQ(NextFreeBranchId(query, 501), c.expected) << ::testing::PrintToString(c.used);
    EXPECT_EQ(query.SqlLines(),
              (std::vector<std::string>{"Select *", "From figure",
                                        "Where (MNB = :MNB) and (BFR > 0) order by BFR"}));
  }
}

TEST_F(LessonTablesTest, NextFreeBranchIdClosesTheQueryOnlyWhenTheRowsRunOut) {
  // Fixture 101 uses 1, 2, 3, 4, 5.
  EXPECT_EQ(NextFreeBranchId(branches, 101), 6);
  EXPECT_FALSE(branches.Active());
  db.AddFigureRow(201, 0, 1, P(9, 9), 4, 9999, 3);
  EXPECT_EQ(NextFreeBranchId(branches, 201), 3);
  EXPECT_TRUE(branches.Active());
}

TEST_F(LessonTablesTest, OpenContentsListsEntriesInNumberOrder) {
  db.AddContents(50, "番外");
  db.AddContents(-1, "隠し");
  OpenContents(contents, "Where MNB >= 0");
  EXPECT_EQ(contents.SqlLines(),
            (std::vector<std::string>{"select * from mokuji", "Where MNB >= 0", "Order By MNB"}));
  EXPECT_EQ(Column(contents, kContentsMNB), (std::vector<int>{0, 50, 100, 200, 300}));
  contents.First();
  contents.Next();
  EXPECT_EQ(contents.FieldText(kContentsITM), "番外");
}

TEST_F(LessonTablesTest, StartUpOpensTheFirstEntrysFigures) {
  BoardState board;
  LessonQueries queries{contents, figures, branches};
  db.Table("mokuji").slots[0].reset();  // without "はじめに" the first entry is 100
  OpenLessons(queries, board);
  // The first entry's number is taken as it is; 100 has no rows of its own.
  EXPECT_EQ(board.ContentsNumber, 100);
  EXPECT_EQ(figures.Params(), (std::map<int, int>{{0, 100}}));
  EXPECT_TRUE(figures.IsEmpty());
}

}  // namespace
}  // namespace momiro::testing
