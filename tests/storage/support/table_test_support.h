// Helpers of the table tests: a fresh directory with small tables, and a
// forked child that runs a script step by step under the parent's control.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "storage/data_table.h"
#include "storage/support/storage_test_support.h"

namespace rudira::tabletest {

using storagetest::CodeOf;

// Two-way channel between the parent and one forked child. The child's
// script receives the channel and uses WaitGo/Report; the parent uses
// Go/Receive. Values are int32.
class TTableChild {
 public:
  class Channel {
   public:
    // Blocks until the parent sends the next go; false when the parent has
    // gone away.
    bool WaitGo();
    void Report(int32_t value);

   private:
    friend class TTableChild;
    int go_ = -1;
    int report_ = -1;
  };

  // Forks; the child runs script and exits with its result (a script that
  // throws exits with 250 + nothing reported).
  void Start(const std::function<int(Channel&)>& script);
  void Go();
  // The child's next report; -1 when it ended without one.
  int32_t Receive();
  // Whether a report is ready now (does not wait).
  bool ReportReady();
  // Closes the go pipe and waits; the child's exit status.
  int Finish();
  ~TTableChild();

 private:
  pid_t pid_ = -1;
  int go_ = -1;
  int report_ = -1;
};

// A table "t" in a fresh directory: an INTEGER field N and a CHAR(10) field
// S, no primary key; optionally a BLOB (memo) field M.
class TTableTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Directory() const { return dir_; }
  void CreateTable(const std::string& name, bool withBlob = false);
  // A closed table object of this test's directory.
  std::unique_ptr<TDataTable> Table(const std::string& name, bool exclusive = false);
  // Appends a record (N = n) and writes it under the writer lock.
  static void InsertUnderLock(TDataTable& table, int32_t n);
  // Field N of record recordNo.
  static int32_t ValueOf(TDataTable& table, int32_t recordNo);

  TableSettings settings_;
  std::string dir_;  // with trailing "/"
};

// Whether byte range [offset, offset + length) of path is write-locked by an
// open file description other than a fresh one of this process (F_OFD_GETLK).
bool RangeLockedOnDisk(const std::string& path, int64_t offset, int64_t length);

}  // namespace rudira::tabletest
