#include "app/diagram_recorder.h"

#include <stdexcept>

namespace momiro {
namespace {
QString FromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }
QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }
}  // namespace

TDiagramRecorder::TDiagramRecorder(const BoardGeometry& geometry)
    : diagram_(BoardDiagram::Empty(geometry)) {}

BoardDiagram TDiagramRecorder::Diagram(const QString& caption) const {
  BoardDiagram diagram = diagram_;
  diagram.caption = caption;
  return diagram;
}

PointLook& TDiagramRecorder::At(int p) {
  if (!OnBoard(p)) throw std::out_of_range("no point " + std::to_string(p) + " on this board");
  return diagram_.points[static_cast<size_t>(p)];
}

void TDiagramRecorder::LoadPicture(int p, const std::string& path) {
  PointLook& point = At(p);
  point.picture = LoadCellPicture(FromUtf8(path));
  point.pictureFile = FromUtf8(path);
}

void TDiagramRecorder::ClearPicture(int p) {
  if (!OnBoard(p)) return;
  At(p).picture = QPixmap();
  At(p).pictureFile.clear();
}

void TDiagramRecorder::SetCellText(int p, const std::string& text) {
  if (OnBoard(p)) At(p).text.text = FromUtf8(text);
}

std::string TDiagramRecorder::CellText(int p) const {
  if (!OnBoard(p)) throw std::out_of_range("no point " + std::to_string(p) + " on this board");
  return diagram_.points[static_cast<size_t>(p)].text.text.toStdString();
}

void TDiagramRecorder::SetCellTextColour(int p, Rgb colour) { At(p).text.colour = ToQColor(colour); }

void TDiagramRecorder::SetCellBold(int p, bool bold) { At(p).text.font.setBold(bold); }

void TDiagramRecorder::SetCellTransparent(int p) {
  if (OnBoard(p)) At(p).text.opaque = false;
}

void TDiagramRecorder::SetCellOpaque(int p, Rgb background) {
  CellTextLook& look = At(p).text;
  look.opaque = true;
  look.background = ToQColor(background);
}

void TDiagramRecorder::SetStatusText(int panel, const std::string& text) {
  if (panel == 0 || panel == 1) panels_[panel] = FromUtf8(text);
}

void TDiagramRecorder::ShowMessage(const std::string& text) { messages_ << FromUtf8(text); }

}  // namespace momiro
