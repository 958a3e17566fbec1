#include "components/select_statement_runner.h"

namespace rudira {

namespace {

class TSelectStatementRunner : public TStatementRunner {
 public:
  TSelectStatementRunner(TDataSession& session, TDataDirectory& database, bool requestLive, int32_t maxRowCount)
      : executor_(session, database, requestLive, maxRowCount) {}

  void Prepare(std::string_view text) override { executor_.Prepare(text); }
  int ParameterCount() const override { return executor_.ParameterCount(); }
  void Execute(const std::vector<TParameterDescriptor>& descriptors, const uint8_t* valueBuffer) override {
    executor_.Execute(descriptors, valueBuffer);
  }
  TDataCursor* ResultCursor() const override { return executor_.ResultCursor(); }
  int32_t RowsAffected() const override { return executor_.RowsAffected(); }
  double ElapsedSeconds() const override { return executor_.ElapsedSeconds(); }
  void SetMaxRowCount(int32_t value) override { executor_.SetMaxRowCount(value); }
  void SetPasswordCallback(TCursorPasswordCallback callback) override {
    executor_.SetPasswordCallback(std::move(callback));
  }
  void SetProgressCallback(std::function<void(int, bool&)> callback) override {
    executor_.SetProgressCallback(std::move(callback));
  }
  std::string ColumnOrigin(int fieldNo) const override {
    const TResultColumn* column = Column(fieldNo);
    if (column == nullptr || column->Calculated) return {};
    const std::string& table = column->CorrelationName.empty() ? column->OriginTable : column->CorrelationName;
    return table + "." + column->OriginColumn;
  }
  bool ColumnHidden(int fieldNo) const override {
    const TResultColumn* column = Column(fieldNo);
    return column != nullptr && column->Hidden;
  }

 private:
  const TResultColumn* Column(int fieldNo) const {
    const std::vector<TResultColumn>& columns = executor_.ResultColumns();
    if (fieldNo < 1 || static_cast<size_t>(fieldNo) > columns.size()) return nullptr;
    return &columns[static_cast<size_t>(fieldNo) - 1];
  }

  TSelectExecutor executor_;
};

}  // namespace

std::unique_ptr<TStatementRunner> NewSelectStatementRunner(TDataSession& session, TDataDirectory& database,
                                                           bool requestLive, int32_t maxRowCount) {
  return std::make_unique<TSelectStatementRunner>(session, database, requestLive, maxRowCount);
}

}  // namespace rudira
