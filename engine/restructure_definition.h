// What a restructure of a table is given: the whole new definition of the
// table, and the causes with which records that cannot be carried over are
// reported to the data-loss callback.
//
// Text-index parameters: the stop-word list and the space- and
// include-character sets of "Sys Text" live in its parameter-page chain
// (storage/index_file.h ReadParameters), encoded as
//
//   offset   width     meaning
//   0        32        space-character set, bit c of byte c div 8 for byte value c
//   32       32        include-character set, same form
//   64       int32     number of stop words W
//   68       ...       W short strings (length byte, then the UTF-8 bytes)
//
// An empty chain means empty sets and no stop words.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/data_table.h"
#include "storage/field_descriptor.h"
#include "storage/index_definition.h"

namespace rudira {

// Data-loss causes, each reported with a context text.
constexpr int kDataLossAppendFailed = 0;   // any other failure of the append; empty context
constexpr int kDataLossKeyViolation = 1;   // duplicate key in a unique index; the index name
constexpr int kDataLossCheckFailed = 2;    // required, minimum or maximum check; the field name
constexpr int kDataLossFieldDropped = 3;   // no new field with the old field's number; the field name
constexpr int kDataLossConversion = 4;     // value not convertible (or BLOB to non-BLOB); the field name

using TCharacterSet = std::array<uint8_t, 32>;

struct TextIndexParameters {
  TCharacterSet SpaceChars{};
  TCharacterSet IncludeChars{};
  std::vector<std::string> StopWords;

  std::vector<uint8_t> Encode() const;
  // False when the bytes are not of the form above.
  bool Decode(const std::vector<uint8_t>& bytes);
  bool operator==(const TextIndexParameters&) const = default;
};

struct TRestructureDefinition {
  int16_t LanguageId = 0;             // 0 = no locale
  int16_t SortId = 0;
  bool Encrypted = false;
  std::string Password;               // used only when Encrypted
  std::string Description;            // up to 50 bytes
  int16_t UserMajorVersion = 0;
  int16_t UserMinorVersion = 0;
  uint32_t BlobBlockSize = 512;       // at least 64
  std::vector<TFieldDescriptor> Fields;   // in field-number order; FieldNo links old and new fields
  TableIndexDefinitions Indexes;      // primary, secondaries, text index
  // Text-index parameters; those not given are kept from the table.
  std::optional<std::vector<std::string>> StopWords;
  std::optional<TCharacterSet> SpaceChars;
  std::optional<TCharacterSet> IncludeChars;
  int32_t LastAutoIncValue = -1;      // the auto-increment value to keep; -1 keeps the table's
  bool NoBackup = false;              // keep no backup files of the old table
};

}  // namespace rudira
