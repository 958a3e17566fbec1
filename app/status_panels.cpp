#include "app/status_panels.h"

#include "app/cell_widgets.h"

namespace momiro {
namespace {
std::function<void(int, const QString&)>& Observer() {
  static std::function<void(int, const QString&)> observer;
  return observer;
}
}  // namespace

void TStatusPanels::SetObserver(std::function<void(int, const QString&)> observer) {
  Observer() = std::move(observer);
}

TStatusPanels::TStatusPanels(QWidget* parent) : QStatusBar(parent) {
  setObjectName("StatusBar1");
  setSizeGripEnabled(false);
  QFont font(QString::fromUtf8(kUiFontFamily));
  font.setPixelSize(12);
  font.setBold(true);
  const int widths[3] = {300, 300, 50};
  for (int i = 0; i < 3; ++i) {
    QLabel* panel = new QLabel(this);
    panel->setObjectName(QString("StatusBar1Panel%1").arg(i));
    panel->setFont(font);
    // The last panel takes the rest of the bar, as wide as the clock needs.
    if (i < 2) {
      panel->setFixedWidth(widths[i]);
    } else {
      panel->setMinimumWidth(widths[i]);
    }
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment((i == 2 ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    QPalette p = panel->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 128));
    panel->setPalette(p);
    addWidget(panel, i == 2 ? 1 : 0);
    panels_[i] = panel;
  }
}

void TStatusPanels::SetPanelText(int panel, const QString& text) {
  QLabel* label = panels_.at(panel);
  if (label->text() == text) return;
  label->setText(text);
  if (Observer()) Observer()(panel, text);
}

QString TStatusPanels::PanelText(int panel) const { return panels_.at(panel)->text(); }

}  // namespace momiro
