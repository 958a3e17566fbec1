#include "app/small_board_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>

#include "app/diagram_save_dialog.h"
#include "app/error_guard.h"
#include "app/main_window.h"
#include "app/termination.h"
#include "app/user_dialogs.h"

namespace momiro {
namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

QFont UiFont() {
  QFont font(U(kUiFontFamily));
  font.setPixelSize(12);
  return font;
}

}  // namespace

template <typename Signal, typename Sender>
void TSmallBoardWindow::Wire(Sender* sender, Signal signal, std::function<void()> handler) {
  connect(sender, signal, this, [this, handler] { Guarded(this, handler); });
}

std::unique_ptr<TBoardCells> TSmallBoardWindow::CreateBoardCells(QMainWindow* window, int lines) {
  auto* client = new QWidget(window);
  window->setCentralWidget(client);
  return std::make_unique<TBoardCells>(client, lines == 13 ? ThirteenLineGeometry() : NineLineGeometry());
}

TSmallBoardWindow::TSmallBoardWindow(BoardState& board, int lines, LessonQuery* figures,
                                     QWidget* parent)
    : QMainWindow(parent),
      board_(board),
      lines_(lines),
      cells_(CreateBoardCells(this, lines)),
      rules_(board, *cells_, BoardKind::Small) {
  setObjectName(lines == 13 ? "TForm3" : "TForm4");
  setWindowTitle(U(kSmallTitle));
  setFixedSize(lines == 13 ? 832 : 758, 606);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(240, 240, 255));
  setPalette(pal);
  setAutoFillBackground(true);

  CreateControls(centralWidget());
  CreateMenu();
  statusBar1_ = new TStatusPanels(this);
  setStatusBar(statusBar1_);
  mediaPlayer1_ = new TSoundPlayer(this);
  cells_->Attach(edit1_, edit2_, statusBar1_, mediaPlayer1_, radios_, &board_.ProgramDirectory);
  connect(cells_.get(), &TBoardCells::PointPressed, this,
          [this](int p, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
            Guarded(this, [&] { Label1MouseDown(p, button, modifiers); });
          });
  timer1_ = new QTimer(this);
  timer1_->setObjectName("Timer1");
  timer1_->setInterval(60000);
  Wire(timer1_, &QTimer::timeout, [this] { Timer1Timer(); });
  timer1_->start();
  if (figures != nullptr) {
    store_ = std::make_unique<AdjournedGameStore>(rules_, *cells_, *figures);
    rules_.SetAdjournedGames(store_.get());
  }

  // FormCreate: the small clear. The shared counters are reset once more.
  rules_.ClearBoard();
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

TSmallBoardWindow::~TSmallBoardWindow() = default;

void TSmallBoardWindow::CreateControls(QWidget* client) {
  // The controls stand to the right of the board square.
  const BoardGeometry geometry = lines_ == 13 ? ThirteenLineGeometry() : NineLineGeometry();
  const int left = geometry.squareOrigin.x() + geometry.squareSize + 64;
  const int top = geometry.squareOrigin.y() + 40;

  cuteButton1_ = new TCuteButton(client, lines_ == 13 ? U("1手戻し") : U("１手戻す"), left, top);
  cuteButton1_->setObjectName("CuteButton1");
  cuteButton2_ = new TCuteButton(client, U("クリア"), left + 90, top);
  cuteButton2_->setObjectName("CuteButton2");

  auto* group = new QGroupBox(client);
  group->setObjectName("GroupBox1");
  group->setGeometry(left, top + 48, 170, 40);
  const char* captions[3] = {"交互", "自由", "終局"};
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(U(captions[i]), group);
    radio->setObjectName(QString("RadioButton%1").arg(i + 1));
    radio->setFont(UiFont());
    radio->move(8 + 54 * i, 14);
    radio->adjustSize();
    radios_[i] = radio;
    const int mode = i + 1;
    Wire(radio, &QAbstractButton::clicked, [this, mode] { rules_.SelectPlayModeButton(mode); });
  }

  auto label = [client](const char* name, const char* caption, int x, int y) {
    auto* l = new QLabel(U(caption), client);
    l->setObjectName(name);
    l->setFont(UiFont());
    l->move(x, y);
    l->adjustSize();
  };
  label("Label1Heading", "アゲ石：", left, top + 112);
  label("Label2Heading", "黒番", left + 62, top + 112);
  label("Label3Heading", "白番", left + 142, top + 112);
  edit1_ = new QLineEdit(client);
  edit1_->setObjectName("Edit1");
  edit1_->setGeometry(left + 88, top + 108, 40, 21);
  edit2_ = new QLineEdit(client);
  edit2_->setObjectName("Edit2");
  edit2_->setGeometry(left + 168, top + 108, 40, 21);
  for (QLineEdit* edit : {edit1_, edit2_}) {
    edit->setFont(UiFont());
    edit->setReadOnly(true);
  }

  Wire(cuteButton1_, &QAbstractButton::clicked, [this] { CuteButton1Click(); });
  Wire(cuteButton2_, &QAbstractButton::clicked, [this] { CuteButton2Click(); });
}

void TSmallBoardWindow::CreateMenu() {
  QMenuBar* bar = menuBar();
  bar->setFont(UiFont());
  auto top = [this, bar](const char* name, const char* caption, std::function<void()> handler) {
    QAction* action = bar->addAction(U(caption));
    action->setObjectName(name);
    Wire(action, &QAction::triggered, std::move(handler));
  };
  if (lines_ == 13) {
    QMenu* adjourn = bar->addMenu(U("打ち掛け"));
    auto item = [this, adjourn](const char* name, const char* caption, std::function<void()> handler) {
      QAction* action = adjourn->addAction(U(caption));
      action->setObjectName(name);
      Wire(action, &QAction::triggered, std::move(handler));
    };
    item("Save1", "保存", [this] { Save1Click(); });
    item("N2", "復元", [this] { N2Click(); });
    top("N3", "地の計算", [this] { CountClick(); });
    top("N6", "対局終了", [this] { close(); });
  } else {
    // The 9-line window's menu has a first "地の計算" that does nothing.
    bar->addAction(U("地の計算"))->setObjectName("N3");
    top("N1", "地の計算", [this] { CountClick(); });
    top("N4", "メイン碁盤へ", [this] { close(); });
  }
  top("SaveDiagram", kSaveDiagramCaption, [this] { SaveDiagramClick(); });
  top("Exit1", "終了", [this] { Exit1Click(); });
}

void TSmallBoardWindow::OpenFromMainWindow() {
  board_.LineCount = lines_;
  board_.PointCount = lines_ * lines_;
  rules_.BeginSmallGame();
  Timer1Timer();
  setWindowModality(Qt::ApplicationModal);
  show();
  activateWindow();
}

void TSmallBoardWindow::Label1MouseDown(int p, Qt::MouseButton button,
                                        Qt::KeyboardModifiers modifiers) {
  const MouseButton which = button == Qt::LeftButton    ? MouseButton::Left
                            : button == Qt::RightButton ? MouseButton::Right
                                                        : MouseButton::Middle;
  // Only Shift alone counts, as "the shift state is exactly Shift".
  rules_.BoardClick(p, which, modifiers == Qt::ShiftModifier);
}

void TSmallBoardWindow::CuteButton1Click() { rules_.TakeBackClick(); }

void TSmallBoardWindow::CuteButton2Click() { rules_.ClearClick(); }

void TSmallBoardWindow::CountClick() { rules_.CountClick(); }

void TSmallBoardWindow::Save1Click() {
  if (store_ != nullptr) store_->Save1Click();
}

void TSmallBoardWindow::N2Click() {
  if (store_ != nullptr) store_->N2Click();
}

void TSmallBoardWindow::Exit1Click() {
  if (TUserDialogs::Confirm(this, U(kSmallExitQuestion))) TerminateApplication();
}

void TSmallBoardWindow::Timer1Timer() {
  statusBar1_->SetPanelText(2, TForm2::ClockText(QDateTime::currentDateTime()));
}

void TSmallBoardWindow::SaveDiagramClick() {
  const QString comment = statusBar1_->PanelText(1);
  const std::optional<DiagramSaveOptions> options =
      TDiagramSaveDialog::Ask(this, comment, QString("sorabi%1").arg(lines_));
  if (!options) return;
  SaveDiagram(cells_->Diagram(options->caption ? comment : QString()), options->format,
              options->scale, options->path);
  statusBar1_->SetPanelText(0, U(kDiagramSaved));
}

void TSmallBoardWindow::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  emit Closed();
}

}  // namespace momiro
