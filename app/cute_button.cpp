#include "app/cute_button.h"

#include <QPainter>
#include <qdrawutil.h>

#include "app/cell_widgets.h"

namespace momiro {

TCuteButton::TCuteButton(QWidget* parent, const QString& caption, int left, int top)
    : QAbstractButton(parent) {
  setText(caption);
  setGeometry(left, top, 75, 25);
  QFont f(QString::fromUtf8(kUiFontFamily));
  f.setPixelSize(12);
  setFont(f);
  setFocusPolicy(Qt::NoFocus);
}

void TCuteButton::SetColour(const QColor& colour) {
  colour_ = colour;
  update();
}

void TCuteButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QPalette pal = palette();
  pal.setColor(QPalette::Button, colour_);
  pal.setColor(QPalette::Light, colour_.lighter(150));
  pal.setColor(QPalette::Dark, colour_.darker(160));
  const bool sunken = isDown();
  qDrawShadePanel(&painter, rect(), pal, sunken, 2, &pal.brush(QPalette::Button));
  painter.setPen(isEnabled() ? pal.color(QPalette::ButtonText) : pal.color(QPalette::Dark));
  const QRect textRect = rect().translated(sunken ? 1 : 0, sunken ? 1 : 0);
  painter.drawText(textRect, Qt::AlignCenter, text());
}

}  // namespace momiro
