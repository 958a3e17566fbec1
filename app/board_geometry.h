// BoardGeometry: where a window's board square, grid lines, star points and
// point cells lie, in the window's client coordinates. Shared by the board
// widgets and the diagram renderer, so both place every point alike.
#ifndef MOMIRO_APP_BOARD_GEOMETRY_H_
#define MOMIRO_APP_BOARD_GEOMETRY_H_

#include <QPoint>
#include <QRect>
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

  QRect SquareRect() const { return {squareOrigin, QSize(squareSize, squareSize)}; }
  // The 28 x 28 picture cell and the 26 x 16 text cell of point p, in window
  // coordinates. REQUIRES: 1 <= p <= lines * lines.
  QRect PictureCellRect(int p) const;
  QRect TextCellRect(int p) const;
};

inline constexpr int kPictureCellSize = 28;
inline constexpr int kTextCellWidth = 26;
inline constexpr int kTextCellHeight = 16;

// The three windows' boards.
BoardGeometry MainBoardGeometry();
BoardGeometry ThirteenLineGeometry();
BoardGeometry NineLineGeometry();

}  // namespace momiro

#endif  // MOMIRO_APP_BOARD_GEOMETRY_H_
