// TCuteButton: a panel-style push button (75 x 25 unless sized otherwise)
// with a raised bevel that sinks while the mouse holds it down. The windows
// use only its caption, colour, position, visibility, enabled state and
// click.
#ifndef MOMIRO_APP_CUTE_BUTTON_H_
#define MOMIRO_APP_CUTE_BUTTON_H_

#include <QAbstractButton>
#include <QColor>

namespace momiro {

class TCuteButton : public QAbstractButton {
  Q_OBJECT
 public:
  TCuteButton(QWidget* parent, const QString& caption, int left, int top);
  void SetColour(const QColor& colour);
  QSize sizeHint() const override { return {75, 25}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_{212, 208, 200};  // the panel's face
};

}  // namespace momiro

#endif  // MOMIRO_APP_CUTE_BUTTON_H_
