// The internal deleted-records index ("Sys Deleted", slot 31) rebuilt from
// the data file, and the active-record count of the index header with it.
//
// The index holds one entry per record slot: the key is the slot's status
// byte and its unique id (the auto-increment value at record bytes 5..8),
// the entry's value the record number. A table whose index file was lost
// and recreated empty gets this index and its count back from the records
// themselves; the user-defined indexes cannot be rebuilt from an empty file
// (their definitions were in it), so such a table is read in natural order.
//
// REQUIRES: the table's files are open and held under its writer lock (or
// exclusively); the caller writes the changes.
#pragma once

#include <cstdint>
#include <functional>

#include "storage/data_file.h"
#include "storage/index_file.h"

namespace rudira {

// Empties slot 31 and enters every record slot of `data`; sets the index
// header's ActiveRecordCount to the number of records in use. Two slots
// with the same status and id (possible only with caller-given ids) keep
// the first. Returns the number of records in use. `processed`, when
// given, is told after each slot (slot number, number of slots), for
// progress reports.
int32_t RebuildDeletedIndex(TDataFile& data, TIndexFile& index,
                            const std::function<void(int32_t slot, int32_t slots)>& processed = {});

// Empties slot 31 and enters records 1..rowCount as a result-table sort
// leaves them (storage/data_file_sort.h): each in use, with its position as
// its id. The records are not read; the pages are those RebuildDeletedIndex
// gives for such a file. Sets ActiveRecordCount to rowCount.
void RebuildDeletedIndexOfSortedRows(TIndexFile& index, int32_t rowCount);

}  // namespace rudira
