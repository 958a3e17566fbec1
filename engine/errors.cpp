#include "engine/errors.h"

#include <cerrno>
#include <mutex>
#include <new>
#include <utility>

#include "engine/error_table.h"
#include "engine/utf8_text.h"

namespace rudira {

namespace {

constexpr char kMessagePrefix[] = "RUDIRA Engine Error # ";

// The process-wide error context: the slots and the code of the latest
// raise. Re-entrant because a raise may run while its own thread already
// holds the lock (a caller classifying an error it caught).
struct ErrorContext {
  std::recursive_mutex Lock;
  uint16_t Code = RUDIRA_NONE;  // guarded by Lock
  EngineErrorSlots Slots;       // guarded by Lock
};

// Never destroyed: a raise from a destructor of another static object at
// process exit still finds its context.
ErrorContext& Context() {
  static ErrorContext* context = new ErrorContext;
  return *context;
}

thread_local int32_t gLastSocketError = 0;

}  // namespace

ERUDIRAEngineError::ERUDIRAEngineError(uint16_t errorCode, int32_t osErrorCode,
                                       int32_t socketErrorCode, std::string serverName,
                                       std::string userName, std::string databaseName,
                                       std::string tableName, std::string fieldName,
                                       std::string indexName, std::string errorText,
                                       const std::string& message)
    : EDatabaseError(message),
      errorCode_(errorCode),
      osErrorCode_(osErrorCode),
      socketErrorCode_(socketErrorCode),
      serverName_(std::move(serverName)),
      userName_(std::move(userName)),
      databaseName_(std::move(databaseName)),
      tableName_(std::move(tableName)),
      fieldName_(std::move(fieldName)),
      indexName_(std::move(indexName)),
      errorText_(std::move(errorText)) {}

void RaiseEngineError(uint16_t code, const EngineErrorNames& names) {
  // Read the platform numbers before anything else can change errno.
  int32_t osError = names.OSErrorCode.value_or(errno);
  int32_t socketError = gLastSocketError;

  ErrorContext& context = Context();
  // Held until the exception has left this routine, so no other raise can
  // overwrite the context between recording it and copying it out.
  std::lock_guard<std::recursive_mutex> guard(context.Lock);
  context.Code = RUDIRA_NONE;
  context.Slots = EngineErrorSlots{};

  const std::string_view texts[kErrorTextSlotCount] = {
      names.ServerName, names.UserName, names.DatabaseName, names.TableName,
      names.FieldName,  names.IndexName, names.Text};
  context.Code = code;
  context.Slots.OSErrorCode = osError;
  context.Slots.SocketErrorCode = socketError;
  for (int i = 0; i < kErrorTextSlotCount; ++i) {
    context.Slots.Texts[i] = Utf8Cut(texts[i], kErrorContextTextLimit);
  }

  const EngineErrorSlots& s = context.Slots;
  std::string message =
      kMessagePrefix + std::to_string(code) + " " + FormatEngineErrorMessage(code, s);
  throw ERUDIRAEngineError(code, s.OSErrorCode, s.SocketErrorCode, s.Texts[0], s.Texts[1],
                           s.Texts[2], s.Texts[3], s.Texts[4], s.Texts[5], s.Texts[6], message);
}

void RaiseEngineError(uint16_t code, std::string_view serverName, std::string_view userName,
                      std::string_view databaseName, std::string_view tableName,
                      std::string_view fieldName, std::string_view indexName,
                      std::string_view messageText) {
  RaiseEngineError(code, EngineErrorNames{.ServerName = serverName,
                                          .UserName = userName,
                                          .DatabaseName = databaseName,
                                          .TableName = tableName,
                                          .FieldName = fieldName,
                                          .IndexName = indexName,
                                          .Text = messageText});
}

uint16_t LastEngineErrorCode() {
  ErrorContext& context = Context();
  std::lock_guard<std::recursive_mutex> guard(context.Lock);
  return context.Code;
}

std::string EngineErrorContextText(int slot) {
  if (slot < 0 || slot > static_cast<int>(ErrorSlot::kSocketError)) return std::string();
  ErrorContext& context = Context();
  std::lock_guard<std::recursive_mutex> guard(context.Lock);
  return context.Slots.Text(static_cast<ErrorSlot>(slot));
}

std::string EngineErrorMessage(uint16_t code) {
  ErrorContext& context = Context();
  std::lock_guard<std::recursive_mutex> guard(context.Lock);
  return FormatEngineErrorMessage(code, context.Slots);
}

uint16_t EngineErrorCodeOf(const std::exception& error) {
  if (const auto* engineError = dynamic_cast<const ERUDIRAEngineError*>(&error)) {
    return engineError->ErrorCode();
  }
  return RUDIRA_OSUNKNOWN;
}

uint16_t EngineErrorCodeOf(const std::exception_ptr& error) {
  if (!error) return RUDIRA_OSUNKNOWN;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return EngineErrorCodeOf(e);
  } catch (...) {
    return RUDIRA_OSUNKNOWN;
  }
}

uint16_t OSErrorToEngineCode(int errnoValue) {
  switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
      return RUDIRA_OSENOENT;
    case EMFILE:
    case ENFILE:
      return RUDIRA_OSEMFILE;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return RUDIRA_OSEACCES;
    case EBADF:
      return RUDIRA_OSEBADF;
    case ENOMEM:
      return RUDIRA_OSENOMEM;
    case ENODEV:
    case ENXIO:
      return RUDIRA_OSENODEV;
    case EXDEV:
      return RUDIRA_OSENOTSAM;
    default:
      return RUDIRA_OSUNKNOWN;
  }
}

uint16_t OSErrorToEngineCode() { return OSErrorToEngineCode(errno); }

std::string EngineErrorName(uint16_t code) {
  const EngineErrorEntry* entry = FindEngineError(code);
  return entry == nullptr ? std::string() : std::string(entry->Name);
}

void SetLastSocketError(int32_t value) { gLastSocketError = value; }

int32_t LastSocketError() { return gLastSocketError; }

}  // namespace rudira
