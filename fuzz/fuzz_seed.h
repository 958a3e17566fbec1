// The small valid tables every engine fuzzer starts from, and the scratch
// directory a fuzzer process works in.
//
// "t": A INTEGER (primary key), S CHAR(20) (non-unique, case-insensitive
// index "ByS"), M MEMO, F FLOAT, D DATE; a dozen rows, some memos long
// enough to take a chain of several BLOB blocks, one NULL of each kind.
// "u": K INTEGER (primary key), T CHAR(10); a few rows joining t on K = A.
//
// The tables are built once per process through the engine itself and kept
// as file images; a fuzz run writes the images (possibly mutated) into the
// scratch directory and opens them there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rudira {
class TDataSession;
class TDataDirectory;
class ERUDIRAEngineError;
}  // namespace rudira

namespace rudira::fuzz {

struct TFileImage {
  std::string Name;  // file name without directory, e.g. "t.DAT"
  std::string Bytes;
};

// A fresh directory of this process (ending in "/"), removed at exit.
const std::string& ScratchDirectory();

// Creates and fills "t" and "u" in `database`.
void CreateSeedTables(TDataSession& session, TDataDirectory& database);

// The file images of the seed tables, built on the first call.
const std::vector<TFileImage>& SeedImages();

// Removes every file of `directory` and writes `images` into it.
void WriteImages(const std::string& directory, const std::vector<TFileImage>& images);

// An engine error a target caught: printed to stderr when the environment
// variable RUDIRA_FUZZ_VERBOSE is set (for looking at what a corpus does).
void NoteError(const ERUDIRAEngineError& error);

// Reads little-endian fields of fuzz input; reads past the end give 0.
class TInputReader {
 public:
  TInputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return position_ >= size_; }
  size_t Remaining() const { return AtEnd() ? 0 : size_ - position_; }
  uint8_t Byte() { return AtEnd() ? 0 : data_[position_++]; }
  uint16_t Word() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | (Byte() << 8));
  }
  // Up to `count` bytes (fewer at the end).
  std::string Bytes(size_t count) {
    const size_t n = count < Remaining() ? count : Remaining();
    std::string out(reinterpret_cast<const char*>(data_ + position_), n);
    position_ += n;
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

}  // namespace rudira::fuzz
