// TIndexFile: a table's index file (".IDX"): its header with the index
// definitions, and the pages of every index with a page cache per slot.
//
// File layout (storage/index_header.h for the header bytes,
// storage/index_page.h for a page):
//
//   offset          size   contents
//   0               4096   header: counters and 33 index definitions
//   n × 4096        4096   page n (n >= 1); pages are global to the file,
//                          each index owns the pages reachable from its root
//                          and its own free-page chain
//
// Temporary indexes (definitions with TemporaryIndex) keep their pages in a
// companion temporary file in the session's private directory, with its own
// page counter starting at 1; the file is deleted when the index file
// closes. Their definitions are never written to the header: the written
// copy leaves them out, and they always sit after the permanent secondary
// indexes.
//
// Page caches: one per slot (33), each starting with room for index-buffer
// bytes div 8192 pages (at least 1). A miss reuses the slot's least recently
// used clean unpinned page, the index's root only when no other page can go
// (storage/index_page_cache.h); when there is none all modified pages of the same
// file (permanent or temporary) are written, sorted by page number with
// consecutive pages in one write, and the search repeats; when every cached
// page is pinned the slot's cache grows by 4.
//
// The tree operations on the pages are in storage/index_tree.h.
//
// Concurrency: used under the table's lock (Part of the lock protocol of the
// table directory). Positioned reads and writes hold the file's access guard.
// Not otherwise thread-safe.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/field_descriptor.h"
#include "storage/field_value.h"
#include "storage/file_handler.h"
#include "storage/index_header.h"
#include "storage/index_key_compare.h"
#include "storage/index_page.h"
#include "storage/index_page_cache.h"

namespace rudira {

constexpr int32_t kDefaultIndexBufferBytes = 16384;
constexpr int kIndexCacheGrowth = 4;
// The last page number whose page still ends within kMaxIndexFileEnd.
constexpr int32_t kLastIndexPageNumber = static_cast<int32_t>(kMaxIndexFileEnd / kIndexPageSize - 1);

// Whether every index of `header` that has fields names fields of the table
// and stores the key size they give. Keys are built into buffers of the
// stored size, so any other size would let a key overrun its buffer: the
// open and every re-read of another process's header refuse it (8961).
bool KeySizesFitFields(const TIndexHeader& header, const std::vector<TFieldDescriptor>& fields);

class TIndexFile : public TFileHandler {
 public:
  using TFileHandler::TFileHandler;
  ~TIndexFile() override;

  // Opens the file and reads its header (unscrambling when encrypted).
  // Raises 12035 for a FormatVersion other than 5, 8961 for a header that
  // cannot be read, a SecondaryIndexCount above 32 or a NextPageNumber below
  // 1. A failure closes the file again.
  void Open() override;
  // Creates the file with a new header (FormatVersion 5, NextPageNumber 1,
  // the "Sys Deleted" and "Sys Text" definitions) and writes it: a new file
  // is exactly 4096 bytes.
  void CreateNew() override;
  // Drops the temporary indexes (deleting their file) and every cached page
  // (unwritten changes are lost: callers write them first), then closes.
  void Close() override;

  // --- settings (before Open/CreateNew, or any time for the buffer) ---
  void SetEncrypted(bool value) { encrypted_ = value; }
  bool Encrypted() const { return encrypted_; }
  // The session's private directory, for the temporary companion file.
  void SetPrivateDirectory(std::string directory) { privateDirectory_ = std::move(directory); }
  // The session's index-buffer bytes; sizes every slot's cache.
  void SetIndexBufferBytes(int32_t bytes);
  // The table's fields and locale: key comparison and definition checks use
  // them. Without them keys compare bytewise.
  void SetTableFields(std::vector<TFieldDescriptor> fields, TableLocale locale);
  const std::vector<TFieldDescriptor>& TableFields() const { return fields_; }
  TableLocale Locale() const { return locale_; }

  // --- header ---
  const TIndexHeader& Header() const { return header_; }
  // Reads the header again; true when its IndexChangeCount differs from the
  // one held, in which case every cached page of a permanent index is
  // dropped. Temporary definitions are kept; unwritten changes of the
  // permanent header are discarded (callers write them first).
  bool RereadHeader();
  // Writes the header when modified or `force`: IndexChangeCount + 1, the
  // temporary definitions left out.
  void WriteHeader(bool force = false);
  void MarkHeaderModified() { headerModified_ = true; }
  bool HeaderModified() const { return headerModified_; }
  // Truncates the file after the header and empties every index
  // (NextPageNumber 1, ActiveRecordCount 0, every RootPage, FreePageHead and
  // ParameterPage 0), drops every page, writes the header. Temporary
  // indexes are emptied too.
  void Empty();

  // --- definitions ---
  // Stores the primary definition (Unique forced). Raises 9993 when a
  // primary index is defined already, 9487 for more than 16 fields; 0 fields
  // sets NoPrimaryKey instead.
  void SetPrimaryDefinition(const TIndexDefinition& definition);
  // Stores a secondary definition in the next slot and returns the slot.
  // Raises 9487 when 30 are defined or for more than 16 fields, 10010 for an
  // empty name, 10022 for a name not beginning with a letter, "_" or a byte
  // 128..254, 10027 for a name in use (trimmed, without regard to case),
  // 12292 for a BLOB field (when the table's fields are known).
  int AddSecondaryDefinition(const TIndexDefinition& definition);
  // Removes secondary slot `slot`; later slots move down. Its pages stay
  // where they are, owned by nobody.
  void RemoveSecondaryDefinition(int slot);
  const TIndexDefinition& Definition(int slot) const { return header_.Definitions[slot]; }
  // Replaces a definition (the header becomes modified).
  void SetDefinition(int slot, const TIndexDefinition& definition);
  // The slot of the index named `name` (trimmed, without regard to case;
  // the empty name is the primary index), or -1.
  int FindIndex(std::string_view name) const;
  void SetNoPrimaryKey(bool value);
  bool NoPrimaryKey() const { return header_.NoPrimaryKey != 0; }
  // Whether slot 0 holds a primary definition (fields, or NoPrimaryKey).
  bool PrimaryDefined() const;
  // Re-checks the header held against the table's fields: FormatVersion 5,
  // valid unique secondary names, at most 16 existing non-BLOB fields per
  // index, KeySize <= 522, every RootPage and FreePageHead 0 or a page of the
  // file. Raises 8961 on any failure.
  void Verify() const;

  // --- pages ---
  // Page pageNo of index `slot`, from the cache or read from the file.
  // Raises 8965 for a page number outside the file or a page that does not
  // decode. Valid until the next page operation unless pinned.
  TPage* GetPage(int slot, int32_t pageNo);
  // Pages this object has read from its files (cache misses), for tests and
  // measurements of the caches.
  uint64_t PageReadCount() const { return pageReads_; }
  // A new empty page of `slot` (type leaf, modified): the head of the
  // index's free chain, else a page appended at the end of the file. Raises
  // 9479 when the file would pass 4,000,000,000 bytes, 8965 for a free-chain
  // head that is no free page.
  TPage* AllocatePage(int slot);
  // Puts the page on its index's free chain. The page object stays cached.
  void FreePage(TPage* page);
  // Sets the RootPage of `slot` (the header becomes modified for a
  // permanent index).
  void SetRootPage(int slot, int32_t pageNo);
  // The root page of `slot`, nullptr for an empty index.
  TPage* GetRootPage(int slot);
  // Writes every modified page (both files), consecutive pages in one write.
  void WritePages();
  // Drops every cached page, modified ones too; every cache is back at its
  // starting size.
  void DropPages();
  // Evicts clean pages down to each slot's limit.
  void ShrinkPages();
  // Inside a transaction the modified pages of the permanent indexes stay
  // cached until the commit writes them (a rollback drops them): making
  // room then never writes them, the cache grows instead.
  void SetInTransaction(bool value) { inTransaction_ = value; }
  // NextPageNumber of the file holding `slot`'s pages.
  int32_t NextPageNumber(int slot) const;
  // The page shape and key order of `slot`.
  TPageFormat PageFormat(int slot) const;
  const TKeyComparer& Comparer(int slot);
  const TIndexPageCache& Cache(int slot) const { return *caches_[slot]; }
  // Counts every change that can move an entry of any index to another
  // page or position: tree inserts and deletes, page allocation and
  // freeing, root changes, dropped caches, definition changes, headers read
  // again. Each change takes the next value of one process-wide sequence,
  // so equal counts mean the same file object unchanged: a leaf page and
  // position noted in between still hold the same entry, and a cursor may
  // walk along the leaf chain from there instead of descending again. In
  // memory only.
  uint64_t TreeChangeCount() const { return treeChanges_; }
  void NoteTreeChange();

  // The companion temporary file's name; empty when none is open.
  std::string TemporaryFileName() const;

  // --- the parameter chain of "Sys Text" ---
  // The bytes of the parameter pages (stop words, space and include
  // characters), in chain order: 4083 bytes a page. Empty without a chain.
  // Raises 8965 for a chain that is not made of parameter pages or loops.
  std::vector<uint8_t> ReadParameters();
  // Replaces the chain by pages holding `bytes` (the old pages go to the
  // free chain of "Sys Text"); no bytes leaves ParameterPage 0.
  void WriteParameters(const std::vector<uint8_t>& bytes);

  // --- counters ---
  int32_t ActiveRecordCount() const { return header_.ActiveRecordCount; }
  void SetActiveRecordCount(int32_t value);
  void IncrementActiveRecordCount() { SetActiveRecordCount(header_.ActiveRecordCount + 1); }
  void DecrementActiveRecordCount() { SetActiveRecordCount(header_.ActiveRecordCount - 1); }

  // Raises 8965 with this file's name.
  [[noreturn]] void RaiseCorrupt() const;

 private:
  [[noreturn]] void Raise(uint16_t code, std::string_view indexName = {}, std::string_view fieldName = {}) const;
  bool IsTemporarySlot(int slot) const { return header_.Definitions[slot].TemporaryIndex != 0; }
  TFileHandler& FileOf(int slot);
  // Reads the header's file bytes (scrambled when encrypted) into `buffer`.
  void ReadRawHeader(uint8_t* buffer);
  // Decodes file bytes read by ReadRawHeader (unscrambling them in place)
  // and checks them as an open does.
  void DecodeHeader(uint8_t* buffer, TIndexHeader& header);
  void RememberFileHeader(const uint8_t* bytes);
  void EnsureTemporaryFile();
  void CloseTemporaryFile();
  // A page object for pageNo in slot's cache, making room as described.
  std::unique_ptr<TPage> MakeRoom(int slot);
  // Writes the modified pages of the permanent or of the temporary file.
  void WritePagesOf(bool temporary);
  void ResetCaches();
  void InvalidateComparer(int slot) {
    comparers_[slot].reset();
    NoteTreeChange();
  }
  void MoveSlot(int from, int to);

  TIndexHeader header_;                       // as held in memory, temporary definitions included
  bool headerModified_ = false;               // header differs from the file
  bool encrypted_ = false;                    // header and pages scrambled
  bool inTransaction_ = false;                // never write permanent pages to make room
  std::string privateDirectory_;              // where the temporary companion lives
  int32_t indexBufferBytes_ = kDefaultIndexBufferBytes;
  std::vector<TFieldDescriptor> fields_;      // the table's fields, for keys and checks
  TableLocale locale_;                        // the table's locale
  TPageStack pageStack_;                      // spare pages
  std::array<std::unique_ptr<TIndexPageCache>, kIndexSlotCount> caches_;   // one per slot
  std::array<std::optional<TKeyComparer>, kIndexSlotCount> comparers_;     // built on demand
  std::unique_ptr<TFileHandler> temporaryFile_;  // companion file of temporary indexes
  int32_t temporaryNextPage_ = 1;             // page counter of the companion file
  uint64_t treeChanges_ = 0;                  // TreeChangeCount()
  uint64_t pageReads_ = 0;                    // PageReadCount()
  // The header's bytes as this object last read or wrote them (as in the
  // file): a re-read finding the same bytes, with nothing changed in memory
  // since, leaves everything as it is instead of decoding them again.
  std::array<uint8_t, kIndexHeaderSize> fileHeader_{};
  bool fileHeaderKnown_ = false;
  TIndexHeaderImage headerImage_;             // the encoding of the last header written
  std::vector<TPage*> writeOrder_;            // WritePagesOf's pages, kept for their room
  std::vector<uint8_t> writeBuffer_;          // WritePagesOf's run of encoded pages
};

// Holds a pin on a page for a scope.
class TPagePin {
 public:
  TPagePin() = default;
  explicit TPagePin(TPage* page) : page_(page) { if (page_) page_->Pin(); }
  ~TPagePin() { if (page_) page_->Unpin(); }
  TPagePin(const TPagePin&) = delete;
  TPagePin& operator=(const TPagePin&) = delete;
  TPagePin(TPagePin&& other) noexcept : page_(other.page_) { other.page_ = nullptr; }
  TPagePin& operator=(TPagePin&& other) noexcept {
    if (this != &other) {
      if (page_) page_->Unpin();
      page_ = other.page_;
      other.page_ = nullptr;
    }
    return *this;
  }
  TPage* operator->() const { return page_; }
  TPage* get() const { return page_; }

 private:
  TPage* page_ = nullptr;
};

}  // namespace rudira
