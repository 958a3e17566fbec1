#include "tools/rudira_sql/csv_import.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "components/rudira_database.h"
#include "components/rudira_session.h"
#include "components/rudira_table.h"
#include "storage/field_type.h"
#include "tools/rudira_sql/csv_reader.h"
#include "tools/rudira_sql/shell_database.h"
#include "tools/rudira_sql/value_format.h"

namespace rudira::sql_shell {

namespace {

std::string ReadWholeFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EImportError("cannot open '" + fileName + "'");
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw EImportError("cannot read '" + fileName + "'");
  return text.str();
}

void StoreText(TField& field, const std::string& text) {
  if (text.empty()) {
    field.Clear();
    return;
  }
  if (IsBinaryEngineType(field.EngineType(), field.EngineSubType())) {
    std::string bytes;
    if (!HexBytes(text, bytes))
      throw std::runtime_error("field " + field.FieldName() + ": '" + text +
                               "' is not hexadecimal bytes");
    if (field.IsBlob()) {
      field.SetAsString(bytes);
    } else {
      field.SetValue(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    return;
  }
  field.SetAsString(text);
}

// The table's fields the CSV columns go to; null for a skipped column.
std::vector<TField*> ColumnFields(TRUDIRATable& table, const std::vector<std::string>* names,
                                  const std::string& where) {
  std::vector<TField*> columns;
  if (names == nullptr) {
    for (int i = 0; i < table.FieldCount(); ++i) columns.push_back(&table.Fields(i));
  } else {
    for (const std::string& name : *names) {
      TField* field = table.FindField(name);
      if (field == nullptr)
        throw EImportError(where + "the table " + table.TableName() + " has no field '" + name +
                           "'");
      columns.push_back(field);
    }
  }
  for (TField*& field : columns) {
    if (IsAutoIncField(field->EngineType(), field->EngineSubType())) field = nullptr;
  }
  return columns;
}

// The rows between two commits of the import's own transaction.
int64_t CommitInterval(TRUDIRATable& table) {
  const TRUDIRASession* session = table.DBSession();
  const int64_t recordSize = std::max<int64_t>(table.Handle()->RecordSize(), 1);
  const int64_t byBytes = 2 * static_cast<int64_t>(session->MaxDataBufferBytes()) / recordSize;
  return std::max<int64_t>(std::min<int64_t>(byBytes, session->MaxDataBufferCount()), 1);
}

}  // namespace

int64_t ImportCsv(const TShellDatabase& database, const std::string& fileName,
                  const std::string& tableName, bool header) {
  const std::string text = ReadWholeFile(fileName);
  TCsvReader reader(text);
  const auto where = [&](int line) { return fileName + ":" + std::to_string(line) + ": "; };

  TRUDIRATable table;
  table.SetDatabaseName(database.Name());
  table.SetTableName(tableName);
  table.Open();

  std::vector<std::string> record;
  std::vector<TField*> columns;
  try {
    if (header) {
      if (!reader.Next(record)) return 0;
      columns = ColumnFields(table, &record, where(reader.RecordLine()));
    } else {
      columns = ColumnFields(table, nullptr, where(1));
    }
  } catch (const ECsvError& error) {
    throw EImportError(where(error.Line()) + error.Message());
  }

  TRUDIRADatabase& owner = database.Database();
  const bool ownTransaction = !owner.InTransaction();
  const int64_t interval = CommitInterval(table);
  if (ownTransaction) owner.StartTransaction();
  int64_t rows = 0;
  int64_t committed = 0;
  int line = 0;
  try {
    while (true) {
      try {
        if (!reader.Next(record)) break;
      } catch (const ECsvError& error) {
        line = error.Line();
        throw std::runtime_error(error.Message());
      }
      line = reader.RecordLine();
      if (record.size() != columns.size()) {
        throw std::runtime_error(std::to_string(record.size()) + " fields, expected " +
                                 std::to_string(columns.size()));
      }
      table.Append();
      try {
        for (size_t i = 0; i < columns.size(); ++i) {
          if (columns[i] != nullptr) StoreText(*columns[i], record[i]);
        }
        table.Post();
      } catch (...) {
        table.Cancel();
        throw;
      }
      ++rows;
      if (ownTransaction && rows - committed >= interval) {
        owner.Commit();
        committed = rows;
        owner.StartTransaction();
      }
    }
  } catch (const std::exception& error) {
    std::string kept;
    if (ownTransaction) {
      try {
        if (owner.InTransaction()) owner.Rollback();
      } catch (...) {
        // The import's own error is the one to report.
      }
      if (committed > 0)
        kept = " (the " + std::to_string(committed) + " rows before the last commit stay imported)";
    }
    throw EImportError(where(line) + error.what() + kept);
  }
  if (ownTransaction) owner.Commit();
  table.Close();
  return rows;
}

}  // namespace rudira::sql_shell
