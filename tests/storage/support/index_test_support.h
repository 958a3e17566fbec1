// Helpers of the index tests: a fresh directory per test, a table's fields
// laid out as the data file lays them out, records and their keys, and the
// engine code of a failing action.
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

namespace rudira::indextest {

// The engine error code `action` raised; 0 when it raised nothing.
uint16_t ErrorCodeOf(const std::function<void()>& action);

// A field definition (number, width and offset filled in by Fields()).
TFieldDescriptor Field(const std::string& name, uint8_t type, uint8_t subType = 0, uint8_t size = 0);
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
std::vector<uint8_t> FileContents(const std::string& path);
void WriteFileContents(const std::string& path, const std::vector<uint8_t>& bytes);

class TIndexTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string PathOf(const std::string& name) const { return dir_ + name; }

  std::string dir_;  // this test's directory, with a trailing "/"
};

}  // namespace rudira::indextest
