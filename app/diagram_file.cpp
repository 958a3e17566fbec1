#include "app/diagram_file.h"

#include <QBuffer>
#include <QSaveFile>
#include <stdexcept>

#include "app/diagram_painter.h"
#include "app/diagram_svg.h"

namespace momiro {

DiagramFormat FormatOfFileName(const QString& path) {
  return path.endsWith(".svg", Qt::CaseInsensitive) ? DiagramFormat::Svg : DiagramFormat::Png;
}

void SaveDiagram(const BoardDiagram& diagram, DiagramFormat format, int scale, const QString& path) {
  if (scale < kMinDiagramScale || scale > kMaxDiagramScale) {
    throw std::runtime_error(QString::fromUtf8("図の倍率は %1 から %2 までです（%3）。")
                                 .arg(kMinDiagramScale).arg(kMaxDiagramScale).arg(scale)
                                 .toStdString());
  }
  QByteArray bytes;
  if (format == DiagramFormat::Svg) {
    bytes = DiagramSvg(diagram, scale);
  } else {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!RenderDiagram(diagram, scale).save(&buffer, "PNG")) {
      throw std::runtime_error(QString::fromUtf8("図を PNG にできません。").toStdString());
    }
  }
  // Written aside and renamed over the target at the end: a failed write
  // never leaves half a file under the chosen name.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    throw std::runtime_error(
        QString::fromUtf8("図を保存できません: \"%1\"（%2）").arg(path, file.errorString()).toStdString());
  }
}

}  // namespace momiro
