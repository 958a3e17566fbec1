#include "components/statement_runner.h"

#include <mutex>

#include "components/component_messages.h"
#include "components/dataset_messages.h"

namespace rudira {

namespace {

std::mutex& FactoryLock() {
  static std::mutex lock;
  return lock;
}

TStatementRunnerFactory& Factory() {
  static TStatementRunnerFactory factory;
  return factory;
}

}  // namespace

TStatementRunnerFactory SetStatementRunnerFactory(TStatementRunnerFactory factory) {
  std::lock_guard<std::mutex> guard(FactoryLock());
  TStatementRunnerFactory previous = std::move(Factory());
  Factory() = std::move(factory);
  return previous;
}

std::unique_ptr<TStatementRunner> NewStatementRunner(TDataSession& session, TDataDirectory& database, bool requestLive,
                                                     int32_t maxRowCount) {
  TStatementRunnerFactory factory;
  {
    std::lock_guard<std::mutex> guard(FactoryLock());
    factory = Factory();
  }
  // Placeholder: the default is the SQL layer's executor, wired here once its
  // implementation is part of the library.
  if (!factory) RaiseDatabaseError(kNoStatementRunner);
  return factory(session, database, requestLive, maxRowCount);
}

}  // namespace rudira
