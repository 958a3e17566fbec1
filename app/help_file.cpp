#include "app/help_file.h"

#include <charconv>
#include <set>
#include <sstream>

namespace momiro {
namespace {

void TrimTrailingBlankLines(std::string& text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
}

void AppendLine(std::string& text, const std::string& line) {
  if (!text.empty() || !line.empty()) text += line + "\n";
}

}  // namespace

const HelpTopic* HelpFile::Find(int number) const {
  for (const HelpTopic& topic : topics) {
    if (topic.number == number) return &topic;
  }
  return nullptr;
}

std::optional<HelpFile> ParseHelpFile(const std::string& text, std::string* error) {
  HelpFile file;
  std::set<int> numbers;
  std::istringstream in(text);
  std::string line;
  int lineNumber = 0;
  bool haveContents = false;
  auto fail = [&](const std::string& what) {
    *error = "line " + std::to_string(lineNumber) + ": " + what;
    return std::nullopt;
  };
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNumber == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (!line.empty() && line[0] == '#') continue;
    if (line.rfind("@contents", 0) == 0) {
      if (haveContents || !file.topics.empty()) return fail("a second or late @contents");
      haveContents = true;
      file.contentsTitle = line.size() > 10 ? line.substr(10) : "";
      continue;
    }
    if (line.rfind("@topic ", 0) == 0) {
      const std::string rest = line.substr(7);
      int number = 0;
      const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
      if (ec != std::errc() || (end != rest.data() + rest.size() && *end != ' ')) {
        return fail("@topic needs a context number");
      }
      if (!numbers.insert(number).second) return fail("topic " + std::to_string(number) + " twice");
      HelpTopic topic;
      topic.number = number;
      topic.title = end == rest.data() + rest.size() ? "" : std::string(end + 1);
      file.topics.push_back(topic);
      continue;
    }
    if (!line.empty() && line[0] == '@') return fail("unknown directive " + line);
    if (file.topics.empty()) {
      if (!haveContents) return fail("text before @contents");
      AppendLine(file.introduction, line);
    } else {
      AppendLine(file.topics.back().body, line);
    }
  }
  if (!haveContents) return fail("no @contents");
  TrimTrailingBlankLines(file.introduction);
  for (HelpTopic& topic : file.topics) TrimTrailingBlankLines(topic.body);
  return file;
}

}  // namespace momiro
