// The cell components of a board window: one picture cell (Image<p>) and one
// text cell (Label<p>) per point. Both paint through the diagram painter
// (PaintPictureCell, PaintTextCell), so saved diagrams show them alike.
#ifndef MOMIRO_APP_CELL_WIDGETS_H_
#define MOMIRO_APP_CELL_WIDGETS_H_

#include <QLabel>
#include <QPixmap>
#include <QString>

#include "app/board_diagram.h"

namespace momiro {

// The font every board and panel text is set in. The windows ask for it by
// its Japanese family name; InstallFontSubstitutes maps that name to an
// installed Japanese proportional Gothic face.
extern const char* const kUiFontFamily;  // "ＭＳ Ｐゴシック"
void InstallFontSubstitutes();

// A 28 x 28 picture cell. Draws its BMP transparently (the colour of the
// bottom-left pixel is see-through) and, in the main window, stretched.
class TPictureCell : public QLabel {
  Q_OBJECT
 public:
  TPictureCell(QWidget* parent, bool stretch);
  // Loads the BMP file at path; throws std::runtime_error when it cannot be read.
  void LoadPicture(const QString& path);
  void ClearPicture();
  bool HasPicture() const { return !picture_.isNull(); }
  QString PicturePath() const { return path_; }
  const QPixmap& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap picture_;
  QString path_;  // file the picture came from; empty when none
};

// A 26 x 16 text cell over the middle of its picture cell: centred text in
// "ＭＳ Ｐゴシック" at 12 pixels, transparent unless made opaque, and the only
// part of a point that takes clicks.
class TTextCell : public QLabel {
  Q_OBJECT
 public:
  TTextCell(QWidget* parent, int point);
  int Point() const { return point_; }

  void SetTextColour(const QColor& colour);
  QColor TextColour() const;
  void SetBold(bool bold);
  void SetTransparent();
  void SetOpaque(const QColor& background);
  bool IsOpaque() const { return autoFillBackground(); }
  // What the cell shows, as the diagram painter draws it.
  CellTextLook Look() const;

 signals:
  void MouseDown(TTextCell* cell, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  int point_;
};

}  // namespace momiro

#endif  // MOMIRO_APP_CELL_WIDGETS_H_
