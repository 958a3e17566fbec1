#include "app/diagram_painter.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <cassert>
#include <cmath>

#include "app/cell_widgets.h"
#include "board/board_view.h"
#include "board/point_geometry.h"

namespace momiro {

void PaintBoardSquare(QPainter& painter, const BoardGeometry& geometry) {
  painter.save();
  painter.fillRect(QRect(0, 0, geometry.squareSize, geometry.squareSize),
                   QColor(kBoardColour.r, kBoardColour.g, kBoardColour.b));
  const int n = geometry.lines;
  const int length = kBoardPitch * (n - 1);
  const QPoint first = geometry.firstLine - geometry.squareOrigin;
  for (int i = 0; i < n; ++i) {
    // The outermost two lines in each direction are 2 pixels wide.
    const int width = (i == 0 || i == n - 1) ? 2 : 1;
    const int offset = i * kBoardPitch;
    painter.fillRect(first.x(), first.y() + offset - width / 2, length + 1, width, Qt::black);
    painter.fillRect(first.x() + offset - width / 2, first.y(), width, length + 1, Qt::black);
  }
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  for (const QPoint& star : geometry.starPoints) {
    const QPointF centre(first.x() + (star.x() - 1) * kBoardPitch + 0.5,
                         first.y() + (star.y() - 1) * kBoardPitch + 0.5);
    painter.drawEllipse(centre, 2.5, 2.5);
  }
  painter.restore();
}

void PaintPictureCell(QPainter& painter, const QRect& rect, const QPixmap& picture, bool stretch) {
  if (picture.isNull()) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (stretch) {
    painter.drawPixmap(rect, picture);
  } else {
    const QSize size = picture.deviceIndependentSize().toSize();
    painter.drawPixmap(QRect(rect.x() + (rect.width() - size.width()) / 2,
                             rect.y() + (rect.height() - size.height()) / 2, size.width(),
                             size.height()),
                       picture);
  }
  painter.restore();
}

void PaintTextCell(QPainter& painter, const QRect& rect, const CellTextLook& look) {
  if (look.opaque) painter.fillRect(rect, look.background);
  if (look.text.isEmpty()) return;
  painter.save();
  painter.setClipRect(rect, Qt::IntersectClip);
  painter.setFont(look.font);
  painter.setPen(look.colour);
  painter.drawText(rect, Qt::AlignCenter, look.text);
  painter.restore();
}

QFont CaptionFont() {
  QFont font(QString::fromUtf8(kUiFontFamily));
  font.setPixelSize(14);
  return font;
}

QStringList CaptionLines(const BoardDiagram& diagram) {
  QStringList lines;
  if (diagram.caption.isEmpty()) return lines;
  const qreal width = diagram.geometry.squareSize - 2 * kCaptionMargin;
  // Comments are Japanese, without blanks between words: break anywhere.
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  for (const QString& paragraph : diagram.caption.split('\n')) {
    QTextLayout layout(paragraph, CaptionFont());
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    if (paragraph.isEmpty()) lines << QString();
  }
  return lines;
}

namespace {
int CaptionLineHeight() { return static_cast<int>(std::ceil(QFontMetricsF(CaptionFont()).lineSpacing())); }
}  // namespace

QSize DiagramSize(const BoardDiagram& diagram) {
  const int side = diagram.geometry.squareSize;
  const QStringList lines = CaptionLines(diagram);
  if (lines.isEmpty()) return {side, side};
  return {side, side + 2 * kCaptionMargin + static_cast<int>(lines.size()) * CaptionLineHeight()};
}

void PaintDiagram(QPainter& painter, const BoardDiagram& diagram) {
  const BoardGeometry& geometry = diagram.geometry;
  const int points = geometry.lines * geometry.lines;
  assert(static_cast<int>(diagram.points.size()) == points + 1);
  const QPoint origin = geometry.squareOrigin;
  // The widgets' stacking order: the square, every picture cell, every text cell.
  PaintBoardSquare(painter, geometry);
  for (int p = 1; p <= points; ++p) {
    PaintPictureCell(painter, geometry.PictureCellRect(p).translated(-origin),
                     diagram.points[static_cast<size_t>(p)].picture, geometry.stretchPictures);
  }
  for (int p = 1; p <= points; ++p) {
    PaintTextCell(painter, geometry.TextCellRect(p).translated(-origin),
                  diagram.points[static_cast<size_t>(p)].text);
  }
  const QStringList lines = CaptionLines(diagram);
  if (lines.isEmpty()) return;
  painter.save();
  const QSize size = DiagramSize(diagram);
  painter.fillRect(QRect(0, geometry.squareSize, size.width(), size.height() - geometry.squareSize),
                   Qt::white);
  painter.setFont(CaptionFont());
  painter.setPen(Qt::black);
  const QFontMetricsF metrics(CaptionFont());
  const int lineHeight = CaptionLineHeight();
  for (int i = 0; i < lines.size(); ++i) {
    const qreal baseline = geometry.squareSize + kCaptionMargin + i * lineHeight + metrics.ascent();
    painter.drawText(QPointF(kCaptionMargin, baseline), lines[i]);
  }
  painter.restore();
}

QImage RenderDiagram(const BoardDiagram& diagram, int scale) {
  assert(scale >= kMinDiagramScale && scale <= kMaxDiagramScale);
  // Opaque like a window's backing store, so that text is drawn alike.
  QImage image(DiagramSize(diagram) * scale, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.scale(scale, scale);
  PaintDiagram(painter, diagram);
  painter.end();
  return image;
}

}  // namespace momiro
