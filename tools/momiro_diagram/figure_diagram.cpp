#include "tools/momiro_diagram/figure_diagram.h"

#include <cassert>
#include <stdexcept>

#include "app/diagram_recorder.h"
#include "board/board_rules.h"
#include "board/board_state.h"
#include "lessons/data_module.h"
#include "lessons/figure_player.h"
#include "lessons/lesson_tables.h"
#include "lessons/lesson_window.h"
#include "lessons/query_figure_rows.h"

namespace momiro {
namespace {

// The figure letter box without a box: the letter chosen, no help viewer,
// no grid.
class LetterOnlyWindow : public LessonWindow {
 public:
  int FigureItemIndex() const override { return index_; }
  void SetFigureItemIndex(int index) override { index_ = index; }
  void ShowHelpTopic(int) override {}
  void DetachFigureGrid() override {}
  void AttachFigureGrid() override {}

 private:
  int index_ = -1;
};

}  // namespace

BoardDiagram FigureDiagram(int contentsNumber, int letter, bool caption,
                           const std::string& programDirectory) {
  assert(letter >= 1 && letter <= 26);
  BoardState board;
  board.ProgramDirectory = programDirectory;
  TDataModule1 module;
  TDiagramRecorder view(MainBoardGeometry());
  BoardRules rules(board, view);
  QueryFigureRows rows(module.Figures());
  rules.SetFigureRows(&rows);
  LetterOnlyWindow window;
  FigurePlayer player(rules, view, window, module.Contents(), module.Figures());

  OpenLessons(module.Queries(), board);
  if (!module.Contents().Locate("MNB", {contentsNumber})) {
    throw std::runtime_error("no contents entry " + std::to_string(contentsNumber));
  }
  window.SetFigureItemIndex(letter - 1);
  player.ShowFigure(false);
  const std::string figureName = kFigureItems[static_cast<size_t>(letter - 1)];
  if (view.Panel(0) == QString::fromUtf8(kNoSuchFigure)) {
    throw std::runtime_error("contents " + std::to_string(contentsNumber) + ": " + figureName + " " +
                             kNoSuchFigure);
  }
  if (!view.Messages().isEmpty()) throw std::runtime_error(view.Messages().join('\n').toStdString());
  return view.Diagram(caption ? view.Panel(1) : QString());
}

}  // namespace momiro
