// TDataFile on real files: creating, opening and validating, slots and the
// free chain, auto-increment, limits, scrambling, the record cache, header
// writes and emptying.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/errors.h"
#include "storage/byte_codec.h"
#include "storage/data_file.h"
#include "storage/field_type.h"
#include "storage/record_layout.h"
#include "storage/support/storage_test_support.h"

namespace rudira {
namespace {

namespace fs = std::filesystem;

using storagetest::CodeOf;
using storagetest::Field;
using storagetest::FileBytes;
using storagetest::PatchFile;
using storagetest::PatchInt32;

DataFileDefinition Definition(std::vector<TFieldDescriptor> fields) {
  DataFileDefinition definition;
  for (size_t i = 0; i < fields.size(); ++i) fields[i].FieldNo = static_cast<uint16_t>(i + 1);
  definition.Fields = std::move(fields);
  return definition;
}

// A table with an INTEGER and a CHAR(10) field: records of 9 + 5 + 12 = 26 bytes.
DataFileDefinition SmallDefinition() {
  return Definition({Field("N", kFieldTypeInteger), Field("S", kFieldTypeString, 0, 10)});
}

// The small table plain and encrypted, each under its own file name, for
// tests whose record bytes must read back the same either way.
std::vector<std::pair<std::string, DataFileDefinition>> PlainAndEncryptedSmallDefinitions() {
  DataFileDefinition encrypted = SmallDefinition();
  encrypted.Encrypted = true;
  encrypted.Password = "secret";
  return {{"plain.DAT", SmallDefinition()}, {"secret.DAT", encrypted}};
}

class DataFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "datafile-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (fs::path(dir_) / name).string(); }

  // Creates table `name` and closes it again.
  void Create(const std::string& name, const DataFileDefinition& definition) {
    TDataFile file(PathOf(name), false);
    file.CreateTable(definition);
    file.Close();
  }

  // Appends a record with values n and s (s empty: null).
  static int32_t Insert(TDataFile& file, int32_t n, const std::string& s, bool keepOrder = false) {
    TRecord* record = file.AllocateRecord(keepOrder, /*newAutoIncValue=*/false);
    EXPECT_TRUE(StoreFieldValue(record->Data(), file.Fields()[0], n, file.Locale()));
    EXPECT_TRUE(StoreFieldValue(record->Data(), file.Fields()[1], s, file.Locale()));
    return record->RecordNo();
  }

  static void WriteAll(TDataFile& file) {
    file.WriteRecords();
    file.WriteHeader();
    file.WriteDescriptors();
  }

  std::string dir_;
};

TEST_F(DataFileTest, EmptyTableIsHeaderAndDescriptorsOnly) {
  const DataFileDefinition definition =
      Definition({Field("A", kFieldTypeInteger), Field("B", kFieldTypeDate), Field("C", kFieldTypeBoolean)});
  Create("t.DAT", definition);
  const std::vector<uint8_t> bytes = FileBytes(PathOf("t.DAT"));
  EXPECT_EQ(bytes.size(), 127u + 768u * 3);
  EXPECT_EQ(bytes[8], kDataFormatVersion);
  EXPECT_EQ(LoadLE<int32_t>(&bytes[13]), 1);  // NextRecordNumber
  EXPECT_EQ(LoadLE<int32_t>(&bytes[116]), 33000);
  EXPECT_EQ(LoadLE<uint16_t>(&bytes[23]), 3);
  EXPECT_EQ(LoadLE<uint16_t>(&bytes[127 + 768]), 2);  // FieldNo of descriptor 2

  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  EXPECT_EQ(file.Header().NextRecordNumber, 1);
  EXPECT_EQ(file.RecordSlotCount(), 0);
  EXPECT_EQ(file.Fields().size(), 3u);
  EXPECT_EQ(file.Fields()[2].FieldName, "C");
}

TEST_F(DataFileTest, NameWithTrailingBlanksFindsTheSameTable) {
  Create("t.DAT", SmallDefinition());
  {
    TDataFile file(PathOf("t.DAT"), false);
    file.Open();
    Insert(file, 7, "seven");
    WriteAll(file);
  }
  TDataFile blanks(PathOf("t.DAT") + "  ", false);
  blanks.Open();
  ASSERT_EQ(blanks.RecordSlotCount(), 1);
  EXPECT_EQ(ReadFieldValue(blanks.GetRecord(1)->Data(), blanks.Fields()[1]), TFieldValue(std::string("seven")));
  // Both names share the one open file.
  TDataFile plain(PathOf("t.DAT"), false);
  plain.Open();
  EXPECT_EQ(plain.FileObject(), blanks.FileObject());
}

TEST_F(DataFileTest, StringRulesSurviveTheFile) {
  Create("t.DAT", SmallDefinition());
  {
    TDataFile file(PathOf("t.DAT"), false);
    file.Open();
    Insert(file, 1, "go  ");
    Insert(file, 2, "");
    WriteAll(file);
  }
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  EXPECT_EQ(ReadFieldValue(file.GetRecord(1)->Data(), file.Fields()[1]), TFieldValue(std::string("go")));
  EXPECT_TRUE(IsFieldNull(file.GetRecord(2)->Data(), file.Fields()[1]));
}

TEST_F(DataFileTest, DeletedSlotsAreReusedLastDeletedFirstThenAppended) {
  Create("t.DAT", SmallDefinition());
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(Insert(file, i, "r"), i);
  file.DeleteRecord(3);
  file.DeleteRecord(5);
  WriteAll(file);
  EXPECT_EQ(file.Header().FirstFreeRecord, 5);
  // On disk: record 5 is deleted and links to 3, record 3 ends the chain.
  const std::vector<uint8_t> bytes = FileBytes(PathOf("t.DAT"));
  const size_t start = 127 + 768 * 2;
  const size_t recordSize = file.RecordSize();
  EXPECT_EQ(LoadLE<int32_t>(&bytes[9]), 5);
  EXPECT_EQ(bytes[start + 4 * recordSize], kRecordDeleted);
  EXPECT_EQ(LoadLE<int32_t>(&bytes[start + 4 * recordSize + 1]), 3);
  EXPECT_EQ(bytes[start + 2 * recordSize], kRecordDeleted);
  EXPECT_EQ(LoadLE<int32_t>(&bytes[start + 2 * recordSize + 1]), 0);

  EXPECT_EQ(file.InsertRecordNumber(false), 5);
  EXPECT_EQ(Insert(file, 50, "five"), 5);
  EXPECT_EQ(Insert(file, 30, "three"), 3);
  EXPECT_EQ(Insert(file, 70, "seven"), 7);
  EXPECT_EQ(file.Header().FirstFreeRecord, 0);
  const uint8_t* reused = file.GetRecord(5)->Data();
  EXPECT_EQ(RecordStatus(reused), kRecordInUse);
  EXPECT_EQ(RecordNumberOrLink(reused), 5);
  EXPECT_EQ(ReadFieldValue(reused, file.Fields()[0]), TFieldValue(int32_t{50}));
}

TEST_F(DataFileTest, InsertionOrderTablesNeverReuseSlots) {
  Create("t.DAT", SmallDefinition());
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  Insert(file, 1, "a");
  Insert(file, 2, "b");
  file.DeleteRecord(1);
  EXPECT_EQ(file.InsertRecordNumber(true), 3);
  EXPECT_EQ(Insert(file, 3, "c", /*keepOrder=*/true), 3);
  EXPECT_EQ(file.Header().FirstFreeRecord, 1);
}

TEST_F(DataFileTest, DeletingADeletedRecordIsRefused) {
  Create("t.DAT", SmallDefinition());
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  Insert(file, 1, "a");
  file.DeleteRecord(1);
  EXPECT_EQ(CodeOf([&] { file.DeleteRecord(1); }), RUDIRA_KEYORRECDELETED);
  EXPECT_EQ(RecordNumberOrLink(file.GetRecord(1)->Data()), 0);  // the chain is not a loop
}

TEST_F(DataFileTest, BrokenFreeChainIsCorruption) {
  Create("t.DAT", SmallDefinition());
  {
    TDataFile file(PathOf("t.DAT"), false);
    file.Open();
    Insert(file, 1, "a");
    Insert(file, 2, "b");
    WriteAll(file);
  }
  PatchInt32(PathOf("t.DAT"), 9, 2);  // FirstFreeRecord names a record in use
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  EXPECT_EQ(CodeOf([&] { file.AllocateRecord(false, false); }), RUDIRA_FILECORRUPT);
}

TEST_F(DataFileTest, RecordOf65536BytesIsRefusedBeforeAnyFileExists) {
  std::vector<TFieldDescriptor> fields;
  for (int i = 0; i < 260; ++i) fields.push_back(Field("F" + std::to_string(i), kFieldTypeString, 0, 250));
  fields.push_back(Field("LAST", kFieldTypeBytes, 0, 6));
  TDataFile file(PathOf("big.DAT"), false);
  EXPECT_EQ(CodeOf([&] { file.CreateTable(Definition(fields)); }), RUDIRA_RECTOOBIG);
  EXPECT_FALSE(fs::exists(PathOf("big.DAT")));
}

TEST_F(DataFileTest, AutoIncAndIntegerRecordIsFourteenBytes) {
  Create("t.DAT", Definition({Field("ID", kFieldTypeInteger, kSubTypeAutoInc), Field("N", kFieldTypeInteger)}));
  const std::vector<uint8_t> bytes = FileBytes(PathOf("t.DAT"));
  EXPECT_EQ(LoadLE<uint16_t>(&bytes[21]), 14);
  EXPECT_EQ(LoadLE<uint16_t>(&bytes[127 + 90]), 5);        // AUTOINC offset
  EXPECT_EQ(LoadLE<uint16_t>(&bytes[127 + 768 + 90]), 9);  // INTEGER offset
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  TRecord* record = file.AllocateRecord(false, /*newAutoIncValue=*/true);
  EXPECT_EQ(ReadFieldValue(record->Data(), file.Fields()[0]), TFieldValue(int32_t{1}));
  EXPECT_EQ(file.Header().LastAutoIncValue, 1);
}

TEST_F(DataFileTest, AutoIncrementWrapsToOne) {
  Create("t.DAT", Definition({Field("ID", kFieldTypeInteger, kSubTypeAutoInc), Field("N", kFieldTypeInteger)}));
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  file.SetLastAutoIncValue(2147483646);
  EXPECT_EQ(RecordAutoIncValue(file.AllocateRecord(false, true)->Data()), 2147483647);
  EXPECT_EQ(RecordAutoIncValue(file.AllocateRecord(false, true)->Data()), 1);
  EXPECT_EQ(file.Header().LastAutoIncValue, 1);
  file.SetLastAutoIncValue(2147483647);
  EXPECT_EQ(file.NextAutoIncValue(), 1);
}

struct CorruptionCase {
  const char* name;
  std::function<void(const std::string& path)> spoil;
  uint16_t code;
};

TEST_F(DataFileTest, OpenRefusesInconsistentFiles) {
  const CorruptionCase cases[] = {
      {"length not whole records",
       [](const std::string& path) {
         std::ofstream(path, std::ios::binary | std::ios::app).put('x');
       },
       RUDIRA_HEADERCORRUPT},
      {"fewer records than the header says", [](const std::string& path) { PatchInt32(path, 13, 3); },
       RUDIRA_HEADERCORRUPT},
      {"free chain past the records", [](const std::string& path) { PatchInt32(path, 9, 2); },
       RUDIRA_HEADERCORRUPT},
      {"wrong format version",
       [](const std::string& path) {
         const uint8_t version = 4;
         PatchFile(path, 8, &version, 1);
       },
       RUDIRA_OLDVERSION},
      {"record size off", [](const std::string& path) {
         uint8_t size[2];
         StoreLE<uint16_t>(size, 27);
         PatchFile(path, 21, size, 2);
       },
       RUDIRA_HEADERCORRUPT},
      {"descriptor offset off", [](const std::string& path) {
         uint8_t offset[2];
         StoreLE<uint16_t>(offset, 10);
         PatchFile(path, 127 + 90, offset, 2);
       },
       RUDIRA_HEADERCORRUPT},
      {"duplicate field name", [](const std::string& path) {
         const uint8_t name = 'N';
         PatchFile(path, 127 + 768 + 3, &name, 1);
       },
       RUDIRA_HEADERCORRUPT},
      {"width not from the type", [](const std::string& path) {
         const uint8_t width = 5;
         PatchFile(path, 127 + 88, &width, 1);
       },
       RUDIRA_HEADERCORRUPT},
      {"unknown locale", [](const std::string& path) {
         uint8_t language[2];
         StoreLE<int16_t>(language, 0x7FF7);
         PatchFile(path, 103, language, 2);
       },
       RUDIRA_CANNOTLOADLDDRV},
      {"too short for the header", [](const std::string& path) { fs::resize_file(path, 100); },
       RUDIRA_HEADERCORRUPT},
  };
  for (const CorruptionCase& c : cases) {
    const std::string name = std::string(c.name) + ".DAT";
    {
      TDataFile file(PathOf(name), false);
      file.CreateTable(SmallDefinition());
      Insert(file, 1, "one");
      WriteAll(file);
      file.Close();
    }
    c.spoil(PathOf(name));
    TDataFile file(PathOf(name), false);
    file.SetExclusive(true);
    EXPECT_EQ(CodeOf([&] { file.Open(); }), c.code) << c.name;
    EXPECT_FALSE(file.Opened()) << c.name;
    // The failed open closed the file: an exclusive open is possible again.
    TDataFile again(PathOf(name), false);
    again.SetExclusive(true);
    EXPECT_EQ(CodeOf([&] { again.Open(); }), c.code) << c.name;
  }
}

TEST_F(DataFileTest, AppendBeyondTheFileEndLimitIsRefused) {
  // Records of 65535 bytes: the 4,000,000,000-byte end binds long before
  // the record count. The file is made sparse at the largest valid length.
  std::vector<TFieldDescriptor> fields;
  for (int i = 0; i < 260; ++i) fields.push_back(Field("F" + std::to_string(i), kFieldTypeString, 0, 250));
  fields.push_back(Field("LAST", kFieldTypeBytes, 0, 5));
  Create("wide.DAT", Definition(fields));
  const int64_t start = 127 + 768 * 261;
  const int64_t fitting = (4000000000LL - start) / 65535;  // records that end at or before the limit
  fs::resize_file(PathOf("wide.DAT"), static_cast<uintmax_t>(start + (fitting - 1) * 65535));
  PatchInt32(PathOf("wide.DAT"), 13, static_cast<int32_t>(fitting));  // NextRecordNumber
  TDataFile file(PathOf("wide.DAT"), false);
  file.Open();
  EXPECT_EQ(file.AllocateRecord(false, false)->RecordNo(), fitting);
  EXPECT_EQ(CodeOf([&] { file.AllocateRecord(false, false); }), RUDIRA_TABLEFULL);
  EXPECT_EQ(file.Header().NextRecordNumber, fitting + 1);
}

TEST_F(DataFileTest, AppendBeyond200MillionRecordsIsRefused) {
  Create("many.DAT", Definition({Field("L", kFieldTypeBoolean)}));  // records of 12 bytes
  const int64_t start = 127 + 768;
  fs::resize_file(PathOf("many.DAT"), static_cast<uintmax_t>(start + 199999999LL * 12));
  PatchInt32(PathOf("many.DAT"), 13, 200000000);
  TDataFile file(PathOf("many.DAT"), false);
  file.Open();
  EXPECT_EQ(file.AllocateRecord(false, false)->RecordNo(), 200000000);
  EXPECT_EQ(CodeOf([&] { file.AllocateRecord(false, false); }), RUDIRA_TABLEFULL);
}

TEST_F(DataFileTest, EncryptedTableRoundTripsAndDiffersOnDisk) {
  DataFileDefinition plainDefinition = SmallDefinition();
  plainDefinition.Description = "棋譜の表";
  DataFileDefinition encryptedDefinition = plainDefinition;
  encryptedDefinition.Encrypted = true;
  encryptedDefinition.Password = "secret";
  for (const auto& [name, definition] :
       {std::pair{"plain.DAT", plainDefinition}, std::pair{"secret.DAT", encryptedDefinition}}) {
    TDataFile file(PathOf(name), false);
    file.CreateTable(definition);
    Insert(file, 1234, "黒石");
    Insert(file, -5, "white");
    WriteAll(file);
    file.Close();
  }
  const std::vector<uint8_t> plain = FileBytes(PathOf("plain.DAT"));
  const std::vector<uint8_t> secret = FileBytes(PathOf("secret.DAT"));
  ASSERT_EQ(plain.size(), secret.size());
  // Descriptors and records differ byte for byte: the scrambling mask is never 0.
  for (size_t i = 127; i < plain.size(); ++i) ASSERT_NE(plain[i], secret[i]) << i;
  // The description's length byte is kept, its characters are scrambled.
  EXPECT_EQ(plain[35], secret[35]);
  EXPECT_NE(std::memcmp(&plain[36], &secret[36], plain[35]), 0);
  EXPECT_EQ(secret[86], 1);
  EXPECT_EQ(secret[87], 6);
  EXPECT_NE(std::memcmp(&secret[88], "secret", 6), 0);
  EXPECT_EQ(plain[87], 0);

  TDataFile file(PathOf("secret.DAT"), false);
  file.Open();
  EXPECT_EQ(file.Description(), "棋譜の表");
  EXPECT_EQ(file.Password(), "secret");
  EXPECT_EQ(file.Fields()[1].FieldName, "S");
  EXPECT_EQ(ReadFieldValue(file.GetRecord(1)->Data(), file.Fields()[0]), TFieldValue(int32_t{1234}));
  EXPECT_EQ(ReadFieldValue(file.GetRecord(1)->Data(), file.Fields()[1]), TFieldValue(std::string("黒石")));
  EXPECT_EQ(ReadFieldValue(file.GetRecord(2)->Data(), file.Fields()[1]), TFieldValue(std::string("white")));
}

TEST_F(DataFileTest, HeaderWritesCountAndStampEveryWrite) {
  Create("t.DAT", SmallDefinition());
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  const int32_t created = file.Header().ChangeCount;
  file.WriteHeader();  // not modified: nothing written
  EXPECT_EQ(LoadLE<int32_t>(FileBytes(PathOf("t.DAT")).data()), created);
  Insert(file, 1, "a");
  file.WriteRecords();
  file.WriteHeader();
  file.WriteHeader(/*force=*/true);
  const std::vector<uint8_t> bytes = FileBytes(PathOf("t.DAT"));
  EXPECT_EQ(LoadLE<int32_t>(&bytes[0]), created + 2);
  EXPECT_EQ(LoadLE<int32_t>(&bytes[116]), 33000);
  EXPECT_EQ(LoadLE<int32_t>(&bytes[13]), 2);
  // LastUpdated: now as days since 1899-12-30, minus 693594.
  EXPECT_NEAR(LoadDoubleLE(&bytes[27]), NowAsDays() - 693594.0, 1.0 / 24);
  EXPECT_EQ(bytes[111], 0);  // the forced write found nothing modified
}

TEST_F(DataFileTest, ChangeNotifierAndRereadSeeOtherWriters) {
  Create("t.DAT", SmallDefinition());
  TDataFile reader(PathOf("t.DAT"), false);
  reader.Open();
  TDataFile writer(PathOf("t.DAT"), false);
  writer.Open();
  int notified = 0;
  writer.SetChangeNotifier([&] { ++notified; });
  EXPECT_FALSE(reader.RereadHeader());
  Insert(writer, 9, "nine");
  writer.WriteRecords();
  writer.WriteHeader();
  EXPECT_EQ(notified, 1);
  EXPECT_TRUE(reader.RereadHeader());
  EXPECT_EQ(reader.RecordSlotCount(), 1);
  EXPECT_EQ(ReadFieldValue(reader.GetRecord(1)->Data(), reader.Fields()[0]), TFieldValue(int32_t{9}));
}

TEST_F(DataFileTest, AnotherProcessesWritesAreSeenThroughTheChangeCount) {
  Create("t.DAT", SmallDefinition());
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  Insert(file, 1, "mine");
  Insert(file, 2, "mine too");
  WriteAll(file);
  file.DropCache();
  file.GetRecord(1);  // reads the run 1..2; record 2 is not asked for
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child changes the table through its own copy of the data file.
    int status = 0;
    try {
      TRecord* record = file.GetRecord(1);
      if (!StoreFieldValue(record->Data(), file.Fields()[1], std::string("theirs"), file.Locale())) status = 2;
      file.MarkRecordModified(record);
      record = file.GetRecord(2);
      if (!StoreFieldValue(record->Data(), file.Fields()[1], std::string("theirs too"), file.Locale())) status = 2;
      file.MarkRecordModified(record);
      Insert(file, 3, "new");
      WriteAll(file);
    } catch (...) {
      status = 3;
    }
    ::_exit(status);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  // The records read still show the old bytes until the change is noticed.
  EXPECT_EQ(ReadFieldValue(file.GetRecord(1)->Data(), file.Fields()[1]), TFieldValue(std::string("mine")));
  EXPECT_EQ(ReadFieldValue(file.GetRecord(2)->Data(), file.Fields()[1]), TFieldValue(std::string("mine too")));
  file.DropCache();
  file.GetRecord(1);
  ASSERT_TRUE(file.RereadHeader());
  file.DropCache();
  EXPECT_EQ(file.RecordSlotCount(), 3);
  EXPECT_EQ(ReadFieldValue(file.GetRecord(1)->Data(), file.Fields()[1]), TFieldValue(std::string("theirs")));
  EXPECT_EQ(ReadFieldValue(file.GetRecord(2)->Data(), file.Fields()[1]), TFieldValue(std::string("theirs too")));
  EXPECT_EQ(ReadFieldValue(file.GetRecord(3)->Data(), file.Fields()[1]), TFieldValue(std::string("new")));
  EXPECT_FALSE(file.RereadHeader());
}

TEST_F(DataFileTest, ReadsComeInRunsOfAboutEightKilobytes) {
  Create("t.DAT", SmallDefinition());  // 26-byte records: 315 per run
  {
    TDataFile file(PathOf("t.DAT"), false);
    file.Open();
    for (int i = 1; i <= 1000; ++i) Insert(file, i, "r");
    WriteAll(file);
  }
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  EXPECT_EQ(file.ReadAheadCount(), 8192 / 26);
  // A second user rewrites records while the reader does not look at the
  // change count: the reader keeps showing the records its last runs read.
  TDataFile writer(PathOf("t.DAT"), false);
  writer.Open();
  const auto rewrite = [&](std::initializer_list<int32_t> numbers) {
    for (int32_t n : numbers) {
      TRecord* record = writer.GetRecord(n);
      ASSERT_TRUE(StoreFieldValue(record->Data(), writer.Fields()[1], std::string("changed"), writer.Locale()));
      writer.MarkRecordModified(record);
    }
    WriteAll(writer);
  };
  const auto text = [&](int32_t n) { return ReadFieldValue(file.GetRecord(n)->Data(), file.Fields()[1]); };
  const TFieldValue before(std::string("r"));
  const TFieldValue changed(std::string("changed"));
  file.GetRecord(1);
  rewrite({2, 315, 316});
  EXPECT_EQ(text(2), before);
  EXPECT_EQ(text(315), before);
  EXPECT_EQ(text(316), changed);
  // A run is cut at the last record.
  file.DropCache();
  file.GetRecord(900);
  rewrite({1000});
  EXPECT_EQ(text(1000), before);
  // A backward run ends at the wanted record.
  file.DropCache();
  file.GetRecord(400, /*backward=*/true);
  rewrite({85, 86, 401});
  EXPECT_EQ(text(86), before);
  EXPECT_EQ(text(85), changed);
  EXPECT_EQ(text(401), changed);
  for (int32_t n : {86, 200, 400}) {
    EXPECT_EQ(ReadFieldValue(file.GetRecord(n)->Data(), file.Fields()[0]), TFieldValue(n));
  }
}

TEST_F(DataFileTest, RecordsWrittenBackAndEvictedReadBackAsWritten) {
  for (const auto& [name, definition] : PlainAndEncryptedSmallDefinitions()) {
    SCOPED_TRACE(name);
    Create(name, definition);
    TDataFile file(PathOf(name), false);
    file.SetBufferLimits({.MaxBytes = 26 * 4, .MaxCount = 8192});
    file.Open();
    for (int i = 1; i <= 50; ++i) Insert(file, i, "old");
    WriteAll(file);
    file.DropCache();
    // Record 2 comes from the run over 1..50 that record 1 read, is changed
    // and written back, then leaves the four-record cache while that run is
    // still the last one read.
    file.GetRecord(1);
    TRecord* second = file.GetRecord(2);
    ASSERT_TRUE(StoreFieldValue(second->Data(), file.Fields()[1], std::string("new"), file.Locale()));
    file.MarkRecordModified(second);
    file.WriteRecords();
    for (int32_t n = 3; n <= 10; ++n) file.GetRecord(n);
    ASSERT_EQ(file.Cache().Peek(2), nullptr);
    EXPECT_EQ(ReadFieldValue(file.GetRecord(2)->Data(), file.Fields()[1]), TFieldValue(std::string("new")));
    EXPECT_EQ(ReadFieldValue(file.GetRecord(1)->Data(), file.Fields()[1]), TFieldValue(std::string("old")));
  }
}

TEST_F(DataFileTest, RecentRecordsAreFoundBeforeSearching) {
  Create("t.DAT", SmallDefinition());
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  for (int i = 1; i <= 10; ++i) Insert(file, i, "r");
  const uint64_t before = file.Cache().MruHits();
  for (int round = 0; round < 3; ++round) {
    for (int32_t n : {7, 8, 9, 10}) file.GetRecord(n);
  }
  EXPECT_EQ(file.Cache().MruHits() - before, 12u);
  const uint64_t searched = file.Cache().SearchHits();
  file.GetRecord(1);
  EXPECT_EQ(file.Cache().SearchHits(), searched + 1);
}

TEST_F(DataFileTest, CacheKeepsToItsLimitsAndWritesBackOnEviction) {
  Create("t.DAT", SmallDefinition());
  TDataFile file(PathOf("t.DAT"), false);
  file.SetBufferLimits({.MaxBytes = 26 * 20, .MaxCount = 8192});
  file.Open();
  EXPECT_EQ(file.Cache().Capacity(), 20u);
  for (int i = 1; i <= 100; ++i) {
    Insert(file, i, "value " + std::to_string(i));
    EXPECT_LE(file.Cache().Count(), 20u);
  }
  file.WriteRecords();
  file.WriteHeader();
  // Every record reached the file, whether written on eviction or at the end.
  TDataFile check(PathOf("t.DAT"), false);
  check.Open();
  ASSERT_EQ(check.RecordSlotCount(), 100);
  for (int32_t n = 1; n <= 100; ++n) {
    EXPECT_EQ(ReadFieldValue(check.GetRecord(n)->Data(), check.Fields()[1]),
              TFieldValue("value " + std::to_string(n)));
  }
}

TEST_F(DataFileTest, PinnedRecordsStayAndTheCacheGrows) {
  Create("t.DAT", SmallDefinition());
  TDataFile file(PathOf("t.DAT"), false);
  file.SetBufferLimits({.MaxBytes = 26 * 4, .MaxCount = 8192});
  file.Open();
  std::vector<TRecord*> pinned;
  for (int i = 1; i <= 4; ++i) {
    TRecord* record = file.AllocateRecord(false, false);
    record->Pin();
    pinned.push_back(record);
  }
  TRecord* fifth = file.AllocateRecord(false, false);
  EXPECT_EQ(fifth->RecordNo(), 5);
  EXPECT_EQ(file.Cache().Capacity(), 4u + 64u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(file.Cache().Peek(i + 1), pinned[i]);
  for (TRecord* record : pinned) record->Unpin();
}

TEST_F(DataFileTest, InTransactionModifiedRecordsAreNotWrittenToMakeRoom) {
  Create("t.DAT", SmallDefinition());
  TDataFile file(PathOf("t.DAT"), false);
  file.SetBufferLimits({.MaxBytes = 26 * 4, .MaxCount = 8192});
  file.Open();
  file.SetInTransaction(true);
  for (int i = 1; i <= 10; ++i) Insert(file, i, "t");
  EXPECT_EQ(FileBytes(PathOf("t.DAT")).size(), 127u + 768 * 2);  // nothing written yet
  EXPECT_EQ(file.Cache().Count(), 10u);
  file.SetInTransaction(false);
  file.WriteRecords();
  EXPECT_EQ(FileBytes(PathOf("t.DAT")).size(), 127u + 768 * 2 + 10 * 26);
}

TEST_F(DataFileTest, CachedChangesWinOverTheFileInARun) {
  Create("t.DAT", SmallDefinition());
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  for (int i = 1; i <= 5; ++i) Insert(file, i, "disk");
  WriteAll(file);
  file.DropCache();
  TRecord* third = file.GetRecord(3, /*backward=*/true);  // run 1..3
  ASSERT_TRUE(StoreFieldValue(third->Data(), file.Fields()[1], std::string("cache"), file.Locale()));
  file.MarkRecordModified(third);
  file.DropCache();  // drops the change: nothing was written
  EXPECT_EQ(ReadFieldValue(file.GetRecord(3)->Data(), file.Fields()[1]), TFieldValue(std::string("disk")));
  TRecord* again = file.GetRecord(3);
  ASSERT_TRUE(StoreFieldValue(again->Data(), file.Fields()[1], std::string("cache"), file.Locale()));
  file.MarkRecordModified(again);
  // Record 6 is appended in the cache only: a run over 1..6 reads 5 records
  // from the file and keeps the cached 3 and 6.
  const int32_t appended = Insert(file, 6, "new");
  file.GetRecord(1);
  EXPECT_EQ(ReadFieldValue(file.GetRecord(3)->Data(), file.Fields()[1]), TFieldValue(std::string("cache")));
  EXPECT_EQ(ReadFieldValue(file.GetRecord(appended)->Data(), file.Fields()[1]), TFieldValue(std::string("new")));
  EXPECT_EQ(ReadFieldValue(file.GetRecord(2)->Data(), file.Fields()[1]), TFieldValue(std::string("disk")));
}

// ReadRecordBytes serves a record of the last run from the run's bytes
// without installing it; cached records (changed, appended or written back)
// still win, and a record outside the run is read and installed.
TEST_F(DataFileTest, ReadRecordBytesSeeWhatGetRecordSees) {
  for (const auto& [name, definition] : PlainAndEncryptedSmallDefinitions()) {
    SCOPED_TRACE(name);
    Create(name, definition);
    TDataFile file(PathOf(name), false);
    file.SetBufferLimits({.MaxBytes = 26 * 4, .MaxCount = 8192});
    file.Open();
    for (int i = 1; i <= 400; ++i) Insert(file, i, "disk " + std::to_string(i));
    WriteAll(file);
    file.DropCache();
    std::vector<std::string> expected(401);
    for (int i = 1; i <= 400; ++i) expected[static_cast<size_t>(i)] = "disk " + std::to_string(i);
    auto change = [&](int32_t n, const std::string& text) {
      TRecord* record = file.GetRecord(n);
      ASSERT_TRUE(StoreFieldValue(record->Data(), file.Fields()[1], text, file.Locale()));
      file.MarkRecordModified(record);
      expected[static_cast<size_t>(n)] = text;
    };
    // Record 1 reads the run 1..315 (8192 / 26 records); 5 is written back
    // while that run is the last one and then leaves the four-record cache;
    // 3 stays changed in the cache.
    file.ReadRecordBytes(1);
    change(5, "written");
    file.WriteRecords();
    for (int32_t n = 6; n <= 9; ++n) file.GetRecord(n);
    ASSERT_EQ(file.Cache().Peek(5), nullptr);
    change(3, "cached");
    const int32_t appended = Insert(file, 401, "appended");
    expected.push_back("appended");
    ASSERT_EQ(appended, 401);
    for (int32_t n = 1; n <= 401; ++n) {
      const uint8_t* bytes = file.ReadRecordBytes(n);
      EXPECT_EQ(ReadFieldValue(bytes, file.Fields()[1]), TFieldValue(expected[static_cast<size_t>(n)])) << n;
      EXPECT_EQ(ReadFieldValue(bytes, file.Fields()[0]), TFieldValue(n)) << n;
    }
    // Records 10..315 came from the run and were not installed; 316, the
    // first of the next run, was.
    EXPECT_EQ(file.Cache().Peek(200), nullptr);
    EXPECT_NE(file.Cache().Peek(316), nullptr);
    for (int32_t n : {1, 3, 5, 200, 316, 401}) {
      EXPECT_EQ(ReadFieldValue(file.GetRecord(n)->Data(), file.Fields()[1]),
                TFieldValue(expected[static_cast<size_t>(n)])) << n;
    }
    for (int32_t n : {0, 402}) EXPECT_EQ(CodeOf([&] { file.ReadRecordBytes(n); }), RUDIRA_FILECORRUPT) << n;
  }
}

TEST_F(DataFileTest, FileShorterThanItsSlotsIsAReadError) {
  Create("t.DAT", SmallDefinition());
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  for (int i = 1; i <= 5; ++i) Insert(file, i, "disk");
  WriteAll(file);
  file.DropCache();
  fs::resize_file(PathOf("t.DAT"), 127 + 768 * 2 + 3 * 26);
  EXPECT_EQ(CodeOf([&] { file.GetRecord(5); }), RUDIRA_READERR);
  EXPECT_EQ(CodeOf([&] { file.GetRecord(2); }), RUDIRA_READERR);  // the run over 2..5 is short
  EXPECT_EQ(CodeOf([&] { file.ReadRecordBytes(4); }), RUDIRA_READERR);
}

TEST_F(DataFileTest, RecordNumbersOutsideTheSlotsAreRefused) {
  Create("t.DAT", SmallDefinition());
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  Insert(file, 1, "a");
  EXPECT_EQ(CodeOf([&] { file.GetRecord(0); }), RUDIRA_FILECORRUPT);
  EXPECT_EQ(CodeOf([&] { file.GetRecord(2); }), RUDIRA_FILECORRUPT);
}

TEST_F(DataFileTest, EmptyingLeavesHeaderAndDescriptors) {
  Create("t.DAT", Definition({Field("ID", kFieldTypeInteger, kSubTypeAutoInc), Field("N", kFieldTypeInteger)}));
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  for (int i = 0; i < 5; ++i) file.AllocateRecord(false, true);
  file.DeleteRecord(2);
  WriteAll(file);
  file.Empty();
  EXPECT_EQ(FileBytes(PathOf("t.DAT")).size(), 127u + 768 * 2);
  EXPECT_EQ(file.Header().NextRecordNumber, 1);
  EXPECT_EQ(file.Header().FirstFreeRecord, 0);
  EXPECT_EQ(file.Header().LastAutoIncValue, 0);
  EXPECT_EQ(file.Cache().Count(), 0u);
  EXPECT_EQ(file.AllocateRecord(false, true)->RecordNo(), 1);
  file.Close();
  TDataFile reopened(PathOf("t.DAT"), false);
  reopened.Open();
  EXPECT_EQ(reopened.Header().ChangeCount, 1);  // reset to 0, then written once
  EXPECT_EQ(reopened.RecordSlotCount(), 0);
}

TEST_F(DataFileTest, FieldAttributesChangeInPlace) {
  Create("t.DAT", SmallDefinition());
  {
    TDataFile file(PathOf("t.DAT"), false);
    file.Open();
    Insert(file, 4, "x");
    EXPECT_EQ(CodeOf([&] { file.UpdateFieldAttributes(0, "s", "", false, "", "", ""); }),
              RUDIRA_INVALIDFIELDNAME);
    EXPECT_EQ(CodeOf([&] { file.UpdateFieldAttributes(0, "N", "", false, "x", "", ""); }),
              RUDIRA_INVALIDVCHKSTRUCT);
    EXPECT_EQ(CodeOf([&] { file.UpdateFieldAttributes(5, "N", "", false, "", "", ""); }), RUDIRA_OUTOFRANGE);
    file.UpdateFieldAttributes(0, "Number", "the number", true, "1", "99", "5");
    WriteAll(file);
  }
  TDataFile file(PathOf("t.DAT"), false);
  file.Open();
  const TFieldDescriptor& field = file.Fields()[0];
  EXPECT_EQ(field.FieldName, "Number");
  EXPECT_EQ(field.FieldDescription, "the number");
  EXPECT_EQ(field.Required, 1);
  EXPECT_EQ(field.MaxValue, "99");
  EXPECT_EQ(field.DefaultValue, "5");
  EXPECT_EQ(ReadFieldValue(file.GetRecord(1)->Data(), field), TFieldValue(int32_t{4}));
}

TEST_F(DataFileTest, InMemoryTableKeepsItsRecords) {
  const std::string name = PathOf("mem.DAT");
  {
    TDataFile file(name, true);
    file.CreateTable(SmallDefinition());
    Insert(file, 42, "memory");
    WriteAll(file);
    file.Close();
  }
  TDataFile file(name, true);
  file.Open();
  ASSERT_EQ(file.RecordSlotCount(), 1);
  EXPECT_EQ(ReadFieldValue(file.GetRecord(1)->Data(), file.Fields()[1]), TFieldValue(std::string("memory")));
  file.Close();
  file.Remove();
}

}  // namespace
}  // namespace rudira
