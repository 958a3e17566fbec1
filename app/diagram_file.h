// Saving a diagram to a file: PNG (rendered by the diagram painter) or SVG
// (diagram_svg.h), at a whole-number scale.
#ifndef MOMIRO_APP_DIAGRAM_FILE_H_
#define MOMIRO_APP_DIAGRAM_FILE_H_

#include <QString>

#include "app/board_diagram.h"

namespace momiro {

enum class DiagramFormat { Png, Svg };

// What the user chose in "図を保存…" (or on momiro-diagram's command line).
struct DiagramSaveOptions {
  QString path;
  DiagramFormat format = DiagramFormat::Png;
  int scale = 1;         // kMinDiagramScale .. kMaxDiagramScale
  bool caption = false;  // the current comment under the board
};

// The format a file name asks for: SVG for a name ending ".svg" (any case),
// PNG otherwise.
DiagramFormat FormatOfFileName(const QString& path);

// Writes the diagram. Throws std::runtime_error naming the file when the
// scale is out of range or the file cannot be written; a file that cannot
// be written completely is not left behind.
void SaveDiagram(const BoardDiagram& diagram, DiagramFormat format, int scale, const QString& path);

}  // namespace momiro

#endif  // MOMIRO_APP_DIAGRAM_FILE_H_
