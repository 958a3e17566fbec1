// The statement runner of the SQL layer: TStatementRunner over
// TSelectExecutor (sql/select_executor.h).
#pragma once

#include <memory>

#include "components/statement_runner.h"

namespace rudira {

std::unique_ptr<TStatementRunner> NewSelectStatementRunner(TDataSession& session, TDataDirectory& database,
                                                           bool requestLive, int32_t maxRowCount);

}  // namespace rudira
