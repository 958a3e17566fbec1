// The command line of rudira-sql:
//
//   rudira-sql [DIRECTORY|Memory] [-c SQL] [--csv] [--header|--no-header]
//
// DIRECTORY is the database directory (default: the current directory);
// "Memory" (any case) is the in-memory database. -c gives the text to run
// instead of reading standard input; it may be given more than once, the
// texts running in order. --csv selects CSV output (the default is an
// aligned table); --header (the default) and --no-header decide whether
// results start with a line of column names and whether .import reads the
// first CSV record as column names.
#pragma once

#include <string>
#include <vector>

namespace rudira::sql_shell {

enum class TOutputMode { Table, Csv };

struct TShellOptions {
  std::string Database;               // as given; empty: the current directory
  std::vector<std::string> Commands;  // the -c texts, in order
  TOutputMode Mode = TOutputMode::Table;
  bool Header = true;
  bool Help = false;  // -h / --help
};

// Reads argv[1..argc). Returns false with a message in *error for an
// unknown option, a missing -c text or a second database argument.
bool ParseShellArguments(int argc, const char* const* argv, TShellOptions& options,
                         std::string* error);

// The usage text printed for --help and after an argument error.
const char* ShellUsage();

}  // namespace rudira::sql_shell
