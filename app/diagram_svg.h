// A diagram as SVG, written element by element so that every stone is one
// <image class="stone"> and every text cell with text one <text class="text">
// (the caption one <text class="caption"> with a <tspan> per line): a
// teacher can move, recolour or restyle any of them in a drawing program.
//
// The drawing follows the diagram painter: the same square, lines (as
// filled rectangles), star points, cell rectangles, fonts and colours, in
// unscaled pixel coordinates under a viewBox; scale sets width and height.
// The stone pictures are embedded as PNG data. Text baselines are placed
// where the painter's centred text lies, from the font's own metrics.
#ifndef MOMIRO_APP_DIAGRAM_SVG_H_
#define MOMIRO_APP_DIAGRAM_SVG_H_

#include <QByteArray>

#include "app/board_diagram.h"

namespace momiro {

// REQUIRES: kMinDiagramScale <= scale <= kMaxDiagramScale.
QByteArray DiagramSvg(const BoardDiagram& diagram, int scale);

}  // namespace momiro

#endif  // MOMIRO_APP_DIAGRAM_SVG_H_
