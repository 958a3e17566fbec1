// Descents by a key prefix in a non-unique index whose equal values fill
// several leaves: the path leads to the first key with that prefix, not to
// the first one after the branch key that equals it.
#include <gtest/gtest.h>

#include <algorithm>
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

struct PrefixCase {
  uint8_t Compression;
  bool NoCounts;
};

class IndexTreePrefixTest : public TIndexTest, public ::testing::WithParamInterface<PrefixCase> {};

TEST_P(IndexTreePrefixTest, PrefixDescentFindsTheFirstOfEqualValuesAcrossLeaves) {
  const std::vector<TFieldDescriptor> fields = Fields({Field("S", kFieldTypeString, 0, 40)});
  TIndexDefinition definition = IndexOn("ByS", {1}, false, GetParam().Compression);
  definition.NoCounts = GetParam().NoCounts ? 1 : 0;
  PrepareIndexDefinition(definition, fields, false, "prefix");
  TIndexFile file;
  file.SetFileName(PathOf("prefix.IDX"));
  file.SetTableFields(fields, {});
  file.CreateNew();
  const int slot = file.AddSecondaryDefinition(definition);

  // Four values, each with enough ids (the key suffix) to span many leaves.
  const std::vector<std::string> values = {"apple", "banana", "cherry", "damson"};
  std::vector<std::vector<uint8_t>> keys;  // in index order
  TIndexTree tree(file, slot);
  int32_t id = 1;
  for (const std::string& value : values) {
    for (int n = 0; n < 400; ++n, ++id) {
      const std::vector<uint8_t> key = KeyOf(definition, fields, Record(fields, {value}, id));
      ASSERT_TRUE(tree.Insert(key.data(), id));
      keys.push_back(key);
    }
  }
  std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    return file.Comparer(slot).Compare(a.data(), b.data()) < 0;
  });
  ASSERT_GE(tree.Descend(keys.front().data(), definition.KeySize).Depth, 2);

  const int prefix = fields[0].Width + 1;  // the value without the id suffix
  for (const std::string& value : values) {
    SCOPED_TRACE(value);
    const std::vector<uint8_t> key = KeyOf(definition, fields, Record(fields, {value}, 0));
    const auto first = std::find_if(keys.begin(), keys.end(), [&](const auto& k) {
      return file.Comparer(slot).Compare(k.data(), key.data(), prefix) >= 0;
    });
    EXPECT_EQ(tree.Ordinal(tree.Descend(key.data(), prefix)), first - keys.begin());
  }
  // A prefix above every key leads past the last one.
  const std::vector<uint8_t> above = KeyOf(definition, fields, Record(fields, {std::string("zz")}, 0));
  EXPECT_EQ(tree.Ordinal(tree.Descend(above.data(), prefix)), static_cast<int64_t>(keys.size()));
  // Whole keys still find their own entry.
  for (size_t i = 0; i < keys.size(); i += 61) {
    EXPECT_EQ(tree.Ordinal(tree.Descend(keys[i].data(), definition.KeySize)), static_cast<int64_t>(i));
  }
  file.Close();
}

INSTANTIATE_TEST_SUITE_P(Compression, IndexTreePrefixTest,
                         ::testing::Values(PrefixCase{kCompressionNone, false}, PrefixCase{kCompressionFull, false},
                                           PrefixCase{kCompressionTrailByte, true}));

}  // namespace
}  // namespace rudira
