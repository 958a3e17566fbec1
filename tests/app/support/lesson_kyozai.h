// A lesson database `kyozai` for the UI tests, written by the program's own
// lesson writer (tools/make_kyozai) from lesson source texts: a fresh
// temporary directory becomes the current directory, so the database name
// "kyozai" reaches its kyozai/ subdirectory. The previous current directory
// comes back and the directory is removed when the object goes.
#ifndef MOMIRO_TESTS_APP_SUPPORT_LESSON_KYOZAI_H_
#define MOMIRO_TESTS_APP_SUPPORT_LESSON_KYOZAI_H_

#include <QTemporaryDir>
#include <QString>
#include <string>
#include <vector>

namespace momiro::testing {

class LessonKyozai {
 public:
  // sources: lesson source texts (data/lessons/README.md), one entry each.
  // Empty: the directory has no kyozai at all.
  explicit LessonKyozai(const std::vector<std::string>& sources);
  ~LessonKyozai();
  LessonKyozai(const LessonKyozai&) = delete;
  LessonKyozai& operator=(const LessonKyozai&) = delete;

  bool Valid() const { return valid_; }
  QString Path() const { return dir_.path(); }

 private:
  QString previous_;
  QTemporaryDir dir_;
  bool valid_ = false;
};

// The lesson the window tests walk, contents 110 "第一課":
//   図Ａ  white D4, black C4 D5 E4 (white in atari, comment on E4); two
//         sequences: B D3 takes D4 (correct), B? E3 then W D3 (wrong)
//   図Ｂ  one black stone K10; a single sequence W K11, B L11
// and contents 120 "第二課" with 図Ａ of one white stone Q16.
std::vector<std::string> WindowTestLessons();

// Whether the query components can run SQL in this build (false while they
// have no statement execution to reach). Probes "kyozai" under the current
// directory.
bool SqlExecutionAvailable();

}  // namespace momiro::testing

#endif  // MOMIRO_TESTS_APP_SUPPORT_LESSON_KYOZAI_H_
