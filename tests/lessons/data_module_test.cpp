// The data module over a real `kyozai` built by the test: the query
// components' settings, the start-up opening, and the lesson player and the
// adjourned-game store walking the fixture lesson through SQL and the
// engine's tables.
#include "lessons/data_module.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/kyozai_directory.h"
#include "support/lesson_fixture.h"

namespace momiro::testing {
namespace {

TEST(DataModuleSettingsTest, EveryQueryIsALiveQueryOnKyozai) {
  TDataModule1 module;
  for (rudira::TRUDIRAQuery* query : {module.RUDIRAQuery1, module.RUDIRAQuery2, module.RUDIRAQuery4}) {
    EXPECT_EQ(query->DatabaseName(), "kyozai");
    EXPECT_TRUE(query->RequestLive());
    EXPECT_EQ(query->MaxRowCount(), -1);
    EXPECT_FALSE(query->CopyOnAppend);
    EXPECT_EQ(query->EngineVersion(), "3.30");
    EXPECT_EQ(query->Owner(), &module);
  }
  EXPECT_EQ(module.DataSource1.DataSet(), module.RUDIRAQuery1);
  EXPECT_EQ(module.DataSource2.DataSet(), module.RUDIRAQuery2);
  EXPECT_EQ(module.DataSource4.DataSet(), module.RUDIRAQuery4);
}

TEST(DataModuleSettingsTest, TheFigureSqlIsAddedLineByLineWithItsParameter) {
  TDataModule1 module;
  SetSql(module.Figures(), {kFiguresSelect, kFiguresWhere});
  EXPECT_EQ(module.RUDIRAQuery2->SQL().Count(), 2);
  ASSERT_EQ(module.RUDIRAQuery2->Params().Count(), 1);
  module.Figures().SetParamInt(0, 101);
  EXPECT_EQ(module.RUDIRAQuery2->Params()[0].Name(), "MNB");
  EXPECT_EQ(module.RUDIRAQuery2->Params()[0].AsInteger(), 101);
}

TEST(DataModuleSettingsTest, AMissingKyozaiIsAnEngineErrorNotACrash) {
  KyozaiDirectory dir(false);
  TDataModule1 module;
  BoardState board;
  try {
    module.OpenLessons(board);
    FAIL() << "opening without a kyozai directory succeeded";
  } catch (const std::exception& error) {
    EXPECT_FALSE(std::string(error.what()).empty());
  }
  EXPECT_FALSE(module.RUDIRAQuery1->Active());
}

// The lesson player, the board and the store over the data module's
// queries on the fixture lesson written into a real kyozai.
class RealKyozaiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddFixtureLesson(source);
    dir.Write(source);
    if (!SqlExecutionAvailable()) GTEST_SKIP() << "SQL statement execution is not in this build";
    module = std::make_unique<TDataModule1>();
    rows = std::make_unique<QueryFigureRows>(module->Figures());
    main = std::make_unique<BoardRules>(board, view);
    player = std::make_unique<FigurePlayer>(*main, view, window, module->Contents(), module->Figures());
    hooks = std::make_unique<LessonBoardHooks>(*player);
    store = std::make_unique<AdjournedGameStore>(*main, view, module->Figures());
    board.ProgramDirectory = "/prog/";
    main->SetFigureRows(rows.get());
    main->SetHooks(hooks.get());
    main->SetAdjournedGames(store.get());
    main->ClearBoard();
    board.AppMode = kAppView;
    board.PlayMode = kPlayFree;
    main->SelectPlayModeButton(kPlayFree);
    module->OpenLessons(board);
  }
  void TearDown() override {
    store.reset();
    hooks.reset();
    player.reset();
    main.reset();
    rows.reset();
    module.reset();
  }

  std::vector<int> Column(LessonQuery& query, int position) {
    std::vector<int> values;
    query.First();
    while (!query.Eof()) {
      values.push_back(query.FieldInt(position));
      query.Next();
    }
    return values;
  }
  void ShowEntry(int mnb) {
    ASSERT_TRUE(module->Contents().Locate("MNB", {mnb}));
    player->DBGrid1CellClick();
  }
  int CurrentTNB() { return module->Figures().FieldInt(kFigureTNB); }

  MemoryDatabase source;
  KyozaiDirectory dir;
  BoardState board;
  RecordingView view;
  RecordingLessonWindow window;
  std::unique_ptr<TDataModule1> module;
  std::unique_ptr<QueryFigureRows> rows;
  std::unique_ptr<BoardRules> main;
  std::unique_ptr<FigurePlayer> player;
  std::unique_ptr<LessonBoardHooks> hooks;
  std::unique_ptr<AdjournedGameStore> store;
};

TEST_F(RealKyozaiTest, StartUpListsTheContentsAndOpensTheFirstEntrysRows) {
  EXPECT_EQ(Column(module->Contents(), kContentsMNB), (std::vector<int>{0, 100, 200, 300}));
  module->Contents().First();
  EXPECT_EQ(module->Contents().FieldText(kContentsITM), "はじめに");
  EXPECT_EQ(board.ContentsNumber, 0);
  EXPECT_TRUE(module->Figures().Active());
  EXPECT_TRUE(module->Figures().IsEmpty());
}

TEST_F(RealKyozaiTest, FigureRowsAreNumberedAgainAfterAppending) {
  OpenFigures(module->Figures(), 101);
  EXPECT_TRUE(module->Figures().Eof());
  EXPECT_EQ(Column(module->Figures(), kFigureTNB), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  module->Figures().Append();
  module->Figures().SetFieldInt(kFigureMNB, 101);
  module->Figures().SetFieldInt(kFigurePST, P(9, 9));
  module->Figures().Post();
  OpenFigures(module->Figures(), 101);
  EXPECT_EQ(Column(module->Figures(), kFigureTNB), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(module->Figures().FieldInt(kFigurePST), P(9, 9));  // the appended row comes last
  EXPECT_EQ(module->Figures().FieldInt(kFigureBTO), 0);        // and its unset fields read as 0
}

TEST_F(RealKyozaiTest, NextFreeBranchIdIsTheFirstGap) {
  EXPECT_EQ(NextFreeBranchId(module->Branches(), 101), 6);  // 1 ... 5 used
  EXPECT_FALSE(module->Branches().Active());
  EXPECT_EQ(NextFreeBranchId(module->Branches(), 301), 1);
}

TEST_F(RealKyozaiTest, AHundredEntryShowsItsFigureAndSteps) {
  ShowEntry(100);
  EXPECT_EQ(board.ContentsNumber, 101);
  EXPECT_EQ(window.helpTopics, (std::vector<int>{101}));
  EXPECT_EQ(board.Cell(P(0, 1)), kWhite);
  EXPECT_EQ(CurrentTNB(), 4);
  player->CuteButton5Click();  // one continuation: black takes
  EXPECT_EQ(CurrentTNB(), 5);
  EXPECT_EQ(board.Cell(P(0, 1)), kEmpty);
  EXPECT_EQ(board.WhiteStonesTaken, 1);
  player->CuteButton5Click();
  player->CuteButton5Click();  // two continuations: circles
  EXPECT_EQ(view.At(P(3, 4)).text, kChoiceMarker);
  EXPECT_EQ(view.At(P(4, 3)).text, kChoiceMarker);
  EXPECT_EQ(board.ChoicePending, 1);
  main->BoardClick(P(4, 3), MouseButton::Left);  // the wrong answer
  EXPECT_EQ(CurrentTNB(), 8);
  EXPECT_EQ(view.At(P(4, 3)).textColour, kRedText);
  player->CuteButton5Click();  // its refutation ends the sequence
  EXPECT_EQ(CurrentTNB(), 9);
  EXPECT_EQ(view.status[0], kSequenceEnded);
}

TEST_F(RealKyozaiTest, ACapturedStoneComesBackOnTakeBack) {
  ShowEntry(200);
  player->CuteButton5Click();
  player->CuteButton5Click();  // 2 white takes 1 black
  ASSERT_EQ(board.Cell(P(0, 0)), kEmpty);
  main->TakeBackClick();
  EXPECT_EQ(board.Cell(P(0, 0)), kBlack);
  EXPECT_EQ(view.At(P(0, 0)).text, "1");
  EXPECT_EQ(CurrentTNB(), 2);
}

TEST_F(RealKyozaiTest, AnAdjournedGameIsStoredInFigureAndRestored) {
  main->BeginGame();
  for (int p : {P(0, 1), P(0, 0), P(1, 0), P(5, 5)}) main->BoardClick(p, MouseButton::Left);
  ASSERT_EQ(board.WhiteStonesTaken, 1);
  const std::vector<int32_t> position = board.Cells;
  store->Save1Click();
  store->Save1Click();  // storing again keeps one copy
  EXPECT_EQ(view.status[0], kGameSaved);
  OpenFigures(module->Figures(), 19);
  EXPECT_EQ(Column(module->Figures(), kFigurePST), (std::vector<int>{P(0, 1), P(0, 0), P(1, 0), P(5, 5)}));

  main->ClearClick();
  store->N2Click();
  EXPECT_EQ(view.status[0], kGameRestored);
  EXPECT_EQ(board.Cells, position);
  EXPECT_EQ(board.WhiteStonesTaken, 1);
  EXPECT_EQ(board.CurrentColour, kBlack);
  main->TakeBackClick();
  main->TakeBackClick();  // the capturing move: the corner stone returns
  EXPECT_EQ(board.Cell(P(0, 0)), kWhite);
  // The lessons are untouched by the store.
  OpenFigures(module->Figures(), 101);
  EXPECT_EQ(Column(module->Figures(), kFigureTNB).size(), 10u);
}

}  // namespace
}  // namespace momiro::testing
