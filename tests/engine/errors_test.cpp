#include "engine/errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "engine/error_table.h"

namespace rudira {
namespace {

// Runs a raise and hands back the exception it threw.
template <typename Raise>
ERUDIRAEngineError Caught(Raise raise) {
  try {
    raise();
  } catch (const ERUDIRAEngineError& e) {
    return e;
  }
  ADD_FAILURE() << "no engine error was raised";
  return ERUDIRAEngineError(0, 0, 0, "", "", "", "", "", "", "", "");
}

const std::string kPrefix = "RUDIRA Engine Error # ";

struct MessageCase {
  uint16_t code;
  EngineErrorNames names;
  std::string expectedText;
};

TEST(EngineErrorsTest, MessagesFillTemplatesInSlotOrder) {
  const MessageCase cases[] = {
      {RUDIRA_KEYORRECDELETED,
       {.DatabaseName = "kyozai\\", .TableName = "figure"},
       "Record has been changed or deleted by another user, session, or table cursor in the "
       "table 'figure'"},
      {RUDIRA_KEYVIOL,
       {.TableName = "T", .IndexName = "IX"},
       "Duplicate key found in the index 'IX' of the table 'T'"},
      {RUDIRA_INVALIDIDXDESC,
       {.TableName = "T", .FieldName = "F", .IndexName = "IX"},
       "Invalid field number 'F' specified in the index 'IX' for the table 'T'"},
      {RUDIRA_INVALIDFILTER,
       {.TableName = "T", .Text = "Expected ')'"},
       "Filter error for the table 'T' - Expected ')'"},
      {RUDIRA_REMOTEUNKNOWN,
       {.ServerName = "srv", .Text = "boom"},
       "An unknown error ('boom') occurred with the connection to the database server at "
       "'srv', please check the server log"},
      {RUDIRA_REMOTENOTAUTH,
       {.ServerName = "srv", .UserName = "u", .DatabaseName = "db"},
       "The user 'u' is not authorized to perform this operation with the database 'db' on the "
       "database server at 'srv'"},
      {RUDIRA_REMOTEINVUSER, {.ServerName = "srv"}, "The user name is either invalid or blank"},
      {RUDIRA_REMOTEINVDB, {.ServerName = "srv"},
       "The database name or directory is either invalid or blank"},
      {RUDIRA_NOTINITIALIZED, {.TableName = "ignored"}, "The database engine is not initialized"},
      {RUDIRA_COMPRESS, {}, "Error compressing data"},
      {1, {.TableName = "T"}, "An unknown error occurred"},
      {RUDIRA_NONE, {}, "An unknown error occurred"},
      {RUDIRA_REMOTECALLBACK, {.ServerName = "srv"}, "An unknown error occurred"},
      // A "%" in a name is text, not a placeholder.
      {RUDIRA_READERR, {.TableName = "100%s"}, "Error reading from the table '100%s'"},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.code);
    ERUDIRAEngineError e = Caught([&] { RaiseEngineError(c.code, c.names); });
    EXPECT_EQ(e.ErrorCode(), c.code);
    EXPECT_EQ(std::string(e.what()), kPrefix + std::to_string(c.code) + " " + c.expectedText);
    EXPECT_EQ(EngineErrorMessage(c.code), c.expectedText);
    EXPECT_EQ(LastEngineErrorCode(), c.code);
  }
}

TEST(EngineErrorsTest, PayloadCopiesEveryContextSlot) {
  errno = 0;
  ERUDIRAEngineError e = Caught([] {
    RaiseEngineError(RUDIRA_REMOTENODBUSER, "server", "user", "database", "table", "field",
                     "index", "text");
  });
  EXPECT_EQ(e.ErrorServerName(), "server");
  EXPECT_EQ(e.ErrorUserName(), "user");
  EXPECT_EQ(e.ErrorDatabaseName(), "database");
  EXPECT_EQ(e.ErrorTableName(), "table");
  EXPECT_EQ(e.ErrorFieldName(), "field");
  EXPECT_EQ(e.ErrorIndexName(), "index");
  EXPECT_EQ(e.ErrorText(), "text");
  EXPECT_EQ(e.OSErrorCode(), 0);
  EXPECT_EQ(e.SocketErrorCode(), 0);
  const char* expectedSlots[] = {"server", "user", "database", "table", "field",
                                 "index",  "text", "0",        "0"};
  for (int slot = 0; slot < 9; ++slot) {
    EXPECT_EQ(EngineErrorContextText(slot), expectedSlots[slot]) << slot;
  }
  EXPECT_EQ(EngineErrorContextText(9), "");
  EXPECT_EQ(EngineErrorContextText(-1), "");
}

TEST(EngineErrorsTest, NextRaiseClearsSlotsItDoesNotName) {
  Caught([] { RaiseEngineError(RUDIRA_KEYVIOL, {.TableName = "T", .IndexName = "IX"}); });
  ERUDIRAEngineError e = Caught([] { RaiseEngineError(RUDIRA_LOCKED, {.TableName = "U"}); });
  EXPECT_EQ(e.ErrorIndexName(), "");
  EXPECT_EQ(EngineErrorContextText(5), "");
  EXPECT_EQ(EngineErrorContextText(3), "U");
}

TEST(EngineErrorsTest, UnknownOSErrorTakesTheErrnoOfTheRaise) {
  ERUDIRAEngineError fromErrno = Caught([] {
    errno = 87;
    RaiseTableError(RUDIRA_OSUNKNOWN, "dir\\", "T");
  });
  EXPECT_EQ(fromErrno.OSErrorCode(), 87);
  EXPECT_EQ(std::string(fromErrno.what()),
            kPrefix + "11047 An unknown operating system error 87 occurred with the table 'T'");
  EXPECT_EQ(EngineErrorContextText(7), "87");

  // A caller raising a code it got back from a lower layer passes the errno
  // saved at the failure.
  ERUDIRAEngineError saved = Caught([] {
    errno = 5;
    RaiseEngineError(RUDIRA_OSUNKNOWN, {.TableName = "T", .OSErrorCode = 87});
  });
  EXPECT_EQ(saved.OSErrorCode(), 87);
  EXPECT_EQ(saved.ErrorText(), "");
  EXPECT_EQ(EngineErrorMessage(RUDIRA_OSUNKNOWN),
            "An unknown operating system error 87 occurred with the table 'T'");
}

TEST(EngineErrorsTest, SocketErrorOfTheRaisingThreadIsRecorded) {
  SetLastSocketError(104);
  ERUDIRAEngineError e =
      Caught([] { RaiseEngineError(RUDIRA_REMOTECOMMLOST, {.ServerName = "10.0.0.1"}); });
  SetLastSocketError(0);
  EXPECT_EQ(e.SocketErrorCode(), 104);
  EXPECT_EQ(EngineErrorContextText(8), "104");
}

TEST(EngineErrorsTest, LongTextsAreCut) {
  const std::string inner(300, 'x');
  ERUDIRAEngineError e = Caught([&] { RaiseEngineError(RUDIRA_SQLPARSE, {.Text = inner}); });
  EXPECT_EQ(e.ErrorText(), std::string(255, 'x'));
  std::string text = EngineErrorMessage(RUDIRA_SQLPARSE);
  EXPECT_EQ(text.size(), 254u);
  EXPECT_EQ(text.rfind("SQL error - ", 0), 0u);
  EXPECT_EQ(std::string(e.what()), kPrefix + "11949 " + text);

  // A cut never splits a character: 254 bytes of "a" followed by "é" keep
  // only the "a"s in the slot.
  const std::string accented = std::string(254, 'a') + "\xC3\xA9";
  ERUDIRAEngineError cut = Caught([&] { RaiseEngineError(RUDIRA_READERR, {.TableName = accented}); });
  EXPECT_EQ(cut.ErrorTableName(), std::string(254, 'a'));
}

TEST(EngineErrorsTest, CodeOfForeignExceptionIsUnknownOSError) {
  EXPECT_EQ(EngineErrorCodeOf(std::bad_alloc()), RUDIRA_OSUNKNOWN);
  EXPECT_EQ(EngineErrorCodeOf(std::runtime_error("x")), RUDIRA_OSUNKNOWN);
  EXPECT_EQ(EngineErrorCodeOf(EDatabaseError("Dataset not in edit or insert mode")),
            RUDIRA_OSUNKNOWN);
  ERUDIRAEngineError e = Caught([] { RaiseEngineError(RUDIRA_TABLEFULL, {.TableName = "T"}); });
  EXPECT_EQ(EngineErrorCodeOf(e), RUDIRA_TABLEFULL);

  EXPECT_EQ(EngineErrorCodeOf(std::make_exception_ptr(e)), RUDIRA_TABLEFULL);
  EXPECT_EQ(EngineErrorCodeOf(std::make_exception_ptr(std::bad_alloc())), RUDIRA_OSUNKNOWN);
  EXPECT_EQ(EngineErrorCodeOf(std::make_exception_ptr(42)), RUDIRA_OSUNKNOWN);
  EXPECT_EQ(EngineErrorCodeOf(std::exception_ptr()), RUDIRA_OSUNKNOWN);
}

TEST(EngineErrorsTest, OSErrorTranslation) {
  const std::pair<int, uint16_t> cases[] = {
      {ENOENT, RUDIRA_OSENOENT},   {ENOTDIR, RUDIRA_OSENOENT},  {EMFILE, RUDIRA_OSEMFILE},
      {ENFILE, RUDIRA_OSEMFILE},   {EACCES, RUDIRA_OSEACCES},   {EPERM, RUDIRA_OSEACCES},
      {EROFS, RUDIRA_OSEACCES},    {ETXTBSY, RUDIRA_OSEACCES},  {EBADF, RUDIRA_OSEBADF},
      {ENOMEM, RUDIRA_OSENOMEM},   {ENODEV, RUDIRA_OSENODEV},   {ENXIO, RUDIRA_OSENODEV},
      {EXDEV, RUDIRA_OSENOTSAM},   {EIO, RUDIRA_OSUNKNOWN},     {ENOSPC, RUDIRA_OSUNKNOWN},
      {0, RUDIRA_OSUNKNOWN},
  };
  for (auto [value, code] : cases) {
    EXPECT_EQ(OSErrorToEngineCode(value), code) << value;
    errno = value;
    EXPECT_EQ(OSErrorToEngineCode(), code) << value;
  }
}

TEST(EngineErrorsTest, SymbolicNames) {
  EXPECT_EQ(EngineErrorName(RUDIRA_NONE), "RUDIRA_NONE");
  EXPECT_EQ(EngineErrorName(9729), "RUDIRA_KEYVIOL");
  EXPECT_EQ(EngineErrorName(15878), "RUDIRA_CANNOTLOADLDDRV");
  EXPECT_EQ(EngineErrorName(11284), "RUDIRA_REMOTECALLBACK");
  EXPECT_EQ(EngineErrorName(1), "");
  EXPECT_EQ(EngineErrorName(8707), "");
}

TEST(EngineErrorsTest, EveryTemplateHasASlotForEachPlaceholder) {
  for (const EngineErrorEntry& entry : EngineErrorTable()) {
    if (entry.Template == nullptr) continue;
    std::string_view t = entry.Template;
    size_t placeholders = 0;
    for (size_t at = t.find("%s"); at != std::string_view::npos; at = t.find("%s", at + 2)) {
      ++placeholders;
    }
    EXPECT_LE(placeholders, entry.Slots.size()) << entry.Name;
    EXPECT_EQ(std::string_view(entry.Name).rfind("RUDIRA_", 0), 0u);
  }
}

TEST(EngineErrorsTest, ThreadsRaisingAtOnceEachGetTheirOwnContext) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 300;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &mismatches] {
      const std::string table = "table" + std::to_string(t);
      const std::string index = "index" + std::to_string(t);
      const uint16_t code = t % 2 == 0 ? RUDIRA_KEYVIOL : RUDIRA_INVALIDKEY;
      for (int round = 0; round < kRounds; ++round) {
        try {
          RaiseEngineError(code, {.TableName = table, .IndexName = index});
        } catch (const ERUDIRAEngineError& e) {
          std::string expected = kPrefix + std::to_string(code) + " " +
                                 (code == RUDIRA_KEYVIOL ? "Duplicate key found in the index '"
                                                         : "Invalid key size specified in the index '") +
                                 index + (code == RUDIRA_KEYVIOL ? "' of the table '" : "' for the table '") +
                                 table + "'";
          if (e.ErrorCode() != code || e.ErrorTableName() != table ||
              e.ErrorIndexName() != index || e.what() != expected) {
            ++mismatches[t];
          }
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace rudira
