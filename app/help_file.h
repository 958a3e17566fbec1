// The help file "Momiro.hlp": UTF-8 text of this program's own format.
//
//   # a comment line
//   @contents TITLE          the contents page's title; lines up to the
//   text...                  first topic are its introduction
//   @topic NUMBER TITLE      a topic, keyed by its context number (a lesson's
//   text...                  topic has the lesson's contents number)
//
// Topics are listed on the contents page in file order. Plain C++, so the
// build tool that checks the file and the program read it alike.
#ifndef MOMIRO_APP_HELP_FILE_H_
#define MOMIRO_APP_HELP_FILE_H_

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace momiro {

struct HelpTopic {
  int number = 0;
  std::string title;
  std::string body;  // lines joined with '\n', no trailing blank lines
};

struct HelpFile {
  std::string contentsTitle;
  std::string introduction;
  std::vector<HelpTopic> topics;  // file order

  const HelpTopic* Find(int number) const;
};

// Parses the text of a help file. On a malformed line returns nothing and
// sets *error to "line N: what is wrong".
std::optional<HelpFile> ParseHelpFile(const std::string& text, std::string* error);

}  // namespace momiro

#endif  // MOMIRO_APP_HELP_FILE_H_
