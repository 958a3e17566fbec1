// Data sources and data links: how data-aware controls (a grid, an edit
// box, a detail dataset) follow a dataset.
//
// A TDataSource names one dataset; any number of TDataLink objects attach to
// the source. The dataset tells every source of each event (TDataEvent), and
// the source passes it to its links as the calls below:
//
//   event                 link call                    meaning
//   deDataSetChange       DataSetChanged()             open, refresh, First/Last, post, delete
//   deDataSetScroll       DataSetScrolled(distance)    Next, Prior, MoveBy, RecNo, Locate
//   deRecordChange        RecordChanged(nullptr)       the current record's values changed as a whole
//   deFieldChange         RecordChanged(field)         one field was set
//   deUpdateState         EditingChanged() when the editing state flips; the source's OnStateChange
//   deUpdateRecord        UpdateData()                 about to post: controls write their pending input
//   deCheckBrowseMode     CheckBrowseMode()            about to leave the record
//   (open / close)        ActiveChanged()              the dataset became active or inactive
//
// A link is active while its source is enabled and the dataset is open.
// Ownership: links and sources refer to each other by raw pointer and detach
// in their destructors; the dataset must outlive the sources attached to it
// or detach them first (its destructor does).
#pragma once

#include <functional>
#include <vector>

namespace rudira {

class TDataSet;
class TDataSource;
class TField;

enum class TDataEvent {
  deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange, deUpdateRecord,
  deUpdateState, deCheckBrowseMode, deActiveChange
};

class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return dataSource_; }
  // Attaches the link to source (null: detaches).
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  bool Active() const { return active_; }
  // Whether the dataset is in edit or insert state.
  bool Editing() const { return editing_; }

 protected:
  friend class TDataSource;
  virtual void ActiveChanged() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int distance) { (void)distance; DataSetChanged(); }
  virtual void RecordChanged(TField* field) { (void)field; }
  virtual void EditingChanged() {}
  virtual void UpdateData() {}
  virtual void CheckBrowseMode() {}
  virtual void LayoutChanged() { DataSetChanged(); }

 private:
  void UpdateState();
  void Event(TDataEvent event, TField* field, int info);

  TDataSource* dataSource_ = nullptr;
  bool active_ = false;
  bool editing_ = false;
};

class TDataSource {
 public:
  explicit TDataSource(TDataSet* dataSet = nullptr);
  ~TDataSource();
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;

  TDataSet* DataSet() const { return dataSet_; }
  void SetDataSet(TDataSet* dataSet);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  const std::vector<TDataLink*>& Links() const { return links_; }

  // Called on every state change of the dataset, and when the source is
  // attached to another dataset.
  std::function<void(TDataSource&)> OnStateChange;
  // Called on record and field changes and scrolls (field null for the
  // record as a whole).
  std::function<void(TDataSource&, TField*)> OnDataChange;
  // Called before the record is posted.
  std::function<void(TDataSource&)> OnUpdateData;

  // For the dataset: passes an event to every link.
  void DataEvent(TDataEvent event, TField* field = nullptr, int info = 0);
  // For the dataset: the dataset is going away.
  void DataSetDestroyed() { dataSet_ = nullptr; NotifyActive(); }

 private:
  friend class TDataLink;
  void AddLink(TDataLink* link);
  void RemoveLink(TDataLink* link);
  void NotifyActive();

  TDataSet* dataSet_ = nullptr;
  bool enabled_ = true;
  std::vector<TDataLink*> links_;
};

}  // namespace rudira
