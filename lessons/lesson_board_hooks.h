// LessonBoardHooks: the main board's lesson behaviour (board/board_rules.h
// BoardHooks) handed to the lesson player and the lesson editor.
//
// A click on a "●" takes that continuation and "1手戻す" with no played move
// left steps the lesson back. Clicks in the edit layout go to the authoring
// routine: LessonAuthor::RecordAuthoringClick once SetAuthor is given the
// editor (or any routine set with SetAuthoring); with none set such clicks
// record nothing.
#ifndef MOMIRO_LESSONS_LESSON_BOARD_HOOKS_H_
#define MOMIRO_LESSONS_LESSON_BOARD_HOOKS_H_

#include <functional>
#include <utility>

#include "board/board_rules.h"
#include "lessons/figure_player.h"
#include "lessons/lesson_author.h"

namespace momiro {

class LessonBoardHooks : public BoardHooks {
 public:
  using AuthoringClick = std::function<void(int p, MouseButton button)>;

  // The player is not owned and outlives the hooks.
  explicit LessonBoardHooks(FigurePlayer& player) : player_(player) {}

  // The edit layout's clicks record entries with author, which is not owned
  // and outlives the hooks; nullptr detaches.
  void SetAuthor(LessonAuthor* author) {
    if (author == nullptr) {
      authoring_ = nullptr;
    } else {
      authoring_ = [author](int p, MouseButton button) { author->RecordAuthoringClick(p, button); };
    }
  }
  void SetAuthoring(AuthoringClick authoring) { authoring_ = std::move(authoring); }

  void ChooseContinuation(int p) override { player_.TakeChoice(p); }
  void RecordAuthoringEntry(int p, MouseButton button) override {
    if (authoring_) authoring_(p, button);
  }
  void StepLessonBack() override { player_.StepBack(); }

 private:
  FigurePlayer& player_;
  AuthoringClick authoring_;  // the edit layout's click routine; empty when none is set
};

}  // namespace momiro

#endif  // MOMIRO_LESSONS_LESSON_BOARD_HOOKS_H_
