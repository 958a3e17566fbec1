#include "app/diagram_save_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <deque>

#include "app/diagram_painter.h"
#include "app/user_dialogs.h"

namespace momiro {
namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

TDiagramSaveDialog::ScriptedAnswer& Scripted() {
  static TDiagramSaveDialog::ScriptedAnswer answer;
  return answer;
}

std::deque<DiagramSaveOptions>& Queued() {
  static std::deque<DiagramSaveOptions> answers;
  return answers;
}

QString Extension(DiagramFormat format) { return format == DiagramFormat::Svg ? ".svg" : ".png"; }

}  // namespace

TDiagramSaveDialog::TDiagramSaveDialog(QWidget* parent, const QString& comment,
                                       const QString& suggestedName)
    : QDialog(parent),
      path_(new QLineEdit(this)),
      format_(new QComboBox(this)),
      scale_(new QSpinBox(this)),
      caption_(new QCheckBox(U("コメントを図の下に添える"), this)) {
  setObjectName("DiagramSaveDialog");
  setWindowTitle(U("図を保存"));
  path_->setObjectName("DiagramPath");
  path_->setText(QDir::current().filePath(suggestedName + ".png"));
  path_->setMinimumWidth(320);
  auto* browse = new QPushButton(U("参照…"), this);
  connect(browse, &QPushButton::clicked, this, [this] { Browse(); });
  auto* file = new QHBoxLayout;
  file->addWidget(path_);
  file->addWidget(browse);

  format_->setObjectName("DiagramFormat");
  format_->addItem(U("PNG 画像"), static_cast<int>(DiagramFormat::Png));
  format_->addItem(U("SVG 画像"), static_cast<int>(DiagramFormat::Svg));
  connect(format_, &QComboBox::activated, this, [this](int) { FormatChosen(); });
  scale_->setObjectName("DiagramScale");
  scale_->setRange(kMinDiagramScale, kMaxDiagramScale);
  scale_->setSuffix(U(" 倍"));
  caption_->setObjectName("DiagramCaption");
  caption_->setEnabled(!comment.isEmpty());
  caption_->setToolTip(comment);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(U("保存"), QDialogButtonBox::AcceptRole);
  buttons->addButton(U("キャンセル"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (!path_->text().trimmed().isEmpty()) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* form = new QFormLayout(this);
  form->addRow(U("ファイル"), file);
  form->addRow(U("形式"), format_);
  form->addRow(U("倍率"), scale_);
  form->addRow(QString(), caption_);
  form->addRow(buttons);
}

DiagramSaveOptions TDiagramSaveDialog::Options() const {
  return {path_->text().trimmed(), static_cast<DiagramFormat>(format_->currentData().toInt()),
          scale_->value(), caption_->isEnabled() && caption_->isChecked()};
}

void TDiagramSaveDialog::Browse() {
  const QString png = U("PNG 画像 (*.png)");
  const QString svg = U("SVG 画像 (*.svg)");
  QString filter = Options().format == DiagramFormat::Svg ? svg : png;
  const QString chosen =
      QFileDialog::getSaveFileName(this, U("図を保存"), path_->text(), png + ";;" + svg, &filter);
  if (chosen.isEmpty()) return;
  const DiagramFormat format = filter == svg ? DiagramFormat::Svg : FormatOfFileName(chosen);
  format_->setCurrentIndex(format_->findData(static_cast<int>(format)));
  path_->setText(chosen);
  FormatChosen();
}

void TDiagramSaveDialog::FormatChosen() {
  const QString extension = Extension(Options().format);
  const QString path = path_->text().trimmed();
  const QFileInfo info(path);
  if (path.isEmpty() || info.fileName().endsWith(extension, Qt::CaseInsensitive)) return;
  const QString suffix = info.suffix().toLower();
  const QString stem = (suffix == "png" || suffix == "svg") ? path.left(path.size() - suffix.size() - 1) : path;
  path_->setText(stem + extension);
}

std::optional<DiagramSaveOptions> TDiagramSaveDialog::Ask(QWidget* parent, const QString& comment,
                                                          const QString& suggestedName) {
  if (!Queued().empty()) {
    const DiagramSaveOptions options = Queued().front();
    Queued().pop_front();
    return options;
  }
  if (Scripted()) return Scripted()(comment, suggestedName);
  if (TUserDialogs::IsScripted()) return std::nullopt;
  TDiagramSaveDialog dialog(parent, comment, suggestedName);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Options();
}

void TDiagramSaveDialog::SetScripted(ScriptedAnswer answer) { Scripted() = std::move(answer); }

void TDiagramSaveDialog::QueueAnswer(const DiagramSaveOptions& options) { Queued().push_back(options); }

}  // namespace momiro
