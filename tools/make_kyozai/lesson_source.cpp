#include "tools/make_kyozai/lesson_source.h"

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace momiro {
namespace {

constexpr const char* kColumnLetters = "ABCDEFGHJKLMNOPQRST";  // no I, as on a Go board

[[noreturn]] void Fail(const std::string& file, int line, const std::string& what) {
  throw ELessonSourceError(file + ":" + std::to_string(line) + ": " + what);
}

std::string Trim(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return {};
  const size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// The rest of `text` after its first `count` words, trimmed.
std::string AfterWords(const std::string& text, size_t count) {
  size_t pos = 0;
  for (size_t i = 0; i < count; ++i) {
    pos = text.find_first_not_of(" \t", pos);
    if (pos == std::string::npos) return {};
    pos = text.find_first_of(" \t", pos);
    if (pos == std::string::npos) return {};
  }
  return Trim(text.substr(pos));
}

bool ValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    if (c < 0x80)
      extra = 0;
    else if ((c & 0xE0) == 0xC0 && c >= 0xC2)
      extra = 1;
    else if ((c & 0xF0) == 0xE0)
      extra = 2;
    else if ((c & 0xF8) == 0xF0 && c <= 0xF4)
      extra = 3;
    else
      return false;
    for (size_t k = 1; k <= extra; ++k) {
      if (i + k >= text.size()) return false;
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

bool ParseInt(const std::string& text, int* value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  *value = std::atoi(text.c_str());
  return true;
}

// Where one run of rows stands while the source is read.
struct RunInfo {
  int bfr = 0;      // the branch number of its last row
  int lastTes = 0;  // move number of its last row (0 for a basic figure)
  int depth = 0;    // runs on its path, itself included
  int line = 0;
};

class SourceParser {
 public:
  explicit SourceParser(const std::string& file) : file_(file) { entry_.file = file; }

  LessonEntry Parse(const std::string& text) {
    std::istringstream in(text);
    std::string raw;
    int line = 0;
    while (std::getline(in, raw)) {
      ++line;
      const std::string content = Trim(raw);
      if (content.empty() || content[0] == '#') continue;
      ParseLine(content, line);
    }
    if (entry_.number == 0) Fail(file_, line, "no entry line");
    EndRun(line);
    if (entry_.rows.empty()) Fail(file_, entry_.line, "the entry has no basic figure");
    for (size_t i = 0; i < entry_.rows.size(); ++i) entry_.rows[i].tnb = static_cast<int>(i) + 1;
    CheckLessonRows(entry_);
    return entry_;
  }

 private:
  enum class Section { None, Figure, Sequence };

  void ParseLine(const std::string& content, int line) {
    const std::vector<std::string> words = Words(content);
    const std::string& keyword = words[0];
    if (keyword == "entry") return ParseEntry(content, words, line);
    if (entry_.number == 0) Fail(file_, line, "the file must begin with an entry line");
    if (keyword == "figure") return StartFigure(words, line);
    if (keyword == "sequence") return StartSequence(words, line);
    if (section_ == Section::None) Fail(file_, line, "a row outside a figure or sequence");
    if (keyword == "text") return ParseText(content, words, line);
    if (section_ == Section::Figure) return ParseStones(content, line);
    return ParseMove(content, line);
  }

  void ParseEntry(const std::string& content, const std::vector<std::string>& words, int line) {
    if (entry_.number != 0) Fail(file_, line, "a second entry in one file");
    int number = 0;
    if (words.size() < 3 || !ParseInt(words[1], &number) || number <= 0)
      Fail(file_, line, "expected: entry NUMBER TITLE");
    if (number == 9 || number == 13 || number == 19)
      Fail(file_, line, "contents numbers 9, 13 and 19 hold the adjourned games");
    if (number % 100 == 0)
      Fail(file_, line,
           "a multiple of 100 shows the figures of the next number; use another number");
    entry_.number = number;
    entry_.title = AfterWords(content, 2);
    entry_.line = line;
    if (!ValidUtf8(entry_.title)) Fail(file_, line, "the title is not UTF-8");
    if (static_cast<int>(entry_.title.size()) > kTitleWidth)
      Fail(file_, line, "the title is longer than " + std::to_string(kTitleWidth) + " bytes");
  }

  void DefineLabel(const std::string& label, int line) {
    if (labels_.count(label) != 0)
      Fail(file_, line, "branch label \"" + label + "\" is used twice");
    labels_[label] = static_cast<int>(runs_.size());
  }

  void StartFigure(const std::vector<std::string>& words, int line) {
    EndRun(line);
    if (words.size() != 3 || words[1].size() != 1 || words[1][0] < 'A' || words[1][0] > 'Z')
      Fail(file_, line, "expected: figure LETTER LABEL (LETTER A to Z)");
    const int letter = words[1][0] - 'A' + 1;
    if (!letters_.insert(letter).second)
      Fail(file_, line, "figure " + words[1] + " is defined twice");
    DefineLabel(words[2], line);
    runs_.push_back({static_cast<int>(runs_.size()) + 1, 0, 1, line});
    section_ = Section::Figure;
    runStart_ = entry_.rows.size();
    pendingBto_ = kBasicFigureLink;
    pendingLetter_ = letter;
  }

  void StartSequence(const std::vector<std::string>& words, int line) {
    EndRun(line);
    if (words.size() < 2 || words.size() > 3) Fail(file_, line, "expected: sequence FROM [LABEL]");
    const auto from = labels_.find(words[1]);
    if (from == labels_.end()) Fail(file_, line, "unknown branch label \"" + words[1] + "\"");
    const RunInfo parent = runs_[from->second];
    if (parent.depth + 1 > kMaxLessonDepth)
      Fail(file_, line, "sequences nest deeper than " + std::to_string(kMaxLessonDepth) + " runs");
    if (++continuations_[parent.bfr] > kMaxContinuations)
      Fail(file_, line,
           "more than " + std::to_string(kMaxContinuations) + " sequences continue from \"" +
               words[1] + "\"");
    if (words.size() == 3) DefineLabel(words[2], line);
    runs_.push_back({static_cast<int>(runs_.size()) + 1, parent.lastTes, parent.depth + 1, line});
    section_ = Section::Sequence;
    runStart_ = entry_.rows.size();
    pendingBto_ = parent.bfr;
    pendingLetter_ = 0;
  }

  // Closes the open run: its last row becomes its branch row.
  void EndRun(int line) {
    if (section_ == Section::None) return;
    if (entry_.rows.size() == runStart_)
      Fail(file_, runs_.back().line,
           section_ == Section::Figure ? "the figure has no rows" : "the sequence has no moves");
    entry_.rows.back().bfr = runs_.back().bfr;
    (void)line;
    section_ = Section::None;
  }

  LessonRow& AddRow(int line) {
    LessonRow row;
    row.mnb = entry_.number;
    row.file = file_;
    row.line = line;
    row.bto = pendingBto_;
    row.dtx = pendingLetter_;
    pendingBto_ = 0;
    pendingLetter_ = 0;
    entry_.rows.push_back(row);
    return entry_.rows.back();
  }

  int PointOf(const std::string& word, int line) {
    const int p = ParsePoint(word);
    if (p == 0) Fail(file_, line, "\"" + word + "\" is no point of the board (A1 to T19, no I)");
    return p;
  }

  // Splits "head : comment".
  static void SplitComment(const std::string& content, std::string* head, std::string* comment) {
    const size_t colon = content.find(':');
    if (colon == std::string::npos) {
      *head = content;
      comment->clear();
    } else {
      *head = content.substr(0, colon);
      *comment = Trim(content.substr(colon + 1));
    }
  }

  void CheckText(const std::string& text, int line) {
    if (!ValidUtf8(text)) Fail(file_, line, "the text is not UTF-8");
    if (static_cast<int>(text.size()) > kCommentWidth)
      Fail(file_, line, "the text is longer than " + std::to_string(kCommentWidth) + " bytes");
  }

  void ParseStones(const std::string& content, int line) {
    std::string head, comment;
    SplitComment(content, &head, &comment);
    const std::vector<std::string> words = Words(head);
    int colour = 0;
    if (words[0] == "B")
      colour = 1;
    else if (words[0] == "W")
      colour = 2;
    else
      Fail(file_, line, "expected stones (B or W and points) or a text row");
    if (words.size() < 2) Fail(file_, line, "a stone line without points");
    CheckText(comment, line);
    for (size_t i = 1; i < words.size(); ++i) {
      LessonRow& row = AddRow(line);
      row.col = colour;
      row.pst = PointOf(words[i], line);
    }
    entry_.rows.back().cmt = comment;
  }

  void ParseText(const std::string& content, const std::vector<std::string>& words, int line) {
    if (section_ != Section::Figure) Fail(file_, line, "text rows belong to basic figures");
    if (words.size() < 5) Fail(file_, line, "expected: text KIND COLOUR POINT TEXT");
    int kind = 0, colour = 0;
    if (words[1] == "black-stone")
      kind = 1, colour = 1;
    else if (words[1] == "white-stone")
      kind = 1, colour = 2;
    else if (words[1] == "background")
      kind = 2, colour = 3;
    else if (words[1] == "direct")
      kind = 3, colour = 0;
    else
      Fail(file_, line, "text kind must be black-stone, white-stone, background or direct");
    int textColour = 0;
    if (words[2] == "standard")
      textColour = 1;
    else if (words[2] == "green")
      textColour = 2;
    else if (words[2] == "red")
      textColour = 3;
    else
      Fail(file_, line, "text colour must be standard, green or red");
    const int p = PointOf(words[3], line);
    const std::string text = AfterWords(content, 4);
    CheckText(text, line);
    LessonRow& row = AddRow(line);
    row.col = colour;
    row.pst = p;
    row.dtx += kind * 1000 + textColour * 100;
    row.cmt = text;
  }

  void ParseMove(const std::string& content, int line) {
    std::string head, comment;
    SplitComment(content, &head, &comment);
    const std::vector<std::string> words = Words(head);
    int colour = 0;
    if (words[0] == "B")
      colour = 1;
    else if (words[0] == "W")
      colour = 2;
    else if (words[0] == "B?")
      colour = -1;
    else if (words[0] == "W?")
      colour = -2;
    else
      Fail(file_, line, "expected a move: B, W, B? or W? and a point");
    if (words.size() < 2) Fail(file_, line, "a move without a point");
    CheckText(comment, line);
    const int p = PointOf(words[1], line);
    std::vector<int> captures;
    if (words.size() > 2) {
      if (words[2] != "captures" || words.size() < 4)
        Fail(file_, line, "expected: captures POINT...");
      for (size_t i = 3; i < words.size(); ++i) captures.push_back(PointOf(words[i], line));
    }
    RunInfo& run = runs_.back();
    LessonRow& row = AddRow(line);
    row.tes = ++run.lastTes;
    row.col = colour;
    row.pst = p;
    row.cmt = comment;
    row.captures = std::move(captures);
  }

  std::string file_;
  LessonEntry entry_;
  Section section_ = Section::None;
  std::vector<RunInfo> runs_;
  std::map<std::string, int> labels_;  // label -> index into runs_
  std::map<int, int> continuations_;   // BFR -> sequences continuing from it
  std::set<int> letters_;
  size_t runStart_ = 0;    // first row of the open run
  int pendingBto_ = 0;     // BTO of the open run's first row
  int pendingLetter_ = 0;  // figure letter of the open run's first row
};

}  // namespace

int ParsePoint(const std::string& text) {
  if (text.size() < 2 || text.size() > 3) return 0;
  const std::string letters = kColumnLetters;
  const size_t column = letters.find(text[0]);
  if (column == std::string::npos) return 0;
  int row = 0;
  if (!ParseInt(text.substr(1), &row) || row < 1 || row > kLessonLines) return 0;
  return static_cast<int>(column) * kLessonLines + (kLessonLines - row) + 1;
}

std::string PointName(int p) {
  if (p < 1 || p > kLessonLines * kLessonLines) return "?" + std::to_string(p);
  const int column = (p - 1) / kLessonLines;
  const int rowFromTop = (p - 1) % kLessonLines;
  return std::string(1, kColumnLetters[column]) + std::to_string(kLessonLines - rowFromTop);
}

LessonEntry ParseLessonSource(const std::string& text, const std::string& fileName) {
  return SourceParser(fileName).Parse(text);
}

void CheckLessonRows(const LessonEntry& entry) {
  const auto fail = [&](const LessonRow& row, const std::string& what) {
    Fail(row.file, row.line, what);
  };
  const std::vector<LessonRow>& rows = entry.rows;
  if (entry.title.empty()) Fail(entry.file, entry.line, "the entry has no title");

  // Runs: [first, last] index pairs; branch number -> run index.
  struct Run {
    size_t first = 0;
    size_t last = 0;
  };
  std::vector<Run> runs;
  std::map<int, size_t> runOfBranch;
  for (size_t i = 0; i < rows.size(); ++i) {
    const LessonRow& row = rows[i];
    const bool starts = i == 0 || rows[i - 1].bfr > 0;
    if (starts && row.bto == 0)
      fail(row, "the row after a branch row must begin a figure or a sequence");
    if (!starts && row.bto != 0) fail(row, "a figure or sequence begins inside another one");
    if (starts) runs.push_back({i, i});
    runs.back().last = i;
    if (row.bfr < 0) fail(row, "a negative branch number");
    if (row.bfr > 0 && !runOfBranch.emplace(row.bfr, runs.size() - 1).second)
      fail(row, "branch number " + std::to_string(row.bfr) + " is used twice");
    if (row.pst < 1 || row.pst > kLessonLines * kLessonLines)
      fail(row, "the point is off the board");
    if (!ValidUtf8(row.cmt) || static_cast<int>(row.cmt.size()) > kCommentWidth)
      fail(row, "the text is not UTF-8 of at most " + std::to_string(kCommentWidth) + " bytes");
  }
  if (!rows.empty() && rows.back().bfr <= 0)
    fail(rows.back(), "the last figure or sequence does not end with a branch row");

  std::set<int> letters;
  std::map<int, int> continuations;
  for (const Run& run : runs) {
    const LessonRow& first = rows[run.first];
    if (first.bto == kBasicFigureLink) {
      const int letter = first.dtx % 100;
      if (letter < 1 || letter > 26) fail(first, "a basic figure's letter must be 1 to 26");
      if (!letters.insert(letter).second) fail(first, "two basic figures have the same letter");
      for (size_t i = run.first; i <= run.last; ++i) {
        const LessonRow& row = rows[i];
        if (row.tes != 0) fail(row, "a basic figure's row carries a move number");
        if (i > run.first && row.dtx % 100 != 0)
          fail(row, "only a figure's first row carries its letter");
        const int code = row.dtx / 100;
        const int kind = code / 10, textColour = code % 10;
        if (code == 0) {
          if (row.col != 1 && row.col != 2)
            fail(row, "a figure stone must be black (1) or white (2)");
        } else {
          const bool colourFits = (kind == 1 && (row.col == 1 || row.col == 2)) ||
                                  (kind == 2 && row.col == 3) || (kind == 3 && row.col == 0);
          if (kind < 1 || kind > 3 || textColour < 1 || textColour > 3 || !colourFits)
            fail(row, "a text row's kind, colour and COL do not fit together");
        }
      }
      continue;
    }
    const auto parent = runOfBranch.find(first.bto);
    if (parent == runOfBranch.end())
      fail(first, "the sequence continues from branch " + std::to_string(first.bto) +
                      ", which does not exist");
    if (++continuations[first.bto] > kMaxContinuations)
      fail(first, "more than " + std::to_string(kMaxContinuations) +
                      " sequences continue from one branch row");
    const int parentTes = rows[runs[parent->second].last].tes;
    for (size_t i = run.first; i <= run.last; ++i) {
      const LessonRow& row = rows[i];
      if (row.col != 1 && row.col != 2 && row.col != -1 && row.col != -2)
        fail(row, "a move must be of colour 1, 2, -1 or -2");
      if (row.dtx != 0) fail(row, "a move carries a display code");
      if (row.tes != parentTes + 1 + static_cast<int>(i - run.first))
        fail(row, "move numbers must continue those of the row the sequence continues from");
    }
  }

  // Depth: follow each run's BTO back to its basic figure.
  for (size_t r = 0; r < runs.size(); ++r) {
    const Run& run = runs[r];
    int depth = 1;
    size_t current = r;
    while (rows[runs[current].first].bto != kBasicFigureLink) {
      current = runOfBranch.at(rows[runs[current].first].bto);
      if (++depth > kMaxLessonDepth) {
        fail(rows[run.first], "the sequence lies deeper than " + std::to_string(kMaxLessonDepth) +
                                  " runs, or its links run in a circle");
      }
    }
  }
}

void CheckLessonEntries(const std::vector<LessonEntry>& entries) {
  std::map<int, const LessonEntry*> seen;
  for (const LessonEntry& entry : entries) {
    const auto [it, added] = seen.emplace(entry.number, &entry);
    if (!added)
      Fail(entry.file, entry.line,
           "contents number " + std::to_string(entry.number) + " is also used by " +
               it->second->file);
  }
}

}  // namespace momiro
