// FigureRows: the figure query's current row, as the board code sees it.
//
// While a lesson figure is drawn, PlacePoint remembers the current row's TNB
// and moves back to it after the capture check, and the capture check walks
// the rows from the first to find which earlier row put a stone on a point.
// The lessons layer implements this over its figure query; during plain play
// the board code is given none (nullptr) and these steps do nothing.
#ifndef MOMIRO_BOARD_FIGURE_ROWS_H_
#define MOMIRO_BOARD_FIGURE_ROWS_H_

namespace momiro {

class FigureRows {
 public:
  virtual ~FigureRows() = default;

  // True while the figure query is open and has a current row.
  virtual bool HasCurrentRow() const = 0;
  virtual int CurrentTNB() const = 0;
  virtual int CurrentTES() const = 0;
  virtual int CurrentPST() const = 0;
  // Moves to the first row; false when there is none.
  virtual bool First() = 0;
  // Moves to the next row; false at the end of the rows.
  virtual bool Next() = 0;
  // Moves to the row whose TNB is tnb (Locate on "TNB").
  virtual void LocateTNB(int tnb) = 0;
};

}  // namespace momiro

#endif  // MOMIRO_BOARD_FIGURE_ROWS_H_
