// Helpers of the cursor tests: a fresh directory per test with a session
// and a database on it, tables made from short field and index lists,
// record values by field name, and forked children.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data_cursor.h"
#include "engine/errors.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/index_key.h"

namespace rudira::cursortest {

struct FieldSpec {
  FieldSpec(std::string name, uint8_t type = kFieldTypeInteger, uint8_t size = 0, uint8_t subType = 0)
      : Name(std::move(name)), Type(type), Size(size), SubType(subType) {}
  FieldSpec& MakeRequired() { Required = true; return *this; }
  FieldSpec& WithMin(std::string text) { Min = std::move(text); return *this; }
  FieldSpec& WithMax(std::string text) { Max = std::move(text); return *this; }
  FieldSpec& WithDefault(std::string text) { Default = std::move(text); return *this; }
  FieldSpec& WithScale(uint8_t scale) { Scale = scale; return *this; }

  std::string Name;
  uint8_t Type;
  uint8_t Size;
  uint8_t SubType;
  uint8_t Scale = 0;
  bool Required = false;
  std::string Min;
  std::string Max;
  std::string Default;
};

struct IndexSpec {
  IndexSpec(std::string name, std::vector<uint16_t> fields, bool unique = true, bool descending = false,
            bool caseInsensitive = false)
      : Name(std::move(name)),
        Fields(std::move(fields)),
        Unique(unique),
        Descending(descending),
        CaseInsensitive(caseInsensitive) {}
  std::string Name;
  std::vector<uint16_t> Fields;  // 1-based field numbers
  bool Unique;
  bool Descending;
  bool CaseInsensitive;  // string fields keyed in upper case
};

// The engine error code `action` raised; 0 when it raised nothing.
inline uint16_t CodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ERUDIRAEngineError& error) {
    return error.ErrorCode();
  }
  return 0;
}

// Runs `script` in a forked child and returns its exit status (250 when it
// threw). The child has its own session; nothing of the parent's is used.
inline int RunChild(const std::function<int()>& script) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int result = 250;
    try {
      result = script();
    } catch (...) {
      result = 250;
    }
    ::_exit(result);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 251;
}

// A child that runs in steps: it waits for a byte from the parent before
// each step and reports one byte after it.
class TSteppedChild {
 public:
  using Step = std::function<int()>;
  // Forks; the child runs steps[i] after the parent's i-th Go().
  void Start(std::vector<Step> steps) {
    int go[2];
    int report[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(report), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(go[1]);
      ::close(report[0]);
      for (Step& step : steps) {
        char byte = 0;
        if (::read(go[0], &byte, 1) != 1) ::_exit(252);
        char result = 0;
        try {
          result = static_cast<char>(step());
        } catch (...) {
          result = static_cast<char>(250);
        }
        if (::write(report[1], &result, 1) != 1) ::_exit(253);
      }
      ::_exit(0);
    }
    ::close(go[0]);
    ::close(report[1]);
    go_ = go[1];
    report_ = report[0];
  }
  // Runs the next step and returns its result.
  int Go() {
    char byte = 1;
    if (::write(go_, &byte, 1) != 1) return -1;
    char result = 0;
    if (::read(report_, &result, 1) != 1) return -1;
    return static_cast<unsigned char>(result);
  }
  int Finish() {
    if (go_ >= 0) ::close(go_);
    if (report_ >= 0) ::close(report_);
    go_ = report_ = -1;
    int status = 0;
    if (pid_ > 0) ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 251;
  }
  ~TSteppedChild() { Finish(); }

 private:
  pid_t pid_ = -1;
  int go_ = -1;
  int report_ = -1;
};

class CursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/cursor-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = std::string(pattern) + "/";
    session_ = std::make_unique<TDataSession>();
    session_->SetPrivateDir(dir_);
    db_ = session_->OpenDatabase("db", dir_);
  }
  void TearDown() override {
    session_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // A new session on the same directory (another user in this process).
  struct OtherUser {
    std::unique_ptr<TDataSession> Session;
    TDataDirectory* Db = nullptr;
  };
  OtherUser NewUser() const {
    OtherUser user;
    user.Session = std::make_unique<TDataSession>();
    user.Session->SetPrivateDir(dir_);
    user.Db = user.Session->OpenDatabase("db", dir_);
    return user;
  }

  void CreateTable(const std::string& name, const std::vector<FieldSpec>& specs, const IndexSpec& primary,
                   const std::vector<IndexSpec>& secondaries = {}, const std::string& password = {},
                   const TableLocale& locale = {}) {
    DataFileDefinition definition;
    definition.LanguageId = locale.LanguageId;
    definition.SortId = locale.SortId;
    for (size_t i = 0; i < specs.size(); ++i) {
      TFieldDescriptor field;
      field.FieldNo = static_cast<uint16_t>(i + 1);
      field.FieldName = specs[i].Name;
      field.FieldType = specs[i].Type;
      field.SubType = specs[i].SubType;
      field.Size = specs[i].Size;
      field.Scale = specs[i].Scale;
      field.Required = specs[i].Required ? 1 : 0;
      field.MinValue = specs[i].Min;
      field.MaxValue = specs[i].Max;
      field.DefaultValue = specs[i].Default;
      definition.Fields.push_back(field);
    }
    if (!password.empty()) {
      definition.Encrypted = true;
      definition.Password = password;
    }
    PrepareFieldDefinitions(definition.Fields, "db", name);
    auto indexOf = [&](const IndexSpec& key) {
      TIndexDefinition index;
      index.IndexName = key.Name;
      index.Unique = key.Unique ? 1 : 0;
      index.Descending = key.Descending ? 1 : 0;
      index.CaseInsensitive = key.CaseInsensitive ? 1 : 0;
      index.IndexFieldCount = static_cast<uint8_t>(key.Fields.size());
      for (size_t i = 0; i < key.Fields.size(); ++i) index.FieldNumbers[i] = key.Fields[i];
      if (index.IndexFieldCount > 0) PrepareIndexDefinition(index, definition.Fields, false, name);
      return index;
    };
    TableIndexDefinitions indexes;
    indexes.Primary = indexOf(primary);
    for (const IndexSpec& key : secondaries) indexes.Secondaries.push_back(indexOf(key));
    ASSERT_EQ(db_->CreateTable(name, false, false, definition, indexes), 0);
  }

  // "people": ID INTEGER primary key, NAME CHAR(10) with the unique index
  // "ByName", CITY CHAR(10) with NAME in the non-unique index "ByCityName".
  void CreatePeople(const std::string& name = "people") {
    CreateTable(name,
                {{"ID", kFieldTypeInteger}, {"NAME", kFieldTypeString, 10}, {"CITY", kFieldTypeString, 10},
                 {"AGE", kFieldTypeSmallInt}},
                {"", {1}}, {{"ByName", {2}}, {"ByCityName", {3, 2}, false}});
  }

  std::unique_ptr<TDataCursor> Open(const std::string& name, const std::function<void(TDataCursor&)>& options = {},
                                    TDataSession* session = nullptr, TDataDirectory* db = nullptr) {
    auto cursor = std::make_unique<TDataCursor>(session ? *session : *session_, db ? *db : *db_);
    cursor->SetTableName(name);
    if (options) options(*cursor);
    cursor->OpenCursor();
    return cursor;
  }

  static const TFieldDescriptor& FieldNamed(TDataCursor& cursor, const std::string& name) {
    for (const TFieldDescriptor& field : cursor.Fields()) {
      if (field.FieldName == name) return field;
    }
    throw std::runtime_error("no field " + name);
  }
  static void Set(TDataCursor& cursor, std::vector<uint8_t>& record, const std::string& name,
                  const TFieldValue& value) {
    const TFieldDescriptor& field = FieldNamed(cursor, name);
    if (std::holds_alternative<std::monostate>(value)) {
      StoreFieldNull(record.data(), field);
    } else {
      ASSERT_TRUE(StoreFieldValue(record.data(), field, value, cursor.Table()->DataFile().Locale())) << name;
    }
  }
  static TFieldValue Get(TDataCursor& cursor, const std::vector<uint8_t>& record, const std::string& name) {
    return ReadFieldValue(record.data(), FieldNamed(cursor, name));
  }
  static int32_t IntOf(TDataCursor& cursor, const std::vector<uint8_t>& record, const std::string& name = "ID") {
    const TFieldValue value = Get(cursor, record, name);
    if (const auto* n = std::get_if<int32_t>(&value)) return *n;
    return -1;
  }
  static std::string TextOf(TDataCursor& cursor, const std::vector<uint8_t>& record, const std::string& name) {
    const TFieldValue value = Get(cursor, record, name);
    if (const auto* s = std::get_if<std::string>(&value)) return *s;
    return "<null>";
  }
  static std::vector<uint8_t> Blank(TDataCursor& cursor) {
    std::vector<uint8_t> record(cursor.RecordSize());
    cursor.InitRecord(record.data());
    return record;
  }
  // Appends a person.
  static void AddPerson(TDataCursor& cursor, int32_t id, const std::string& name, const std::string& city,
                        int16_t age = 30) {
    std::vector<uint8_t> record = Blank(cursor);
    Set(cursor, record, "ID", id);
    Set(cursor, record, "NAME", name);
    Set(cursor, record, "CITY", city);
    Set(cursor, record, "AGE", age);
    cursor.AppendRecord(record.data());
  }
  static std::vector<uint8_t> Current(TDataCursor& cursor) {
    std::vector<uint8_t> record(cursor.RecordSize());
    EXPECT_EQ(cursor.GetCurrentRecord(record.data()), 0);
    return record;
  }
  // The values of `field` of every record in view, from the beginning.
  static std::vector<int32_t> Walk(TDataCursor& cursor, const std::string& field = "ID") {
    std::vector<int32_t> values;
    std::vector<uint8_t> record(cursor.RecordSize());
    cursor.SetToBegin();
    while (cursor.GetNextRecord(record.data()) == 0) values.push_back(IntOf(cursor, record, field));
    return values;
  }
  static std::vector<int32_t> WalkBack(TDataCursor& cursor, const std::string& field = "ID") {
    std::vector<int32_t> values;
    std::vector<uint8_t> record(cursor.RecordSize());
    cursor.SetToEnd();
    while (cursor.GetPriorRecord(record.data()) == 0) values.push_back(IntOf(cursor, record, field));
    return values;
  }
  // Moves to the record whose ID is `id` by walking; fails the test when
  // there is none.
  static std::vector<uint8_t> GoTo(TDataCursor& cursor, int32_t id) {
    std::vector<uint8_t> record(cursor.RecordSize());
    cursor.SetToBegin();
    while (cursor.GetNextRecord(record.data()) == 0) {
      if (IntOf(cursor, record) == id) return record;
    }
    ADD_FAILURE() << "no record " << id;
    return record;
  }
  std::vector<char> FileBytes(const std::string& name) const {
    std::ifstream in(dir_ + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::string dir_;                         // with trailing "/"
  std::unique_ptr<TDataSession> session_;   // the test's session
  TDataDirectory* db_ = nullptr;            // its database on dir_
};

}  // namespace rudira::cursortest
