// LessonBoardHooks: the main board's lesson behaviour (board/board_rules.h
// BoardHooks) handed to the lesson player.
//
// A click on a "●" takes that continuation and "1手戻す" with no played move
// left steps the lesson back. Authoring clicks in the edit layout go to the
// authoring routine set with SetAuthoring; until lesson authoring is wired
// in (a later step) none is set and such clicks record nothing.
#ifndef MOMIRO_LESSONS_LESSON_BOARD_HOOKS_H_
#define MOMIRO_LESSONS_LESSON_BOARD_HOOKS_H_

#include <functional>
#include <utility>

#include "board/board_rules.h"
#include "lessons/figure_player.h"

namespace momiro {

class LessonBoardHooks : public BoardHooks {
 public:
  using AuthoringClick = std::function<void(int p, MouseButton button)>;

  // The player is not owned and outlives the hooks.
  explicit LessonBoardHooks(FigurePlayer& player) : player_(player) {}

  void SetAuthoring(AuthoringClick authoring) { authoring_ = std::move(authoring); }

  void ChooseContinuation(int p) override { player_.TakeChoice(p); }
  void RecordAuthoringEntry(int p, MouseButton button) override {
    // Placeholder until lesson authoring is in: no routine, nothing recorded.
    if (authoring_) authoring_(p, button);
  }
  void StepLessonBack() override { player_.StepBack(); }

 private:
  FigurePlayer& player_;
  AuthoringClick authoring_;  // empty until authoring is wired in
};

}  // namespace momiro

#endif  // MOMIRO_LESSONS_LESSON_BOARD_HOOKS_H_
