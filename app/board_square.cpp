#include "app/board_square.h"

#include <QPainter>

#include "app/diagram_painter.h"

namespace momiro {

TBoardSquare::TBoardSquare(QWidget* parent, const BoardGeometry& geometry)
    : QWidget(parent), geometry_(geometry) {
  setGeometry(geometry.squareOrigin.x(), geometry.squareOrigin.y(), geometry.squareSize,
              geometry.squareSize);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TBoardSquare::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintBoardSquare(painter, geometry_);
}

}  // namespace momiro
