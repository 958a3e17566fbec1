// The fixed English messages of the session and database components, and the
// raise that fills in a name. They are raised as EDatabaseError; the texts
// are part of the interface and must not change.
#pragma once

#include <string>

namespace rudira {

inline constexpr char kInvalidSessionName[] = "Session name %s is not valid.";
inline constexpr char kDuplicateSessionName[] = "Session name %s already exists.";
inline constexpr char kSessionNameMissing[] = "Session name is missing.";
inline constexpr char kSessionActive[] = "Cannot perform this operation on an active session.";
inline constexpr char kAutoSessionActive[] = "Cannot perform this operation on the active auto-session.";
inline constexpr char kAutoSessionExclusive[] = "The active auto-session can be the only active session.";
inline constexpr char kAutoSessionExists[] = "This auto-session already exists.";
inline constexpr char kDuplicateDatabaseName[] = "Database name %s already exists.";
inline constexpr char kDatabaseNameMissing[] = "Database name is missing.";
inline constexpr char kInvalidDatabaseName[] = "Database name %s is not valid.";
inline constexpr char kDatabaseOpen[] = "Cannot perform this operation on an open database.";
inline constexpr char kDatabaseClosed[] = "Cannot perform this operation on a closed database.";
inline constexpr char kInTransaction[] = "Database %s already has an active transaction.";
inline constexpr char kNotInTransaction[] = "Database %s has no active transaction.";
// This system keeps no remote client: a remote session is refused at open.
inline constexpr char kRemoteNotSupported[] = "Session %s cannot be opened: remote sessions are not supported.";

// Raises EDatabaseError with the message.
[[noreturn]] void RaiseDatabaseError(const char* message);
// Raises EDatabaseError with the first "%s" of the template replaced by name.
[[noreturn]] void RaiseDatabaseError(const char* messageTemplate, const std::string& name);

}  // namespace rudira
