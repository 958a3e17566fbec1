// TDiagramRecorder: a BoardView without widgets. The board and lesson
// routines draw on it as on a window's cells, and it keeps what the cells
// would show as a BoardDiagram, so a figure is rendered without a window
// (momiro-diagram). It needs a QGuiApplication for the stone pictures and
// fonts, not a QApplication.
//
// It behaves as TBoardCells does: points beyond its board are ignored where
// the cells ignore them, a picture that cannot be read throws. Panels 0
// and 1 and the message boxes are kept for the caller to read; sounds,
// prisoner boxes and play-mode buttons have nothing to show.
#ifndef MOMIRO_APP_DIAGRAM_RECORDER_H_
#define MOMIRO_APP_DIAGRAM_RECORDER_H_

#include <QStringList>
#include <string>

#include "app/board_diagram.h"
#include "board/board_view.h"

namespace momiro {

class TDiagramRecorder : public BoardView {
 public:
  explicit TDiagramRecorder(const BoardGeometry& geometry);

  // The board as drawn so far, with the given caption.
  BoardDiagram Diagram(const QString& caption = {}) const;
  // Status-bar panel 0 or 1 as last written.
  QString Panel(int panel) const { return panels_[panel == 1 ? 1 : 0]; }
  // The message boxes shown, in order.
  const QStringList& Messages() const { return messages_; }

  // BoardView
  void LoadPicture(int p, const std::string& path) override;
  void ClearPicture(int p) override;
  void SetCellText(int p, const std::string& text) override;
  std::string CellText(int p) const override;
  void SetCellTextColour(int p, Rgb colour) override;
  void SetCellBold(int p, bool bold) override;
  void SetCellTransparent(int p) override;
  void SetCellOpaque(int p, Rgb background) override;
  void ShowPrisoners(int, int) override {}
  void SetStatusText(int panel, const std::string& text) override;
  void PlaySound(int) override {}
  void ShowMessage(const std::string& text) override;
  void ShowPlayModeButton(int) override {}

 private:
  bool OnBoard(int p) const { return p >= 1 && p < static_cast<int>(diagram_.points.size()); }
  // The point's look. REQUIRES: OnBoard(p), as the cells' table lookup does.
  PointLook& At(int p);

  BoardDiagram diagram_;
  QString panels_[2];
  QStringList messages_;
};

}  // namespace momiro

#endif  // MOMIRO_APP_DIAGRAM_RECORDER_H_
