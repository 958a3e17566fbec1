// TStatusPanels: a window's status bar of three fixed-width panels (300, 300
// and 50 pixels, the third centred) in bold navy "ＭＳ Ｐゴシック". Panel 0
// carries prompts and results, panel 1 the comment shown, panel 2 the clock.
#ifndef MOMIRO_APP_STATUS_PANELS_H_
#define MOMIRO_APP_STATUS_PANELS_H_

#include <QLabel>
#include <QStatusBar>
#include <array>
#include <functional>

namespace momiro {

class TStatusPanels : public QStatusBar {
  Q_OBJECT
 public:
  explicit TStatusPanels(QWidget* parent);
  void SetPanelText(int panel, const QString& text);
  QString PanelText(int panel) const;
  // Called after every change of a panel's text (the scripted mode prints them).
  static void SetObserver(std::function<void(int panel, const QString& text)> observer);

 private:
  std::array<QLabel*, 3> panels_{};
};

}  // namespace momiro

#endif  // MOMIRO_APP_STATUS_PANELS_H_
