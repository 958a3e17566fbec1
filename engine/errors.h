// Engine errors: the exception classes and the one routine through which every
// engine failure reaches its caller.
//
// Every failure of the storage engine is raised by RaiseEngineError(). The
// raise records a process-wide error context (the names of the failed
// operation plus the operating-system and socket error numbers), builds the
// message from the code's template and throws ERUDIRAEngineError carrying a
// copy of that context. The whole raise runs under the error-context lock, so
// an exception always carries the context of its own raise even when several
// threads raise at once.
//
// Context slots, in the order the templates take them:
//
//   slot  content                                      form
//   0     server name                                   text, <= 255 bytes
//   1     user name                                     text, <= 255 bytes
//   2     database name (local tables: the directory)   text, <= 255 bytes
//   3     table name                                    text, <= 255 bytes
//   4     field name                                    text, <= 255 bytes
//   5     index name                                    text, <= 255 bytes
//   6     message text (inner parser or server text)    text, <= 255 bytes
//   7     operating-system error number (errno)         int32, decimal as text
//   8     socket error number                           int32, decimal as text
//
// Texts are UTF-8; a text longer than its limit is cut at the last whole
// character that fits, never refused.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/error_codes.h"

namespace rudira {

// The dataset framework's error. Component errors (wrong state, missing
// names) are raised as this class with fixed English messages.
class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
};

// The exception of every engine failure. what() is
// "RUDIRA Engine Error # <code> <message text>".
class ERUDIRAEngineError : public EDatabaseError {
 public:
  // Builds the exception from an already formatted message; RaiseEngineError
  // is the normal way to make one.
  ERUDIRAEngineError(uint16_t errorCode, int32_t osErrorCode, int32_t socketErrorCode,
                     std::string serverName, std::string userName, std::string databaseName,
                     std::string tableName, std::string fieldName, std::string indexName,
                     std::string errorText, const std::string& message);

  uint16_t ErrorCode() const { return errorCode_; }
  int32_t OSErrorCode() const { return osErrorCode_; }
  int32_t SocketErrorCode() const { return socketErrorCode_; }
  const std::string& ErrorServerName() const { return serverName_; }
  const std::string& ErrorUserName() const { return userName_; }
  const std::string& ErrorDatabaseName() const { return databaseName_; }
  const std::string& ErrorTableName() const { return tableName_; }
  const std::string& ErrorFieldName() const { return fieldName_; }
  const std::string& ErrorIndexName() const { return indexName_; }
  const std::string& ErrorText() const { return errorText_; }

 private:
  uint16_t errorCode_;          // the engine error code
  int32_t osErrorCode_;         // slot 7
  int32_t socketErrorCode_;     // slot 8
  std::string serverName_;      // slot 0
  std::string userName_;        // slot 1
  std::string databaseName_;    // slot 2
  std::string tableName_;       // slot 3
  std::string fieldName_;       // slot 4
  std::string indexName_;       // slot 5
  std::string errorText_;       // slot 6
};

// The context names of a raise. Designated initialisers name just the slots a
// failure concerns, in slot order:
//   RaiseEngineError(RUDIRA_KEYVIOL, {.DatabaseName = dir, .TableName = "figure",
//                                     .IndexName = "MNB"});
// OSErrorCode overrides the errno read at the raise: a caller that raises a
// negated code returned from a lower layer passes the errno saved at the
// failure, since later calls may have changed errno.
struct EngineErrorNames {
  std::string_view ServerName = {};
  std::string_view UserName = {};
  std::string_view DatabaseName = {};
  std::string_view TableName = {};
  std::string_view FieldName = {};
  std::string_view IndexName = {};
  std::string_view Text = {};
  std::optional<int32_t> OSErrorCode = {};
};

// Records the context and throws ERUDIRAEngineError. Never returns. Empty
// texts where a slot does not apply.
[[noreturn]] void RaiseEngineError(uint16_t code, const EngineErrorNames& names = {});

// The same with every slot given positionally, in slot order.
[[noreturn]] void RaiseEngineError(uint16_t code, std::string_view serverName,
                                   std::string_view userName, std::string_view databaseName,
                                   std::string_view tableName, std::string_view fieldName,
                                   std::string_view indexName, std::string_view messageText);

// Shorthand for the common local-table failure: database directory and table.
[[noreturn]] inline void RaiseTableError(uint16_t code, std::string_view databaseName,
                                         std::string_view tableName) {
  RaiseEngineError(code, {.DatabaseName = databaseName, .TableName = tableName});
}

// The code of the most recent raise in the process (0 before any).
uint16_t LastEngineErrorCode();

// The text of context slot 0 to 6, or slot 7 or 8 in decimal; empty text for
// any other slot.
std::string EngineErrorContextText(int slot);

// The message text for a code filled from the current error context, at most
// 254 bytes; "An unknown error occurred" for a code without a template.
std::string EngineErrorMessage(uint16_t code);

// The ErrorCode of an ERUDIRAEngineError; RUDIRA_OSUNKNOWN for any other
// exception (or a null pointer).
uint16_t EngineErrorCodeOf(const std::exception& error);
uint16_t EngineErrorCodeOf(const std::exception_ptr& error);

// Translates a Linux errno value into an engine code (ENOENT, ENOTDIR ->
// RUDIRA_OSENOENT; EMFILE, ENFILE -> RUDIRA_OSEMFILE; EACCES, EPERM, EROFS,
// ETXTBSY -> RUDIRA_OSEACCES; EBADF -> RUDIRA_OSEBADF; ENOMEM ->
// RUDIRA_OSENOMEM; ENODEV, ENXIO -> RUDIRA_OSENODEV; EXDEV ->
// RUDIRA_OSENOTSAM; anything else RUDIRA_OSUNKNOWN). Sharing conflicts found
// by the engine itself are RUDIRA_OSEACCES.
uint16_t OSErrorToEngineCode(int errnoValue);
// The same for the calling thread's current errno.
uint16_t OSErrorToEngineCode();

// The symbolic name of a code ("RUDIRA_KEYVIOL"); "RUDIRA_NONE" for 0, empty
// text for a code not in the table.
std::string EngineErrorName(uint16_t code);

// The socket layer's last-error value of the calling thread, recorded in slot
// 8 by a raise. The socket layer sets it when a socket call fails; it stays 0
// in a process that uses no sockets.
void SetLastSocketError(int32_t value);
int32_t LastSocketError();

}  // namespace rudira
