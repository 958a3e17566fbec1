// Helpers shared by every storage test: the engine code of a failing action,
// whole-file reads and writes and in-place patches beside the engine (plain
// POSIX and stream calls), and a field definition to build tables from.
//
// The layer helpers (blobtest, filetest, indextest, tabletest, sorttest)
// re-export what they use from here, so that a test sees one set of names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "storage/field_descriptor.h"

namespace rudira::storagetest {

// The engine error code `action` raised; 0 when it raised nothing.
uint16_t CodeOf(const std::function<void()>& action);

// Every byte of the file at path (empty when it cannot be read).
std::vector<uint8_t> FileBytes(const std::string& path);
// Replaces the file's contents with bytes (creating it); a failed write
// fails the test.
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Overwrites count bytes at offset of an existing file; a failure fails the
// test.
void PatchFile(const std::string& path, int64_t offset, const void* bytes, size_t count);
// Overwrites the little-endian int32 at offset.
void PatchInt32(const std::string& path, int64_t offset, int32_t value);

// A field definition with name, type, sub-type and size; number, width and
// offset are left for the table's preparation to fill in.
TFieldDescriptor Field(const std::string& name, uint8_t type, uint8_t subType = 0, uint8_t size = 0);

}  // namespace rudira::storagetest
