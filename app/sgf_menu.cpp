#include "app/sgf_menu.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

#include "app/error_guard.h"
#include "app/small_board_window.h"
#include "app/status_panels.h"
#include "app/user_dialogs.h"
#include "lessons/lesson_author.h"
#include "lessons/lesson_tables.h"
#include "lessons/sgf_game.h"
#include "lessons/sgf_lesson_export.h"
#include "lessons/sgf_lesson_import.h"
#include "lessons/sgf_lesson_queries.h"
#include "lessons/sgf_writer.h"

namespace momiro {
namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr const char* kSgfFilter = "SGF (*.sgf);;すべてのファイル (*)";

// The Qt dialogs. In the scripted mode nothing may block, so the file
// dialogs answer as a cancel would.
class TQtSgfDialogs : public SgfMenuDialogs {
 public:
  QString OpenFileName(QWidget* parent) override {
    if (TUserDialogs::IsScripted()) return QString();
    return QFileDialog::getOpenFileName(parent, U("SGF を読み込む"), QString(), U(kSgfFilter));
  }
  QString SaveFileName(QWidget* parent, const QString& suggested) override {
    if (TUserDialogs::IsScripted()) return QString();
    return QFileDialog::getSaveFileName(parent, U("SGF を書き出す"), suggested, U(kSgfFilter));
  }
  std::optional<SgfImportKind> AskKind(QWidget* parent) override {
    QMessageBox box(parent);
    box.setWindowTitle(U("SGF 読み込み"));
    box.setText(U("19路盤の棋譜です。教材として目次に加えますか、対局として盤に並べますか。"));
    QPushButton* lesson = box.addButton(U("教材"), QMessageBox::AcceptRole);
    QPushButton* game = box.addButton(U("対局"), QMessageBox::AcceptRole);
    box.addButton(U("キャンセル"), QMessageBox::RejectRole);
    box.exec();
    if (box.clickedButton() == lesson) return SgfImportKind::Lesson;
    if (box.clickedButton() == game) return SgfImportKind::Game;
    return std::nullopt;
  }
  bool AskContents(QWidget* parent, int& number, QString& title) override {
    bool ok = false;
    number = QInputDialog::getInt(parent, U("SGF 読み込み"), U("目次番号（1000 以上、100 の倍数でない番号）"),
                                  number, kFirstAuthoredNumber, 2147483647, 1, &ok);
    if (!ok) return false;
    title = QInputDialog::getText(parent, U("SGF 読み込み"), U("題名"), QLineEdit::Normal, title, &ok);
    return ok;
  }
};

void SetStatus(QWidget* window, const char* text) {
  if (auto* panels = window->findChild<TStatusPanels*>("StatusBar1")) panels->SetPanelText(0, U(text));
}

}  // namespace

TSgfMenu::TSgfMenu(TForm2& form, LessonData lessons, TSmallBoardWindow* form3, TSmallBoardWindow* form4,
                   std::string databaseName)
    : QObject(&form),
      form_(form),
      lessons_(lessons),
      form3_(form3),
      form4_(form4),
      databaseName_(std::move(databaseName)),
      dialogs_(std::make_unique<TQtSgfDialogs>()) {
  auto wire = [](QWidget* window, QAction* action, std::function<void()> handler) {
    QObject::connect(action, &QAction::triggered, window, [window, handler] { Guarded(window, handler); });
  };
  QMenuBar* bar = form.menuBar();
  QMenu* menu = new QMenu(U(kSgfMenuCaption), bar);
  menu->setObjectName("SgfMenu");
  QAction* before = nullptr;
  for (QAction* action : bar->actions()) {
    if (action->objectName() == "APEnd") before = action;
  }
  bar->insertMenu(before, menu);
  QAction* import = menu->addAction(U(kSgfImportCaption));
  import->setObjectName("SgfImport");
  wire(&form, import, [this] { ImportClick(); });
  QAction* exportLesson = menu->addAction(U(kSgfExportCaption));
  exportLesson->setObjectName("SgfExport");
  wire(&form, exportLesson, [this] { ExportClick(); });
  QAction* exportGame = menu->addAction(U(kSgfExportGameCaption));
  exportGame->setObjectName("SgfExportGame");
  wire(&form, exportGame, [this] { ExportGameClick(&form_); });

  for (TSmallBoardWindow* window : {form3, form4}) {
    if (window == nullptr) continue;
    QMenu* small = window->menuBar()->addMenu(U(kSgfMenuCaption));
    small->setObjectName("SgfMenu");
    QAction* action = small->addAction(U(kSgfExportGameCaption));
    action->setObjectName("SgfExportGame");
    wire(window, action, [this, window] { ExportGameClick(window); });
  }
}

TSgfMenu::~TSgfMenu() = default;

void TSgfMenu::SetDialogs(std::unique_ptr<SgfMenuDialogs> dialogs) { dialogs_ = std::move(dialogs); }

TSmallBoardWindow* TSgfMenu::WindowOfSize(int lines) const { return lines == 13 ? form3_ : form4_; }

void TSgfMenu::ShowResult(const char* text) { SetStatus(&form_, text); }

void TSgfMenu::ImportClick() {
  const QString path = dialogs_->OpenFileName(&form_);
  if (path.isEmpty()) return;
  const SgfCollection collection = ReadSgfFile(path.toStdString());
  const SgfNode& tree = *collection.trees.front();
  const int lines = SgfBoardSize(tree);
  SgfImportKind kind = SgfImportKind::Game;
  if (lines == 19) {
    const std::optional<SgfImportKind> chosen = dialogs_->AskKind(&form_);
    if (!chosen) return;
    kind = *chosen;
  }
  if (kind == SgfImportKind::Lesson) {
    ImportLesson(collection);
    return;
  }
  // The whole record is checked before any board is touched.
  const SgfGame game = SgfToGame(tree);
  if (game.lines == 19) {
    form_.N10Click();
    PlaceSgfGame(form_.Board(), game);
    ShowResult(kSgfGameLoaded);
    return;
  }
  TSmallBoardWindow* window = WindowOfSize(game.lines);
  if (window == nullptr) return;
  window->OpenFromMainWindow();
  PlaceSgfGame(window->Board(), game);
  SetStatus(window, kSgfGameLoaded);
}

void TSgfMenu::ImportLesson(const SgfCollection& collection) {
  if (lessons_.queries == nullptr) return;
  // Rows are built and checked before anything is asked.
  std::vector<const SgfNode*> trees;
  for (const auto& tree : collection.trees) trees.push_back(tree.get());
  if (trees.size() == 1) SgfToLessonRows(*trees.front());
  int number = kFirstAuthoredNumber + 1;
  QString title = QString::fromStdString(trees.front()->Value("GN"));
  if (!dialogs_->AskContents(&form_, number, title)) return;
  {
    SgfLessonQueries queries(databaseName_);
    ImportSgfLesson(queries.Contents(), queries.Figures(), trees, number, title.toStdString());
  }
  OpenContents(lessons_.queries->contents, kAllContents);
  ShowResult(kSgfImported);
}

void TSgfMenu::ExportClick() {
  const int number = form_.Board().Board().ContentsNumber;
  if (lessons_.queries == nullptr || number == 0) throw ESgfError(kChooseContentsToExport);
  std::unique_ptr<SgfNode> tree;
  {
    SgfLessonQueries queries(databaseName_);
    tree = ExportSgfLesson(queries.Contents(), queries.Figures(), number);
  }
  const QString path = dialogs_->SaveFileName(&form_, QString::number(number) + ".sgf");
  if (path.isEmpty()) return;
  WriteSgfFile(path.toStdString(), *tree);
  ShowResult(kSgfExported);
}

void TSgfMenu::ExportGameClick(QWidget* window) {
  const std::unique_ptr<SgfNode> tree = BoardGameToSgf(form_.Board().Board());
  const QString path = dialogs_->SaveFileName(window, U("game.sgf"));
  if (path.isEmpty()) return;
  WriteSgfFile(path.toStdString(), *tree);
  SetStatus(window, kSgfExported);
}

}  // namespace momiro
