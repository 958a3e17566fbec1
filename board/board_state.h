// BoardState: the one shared record of a board's contents, counters, move
// list, capture log, lesson position and end-of-game marking.
//
// One instance lives for the whole run and is shared by the three board
// windows (19, 13 and 9 lines); only the window that is showing uses it. All
// routines that read or change the board take it by reference; nothing here
// draws (drawing goes through BoardView).
//
// Points are numbered 1..N*N down the columns (board/point_geometry.h). Lists
// that the rules address 1-based (move list, capture log, dead list, move
// texts, choices) are reached through 1-based accessors; each starts at the
// size the rules name and grows when a long game outgrows it, so undo of a
// long game keeps working and nothing is written out of bounds.
#ifndef MOMIRO_BOARD_BOARD_STATE_H_
#define MOMIRO_BOARD_BOARD_STATE_H_

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <string>
#include <vector>

namespace momiro {

// Board sizes.
constexpr int kMaxLines = 19;
constexpr int kMaxPoints = kMaxLines * kMaxLines;  // Cells is always sized for 19 lines

// Cell values and colours. Play stores only kEmpty, kBlack and kWhite; lesson
// rows may also store -1/-2 (a stone whose number is drawn red) and 3 (a
// background-text mark).
constexpr int kEmpty = 0;
constexpr int kBlack = 1;
constexpr int kWhite = 2;
constexpr int kBackgroundMark = 3;
constexpr int kEdgeColour = 3;  // colour a neighbour scan reports off the board

// The other side of colour c is 2 div c (2 div 1 = 2, 2 div 2 = 1; negative
// lesson colours give -2 and -1, and 3 gives 0).
// REQUIRES: colour != 0.
inline int OtherColour(int colour) {
  assert(colour != 0);
  return 2 / colour;
}

// True when a cell value is a stone of either colour, wrong-answer stones
// (-1, -2) included.
inline bool IsStoneValue(int value) { return value == 1 || value == 2 || value == -1 || value == -2; }

// Play modes (`PlayMode`) and application modes (`AppMode`).
constexpr int kPlayAlternate = 1;  // "交互"
constexpr int kPlayFree = 2;       // "自由"
constexpr int kPlayEndOfGame = 3;  // "終局"
constexpr int kAppView = 1;        // view and play, button caption "入門"
constexpr int kAppEdit = 2;        // edit, button caption "編集"

// Display codes of PlacePoint.
constexpr int kDrawStone = 0;             // stone without a move number
constexpr int kDrawNewestNumber = 1;      // stone with its number, previous number erased
constexpr int kDrawAllNumbers = 2;        // stone with its number, earlier numbers kept
// 10 * kind + textColour draws an authored text: kind 1 on a stone ("石上"),
// 2 on the background ("背景"), 3 directly ("直接"); text colour 1 standard
// ("標準"), 2 green ("緑"), 3 red ("赤").
constexpr int kTextOnStone = 1;
constexpr int kTextOnBackground = 2;
constexpr int kTextDirect = 3;
constexpr int kTextStandard = 1;
constexpr int kTextGreen = 2;
constexpr int kTextRed = 3;

// Initial capacities of the lists, as the rules name them.
constexpr int kMoveListCapacity = 400;
constexpr int kMoveTextCapacity = 100;
constexpr int kCaptureLogCapacity = 100;
constexpr int kDeadListCapacity = 50;
constexpr int kChoiceCapacity = 20;

// A move-list entry: move number, colour, point, display code.
struct MoveEntry {
  int32_t moveNumber = 0;
  int32_t colour = 0;
  int32_t point = 0;
  int32_t displayCode = 0;
};

// A capture-log entry. During play the key is the move-list index of the
// capturing move and number its move number; while a lesson is drawn the key
// is the TES of the figure row being drawn and number the TES of the last
// earlier row that put a stone on the point. An all-zero entry is free.
struct CaptureEntry {
  int32_t key = 0;
  int32_t number = 0;
  int32_t colour = 0;
  int32_t point = 0;
  bool IsFree() const { return key == 0 && number == 0 && colour == 0 && point == 0; }
};

// A choice entry: the first row of one continuation offered at a branch row.
// An entry with point 0 ends the list.
struct ChoiceEntry {
  int32_t point = 0;
  int32_t tnb = 0;     // TNB of the continuation's first row
  int32_t colour = 0;  // its COL: > 0 a correct answer, <= 0 a wrong one
};

// A 1-based list that starts at a fixed capacity and grows on demand. Reads
// beyond the end see a default (free) entry; writes grow the list.
template <typename T>
class GrowingList {
 public:
  explicit GrowingList(int capacity) : items_(capacity) {}

  // Entry i (1-based) for reading; entries never written read as free.
  const T& At(int i) const {
    assert(i >= 1);
    static const T kFree{};
    return i <= Size() ? items_[i - 1] : kFree;
  }
  // Entry i (1-based) for writing; grows the list when i is past its end.
  T& Mutable(int i) {
    assert(i >= 1);
    if (i > Size()) items_.resize(std::max<size_t>(static_cast<size_t>(i), items_.size() * 2));
    return items_[i - 1];
  }
  int Size() const { return static_cast<int>(items_.size()); }

 private:
  std::vector<T> items_;  // entry i at index i - 1
};

struct BoardState {
  BoardState() : Cells(kMaxPoints, 0) {}

  int32_t LineCount = kMaxLines;    // N of the window in use
  int32_t PointCount = kMaxPoints;  // N * N
  std::vector<int32_t> Cells;       // kMaxPoints entries; entry p at index p - 1

  int32_t MoveNumber = 0;     // number of the last numbered move; 0 when none
  int32_t CurrentColour = 0;  // colour to play next, or colour just read (lessons)
  int32_t LastPoint = 0;      // point whose number code-1 drawing erases next; 0 none
  int32_t AppMode = 0;        // kAppView or kAppEdit
  int32_t PlayMode = 0;       // kPlayAlternate, kPlayFree or kPlayEndOfGame

  GrowingList<MoveEntry> MoveList{kMoveListCapacity};  // entries 1..MoveCount are on the board
  int32_t MoveCount = 0;
  GrowingList<std::string> MoveTexts{kMoveTextCapacity};  // one text per move-list entry

  GrowingList<CaptureEntry> CaptureLog{kCaptureLogCapacity};
  int32_t CaptureCount = 0;

  int32_t BlackStonesTaken = 0;  // White's prisoners, shown in Edit2 ("白番")
  int32_t WhiteStonesTaken = 0;  // Black's prisoners, shown in Edit1 ("黒番")

  // End-of-game marking: p > 0 still to be examined, -p examined, 0 free.
  GrowingList<int32_t> DeadList{kDeadListCapacity};
  int32_t DeadCount = 0;
  int32_t DeadMarked = 0;  // 1 while a group is marked with "*"

  int32_t ContentsNumber = 0;  // MNB of the current contents entry; 0 none
  int32_t FigureLetter = 0;    // 1 = 図Ａ ... 26 = 図Ｚ
  GrowingList<ChoiceEntry> Choices{kChoiceCapacity};  // continuations at a branch row
  int32_t ChoicePending = 0;
  int32_t LessonStepTaken = 0;  // 1 after a lesson step forward

  int32_t TextKind = 0;    // authoring text kind; 0 not chosen
  int32_t TextColour = 0;  // authoring text colour; 0 not chosen

  std::string ProgramDirectory;  // directory of the program file, with trailing separator

  // Cell value of point p. REQUIRES: 1 <= p <= kMaxPoints.
  int32_t Cell(int p) const {
    assert(p >= 1 && p <= kMaxPoints);
    return Cells[p - 1];
  }
  void SetCell(int p, int32_t value) {
    assert(p >= 1 && p <= kMaxPoints);
    Cells[p - 1] = value;
  }
};

}  // namespace momiro

#endif  // MOMIRO_BOARD_BOARD_STATE_H_
