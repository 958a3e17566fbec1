// The values a join's result rows carry: a text column of the probed table
// is written as it would be stored, whatever bytes the record holds (another
// writer may leave trailing spaces or bytes after the terminating zero), and
// a link whose column differs in type from the key it probes finds the same
// records as one of the key's own type.
#include <cstring>

#include "tests/sql/support/select_fixture.h"

namespace rudira::selecttest {
namespace {

// Text bytes as a record may hold them, and the text a query shows.
struct StoredText {
  std::string Bytes;  // the field's data bytes (zero-padded to its width)
  std::string Shown;  // as a result row shows it
};

const StoredText kTexts[] = {
    {"abc", "'abc'"},
    {"abcdef", "'abcdef'"},                  // the whole size
    {"abcd\xc3\xa9", "'abcd\xc3\xa9'"},      // a two-byte character at the end
    {"ab  ", "'ab'"},                        // trailing spaces are not kept
    {std::string("ab\0zz", 5), "'ab'"},      // nothing after a zero byte is read
    {std::string("\0q", 2), "NULL"},         // an empty text is NULL
};

class SelectJoinValues : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    CreateTable("t", {{"K"}, {"V", kFieldTypeString, 6}}, {{"", {1}}});
    auto cursor = Open("t");
    std::vector<uint8_t> record(cursor->RecordSize());
    const TFieldDescriptor& v = cursor->Field(2);
    for (size_t i = 0; i < std::size(kTexts); ++i) {
      Fill(*cursor, record, {static_cast<int32_t>(i + 1), std::string("x")});
      // The raw bytes, as the field holds them.
      uint8_t* data = record.data() + v.Offset;
      data[0] = 1;
      std::memset(data + 1, 0, v.Width);
      std::memcpy(data + 1, kTexts[i].Bytes.data(), std::min<size_t>(kTexts[i].Bytes.size(), v.Width));
      cursor->AppendRecord(record.data());
    }
    // a: N, R an INTEGER key of t (the last one missing), S the same key as
    // SMALLINT.
    CreateTable("a", {{"N"}, {"R"}, {"S", kFieldTypeSmallInt}}, {{"", {1}}});
    std::vector<Row> rows;
    const int32_t count = static_cast<int32_t>(std::size(kTexts)) + 1;
    for (int32_t n = 1; n <= count; ++n) {
      const int32_t k = count + 1 - n;  // probed in descending key order
      rows.push_back({n, k, static_cast<int16_t>(k)});
    }
    Insert("a", rows);
  }

  // "N|V" of every a row whose key names a t record.
  static std::vector<std::string> Expected() {
    std::vector<std::string> lines;
    const int32_t count = static_cast<int32_t>(std::size(kTexts)) + 1;
    for (int32_t n = 1; n <= count; ++n) {
      const int32_t k = count + 1 - n;
      if (k <= static_cast<int32_t>(std::size(kTexts))) lines.push_back(std::to_string(n) + "|" + kTexts[k - 1].Shown);
    }
    return lines;
  }
};

TEST_F(SelectJoinValues, TextsOfTheProbedTableShowAsStored) {
  EXPECT_EQ(Query("SELECT a.N, t.V FROM a, t WHERE a.R = t.K ORDER BY a.N"), Expected());
  // Unsorted: the rows as the walk makes them.
  std::vector<std::string> walked = Query("SELECT a.N, t.V FROM a, t WHERE a.R = t.K");
  std::sort(walked.begin(), walked.end());
  std::vector<std::string> expected = Expected();
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(walked, expected);
}

TEST_F(SelectJoinValues, ALinkOfAnotherIntegerTypeFindsTheSameRecords) {
  EXPECT_EQ(Query("SELECT a.N, t.V FROM a, t WHERE a.S = t.K ORDER BY a.N"), Expected());
  EXPECT_EQ(Query("SELECT a.N, t.V FROM a, t WHERE t.K = a.S ORDER BY a.N"), Expected());
}

}  // namespace
}  // namespace rudira::selecttest
