// TForm2: the main window — the 19-line board, the lesson contents and
// figure grids, the panel buttons, the play-mode and text-style groups, the
// prisoner boxes, the menus, the status bar with its clock, and the sounds.
//
// The window owns its controls and handlers; the handlers call the board
// routines (BoardRules over the shared BoardState) and, once the lessons
// layer is in, the lesson routines. All state lives in BoardState.
#ifndef MOMIRO_APP_MAIN_WINDOW_H_
#define MOMIRO_APP_MAIN_WINDOW_H_

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <map>
#include <memory>

#include "app/board_cells.h"
#include "app/cute_button.h"
#include "app/sound_player.h"
#include "app/status_panels.h"
#include "board/board_state.h"
#include "board/board_rules.h"

namespace momiro {

class THelpViewer;
class TSmallBoardWindow;

inline constexpr const char* kProgramTitle = "Momiro";
inline constexpr const char* kVersionText = "Momiro\nVersion 2.3";
inline constexpr const char* kExitQuestion = "「Momiro」を終了していいですか？";

class TForm2 : public QMainWindow {
  Q_OBJECT
 public:
  // Creates the window and runs its FormCreate on the shared board.
  explicit TForm2(BoardState& board, QWidget* parent = nullptr);
  ~TForm2() override;

  BoardRules& Board() { return main_; }
  TBoardCells& Cells() { return *cells_; }
  THelpViewer& Help() { return *help_; }
  TCuteButton* Button(int number) const { return buttons_.at(number); }

  // The 13- and 9-line windows that "１３路盤" and "９路盤" open; they stay
  // owned by the caller.
  void SetSmallWindows(TSmallBoardWindow* form3, TSmallBoardWindow* form4);

  // Layouts of AppMode 1 ("入門") and 2 ("編集").
  void ShowViewLayout();
  void ShowEditLayout();

  // Handlers.
  void Label1MouseDown(int p, Qt::MouseButton button);
  void CuteButton1Click();
  void CuteButton6Click();
  void CuteButton7Click();
  void N10Click();
  void N4Click();
  void N5Click();
  void N8Click();
  void N9Click();
  void ALLHelpClick();
  void VInfoClick();
  void APEndClick();
  void Timer1Timer();

  // "mm/dd  hh:mm AM/PM" of a local date and time.
  static QString ClockText(const QDateTime& time);

 protected:
  // Closing the main window by its title bar ends the program without a question.
  void closeEvent(QCloseEvent* event) override;

 private:
  static std::unique_ptr<TBoardCells> CreateBoardCells(QMainWindow* window);
  void FormCreate();
  void CreateControls(QWidget* client);
  void CreateMenu();
  TCuteButton* AddButton(QWidget* client, int number, const char* caption, int left, int top,
                         int width = 75);
  QLabel* AddLabel(QWidget* client, const char* name, const char* caption, int left, int top);
  QRadioButton* AddRadio(QGroupBox* group, int number, const char* caption, int left, int top);
  // Connects a handler so that it runs under the top-level error handler.
  template <typename Signal, typename Sender>
  void Wire(Sender* sender, Signal signal, std::function<void()> handler);
  void SetTop(QWidget* widget, int top);
  void HideAtFormPosition(QWidget* widget);
  void ShowPrisonerBoxes(bool shown);
  void OpenSmallWindow(TSmallBoardWindow* window);
  void SmallWindowClosed();

  BoardState& board_;
  std::unique_ptr<TBoardCells> cells_;  // the board's cells; the widgets belong to the window
  BoardRules main_;
  std::map<int, TCuteButton*> buttons_;  // CuteButton<number>
  QComboBox* comboBox1_ = nullptr;
  QGroupBox* groupBox1_ = nullptr;
  QGroupBox* groupBox2_ = nullptr;
  QGroupBox* groupBox3_ = nullptr;
  std::map<int, QRadioButton*> radios_;  // RadioButton<number>
  QLabel* label362_ = nullptr;
  QLabel* label363_ = nullptr;
  QLabel* label364_ = nullptr;
  QLabel* label365_ = nullptr;
  QLineEdit* edit1_ = nullptr;
  QLineEdit* edit2_ = nullptr;
  QLineEdit* edit3_ = nullptr;
  QTableView* dbGrid1_ = nullptr;
  QTableView* dbGrid2_ = nullptr;
  TStatusPanels* statusBar1_ = nullptr;
  TSoundPlayer* mediaPlayer1_ = nullptr;
  QTimer* timer1_ = nullptr;
  std::unique_ptr<THelpViewer> help_;
  std::map<QWidget*, QRect> formGeometry_;
  TSmallBoardWindow* form3_ = nullptr;  // not owned
  TSmallBoardWindow* form4_ = nullptr;  // not owned  // each control's geometry as the form creates it
};

}  // namespace momiro

#endif  // MOMIRO_APP_MAIN_WINDOW_H_
