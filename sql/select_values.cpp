// Values of the SELECT machinery: the SQL error, deep copies of expression
// trees, and storing an expression node's value into a record field (the
// way back is engine/field_token.h).
#include <cstring>
#include <variant>

#include "engine/error_codes.h"
#include "engine/errors.h"
#include "sql/select_query_run.h"
#include "storage/deleted_index.h"
#include "storage/field_type.h"
#include "storage/field_value.h"

namespace rudira {

[[noreturn]] void RaiseSql(const std::string& message) { RaiseEngineError(RUDIRA_SQLPARSE, {.Text = message}); }

TExpTokenPtr CopyTree(const TExpToken& node) {
  TExpTokenPtr copy = TExpTokenStack::TakePtr();
  copy->TokenText = node.TokenText;
  copy->NodeKind = node.NodeKind;
  copy->OpCode = node.OpCode;
  copy->ColumnName = node.ColumnName;
  copy->FieldNo = node.FieldNo;
  copy->TableAlias = node.TableAlias;
  copy->SourceTable = node.SourceTable;
  copy->SubQuery = node.SubQuery;
  copy->CopyValueFrom(node);
  copy->DataSize = node.DataSize;
  copy->DataScale = node.DataScale;
  copy->IsParameter = node.IsParameter;
  copy->ParameterIndex = node.ParameterIndex;
  copy->FromString = node.FromString;
  copy->SavedDataType = node.SavedDataType;
  copy->SavedSubType = node.SavedSubType;
  copy->SavedDataSize = node.SavedDataSize;
  copy->SavedDataScale = node.SavedDataScale;
  if (node.Left) copy->SetLeft(CopyTree(*node.Left).release());
  if (node.Right) copy->SetRight(CopyTree(*node.Right).release());
  for (const TExpToken* argument : node.Arguments) copy->AddArgument(CopyTree(*argument).release());
  return copy;
}

bool StoreTokenValue(uint8_t* record, const TFieldDescriptor& field, const TExpToken& value,
                     const TableLocale& locale) {
  if (value.IsNull) {
    StoreFieldNull(record, field);
    return true;
  }
  TFieldValue stored;
  switch (field.FieldType) {
    case kFieldTypeString: stored = std::string(value.Bytes()); break;
    case kFieldTypeBoolean: stored = value.UInt16() != 0; break;
    case kFieldTypeSmallInt: stored = value.Int16(); break;
    case kFieldTypeWord: stored = value.UInt16(); break;
    case kFieldTypeDate:
    case kFieldTypeTime:
    case kFieldTypeInteger: stored = value.Int32(); break;
    case kFieldTypeCardinal: stored = value.UInt32(); break;
    case kFieldTypeLargeInt: stored = value.Int64(); break;
    case kFieldTypeFloat:
    case kFieldTypeTimestamp: stored = value.Double(); break;
    case kFieldTypeBcd: stored = value.BcdValue(); break;
    case kFieldTypeBytes:
    case kFieldTypeVarBytes: {
      const std::string_view bytes = value.Bytes();
      stored = std::vector<uint8_t>(bytes.begin(), bytes.end());
      break;
    }
    default: return false;
  }
  return StoreFieldValue(record, field, stored, locale);
}

void SortResultTable(TDataSession& session, TDataCursor& cursor, TSortRequest& request) {
  TDataTable& table = *cursor.Table();
  TDataFile& data = table.DataFile();
  request.PrivateDirectory = session.EffectivePrivateDir();
  request.IndexFile = &table.IndexFile();
  table.WriterLock();
  try {
    const TSortOutcome outcome = data.Sort(request);
    RebuildDeletedIndexOfSortedRows(table.IndexFile(), outcome.RowCount);
    table.WriteChanges(false, false);
  } catch (...) {
    table.WriterUnlock();
    throw;
  }
  table.WriterUnlock();
  cursor.CloseCursor();
  cursor.OpenCursor();
}

}  // namespace rudira
