// LessonWindow: the parts of the main window the lesson player works with
// besides the board cells (those go through BoardView).
//
// The main window TForm2 implements it over ComboBox1 (the figure letter
// box), the help viewer and DBGrid2 (the figure grid); that wiring is a
// later step of the application. The tests implement it with a recorder.
#ifndef MOMIRO_LESSONS_LESSON_WINDOW_H_
#define MOMIRO_LESSONS_LESSON_WINDOW_H_

#include <array>

namespace momiro {

// ComboBox1's items in order ("図選択" is its placeholder text before a
// choice). Item i (from 0) is figure letter i + 1; the 27th item is empty.
// The letters 11 to 17 are written with narrow letters, as shown.
inline constexpr int kFigureItemCount = 27;
inline constexpr std::array<const char*, kFigureItemCount> kFigureItems = {
    "図Ａ", "図Ｂ", "図Ｃ", "図Ｄ", "図Ｅ", "図Ｆ", "図Ｇ", "図Ｈ", "図Ｉ",
    "図Ｊ", "図K",  "図L",  "図M",  "図N",  "図O",  "図P",  "図Q",  "図Ｒ",
    "図Ｓ", "図Ｔ", "図Ｕ", "図Ｖ", "図Ｗ", "図Ｘ", "図Ｙ", "図Ｚ", ""};
inline constexpr const char* kFigureBoxPrompt = "図選択";

class LessonWindow {
 public:
  virtual ~LessonWindow() = default;

  // ComboBox1's selected item index; -1 when none is selected.
  virtual int FigureItemIndex() const = 0;
  // Selects item `index` of ComboBox1; -1 selects none.
  // REQUIRES: -1 <= index < kFigureItemCount.
  virtual void SetFigureItemIndex(int index) = 0;

  // Opens the help viewer at the topic whose context number is given.
  virtual void ShowHelpTopic(int contextNumber) = 0;

  // DBGrid2 leaves / rejoins its data source (DataSource2), so that it does
  // not follow every row move while a path is redrawn.
  virtual void DetachFigureGrid() = 0;
  virtual void AttachFigureGrid() = 0;
};

}  // namespace momiro

#endif  // MOMIRO_LESSONS_LESSON_WINDOW_H_
