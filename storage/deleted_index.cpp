// Rebuilding "Sys Deleted" from the records of the data file.
#include "storage/deleted_index.h"

#include <array>
#include <cstring>
#include <vector>

#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "storage/record_layout.h"

namespace rudira {
namespace {

// Empties slot 31. Its old pages would go back to the index's free chain
// page by page only through a walk of a possibly broken tree; starting from
// an empty root instead leaves them unowned, as removing an index does.
void ResetDeletedIndex(TIndexFile& index) {
  index.SetRootPage(kSysDeletedSlot, 0);
  TIndexDefinition definition = index.Definition(kSysDeletedSlot);
  definition.FreePageHead = 0;
  index.SetDefinition(kSysDeletedSlot, definition);
}

}  // namespace

int32_t RebuildDeletedIndex(TDataFile& data, TIndexFile& index,
                            const std::function<void(int32_t slot, int32_t slots)>& processed) {
  ResetDeletedIndex(index);
  const int32_t slots = data.RecordSlotCount();
  // The keys of all slots first: when they ascend (a table whose ids grew
  // with its records and that has no deleted slot before a record in use)
  // the tree is appended to in order instead of searched for each key.
  std::vector<uint8_t> keys(static_cast<size_t>(slots) * kSysDeletedKeySize);
  const TKeyComparer& comparer = index.Comparer(kSysDeletedSlot);
  int32_t active = 0;
  bool ascending = true;
  for (int32_t n = 1; n <= slots; ++n) {
    const TRecord* record = data.GetRecord(n);
    uint8_t* key = keys.data() + static_cast<size_t>(n - 1) * kSysDeletedKeySize;
    BuildSysDeletedKey(record->Data(), key);
    if (RecordStatus(record->Data()) == kRecordInUse) ++active;
    if (n > 1 && comparer.Compare(key - kSysDeletedKeySize, key, kSysDeletedKeySize) >= 0) ascending = false;
    if (processed) processed(n, slots);
  }
  TIndexTree tree(index, kSysDeletedSlot);
  if (ascending) {
    tree.Append(slots, [&](int64_t i, uint8_t* key) {
      std::memcpy(key, keys.data() + static_cast<size_t>(i) * kSysDeletedKeySize, kSysDeletedKeySize);
      return static_cast<int32_t>(i + 1);
    });
  } else {
    for (int32_t n = 1; n <= slots; ++n) {
      tree.Insert(keys.data() + static_cast<size_t>(n - 1) * kSysDeletedKeySize, n);
    }
  }
  index.SetActiveRecordCount(active);
  index.MarkHeaderModified();
  return active;
}

void RebuildDeletedIndexOfSortedRows(TIndexFile& index, int32_t rowCount) {
  ResetDeletedIndex(index);
  TIndexTree tree(index, kSysDeletedSlot);
  tree.Append(rowCount, [](int64_t i, uint8_t* key) {
    const auto rowNo = static_cast<int32_t>(i + 1);
    key[0] = kRecordInUse;
    EncodeOrderedInt32(rowNo, key + 1);
    return rowNo;
  });
  index.SetActiveRecordCount(rowCount);
  index.MarkHeaderModified();
}

}  // namespace rudira
