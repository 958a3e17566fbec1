// TPage: one 4096-byte page of an index, decoded; TPageStack: spare pages.
//
// Page on disk (scrambled as one run with the record seed when encrypted):
//
//   offset  width  meaning
//   0       byte   page type: 0 root branch, 1 branch, 2 leaf, 3 root leaf, 4 parameter page
//   1       uint16 entry count (0 for a free page)
//   3       int32  left sibling page (0 = none)
//   7       int32  right sibling page (0 = none); in a free page the next free page
//   11      uint16 bytes used by compressed leaf entries (0 otherwise)
//   13      4083   entries
//
// Branch entries (types 0, 1), never compressed: key, int32 child page, int32
// record count of the child's subtree (no count when the index has NoCounts,
// and for "Sys Text"). Leaf entries (types 2, 3): key and int32 record
// number, laid out by the index's compression:
//
//   NONE       key, record number
//   DUPBYTE    d, key without its first d bytes, record number
//   TRAILBYTE  t, key without its last t zero bytes, record number
//   FULL       d, t, the middle key bytes, record number
//
// d is the number of leading bytes shared with the previous key of the page
// (0 for the first), at most 254. t counts trailing zero bytes, at most 255;
// for a non-unique index the 4-byte id suffix is left out of the count and
// always written. FULL: when the shared prefix would reach into the trailing
// zeros, t is lowered so that d + t never exceeds the compressible length
// (KeySize, or KeySize − 4 for a non-unique index); a prefix that reaches into
// the id suffix leaves t at 0. The written bytes are thus the key from d up to
// its compressible length less t, then the suffix bytes from max(d, that
// length) on.
//
// A parameter page (type 4) holds 4083 raw bytes (Raw()) and chains to the
// next through its right-sibling field.
//
// In memory every entry sits in a fixed slot of KeySize + 10 bytes: key,
// first int32 (record number or child page), second int32 (count),
// shared-prefix byte, trailing-zero byte. A page belongs to the cache of one
// index slot; a pinned page is never evicted, a modified one is written
// before its memory is reused.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "storage/index_key_compare.h"

namespace rudira {

constexpr uint8_t kPageRootBranch = 0;
constexpr uint8_t kPageBranch = 1;
constexpr uint8_t kPageLeaf = 2;
constexpr uint8_t kPageRootLeaf = 3;
constexpr uint8_t kPageParameter = 4;

constexpr int kPageHeaderBytes = 13;
constexpr int kPageEntryBytes = 4083;
constexpr int kMaxSharedPrefix = 254;
constexpr int kMaxTrailingZeros = 255;

// The properties of an index that shape its pages.
struct TPageFormat {
  int16_t KeySize = 0;
  bool Descending = false;
  bool Unique = true;
  bool NoCounts = false;  // branch entries without counts (also "Sys Text")
  uint8_t Compression = 0;
};

class TIndexPageCache;

class TPage {
 public:
  TPage() = default;
  TPage(const TPage&) = delete;
  TPage& operator=(const TPage&) = delete;

  // Makes this an empty page `pageNo` of index slot `slot` (type leaf, no
  // siblings, clean, unpinned).
  void Reset(int slot, int32_t pageNo, const TPageFormat& format);

  // Encodes the page into its 4096 bytes (unscrambled).
  // REQUIRES: !Overflows().
  void EncodeTo(uint8_t* buffer) const;
  // The page's 4096 bytes (unscrambled), the same as EncodeTo gives, kept
  // with the page until it next changes. A page written again and again
  // (the leaf that takes every append, the root counting it) changes only
  // from one entry on: an uncompressed page re-encodes its entries from the
  // first one changed since the last encoding, and a page read from the
  // file starts from the bytes read. Compressed leaves, parameter and free
  // pages are encoded whole. Valid until the page changes.
  // REQUIRES: !Overflows().
  const uint8_t* Encoded();
  // The bytes [EncodedChangeFrom(), EncodedChangeTo()) of the last Encoded()
  // hold every byte that may differ from the page's bytes in its file: the
  // whole page unless the encoding before it was what the file held (the
  // page was read from it, or NoteWritten came since), and an empty span
  // when nothing changed. Writing just them leaves the file holding
  // Encoded().
  int EncodedChangeFrom() const { return changeFrom_; }
  int EncodedChangeTo() const { return changeTo_; }
  // The bytes of the last Encoded() are now the page's bytes in its file.
  void NoteWritten() { imageOnFile_ = true; }
  // Decodes the 4096 bytes; false when they are inconsistent (type, count,
  // sizes, compression bytes), leaving the page empty.
  bool DecodeFrom(const uint8_t* buffer);

  // --- identity and header ---
  int32_t PageNumber() const { return pageNo_; }
  int Slot() const { return slot_; }
  void SetSlot(int slot) { slot_ = slot; }
  const TPageFormat& Format() const { return format_; }
  int KeySize() const { return format_.KeySize; }
  uint8_t PageType() const { return type_; }
  void SetPageType(uint8_t type) {
    if (IsLeafType(type) != IsLeaf()) imageValid_ = false;  // entries change size
    type_ = type;
  }
  static bool IsLeafType(uint8_t type) { return type == kPageLeaf || type == kPageRootLeaf; }
  bool IsLeaf() const { return IsLeafType(type_); }
  bool IsRoot() const { return type_ == kPageRootBranch || type_ == kPageRootLeaf; }
  bool IsCompressedLeaf() const { return IsLeaf() && format_.Compression != 0; }
  int EntryCount() const { return count_; }
  int32_t LeftSibling() const { return left_; }
  void SetLeftSibling(int32_t page) { left_ = page; }
  int32_t RightSibling() const { return right_; }
  void SetRightSibling(int32_t page) { right_ = page; }
  // Encoded bytes of the entries of a compressed leaf.
  int CompressedSize() const { return compressedSize_; }

  // --- entries ---
  const uint8_t* Key(int i) const { return slot(i); }
  // First int32: record number (leaf) or child page (branch).
  int32_t Value(int i) const;
  void SetValue(int i, int32_t value);
  // Second int32: subtree count of a branch entry.
  int32_t Count(int i) const;
  void SetCount(int i, int32_t count);
  // Replaces the key of entry i (a separator of a branch).
  void SetKey(int i, const uint8_t* key);

  // Entries an uncompressed page of this type holds: 4083 div (KeySize + 8)
  // for branch entries with counts, 4083 div (KeySize + 4) otherwise.
  int Capacity() const;
  // Over capacity (uncompressed), or encoded beyond 4083 bytes (compressed leaf).
  bool Overflows() const;

  // Inserts an entry before position pos (0..EntryCount()).
  void InsertEntry(int pos, const uint8_t* key, int32_t value, int32_t count);
  // Removes the entry at pos.
  void DeleteEntry(int pos);
  // Moves entries [from, EntryCount()) before the first entry of `to`.
  void MoveTailTo(int from, TPage& to);
  // Moves the first `count` entries after the last entry of `to`.
  void MoveHeadTo(int count, TPage& to);
  // Removes every entry.
  void Clear();

  // --- search ---
  // First entry whose key is not less than `key` (EntryCount() if none).
  int LowerBound(const TKeyComparer& comparer, const uint8_t* key, int length) const;
  // First entry whose key is greater than `key`.
  int UpperBound(const TKeyComparer& comparer, const uint8_t* key, int length) const;
  // The branch entry to descend into: the last whose key is not greater
  // than `key`, or 0 when the key is smaller than all.
  int ChildPosition(const TKeyComparer& comparer, const uint8_t* key, int length) const;

  // --- counts ---
  // Records below the entries before pos: the sum of their counts (branch)
  // or pos (leaf).
  int64_t CountBefore(int pos) const;
  // Records below the whole page.
  int64_t SubtreeCount() const { return CountBefore(count_); }

  // --- parameter page ---
  // The 4083 raw bytes of a parameter page (zero when never set).
  const std::vector<uint8_t>& Raw() const { return raw_; }
  // Makes this a parameter page holding `count` bytes (at most 4083; the rest zero).
  void SetRaw(const uint8_t* bytes, size_t count);

  // --- cache state ---
  bool Modified() const { return modified_; }
  // Setting the flag tells the cache listing the page, which keeps the
  // numbers of modified pages so that writing them back never walks the
  // whole cache.
  void SetModified(bool value);
  void Pin() { ++pinCount_; }
  void Unpin();
  bool Pinned() const { return pinCount_ > 0; }
  bool Freed() const { return freed_; }
  void SetFreed(bool value) {
    if (value != freed_) imageValid_ = false;
    freed_ = value;
  }

 private:
  friend class TIndexPageCache;

  int slotSize() const { return format_.KeySize + 10; }
  // Entries from `from` on differ from the kept encoding.
  void Touch(int from) {
    if (from < imageClean_) imageClean_ = from;
  }
  // Bytes of one entry of an uncompressed page on disk.
  int FixedEntrySize() const { return IsLeaf() ? format_.KeySize + 4 : BranchEntrySize(); }
  // Whether the page's entries have a fixed size on disk, so that the kept
  // encoding can be brought up to date from one entry on.
  bool FixedLayout() const { return !freed_ && type_ != kPageParameter && !IsCompressedLeaf(); }
  // Takes the bytes just decoded as the kept encoding when they are what
  // EncodeTo would give (nothing after the entries, no compressed size).
  void KeepDecoded(const uint8_t* buffer);
  uint8_t* slot(int i) { return entries_.data() + static_cast<size_t>(i) * slotSize(); }
  const uint8_t* slot(int i) const { return entries_.data() + static_cast<size_t>(i) * slotSize(); }
  void Reserve(int entries);
  // Branch entry bytes on disk.
  int BranchEntrySize() const;
  // The compressible length: KeySize, or KeySize − 4 when not unique.
  int CompressibleLength() const;
  // Recomputes the d and t bytes of entry i (from entry i − 1) and returns
  // its encoded length.
  int Recompress(int i);
  int EncodedLength(int i) const;
  void RecomputeCompressedSize();

  int32_t pageNo_ = 0;                // page number in its file
  int slot_ = 0;                      // index slot
  TPageFormat format_;                // the index's key size, flags and compression
  uint8_t type_ = kPageLeaf;          // kPage*
  int count_ = 0;                     // entries in use
  int32_t left_ = 0;                  // left sibling page, 0 = none
  int32_t right_ = 0;                 // right sibling page or next free page
  int compressedSize_ = 0;            // encoded entry bytes of a compressed leaf
  std::vector<uint8_t> entries_;      // count_ slots of KeySize + 10 bytes
  std::vector<uint8_t> raw_;          // parameter page bytes
  bool modified_ = false;             // differs from the file
  int pinCount_ = 0;                  // users holding it
  bool freed_ = false;                // on its index's free chain
  TIndexPageCache* cache_ = nullptr;  // the cache listing it, if any
  // Encoded(): the page's bytes as last encoded (allocated on the first
  // encoding and kept when the page object is reused), whether they are
  // current up to imageClean_ entries, and the bytes of entries they hold.
  std::unique_ptr<uint8_t[]> image_;
  bool imageValid_ = false;
  int imageClean_ = 0;
  int imageEnd_ = 0;
  // Whether image_ is what the file holds for this page, and the span of
  // the last Encoded() that may differ from the file.
  bool imageOnFile_ = false;
  int changeFrom_ = 0;
  int changeTo_ = 0;
  bool heldRun_ = false;              // in the cache's run of held pages at its tail
  TPage* mruPrev_ = nullptr;          // towards the most recently used end
  TPage* mruNext_ = nullptr;          // towards the least recently used end
};

// Up to 4 spare pages for reuse.
class TPageStack {
 public:
  static constexpr size_t kLimit = 4;
  std::unique_ptr<TPage> Pop();
  void Push(std::unique_ptr<TPage> page);
  size_t Count() const { return spare_.size(); }

 private:
  std::vector<std::unique_ptr<TPage>> spare_;  // at most kLimit
};

}  // namespace rudira
