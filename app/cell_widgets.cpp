#include "app/cell_widgets.h"

#include <QFont>
#include <QMouseEvent>
#include <QPainter>

#include "app/diagram_painter.h"

namespace momiro {

const char* const kUiFontFamily = "ＭＳ Ｐゴシック";

void InstallFontSubstitutes() {
  QFont::insertSubstitutions(QString::fromUtf8(kUiFontFamily),
                             {"IPAPGothic", "IPA Pゴシック", "IPAGothic", "Noto Sans CJK JP"});
}

TPictureCell::TPictureCell(QWidget* parent, bool stretch) : QLabel(parent) {
  setScaledContents(stretch);
  setAlignment(Qt::AlignCenter);
  setAttribute(Qt::WA_TransparentForMouseEvents);  // only text cells take clicks
}

void TPictureCell::LoadPicture(const QString& path) {
  picture_ = LoadCellPicture(path);
  path_ = path;
  setPixmap(picture_);
}

void TPictureCell::ClearPicture() {
  picture_ = QPixmap();
  path_.clear();
  clear();
}

void TPictureCell::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintPictureCell(painter, rect(), picture_, hasScaledContents());
}

TTextCell::TTextCell(QWidget* parent, int point) : QLabel(parent), point_(point) {
  setFont(CellFont());
  // Authored texts are shown as written, never as markup.
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignCenter);
  SetTransparent();
  SetTextColour(Qt::black);
}

void TTextCell::SetTextColour(const QColor& colour) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, colour);
  setPalette(p);
}

QColor TTextCell::TextColour() const { return palette().color(QPalette::WindowText); }

void TTextCell::SetBold(bool bold) {
  QFont f = font();
  f.setBold(bold);
  setFont(f);
}

void TTextCell::SetTransparent() { setAutoFillBackground(false); }

void TTextCell::SetOpaque(const QColor& background) {
  QPalette p = palette();
  p.setColor(QPalette::Window, background);
  setPalette(p);
  setAutoFillBackground(true);
}

CellTextLook TTextCell::Look() const {
  return {text(), font(), TextColour(), IsOpaque(), palette().color(QPalette::Window)};
}

void TTextCell::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintTextCell(painter, rect(), Look());
}

void TTextCell::mousePressEvent(QMouseEvent* event) {
  emit MouseDown(this, event->button(), event->modifiers());
  event->accept();
}

}  // namespace momiro
