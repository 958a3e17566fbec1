#include "components/statement_runner.h"

#include <mutex>

#include "components/select_statement_runner.h"

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
  // Without an installed factory the SQL layer's executor runs the text.
  if (!factory) return NewSelectStatementRunner(session, database, requestLive, maxRowCount);
  return factory(session, database, requestLive, maxRowCount);
}

}  // namespace rudira
