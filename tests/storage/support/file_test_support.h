// Helpers of the file-layer tests: a fresh temporary directory per test and
// a forked child process that holds something (an open file, a lock) while
// the parent checks the rule; the engine code of a failing action and whole
// files come from storage/support/storage_test_support.h.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "storage/support/storage_test_support.h"

namespace rudira::filetest {

using storagetest::CodeOf;
using storagetest::FileBytes;
using storagetest::WriteFileBytes;

// Whether a file exists on disk (a plain stat, beside the engine).
bool FileExistsOnDisk(const std::string& path);

// Deterministic bytes.
std::vector<uint8_t> Pattern(size_t count, uint32_t seed);

// A child process that runs `setUp`, reports its result (0..255) to the
// parent and then waits until the parent calls Finish(). Fork before the
// parent opens the files concerned: the child inherits the parent's file list
// and descriptors.
class TChildProcess {
 public:
  // Forks; the child runs setUp and reports its result. Returns the result.
  int Start(const std::function<int()>& setUp);
  // Lets the child end and returns its exit status (the setUp result).
  int Finish();
  ~TChildProcess();

 private:
  pid_t pid_ = -1;
  int release_ = -1;  // parent's end of the pipe the child waits on
};

// Runs action in a forked child and returns its exit status.
int RunInChild(const std::function<int()>& action);

class TFileTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The path of name in this test's directory.
  std::string PathOf(const std::string& name) const;
  // A unique name for a memory file of this test.
  std::string MemoryName(const std::string& name) const;

  std::string dir_;
};

}  // namespace rudira::filetest
