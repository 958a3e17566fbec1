// Helpers shared by the BLOB file tests: a fresh temporary directory per
// test and raw file access for inspecting and corrupting files (with the
// shared helpers of storage/support/storage_test_support.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "storage/blob_file.h"
#include "storage/support/storage_test_support.h"

namespace rudira::blobtest {

using storagetest::CodeOf;
using storagetest::FileBytes;
using storagetest::PatchFile;
using storagetest::PatchInt32;

// The little-endian int32 at offset of the file; INT32_MIN past its end.
int32_t ReadInt32(const std::string& path, int64_t offset);

// Deterministic pseudo-random bytes.
std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed);

// A fixture with its own temporary directory, removed afterwards.
class TBlobTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The path of `name` in the test's directory.
  std::string PathOf(const std::string& name) const;
  // A new BLOB file of that block size (0 = 512), created and then opened
  // shared, so that other handlers (and processes) can open it too.
  void CreateAndOpen(TBlobFile& file, const std::string& path, uint32_t blockSize = 0,
                     bool encrypted = false);

  std::string dir_;
};

}  // namespace rudira::blobtest
