#include "blob_test_files.h"

#include <stdlib.h>

#include <climits>
#include <filesystem>

#include "storage/byte_codec.h"

namespace rudira::blobtest {

namespace fs = std::filesystem;

int32_t ReadInt32(const std::string& path, int64_t offset) {
  const std::vector<uint8_t> bytes = FileBytes(path);
  if (offset < 0 || static_cast<size_t>(offset) + 4 > bytes.size()) return INT32_MIN;
  return LoadLE<int32_t>(bytes.data() + offset);
}

std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed) {
  std::vector<uint8_t> bytes(count);
  uint32_t state = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

void TBlobTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "blobfile-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  dir_ = pattern;
}

void TBlobTest::TearDown() {
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

std::string TBlobTest::PathOf(const std::string& name) const { return dir_ + "/" + name; }

void TBlobTest::CreateAndOpen(TBlobFile& file, const std::string& path, uint32_t blockSize, bool encrypted) {
  file.SetFileName(path);
  file.SetBlockSize(blockSize);
  file.SetEncrypted(encrypted);
  file.CreateNew();
  file.Close();
  file.Open();
}

}  // namespace rudira::blobtest
