#include "app/diagram_svg.h"

#include <QBuffer>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QXmlStreamWriter>
#include <cassert>
#include <cmath>

#include "app/diagram_painter.h"
#include "board/board_view.h"
#include "board/point_geometry.h"

namespace momiro {
namespace {

const QString kXlink = "http://www.w3.org/1999/xlink";

// One element a line. Not the writer's auto-formatting: it would indent the
// caption's <tspan>s, and that whitespace would become part of its text.
void Break(QXmlStreamWriter& xml) { xml.writeCharacters("\n"); }

QString Number(qreal value) { return QString::number(value, 'g', 8); }

QString Colour(const QColor& colour) { return colour.name(QColor::HexRgb); }

void Rect(QXmlStreamWriter& xml, qreal x, qreal y, qreal width, qreal height, const QColor& fill) {
  xml.writeEmptyElement("rect");
  xml.writeAttribute("x", Number(x));
  xml.writeAttribute("y", Number(y));
  xml.writeAttribute("width", Number(width));
  xml.writeAttribute("height", Number(height));
  xml.writeAttribute("fill", Colour(fill));
  Break(xml);
}

// The font as CSS: the face the substitution chose, so that a viewer
// without "ＭＳ Ｐゴシック" uses the same face as the screen.
void FontAttributes(QXmlStreamWriter& xml, const QFont& font) {
  const QFontInfo info(font);
  xml.writeAttribute("font-family", QString("'%1', '%2', sans-serif").arg(info.family(), font.family()));
  xml.writeAttribute("font-size", Number(font.pixelSize() > 0 ? font.pixelSize() : info.pixelSize()));
  if (font.bold()) xml.writeAttribute("font-weight", "bold");
}

void BoardSquare(QXmlStreamWriter& xml, const BoardGeometry& geometry) {
  Rect(xml, 0, 0, geometry.squareSize, geometry.squareSize, QColor(kBoardColour.r, kBoardColour.g, kBoardColour.b));
  const int n = geometry.lines;
  const int length = kBoardPitch * (n - 1);
  const QPoint first = geometry.firstLine - geometry.squareOrigin;
  xml.writeStartElement("g");
  xml.writeAttribute("class", "lines");
  Break(xml);
  for (int i = 0; i < n; ++i) {
    const int width = (i == 0 || i == n - 1) ? 2 : 1;
    const int offset = i * kBoardPitch;
    Rect(xml, first.x(), first.y() + offset - width / 2, length + 1, width, Qt::black);
    Rect(xml, first.x() + offset - width / 2, first.y(), width, length + 1, Qt::black);
  }
  for (const QPoint& star : geometry.starPoints) {
    xml.writeEmptyElement("circle");
    xml.writeAttribute("cx", Number(first.x() + (star.x() - 1) * kBoardPitch + 0.5));
    xml.writeAttribute("cy", Number(first.y() + (star.y() - 1) * kBoardPitch + 0.5));
    xml.writeAttribute("r", "2.5");
    xml.writeAttribute("fill", "#000000");
    Break(xml);
  }
  xml.writeEndElement();
  Break(xml);
}

void Stone(QXmlStreamWriter& xml, const QRect& cell, const PointLook& point, int p, bool stretch) {
  QSize size = point.picture.deviceIndependentSize().toSize();
  QRect place = stretch ? cell
                        : QRect(cell.x() + (cell.width() - size.width()) / 2,
                                cell.y() + (cell.height() - size.height()) / 2, size.width(), size.height());
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  point.picture.toImage().save(&buffer, "PNG");
  xml.writeEmptyElement("image");
  xml.writeAttribute("class", "stone");
  xml.writeAttribute("data-point", QString::number(p));
  xml.writeAttribute("x", Number(place.x()));
  xml.writeAttribute("y", Number(place.y()));
  xml.writeAttribute("width", Number(place.width()));
  xml.writeAttribute("height", Number(place.height()));
  xml.writeAttribute("preserveAspectRatio", "none");
  // xlink:href: what SVG 1.1 viewers read.
  xml.writeAttribute(kXlink, "href", "data:image/png;base64," + QString::fromLatin1(png.toBase64()));
  Break(xml);
}

void CellText(QXmlStreamWriter& xml, const QRect& cell, const CellTextLook& look, int p) {
  if (look.opaque) Rect(xml, cell.x(), cell.y(), cell.width(), cell.height(), look.background);
  if (look.text.isEmpty()) return;
  // drawText centres the line box (ascent + descent) in the cell.
  const QFontMetricsF metrics(look.font);
  const qreal baseline = cell.y() + (cell.height() - metrics.height()) / 2 + metrics.ascent();
  xml.writeStartElement("text");
  xml.writeAttribute("class", "text");
  xml.writeAttribute("data-point", QString::number(p));
  xml.writeAttribute("x", Number(cell.x() + cell.width() / 2.0));
  xml.writeAttribute("y", Number(baseline));
  xml.writeAttribute("text-anchor", "middle");
  FontAttributes(xml, look.font);
  xml.writeAttribute("fill", Colour(look.colour));
  xml.writeCharacters(look.text);
  xml.writeEndElement();
  Break(xml);
}

void Caption(QXmlStreamWriter& xml, const BoardDiagram& diagram) {
  const QStringList lines = CaptionLines(diagram);
  if (lines.isEmpty()) return;
  const QSize size = DiagramSize(diagram);
  const int top = diagram.geometry.squareSize;
  Rect(xml, 0, top, size.width(), size.height() - top, Qt::white);
  const QFontMetricsF metrics(CaptionFont());
  const int lineHeight = static_cast<int>(std::ceil(metrics.lineSpacing()));
  xml.writeStartElement("text");
  xml.writeAttribute("class", "caption");
  FontAttributes(xml, CaptionFont());
  xml.writeAttribute("fill", "#000000");
  for (int i = 0; i < lines.size(); ++i) {
    xml.writeStartElement("tspan");
    xml.writeAttribute("x", Number(kCaptionMargin));
    xml.writeAttribute("y", Number(top + kCaptionMargin + i * lineHeight + metrics.ascent()));
    xml.writeCharacters(lines[i]);
    xml.writeEndElement();
  }
  xml.writeEndElement();
  Break(xml);
}

}  // namespace

QByteArray DiagramSvg(const BoardDiagram& diagram, int scale) {
  assert(scale >= kMinDiagramScale && scale <= kMaxDiagramScale);
  const BoardGeometry& geometry = diagram.geometry;
  const QSize size = DiagramSize(diagram);
  QByteArray out;
  QXmlStreamWriter xml(&out);
  xml.writeStartDocument();
  Break(xml);
  xml.writeStartElement("svg");
  xml.writeDefaultNamespace("http://www.w3.org/2000/svg");
  xml.writeNamespace(kXlink, "xlink");
  xml.writeAttribute("version", "1.1");
  xml.writeAttribute("width", QString::number(size.width() * scale));
  xml.writeAttribute("height", QString::number(size.height() * scale));
  xml.writeAttribute("viewBox", QString("0 0 %1 %2").arg(size.width()).arg(size.height()));
  Break(xml);
  BoardSquare(xml, geometry);
  const QPoint origin = geometry.squareOrigin;
  const int points = geometry.lines * geometry.lines;
  xml.writeStartElement("g");
  xml.writeAttribute("class", "stones");
  Break(xml);
  for (int p = 1; p <= points; ++p) {
    const PointLook& point = diagram.points[static_cast<size_t>(p)];
    if (!point.picture.isNull()) {
      Stone(xml, geometry.PictureCellRect(p).translated(-origin), point, p, geometry.stretchPictures);
    }
  }
  xml.writeEndElement();
  Break(xml);
  xml.writeStartElement("g");
  xml.writeAttribute("class", "texts");
  Break(xml);
  for (int p = 1; p <= points; ++p) {
    CellText(xml, geometry.TextCellRect(p).translated(-origin), diagram.points[static_cast<size_t>(p)].text, p);
  }
  xml.writeEndElement();
  Break(xml);
  Caption(xml, diagram);
  xml.writeEndElement();
  xml.writeEndDocument();
  return out;
}

}  // namespace momiro
