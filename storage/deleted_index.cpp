// Rebuilding "Sys Deleted" from the records of the data file.
#include "storage/deleted_index.h"

#include <array>

#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "storage/record_layout.h"

namespace rudira {

int32_t RebuildDeletedIndex(TDataFile& data, TIndexFile& index,
                            const std::function<void(int32_t slot, int32_t slots)>& processed) {
  // The old pages go back to the index's free chain page by page would need
  // a walk of a possibly broken tree; starting from an empty root instead
  // leaves them unowned, as removing an index does.
  index.SetRootPage(kSysDeletedSlot, 0);
  TIndexDefinition definition = index.Definition(kSysDeletedSlot);
  definition.FreePageHead = 0;
  index.SetDefinition(kSysDeletedSlot, definition);
  TIndexTree tree(index, kSysDeletedSlot);
  std::array<uint8_t, kSysDeletedKeySize> key{};
  int32_t active = 0;
  const int32_t slots = data.RecordSlotCount();
  for (int32_t n = 1; n <= slots; ++n) {
    const TRecord* record = data.GetRecord(n);
    BuildSysDeletedKey(record->Data(), key.data());
    if (RecordStatus(record->Data()) == kRecordInUse) ++active;
    tree.Insert(key.data(), n);
    if (processed) processed(n, slots);
  }
  index.SetActiveRecordCount(active);
  index.MarkHeaderModified();
  return active;
}

}  // namespace rudira
