// BLOB values together with their table's data file: the block size and the
// stamps come from the data header (stamps wrap from 2147483647 to 1), and
// the reference lives in the record's BLOB field.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "engine/errors.h"
#include "storage/blob_buffer.h"
#include "storage/blob_file.h"
#include "storage/data_file.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/support/blob_test_files.h"

namespace rudira {
namespace {

using blobtest::CodeOf;
using blobtest::PatchInt32;
using blobtest::PatternBytes;

constexpr int64_t kLastBlobStampOffset = 112;  // in the data header

class BlobRecordTest : public blobtest::TBlobTest {
 protected:
  // A table with an INTEGER and a MEMO field and the given block size.
  void CreateTable(uint32_t blockSize) {
    DataFileDefinition definition;
    TFieldDescriptor number;
    number.FieldNo = 1;
    number.FieldName = "N";
    number.FieldType = kFieldTypeInteger;
    TFieldDescriptor memo;
    memo.FieldNo = 2;
    memo.FieldName = "M";
    memo.FieldType = kFieldTypeBlob;
    memo.SubType = kSubTypeMemo;
    definition.Fields = {number, memo};
    definition.BlobBlockSize = blockSize;
    CheckBlobBlockSize(definition.BlobBlockSize, "", "T");
    TDataFile data(PathOf("T.DAT"), false);
    data.CreateTable(definition);
    data.Close();
    TBlobFile blobs(PathOf("T.BLB"), false);
    blobs.SetBlockSize(definition.BlobBlockSize);
    blobs.CreateNew();
    blobs.Close();
  }

  // Opens both files the way a table does: the BLOB file with the data
  // header's block size.
  void OpenTable(TDataFile& data, TBlobFile& blobs) {
    data.Open();
    blobs.SetBlockSize(data.Header().BlobBlockSize);
    blobs.SetEncrypted(data.Header().Encrypted != 0);
    blobs.Open();
  }

  // The reference in the record's BLOB field; a null field has none.
  static BlobReference FieldReference(const TDataFile& data, const TRecord* record) {
    const TFieldValue value = ReadFieldValue(record->Data(), data.Fields()[1]);
    return std::holds_alternative<BlobReference>(value) ? std::get<BlobReference>(value) : BlobReference{};
  }

  static void SetFieldReference(TDataFile& data, TRecord* record, const BlobReference& reference) {
    if (HasBlob(reference)) {
      ASSERT_TRUE(StoreFieldValue(record->Data(), data.Fields()[1], reference, data.Locale()));
    } else {
      StoreFieldNull(record->Data(), data.Fields()[1]);
    }
    data.MarkRecordModified(record);
  }

  // Writes `value` into record n's BLOB field with the next stamp.
  static void PostValue(TDataFile& data, TBlobFile& blobs, int32_t recordNo, const std::vector<uint8_t>& value) {
    TRecord* record = data.GetRecord(recordNo);
    TBlobBuffer buffer(blobs, FieldReference(data, record));
    buffer.Assign(value.data(), value.size());
    buffer.WriteValue(data.NextBlobStamp());
    SetFieldReference(data, data.GetRecord(recordNo), buffer.Reference());
    blobs.WriteBlocks();
    blobs.WriteHeader();
    data.WriteRecords();
    data.WriteHeader();
  }
};

TEST_F(BlobRecordTest, ReferenceInTheRecordFindsTheValueAfterReopening) {
  CreateTable(1024);
  const std::vector<uint8_t> value = PatternBytes(5000, 1);
  {
    TDataFile data(PathOf("T.DAT"), false);
    TBlobFile blobs(PathOf("T.BLB"), false);
    OpenTable(data, blobs);
    EXPECT_EQ(blobs.BlockSize(), 1024u);
    const int32_t recordNo = data.AllocateRecord(false, false)->RecordNo();
    PostValue(data, blobs, recordNo, value);
    EXPECT_EQ(data.Header().LastBlobStamp, 1);
    data.Close();
    blobs.Close();
  }
  TDataFile data(PathOf("T.DAT"), false);
  TBlobFile blobs(PathOf("T.BLB"), false);
  OpenTable(data, blobs);
  const BlobReference reference = FieldReference(data, data.GetRecord(1));
  EXPECT_EQ(reference, (BlobReference{1, 1}));
  // The field's 8 data bytes: first block, then stamp.
  const uint8_t* field = data.GetRecord(1)->Data() + data.Fields()[1].Offset;
  EXPECT_EQ(std::vector<uint8_t>(field, field + 9), (std::vector<uint8_t>{1, 1, 0, 0, 0, 1, 0, 0, 0}));
  TBlobBuffer buffer(blobs, reference);
  ASSERT_TRUE(buffer.ReadValue());
  EXPECT_EQ(buffer.Value(), value);
  EXPECT_EQ(blobs.BlockCount(), 5);  // 5000 bytes in blocks of 1006
}

TEST_F(BlobRecordTest, StampsWrapAndAStaleRecordIsRefused) {
  CreateTable(0);
  TDataFile data(PathOf("T.DAT"), false);
  TBlobFile blobs(PathOf("T.BLB"), false);
  OpenTable(data, blobs);
  EXPECT_EQ(blobs.BlockSize(), 512u);
  const int32_t recordNo = data.AllocateRecord(false, false)->RecordNo();
  data.WriteRecords();
  data.WriteHeader();
  data.Close();
  PatchInt32(PathOf("T.DAT"), kLastBlobStampOffset, 2147483646);
  data.Open();

  PostValue(data, blobs, recordNo, PatternBytes(1000, 1));
  const BlobReference first = FieldReference(data, data.GetRecord(recordNo));
  EXPECT_EQ(first.Stamp, 2147483647);
  PostValue(data, blobs, recordNo, PatternBytes(1000, 2));
  const BlobReference second = FieldReference(data, data.GetRecord(recordNo));
  EXPECT_EQ(second.Stamp, 1);
  EXPECT_EQ(second.FirstBlock, first.FirstBlock);

  TBlobBuffer stale(blobs, first);
  EXPECT_EQ(CodeOf([&] { stale.ReadValue(); }), RUDIRA_KEYORRECDELETED);
  TBlobBuffer current(blobs, second);
  ASSERT_TRUE(current.ReadValue());
  EXPECT_EQ(current.Value(), PatternBytes(1000, 2));
}

TEST_F(BlobRecordTest, BlockSize63IsRefusedAtTableCreation) {
  EXPECT_EQ(CodeOf([&] { CreateTable(63); }), RUDIRA_BLOBLIMIT);
  EXPECT_FALSE(std::filesystem::exists(PathOf("T.DAT")));
  EXPECT_FALSE(std::filesystem::exists(PathOf("T.BLB")));
  EXPECT_EQ(CodeOf([&] { CreateTable(64); }), 0);
  EXPECT_EQ(std::filesystem::file_size(PathOf("T.BLB")), 512u);
}

}  // namespace
}  // namespace rudira
