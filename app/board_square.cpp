#include "app/board_square.h"

#include <QPainter>

#include "board/point_geometry.h"

namespace momiro {

BoardGeometry MainBoardGeometry() {
  return {19, {0, 0}, 536, {16, 16}, {2, 2}, {4, 9},
          {{4, 4}, {4, 10}, {4, 16}, {10, 4}, {10, 10}, {10, 16}, {16, 4}, {16, 10}, {16, 16}},
          true};
}

BoardGeometry ThirteenLineGeometry() {
  return {13, {80, 88}, 368, {96, 104}, {82, 90}, {84, 98},
          {{4, 4}, {4, 10}, {10, 4}, {10, 10}, {7, 7}}, false};
}

BoardGeometry NineLineGeometry() {
  return {9, {112, 120}, 256, {128, 136}, {114, 122}, {116, 130}, {{5, 5}}, false};
}

TBoardSquare::TBoardSquare(QWidget* parent, const BoardGeometry& geometry)
    : QWidget(parent), geometry_(geometry) {
  setGeometry(geometry.squareOrigin.x(), geometry.squareOrigin.y(), geometry.squareSize,
              geometry.squareSize);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TBoardSquare::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(254, 231, 182));
  const int n = geometry_.lines;
  const int length = kBoardPitch * (n - 1);
  const QPoint first = geometry_.firstLine - geometry_.squareOrigin;
  for (int i = 0; i < n; ++i) {
    // The outermost two lines in each direction are 2 pixels wide.
    const int width = (i == 0 || i == n - 1) ? 2 : 1;
    const int offset = i * kBoardPitch;
    painter.fillRect(first.x(), first.y() + offset - width / 2, length + 1, width, Qt::black);
    painter.fillRect(first.x() + offset - width / 2, first.y(), width, length + 1, Qt::black);
  }
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  for (const QPoint& star : geometry_.starPoints) {
    const QPointF centre(first.x() + (star.x() - 1) * kBoardPitch + 0.5,
                         first.y() + (star.y() - 1) * kBoardPitch + 0.5);
    painter.drawEllipse(centre, 2.5, 2.5);
  }
}

}  // namespace momiro
