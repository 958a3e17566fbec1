#include "storage/support/storage_test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "storage/byte_codec.h"

namespace rudira::storagetest {

uint16_t CodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ERUDIRAEngineError& error) {
    return error.ErrorCode();
  }
  return 0;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

void PatchFile(const std::string& path, int64_t offset, const void* bytes, size_t count) {
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0) << path;
  const ssize_t written = ::pwrite(fd, bytes, count, offset);
  ::close(fd);
  ASSERT_EQ(written, static_cast<ssize_t>(count)) << path;
}

void PatchInt32(const std::string& path, int64_t offset, int32_t value) {
  uint8_t bytes[4];
  StoreLE<int32_t>(bytes, value);
  PatchFile(path, offset, bytes, 4);
}

TFieldDescriptor Field(const std::string& name, uint8_t type, uint8_t subType, uint8_t size) {
  TFieldDescriptor field;
  field.FieldName = name;
  field.FieldType = type;
  field.SubType = subType;
  field.Size = size;
  return field;
}

}  // namespace rudira::storagetest
