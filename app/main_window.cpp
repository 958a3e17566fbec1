#include "app/main_window.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QCloseEvent>
#include <algorithm>
#include <cassert>
#include <optional>

#include "app/button_shortcut.h"
#include "app/diagram_save_dialog.h"
#include "app/error_guard.h"
#include "app/help_viewer.h"
#include "app/small_board_window.h"
#include "app/termination.h"
#include "app/user_dialogs.h"
#include "board/point_geometry.h"
#include "lessons/data_module.h"

namespace momiro {
namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr int kClientWidth = 832;
constexpr int kWindowHeight = 610;

QFont UiFont(int pixels = 12) {
  QFont font(U(kUiFontFamily));
  font.setPixelSize(pixels);
  return font;
}

// DBGrid2's columns: the fields of a figure row under their own names.
std::vector<GridColumn> FigureColumns() {
  std::vector<GridColumn> columns;
  for (const char* name : {"MNB", "TES", "COL", "PST", "BFR", "BTO", "DTX", "TNB", "CMT"}) {
    columns.push_back({name, QString::fromLatin1(name)});
  }
  return columns;
}

}  // namespace

LessonData LessonDataOf(TDataModule1& module) {
  return {&module.Queries(), &module.DataSource1, &module.DataSource2};
}

template <typename Signal, typename Sender>
void TForm2::Wire(Sender* sender, Signal signal, std::function<void()> handler) {
  connect(sender, signal, this, [this, handler] { Guarded(this, handler); });
}

// The board cells must exist before the board routines that draw on them, so
// the client widget and its cells are made while the members are initialised.
std::unique_ptr<TBoardCells> TForm2::CreateBoardCells(QMainWindow* window) {
  auto* client = new QWidget(window);
  client->setObjectName("TForm2Client");
  window->setCentralWidget(client);
  return std::make_unique<TBoardCells>(client, MainBoardGeometry());
}

TForm2::TForm2(BoardState& board, LessonData lessons, QWidget* parent)
    : QMainWindow(parent),
      board_(board),
      cells_(CreateBoardCells(this)),
      main_(board, *cells_),
      lessons_(lessons),
      grid1Model_({{"ITM", QString::fromUtf8("目次")}}),
      grid2Model_(FigureColumns()) {
  setObjectName("TForm2");
  setWindowTitle(U(kProgramTitle));
  setFixedSize(kClientWidth, kWindowHeight);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(240, 240, 255));
  setPalette(pal);
  setAutoFillBackground(true);

  QWidget* client = centralWidget();
  CreateControls(client);
  CreateMenu();
  statusBar1_ = new TStatusPanels(this);
  setStatusBar(statusBar1_);
  mediaPlayer1_ = new TSoundPlayer(this);
  help_ = std::make_unique<THelpViewer>(this);
  cells_->Attach(edit1_, edit2_, statusBar1_, mediaPlayer1_,
                 {radios_[1], radios_[2], radios_[3]}, &board_.ProgramDirectory);
  connect(cells_.get(), &TBoardCells::PointPressed, this,
          [this](int p, Qt::MouseButton button, Qt::KeyboardModifiers) {
            Guarded(this, [&] { Label1MouseDown(p, button); });
          });

  timer1_ = new QTimer(this);
  timer1_->setObjectName("Timer1");
  timer1_->setInterval(1000);
  Wire(timer1_, &QTimer::timeout, [this] { Timer1Timer(); });
  timer1_->start();

  if (lessons_.queries != nullptr) {
    LessonQueries& queries = *lessons_.queries;
    figureRows_ = std::make_unique<QueryFigureRows>(queries.figures);
    player_ = std::make_unique<FigurePlayer>(main_, *cells_, *this, queries.contents, queries.figures);
    author_ = std::make_unique<LessonAuthor>(main_, *cells_, *this, *this, queries.figures,
                                             queries.branches);
    hooks_ = std::make_unique<LessonBoardHooks>(*player_);
    hooks_->SetAuthor(author_.get());
    store_ = std::make_unique<AdjournedGameStore>(main_, *cells_, queries.figures);
    main_.SetFigureRows(figureRows_.get());
    main_.SetHooks(hooks_.get());
    main_.SetAdjournedGames(store_.get());
  }
  grid1Model_.SetDataSource(lessons_.contentsSource);
  grid2Model_.SetDataSource(lessons_.figureSource);

  FormCreate();
  Timer1Timer();
  // Centred on the screen.
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

TForm2::~TForm2() = default;

void TForm2::FormCreate() {
  QString dir = QCoreApplication::applicationDirPath();
  if (!dir.endsWith('/')) dir += '/';
  board_.ProgramDirectory = dir.toStdString();
  help_->SetHelpFile(dir + "Momiro.hlp");
  main_.ClearBoard();
  board_.AppMode = kAppView;
  board_.PlayMode = kPlayFree;
  board_.LineCount = kMaxLines;
  board_.PointCount = kMaxPoints;
  main_.SelectPlayModeButton(kPlayFree);
  ShowViewLayout();
  // The contents "Where MNB >= 0", ContentsNumber := the first entry's MNB,
  // and its figure rows. Without a kyozai the engine's message is shown and
  // the contents list stays empty.
  if (lessons_.queries != nullptr) Guarded(this, [this] { OpenLessons(*lessons_.queries, board_); });
}

TCuteButton* TForm2::AddButton(QWidget* client, int number, const char* caption, int left,
                               int top, int width) {
  auto* button = new TCuteButton(client, U(caption), left, top);
  button->setObjectName(QString("CuteButton%1").arg(number));
  button->resize(width, 25);
  buttons_[number] = button;
  return button;
}

QLabel* TForm2::AddLabel(QWidget* client, const char* name, const char* caption, int left,
                         int top) {
  auto* label = new QLabel(U(caption), client);
  label->setObjectName(name);
  label->setFont(UiFont());
  label->move(left, top);
  label->adjustSize();
  return label;
}

QRadioButton* TForm2::AddRadio(QGroupBox* group, int number, const char* caption, int left,
                               int top) {
  auto* radio = new QRadioButton(U(caption), group);
  radio->setObjectName(QString("RadioButton%1").arg(number));
  radio->setFont(UiFont());
  radio->move(left, top);
  radio->adjustSize();
  radios_[number] = radio;
  return radio;
}

void TForm2::CreateControls(QWidget* client) {
  // Grids of the contents and of the figure rows; the lesson tables bind them.
  dbGrid1_ = new QTableView(client);
  dbGrid1_->setObjectName("DBGrid1");
  dbGrid1_->setGeometry(550, 32, 266, 327);
  dbGrid2_ = new QTableView(client);
  dbGrid2_->setObjectName("DBGrid2");
  dbGrid2_->setGeometry(550, 136, 266, 140);
  dbGrid1_->setModel(&grid1Model_);
  dbGrid2_->setModel(&grid2Model_);
  dbGrid1_->horizontalHeader()->setStretchLastSection(true);
  for (QTableView* grid : {dbGrid1_, dbGrid2_}) {
    grid->setFont(UiFont());
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->setDefaultSectionSize(18);
  }
  dbGrid1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The author corrects figure rows by hand; a single click stays the
  // lesson click that rebuilds the board up to the row.
  dbGrid2_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
  grid2Model_.SetEditable(true);
  // The grid's highlighted row follows the dataset's current record.
  for (auto [grid, model] : {std::pair{dbGrid1_, &grid1Model_}, std::pair{dbGrid2_, &grid2Model_}}) {
    connect(model, &TDataGridModel::CurrentRowChanged, grid, [grid = grid](int row) {
      if (row < 0) {
        grid->clearSelection();
      } else {
        grid->selectRow(row);
      }
    });
  }

  AddButton(client, 1, "入門", 776, 512, 48);
  AddButton(client, 2, "基本図登録", 550, 320);
  AddButton(client, 3, "基本図削除", 640, 320);
  AddButton(client, 4, "手順削除", 640, 348);
  AddButton(client, 5, "1手進む", 550, 400);
  AddButton(client, 6, "クリア", 640, 432);
  AddButton(client, 7, "1手戻す", 640, 400);
  AddButton(client, 8, "手順登録", 550, 348);
  AddButton(client, 9, "元に戻す", 550, 432);
  AddButton(client, 10, "１手順戻す", 728, 400);
  AddButton(client, 11, "MNB変", 680, 520, 52);
  AddButton(client, 13, "図表示", 624, 520, 52);
  AddButton(client, 14, "次の図", 550, 376);
  AddButton(client, 15, "前の図", 640, 376);

  comboBox1_ = new QComboBox(client);
  comboBox1_->setObjectName("ComboBox1");
  comboBox1_->setFont(UiFont());
  comboBox1_->setGeometry(730, 376, 86, 22);
  for (const char* item : kFigureItems) comboBox1_->addItem(U(item));
  comboBox1_->setPlaceholderText(U(kFigureBoxPrompt));
  comboBox1_->setCurrentIndex(-1);

  groupBox1_ = new QGroupBox(client);
  groupBox1_->setObjectName("GroupBox1");
  groupBox1_->setGeometry(600, 488, 170, 40);
  AddRadio(groupBox1_, 1, "交互", 8, 14);
  AddRadio(groupBox1_, 2, "自由", 62, 14);
  AddRadio(groupBox1_, 3, "終局", 116, 14);
  radios_[1]->setChecked(true);  // selected in the form

  groupBox2_ = new QGroupBox(client);
  groupBox2_->setObjectName("GroupBox2");
  groupBox2_->setGeometry(600, 240, 88, 100);
  AddRadio(groupBox2_, 5, "石上", 10, 16);
  AddRadio(groupBox2_, 6, "背景", 10, 42);
  AddRadio(groupBox2_, 7, "直接", 10, 68);
  groupBox3_ = new QGroupBox(client);
  groupBox3_->setObjectName("GroupBox3");
  groupBox3_->setGeometry(696, 240, 88, 100);
  AddRadio(groupBox3_, 8, "標準", 10, 16);
  AddRadio(groupBox3_, 9, "緑", 10, 42);
  AddRadio(groupBox3_, 10, "赤", 10, 68);

  label362_ = AddLabel(client, "Label362", "アゲ石：", 576, 462);
  label364_ = AddLabel(client, "Label364", "黒番", 638, 462);
  label365_ = AddLabel(client, "Label365", "白番", 718, 462);
  label363_ = AddLabel(client, "Label363", "文字・記号", 550, 220);
  edit1_ = new QLineEdit(client);
  edit1_->setObjectName("Edit1");
  edit1_->setGeometry(664, 458, 40, 21);
  edit2_ = new QLineEdit(client);
  edit2_->setObjectName("Edit2");
  edit2_->setGeometry(744, 458, 40, 21);
  edit3_ = new QLineEdit(client);
  edit3_->setObjectName("Edit3");
  edit3_->setGeometry(624, 216, 100, 21);
  for (QLineEdit* edit : {edit1_, edit2_, edit3_}) edit->setFont(UiFont());
  edit1_->setReadOnly(true);
  edit2_->setReadOnly(true);

  for (QWidget* w : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    formGeometry_[w] = w->geometry();
  }

  Wire(buttons_[1], &QAbstractButton::clicked, [this] { CuteButton1Click(); });
  Wire(buttons_[6], &QAbstractButton::clicked, [this] { CuteButton6Click(); });
  Wire(buttons_[7], &QAbstractButton::clicked, [this] { CuteButton7Click(); });
  // A user click on a play-mode button selects it as the program does; the
  // board runs the handler only when the selection changes.
  for (int mode : {kPlayAlternate, kPlayFree, kPlayEndOfGame}) {
    Wire(radios_[mode], &QAbstractButton::clicked, [this, mode] { main_.SelectPlayModeButton(mode); });
  }
  // A click on a grid row makes it the query's current record, then the
  // handler runs on it.
  auto gridClick = [this](QTableView* grid, TDataGridModel* model, void (TForm2::*handler)(),
                          auto signal) {
    connect(grid, signal, this, [this, model, handler](const QModelIndex& index) {
      Guarded(this, [&] {
        if (model->MoveToRow(index.row())) (this->*handler)();
      });
    });
  };
  gridClick(dbGrid1_, &grid1Model_, &TForm2::DBGrid1CellClick, &QAbstractItemView::clicked);
  gridClick(dbGrid1_, &grid1Model_, &TForm2::DBGrid1DblClick, &QAbstractItemView::doubleClicked);
  gridClick(dbGrid2_, &grid2Model_, &TForm2::DBGrid2CellClick, &QAbstractItemView::clicked);
  // ComboBox1Click runs on the user's choice of an item, not when the
  // player selects one.
  connect(comboBox1_, &QComboBox::activated, this, [this](int) { Guarded(this, [this] { ComboBox1Click(); }); });
  Wire(buttons_[5], &QAbstractButton::clicked, [this] { CuteButton5Click(); });
  Wire(buttons_[9], &QAbstractButton::clicked, [this] { CuteButton9Click(); });
  Wire(buttons_[10], &QAbstractButton::clicked, [this] { CuteButton10Click(); });
  Wire(buttons_[14], &QAbstractButton::clicked, [this] { CuteButton14Click(); });
  Wire(buttons_[15], &QAbstractButton::clicked, [this] { CuteButton15Click(); });
  Wire(buttons_[2], &QAbstractButton::clicked, [this] { CuteButton2Click(); });
  Wire(buttons_[3], &QAbstractButton::clicked, [this] { CuteButton3Click(); });
  Wire(buttons_[4], &QAbstractButton::clicked, [this] { CuteButton4Click(); });
  Wire(buttons_[8], &QAbstractButton::clicked, [this] { CuteButton8Click(); });
  Wire(buttons_[11], &QAbstractButton::clicked, [this] { CuteButton11Click(); });
  Wire(buttons_[13], &QAbstractButton::clicked, [this] { CuteButton13Click(); });
  Wire(radios_[5], &QAbstractButton::clicked, [this] { RadioButton5Click(); });
  Wire(radios_[6], &QAbstractButton::clicked, [this] { RadioButton6Click(); });
  Wire(radios_[7], &QAbstractButton::clicked, [this] { RadioButton7Click(); });
  Wire(radios_[8], &QAbstractButton::clicked, [this] { RadioButton8Click(); });
  Wire(radios_[9], &QAbstractButton::clicked, [this] { RadioButton9Click(); });
  Wire(radios_[10], &QAbstractButton::clicked, [this] { RadioButton10Click(); });
}

void TForm2::CreateMenu() {
  QMenuBar* bar = menuBar();
  bar->setFont(UiFont());
  auto item = [this](QMenu* menu, const char* name, const char* caption,
                     std::function<void()> handler) {
    QAction* action = menu->addAction(U(caption));
    action->setObjectName(name);
    Wire(action, &QAction::triggered, std::move(handler));
    return action;
  };
  auto topItem = [this, bar](const char* name, const char* caption, std::function<void()> handler) {
    QAction* action = bar->addAction(U(caption));
    action->setObjectName(name);
    Wire(action, &QAction::triggered, std::move(handler));
  };

  QMenu* boards = bar->addMenu(U("碁盤選択"));
  item(boards, "N10", "１９路盤", [this] { N10Click(); });
  item(boards, "N4", "１３路盤", [this] { N4Click(); });
  item(boards, "N5", "９路盤", [this] { N5Click(); });
  topItem("N8", "対局終了", [this] { N8Click(); });
  QMenu* adjourn = bar->addMenu(U("打ち掛け"));
  item(adjourn, "Save1", "保存", [this] { Save1Click(); });
  item(adjourn, "N2", "復元", [this] { N2Click(); });
  topItem("N9", "地の計算", [this] { N9Click(); });
  CreateOperationMenu(bar);
  QMenu* help = bar->addMenu(U("ヘルプ"));
  item(help, "ALLHelp", "オンラインヘルプ", [this] { ALLHelpClick(); });
  item(help, "VInfo", "バージョン情報", [this] { VInfoClick(); });
  topItem("APEnd", "終了", [this] { APEndClick(); });
}

void TForm2::CreateOperationMenu(QMenuBar* bar) {
  QMenu* operations = bar->addMenu(U("操作"));
  operations->setObjectName("OperationMenu");
  auto key = [this, operations](const char* name, int button, QKeySequence shortcut,
                                void (TForm2::*handler)()) {
    QAction* action = operations->addAction(buttons_.at(button)->text());
    action->setObjectName(name);
    action->setShortcut(shortcut);
    Wire(action, &QAction::triggered, [this, handler] { (this->*handler)(); });
    FollowButton(action, buttons_.at(button));
  };
  key("KeyStepForward", 5, Qt::Key_Right, &TForm2::CuteButton5Click);
  key("KeyTakeBack", 7, Qt::Key_Left, &TForm2::CuteButton7Click);
  key("KeyPreviousFigure", 15, Qt::Key_Up, &TForm2::CuteButton15Click);
  key("KeyNextFigure", 14, Qt::Key_Down, &TForm2::CuteButton14Click);
  key("KeyShowAgain", 9, Qt::Key_Home, &TForm2::CuteButton9Click);
  key("KeySequenceBack", 10, Qt::Key_PageUp, &TForm2::CuteButton10Click);
  QMenu* circles = operations->addMenu(U("丸を選ぶ"));
  for (int n = 1; n <= 9; ++n) {
    QAction* action = circles->addAction(U("%1 番目の丸").arg(n));
    action->setObjectName(QString("KeyCircle%1").arg(n));
    action->setShortcut(QKeySequence(Qt::Key_0 + n));
    Wire(action, &QAction::triggered, [this, n] { ChooseCircle(n); });
  }
  operations->addSeparator();
  QAction* save = operations->addAction(U(kSaveDiagramCaption));
  save->setObjectName("SaveDiagram");
  Wire(save, &QAction::triggered, [this] { SaveDiagramClick(); });
}

void TForm2::SetTop(QWidget* widget, int top) {
  widget->move(widget->x(), top);
  widget->setVisible(true);
}

void TForm2::HideAtFormPosition(QWidget* widget) {
  // A control the view layout hides goes back to its form position, so that
  // switching the layouts back and forth leaves every control as it was.
  widget->setGeometry(formGeometry_.at(widget));
  widget->setVisible(false);
}

void TForm2::ShowPrisonerBoxes(bool shown) {
  for (QWidget* w : std::initializer_list<QWidget*>{label362_, label364_, label365_, edit1_, edit2_}) {
    w->setVisible(shown);
  }
}

void TForm2::ShowViewLayout() {
  for (int n : {2, 3, 4, 8, 11, 13}) HideAtFormPosition(buttons_[n]);
  SetTop(buttons_[5], 416);
  SetTop(buttons_[6], 452);
  SetTop(buttons_[7], 416);
  SetTop(buttons_[9], 452);
  SetTop(buttons_[10], 416);
  SetTop(buttons_[14], 384);
  SetTop(buttons_[15], 384);
  SetTop(comboBox1_, 384);
  edit1_->setVisible(false);
  edit2_->setVisible(false);
  HideAtFormPosition(edit3_);
  groupBox1_->setVisible(true);
  HideAtFormPosition(groupBox2_);
  HideAtFormPosition(groupBox3_);
  dbGrid1_->setGeometry(dbGrid1_->x(), 17, dbGrid1_->width(), 327);
  dbGrid1_->setVisible(true);
  HideAtFormPosition(dbGrid2_);
  HideAtFormPosition(label363_);
  for (QLabel* l : {label362_, label364_, label365_}) l->setVisible(false);
}

void TForm2::ShowEditLayout() {
  SetTop(buttons_[2], 404);
  SetTop(buttons_[3], 404);
  SetTop(buttons_[4], 432);
  SetTop(buttons_[8], 432);
  SetTop(buttons_[5], 456);
  SetTop(buttons_[6], 456);
  SetTop(buttons_[7], 488);
  SetTop(buttons_[9], 488);
  SetTop(buttons_[10], 488);
  buttons_[11]->setVisible(true);
  buttons_[13]->setVisible(true);
  buttons_[14]->setVisible(false);
  buttons_[15]->setVisible(false);
  SetTop(comboBox1_, 456);
  edit1_->setVisible(false);
  edit2_->setVisible(false);
  SetTop(edit3_, 374);
  groupBox1_->setVisible(false);
  SetTop(groupBox2_, 268);
  SetTop(groupBox3_, 268);
  dbGrid1_->setGeometry(dbGrid1_->x(), 12, dbGrid1_->width(), 105);
  dbGrid1_->setVisible(true);
  dbGrid2_->setGeometry(dbGrid2_->x(), 127, dbGrid2_->width(), 140);
  dbGrid2_->setVisible(true);
  SetTop(label363_, 378);
  for (QLabel* l : {label362_, label364_, label365_}) l->setVisible(false);
}

void TForm2::Label1MouseDown(int p, Qt::MouseButton button) {
  const MouseButton which = button == Qt::LeftButton    ? MouseButton::Left
                            : button == Qt::RightButton ? MouseButton::Right
                                                        : MouseButton::Middle;
  main_.BoardClick(p, which);
}

void TForm2::CuteButton1Click() {
  if (board_.AppMode == kAppView) {
    board_.AppMode = kAppEdit;
    buttons_[1]->setText(U("編集"));
    ShowEditLayout();
  } else {
    board_.AppMode = kAppView;
    buttons_[1]->setText(U("入門"));
    ShowViewLayout();
  }
}

void TForm2::CuteButton6Click() { main_.ClearClick(); }

void TForm2::CuteButton7Click() { main_.TakeBackClick(); }

void TForm2::N10Click() {
  main_.BeginGame();
  buttons_[6]->move(728, 416);
  for (int n : {9, 10, 14, 15}) buttons_[n]->setVisible(false);
  comboBox1_->setVisible(false);
  ShowPrisonerBoxes(true);
  // BeginGame wrote "始めてください。" before the layout changed; keep it.
}

void TForm2::SetSmallWindows(TSmallBoardWindow* form3, TSmallBoardWindow* form4) {
  form3_ = form3;
  form4_ = form4;
  for (TSmallBoardWindow* w : {form3, form4}) {
    connect(w, &TSmallBoardWindow::Closed, this, [this] { Guarded(this, [this] { SmallWindowClosed(); }); });
  }
}

void TForm2::OpenSmallWindow(TSmallBoardWindow* window) {
  if (window != nullptr) window->OpenFromMainWindow();
}

void TForm2::N4Click() { OpenSmallWindow(form3_); }

void TForm2::N5Click() { OpenSmallWindow(form4_); }

void TForm2::SmallWindowClosed() {
  board_.LineCount = kMaxLines;
  board_.PointCount = kMaxPoints;
  // The small window played on the first points of the shared cells while
  // this board kept showing its stones: clearing makes display and state
  // agree again.
  main_.ClearBoard();
}

void TForm2::N8Click() {
  buttons_[6]->move(640, 452);
  for (int n : {9, 10, 14, 15}) buttons_[n]->setVisible(true);
  comboBox1_->setVisible(true);
  ShowPrisonerBoxes(false);
  main_.EndGame();
}

void TForm2::N9Click() { main_.CountClick(); }

void TForm2::WithPlayer(void (FigurePlayer::*handler)()) {
  if (player_ != nullptr) (player_.get()->*handler)();
}

void TForm2::DBGrid1CellClick() { WithPlayer(&FigurePlayer::DBGrid1CellClick); }

void TForm2::DBGrid1DblClick() { WithPlayer(&FigurePlayer::DBGrid1CellClick); }

void TForm2::DBGrid2CellClick() { WithPlayer(&FigurePlayer::DBGrid2CellClick); }

void TForm2::ComboBox1Click() { WithPlayer(&FigurePlayer::ComboBox1Click); }

void TForm2::CuteButton5Click() { WithPlayer(&FigurePlayer::CuteButton5Click); }

void TForm2::CuteButton9Click() { WithPlayer(&FigurePlayer::CuteButton9Click); }

void TForm2::CuteButton10Click() { WithPlayer(&FigurePlayer::CuteButton10Click); }

void TForm2::CuteButton14Click() { WithPlayer(&FigurePlayer::CuteButton14Click); }

void TForm2::CuteButton15Click() { WithPlayer(&FigurePlayer::CuteButton15Click); }

void TForm2::Save1Click() {
  if (store_ != nullptr) store_->Save1Click();
}

void TForm2::N2Click() {
  if (store_ != nullptr) store_->N2Click();
}

void TForm2::WithAuthor(void (LessonAuthor::*handler)()) {
  if (author_ != nullptr) (author_.get()->*handler)();
}

void TForm2::CuteButton2Click() { WithAuthor(&LessonAuthor::CuteButton2Click); }

void TForm2::CuteButton3Click() { WithAuthor(&LessonAuthor::CuteButton3Click); }

void TForm2::CuteButton4Click() { WithAuthor(&LessonAuthor::CuteButton4Click); }

void TForm2::CuteButton8Click() { WithAuthor(&LessonAuthor::CuteButton8Click); }

void TForm2::CuteButton11Click() { WithAuthor(&LessonAuthor::CuteButton11Click); }

void TForm2::CuteButton13Click() { WithAuthor(&LessonAuthor::CuteButton13Click); }

void TForm2::RadioButton5Click() { WithAuthor(&LessonAuthor::RadioButton5Click); }

void TForm2::RadioButton6Click() { WithAuthor(&LessonAuthor::RadioButton6Click); }

void TForm2::RadioButton7Click() { WithAuthor(&LessonAuthor::RadioButton7Click); }

void TForm2::RadioButton8Click() { WithAuthor(&LessonAuthor::RadioButton8Click); }

void TForm2::RadioButton9Click() { WithAuthor(&LessonAuthor::RadioButton9Click); }

void TForm2::RadioButton10Click() { WithAuthor(&LessonAuthor::RadioButton10Click); }

void TForm2::SaveDiagramClick() {
  const QString comment = statusBar1_->PanelText(1);
  QString name = "momiro";
  if (board_.ContentsNumber > 0 && board_.FigureLetter >= 1 && board_.FigureLetter <= 26) {
    name = QString("%1_%2").arg(board_.ContentsNumber).arg(QChar('A' + board_.FigureLetter - 1));
  }
  const std::optional<DiagramSaveOptions> options = TDiagramSaveDialog::Ask(this, comment, name);
  if (!options) return;
  SaveDiagram(cells_->Diagram(options->caption ? comment : QString()), options->format,
              options->scale, options->path);
  statusBar1_->SetPanelText(0, U(kDiagramSaved));
}

void TForm2::ChooseCircle(int n) {
  if (board_.ChoicePending != 1) return;
  std::vector<int> circles;
  for (int i = 1; board_.Choices.At(i).point != 0; ++i) {
    const int p = board_.Choices.At(i).point;
    if (p < 1 || p > kMaxPoints || cells_->CellText(p) != "●") continue;
    if (std::find(circles.begin(), circles.end(), p) == circles.end()) circles.push_back(p);
  }
  std::sort(circles.begin(), circles.end(), [](int a, int b) {
    const int rowA = PointRow(a, kMaxLines), rowB = PointRow(b, kMaxLines);
    return rowA != rowB ? rowA < rowB : PointColumn(a, kMaxLines) < PointColumn(b, kMaxLines);
  });
  if (n >= 1 && n <= static_cast<int>(circles.size())) Label1MouseDown(circles[static_cast<size_t>(n - 1)], Qt::LeftButton);
}

std::string TForm2::Edit3Text() const { return edit3_->text().toStdString(); }

void TForm2::SetEdit3Text(const std::string& text) { edit3_->setText(QString::fromStdString(text)); }

int TForm2::FigureItemIndex() const { return comboBox1_->currentIndex(); }

void TForm2::SetFigureItemIndex(int index) {
  assert(index >= -1 && index < kFigureItemCount);
  comboBox1_->setCurrentIndex(index);
}

void TForm2::ShowHelpTopic(int contextNumber) { help_->ShowTopic(contextNumber); }

void TForm2::DetachFigureGrid() { grid2Model_.SetDataSource(nullptr); }

void TForm2::AttachFigureGrid() { grid2Model_.SetDataSource(lessons_.figureSource); }

void TForm2::ALLHelpClick() { help_->ShowContents(); }

void TForm2::VInfoClick() { TUserDialogs::ShowInformation(this, U(kVersionText)); }

void TForm2::APEndClick() {
  if (TUserDialogs::Confirm(this, U(kExitQuestion))) TerminateApplication();
}

void TForm2::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  TerminateApplication();
}

void TForm2::Timer1Timer() { statusBar1_->SetPanelText(2, ClockText(QDateTime::currentDateTime())); }

QString TForm2::ClockText(const QDateTime& time) {
  // Fixed form whatever the user's regional settings: English AM/PM.
  const QTime t = time.time();
  const int hour12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
  return QString("%1/%2  %3:%4 %5")
      .arg(time.date().month(), 2, 10, QChar('0'))
      .arg(time.date().day(), 2, 10, QChar('0'))
      .arg(hour12, 2, 10, QChar('0'))
      .arg(t.minute(), 2, 10, QChar('0'))
      .arg(t.hour() < 12 ? "AM" : "PM");
}

}  // namespace momiro
