// rudira-sql: the command-line shell of the RUDIRA engine.
//
//   rudira-sql [DIRECTORY|Memory] [-c SQL] [--csv] [--header|--no-header]
//
// Runs the -c texts, or the lines of standard input (interactively with a
// prompt and line editing when it is a terminal), on the database directory
// (default: the current directory) or the in-memory database. Exit status:
// 0, 1 when a statement or command of a non-interactive run failed or the
// database could not be opened, 2 for a wrong command line.
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "tools/rudira_sql/line_input.h"
#include "tools/rudira_sql/shell.h"
#include "tools/rudira_sql/shell_database.h"
#include "tools/rudira_sql/shell_options.h"

using namespace rudira::sql_shell;

int main(int argc, char** argv) {
  TShellOptions options;
  std::string error;
  if (!ParseShellArguments(argc, argv, options, &error)) {
    std::fprintf(stderr, "rudira-sql: %s\n%s", error.c_str(), ShellUsage());
    return 2;
  }
  if (options.Help) {
    std::fputs(ShellUsage(), stdout);
    return 0;
  }
  std::unique_ptr<TShellDatabase> database;
  try {
    database = std::make_unique<TShellDatabase>(options.Database);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "rudira-sql: %s\n", failure.what());
    return 1;
  }
  const bool terminal = options.Commands.empty() && isatty(STDIN_FILENO) != 0;
  TShell shell(*database, options, terminal);
  if (!options.Commands.empty()) {
    for (const std::string& text : options.Commands) {
      if (shell.QuitRequested()) break;
      shell.RunText(text);
    }
  } else {
    if (terminal) {
      std::printf("rudira-sql on %s: statements end with \";\", .help lists the commands.\n",
                  database->Name().c_str());
    }
    TLineInput input(terminal);
    shell.RunLines(
        [&](std::string& line, bool continuation) { return input.Read(line, continuation); });
  }
  return shell.ExitStatus();
}
