// Execution of INSERT, UPDATE and DELETE: values stored into records, the
// walk over the qualifying (joined) rows, and the statement transaction.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/error_codes.h"
#include "engine/errors.h"
#include "engine/value_conversion.h"
#include "sql/statement_executor.h"
#include "storage/field_type.h"
#include "storage/field_value.h"

namespace rudira {

namespace {

TEvaluateOptions OptionsOf(const TDataQuery& query) {
  TEvaluateOptions options;
  options.LanguageId = query.LanguageId;
  options.SortId = query.SortId;
  return options;
}

// The value as text for messages.
std::string ValueText(const TExpToken& value) {
  if (value.IsNull) return "NULL";
  if (value.DataType == kFieldTypeString || value.DataType == kFieldTypeBlob) return std::string(value.Bytes());
  std::vector<uint8_t> source(std::max<size_t>(value.Value.size(), 64), 0);
  std::memcpy(source.data(), value.Value.data(), std::min(value.Value.size(), source.size()));
  // Up to 255 bytes and the terminating zero: a width too wide for the
  // byte that FieldDataWidth returns.
  std::vector<uint8_t> text(256, 0);
  if (!ConvertFieldValue(value.DataType, static_cast<uint8_t>(std::min<size_t>(value.DataSize, 255)), source.data(),
                         kFieldTypeString, 255, 0, text.data())) {
    return value.TokenText;
  }
  return std::string(reinterpret_cast<const char*>(text.data()), strnlen(reinterpret_cast<const char*>(text.data()), 255));
}

// Stores `value` into field `field` of `record` of the target cursor: null
// as null, BLOB and memo columns as their bytes, anything else converted to
// the column's type. `editing`: the record is an existing one (its BLOB is
// cut to the new length).
void StoreValue(TDataCursor& cursor, uint8_t* record, const TFieldDescriptor& field, const TExpToken& value,
                const char* statementName, bool editing) {
  auto mismatch = [&]() {
    RaiseSql("Type mismatch between column " + field.FieldName + " and constant value " + ValueText(value) + " in " +
             statementName + " statement");
  };
  if (value.IsNull) {
    if (field.FieldType == kFieldTypeBlob && editing && cursor.GetBlobSize(field.FieldNo, record) > 0) {
      cursor.TruncateBlob(field.FieldNo, record, 0);
    }
    StoreFieldNull(record, field);
    return;
  }
  const TableLocale locale = cursor.Table()->DataFile().Locale();
  if (field.FieldType == kFieldTypeBlob) {
    const std::string_view bytes = value.Bytes();
    if (editing) {
      const size_t old = cursor.GetBlobSize(field.FieldNo, record);
      if (old > bytes.size()) cursor.TruncateBlob(field.FieldNo, record, bytes.size());
    }
    cursor.PutBlob(field.FieldNo, record, 0, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()));
    return;
  }
  const bool sized = value.DataType == kFieldTypeString || value.DataType == kFieldTypeBytes ||
                     value.DataType == kFieldTypeVarBytes || value.DataType == kFieldTypeBlob;
  if (value.DataType == field.FieldType && !sized) {
    if (!StoreTokenValue(record, field, value, locale)) mismatch();
    return;
  }
  // The source in its stored encoding, padded for the width the conversion reads.
  const size_t sourceLength = sized ? value.ValueLength : value.Value.size();
  std::vector<uint8_t> source(std::max<size_t>(sourceLength + 1, 300), 0);
  std::memcpy(source.data(), value.Value.data(), std::min(sourceLength, value.Value.size()));
  uint8_t sourceSize = static_cast<uint8_t>(std::min<size_t>(sized ? value.ValueLength : value.DataSize, 255));
  uint8_t sourceType = value.DataType;
  if (sourceType == kFieldTypeBlob) sourceType = kFieldTypeString;  // memo text into a plain column
  const size_t width = FieldDataWidth(field.FieldType, field.Size);
  std::vector<uint8_t> target(width + 1, 0);
  if (!ConvertFieldValue(sourceType, sourceSize, source.data(), field.FieldType, field.Size, field.Scale,
                         target.data())) {
    mismatch();
  }
  TExpTokenPtr converted = TExpTokenStack::TakePtr();
  converted->SetType(field.FieldType, field.SubType, field.Size, field.Scale);
  if (field.FieldType == kFieldTypeString) {
    converted->SetBytes(std::string_view(reinterpret_cast<const char*>(target.data()),
                                         strnlen(reinterpret_cast<const char*>(target.data()), width)));
  } else if (field.FieldType == kFieldTypeBytes || field.FieldType == kFieldTypeVarBytes) {
    converted->SetBytes(std::string_view(reinterpret_cast<const char*>(target.data()), std::min(sourceLength, width)));
  } else {
    converted->ReserveValue(width);
    std::memcpy(converted->Value.data(), target.data(), width);
    converted->ValueLength = width;
    converted->IsNull = false;
  }
  if (!StoreTokenValue(record, field, *converted, locale)) mismatch();
}

// The transaction an INSERT ... SELECT, UPDATE or DELETE works in.
class TStatementTransaction {
 public:
  TStatementTransaction(TDataDirectory& database, int32_t interval, bool intervalGiven, bool flush)
      : database_(database), interval_(interval), given_(intervalGiven), flush_(flush) {
    own_ = !database_.InTransaction();
    if (own_) database_.StartTransaction();
  }
  ~TStatementTransaction() {
    if (!finished_ && own_ && database_.InTransaction()) {
      try {
        database_.Rollback();
      } catch (...) {
        // The statement's own failure is the one reported.
      }
    }
  }
  TStatementTransaction(const TStatementTransaction&) = delete;
  TStatementTransaction& operator=(const TStatementTransaction&) = delete;

  // After each row: the interval commit, the next transaction started at once.
  void RowDone() {
    ++rows_;
    if (!(own_ || given_) || interval_ <= 0 || rows_ % interval_ != 0) return;
    database_.Commit(flush_);
    database_.StartTransaction();
  }
  void Finish() {
    finished_ = true;
    if (own_) database_.Commit(flush_);
  }

 private:
  TDataDirectory& database_;
  int32_t interval_;
  bool given_;
  bool flush_;
  bool own_ = false;
  bool finished_ = false;
  int64_t rows_ = 0;
};

// Progress as rows processed of the rows to do, in the session's steps.
class TProgress {
 public:
  TProgress(TSelectExecutor::TImpl& impl, int64_t total) : impl_(impl), total_(total), step_(impl.Session.ProgressStep()) {}
  // False when the caller asked to stop.
  bool Row(int64_t done) {
    const auto& progress = impl_.Owner.Progress();
    if (!progress || total_ <= 0) return true;
    const int percent = static_cast<int>(std::min<int64_t>(100, done * 100 / total_));
    if (percent - last_ < step_) return true;
    last_ = percent;
    bool abort = false;
    progress(percent, abort);
    if (abort) impl_.Aborted = true;
    return !abort;
  }

 private:
  TSelectExecutor::TImpl& impl_;
  int64_t total_;
  int step_;
  int last_ = 0;
};

int32_t BookmarkOf(TDataCursor& cursor) {
  uint8_t bookmark[4] = {};
  cursor.GetBookmark(bookmark);
  int32_t recordNo = 0;
  std::memcpy(&recordNo, bookmark, sizeof recordNo);
  return recordNo;
}

bool PositionOn(TDataCursor& cursor, int32_t recordNo) {
  uint8_t bookmark[4] = {};
  std::memcpy(bookmark, &recordNo, sizeof recordNo);
  return cursor.SetToBookmark(bookmark);
}

// Finds the target records that qualify, with for each the records of the
// other tables of its first qualifying combination (0: the null row of an
// outer join). The target is walked first; the other tables follow in FROM
// order, except that an outer join's inner table comes after the table it
// is joined from, whose record its ON condition reads.
class TQualifyingRows {
 public:
  TQualifyingRows(TSelectExecutor::TImpl& impl, TQueryRun& run) : impl_(impl), run_(run), options_(OptionsOf(run.Query)) {
    std::vector<bool> placed(run_.Sources.size(), false);
    order_.push_back(0);
    placed[0] = true;
    while (order_.size() < run_.Sources.size()) {
      bool progressed = false;
      for (size_t t = 1; t < run_.Sources.size(); ++t) {
        const TSourceRun& source = run_.Sources[t];
        if (placed[t] || (source.OuterTarget && !placed[source.OuterFrom])) continue;
        order_.push_back(t);
        placed[t] = true;
        progressed = true;
      }
      if (!progressed) RaiseSql("Internal join error attempting to combine join expressions");
    }
  }

  std::vector<std::vector<int32_t>> Collect() {
    SetFilters();
    std::vector<std::vector<int32_t>> hits;
    TSourceRun& target = run_.Sources.front();
    if (run_.Sources.size() == 1 && target.Kept.empty() && run_.RowConditions.empty()) {
      // Every record the filters leave qualifies: their numbers come from
      // the view without reading the records, which the changes read one
      // at a time (a first pass reading them all would push each out of
      // the record cache before its change reads it again).
      for (int32_t recordNo : target.Cursor->ViewRecordNumbers()) hits.push_back({recordNo});
      DropFilters();
      return hits;
    }
    target.Cursor->SetToBegin();
    while (target.Cursor->GetNextRecord(target.Record.data()) == 0) {
      if (!KeptHold(target)) continue;
      nullRows_.assign(run_.Sources.size(), false);
      if (!Match(1)) continue;
      std::vector<int32_t> hit(run_.Sources.size(), 0);
      for (size_t t = 0; t < run_.Sources.size(); ++t) {
        if (!nullRows_[t]) hit[t] = BookmarkOf(*run_.Sources[t].Cursor);
      }
      hits.push_back(std::move(hit));
    }
    DropFilters();
    return hits;
  }

 private:
  void DropFilters() {
    for (TSourceRun& source : run_.Sources) {
      if (source.Cursor->FilterCount() > 0) source.Cursor->DropFilter(nullptr);
      source.Filters.clear();
    }
  }

  void SetFilters() {
    for (TSourceRun& source : run_.Sources) {
      if (source.Cursor->FilterCount() > 0) source.Cursor->DropFilter(nullptr);
      source.Kept.clear();
      source.Filters.clear();
      for (TExpToken* piece : source.Own) {
        if (ContainsSubSelect(piece)) {
          source.Kept.push_back(piece);
          continue;
        }
        TFilter* filter = source.Cursor->AddFilter(CopyTree(*piece));
        source.Cursor->ActivateFilter(filter);
        source.Filters.push_back(filter);
      }
    }
  }

  bool KeptHold(const TSourceRun& source) {
    for (const TExpToken* piece : source.Kept) {
      if (!EvaluateCondition(*piece, impl_.Access, options_)) return false;
    }
    return true;
  }

  bool Match(size_t level) {
    if (level == run_.Sources.size()) {
      for (const TExpToken* condition : run_.RowConditions) {
        if (!EvaluateCondition(*condition, impl_.Access, options_)) return false;
      }
      return true;
    }
    TSourceRun& source = run_.Sources[order_[level]];
    bool any = false;
    source.Cursor->SetToBegin();
    while (source.Cursor->GetNextRecord(source.Record.data()) == 0) {
      if (!KeptHold(source)) continue;
      if (source.OuterTarget && !EvaluateCondition(*source.OuterCondition, impl_.Access, options_)) continue;
      any = true;
      if (Match(level + 1)) return true;
    }
    if (any || !source.OuterTarget) return false;
    source.NullRow = true;
    const bool matched = Match(level + 1);
    source.NullRow = false;
    if (matched) nullRows_[order_[level]] = true;
    return matched;
  }

  TSelectExecutor::TImpl& impl_;
  TQueryRun& run_;
  TEvaluateOptions options_;
  std::vector<size_t> order_;  // the walk's table order, the target first
  std::vector<bool> nullRows_;
};

// Brings the other tables' records of a hit back into their Record buffers.
void RestoreOthers(TQueryRun& run, const std::vector<int32_t>& hit) {
  for (size_t t = 1; t < run.Sources.size(); ++t) {
    TSourceRun& source = run.Sources[t];
    source.NullRow = hit[t] == 0;
    if (source.NullRow) continue;
    if (!PositionOn(*source.Cursor, hit[t]) || source.Cursor->GetCurrentRecord(source.Record.data()) != 0) {
      source.NullRow = true;  // gone since the walk: its columns read as null
    }
  }
}

int32_t RunInsertValues(TSelectExecutor::TImpl& impl, TQueryRun& run) {
  TDataQuery& query = run.Query;
  TDataCursor& cursor = *run.Sources.front().Cursor;
  std::vector<uint8_t> record(cursor.RecordSize(), 0);
  cursor.InitRecord(record.data());
  const TEvaluateOptions options = OptionsOf(query);
  cursor.SuppressAutoInc(query.NoAutoInc);
  try {
    for (size_t i = 0; i < run.Columns.size(); ++i) {
      TExpTokenPtr value = EvaluateExpression(*query.UpdateValues[i].Expression, impl.Access, options);
      StoreValue(cursor, record.data(), run.Columns[i].Field, *value, "INSERT", false);
    }
    cursor.AppendRecord(record.data(), false);
  } catch (...) {
    cursor.SuppressAutoInc(false);
    cursor.CancelRecord();
    throw;
  }
  cursor.SuppressAutoInc(false);
  return 1;
}

int32_t RunInsertSelect(TSelectExecutor::TImpl& impl, TQueryRun& run) {
  TDataQuery& query = run.Query;
  TSourceRun& target = run.Sources.front();
  TDataCursor& cursor = *target.Cursor;
  TQueryRun* source = SourceRun(impl, query);
  if (!source) RaiseSql("Internal table filter error");
  TDataCursor* rows = source->Live ? source->LiveCursor : source->ResultCursor.get();
  std::vector<uint8_t> in(rows->RecordSize(), 0);
  std::vector<uint8_t> record(cursor.RecordSize(), 0);
  TStatementTransaction transaction(*target.Database, CommitIntervalOf(query, impl.Session, cursor),
                                    query.CommitIntervalGiven, query.CommitFlush);
  TProgress progress(impl, rows->GetRecordCount());
  cursor.SuppressAutoInc(query.NoAutoInc);
  int32_t inserted = 0;
  try {
    rows->SetToBegin();
    while (rows->GetNextRecord(in.data()) == 0) {
      cursor.InitRecord(record.data());
      try {
        for (size_t i = 0; i < run.Columns.size(); ++i) {
          TExpTokenPtr value = impl.ResultValue(*source, i, in.data());
          StoreValue(cursor, record.data(), run.Columns[i].Field, *value, "INSERT", false);
        }
        cursor.AppendRecord(record.data(), false);
      } catch (...) {
        cursor.CancelRecord();
        throw;
      }
      ++inserted;
      transaction.RowDone();
      if (!progress.Row(inserted)) break;
    }
    transaction.Finish();
  } catch (...) {
    cursor.SuppressAutoInc(false);
    throw;
  }
  cursor.SuppressAutoInc(false);
  return inserted;
}

int32_t RunUpdateDelete(TSelectExecutor::TImpl& impl, TQueryRun& run) {
  TDataQuery& query = run.Query;
  TSourceRun& target = run.Sources.front();
  TDataCursor& cursor = *target.Cursor;
  const bool update = query.Kind == kStatementUpdate;
  TStatementTransaction transaction(*target.Database, CommitIntervalOf(query, impl.Session, cursor),
                                    query.CommitIntervalGiven, query.CommitFlush);
  const std::vector<std::vector<int32_t>> hits = TQualifyingRows(impl, run).Collect();
  TProgress progress(impl, static_cast<int64_t>(hits.size()));
  const TEvaluateOptions options = OptionsOf(query);
  std::vector<uint8_t> edited(cursor.RecordSize(), 0);
  cursor.SuppressAutoInc(update && query.NoAutoInc);
  int32_t changed = 0;
  try {
    for (const std::vector<int32_t>& hit : hits) {
      RestoreOthers(run, hit);
      if (!PositionOn(cursor, hit.front())) continue;  // deleted since the walk
      if (update) {
        // The lock is taken against the record as just read.
        uint16_t code = cursor.GetCurrentRecord(target.Record.data());
        if (code == 0) code = cursor.GetCurrentRecord(target.Record.data(), true);
        if (code != 0) RaiseEngineError(code, {.TableName = cursor.TableName()});
        try {
          edited = target.Record;
          for (size_t i = 0; i < run.Columns.size(); ++i) {
            TExpTokenPtr value = EvaluateExpression(*query.UpdateValues[i].Expression, impl.Access, options);
            StoreValue(cursor, edited.data(), run.Columns[i].Field, *value, "UPDATE", true);
          }
          cursor.ModifyRecord(edited.data(), true, false);
        } catch (...) {
          cursor.CancelRecord();
          throw;
        }
      } else {
        const uint16_t code = cursor.GetCurrentRecord(target.Record.data());
        if (code != 0) continue;
        cursor.DeleteRecord(target.Record.data(), false);
      }
      ++changed;
      transaction.RowDone();
      if (!progress.Row(changed)) break;
    }
    transaction.Finish();
  } catch (...) {
    cursor.SuppressAutoInc(false);
    for (TSourceRun& source : run.Sources) source.NullRow = false;
    throw;
  }
  cursor.SuppressAutoInc(false);
  for (TSourceRun& source : run.Sources) source.NullRow = false;
  return changed;
}

}  // namespace

int32_t CommitIntervalOf(const TDataQuery& query, const TDataSession& session, TDataCursor& target) {
  if (query.CommitIntervalGiven) return std::max<int32_t>(query.CommitInterval, 1);
  const int32_t recordSize = std::max<int32_t>(target.Table()->DataFile().RecordSize(), 1);
  const int32_t byBytes = 2 * session.MaxDataBufferBytes() / recordSize;
  return std::max<int32_t>(std::min(byBytes, session.MaxDataBufferCount()), 1);
}

std::string TransactionDatabaseName(const TDataDirectory& database) {
  return database.DatabaseName().empty() ? database.DirectoryPath() : database.DatabaseName();
}

int32_t ExecuteDataChange(TSelectExecutor::TImpl& impl, TDataQuery& query) {
  TQueryRun* run = impl.RunOf(&query);
  if (!run) RaiseSql("The SQL statement is not prepared");
  impl.Aborted = false;
  for (TQueryRun* select : impl.Order) impl.ExecuteQuery(*select);
  if (query.Kind == kStatementInsert) {
    return query.UpdateValues.empty() ? RunInsertSelect(impl, *run) : RunInsertValues(impl, *run);
  }
  return RunUpdateDelete(impl, *run);
}

}  // namespace rudira
