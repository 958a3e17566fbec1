// BoardDiagram: a board as it is shown — the board square of a window and,
// for every point, what its picture cell and its text cell show — with an
// optional caption under it. Taken from a window's cells (TBoardCells::
// Diagram) or drawn without any window (TDiagramRecorder), and rendered by
// the diagram painter (PNG, and on screen) or written as SVG.
//
// Coordinates are the window's client coordinates of the geometry; the
// renderers move the board square to (0, 0).
#ifndef MOMIRO_APP_BOARD_DIAGRAM_H_
#define MOMIRO_APP_BOARD_DIAGRAM_H_

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <vector>

#include "app/board_geometry.h"

namespace momiro {

// What one text cell shows: centred text in its font and colour, over the
// board (transparent) or over a filled cell (opaque).
struct CellTextLook {
  QString text;
  QFont font;
  QColor colour = Qt::black;
  bool opaque = false;
  QColor background;  // the fill when opaque
};

// What one point shows.
struct PointLook {
  QPixmap picture;  // the stone picture with its see-through mask; null when none
  QString pictureFile;  // the file it came from; empty when none
  CellTextLook text;
};

struct BoardDiagram {
  BoardGeometry geometry;
  std::vector<PointLook> points;  // index p, 1 .. lines * lines; entry 0 unused
  QString caption;                // drawn under the board; empty for none

  // An empty board of the geometry: no pictures, empty transparent black
  // texts in the cell font.
  static BoardDiagram Empty(const BoardGeometry& geometry);
};

// The text cells' font: "ＭＳ Ｐゴシック" at 12 pixels (kUiFontFamily).
QFont CellFont();

// Reads a stone picture: the BMP file at path, drawn transparently where it
// has the colour of its bottom-left pixel. Throws std::runtime_error
// ("Cannot open file ...") when the file cannot be read.
QPixmap LoadCellPicture(const QString& path);

}  // namespace momiro

#endif  // MOMIRO_APP_BOARD_DIAGRAM_H_
