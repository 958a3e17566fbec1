// Freeing every page of one index, for a deleted or redefined index.
#pragma once

#include "storage/index_file.h"

namespace rudira {

// Puts every page of slot's tree on the slot's free chain and empties the
// index (RootPage 0); the parameter chain of "Sys Text" is left alone.
// Raises 8965 for a tree that names pages outside the file or loops.
// REQUIRES: the index file is open, used under the table's writer lock.
void FreeIndexPages(TIndexFile& index, int slot);

}  // namespace rudira
