// The board square of a window: the wooden fill, the grid lines and the star
// points, drawn under the cells.
#ifndef MOMIRO_APP_BOARD_SQUARE_H_
#define MOMIRO_APP_BOARD_SQUARE_H_

#include <QPoint>
#include <QWidget>
#include <vector>

namespace momiro {

struct BoardGeometry {
  int lines;                      // 19, 13 or 9
  QPoint squareOrigin;            // board square's top-left in the window
  int squareSize;                 // 536, 368 or 256
  QPoint firstLine;               // first line's intersection in the window
  QPoint pictureOrigin;           // picture cell of point 1
  QPoint textOrigin;              // text cell of point 1
  std::vector<QPoint> starPoints; // (column, row), 1-based lines
  bool stretchPictures;           // the main window stretches its stone pictures
};

// The three windows' boards.
BoardGeometry MainBoardGeometry();
BoardGeometry ThirteenLineGeometry();
BoardGeometry NineLineGeometry();

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
