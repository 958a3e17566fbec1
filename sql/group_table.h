// TGroupTable: the output rows of groups held in memory under the bytes of
// their grouping key, so that the rows of a GROUP BY can be combined into
// their groups as they are made instead of each being sorted first.
//
// A table holds at most maxGroups rows, each a whole record of rowBytes
// bytes, kept in the order their groups were first added; each under a key
// of keyBytes bytes. Two keys name the same group exactly when their bytes
// are equal, so the keys must be bytes that are equal exactly when the
// grouping sort would take two records for one group (TSortKeys of a
// bytewise order, without the id suffix).
//
// The rows are owned by the table; a row pointer stays valid until the next
// Add or Start. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rudira {

class TGroupTable {
 public:
  // Empties the table and sets its shapes.
  void Start(size_t keyBytes, size_t rowBytes, size_t maxGroups);

  // The row held under `key`, or nullptr.
  uint8_t* Find(const uint8_t* key);
  // Holds a copy of `row` under `key`, which is not held yet. Returns false,
  // holding nothing, when the table already holds maxGroups rows.
  bool Add(const uint8_t* key, const uint8_t* row);

  // Holds no further group (those held still take their rows).
  void Close() { maxGroups_ = count_; }

  size_t Count() const { return count_; }
  // Every row held, in the order their keys were first added.
  const std::vector<uint8_t>& Rows() const { return rows_; }

 private:
  uint64_t HashOf(const uint8_t* key) const;
  // The slot of `key`: the one holding it, or the empty one where it goes.
  size_t SlotOf(const uint8_t* key, uint64_t hash) const;
  void Grow();

  size_t keyBytes_ = 0;
  size_t rowBytes_ = 0;
  size_t maxGroups_ = 0;
  size_t count_ = 0;
  std::vector<uint8_t> keys_;    // count_ keys in the order added
  std::vector<uint8_t> rows_;    // count_ rows in the same order
  std::vector<uint64_t> hashes_; // the hash of each key, for regrowth
  std::vector<uint32_t> slots_;  // open addressing: 0 empty, else group + 1; a power of two, at most half full
};

}  // namespace rudira
