// Helpers of the SELECT tests: a fresh directory per test with a session
// and a database on it, tables made from short field and index lists, rows
// added by value, and a result read back as text rows.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data_cursor.h"
#include "engine/errors.h"
#include "sql/select_executor.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/index_key.h"

namespace rudira::selecttest {

struct Column {
  Column(std::string name, uint8_t type = kFieldTypeInteger, uint8_t size = 0)
      : Name(std::move(name)), Type(type), Size(size) {}
  std::string Name;
  uint8_t Type;
  uint8_t Size;
};

struct Index {
  std::string Name;             // empty: the primary index
  std::vector<uint16_t> Fields; // 1-based
  bool Unique = true;
  bool Descending = false;
  bool CaseInsensitive = false;
};

using Value = TFieldValue;  // std::monostate for null
using Row = std::vector<Value>;

// The engine error text of `action`, empty when it raised nothing.
inline std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ERUDIRAEngineError& error) {
    return error.what();
  }
  return {};
}

class SelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/select-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = std::string(pattern) + "/";
    session_ = std::make_unique<TDataSession>();
    session_->SetPrivateDir(dir_);
    db_ = session_->OpenDatabase("db", dir_);
  }
  void TearDown() override {
    session_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  void CreateTable(const std::string& name, const std::vector<Column>& columns, const std::vector<Index>& indexes = {}) {
    DataFileDefinition definition;
    for (size_t i = 0; i < columns.size(); ++i) {
      TFieldDescriptor field;
      field.FieldNo = static_cast<uint16_t>(i + 1);
      field.FieldName = columns[i].Name;
      field.FieldType = columns[i].Type;
      field.Size = columns[i].Size;
      definition.Fields.push_back(field);
    }
    PrepareFieldDefinitions(definition.Fields, "db", name);
    TableIndexDefinitions defs;
    for (const Index& wanted : indexes) {
      TIndexDefinition index;
      index.IndexName = wanted.Name;
      index.Unique = wanted.Unique ? 1 : 0;
      index.Descending = wanted.Descending ? 1 : 0;
      index.CaseInsensitive = wanted.CaseInsensitive ? 1 : 0;
      index.IndexFieldCount = static_cast<uint8_t>(wanted.Fields.size());
      for (size_t i = 0; i < wanted.Fields.size(); ++i) index.FieldNumbers[i] = wanted.Fields[i];
      PrepareIndexDefinition(index, definition.Fields, false, name);
      if (wanted.Name.empty()) defs.Primary = index;
      else defs.Secondaries.push_back(index);
    }
    ASSERT_EQ(db_->CreateTable(name, false, false, definition, defs), 0);
  }

  std::unique_ptr<TDataCursor> Open(const std::string& name) {
    auto cursor = std::make_unique<TDataCursor>(*session_, *db_);
    cursor->SetTableName(name);
    cursor->OpenCursor();
    return cursor;
  }

  static void Fill(TDataCursor& cursor, std::vector<uint8_t>& record, const Row& row) {
    cursor.InitRecord(record.data());
    for (size_t i = 0; i < row.size(); ++i) {
      const TFieldDescriptor& field = cursor.Field(static_cast<int>(i + 1));
      if (std::holds_alternative<std::monostate>(row[i])) {
        StoreFieldNull(record.data(), field);
      } else {
        ASSERT_TRUE(StoreFieldValue(record.data(), field, row[i], cursor.Table()->DataFile().Locale()));
      }
    }
  }

  void Insert(const std::string& name, const std::vector<Row>& rows) {
    auto cursor = Open(name);
    std::vector<uint8_t> record(cursor->RecordSize());
    for (const Row& row : rows) {
      Fill(*cursor, record, row);
      cursor->AppendRecord(record.data());
    }
  }

  static std::string Text(const Value& value) {
    return std::visit(
        [](const auto& v) -> std::string {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::monostate>) return "NULL";
          else if constexpr (std::is_same_v<T, std::string>) return "'" + v + "'";
          else if constexpr (std::is_same_v<T, bool>) return v ? "TRUE" : "FALSE";
          else if constexpr (std::is_same_v<T, double>) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.6g", v);
            return buffer;
          } else if constexpr (std::is_integral_v<T>) return std::to_string(v);
          else return "?";
        },
        value);
  }

  static std::string TokenText(const TExpToken& value) {
    if (value.IsNull) return "NULL";
    switch (value.DataType) {
      case kFieldTypeString: return "'" + std::string(value.Bytes()) + "'";
      case kFieldTypeSmallInt: return std::to_string(value.Int16());
      case kFieldTypeInteger: return std::to_string(value.Int32());
      case kFieldTypeLargeInt: return std::to_string(value.Int64());
      case kFieldTypeBoolean: return value.UInt16() ? "TRUE" : "FALSE";
      case kFieldTypeFloat: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.6g", value.Double());
        return buffer;
      }
      default: return "?";
    }
  }

  // Every shown row of the executor's result, columns joined by "|".
  static std::vector<std::string> Rows(TSelectExecutor& executor) {
    std::vector<std::string> rows;
    TDataCursor* cursor = executor.ResultCursor();
    if (!cursor) return rows;
    std::vector<uint8_t> record(cursor->RecordSize());
    cursor->SetToBegin();
    while (cursor->GetNextRecord(record.data()) == 0) {
      std::string line;
      for (size_t i = 0; i < executor.ResultColumns().size(); ++i) {
        const TResultColumn& column = executor.ResultColumns()[i];
        if (column.Hidden) continue;
        if (!line.empty()) line += "|";
        if (executor.LiveResult() && column.Calculated) {
          line += TokenText(*executor.ReadCalculatedColumn(i, record.data()));
        } else {
          const int fieldNo = executor.LiveResult() ? column.OriginFieldNo : static_cast<int>(i + 1);
          line += Text(ReadFieldValue(record.data(), cursor->Field(fieldNo)));
        }
      }
      rows.push_back(line);
    }
    cursor->SetToBegin();
    return rows;
  }

  std::unique_ptr<TSelectExecutor> Run(const std::string& sql, bool live = false, int32_t maxRows = -1) {
    auto executor = std::make_unique<TSelectExecutor>(*session_, *db_, live, maxRows);
    executor->Prepare(sql);
    executor->Execute();
    return executor;
  }

  std::vector<std::string> Query(const std::string& sql, bool live = false, int32_t maxRows = -1) {
    auto executor = Run(sql, live, maxRows);
    return Rows(*executor);
  }

  std::string dir_;
  std::unique_ptr<TDataSession> session_;
  TDataDirectory* db_ = nullptr;
};

}  // namespace rudira::selecttest
