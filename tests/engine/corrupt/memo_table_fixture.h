// The small table the damage tests patch: "t" with A INTEGER (primary key
// 1..8), S CHAR(20) (secondary index "ByS", "s8" .. "s1") and the memo M;
// the odd rows' memos take three BLOB blocks each, the even rows' one.
#pragma once

#include <string>
#include <vector>

#include "engine/cursor/cursor_fixture.h"

namespace rudira::cursortest {

class MemoTableTest : public CursorTest {
 public:
  static constexpr int kFieldCount = 3;
  static constexpr int kMemo = 3;  // the field number of M

 protected:

  void SetUp() override {
    CursorTest::SetUp();
    if (HasFatalFailure()) return;
    CreateTable("t", {FieldSpec("A"), FieldSpec("S", kFieldTypeString, 20), FieldSpec("M", kFieldTypeBlob, 0, kSubTypeMemo)},
                IndexSpec("", {1}), {IndexSpec("ByS", {2}, false)});
    auto cursor = Open("t");
    for (int32_t a = 1; a <= 8; ++a) {
      std::vector<uint8_t> record = Blank(*cursor);
      Set(*cursor, record, "A", a);
      Set(*cursor, record, "S", "s" + std::to_string(9 - a));
      const std::string memo = a % 2 ? std::string(1200, static_cast<char>('a' + a)) : "short";
      cursor->PutBlob(kMemo, record.data(), 0, memo.size(), reinterpret_cast<const uint8_t*>(memo.data()));
      cursor->AppendRecord(record.data());
    }
  }
};

}  // namespace rudira::cursortest
