// Helpers of the index tests: a fresh directory per test, a table's fields
// laid out as the data file lays them out, and records and their keys (with
// the shared helpers of storage/support/storage_test_support.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "storage/field_descriptor.h"
#include "storage/field_value.h"
#include "storage/index_definition.h"
#include "storage/index_file.h"
#include "storage/support/storage_test_support.h"

namespace rudira::indextest {

using storagetest::CodeOf;
using storagetest::FileBytes;
using storagetest::WriteFileBytes;
// A field definition (number, width and offset filled in by Fields()).
using storagetest::Field;

// The fields numbered and laid out as in a data file.
std::vector<TFieldDescriptor> Fields(std::vector<TFieldDescriptor> fields);

// A definition over the given 1-based field numbers.
TIndexDefinition IndexOn(const std::string& name, std::vector<uint16_t> fieldNumbers, bool unique = true,
                         uint8_t compression = kCompressionNone);

// A record buffer of the fields with values (std::monostate = null) and the
// unique id at bytes 5..8.
std::vector<uint8_t> Record(const std::vector<TFieldDescriptor>& fields, const std::vector<TFieldValue>& values,
                            int32_t uniqueId, const TableLocale& locale = {});

// The index key of a record under `definition` (prepared against fields).
std::vector<uint8_t> KeyOf(const TIndexDefinition& definition, const std::vector<TFieldDescriptor>& fields,
                           const std::vector<uint8_t>& record, const TableLocale& locale = {});

// All 4096 bytes of page pageNo of the file at path.
std::vector<uint8_t> PageBytes(const std::string& path, int32_t pageNo);

class TIndexTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string PathOf(const std::string& name) const { return dir_ + name; }

  std::string dir_;  // this test's directory, with a trailing "/"
};

}  // namespace rudira::indextest
