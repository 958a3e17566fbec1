// The shell's dot commands: lines beginning with "." between statements.
//
//   .tables                 the tables of the database
//   .schema [TABLE]         the SQL that makes the table (all tables without
//                           a name)
//   .indexes TABLE          the table's indexes
//   .mode table|csv         the output form of results
//   .timer on|off           the elapsed time of each statement
//   .read FILE              runs the statements and commands of a file
//   .import FILE TABLE      CSV records into an existing table
//   .verify TABLE           checks the table's files
//   .help                   this list
//   .quit                   ends the shell
//
// Arguments are separated by blanks; one holding blanks is written in
// '...' or "...". A command runs to the end of its line; a ";" ending the
// line is dropped.
#include <cstdio>
#include <exception>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/data_cursor.h"
#include "tools/rudira_sql/csv_import.h"
#include "tools/rudira_sql/schema_text.h"
#include "tools/rudira_sql/shell.h"
#include "tools/rudira_sql/shell_database.h"
#include "tools/rudira_sql/table_verify.h"

namespace rudira::sql_shell {

namespace {

constexpr int kMaxReadDepth = 16;

constexpr char kHelp[] =
    ".tables                 the tables of the database\n"
    ".schema [TABLE]         the SQL that makes the table (all tables without a name)\n"
    ".indexes TABLE          the table's indexes\n"
    ".mode table|csv         the output form of results\n"
    ".timer on|off           the elapsed time of each statement\n"
    ".read FILE              runs the statements and commands of a file\n"
    ".import FILE TABLE      CSV records into an existing table\n"
    ".verify TABLE           checks the table's files\n"
    ".help                   this list\n"
    ".quit                   ends the shell\n";

// Splits a command line at blanks; '...' and "..." group.
std::vector<std::string> Arguments(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && static_cast<unsigned char>(line[i]) <= 32) ++i;
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '\'' || line[i] == '"') {
      const char quote = line[i++];
      while (i < line.size() && line[i] != quote) word += line[i++];
      ++i;
    } else {
      while (i < line.size() && static_cast<unsigned char>(line[i]) > 32) word += line[i++];
    }
    words.push_back(word);
  }
  return words;
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

void TShell::RunDotCommand(const std::string& line) {
  // A ";" closing the line is taken for the statement habit, not as part of
  // the last argument.
  std::string text = line;
  while (!text.empty() && (text.back() == ';' || static_cast<unsigned char>(text.back()) <= 32))
    text.pop_back();
  const std::vector<std::string> args = Arguments(text);
  const std::string& command = args[0];
  const auto usage = [&](const char* form) { ReportError(std::string("usage: ") + form); };
  try {
    if (command == ".quit" || command == ".exit") {
      quit_ = true;
    } else if (command == ".help") {
      Print(kHelp);
    } else if (command == ".tables") {
      std::string out;
      for (const std::string& name : database_.TableNames()) out += name + "\n";
      Print(out);
    } else if (command == ".schema") {
      if (args.size() > 2) return usage(".schema [TABLE]");
      const std::vector<std::string> tables =
          args.size() == 2 ? std::vector<std::string>{args[1]} : database_.TableNames();
      for (const std::string& table : tables) {
        try {
          Print(SchemaText(*database_.OpenCursor(table, true)));
        } catch (const std::exception& error) {
          ReportError(error.what());
        }
      }
    } else if (command == ".indexes") {
      if (args.size() != 2) return usage(".indexes TABLE");
      Print(IndexListText(*database_.OpenCursor(args[1], true)));
    } else if (command == ".mode") {
      if (args.size() != 2 || (args[1] != "table" && args[1] != "csv"))
        return usage(".mode table|csv");
      mode_ = args[1] == "csv" ? TOutputMode::Csv : TOutputMode::Table;
    } else if (command == ".timer") {
      if (args.size() != 2 || (args[1] != "on" && args[1] != "off")) return usage(".timer on|off");
      timer_ = args[1] == "on";
    } else if (command == ".read") {
      if (args.size() != 2) return usage(".read FILE");
      ReadFile(args[1]);
    } else if (command == ".import") {
      if (args.size() != 3) return usage(".import FILE TABLE");
      const int64_t rows = ImportCsv(database_, args[1], args[2], header_);
      Print(std::to_string(rows) + " rows imported\n");
    } else if (command == ".verify") {
      if (args.size() != 2) return usage(".verify TABLE");
      std::string report;
      const bool sound = VerifyTable(database_, args[1], report);
      Print(report);
      // A damaged table fails the run like an error does.
      if (!sound) ReportError(args[1] + ": verification found problems");
    } else {
      ReportError("unknown command " + command + " (.help lists the commands)");
    }
  } catch (const std::exception& error) {
    ReportError(error.what());
  }
}

void TShell::ReadFile(const std::string& fileName) {
  if (readDepth_ >= kMaxReadDepth) {
    ReportError(".read: files nested more than " + std::to_string(kMaxReadDepth) + " deep (at " +
                fileName + ")");
    return;
  }
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    ReportError("cannot open '" + fileName + "'");
    return;
  }
  ++readDepth_;
  RunLines([&](std::string& line, bool) { return static_cast<bool>(std::getline(in, line)); });
  --readDepth_;
}

}  // namespace rudira::sql_shell
