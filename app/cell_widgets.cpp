#include "app/cell_widgets.h"

#include <QBitmap>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QMouseEvent>
#include <stdexcept>

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
  QImage image;
  if (!QFile::exists(path) || !image.load(path, "BMP")) {
    throw std::runtime_error(("Cannot open file \"" + path + "\".").toStdString());
  }
  QPixmap pixmap = QPixmap::fromImage(image);
  const QRgb key = image.pixel(0, image.height() - 1);
  pixmap.setMask(pixmap.createMaskFromColor(QColor(key), Qt::MaskInColor));
  picture_ = pixmap;
  path_ = path;
  setPixmap(picture_);
}

void TPictureCell::ClearPicture() {
  picture_ = QPixmap();
  path_.clear();
  clear();
}

TTextCell::TTextCell(QWidget* parent, int point) : QLabel(parent), point_(point) {
  QFont font(QString::fromUtf8(kUiFontFamily));
  font.setPixelSize(12);
  setFont(font);
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

void TTextCell::mousePressEvent(QMouseEvent* event) {
  emit MouseDown(this, event->button(), event->modifiers());
  event->accept();
}

}  // namespace momiro
