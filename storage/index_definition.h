// One index definition of an index file: 120 bytes, also the form in which
// callers define an index.
//
//   offset  width      field             meaning
//   0       31         IndexName         short string[30]; empty for the primary index
//   31      int16      KeySize           bytes per key (storage/index_key.h)
//   33      byte       Descending        whole index descending (per-field flags set too)
//   34      byte       CaseInsensitive   string fields keyed in upper case
//   35      byte       Unique            keys are unique; the primary index always is
//   36      byte       Compression       leaf compression: 0 NONE, 1 DUPBYTE, 2 TRAILBYTE, 3 FULL
//   37      byte       IndexFieldCount   0..16
//   38      16 bytes   FieldDescending   one descending flag per index field
//   54      16×uint16  FieldNumbers      the index fields (1-based) in key order
//   86      int32      RootPage          0 = empty index
//   90      int32      FreePageHead      first free page of this index; 0 = none
//   94      2 bytes    reserved          0
//   96      int32      ParameterPage     "Sys Text" only: first page of its parameter chain
//   100     byte       NoCounts          1 = branch entries carry no subtree counts
//   101     byte       TemporaryIndex    pages live in the companion temporary file
//   102     18 bytes   reserved          0
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace rudira {

constexpr size_t kIndexDefinitionSize = 120;
constexpr size_t kIndexNameCapacity = 30;
constexpr int kMaxIndexFields = 16;
constexpr int kMaxKeySize = 522;

constexpr uint8_t kCompressionNone = 0;
constexpr uint8_t kCompressionDupByte = 1;
constexpr uint8_t kCompressionTrailByte = 2;
constexpr uint8_t kCompressionFull = 3;

struct TIndexDefinition {
  std::string IndexName;
  int16_t KeySize = 0;
  uint8_t Descending = 0;
  uint8_t CaseInsensitive = 0;
  uint8_t Unique = 0;
  uint8_t Compression = kCompressionNone;
  uint8_t IndexFieldCount = 0;
  std::array<uint8_t, kMaxIndexFields> FieldDescending{};
  std::array<uint16_t, kMaxIndexFields> FieldNumbers{};
  int32_t RootPage = 0;
  int32_t FreePageHead = 0;
  int32_t ParameterPage = 0;
  uint8_t NoCounts = 0;
  uint8_t TemporaryIndex = 0;

  // Writes the 120 bytes at p (reserved bytes 0). A longer name is cut at a
  // character boundary.
  void EncodeTo(uint8_t* p) const;
  // Reads the 120 bytes at p; false when the name's length byte exceeds 30.
  bool DecodeFrom(const uint8_t* p);

  // Whether field i (0-based) of the index is descending.
  bool FieldIsDescending(int i) const { return Descending != 0 || FieldDescending[i] != 0; }
  bool Compressed() const { return Compression != kCompressionNone; }
  bool operator==(const TIndexDefinition&) const = default;
};

// Whether `name` may name a secondary index: not empty, at most 30 bytes,
// beginning with a letter, "_" or a byte 128..254.
bool IsValidIndexNameStart(const std::string& name);

}  // namespace rudira
