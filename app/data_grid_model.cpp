#include "app/data_grid_model.h"

#include <QTimer>

#include "app/error_guard.h"
#include "app/user_dialogs.h"
#include "components/data_set.h"

namespace momiro {

using rudira::TDataSet;
using rudira::TDataSetState;

TDataGridModel::TDataGridModel(std::vector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)), link_(*this) {
  for (const GridColumn& column : columns_) titles_ << column.title;
}

TDataGridModel::~TDataGridModel() { link_.SetDataSource(nullptr); }

void TDataGridModel::SetDataSource(rudira::TDataSource* source) {
  link_.SetDataSource(source);
  RowsChanged();
  if (source == nullptr) Reload();  // detached: empty at once
}

int TDataGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TDataGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : titles_.size(); }

QVariant TDataGridModel::data(const QModelIndex& index, int role) const {
  if ((role != Qt::DisplayRole && role != Qt::EditRole) || !index.isValid()) return {};
  const size_t row = static_cast<size_t>(index.row());
  if (row >= rows_.size() || index.column() >= rows_[row].values.size()) return {};
  return rows_[row].values[index.column()];
}

QVariant TDataGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return section < titles_.size() ? QVariant(titles_[section]) : QVariant();
}

void TDataGridModel::RowsChanged() {
  if (reading_) return;
  stale_ = true;
  if (reloadQueued_) return;
  reloadQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    reloadQueued_ = false;
    // Runs from the event loop: an engine error reading the rows is shown
    // like any handler's.
    Guarded(nullptr, [this] { Refresh(); });
  });
}

void TDataGridModel::Scrolled() {
  if (reading_ || stale_) return;
  const int row = FindCurrentRow();
  if (row != currentRow_) {
    currentRow_ = row;
    emit CurrentRowChanged(row);
  }
}

void TDataGridModel::Refresh() {
  if (stale_) Reload();
}

int TDataGridModel::FindCurrentRow() {
  TDataSet* dataSet = link_.Active() ? link_.DataSet() : nullptr;
  if (dataSet == nullptr || dataSet->IsEmpty()) return -1;
  const std::vector<uint8_t> bookmark = dataSet->GetBookmark();
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].bookmark == bookmark) return static_cast<int>(i);
  }
  return -1;
}

void TDataGridModel::Reload() {
  TDataSet* dataSet = link_.Active() ? link_.DataSet() : nullptr;
  // A record being edited is read once it is stored (the post tells us).
  if (dataSet != nullptr && dataSet->State() != TDataSetState::dsBrowse) return;
  stale_ = false;
  std::vector<Row> rows;
  QStringList titles;
  for (const GridColumn& column : columns_) titles << column.title;
  if (dataSet != nullptr) {
    if (columns_.empty()) {
      for (int i = 0; i < dataSet->FieldCount(); ++i) {
        titles << QString::fromStdString(dataSet->Fields(i).DisplayLabel());
      }
    }
    std::vector<rudira::TField*> fields;
    if (columns_.empty()) {
      for (int i = 0; i < dataSet->FieldCount(); ++i) fields.push_back(&dataSet->Fields(i));
    } else {
      for (const GridColumn& column : columns_) fields.push_back(dataSet->FindField(column.fieldName));
    }
    if (!dataSet->IsEmpty()) {
      // Walks with the controls disabled; however the walk ends, the
      // controls are enabled again while the model still ignores events, so
      // the change event that enabling sends does not mark the rows stale.
      struct Walking {
        TDataSet& dataSet;
        bool& reading;
        ~Walking() {
          dataSet.EnableControls();
          reading = false;
        }
      };
      reading_ = true;
      dataSet->DisableControls();
      Walking walking{*dataSet, reading_};
      const bool wasEof = dataSet->Eof();
      const bool wasBof = dataSet->Bof();
      try {
        const std::vector<uint8_t> here = dataSet->GetBookmark();
        for (dataSet->First(); !dataSet->Eof(); dataSet->Next()) {
          Row row{dataSet->GetBookmark(), {}};
          for (rudira::TField* field : fields) {
            row.values << (field != nullptr ? QString::fromStdString(field->AsString()) : QString());
          }
          rows.push_back(std::move(row));
        }
        dataSet->GotoBookmark(here);
        if (wasEof) dataSet->Next();
        if (wasBof) dataSet->Prior();
      } catch (...) {
        // Rows that could not be read are not shown half read, nor are the
        // old ones kept with bookmarks that may no longer hold.
        beginResetModel();
        rows_.clear();
        endResetModel();
        currentRow_ = -1;
        emit CurrentRowChanged(-1);
        throw;
      }
    }
  }
  beginResetModel();
  rows_ = std::move(rows);
  titles_ = titles;
  endResetModel();
  currentRow_ = FindCurrentRow();
  emit CurrentRowChanged(currentRow_);
}

Qt::ItemFlags TDataGridModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags result = QAbstractTableModel::flags(index);
  if (editable_ && index.isValid()) result |= Qt::ItemIsEditable;
  return result;
}

bool TDataGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid()) return false;
  return StoreCell(index.row(), index.column(), value.toString().toStdString());
}

bool TDataGridModel::StoreCell(int row, int column, const std::string& text) {
  if (!editable_ || column < 0 || column >= titles_.size()) return false;
  // Rows are read first, so that `row` names the row the user sees.
  if (!MoveToRow(row)) return false;
  TDataSet* dataSet = link_.DataSet();
  rudira::TField* field = columns_.empty() ? &dataSet->Fields(column)
                                           : dataSet->FindField(columns_[static_cast<size_t>(column)].fieldName);
  if (field == nullptr) return false;
  // An unchanged text stores nothing (an editor closed without a change).
  if (field->AsString() == text) return true;
  try {
    dataSet->Edit();
    field->SetAsString(text);
    dataSet->Post();
  } catch (const std::exception& error) {
    // The refused change is dropped; the record keeps what it had.
    try {
      if (dataSet->State() != TDataSetState::dsBrowse) dataSet->Cancel();
    } catch (const std::exception&) {
      // Cancelling only drops the record buffer; the first message is the one
      // the user needs.
    }
    TUserDialogs::ShowMessage(nullptr, QString::fromUtf8(error.what()));
    RowsChanged();
    return false;
  }
  return true;
}

bool TDataGridModel::MoveToRow(int row) {
  Refresh();
  TDataSet* dataSet = link_.Active() ? link_.DataSet() : nullptr;
  if (dataSet == nullptr || row < 0 || static_cast<size_t>(row) >= rows_.size()) return false;
  struct Moving {
    bool& moving;
    ~Moving() { moving = false; }
  } guard{moving_};
  moving_ = true;
  dataSet->GotoBookmark(rows_[static_cast<size_t>(row)].bookmark);
  return true;
}

}  // namespace momiro
