#include "lessons/rudira_lesson_query.h"

namespace momiro {

using rudira::TDataSetState;

void RudiraLessonQuery::ClearSql() { query_.SQL().Clear(); }

void RudiraLessonQuery::AddSql(const std::string& line) { query_.SQL().Add(line); }

void RudiraLessonQuery::SetParamInt(int index, int value) { query_.Params()[index].SetAsInteger(value); }

bool RudiraLessonQuery::ShowsRow() const {
  if (!query_.Active()) return true;  // the dataset raises its own error
  return !query_.IsEmpty() || query_.State() == TDataSetState::dsInsert;
}

int RudiraLessonQuery::FieldInt(int position) const {
  if (!ShowsRow()) return 0;
  return query_.Fields(position).AsInteger();
}

std::string RudiraLessonQuery::FieldText(int position) const {
  if (!ShowsRow()) return {};
  return query_.Fields(position).AsString();
}

void RudiraLessonQuery::SetFieldInt(int position, int value) { query_.Fields(position).SetAsInteger(value); }

void RudiraLessonQuery::SetFieldText(int position, const std::string& text) {
  query_.Fields(position).SetAsString(text);
}

bool RudiraLessonQuery::Locate(const std::string& fields, const std::vector<int>& values) {
  std::vector<rudira::TFieldValue> keys;
  keys.reserve(values.size());
  for (int value : values) keys.emplace_back(int32_t{value});
  return query_.Locate(fields, keys, rudira::TLocateOptions{});
}

}  // namespace momiro
