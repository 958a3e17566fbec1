// FigureDiagram: one lesson figure of the database drawn without a window,
// exactly as the main window shows it after the figure is chosen (the
// basic figure with its texts, the comment of its last row).
#ifndef MOMIRO_TOOLS_MOMIRO_DIAGRAM_FIGURE_DIAGRAM_H_
#define MOMIRO_TOOLS_MOMIRO_DIAGRAM_FIGURE_DIAGRAM_H_

#include <string>

#include "app/board_diagram.h"

namespace momiro {

// Opens the lesson database "kyozai" under the current directory, chooses
// contents entry contentsNumber and figure letter (1 = 図Ａ ... 26 = 図Ｚ),
// and returns the board as drawn, captioned with the figure's comment when
// caption is set. The stone pictures are read from programDirectory (with
// its trailing separator). Throws std::runtime_error when the entry or the
// figure does not exist, and passes engine errors on.
// REQUIRES: a QGuiApplication exists; 1 <= letter <= 26.
BoardDiagram FigureDiagram(int contentsNumber, int letter, bool caption,
                           const std::string& programDirectory);

}  // namespace momiro

#endif  // MOMIRO_TOOLS_MOMIRO_DIAGRAM_FIGURE_DIAGRAM_H_
