#include "app/board_diagram.h"

#include <QBitmap>
#include <QFile>
#include <QImage>
#include <stdexcept>

#include "app/cell_widgets.h"

namespace momiro {

BoardDiagram BoardDiagram::Empty(const BoardGeometry& geometry) {
  BoardDiagram diagram{geometry, {}, {}};
  diagram.points.resize(static_cast<size_t>(geometry.lines * geometry.lines + 1));
  for (PointLook& point : diagram.points) point.text.font = CellFont();
  return diagram;
}

QFont CellFont() {
  QFont font(QString::fromUtf8(kUiFontFamily));
  font.setPixelSize(12);
  return font;
}

QPixmap LoadCellPicture(const QString& path) {
  QImage image;
  if (!QFile::exists(path) || !image.load(path, "BMP")) {
    throw std::runtime_error(("Cannot open file \"" + path + "\".").toStdString());
  }
  QPixmap pixmap = QPixmap::fromImage(image);
  const QRgb key = image.pixel(0, image.height() - 1);
  pixmap.setMask(pixmap.createMaskFromColor(QColor(key), Qt::MaskInColor));
  return pixmap;
}

}  // namespace momiro
