// Game records on the board: a record placed as an alternate game (with
// its captures, taken back move by move), the board's game written and
// read back, and the records a board cannot take.
#include <gtest/gtest.h>

#include "board/board_rules.h"
#include "board/support/recording_view.h"
#include "lessons/sgf_game.h"
#include "lessons/sgf_reader.h"
#include "lessons/sgf_writer.h"

namespace momiro::testing {
namespace {

int S(const char* xy, int lines) { return BoardPointOf(SgfPoint{xy[0] - 'a', xy[1] - 'a'}, lines); }

class SgfGameTest : public ::testing::Test {
 protected:
  SgfGameTest() : rules(board, view, BoardKind::Small) { board.ProgramDirectory = "/prog/"; }
  void Open(int lines) {
    board.LineCount = lines;
    board.PointCount = lines * lines;
    rules.BeginSmallGame();
  }
  BoardState board;
  RecordingView view;
  BoardRules rules;
};

// 9 lines, a handicap stone, black captures the white stone at ba.
const char* const kGame = "(;GM[1]SZ[9]AB[ee];W[ba];B[aa];W[cc];B[ca];W[];B[bb])";

TEST_F(SgfGameTest, ARecordIsPlayedAsAnAlternateGameAndTakenBackMoveByMove) {
  const SgfGame game = SgfToGame(*ReadSgf(kGame).trees.front());
  ASSERT_EQ(game.lines, 9);
  Open(9);
  PlaceSgfGame(rules, game);
  EXPECT_EQ(board.MoveCount, 6);  // the pass leaves no entry
  EXPECT_EQ(board.MoveList.At(1).moveNumber, 0);
  EXPECT_EQ(board.MoveList.At(6).moveNumber, 5);
  EXPECT_EQ(board.Cell(S("ee", 9)), kBlack);
  EXPECT_EQ(board.Cell(S("ba", 9)), kEmpty);  // taken by B[bb]
  EXPECT_EQ(board.WhiteStonesTaken, 1);
  EXPECT_EQ(view.At(S("bb", 9)).text, "5");
  EXPECT_EQ(board.CurrentColour, kWhite);

  rules.TakeBackClick();
  EXPECT_EQ(board.Cell(S("bb", 9)), kEmpty);
  EXPECT_EQ(board.Cell(S("ba", 9)), kWhite);
  EXPECT_EQ(board.WhiteStonesTaken, 0);
  EXPECT_EQ(board.CurrentColour, kBlack);
  for (int i = 0; i < 5; ++i) rules.TakeBackClick();
  EXPECT_EQ(board.MoveCount, 0);
  for (int p = 1; p <= 81; ++p) EXPECT_EQ(board.Cell(p), kEmpty) << p;
  rules.TakeBackClick();
  EXPECT_EQ(view.status[0], kNothingToTakeBack);
}

TEST_F(SgfGameTest, TheBoardsGameIsWrittenAndReadBack) {
  Open(13);
  rules.BoardClick(S("dd", 13), MouseButton::Left);
  rules.BoardClick(S("jj", 13), MouseButton::Left);
  rules.SelectPlayModeButton(kPlayFree);
  board.PlayMode = kPlayFree;
  rules.BoardClick(S("aa", 13), MouseButton::Right);
  rules.SelectPlayModeButton(kPlayAlternate);
  board.PlayMode = kPlayAlternate;
  board.CurrentColour = kBlack;
  rules.BoardClick(S("dj", 13), MouseButton::Left);
  std::vector<MoveEntry> played;
  for (int i = 1; i <= board.MoveCount; ++i) played.push_back(board.MoveList.At(i));

  const std::string text = WriteSgf(*BoardGameToSgf(board));
  const SgfGame game = SgfToGame(*ReadSgf(text).trees.front());
  EXPECT_EQ(game.lines, 13);
  ASSERT_EQ(game.moves.size(), played.size());
  for (size_t i = 0; i < played.size(); ++i) {
    EXPECT_EQ(game.moves[i], (SgfGameMove{played[i].colour, played[i].point, played[i].moveNumber})) << i;
  }
}

TEST_F(SgfGameTest, RecordsTheBoardCannotTakeAreRefused) {
  for (const char* text : {"(;SZ[7];B[aa])", "(;SZ[9];B[aa];W[aa])", "(;SZ[9];B[aa];AE[aa])", "(;SZ[9];B[jj])"}) {
    EXPECT_THROW(SgfToGame(*ReadSgf(text).trees.front()), ESgfError) << text;
  }
  Open(9);
  EXPECT_THROW(BoardGameToSgf(board), ESgfError);
  // A text recorded in the edit layout is no move.
  board.MoveCount = 1;
  board.MoveList.Mutable(1) = MoveEntry{0, kBackgroundMark, 5, 2100};
  EXPECT_THROW(BoardGameToSgf(board), ESgfError);
  board.MoveCount = 2;
  board.MoveList.Mutable(2) = MoveEntry{1, kBlack, 7, 0};
  const SgfGame game = SgfToGame(*ReadSgf(WriteSgf(*BoardGameToSgf(board))).trees.front());
  EXPECT_EQ(game.moves, (std::vector<SgfGameMove>{{kBlack, 7, 1}}));
}

}  // namespace
}  // namespace momiro::testing
