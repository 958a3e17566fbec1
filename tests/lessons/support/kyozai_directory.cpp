#include "kyozai_directory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "components/dataset_messages.h"
#include "components/rudira_query.h"
#include "components/rudira_table.h"
#include "components/rudira_session.h"
#include "components/session_list.h"

namespace momiro::testing {
namespace {

using rudira::TFieldType;

void CreateTable(const char* name, const MemoryTable& source, const std::vector<std::string>& names,
                 bool primaryOnMnb) {
  rudira::TRUDIRATable table;
  table.SetDatabaseName("kyozai");
  table.SetTableName(name);
  for (int i = 0; i < source.FieldCount(); ++i) {
    if (source.IsText(i)) {
      table.FieldDefs().Add(names[i], TFieldType::ftString, 200);
    } else {
      table.FieldDefs().Add(names[i], TFieldType::ftInteger);
    }
  }
  if (primaryOnMnb) table.IndexDefs().Add("", "MNB", rudira::TIndexOptions{.Primary = true, .Unique = true});
  table.CreateTable();
  table.Open();
  for (const MemoryRow& row : source.Rows()) {
    table.Append();
    for (int i = 0; i < source.FieldCount(); ++i) {
      const MemoryValue& value = row[i];
      if (value.null) continue;
      if (source.IsText(i)) {
        table.Fields(i).SetAsString(value.text);
      } else {
        table.Fields(i).SetAsInteger(static_cast<int32_t>(value.integer));
      }
    }
    table.Post();
  }
  table.Close();
}

}  // namespace

KyozaiDirectory::KyozaiDirectory(bool createTables) : previous_(std::filesystem::current_path()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "momiro-kyozai-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot create a temporary directory";
  root_ = pattern;
  std::filesystem::current_path(root_);
  if (createTables) std::filesystem::create_directory(root_ / "kyozai");
}

KyozaiDirectory::~KyozaiDirectory() {
  // The default session keeps the current directory of its creation as the
  // place of temporary result tables; closed here, the next test's session
  // starts in that test's directory instead of this removed one.
  rudira::Sessions().DefaultSession()->Close();
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(root_, ignored);
}

void KyozaiDirectory::Write(MemoryDatabase& db) {
  CreateTable("mokuji", db.Table("mokuji"), {"MNB", "ITM"}, true);
  CreateTable("figure", db.Table("figure"), {"MNB", "TES", "COL", "PST", "BFR", "BTO", "DTX", "CMT", "TNB"},
              false);
}

bool SqlExecutionAvailable() {
  rudira::TRUDIRAQuery probe;
  probe.SetDatabaseName("kyozai");
  probe.SQL().Add("select * from mokuji");
  try {
    probe.Open();
  } catch (const std::exception& error) {
    if (std::string(error.what()).find(rudira::kNoStatementRunner) != std::string::npos) return false;
  }
  probe.Close();
  return true;
}

}  // namespace momiro::testing
