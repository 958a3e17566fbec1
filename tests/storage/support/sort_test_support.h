// Helpers of the result-sort tests: a fresh private directory per test and
// small data files of (K INTEGER, S CHAR(10), V INTEGER) records.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "storage/data_file.h"
#include "storage/data_file_sort.h"

namespace rudira::sorttest {

// One record as the tests see it.
struct Row {
  int32_t RecordNo = 0;   // bytes 1..4
  int32_t UniqueId = 0;   // bytes 5..8
  std::optional<int32_t> K;
  std::string S;          // empty: null
  std::optional<int32_t> V;
  bool operator==(const Row&) const = default;
};

// What a data file of the tests is made with.
struct FileOptions {
  int16_t LanguageId = 0;
  bool Encrypted = false;
  // Maximum data buffer count: the run length of an external sort and a
  // bound of the record cache.
  int32_t MaxBufferCount = 8192;
  // Give each record a unique id (the next auto-increment value); without,
  // every id is 0.
  bool UniqueIds = true;
  // A memory file of the in-memory directory instead of a disk file.
  bool InMemory = false;
};

class TSortTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A new data file `name` in this test's directory, open.
  std::unique_ptr<TDataFile> MakeFile(const std::string& name, const FileOptions& options = {});
  // Appends a record; nullopt or "" store null.
  static void Insert(TDataFile& file, std::optional<int32_t> k, const std::string& s, std::optional<int32_t> v,
                     bool uniqueId = true);
  // Every record slot of the file, read through the file.
  static std::vector<Row> Rows(TDataFile& file);
  // The S values of Rows(file) in order.
  static std::vector<std::string> Texts(TDataFile& file);
  // A request sorting by the named fields (K, S or V), each ascending unless
  // its name is in `descending`, with run files in this test's directory.
  TSortRequest SortBy(const TDataFile& file, const std::vector<std::string>& names,
                      const std::vector<std::string>& descending = {}) const;
  // Run files in the private directory now.
  size_t RunFileCount() const;

  std::string dir_;  // the private directory, with a trailing "/"
};

}  // namespace rudira::sorttest
