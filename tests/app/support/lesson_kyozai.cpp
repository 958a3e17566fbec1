#include "support/lesson_kyozai.h"

#include <QDir>
#include <exception>

#include "components/dataset_messages.h"
#include "components/rudira_query.h"
#include "components/rudira_session.h"
#include "components/session_list.h"

#include "tools/make_kyozai/kyozai_writer.h"
#include "tools/make_kyozai/lesson_source.h"

namespace momiro::testing {

LessonKyozai::LessonKyozai(const std::vector<std::string>& sources) : previous_(QDir::currentPath()) {
  if (!dir_.isValid() || !QDir::setCurrent(dir_.path())) return;
  if (!sources.empty()) {
    std::vector<LessonEntry> entries;
    for (size_t i = 0; i < sources.size(); ++i) {
      entries.push_back(ParseLessonSource(sources[i], "lesson" + std::to_string(i)));
    }
    CheckLessonEntries(entries);
    if (!QDir(dir_.path()).mkdir("kyozai")) return;
    WriteKyozai((dir_.path() + "/kyozai/").toStdString(), entries);
  }
  valid_ = true;
}

LessonKyozai::~LessonKyozai() {
  // The default session keeps the current directory of its creation as the
  // place of temporary result tables; closed here, the next test's session
  // starts in that test's directory instead of this removed one.
  rudira::Sessions().DefaultSession()->Close();
  QDir::setCurrent(previous_);
}

std::vector<std::string> WindowTestLessons() {
  return {
      "entry 110 第一課\n"
      "figure A start\n"
      "  W D4\n"
      "  B C4 D5 E4 : 白はアタリです。\n"
      "sequence start\n"
      "  B D3 captures D4 : 取りました。\n"
      "sequence start\n"
      "  B? E3 : 失敗です。\n"
      "  W D3 : 逃げられました。\n"
      "figure B single\n"
      "  B K10 : 図Ｂです。\n"
      "sequence single\n"
      "  W K11 : 白の手\n"
      "  B L11 : 黒の手\n",
      "entry 120 第二課\n"
      "figure A start\n"
      "  W Q16 : 一子です。\n"
      "sequence start\n"
      "  B Q17\n",
  };
}

bool SqlExecutionAvailable() {
  rudira::TRUDIRAQuery probe;
  probe.SetDatabaseName("kyozai");
  probe.SQL().Add("select * from mokuji");
  try {
    probe.Open();
  } catch (const std::exception& error) {
    return std::string(error.what()).find(rudira::kNoStatementRunner) == std::string::npos;
  }
  probe.Close();
  return true;
}

}  // namespace momiro::testing
