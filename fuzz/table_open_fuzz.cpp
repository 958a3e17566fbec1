// Fuzz target: opening a table from damaged files, then working on it.
//
// Input layout:
//   byte 0            n, the length of the operation bytes (n mod 64)
//   bytes 1..n        the operation sequence run on the open cursor
//   then, repeated    a patch of the seed table's files:
//                       byte   file: bits 0-1 pick t.DAT, t.IDX or t.BLB
//                              (3: t.DAT); bit 7 truncates the file at the
//                              offset instead of writing
//                       word   offset (little-endian)
//                       byte   length L
//                       L bytes written at the offset (the file grows
//                              when they reach past its end)
// Engine errors are the expected outcome of damaged files; anything else
// (a crash, a sanitizer report, another exception, a hang) is a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/data_cursor.h"
#include "engine/data_session.h"
#include "engine/errors.h"
#include "fuzz/fuzz_seed.h"
#include "storage/field_value.h"

namespace {

using rudira::fuzz::TInputReader;

constexpr int kFieldA = 1;
constexpr int kFieldS = 2;
constexpr int kFieldM = 3;
constexpr int kFieldF = 4;

std::vector<rudira::fuzz::TFileImage> PatchedImages(TInputReader& patches) {
  std::vector<rudira::fuzz::TFileImage> images;
  for (const rudira::fuzz::TFileImage& image : rudira::fuzz::SeedImages()) {
    if (image.Name.rfind("t.", 0) == 0) images.push_back(image);
  }
  while (!patches.AtEnd()) {
    const uint8_t target = patches.Byte();
    const size_t offset = patches.Word();
    const size_t length = patches.Byte();
    std::string& bytes = images[(target & 3) % images.size()].Bytes;
    if (target & 0x80) {
      if (offset < bytes.size()) bytes.resize(offset);
      continue;
    }
    const std::string data = patches.Bytes(length);
    if (offset + data.size() > bytes.size()) bytes.resize(offset + data.size(), '\0');
    bytes.replace(offset, data.size(), data);
  }
  return images;
}

class TOperations {
 public:
  TOperations(rudira::TDataSession& session, rudira::TDataDirectory& database, TInputReader ops)
      : session_(session), database_(database), ops_(ops) {}

  void Run() {
    Open();
    while (!ops_.AtEnd()) {
      const uint8_t op = ops_.Byte();
      try {
        Step(op);
      } catch (const rudira::ERUDIRAEngineError& error) {
        rudira::fuzz::NoteError(error);
        try {
          cursor_->CancelRecord();
        } catch (const rudira::ERUDIRAEngineError& error) {
          rudira::fuzz::NoteError(error);
        }
      }
    }
  }

 private:
  void Open() {
    cursor_ = std::make_unique<rudira::TDataCursor>(session_, database_);
    cursor_->SetTableName("t");
    cursor_->OpenCursor();
    record_.assign(cursor_->RecordSize(), 0);
  }

  void Set(int fieldNo, const rudira::TFieldValue& value) {
    const rudira::TFieldDescriptor& field = cursor_->Field(fieldNo);
    if (!rudira::StoreFieldValue(record_.data(), field, value,
                                 cursor_->Table()->DataFile().Locale())) {
      rudira::StoreFieldNull(record_.data(), field);
    }
  }

  std::string Memo(size_t length) {
    std::string memo(length, 'm');
    for (size_t i = 0; i < length; ++i) memo[i] = static_cast<char>('a' + (i * 7 + length) % 26);
    return memo;
  }

  void PutMemo(size_t length) {
    const std::string memo = Memo(length);
    cursor_->TruncateBlob(kFieldM, record_.data(), 0);
    cursor_->PutBlob(kFieldM, record_.data(), 0, memo.size(),
                     reinterpret_cast<const uint8_t*>(memo.data()));
  }

  // Reads the current record, then locks it for an edit (the lock compares
  // the stored record with the copy read).
  bool BeginEdit() {
    return cursor_->GetCurrentRecord(record_.data()) == 0 &&
           cursor_->GetCurrentRecord(record_.data(), true) == 0;
  }

  void Step(uint8_t op) {
    switch (op % 22) {
      case 0:
        cursor_->SetToBegin();
        break;
      case 1:
        cursor_->SetToEnd();
        break;
      case 2:
        cursor_->GetNextRecord(record_.data());
        break;
      case 3:
        cursor_->GetPriorRecord(record_.data());
        break;
      case 4:
        cursor_->GetCurrentRecord(record_.data());
        break;
      case 5:
        cursor_->SetIndexName(ops_.Byte() & 1 ? "ByS" : "");
        break;
      case 6: {
        const uint8_t arg = ops_.Byte();
        std::vector<uint8_t> search(cursor_->RecordSize());
        cursor_->InitRecord(search.data());
        record_.swap(search);
        if (cursor_->IndexName().empty())
          Set(kFieldA, int32_t(arg % 40));
        else
          Set(kFieldS, std::string(1, static_cast<char>('a' + arg % 26)));
        record_.swap(search);
        cursor_->Find(search.data(), false, record_.data(), 0, arg & 0x40 ? 1 : 0, arg & 0x80);
        break;
      }
      case 7: {
        static const char* const kFilters[] = {"A > 10", "S = 'ko'", "M LIKE '%a%'",
                                               "F < 2 AND D IS NOT NULL",
                                               "UPPER(S) = 'KO' OR A = 4"};
        rudira::TFilter* filter = cursor_->AddFilter(kFilters[ops_.Byte() % 5]);
        cursor_->ActivateFilter(filter);
        break;
      }
      case 8:
        cursor_->DropFilter();
        break;
      case 9: {
        const uint16_t arg = ops_.Word();
        cursor_->InitRecord(record_.data());
        Set(kFieldA, int32_t(1000 + arg));
        Set(kFieldS, std::string("n") + std::to_string(arg % 97));
        Set(kFieldF, double(arg) / 8);
        if (arg & 1) PutMemo(arg % 2100);
        cursor_->AppendRecord(record_.data());
        break;
      }
      case 10: {
        const uint8_t arg = ops_.Byte();
        if (!BeginEdit()) break;
        Set(kFieldS, std::string("e") + std::to_string(arg));
        if (arg & 1) Set(kFieldA, int32_t(2000 + arg));
        cursor_->ModifyRecord(record_.data());
        break;
      }
      case 11:
        if (BeginEdit()) cursor_->DeleteRecord(record_.data());
        break;
      case 12: {
        if (cursor_->GetCurrentRecord(record_.data()) != 0) break;
        const size_t size = cursor_->GetBlobSize(kFieldM, record_.data());
        std::vector<uint8_t> memo(size + 1);
        cursor_->GetBlob(kFieldM, record_.data(), 0, size, memo.data());
        cursor_->FreeBlob(kFieldM);
        break;
      }
      case 13: {
        const uint16_t arg = ops_.Word();
        if (!BeginEdit()) break;
        PutMemo(arg % 2600);
        cursor_->ModifyRecord(record_.data());
        break;
      }
      case 14:
        cursor_->GetRecordCount();
        break;
      case 15:
        cursor_->SetToRecordNo(ops_.Byte() % 24);
        break;
      case 16: {
        const uint8_t arg = ops_.Byte();
        std::vector<uint8_t> low(cursor_->RecordSize());
        std::vector<uint8_t> high(cursor_->RecordSize());
        cursor_->InitRecord(low.data());
        cursor_->InitRecord(high.data());
        const rudira::TFieldDescriptor& a = cursor_->Field(kFieldA);
        const rudira::TableLocale& locale = cursor_->Table()->DataFile().Locale();
        (void)rudira::StoreFieldValue(low.data(), a, int32_t(arg % 20), locale);
        (void)rudira::StoreFieldValue(high.data(), a, int32_t(arg % 20 + arg / 20), locale);
        cursor_->SetIndexName("");
        cursor_->SetRange(low.data(), 0, high.data(), 0);
        break;
      }
      case 17:
        cursor_->ResetRange();
        break;
      case 18:
        cursor_->Refresh();
        break;
      case 19:
        cursor_->FlushBuffers();
        break;
      case 20:
        cursor_.reset();
        Open();
        break;
      case 21: {
        // A second cursor on the same table reads alongside.
        rudira::TDataCursor other(session_, database_);
        other.SetTableName("t");
        other.OpenCursor();
        other.SetIndexName("ByS");
        std::vector<uint8_t> record(other.RecordSize());
        other.SetToBegin();
        for (int i = 0; i < 30 && other.GetNextRecord(record.data()) == 0; ++i) {
        }
        break;
      }
    }
  }

  rudira::TDataSession& session_;
  rudira::TDataDirectory& database_;
  TInputReader ops_;
  std::unique_ptr<rudira::TDataCursor> cursor_;
  std::vector<uint8_t> record_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t opCount = std::min<size_t>(data[0] % 64, size - 1);
  TInputReader patches(data + 1 + opCount, size - 1 - opCount);
  const std::string& directory = rudira::fuzz::ScratchDirectory();
  rudira::fuzz::WriteImages(directory, PatchedImages(patches));
  rudira::TDataSession session;
  session.SetPrivateDir(directory);
  try {
    rudira::TDataDirectory* database = session.OpenDatabase("db", directory);
    TOperations(session, *database, TInputReader(data + 1, opCount)).Run();
  } catch (const rudira::ERUDIRAEngineError& error) {
    rudira::fuzz::NoteError(error);
  }
  return 0;
}
