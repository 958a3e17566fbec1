// The board's drawing, in one place for the screen and for saved diagrams.
//
// The board widgets paint through these functions (TBoardSquare the
// square, TPictureCell and TTextCell their cells), and a diagram is
// rendered by calling the same functions at the same places under a scale.
// So a diagram rendered at scale 1 equals the screen pixel for pixel, and
// at a larger scale it is drawn afresh (lines, text and star points sharp)
// instead of being an enlarged screenshot.
//
// Layout of a rendered diagram, in unscaled pixels: the board square at
// (0, 0), squareSize wide and high; under it, when there is a caption, a
// white band of kCaptionMargin + the caption's lines + kCaptionMargin.
#ifndef MOMIRO_APP_DIAGRAM_PAINTER_H_
#define MOMIRO_APP_DIAGRAM_PAINTER_H_

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QSize>
#include <QStringList>

#include "app/board_diagram.h"

namespace momiro {

inline constexpr int kCaptionMargin = 8;
inline constexpr int kMinDiagramScale = 1;
inline constexpr int kMaxDiagramScale = 8;

// The wooden fill, the grid lines and the star points, with the square's
// top-left at the painter's origin.
void PaintBoardSquare(QPainter& painter, const BoardGeometry& geometry);
// A picture cell's picture in rect: stretched over it, or centred at its own size.
void PaintPictureCell(QPainter& painter, const QRect& rect, const QPixmap& picture, bool stretch);
// A text cell in rect: the fill when opaque, then the text centred and cut
// at the cell's edges.
void PaintTextCell(QPainter& painter, const QRect& rect, const CellTextLook& look);

// The caption's font and its lines broken to fit under the board square.
QFont CaptionFont();
QStringList CaptionLines(const BoardDiagram& diagram);
// The diagram's unscaled size (board square plus caption band).
QSize DiagramSize(const BoardDiagram& diagram);

// The whole diagram at scale 1 with the square's top-left at the painter's
// origin; scale the painter for larger diagrams.
void PaintDiagram(QPainter& painter, const BoardDiagram& diagram);
// The diagram as an opaque image. REQUIRES: kMinDiagramScale <= scale <= kMaxDiagramScale.
QImage RenderDiagram(const BoardDiagram& diagram, int scale);

}  // namespace momiro

#endif  // MOMIRO_APP_DIAGRAM_PAINTER_H_
