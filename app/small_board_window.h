// TForm3 (13 lines) and TForm4 (9 lines), both titled "Sorabi": play-only
// board windows. They work on the shared BoardState with their own cells,
// buttons, play-mode group, prisoner boxes, status bar, menus and a clock
// that ticks once a minute. The main window shows them modally and takes
// the board back when they close.
//
// With the figure query of the lesson tables, each window keeps the
// adjourned game of its size there (AdjournedGameStore over its own board
// routines): "クリア" stores the game first, and the 13-line window's
// "打ち掛け" menu saves and restores it. Without it nothing is stored.
// "図を保存…", before "終了" in the menu bar, saves the board as shown.
#ifndef MOMIRO_APP_SMALL_BOARD_WINDOW_H_
#define MOMIRO_APP_SMALL_BOARD_WINDOW_H_

#include <QGroupBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QRadioButton>
#include <QTimer>
#include <array>
#include <memory>

#include "app/board_cells.h"
#include "app/cute_button.h"
#include "app/sound_player.h"
#include "app/status_panels.h"
#include "board/board_rules.h"
#include "board/board_state.h"
#include "lessons/adjourned_game_store.h"
#include "lessons/lesson_query.h"

namespace momiro {

inline constexpr const char* kSmallTitle = "Sorabi";
inline constexpr const char* kSmallExitQuestion = "「Sorabi」を終了していいですか？";

class TSmallBoardWindow : public QMainWindow {
  Q_OBJECT
 public:
  // lines: 13 (TForm3) or 9 (TForm4). Runs the window's FormCreate (the
  // small clear) on the shared board; the window starts hidden. figures:
  // the figure query (RUDIRAQuery2), not owned, outliving the window; null
  // for no adjourned games.
  TSmallBoardWindow(BoardState& board, int lines, LessonQuery* figures = nullptr,
                    QWidget* parent = nullptr);
  ~TSmallBoardWindow() override;

  BoardRules& Board() { return rules_; }
  TBoardCells& Cells() { return *cells_; }
  int Lines() const { return lines_; }

  // N4Click / N5Click of the main window: sets the board to this window's
  // size, begins alternate play and shows the window modally.
  void OpenFromMainWindow();

  void Label1MouseDown(int p, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void CuteButton1Click();  // take back
  void CuteButton2Click();  // clear
  void CountClick();        // N3Click (TForm3), N1Click (TForm4)
  void Save1Click();        // "打ち掛け" -> "保存" (TForm3)
  void N2Click();           // "打ち掛け" -> "復元" (TForm3)
  void Exit1Click();
  void Timer1Timer();
  // "図を保存…": the board as shown, to PNG or SVG.
  void SaveDiagramClick();

 signals:
  // The window has closed; the main window takes the board back.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  static std::unique_ptr<TBoardCells> CreateBoardCells(QMainWindow* window, int lines);
  void CreateControls(QWidget* client);
  void CreateMenu();
  template <typename Signal, typename Sender>
  void Wire(Sender* sender, Signal signal, std::function<void()> handler);

  BoardState& board_;
  const int lines_;
  std::unique_ptr<TBoardCells> cells_;  // the board's cells; the widgets belong to the window
  BoardRules rules_;
  TCuteButton* cuteButton1_ = nullptr;
  TCuteButton* cuteButton2_ = nullptr;
  std::array<QRadioButton*, 3> radios_{};  // RadioButton1 ... RadioButton3
  QLineEdit* edit1_ = nullptr;
  QLineEdit* edit2_ = nullptr;
  TStatusPanels* statusBar1_ = nullptr;
  TSoundPlayer* mediaPlayer1_ = nullptr;
  QTimer* timer1_ = nullptr;
  std::unique_ptr<AdjournedGameStore> store_;  // null without the figure query
};

}  // namespace momiro

#endif  // MOMIRO_APP_SMALL_BOARD_WINDOW_H_
