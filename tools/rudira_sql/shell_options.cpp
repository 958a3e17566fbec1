#include "tools/rudira_sql/shell_options.h"

namespace rudira::sql_shell {

const char* ShellUsage() {
  return "usage: rudira-sql [DIRECTORY|Memory] [-c SQL] [--csv] [--header|--no-header]\n";
}

bool ParseShellArguments(int argc, const char* const* argv, TShellOptions& options,
                         std::string* error) {
  bool haveDatabase = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-c") {
      if (i + 1 >= argc) {
        *error = "option -c needs an SQL text";
        return false;
      }
      options.Commands.push_back(argv[++i]);
    } else if (arg == "--csv") {
      options.Mode = TOutputMode::Csv;
    } else if (arg == "--header") {
      options.Header = true;
    } else if (arg == "--no-header") {
      options.Header = false;
    } else if (arg == "-h" || arg == "--help") {
      options.Help = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (haveDatabase) {
      *error = "more than one database given: " + options.Database + " and " + arg;
      return false;
    } else {
      options.Database = arg;
      haveDatabase = true;
    }
  }
  return true;
}

}  // namespace rudira::sql_shell
