// THelpViewer: shows the application's help file in a window of its own,
// at its contents page or at the topic of a context number. Esc closes it.
#ifndef MOMIRO_APP_HELP_VIEWER_H_
#define MOMIRO_APP_HELP_VIEWER_H_

#include <QString>
#include <QWidget>

#include "app/help_file.h"

class QTextBrowser;

namespace momiro {

class THelpViewer : public QWidget {
  Q_OBJECT
 public:
  explicit THelpViewer(QWidget* owner);
  void SetHelpFile(const QString& path) { path_ = path; }
  QString HelpFilePath() const { return path_; }

  // Reads the help file afresh and shows its contents page. A missing or
  // malformed help file is reported in a message box.
  void ShowContents();
  // Shows the topic whose context number is number; the contents page when
  // the file has no such topic.
  void ShowTopic(int number);

  // What the window shows, as plain text (for tests).
  QString ShownText() const;

 private:
  bool Load();
  void ShowContentsPage();
  void ShowPage(const QString& html);

  QWidget* owner_;        // the window whose message boxes report problems
  QString path_;          // the help file
  HelpFile file_;         // as read by the last Load
  QTextBrowser* browser_;
};

}  // namespace momiro

#endif  // MOMIRO_APP_HELP_VIEWER_H_
