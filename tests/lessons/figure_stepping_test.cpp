// Stepping through stored sequences: "1手進む", continuation circles, the
// lesson side of "1手戻す", "１手順戻す" and redrawing from a grid row.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/lesson_fixture.h"

namespace momiro::testing {
namespace {

class FigureSteppingTest : public LessonTest {
 protected:
  std::vector<int> CirclePoints() const {
    std::vector<int> points;
    for (int p = 1; p <= kMaxPoints; ++p) {
      if (view.At(p).text == kChoiceMarker) points.push_back(p);
    }
    return points;
  }
  int LastSound() const { return view.sounds.empty() ? -1 : view.sounds.back(); }
  // The fixture lesson up to the circles of branch 2.
  void StepToBranchTwo() {
    ShowEntry(100);
    StepForward();
    StepForward();
    StepForward();
  }
};

TEST_F(FigureSteppingTest, OneContinuationIsPlayedWithoutCircles) {
  ShowEntry(100);
  StepForward();
  EXPECT_TRUE(CirclePoints().empty());
  EXPECT_EQ(CurrentTNB(), 5);
  EXPECT_EQ(board.LessonStepTaken, 1);
  EXPECT_EQ(board.Cell(P(0, 0)), kBlack);
  EXPECT_EQ(view.At(P(0, 0)).text, "1");
  EXPECT_EQ(view.At(P(0, 0)).textColour, kWhiteText);
  EXPECT_EQ(view.status[1], "取ります");
  // The move takes the white stone of the figure.
  EXPECT_EQ(board.Cell(P(0, 1)), kEmpty);
  EXPECT_EQ(view.At(P(0, 1)).picture, "");
  EXPECT_EQ(board.WhiteStonesTaken, 1);
  EXPECT_EQ(view.prisonerBox[kBlackPrisonerBox], "1");
  EXPECT_EQ(view.status[0], "進めてください。");
  EXPECT_EQ(LastSound(), kStoneSound);

  StepForward();
  EXPECT_EQ(CurrentTNB(), 6);
  EXPECT_EQ(view.At(P(3, 3)).text, "2");
  EXPECT_EQ(view.At(P(0, 0)).text, "1");  // earlier numbers stay
  EXPECT_EQ(view.status[0], "進めてください。");
}

TEST_F(FigureSteppingTest, SeveralContinuationsWaitForAClick) {
  StepToBranchTwo();
  EXPECT_EQ(CirclePoints(), (std::vector<int>{std::min(P(3, 4), P(4, 3)), std::max(P(3, 4), P(4, 3))}));
  EXPECT_EQ(view.At(P(3, 4)).textColour, kGreenText);
  EXPECT_EQ(view.At(P(4, 3)).textColour, kRedText);
  EXPECT_EQ(board.Cell(P(3, 4)), kEmpty);
  EXPECT_EQ(view.status[0], "緑丸か赤丸の一つをクリックしてください。");
  EXPECT_EQ(board.ChoicePending, 1);
  EXPECT_EQ(CurrentTNB(), 6);

  StepForward();
  EXPECT_EQ(view.messages, (std::vector<std::string>{"緑点か赤点をクリックしてください。"}));
  EXPECT_EQ(CirclePoints().size(), 2u);
  EXPECT_EQ(CurrentTNB(), 6);
}

TEST_F(FigureSteppingTest, ARedCircleShowsTheWrongMoveThenItsRefutation) {
  StepToBranchTwo();
  Click(P(4, 3));
  EXPECT_TRUE(CirclePoints().empty());
  EXPECT_EQ(board.ChoicePending, 0);
  EXPECT_EQ(CurrentTNB(), 8);
  EXPECT_EQ(board.Cell(P(4, 3)), kBlack);
  EXPECT_EQ(view.At(P(4, 3)).picture, "/prog/stB.bmp");
  EXPECT_EQ(view.At(P(4, 3)).text, "3");
  EXPECT_EQ(view.At(P(4, 3)).textColour, kRedText);
  EXPECT_EQ(view.status[1], "失敗");
  EXPECT_EQ(view.status[0], "進めてください。");
  EXPECT_EQ(LastSound(), kStoneSound);

  const size_t soundsBefore = view.sounds.size();
  StepForward();
  EXPECT_EQ(CurrentTNB(), 9);
  EXPECT_EQ(board.Cell(P(3, 4)), kWhite);
  EXPECT_EQ(view.At(P(3, 4)).text, "4");
  EXPECT_EQ(view.status[0], "登録手順は終了です。");
  EXPECT_EQ(board.CurrentColour, kBlack);
  EXPECT_EQ(board.MoveNumber, 0);

  StepForward();
  EXPECT_EQ(view.status[0], "もう進めません。");
  EXPECT_EQ(std::vector<int>(view.sounds.begin() + soundsBefore, view.sounds.end()),
            (std::vector<int>{kSequenceSound, kStoneSound}));
  EXPECT_EQ(CurrentTNB(), 9);
}

TEST_F(FigureSteppingTest, AGreenCircleThatEndsTheLessonSaysSo) {
  StepToBranchTwo();
  Click(P(3, 4));
  EXPECT_EQ(board.Cell(P(3, 4)), kBlack);
  EXPECT_EQ(view.At(P(3, 4)).textColour, kWhiteText);
  EXPECT_EQ(view.At(P(4, 3)).text, "");  // the other circle is gone
  EXPECT_EQ(view.status[0], "登録手順は終了です。");
  EXPECT_EQ(std::vector<int>(view.sounds.end() - 2, view.sounds.end()),
            (std::vector<int>{kStoneSound, kSequenceSound}));
  EXPECT_EQ(CurrentTNB(), 7);
}

TEST_F(FigureSteppingTest, NothingToStepAtAFigureWithoutSequences) {
  ShowEntry(100);
  window.itemIndex = 1;
  player.ComboBox1Click();  // 図Ｂ
  StepForward();
  EXPECT_EQ(view.status[0], "もう進めません。");
  EXPECT_EQ(LastSound(), kStoneSound);
  EXPECT_EQ(CurrentTNB(), 10);
}

TEST_F(FigureSteppingTest, StepBackRestoresTheCaptureAndOffersEvenASingleCircle) {
  ShowEntry(100);
  const std::vector<int32_t> figure = CellsNow();
  StepForward();
  TakeBack();
  EXPECT_EQ(CellsNow(), figure);
  EXPECT_EQ(view.At(P(0, 0)).picture, "");
  EXPECT_EQ(view.At(P(0, 1)).picture, "/prog/stW.bmp");
  EXPECT_EQ(view.At(P(0, 1)).text, "");  // a figure stone has no number to show
  EXPECT_EQ(board.WhiteStonesTaken, 0);
  EXPECT_EQ(view.prisonerBox[kBlackPrisonerBox], "0");
  EXPECT_EQ(board.CaptureCount, 0);
  EXPECT_EQ(CurrentTNB(), 4);
  EXPECT_EQ(view.status[1], "A");
  EXPECT_EQ(CirclePoints(), (std::vector<int>{P(0, 0)}));
  EXPECT_EQ(view.At(P(0, 0)).textColour, kGreenText);
  EXPECT_EQ(board.ChoicePending, 1);

  // The circle takes the move again.
  Click(P(0, 0));
  EXPECT_EQ(board.Cell(P(0, 0)), kBlack);
  EXPECT_EQ(board.Cell(P(0, 1)), kEmpty);
  EXPECT_EQ(CurrentTNB(), 5);
}

TEST_F(FigureSteppingTest, StepBackAtTheBasicFigureOnlySaysSo) {
  ShowEntry(100);
  StepForward();
  TakeBack();
  const std::vector<int32_t> figure = CellsNow();
  const std::vector<int> soundsBefore = view.sounds;
  TakeBack();  // at the figure's branch row: TES 0
  EXPECT_EQ(view.status[0], "もう戻せません。");
  EXPECT_EQ(CellsNow(), figure);
  EXPECT_EQ(board.CaptureCount, 0);
  EXPECT_EQ(board.BlackStonesTaken, 0);
  EXPECT_EQ(board.WhiteStonesTaken, 0);
  EXPECT_EQ(view.sounds, soundsBefore);
  EXPECT_EQ(CurrentTNB(), 4);
}

TEST_F(FigureSteppingTest, AStoneCapturedInASequenceComesBackWithItsNumber) {
  ShowEntry(200);
  StepForward();
  StepForward();
  ASSERT_EQ(board.Cell(P(0, 0)), kEmpty);
  ASSERT_EQ(board.BlackStonesTaken, 1);
  EXPECT_EQ(board.CaptureLog.At(1).key, 2);
  EXPECT_EQ(board.CaptureLog.At(1).number, 1);
  EXPECT_EQ(view.status[0], "登録手順は終了です。");

  TakeBack();
  EXPECT_EQ(board.Cell(P(0, 0)), kBlack);
  EXPECT_EQ(view.At(P(0, 0)).picture, "/prog/stB.bmp");
  EXPECT_EQ(view.At(P(0, 0)).text, "1");
  EXPECT_EQ(view.At(P(0, 0)).textColour, kWhiteText);
  EXPECT_EQ(board.Cell(P(1, 0)), kEmpty);
  EXPECT_EQ(view.At(P(1, 0)).picture, "");
  EXPECT_EQ(board.BlackStonesTaken, 0);
  EXPECT_EQ(view.prisonerBox[kWhitePrisonerBox], "0");
  EXPECT_EQ(board.CaptureLog.At(1).IsFree(), true);
  EXPECT_EQ(CurrentTNB(), 2);
  EXPECT_TRUE(CirclePoints().empty());

  TakeBack();
  EXPECT_EQ(CurrentTNB(), 1);
  EXPECT_EQ(board.Cell(P(0, 0)), kEmpty);
  EXPECT_EQ(CirclePoints(), (std::vector<int>{P(0, 0)}));
}

TEST_F(FigureSteppingTest, FreeStonesAreTakenBackBeforeTheLessonSteps) {
  ShowEntry(100);
  StepForward();
  Click(P(9, 9));  // free mode: a black stone by hand
  ASSERT_EQ(board.MoveCount, 1);
  TakeBack();
  EXPECT_EQ(board.Cell(P(9, 9)), kEmpty);
  EXPECT_EQ(board.Cell(P(0, 0)), kBlack);
  TakeBack();
  EXPECT_EQ(board.Cell(P(0, 0)), kEmpty);
  EXPECT_EQ(CurrentTNB(), 4);
}

TEST_F(FigureSteppingTest, BackOneSequenceInTheFirstSequenceRedrawsTheFigure) {
  ShowEntry(100);
  const std::vector<int32_t> figure = StonesNow();
  StepForward();
  StepForward();
  player.CuteButton10Click();
  EXPECT_EQ(StonesNow(), figure);
  EXPECT_EQ(view.At(P(3, 3)).picture, "");
  EXPECT_EQ(board.WhiteStonesTaken, 0);
  EXPECT_EQ(CurrentTNB(), 4);
  EXPECT_EQ(CirclePoints(), (std::vector<int>{P(0, 0)}));
  EXPECT_EQ(view.status[0], "１手順戻しました。");
  EXPECT_EQ(LastSound(), kStoneSound);
  EXPECT_EQ(window.gridEvents, (std::vector<std::string>{"detach", "attach"}));
  EXPECT_EQ(board.CurrentColour, kBlack);

  const size_t soundsBefore = view.sounds.size();
  player.CuteButton10Click();
  EXPECT_EQ(view.status[0], "もう戻せません。");
  EXPECT_EQ(view.sounds.size(), soundsBefore + 1);
  EXPECT_EQ(StonesNow(), figure);
  EXPECT_EQ(window.gridEvents.size(), 2u);
}

TEST_F(FigureSteppingTest, BackOneSequenceFromARefutationReturnsToItsBranch) {
  ShowEntry(100);
  StepForward();
  StepForward();
  const std::vector<int32_t> atBranch = StonesNow();
  StepForward();
  Click(P(4, 3));
  StepForward();
  player.CuteButton10Click();
  EXPECT_EQ(StonesNow(), atBranch);
  EXPECT_EQ(CurrentTNB(), 6);
  EXPECT_EQ(view.At(P(0, 0)).text, "1");
  EXPECT_EQ(view.At(P(3, 3)).text, "2");
  EXPECT_EQ(board.WhiteStonesTaken, 1);
  EXPECT_EQ(CirclePoints().size(), 2u);
  EXPECT_EQ(board.ChoicePending, 1);
  EXPECT_EQ(view.status[0], "１手順戻しました。");
}

TEST_F(FigureSteppingTest, AGridRowRedrawsTheSamePositionAsStepping) {
  ShowEntry(100);
  StepForward();
  StepForward();
  StepForward();
  Click(P(4, 3));
  StepForward();
  const std::vector<int32_t> stepped = StonesNow();
  const int whiteTaken = board.WhiteStonesTaken;

  ShowEntry(100);
  ASSERT_TRUE(LocateTNB(figures, 9));  // the clicked grid row
  player.DBGrid2CellClick();
  EXPECT_EQ(StonesNow(), stepped);
  EXPECT_EQ(board.WhiteStonesTaken, whiteTaken);
  EXPECT_EQ(CurrentTNB(), 9);
  EXPECT_EQ(view.At(P(0, 0)).text, "1");
  EXPECT_EQ(view.At(P(3, 3)).text, "2");
  EXPECT_EQ(view.At(P(4, 3)).text, "3");
  EXPECT_EQ(view.At(P(4, 3)).textColour, kRedText);
  EXPECT_EQ(view.At(P(3, 4)).text, "4");
  EXPECT_EQ(view.At(P(5, 5)).text, "A");
  EXPECT_EQ(board.Cell(P(5, 5)), kBackgroundMark);
  EXPECT_TRUE(CirclePoints().empty());
  EXPECT_EQ(board.MoveNumber, 4);
  EXPECT_EQ(board.CurrentColour, kBlack);
  EXPECT_EQ(window.gridEvents, (std::vector<std::string>{"detach", "attach"}));

  // Stepping back from the redrawn row works as after stepping.
  board.LessonStepTaken = 1;
  TakeBack();
  EXPECT_EQ(board.Cell(P(3, 4)), kEmpty);
  EXPECT_EQ(board.Cell(P(4, 3)), kBlack);
  EXPECT_EQ(CurrentTNB(), 8);
}

TEST_F(FigureSteppingTest, TheEditLayoutPassesSingleBranchesAndShowsNoCircles) {
  board.AppMode = kAppEdit;
  StepToBranchTwo();
  EXPECT_EQ(CurrentTNB(), 6);
  EXPECT_TRUE(CirclePoints().empty());
  EXPECT_EQ(board.ChoicePending, 0);
  EXPECT_EQ(view.status[0], "");
}

TEST_F(FigureSteppingTest, AnAuthoredMarkerTextIsNoContinuation) {
  db.AddContents(400, "記号");
  db.AddFigureRow(401, 0, 0, P(2, 2), 1, 9999, 3101, kChoiceMarker);
  db.AddFigureRow(401, 1, 1, P(6, 6), 2, 1, 0);
  OpenContents(contents, kAllContents);
  ShowEntry(400);
  ASSERT_EQ(view.At(P(2, 2)).text, kChoiceMarker);
  const std::vector<int32_t> figure = CellsNow();
  Click(P(2, 2));
  EXPECT_EQ(CellsNow(), figure);
  EXPECT_EQ(view.At(P(2, 2)).text, kChoiceMarker);
  EXPECT_EQ(CurrentTNB(), 1);
}

TEST_F(FigureSteppingTest, EditLayoutClicksGoToTheAuthoringRoutineOnceOneIsSet) {
  board.AppMode = kAppEdit;
  ShowEntry(100);
  const std::vector<int32_t> figure = CellsNow();
  Click(P(9, 9));  // no authoring routine yet: nothing is recorded
  EXPECT_EQ(CellsNow(), figure);
  EXPECT_EQ(board.MoveCount, 0);

  std::vector<int> clicked;
  hooks.SetAuthoring([&](int p, MouseButton button) {
    EXPECT_EQ(button, MouseButton::Right);
    clicked.push_back(p);
  });
  main.BoardClick(P(9, 9), MouseButton::Right);
  EXPECT_EQ(clicked, (std::vector<int>{P(9, 9)}));
}

}  // namespace
}  // namespace momiro::testing
