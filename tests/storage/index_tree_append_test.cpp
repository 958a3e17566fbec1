// TIndexTree::Append against inserting the same entries one by one: the
// index files must come out byte for byte the same (pages, page numbers,
// siblings, counts, header), for every leaf compression, with and without
// subtree counts, onto an empty index and after entries already there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/field_type.h"
#include "storage/index_file.h"
#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "tests/storage/support/index_test_support.h"

namespace rudira {
namespace {

using namespace indextest;

struct AppendCase {
  const char* Name;
  bool Wide;            // 200-byte string keys (deep trees) instead of integers
  uint8_t Compression;
  bool NoCounts;
  int Before;           // entries inserted one by one before the append
  int Appended;
};

class IndexTreeAppendTest : public TIndexTest, public ::testing::WithParamInterface<AppendCase> {
 protected:
  // The key of entry i: ascending in i.
  std::vector<uint8_t> KeyOfEntry(int i) {
    const AppendCase& c = GetParam();
    TFieldValue value;
    if (c.Wide) {
      // Shared prefixes and trailing zeros, as the compressed modes meet them.
      std::string text = "entry-" + std::string(5 - std::to_string(i).size(), '0') + std::to_string(i);
      text += std::string(static_cast<size_t>(i % 150), 'x');
      value = text;
    } else {
      value = int32_t{i * 3 - 5000};
    }
    return KeyOf(definition_, fields_, Record(fields_, {value}, i + 1));
  }

  // Makes the index file `name` holding the case's entries: the first
  // Before inserted one by one, the rest inserted (appendAll false) or
  // appended; returns its bytes after writing and closing it.
  std::vector<uint8_t> Build(const std::string& name, bool append) {
    const AppendCase& c = GetParam();
    TIndexFile file;
    file.SetFileName(PathOf(name));
    file.SetTableFields(fields_, {});
    file.CreateNew();
    const int slot = file.AddSecondaryDefinition(definition_);
    {
      TIndexTree tree(file, slot);
      for (int i = 0; i < c.Before; ++i) EXPECT_TRUE(tree.Insert(KeyOfEntry(i).data(), i + 1));
      if (append) {
        tree.Append(c.Appended, [&](int64_t n, uint8_t* key) {
          const int i = c.Before + static_cast<int>(n);
          const std::vector<uint8_t> bytes = KeyOfEntry(i);
          std::copy(bytes.begin(), bytes.end(), key);
          return i + 1;
        });
      } else {
        for (int i = c.Before; i < c.Before + c.Appended; ++i) {
          EXPECT_TRUE(tree.Insert(KeyOfEntry(i).data(), i + 1));
        }
      }
      EXPECT_EQ(tree.Check(), c.Before + c.Appended);
      std::vector<int32_t> records;
      tree.ForEach([&](const uint8_t* key, int32_t recordNo) {
        EXPECT_EQ(std::vector<uint8_t>(key, key + definition_.KeySize), KeyOfEntry(recordNo - 1));
        records.push_back(recordNo);
      });
      for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(records[i], static_cast<int32_t>(i + 1));
    }
    file.WritePages();
    file.WriteHeader();
    file.Close();
    return FileBytes(PathOf(name));
  }

  void SetUp() override {
    TIndexTest::SetUp();
    const AppendCase& c = GetParam();
    fields_ = c.Wide ? Fields({Field("S", kFieldTypeString, 0, 200)}) : Fields({Field("N", kFieldTypeInteger)});
    definition_ = IndexOn("ByKey", {1}, false, c.Compression);
    definition_.NoCounts = c.NoCounts ? 1 : 0;
    PrepareIndexDefinition(definition_, fields_, false, "append");
  }

  std::vector<TFieldDescriptor> fields_;
  TIndexDefinition definition_;
};

TEST_P(IndexTreeAppendTest, LeavesTheFileInsertingOneByOneLeaves) {
  const std::vector<uint8_t> inserted = Build("inserted.IDX", false);
  const std::vector<uint8_t> appended = Build("appended.IDX", true);
  ASSERT_EQ(inserted.size(), appended.size());
  // Compare page by page, so that a difference names its page.
  for (size_t at = 0; at < inserted.size(); at += 4096) {
    const bool same = std::equal(inserted.begin() + static_cast<std::ptrdiff_t>(at),
                                 inserted.begin() + static_cast<std::ptrdiff_t>(at + 4096),
                                 appended.begin() + static_cast<std::ptrdiff_t>(at));
    EXPECT_TRUE(same) << "page " << at / 4096;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IndexTreeAppendTest,
    ::testing::Values(AppendCase{"IntegersOntoEmpty", false, kCompressionNone, false, 0, 3000},
                      AppendCase{"IntegersAfterSome", false, kCompressionNone, false, 700, 2500},
                      AppendCase{"IntegersNoCounts", false, kCompressionNone, true, 10, 2000},
                      AppendCase{"OneEntry", false, kCompressionNone, false, 0, 1},
                      AppendCase{"NothingAppended", false, kCompressionNone, false, 300, 0},
                      AppendCase{"IntegersTrailByte", false, kCompressionTrailByte, false, 0, 3000},
                      AppendCase{"WideFourLevels", true, kCompressionNone, false, 0, 5000},
                      AppendCase{"WideAfterSome", true, kCompressionNone, false, 333, 1500},
                      AppendCase{"WideDupByte", true, kCompressionDupByte, false, 5, 2000},
                      AppendCase{"WideTrailByte", true, kCompressionTrailByte, false, 0, 2000},
                      AppendCase{"WideFull", true, kCompressionFull, false, 17, 2000},
                      AppendCase{"WideNoCounts", true, kCompressionNone, true, 0, 2000}),
    [](const ::testing::TestParamInfo<AppendCase>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace rudira
