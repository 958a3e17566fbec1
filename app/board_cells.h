// TBoardCells: a window's board — the board square and, for every point p,
// the picture cell Image<p> and the text cell Label<p> — and the BoardView
// that the board code draws through.
//
// The cell widgets are children of the window's client widget and belong to
// it; this object only knows them. The point is the only link between a
// point and its cells (a direct table here, the object names for anybody who
// looks them up by name).
#ifndef MOMIRO_APP_BOARD_CELLS_H_
#define MOMIRO_APP_BOARD_CELLS_H_

#include <QLineEdit>
#include <QObject>
#include <QRadioButton>
#include <array>
#include <vector>

#include "app/board_diagram.h"
#include "app/board_square.h"
#include "app/cell_widgets.h"
#include "app/sound_player.h"
#include "app/status_panels.h"
#include "board/board_view.h"

namespace momiro {

class TBoardCells : public QObject, public BoardView {
  Q_OBJECT
 public:
  // Creates the board square and the cells on client, in that order, so the
  // text cells lie over the picture cells and both over the square.
  TBoardCells(QWidget* client, const BoardGeometry& geometry);

  // The other components the board code writes to, owned by the window.
  void Attach(QLineEdit* edit1, QLineEdit* edit2, TStatusPanels* status, TSoundPlayer* sound,
              std::array<QRadioButton*, 3> playModeButtons, const std::string* programDirectory);

  TTextCell* TextCell(int p) const { return texts_.at(p); }
  TPictureCell* PictureCell(int p) const { return pictures_.at(p); }
  int Lines() const { return geometry_.lines; }
  const BoardGeometry& Geometry() const { return geometry_; }
  // The board as the cells show it now, with the given caption.
  BoardDiagram Diagram(const QString& caption = {}) const;

  // BoardView
  void LoadPicture(int p, const std::string& path) override;
  void ClearPicture(int p) override;
  void SetCellText(int p, const std::string& text) override;
  std::string CellText(int p) const override;
  void SetCellTextColour(int p, Rgb colour) override;
  void SetCellBold(int p, bool bold) override;
  void SetCellTransparent(int p) override;
  void SetCellOpaque(int p, Rgb background) override;
  void ShowPrisoners(int box, int count) override;
  void SetStatusText(int panel, const std::string& text) override;
  void PlaySound(int which) override;
  void ShowMessage(const std::string& text) override;
  void ShowPlayModeButton(int mode) override;

 signals:
  // A mouse-down on the text cell of point p.
  void PointPressed(int p, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

 private:
  QWidget* client_;
  BoardGeometry geometry_;
  std::vector<TPictureCell*> pictures_;  // index p; entry 0 unused
  std::vector<TTextCell*> texts_;        // index p; entry 0 unused
  QLineEdit* edit1_ = nullptr;
  QLineEdit* edit2_ = nullptr;
  TStatusPanels* status_ = nullptr;
  TSoundPlayer* sound_ = nullptr;
  std::array<QRadioButton*, 3> modeButtons_{};
  const std::string* programDirectory_ = nullptr;  // BoardState::ProgramDirectory
};

}  // namespace momiro

#endif  // MOMIRO_APP_BOARD_CELLS_H_
