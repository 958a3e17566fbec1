// The adjourned-game store: one put-aside game per board size in `figure`.
#include "lessons/adjourned_game_store.h"

#include <gtest/gtest.h>

#include "lessons/lesson_error.h"
#include "support/lesson_fixture.h"

namespace momiro::testing {
namespace {

class AdjournedGameStoreTest : public LessonTest {
 protected:
  void Play(int p) { main.BoardClick(p, MouseButton::Left); }
  // (TES, COL, PST) of the stored rows of one board size, in row order.
  std::vector<std::vector<int>> StoredMoves(int lines) {
    std::vector<std::vector<int>> moves;
    for (const MemoryRow& row : db.Table("figure").Rows()) {
      if (row[kFigureMNB].integer != lines) continue;
      moves.push_back({static_cast<int>(row[kFigureTES].integer),
                       static_cast<int>(row[kFigureCOL].integer),
                       static_cast<int>(row[kFigurePST].integer)});
    }
    return moves;
  }
};

TEST_F(AdjournedGameStoreTest, AGameWithACaptureComesBackAndCanBeTakenBack) {
  main.BeginGame();
  Play(P(0, 1));  // 1 black
  Play(P(0, 0));  // 2 white
  Play(P(1, 0));  // 3 black takes the corner stone
  Play(P(5, 5));  // 4 white
  ASSERT_EQ(board.WhiteStonesTaken, 1);
  const std::vector<int32_t> position = CellsNow();

  store.Save1Click();
  EXPECT_EQ(view.status[0], "　保存しました。");
  EXPECT_EQ(view.sounds.back(), kStoneSound);
  EXPECT_EQ(board.ContentsNumber, 19);
  EXPECT_EQ(StoredMoves(19), (std::vector<std::vector<int>>{
                                 {1, 1, P(0, 1)}, {2, 2, P(0, 0)}, {3, 1, P(1, 0)}, {4, 2, P(5, 5)}}));
  for (const MemoryRow& row : db.Table("figure").Rows()) {
    if (row[kFigureMNB].integer != 19) continue;
    for (int field : {kFigureBFR, kFigureBTO, kFigureDTX, kFigureCMT}) EXPECT_TRUE(row[field].null);
  }

  main.ClearClick();
  ASSERT_EQ(CellsNow(), BoardState{}.Cells);
  store.N2Click();
  EXPECT_EQ(view.status[0], "　復元しました。");
  EXPECT_EQ(CellsNow(), position);
  EXPECT_EQ(board.WhiteStonesTaken, 1);
  EXPECT_EQ(view.prisonerBox[kBlackPrisonerBox], "1");
  EXPECT_EQ(board.MoveCount, 4);
  EXPECT_EQ(board.MoveNumber, 4);
  EXPECT_EQ(board.CurrentColour, kBlack);  // white moved last
  EXPECT_EQ(board.PlayMode, kPlayAlternate);
  EXPECT_EQ(view.At(P(5, 5)).text, "4");
  EXPECT_EQ(view.At(P(1, 0)).text, "");  // only the newest number stays
  EXPECT_EQ(CurrentTNB(), 4);

  main.TakeBackClick();
  main.TakeBackClick();
  EXPECT_EQ(board.Cell(P(1, 0)), kEmpty);
  EXPECT_EQ(board.Cell(P(0, 0)), kWhite);
  EXPECT_EQ(view.At(P(0, 0)).picture, "/prog/stW.bmp");
  EXPECT_EQ(board.WhiteStonesTaken, 0);
  EXPECT_EQ(board.CurrentColour, kBlack);
}

TEST_F(AdjournedGameStoreTest, StoringAgainReplacesOnlyThatSizesGame) {
  BoardRules small(board, view, BoardKind::Small);
  AdjournedGameStore store13(small, view, figures);
  small.SetAdjournedGames(&store13);

  main.BeginGame();
  Play(P(3, 3));
  store.SaveAdjournedGame();

  board.LineCount = 13;
  board.PointCount = 169;
  small.BeginSmallGame();
  small.BoardClick(PointAt(2, 2, 13), MouseButton::Left);
  small.BoardClick(PointAt(3, 2, 13), MouseButton::Left);
  small.ClearClick();  // the small window stores its game before clearing
  EXPECT_EQ(StoredMoves(13), (std::vector<std::vector<int>>{{1, 1, PointAt(2, 2, 13)},
                                                            {2, 2, PointAt(3, 2, 13)}}));

  main.BeginGame();
  Play(P(4, 4));
  Play(P(4, 5));
  store.SaveAdjournedGame();
  EXPECT_EQ(StoredMoves(19), (std::vector<std::vector<int>>{{1, 1, P(4, 4)}, {2, 2, P(4, 5)}}));
  EXPECT_EQ(StoredMoves(13).size(), 2u);
  EXPECT_EQ(StoredMoves(101).size(), 10u);  // the lessons stay as they were

  board.LineCount = 13;
  board.PointCount = 169;
  store13.N2Click();
  EXPECT_EQ(board.Cell(PointAt(2, 2, 13)), kBlack);
  EXPECT_EQ(board.Cell(PointAt(3, 2, 13)), kWhite);
  EXPECT_EQ(board.MoveCount, 2);
  EXPECT_EQ(board.ContentsNumber, 13);
}

TEST_F(AdjournedGameStoreTest, NothingStoredRestoresAnEmptyBoardWithWhiteToPlay) {
  store.N2Click();
  EXPECT_EQ(CellsNow(), BoardState{}.Cells);
  EXPECT_EQ(board.MoveCount, 0);
  EXPECT_EQ(board.CurrentColour, kWhite);
  EXPECT_EQ(view.status[0], "　復元しました。");
}

TEST_F(AdjournedGameStoreTest, NothingRecordedKeepsTheStoredGame) {
  main.BeginGame();
  Play(P(3, 3));
  store.SaveAdjournedGame();
  main.ClearClick();
  store.Save1Click();
  EXPECT_EQ(StoredMoves(19), (std::vector<std::vector<int>>{{1, 1, P(3, 3)}}));
  EXPECT_EQ(view.status[0], "　保存しました。");
}

TEST_F(AdjournedGameStoreTest, FreeStonesComeBackWithoutNumbers) {
  Play(P(2, 2));
  main.BoardClick(P(2, 3), MouseButton::Right);
  Play(P(2, 4));
  store.SaveAdjournedGame();
  main.ClearClick();
  store.N2Click();
  EXPECT_EQ(board.Cell(P(2, 3)), kWhite);
  for (int p : {P(2, 2), P(2, 3), P(2, 4)}) {
    EXPECT_TRUE(view.At(p).text == "" || view.At(p).text == " ") << view.At(p).text;
  }
  EXPECT_EQ(board.MoveNumber, 0);
  EXPECT_EQ(board.PlayMode, kPlayFree);
}

TEST_F(AdjournedGameStoreTest, AStoredRowThatIsNoMoveIsAClearError) {
  struct Case {
    int colour;
    int point;
  };
  for (const Case c : {Case{1, 0}, Case{2, 362}, Case{0, P(1, 1)}, Case{3, P(1, 1)}}) {
    MemoryDatabase fresh;
    fresh.AddFigureRow(19, 1, c.colour, c.point, 0, 0, 0);
    MemoryQuery freshFigures(fresh);
    AdjournedGameStore freshStore(main, view, freshFigures);
    main.SetFigureRows(nullptr);
    EXPECT_THROW(freshStore.N2Click(), ELessonDataError) << c.colour << " " << c.point;
  }
  main.SetFigureRows(&rows);
}

TEST_F(AdjournedGameStoreTest, ALessonShowsAgainAfterARestore) {
  main.BeginGame();
  Play(P(3, 3));
  store.SaveAdjournedGame();
  store.N2Click();
  ShowEntry(100);
  EXPECT_EQ(board.ContentsNumber, 101);
  EXPECT_EQ(board.Cell(P(3, 3)), kEmpty);
  EXPECT_EQ(board.Cell(P(0, 1)), kWhite);
}

}  // namespace
}  // namespace momiro::testing
