#include "components/data_link.h"

#include <algorithm>

#include "components/data_set.h"

namespace rudira {

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == dataSource_) return;
  if (dataSource_ != nullptr) dataSource_->RemoveLink(this);
  dataSource_ = source;
  if (dataSource_ != nullptr) dataSource_->AddLink(this);
  UpdateState();
}

TDataSet* TDataLink::DataSet() const { return dataSource_ != nullptr ? dataSource_->DataSet() : nullptr; }

void TDataLink::UpdateState() {
  TDataSet* dataSet = DataSet();
  const bool active = dataSource_ != nullptr && dataSource_->Enabled() && dataSet != nullptr && dataSet->Active();
  if (active != active_) {
    active_ = active;
    ActiveChanged();
  }
  const bool editing = active_ && (dataSet->State() == TDataSetState::dsEdit ||
                                   dataSet->State() == TDataSetState::dsInsert);
  if (editing != editing_) {
    editing_ = editing;
    EditingChanged();
  }
}

void TDataLink::Event(TDataEvent event, TField* field, int info) {
  switch (event) {
    case TDataEvent::deActiveChange:
    case TDataEvent::deUpdateState:
      UpdateState();
      return;
    default:
      break;
  }
  if (!active_) return;
  switch (event) {
    case TDataEvent::deFieldChange: RecordChanged(field); break;
    case TDataEvent::deRecordChange: RecordChanged(nullptr); break;
    case TDataEvent::deDataSetChange: DataSetChanged(); break;
    case TDataEvent::deDataSetScroll: DataSetScrolled(info); break;
    case TDataEvent::deLayoutChange: LayoutChanged(); break;
    case TDataEvent::deUpdateRecord: UpdateData(); break;
    case TDataEvent::deCheckBrowseMode: CheckBrowseMode(); break;
    default: break;
  }
}

TDataSource::TDataSource(TDataSet* dataSet) { SetDataSet(dataSet); }

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  while (!links_.empty()) links_.back()->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_ != nullptr) dataSet_->RemoveDataSource(this);
  dataSet_ = dataSet;
  if (dataSet_ != nullptr) dataSet_->AddDataSource(this);
  NotifyActive();
  if (OnStateChange) OnStateChange(*this);
}

void TDataSource::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  NotifyActive();
}

void TDataSource::NotifyActive() {
  const std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) link->UpdateState();
}

void TDataSource::DataEvent(TDataEvent event, TField* field, int info) {
  if (event == TDataEvent::deUpdateState && OnStateChange) OnStateChange(*this);
  if (event == TDataEvent::deUpdateRecord && OnUpdateData) OnUpdateData(*this);
  const bool dataChange = event == TDataEvent::deFieldChange || event == TDataEvent::deRecordChange ||
                          event == TDataEvent::deDataSetChange || event == TDataEvent::deDataSetScroll;
  // A copy: a link may detach itself while it is told.
  const std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) {
    if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->Event(event, field, info);
  }
  if (dataChange && OnDataChange && enabled_) OnDataChange(*this, event == TDataEvent::deFieldChange ? field : nullptr);
}

void TDataSource::AddLink(TDataLink* link) { links_.push_back(link); }

void TDataSource::RemoveLink(TDataLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}

}  // namespace rudira
