#include "components/support/fake_statement_runner.h"

#include <cstring>

#include "engine/errors.h"
#include "storage/field_type.h"

namespace rudira::dstest {

namespace {

template <typename T>
T Read(const uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof(T));
  return value;
}

class TFakeRunner : public TStatementRunner {
 public:
  TFakeRunner(FakeScript& script, TDataSession& session, TDataDirectory& database)
      : script_(script), session_(session), database_(database) {
    ++script_.LiveRunners;
  }
  ~TFakeRunner() override { --script_.LiveRunners; }

  void Prepare(std::string_view text) override {
    text_ = std::string(text);
    script_.Prepared.push_back(text_);
  }
  int ParameterCount() const override {
    int n = 0;
    for (char c : text_) n += c == '?';
    return n;
  }
  void Execute(const std::vector<TParameterDescriptor>& descriptors, const uint8_t* buffer) override {
    FakeExecution execution;
    for (const TParameterDescriptor& d : descriptors) {
      execution.Types.push_back(d.FieldType);
      const uint8_t* p = buffer + d.ValueOffset;
      if (p[0] == 0 || d.IsNull) {
        execution.Values.push_back("NULL");
        continue;
      }
      ++p;
      switch (d.FieldType) {
        case kFieldTypeString: execution.Values.push_back(std::string(reinterpret_cast<const char*>(p), d.DataSize)); break;
        case kFieldTypeInteger: execution.Values.push_back(std::to_string(Read<int32_t>(p))); break;
        case kFieldTypeSmallInt: execution.Values.push_back(std::to_string(Read<int16_t>(p))); break;
        case kFieldTypeFloat: execution.Values.push_back(std::to_string(Read<double>(p))); break;
        case kFieldTypeBlob: {
          const uint32_t length = Read<uint32_t>(p);
          const char* data = reinterpret_cast<const char*>(Read<uintptr_t>(p + 4));
          execution.Values.push_back("blob:" + std::string(data, length));
          break;
        }
        default: execution.Values.push_back("?"); break;
      }
    }
    script_.Executions.push_back(execution);
    cursor_.reset();
    rowsAffected_ = script_.RowsAffected;
    if (script_.FailExecuteWith != 0) RaiseEngineError(script_.FailExecuteWith, {.Text = "fake failure"});
    std::string word = text_.substr(0, text_.find_first_of(" \n"));
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word == "select" && !script_.ResultTable.empty()) {
      cursor_ = std::make_unique<TDataCursor>(session_, database_);
      cursor_->SetTableName(script_.ResultTable);
      cursor_->SetReadOnly(script_.ReadOnlyResult);
      cursor_->OpenCursor();
    }
  }
  TDataCursor* ResultCursor() const override { return cursor_.get(); }
  int32_t RowsAffected() const override { return rowsAffected_; }
  double ElapsedSeconds() const override { return 0.0; }
  void SetMaxRowCount(int32_t value) override { script_.LastMaxRowCount = value; }
  void SetPasswordCallback(TCursorPasswordCallback) override {}
  std::string ColumnOrigin(int fieldNo) const override { return "F." + std::to_string(fieldNo); }
  bool ColumnHidden(int fieldNo) const override {
    for (int hidden : script_.HiddenFields) {
      if (hidden == fieldNo) return true;
    }
    return false;
  }
  void SetProgressCallback(std::function<void(int, bool&)>) override {}

 private:
  FakeScript& script_;
  TDataSession& session_;
  TDataDirectory& database_;
  std::string text_;
  std::unique_ptr<TDataCursor> cursor_;
  int32_t rowsAffected_ = 0;
};

}  // namespace

TFakeRunnerScope::TFakeRunnerScope() {
  previous_ = SetStatementRunnerFactory(
      [this](TDataSession& session, TDataDirectory& database, bool requestLive, int32_t maxRowCount) {
        Script.Made.emplace_back(requestLive, maxRowCount);
        return std::make_unique<TFakeRunner>(Script, session, database);
      });
}

TFakeRunnerScope::~TFakeRunnerScope() { SetStatementRunnerFactory(std::move(previous_)); }

}  // namespace rudira::dstest
