// TForm2: the main window — the 19-line board, the lesson contents and
// figure grids, the panel buttons, the play-mode and text-style groups, the
// prisoner boxes, the menus, the status bar with its clock, and the sounds.
//
// The window owns its controls and handlers; the handlers call the board
// routines (BoardRules over the shared BoardState) and the lesson routines:
// the lesson player (FigurePlayer) over the data module's contents and
// figure queries, and the adjourned-game store over the figure query. All
// state lives in BoardState and in the queries' current rows.
//
// The window is the player's LessonWindow: ComboBox1 holds the figure
// letters, the help viewer opens a lesson's topic, and DBGrid2 leaves its
// data source while a path is redrawn. It is the editor's AuthoringWindow
// over Edit3: in the edit layout the board clicks record authoring entries
// (LessonAuthor through the board hooks), CuteButton2, 3, 4, 8, 11 and 13
// and the text-style buttons RadioButton5 ... RadioButton10 run the
// LessonAuthor handlers, and DBGrid2 is editable: a changed cell is stored
// through the live figure query at once, and a change the query refuses is
// shown in a message box and leaves the row as it was. DBGrid1 shows the contents query
// (one column ITM titled "目次") and DBGrid2 the figure rows, each through a
// TDataGridModel over the data module's DataSource1 and DataSource2; a
// click on a grid row makes that row current before the handler runs.
//
// Without lesson data (the board's own tests) the lesson controls do
// nothing, and without data sources (queries that are no datasets) the
// grids stay empty while the lesson handlers still work on the queries.
//
// The "操作" menu gives the lesson buttons their keys (Right "1手進む", Left
// "1手戻す", Up "前の図", Down "次の図", Home "元に戻す", Page Up
// "１手順戻す"): each item runs its button's handler and is enabled only
// while the button can be clicked; the digits 1 to 9 take a choice circle;
// "図を保存…" saves the board as shown (TDiagramSaveDialog).
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
#include "app/data_grid_model.h"
#include "app/sound_player.h"
#include "app/status_panels.h"
#include "board/board_state.h"
#include "board/board_rules.h"
#include "components/data_link.h"
#include "lessons/adjourned_game_store.h"
#include "lessons/authoring_window.h"
#include "lessons/figure_player.h"
#include "lessons/lesson_author.h"
#include "lessons/lesson_board_hooks.h"
#include "lessons/lesson_tables.h"
#include "lessons/lesson_window.h"
#include "lessons/query_figure_rows.h"

namespace momiro {

class TDataModule1;
class THelpViewer;
class TSmallBoardWindow;

// What the main window shows and plays lessons from. The queries and
// sources are not owned and outlive the window.
struct LessonData {
  LessonQueries* queries = nullptr;
  rudira::TDataSource* contentsSource = nullptr;  // DataSource1, shown by DBGrid1
  rudira::TDataSource* figureSource = nullptr;    // DataSource2, shown by DBGrid2
};
// The data module's queries and sources.
LessonData LessonDataOf(TDataModule1& module);

inline constexpr const char* kProgramTitle = "Momiro";
inline constexpr const char* kVersionText = "Momiro\nVersion 2.3";
inline constexpr const char* kExitQuestion = "「Momiro」を終了していいですか？";

class TForm2 : public QMainWindow, public LessonWindow, public AuthoringWindow {
  Q_OBJECT
 public:
  // Creates the window and runs its FormCreate on the shared board, which
  // opens the lessons of `lessons` (none when it has no queries). A failure
  // to open them (no kyozai) is shown in a message box and the window goes
  // on with an empty contents list.
  explicit TForm2(BoardState& board, LessonData lessons = {}, QWidget* parent = nullptr);
  ~TForm2() override;

  BoardRules& Board() { return main_; }
  TBoardCells& Cells() { return *cells_; }
  THelpViewer& Help() { return *help_; }
  TCuteButton* Button(int number) const { return buttons_.at(number); }
  TDataGridModel& ContentsGrid() { return grid1Model_; }
  TDataGridModel& FigureGrid() { return grid2Model_; }
  // The lesson routines; null without lesson data.
  FigurePlayer* Player() { return player_.get(); }
  AdjournedGameStore* AdjournedStore() { return store_.get(); }
  LessonAuthor* Author() { return author_.get(); }

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
  // Lesson handlers. The grid handlers act on the query's current row, which
  // a click on the grid has made the clicked row.
  void DBGrid1CellClick();
  void DBGrid1DblClick();
  void DBGrid2CellClick();
  void ComboBox1Click();
  void CuteButton5Click();   // "1手進む"
  void CuteButton9Click();   // "元に戻す"
  void CuteButton10Click();  // "１手順戻す"
  void CuteButton14Click();  // "次の図"
  void CuteButton15Click();  // "前の図"
  void Save1Click();         // "打ち掛け" -> "保存"
  void N2Click();            // "打ち掛け" -> "復元"
  // Authoring handlers of the edit layout.
  void CuteButton2Click();   // "基本図登録"
  void CuteButton3Click();   // "基本図削除"
  void CuteButton4Click();   // "手順削除"
  void CuteButton8Click();   // "手順登録"
  void CuteButton11Click();  // "MNB変"
  void CuteButton13Click();  // "図表示"
  void RadioButton5Click();  // "石上"
  void RadioButton6Click();  // "背景"
  void RadioButton7Click();  // "直接"
  void RadioButton8Click();  // "標準"
  void RadioButton9Click();  // "緑"
  void RadioButton10Click(); // "赤"
  // "操作" -> "図を保存…": the board as shown, to PNG or SVG.
  void SaveDiagramClick();
  // Digit n (1 .. 9) of the "操作" menu: while choice circles are shown, a
  // click on the n-th of them in reading order (rows from the top, each
  // from the left); nothing when fewer are shown.
  void ChooseCircle(int n);

  // LessonWindow.
  int FigureItemIndex() const override;
  void SetFigureItemIndex(int index) override;
  void ShowHelpTopic(int contextNumber) override;
  void DetachFigureGrid() override;
  void AttachFigureGrid() override;

  // AuthoringWindow.
  std::string Edit3Text() const override;
  void SetEdit3Text(const std::string& text) override;

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
  // "操作": the lesson buttons' keys, the circle digits and "図を保存…".
  void CreateOperationMenu(QMenuBar* bar);
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
  // Runs a lesson handler when there are lessons.
  void WithPlayer(void (FigurePlayer::*handler)());
  // Runs an authoring handler when there are lessons.
  void WithAuthor(void (LessonAuthor::*handler)());

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
  std::map<QWidget*, QRect> formGeometry_;  // each control's geometry as the form creates it
  TSmallBoardWindow* form3_ = nullptr;  // not owned
  TSmallBoardWindow* form4_ = nullptr;  // not owned

  LessonData lessons_;
  TDataGridModel grid1Model_;  // DBGrid1: ITM of the contents
  TDataGridModel grid2Model_;  // DBGrid2: the figure rows
  // The lesson routines over lessons_.queries; all null without lessons.
  std::unique_ptr<QueryFigureRows> figureRows_;
  std::unique_ptr<FigurePlayer> player_;
  std::unique_ptr<LessonAuthor> author_;  // before the hooks that call it
  std::unique_ptr<LessonBoardHooks> hooks_;
  std::unique_ptr<AdjournedGameStore> store_;
};

}  // namespace momiro

#endif  // MOMIRO_APP_MAIN_WINDOW_H_
