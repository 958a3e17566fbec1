// TDiagramSaveDialog: the dialog of "図を保存…" — the file (typed or chosen
// with a file dialog offering PNG and SVG), the format, the scale and
// whether the current comment goes under the board as a caption.
//
// Ask shows it modally and returns the choice, or nothing when cancelled.
// Without a user nothing is shown: a queued answer (the --actions verb
// "diagram") is taken first, else a scripted answer function (the UI tests)
// decides, else, while the message boxes are scripted, the save counts as
// cancelled, so that no run without a user blocks.
#ifndef MOMIRO_APP_DIAGRAM_SAVE_DIALOG_H_
#define MOMIRO_APP_DIAGRAM_SAVE_DIALOG_H_

#include <QDialog>
#include <functional>
#include <optional>

#include "app/diagram_file.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace momiro {

inline constexpr const char* kSaveDiagramCaption = "図を保存…";
inline constexpr const char* kDiagramSaved = "図を保存しました。";

class TDiagramSaveDialog : public QDialog {
  Q_OBJECT
 public:
  // comment: the comment shown now (the caption offered; none when empty).
  // suggestedName: the file name offered, without directory or extension.
  TDiagramSaveDialog(QWidget* parent, const QString& comment, const QString& suggestedName);

  DiagramSaveOptions Options() const;

  // The dialog's answer, or the scripted answer when one is set.
  static std::optional<DiagramSaveOptions> Ask(QWidget* parent, const QString& comment,
                                               const QString& suggestedName);
  // Scripted mode: answer(comment, suggestedName) replaces the dialog; an
  // empty function leaves the scripted mode.
  using ScriptedAnswer = std::function<std::optional<DiagramSaveOptions>(const QString&, const QString&)>;
  static void SetScripted(ScriptedAnswer answer);
  // The answer of the next Ask, before any other.
  static void QueueAnswer(const DiagramSaveOptions& options);

 private:
  void Browse();
  // The file name's extension follows the chosen format.
  void FormatChosen();

  QLineEdit* path_;
  QComboBox* format_;
  QSpinBox* scale_;
  QCheckBox* caption_;
};

}  // namespace momiro

#endif  // MOMIRO_APP_DIAGRAM_SAVE_DIALOG_H_
