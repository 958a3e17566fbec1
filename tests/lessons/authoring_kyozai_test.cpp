// Lesson authoring over a real `kyozai`: rows written through SQL and the
// engine's tables, kept across a restart of the data module, moved out of
// an entry's live result and deleted in natural order.
#include <gtest/gtest.h>

#include <memory>

#include "lessons/data_module.h"
#include "support/authoring_fixture.h"
#include "support/kyozai_directory.h"

namespace momiro::testing {
namespace {

class AuthoringKyozaiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddFixtureLesson(source);
    dir.Write(source);
    if (!SqlExecutionAvailable()) GTEST_SKIP() << "SQL statement execution is not in this build";
    board.ProgramDirectory = "/prog/";
    Start();
    board.AppMode = kAppEdit;
  }
  void TearDown() override { Stop(); }

  // The program's lesson objects over a fresh data module, as at start-up.
  void Start() {
    module = std::make_unique<TDataModule1>();
    rows = std::make_unique<QueryFigureRows>(module->Figures());
    main = std::make_unique<BoardRules>(board, view);
    player = std::make_unique<FigurePlayer>(*main, view, window, module->Contents(), module->Figures());
    author = std::make_unique<LessonAuthor>(*main, view, window, editor, module->Figures(),
                                            module->Branches());
    hooks = std::make_unique<LessonBoardHooks>(*player);
    hooks->SetAuthor(author.get());
    main->SetFigureRows(rows.get());
    main->SetHooks(hooks.get());
    main->ClearBoard();
    main->SelectPlayModeButton(kPlayFree);
    module->OpenLessons(board);
  }
  void Stop() {
    hooks.reset();
    author.reset();
    player.reset();
    main.reset();
    rows.reset();
    module.reset();
  }

  std::vector<int> Column(int mnb, int position) {
    OpenFigures(module->Figures(), mnb);
    std::vector<int> values;
    module->Figures().First();
    while (!module->Figures().Eof()) {
      values.push_back(module->Figures().FieldInt(position));
      module->Figures().Next();
    }
    return values;
  }
  void ShowEntry(int mnb) {
    ASSERT_TRUE(module->Contents().Locate("MNB", {mnb}));
    player->DBGrid1CellClick();
  }
  void Author(int p, MouseButton button) { main->BoardClick(p, button); }

  MemoryDatabase source;
  KyozaiDirectory dir;
  BoardState board;
  RecordingView view;
  RecordingLessonWindow window;
  RecordingAuthoringWindow editor;
  std::unique_ptr<TDataModule1> module;
  std::unique_ptr<QueryFigureRows> rows;
  std::unique_ptr<BoardRules> main;
  std::unique_ptr<FigurePlayer> player;
  std::unique_ptr<LessonAuthor> author;
  std::unique_ptr<LessonBoardHooks> hooks;
};

TEST_F(AuthoringKyozaiTest, AnAuthoredLessonSurvivesARestartAndIsPlayed) {
  ShowEntry(300);  // figures under 301, none yet
  Author(P(3, 3), MouseButton::Left);
  Author(P(3, 4), MouseButton::Right);
  author->CuteButton2Click();
  Author(P(4, 3), MouseButton::Left);
  Author(P(4, 4), MouseButton::Right);
  author->CuteButton8Click();

  Stop();
  Start();
  EXPECT_EQ(Column(301, kFigureTES), (std::vector<int>{0, 0, 1, 2}));
  EXPECT_EQ(Column(301, kFigureBTO), (std::vector<int>{9999, 0, 1, 0}));
  EXPECT_EQ(Column(301, kFigureBFR), (std::vector<int>{0, 1, 0, 2}));
  EXPECT_EQ(Column(301, kFigureDTX), (std::vector<int>{1, 0, 0, 0}));

  board.AppMode = kAppView;
  ShowEntry(300);
  EXPECT_EQ(board.Cell(P(3, 3)), kBlack);
  EXPECT_EQ(board.Cell(P(3, 4)), kWhite);
  player->CuteButton5Click();
  EXPECT_EQ(view.At(P(4, 3)).text, "1");
  player->CuteButton5Click();
  EXPECT_EQ(view.At(P(4, 4)).text, "2");
  EXPECT_EQ(view.status[0], kSequenceEnded);
}

TEST_F(AuthoringKyozaiTest, MovedRowsLeaveTheEntryAndOpenUnderTheirNewNumber) {
  const std::vector<int> points = Column(101, kFigurePST);
  ShowEntry(100);
  ASSERT_TRUE(LocateTNB(module->Figures(), 1));
  window.itemIndex = 1;  // 図Ｂ
  editor.edit3 = "1200";
  author->CuteButton11Click();
  EXPECT_EQ(board.ContentsNumber, 1200);
  EXPECT_EQ(Column(1200, kFigurePST), std::vector<int>(points.begin(), points.begin() + 9));
  EXPECT_EQ(Column(1200, kFigureDTX), (std::vector<int>{2, 0, 0, 2202, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Column(101, kFigurePST), (std::vector<int>{P(10, 10)}));
}

TEST_F(AuthoringKyozaiTest, DeletedRunsAreGoneFromTheTable) {
  const std::vector<int> points = Column(101, kFigurePST);
  ShowEntry(100);
  ASSERT_TRUE(LocateTNB(module->Figures(), 6));
  author->CuteButton4Click();  // the sequence of rows 5 and 6
  std::vector<int> expected = points;
  expected.erase(expected.begin() + 4, expected.begin() + 6);
  EXPECT_EQ(Column(101, kFigurePST), expected);

  window.itemIndex = 0;  // 図Ａ and the rows after it up to 図Ｂ
  author->CuteButton3Click();
  EXPECT_EQ(Column(101, kFigurePST), (std::vector<int>{P(10, 10)}));
}

}  // namespace
}  // namespace momiro::testing
