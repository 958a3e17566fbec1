// AdjournedGameStore: one put-aside game per board size, kept as figure rows
// under the contents number equal to the board's line count (19, 13 or 9;
// lessons never use these numbers).
//
// One row per move-list entry, in move-list order:
//   MNB  the line count          TES  the entry's move number (0 free stone)
//   COL  the entry's colour      PST  the entry's point on that board
//   BFR, BTO, DTX, CMT empty;    TNB  numbered whenever the rows are opened
// Captured stones are not stored: replaying the moves captures them again.
//
// Each board window has its own store over its BoardRules (the main window
// and the 13-line window); all share the figure query. Storing or restoring
// leaves ContentsNumber at the line count and the figure query on the stored
// rows, so the lesson position is lost. The play mode is not changed.
#ifndef MOMIRO_LESSONS_ADJOURNED_GAME_STORE_H_
#define MOMIRO_LESSONS_ADJOURNED_GAME_STORE_H_

#include "board/board_rules.h"
#include "board/board_view.h"
#include "lessons/lesson_query.h"

namespace momiro {

inline constexpr const char* kGameSaved = "　保存しました。";     // leading full-width space
inline constexpr const char* kGameRestored = "　復元しました。";  // leading full-width space

class AdjournedGameStore : public AdjournedGames {
 public:
  // The rules, view and figure query are not owned and outlive the store.
  AdjournedGameStore(BoardRules& rules, BoardView& view, LessonQuery& figures);
  AdjournedGameStore(const AdjournedGameStore&) = delete;
  AdjournedGameStore& operator=(const AdjournedGameStore&) = delete;

  // Replaces the stored game of LineCount lines with the recorded moves;
  // with nothing recorded (move-list entry 1 has point 0) the stored game
  // stays as it was.
  void SaveAdjournedGame() override;
  // Replays the stored game of LineCount lines onto the cleared board: the
  // move list, counters, stones, newest move number and captures return, and
  // the side that did not make the last stored move is to play. A stored row
  // off the board or without a stone colour raises ELessonDataError.
  // REQUIRES: the board has just been cleared.
  void RestoreAdjournedGame();

  // "保存" (Save1Click): store, "　保存しました。", sound 0.
  void Save1Click();
  // "復元" (N2Click): the window's clear, restore, "　復元しました。", sound 0.
  void N2Click();

 private:
  BoardRules& rules_;
  BoardState& board_;
  BoardView& view_;
  LessonQuery& figures_;  // RUDIRAQuery2; not owned
};

}  // namespace momiro

#endif  // MOMIRO_LESSONS_ADJOURNED_GAME_STORE_H_
