#include "tools/rudira_sql/table_verify.h"

#include <exception>
#include <memory>

#include "engine/data_cursor.h"
#include "engine/table_verifier.h"
#include "tools/rudira_sql/shell_database.h"

namespace rudira::sql_shell {

bool VerifyTable(const TShellDatabase& database, const std::string& table, std::string& report) {
  report.clear();
  const auto line = [&](const std::string& text) { report += table + ": " + text + "\n"; };
  try {
    std::unique_ptr<TDataCursor> cursor = database.OpenCursor(table, false);
    TTableVerifier verifier(*cursor->Table());
    verifier.SetLog(line);
    return verifier.Run();
  } catch (const std::exception& error) {
    line(error.what());
    line("DAMAGED (1 problem)");
    return false;
  }
}

}  // namespace rudira::sql_shell
