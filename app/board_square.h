// The board square of a window: the wooden fill, the grid lines and the star
// points, drawn under the cells (by PaintBoardSquare, as in saved diagrams).
#ifndef MOMIRO_APP_BOARD_SQUARE_H_
#define MOMIRO_APP_BOARD_SQUARE_H_

#include <QWidget>

#include "app/board_geometry.h"

namespace momiro {

class TBoardSquare : public QWidget {
  Q_OBJECT
 public:
  TBoardSquare(QWidget* parent, const BoardGeometry& geometry);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  BoardGeometry geometry_;
};

}  // namespace momiro

#endif  // MOMIRO_APP_BOARD_SQUARE_H_
