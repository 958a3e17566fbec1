// The 127-byte header at the start of every data file (".DAT").
//
// Data file layout:
//
//   offset              size     contents
//   0                   127      this header
//   127                 768 × F  field descriptors 1..F (storage/field_descriptor.h)
//   127 + 768 × F       R × N    records 1..N; record n starts at
//                                127 + 768 × F + (n − 1) × R (storage/record_layout.h)
//
// Header:
//
//   offset  width     field              meaning
//   0       int32     ChangeCount        +1 on every header write; others compare it
//   4       uint32    BlobBlockSize      BLOB block size; 0 means 512
//   8       byte      FormatVersion      always 5
//   9       int32     FirstFreeRecord    head of the deleted-record chain; 0 = none
//   13      int32     NextRecordNumber   record slots in the file + 1
//   17      int32     LastAutoIncValue   last auto-increment value issued
//   21      uint16    RecordSize         R
//   23      uint16    FieldCount         F
//   25      int16     BlobFieldCount     number of type-3 fields, at most 128
//   27      float64   LastUpdated        local time of the last header write as days
//                                        since 1899-12-30 (time as fraction) − 693594.0
//   35      51        Description        short string[50]; text scrambled when Encrypted
//   86      byte      Encrypted          1 = records, descriptors, description and
//                                        password are scrambled
//   87      16        Password           short string[15], text scrambled; empty when plain
//   103     int16     LanguageId         locale language id; 0 = none
//   105     int16     SortId             locale sort id
//   107     int16     UserMajorVersion   application-defined
//   109     int16     UserMinorVersion   application-defined
//   111     byte      HeaderModified     the writer's modified flag; ignored on reading
//   112     int32     LastBlobStamp      last BLOB stamp issued
//   116     int32     WriterVersion      33000, set at every header write
//   120     int32     reserved           0
//   124     3         reserved           0
#pragma once

#include <cstdint>
#include <string>

namespace rudira {

constexpr size_t kDataHeaderSize = 127;
constexpr uint8_t kDataFormatVersion = 5;
constexpr int32_t kDataWriterVersion = 33000;  // engine version 3.30 × 10000
constexpr size_t kDescriptionCapacity = 50;
constexpr size_t kPasswordCapacity = 15;
constexpr uint32_t kDefaultBlobBlockSize = 512;  // meaning of BlobBlockSize 0

struct TDataHeader {
  int32_t ChangeCount = 0;
  uint32_t BlobBlockSize = 0;
  uint8_t FormatVersion = kDataFormatVersion;
  int32_t FirstFreeRecord = 0;
  int32_t NextRecordNumber = 1;
  int32_t LastAutoIncValue = 0;
  uint16_t RecordSize = 0;
  uint16_t FieldCount = 0;
  int16_t BlobFieldCount = 0;
  double LastUpdated = 0.0;
  std::string Description;  // as stored: scrambled when Encrypted
  uint8_t Encrypted = 0;
  std::string Password;     // as stored: scrambled
  int16_t LanguageId = 0;
  int16_t SortId = 0;
  int16_t UserMajorVersion = 0;
  int16_t UserMinorVersion = 0;
  uint8_t HeaderModified = 0;
  int32_t LastBlobStamp = 0;
  int32_t WriterVersion = 0;

  // Writes the 127 bytes at p; the reserved bytes are zero.
  void EncodeTo(uint8_t* p) const;
  // Reads the 127 bytes at p; false when a short string's length byte
  // exceeds its capacity.
  bool DecodeFrom(const uint8_t* p);
};

// The LastUpdated value of a local date-time given as days since 1899-12-30
// with the time of day as fraction.
inline double LastUpdatedFromDays(double daysSince18991230) { return daysSince18991230 - 693594.0; }

// The current local date-time as days since 1899-12-30 with the time as
// fraction.
double NowAsDays();

}  // namespace rudira
