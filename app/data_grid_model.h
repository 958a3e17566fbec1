// TDataGridModel: the table model of a data-aware grid (DBGrid1, DBGrid2)
// over a data source of the dataset framework.
//
// The model follows the dataset through a data link: opening, closing,
// posting, deleting and refreshing (deDataSetChange, active changes) mark
// the rows stale, and the rows are read again from the event loop once the
// handler that changed them has finished, so a lesson routine walking its
// query row by row is never interrupted by the grid. Scrolls only move the
// grid's current row (CurrentRowChanged). Reading the rows walks the
// dataset with controls disabled and puts it back on the record it stood on,
// with its end-of-rows or beginning-of-rows flag as it was.
//
// Columns: the given fields with their titles, or every field of the
// dataset under its display label. A click on a grid row makes that row the
// dataset's current record (MoveToRow), as a data-aware grid does before
// its click handler runs; that move changes no row, so it only moves the
// current row. Without a data source, or on a closed dataset, the model has
// no rows; an engine error while reading them leaves it without rows and is
// shown in a message box, as a handler's error is.
//
// An editable model (DBGrid2) stores a changed cell at once: the row becomes
// the dataset's current record, the field takes the text as the dataset's
// text setter converts it, and the record is posted. A change the dataset
// refuses (a text that is no number, a key violation, a record locked by
// another user) is cancelled, so the record and the grid keep the row as it
// was, and its message is shown in a message box.
//
// Used from the GUI thread only. The source is not owned; one destroyed
// before the model detaches it (no rows).
#ifndef MOMIRO_APP_DATA_GRID_MODEL_H_
#define MOMIRO_APP_DATA_GRID_MODEL_H_

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

#include "components/data_link.h"

namespace momiro {

struct GridColumn {
  std::string fieldName;
  QString title;
};

class TDataGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // columns empty: every field of the dataset.
  explicit TDataGridModel(std::vector<GridColumn> columns = {}, QObject* parent = nullptr);
  ~TDataGridModel() override;

  rudira::TDataSource* DataSource() const { return link_.DataSource(); }
  // Attaches to source (nullptr detaches: no rows until attached again).
  void SetDataSource(rudira::TDataSource* source);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  // Whether the cells can be edited (off unless set).
  void SetEditable(bool editable) { editable_ = editable; }
  bool Editable() const { return editable_; }
  // Stores text in the cell's field of the row's record (see above); false
  // when the change was refused or there is no such cell. The refusal's
  // message goes to a message box.
  bool StoreCell(int row, int column, const std::string& text);

  // The row of the dataset's current record; -1 without one.
  int CurrentRow() const { return currentRow_; }
  // Makes row `row` the dataset's current record; false when there is no
  // such row. Rows that are stale are read first.
  bool MoveToRow(int row);
  // Reads the rows now if they are stale (the tests and MoveToRow use it).
  void Refresh();

 signals:
  void CurrentRowChanged(int row);

 private:
  class Link : public rudira::TDataLink {
   public:
    explicit Link(TDataGridModel& model) : model_(model) {}

   protected:
    void ActiveChanged() override { model_.RowsChanged(); }
    void DataSetChanged() override {
      // The model's own move to a clicked row changes no row.
      if (model_.moving_) {
        model_.Scrolled();
      } else {
        model_.RowsChanged();
      }
    }
    void DataSetScrolled(int) override { model_.Scrolled(); }
    void RecordChanged(rudira::TField* field) override {
      if (field == nullptr) model_.RowsChanged();
    }
    void LayoutChanged() override { model_.RowsChanged(); }

   private:
    TDataGridModel& model_;
  };

  struct Row {
    std::vector<uint8_t> bookmark;
    QStringList values;
  };

  void RowsChanged();
  void Scrolled();
  void Reload();
  // Row index of the dataset's current record in rows_, or -1.
  int FindCurrentRow();

  std::vector<GridColumn> columns_;
  QStringList titles_;  // the headers in use
  std::vector<Row> rows_;
  int currentRow_ = -1;
  bool stale_ = false;
  bool reloadQueued_ = false;
  bool reading_ = false;  // the model is walking the dataset itself
  bool moving_ = false;   // the model is moving the dataset to a clicked row
  bool editable_ = false;
  Link link_;
};

}  // namespace momiro

#endif  // MOMIRO_APP_DATA_GRID_MODEL_H_
