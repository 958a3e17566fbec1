// TDataTable's change detection and write-back: the change counters at the
// start of every file header tell each user whether another one wrote.
#include <cassert>

#include "storage/data_table.h"

namespace rudira {

bool TDataTable::CheckForChanges() {
  assert(filesOpen_);
  bool changed = false;
  // The index header comes first: an index change always comes with a data
  // change, and its re-read already drops the permanent indexes' pages.
  if (indexFile_->RereadHeader()) {
    changed = true;
    dataFile_->RereadHeader();
    dataFile_->DropCache();
  } else if (dataFile_->RereadHeader()) {
    changed = true;
    dataFile_->DropCache();
  }
  if (blobFile_ && blobFile_->RereadHeader()) {
    changed = true;
    blobFile_->DropCache();
  }
  return changed;
}

void TDataTable::WriteChanges(bool shrinkCaches, bool forceFlush) {
  assert(filesOpen_);
  if (inTransaction_) {
    // Everything stays in the caches until commit; the counters move in
    // memory so that this table's own cursors see that it changed.
    dataFile_->BumpChangeCountInMemory();
    // The index file has no in-memory counter step: its header is only
    // marked, and its counter moves when the commit writes it.
    indexFile_->MarkHeaderModified();
    if (blobFile_) blobFile_->BumpChangeCountInMemory();
    return;
  }
  const bool flush = forceFlush || settings_.ForceBufferFlush;

  const bool dataWrites = dataFile_->Cache().AnyModified() || dataFile_->HeaderModified() ||
                          dataFile_->DescriptorsModified();
  dataFile_->WriteRecords();
  dataFile_->WriteHeader();
  dataFile_->WriteDescriptors();
  if (dataWrites && flush) dataFile_->Flush();
  if (shrinkCaches) dataFile_->ShrinkCache();

  bool indexPagesModified = false;
  for (int slot = 0; slot < kIndexSlotCount && !indexPagesModified; ++slot) {
    indexPagesModified = indexFile_->Cache(slot).AnyModified();
  }
  const bool indexWrites = indexPagesModified || indexFile_->HeaderModified();
  indexFile_->WritePages();
  if (indexFile_->HeaderModified()) {
    indexFile_->WriteHeader();
    tableChanged_ = true;
  }
  if (indexWrites && flush) indexFile_->Flush();
  if (shrinkCaches) indexFile_->ShrinkPages();

  if (blobFile_) {
    const bool blockWrites = blobFile_->Cache().AnyModified();
    const bool blobWrites = blockWrites || blobFile_->HeaderModified();
    blobFile_->WriteBlocks();
    // A value rewritten in its own blocks changes no header field, yet other
    // users must drop the blocks they cached: the header (and its change
    // counter) is written whenever blocks were.
    blobFile_->WriteHeader(blockWrites);
    if (blobWrites && flush) blobFile_->Flush();
    if (shrinkCaches) blobFile_->ShrinkCache();
  }
}

void TDataTable::DropCaches(bool shrink, bool rereadHeaders) {
  assert(filesOpen_);
  (void)shrink;  // dropping everything leaves each cache at its starting size
  dataFile_->DropCache();
  indexFile_->DropPages();
  if (blobFile_) blobFile_->DropCache();
  if (rereadHeaders) {
    dataFile_->RereadHeader();
    indexFile_->RereadHeader();
    indexFile_->DropPages();
    if (blobFile_) blobFile_->RereadHeader();
  }
}

void TDataTable::SetInTransaction(bool value) {
  inTransaction_ = value;
  if (dataFile_) dataFile_->SetInTransaction(value);
  if (indexFile_) indexFile_->SetInTransaction(value);
  if (blobFile_) blobFile_->SetInTransaction(value);
}

}  // namespace rudira
