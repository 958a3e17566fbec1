// ALTER TABLE through the restructure: columns added, redefined, moved and
// dropped, the primary key added, replaced and dropped, table options kept
// unless given, NOBACKUP, LAST AUTOINC, the text index's parameters, and
// the statement's messages; CREATE TABLE's LAST AUTOINC and text-index
// parameters beside them.
#include <filesystem>
#include <string>
#include <vector>

#include "engine/restructure_definition.h"
#include "storage/index_header.h"
#include "support/select_fixture.h"

namespace rudira::selecttest {
namespace {

using Lines = std::vector<std::string>;

const std::string kSqlError = "RUDIRA Engine Error # 11949 SQL error - ";

class AlterTable : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    if (HasFatalFailure()) return;
    Run("CREATE TABLE t (A INTEGER, B VARCHAR(10) DESCRIPTION 'bee' DEFAULT 'n', S VARCHAR(10), "
        "PRIMARY KEY (A) DESCRIPTION 'the table' USER MAJOR VERSION 3)");
    Run("INSERT INTO t VALUES (1, 'one', 'x'); INSERT INTO t VALUES (2, 'two', 'y')");
  }

  Lines Contents(const std::string& table) { return Query("SELECT * FROM " + table); }

  std::vector<std::string> FieldNames(const std::string& table) {
    std::vector<std::string> names;
    auto cursor = Open(table);
    for (const TFieldDescriptor& field : cursor->Fields()) names.push_back(field.FieldName);
    return names;
  }

  // The descriptor of `name` in `table`.
  TFieldDescriptor FieldNamed(const std::string& table, const std::string& name) {
    auto cursor = Open(table);
    for (const TFieldDescriptor& field : cursor->Fields()) {
      if (field.FieldName == name) return field;
    }
    ADD_FAILURE() << "no field " << name;
    return {};
  }

  bool Exists(const std::string& file) const { return std::filesystem::exists(dir_ + file); }
};

TEST_F(AlterTable, AddAtOneMakesTheColumnFirstAndKeepsTheRows) {
  Run("ALTER TABLE t ADD C INTEGER AT 1");
  EXPECT_EQ(FieldNames("t"), (std::vector<std::string>{"C", "A", "B", "S"}));
  EXPECT_EQ(Contents("t"), (Lines{"NULL|1|'one'|'x'", "NULL|2|'two'|'y'"}));
  // The primary key follows its column to position 2.
  EXPECT_NE(MessageOf([&] { Run("INSERT INTO t VALUES (5, 1, 'dup', 'z')"); }), "");
  Run("ALTER TABLE t ADD D INTEGER DEFAULT 7, ADD E INTEGER AT 99");
  EXPECT_EQ(FieldNames("t"), (std::vector<std::string>{"C", "A", "B", "S", "D", "E"}));
  Run("INSERT INTO t (A) VALUES (3)");
  EXPECT_EQ(Query("SELECT B, D FROM t WHERE A = 3"), (Lines{"'n'|7"}));
}

TEST_F(AlterTable, RedefineChangesOnlyWhatItNames) {
  Run("ALTER TABLE t REDEFINE B VARCHAR(40)");
  const TFieldDescriptor b = FieldNamed("t", "B");
  EXPECT_EQ(b.Size, 40);
  EXPECT_EQ(b.FieldDescription, "bee");
  EXPECT_EQ(b.DefaultValue, "n");
  EXPECT_EQ(Contents("t"), (Lines{"1|'one'|'x'", "2|'two'|'y'"}));

  Run("ALTER TABLE t REDEFINE B DESCRIPTION 'name'");
  EXPECT_EQ(FieldNamed("t", "B").FieldDescription, "name");
  EXPECT_EQ(FieldNamed("t", "B").Size, 40);

  // A complete new definition renames and retypes; AT moves the column.
  Run("ALTER TABLE t REDEFINE S N INTEGER AT 1");
  EXPECT_EQ(FieldNames("t"), (std::vector<std::string>{"N", "A", "B"}));
  EXPECT_EQ(FieldNamed("t", "N").FieldType, kFieldTypeInteger);
  // Neither 'x' nor 'y' is a number: the values convert to nothing.
  EXPECT_EQ(Query("SELECT A, B FROM t"), (Lines{"1|'one'", "2|'two'"}));
  Run("ALTER TABLE t REDEFINE A K INTEGER");
  EXPECT_NE(MessageOf([&] { Run("INSERT INTO t (K) VALUES (1)"); }), "");
}

TEST_F(AlterTable, DropOfAColumnAndOfThePrimaryKey) {
  Run("ALTER TABLE t DROP S");
  EXPECT_EQ(Contents("t"), (Lines{"1|'one'", "2|'two'"}));
  Run("ALTER TABLE t DROP PRIMARY KEY");
  {
    auto cursor = Open("t");
    EXPECT_TRUE(cursor->Table()->IndexFile().NoPrimaryKey());
  }
  EXPECT_EQ(Run("INSERT INTO t VALUES (1, 'again')")->RowsAffected(), 1);
  // Adding a primary key over the duplicate keeps the first record of it.
  Run("ALTER TABLE t ADD PRIMARY KEY (A)");
  EXPECT_EQ(Contents("t"), (Lines{"1|'one'", "2|'two'"}));
  Run("ALTER TABLE t REDEFINE PRIMARY KEY (B)");
  EXPECT_EQ(Run("INSERT INTO t VALUES (1, 'three')")->RowsAffected(), 1);
  EXPECT_NE(MessageOf([&] { Run("INSERT INTO t VALUES (9, 'one')"); }), "");
}

TEST_F(AlterTable, SecondaryIndexesFollowRenamedAndMovedColumns) {
  Run("CREATE INDEX bi ON t (B)");
  Run("ALTER TABLE t REDEFINE B NAME VARCHAR(10) AT 1, ADD Z INTEGER AT 1");
  auto cursor = Open("t");
  cursor->SetIndexName("bi");
  EXPECT_EQ(cursor->Field(cursor->IndexFieldNumbers().front()).FieldName, "NAME");
  cursor->CloseCursor();
  EXPECT_EQ(Query("SELECT A FROM t WHERE NAME = 'two'"), (Lines{"2"}));
}

TEST_F(AlterTable, MessagesOfTheStatement) {
  Run("CREATE INDEX si ON t (S)");
  struct Case {
    const char* Sql;
    std::string Message;
  };
  const Case cases[] = {
      {"ALTER TABLE t REDEFINE Q INTEGER", "Column Q not found"},
      {"ALTER TABLE t DROP Q", "Column Q not found"},
      {"ALTER TABLE t ADD C INTEGER AT 0", "AT column position must be greater than or equal to 1"},
      {"ALTER TABLE t ADD PRIMARY KEY (B)", "Cannot REDEFINE the primary key using the ADD keyword"},
      {"ALTER TABLE t REDEFINE PRIMARY KEY (Q)", "Invalid field name 'Q' specified for index ''"},
      {"ALTER TABLE t DROP S", "Invalid field name 'S' specified for index 'si'"},
      {"ALTER TABLE t TEXT INDEX (Q)", "Invalid field name 'Q' specified for text index"},
  };
  const Lines before = Contents("t");
  const std::vector<std::string> names = FieldNames("t");
  for (const Case& c : cases) EXPECT_EQ(MessageOf([&] { Run(c.Sql); }), kSqlError + c.Message) << c.Sql;
  EXPECT_EQ(Contents("t"), before);
  EXPECT_EQ(FieldNames("t"), names);
  // Exclusive use is needed: an open cursor makes it fail with the engine's
  // own error, and the table stays as it was.
  auto cursor = Open("t");
  const std::string inUse = MessageOf([&] { Run("ALTER TABLE t ADD C INTEGER"); });
  EXPECT_NE(inUse, "");
  EXPECT_EQ(inUse.find("11949"), std::string::npos);
  cursor->CloseCursor();
  EXPECT_EQ(FieldNames("t"), names);
}

TEST_F(AlterTable, OptionsAreKeptUnlessGiven) {
  Run("ALTER TABLE t ADD C INTEGER");
  {
    auto cursor = Open("t");
    const TDataFile& data = cursor->Table()->DataFile();
    EXPECT_EQ(data.Header().Description, "the table");
    EXPECT_EQ(data.Header().UserMajorVersion, 3);
  }
  Run("ALTER TABLE t DESCRIPTION 'renamed' USER MINOR VERSION 4");
  auto cursor = Open("t");
  const TDataFile& data = cursor->Table()->DataFile();
  EXPECT_EQ(data.Header().Description, "renamed");
  EXPECT_EQ(data.Header().UserMajorVersion, 3);
  EXPECT_EQ(data.Header().UserMinorVersion, 4);
}

TEST_F(AlterTable, NoBackupKeepsNoCopyOfTheOldFiles) {
  Run("ALTER TABLE t ADD C INTEGER");
  EXPECT_TRUE(Exists("t.DBK"));
  std::filesystem::remove(dir_ + "t.DBK");
  std::filesystem::remove(dir_ + "t.IBK");
  Run("ALTER TABLE t ADD D INTEGER NOBACKUP");
  EXPECT_FALSE(Exists("t.DBK"));
  EXPECT_EQ(Contents("t"), (Lines{"1|'one'|'x'|NULL|NULL", "2|'two'|'y'|NULL|NULL"}));
}

TEST_F(AlterTable, LastAutoIncRaisesTheNextNumberInCreateAndAlter) {
  Run("CREATE TABLE a (ID AUTOINC, V INTEGER LAST AUTOINC 100)");
  Run("INSERT INTO a (V) VALUES (1)");
  Run("ALTER TABLE a LAST AUTOINC 500");
  Run("INSERT INTO a (V) VALUES (2)");
  // A value below the last one issued is not taken: ids stay unique.
  Run("ALTER TABLE a LAST AUTOINC 5");
  Run("INSERT INTO a (V) VALUES (3)");
  EXPECT_EQ(Contents("a"), (Lines{"101|1", "501|2", "502|3"}));
}

TEST_F(AlterTable, TextIndexParametersAreStoredByCreateAndAlter) {
  Run("CREATE TABLE x (K INTEGER, T VARCHAR(40), TEXT INDEX (T) STOP WORDS 'a the' SPACE CHARS '-')");
  auto parameters = [&] {
    auto cursor = Open("x");
    TextIndexParameters stored;
    EXPECT_TRUE(stored.Decode(cursor->Table()->IndexFile().ReadParameters()));
    return stored;
  };
  TextIndexParameters expected;
  expected.StopWords = {"a", "the"};
  expected.SpaceChars['-' / 8] = static_cast<uint8_t>(1u << ('-' % 8));
  EXPECT_EQ(parameters(), expected);
  Run("ALTER TABLE x TEXT INDEX (T) INCLUDE CHARS '#'");
  expected.IncludeChars['#' / 8] = static_cast<uint8_t>(1u << ('#' % 8));
  EXPECT_EQ(parameters(), expected);
  Run("ALTER TABLE x ADD U INTEGER AT 1");
  EXPECT_EQ(parameters(), expected);
  auto cursor = Open("x");
  EXPECT_EQ(cursor->Field(cursor->Table()->IndexFile().Definition(kSysTextSlot).FieldNumbers[0]).FieldName, "T");
}

}  // namespace
}  // namespace rudira::selecttest
