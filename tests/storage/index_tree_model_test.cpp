// Randomized model test of the index trees: thousands of random inserts and
// deletes for each compression mode and several key types, checked after
// every step against an ordered model (order, counts, positions by ordinal)
// and again after closing and re-opening the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/locale_services.h"
#include "storage/field_type.h"
#include "storage/index_file.h"
#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "tests/storage/support/index_test_support.h"

namespace rudira {
namespace {

using namespace indextest;

enum class KeyKind { Integer, String, DescendingLargeInt, Float, WideString, LocaleString };

struct ModelCase {
  KeyKind Kind;
  uint8_t Compression;
  bool NoCounts = false;  // branch entries without subtree counts
};

std::string CaseName(const ::testing::TestParamInfo<ModelCase>& info) {
  static const char* kinds[] = {"Integer", "String", "DescendingLargeInt", "Float", "WideString", "LocaleString"};
  static const char* modes[] = {"None", "DupByte", "TrailByte", "Full"};
  return std::string(kinds[static_cast<int>(info.param.Kind)]) + modes[info.param.Compression] +
         (info.param.NoCounts ? "NoCounts" : "");
}

class IndexTreeModelTest : public TIndexTest, public ::testing::WithParamInterface<ModelCase> {
 protected:
  using Entry = std::pair<std::vector<uint8_t>, int32_t>;

  void SetUp() override {
    TIndexTest::SetUp();
    const ModelCase c = GetParam();
    if (c.Kind == KeyKind::LocaleString && !LocaleInstalled(kUsEnglishLanguageId, 0)) {
      GTEST_SKIP() << "no US English collation";
    }
    switch (c.Kind) {
      case KeyKind::Integer:
        fields_ = Fields({Field("N", kFieldTypeInteger)});
        definition_ = IndexOn("ByN", {1}, true, c.Compression);
        break;
      case KeyKind::String:
        // Few letters and short texts: many equal values (ordered by id),
        // long shared prefixes and long runs of trailing zeros.
        fields_ = Fields({Field("S", kFieldTypeString, 0, 24)});
        definition_ = IndexOn("ByS", {1}, false, c.Compression);
        break;
      case KeyKind::DescendingLargeInt:
        fields_ = Fields({Field("L", kFieldTypeLargeInt)});
        definition_ = IndexOn("ByL", {1}, true, c.Compression);
        definition_.Descending = 1;
        break;
      case KeyKind::Float:
        fields_ = Fields({Field("F", kFieldTypeFloat)});
        definition_ = IndexOn("ByF", {1}, false, c.Compression);
        break;
      case KeyKind::WideString:
        // Keys of 256 bytes: about 15 entries per page, so the tree grows
        // four levels deep and every kind of rebalancing happens often.
        fields_ = Fields({Field("W", kFieldTypeString, 0, 250)});
        definition_ = IndexOn("ByW", {1}, false, c.Compression);
        definition_.CaseInsensitive = 1;
        break;
      case KeyKind::LocaleString:
        // Ordered by the locale's collation, descending: the comparison,
        // not the key bytes, gives the order.
        fields_ = Fields({Field("S", kFieldTypeString, 0, 16)});
        definition_ = IndexOn("ByS", {1}, false, c.Compression);
        definition_.Descending = 1;
        locale_ = {static_cast<int16_t>(kUsEnglishLanguageId), 0};
        break;
    }
    definition_.NoCounts = c.NoCounts ? 1 : 0;
    PrepareIndexDefinition(definition_, fields_, false, "model");
    file_.SetFileName(PathOf("model.IDX"));
    file_.SetTableFields(fields_, locale_);
    file_.CreateNew();
    slot_ = file_.AddSecondaryDefinition(definition_);
  }

  void TearDown() override {
    if (file_.Opened()) file_.Close();
    TIndexTest::TearDown();
  }

  TFieldValue RandomValue(std::mt19937& rng) {
    switch (GetParam().Kind) {
      case KeyKind::Integer:
        return static_cast<int32_t>(rng() % 20000) - 10000;
      case KeyKind::String: {
        std::string text(1 + rng() % 12, 'a');
        for (char& ch : text) ch = "aab"[rng() % 3];
        return text;
      }
      case KeyKind::DescendingLargeInt:
        return static_cast<int64_t>(rng() % 100000) * 1000003LL - 50000000000LL;
      case KeyKind::Float:
        if (rng() % 10 == 0) return TFieldValue{};  // nulls sort first
        return (static_cast<double>(rng() % 4001) - 2000.0) / 8.0;
      case KeyKind::WideString: {
        std::string text(100 + rng() % 150, 'a');
        for (char& ch : text) ch = "aAbB"[rng() % 4];
        return text;
      }
      case KeyKind::LocaleString: {
        static const char* pieces[] = {"a", "B", "\xc3\xa9", "E", "z", "-", "1"};
        std::string text;
        for (size_t n = 1 + rng() % 5; n > 0; --n) text += pieces[rng() % 7];
        return text;
      }
    }
    return {};
  }

  int Compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    return file_.Comparer(slot_).Compare(a.data(), b.data());
  }
  std::vector<Entry>::iterator LowerBound(const std::vector<uint8_t>& key) {
    return std::lower_bound(model_.begin(), model_.end(), key,
                            [this](const Entry& e, const std::vector<uint8_t>& k) { return Compare(e.first, k) < 0; });
  }

  // Checks the tree against the model: count, and positions by ordinal.
  void CheckStep(TIndexTree& tree, std::mt19937& rng, const std::vector<uint8_t>* touched) {
    ASSERT_EQ(tree.RecordCount(), static_cast<int64_t>(model_.size()));
    if (touched) {
      const auto it = LowerBound(*touched);
      const TIndexPath path = tree.Descend(touched->data(), definition_.KeySize);
      ASSERT_EQ(tree.Ordinal(path), it - model_.begin());
      // The ordinal summed during the descent, for the whole key and a prefix.
      for (int length : {static_cast<int>(definition_.KeySize), static_cast<int>(definition_.KeySize) - 1}) {
        int64_t counted = -1;
        const TIndexPath countedPath = tree.DescendCounting(touched->data(), length, counted);
        const TIndexPath plain = tree.Descend(touched->data(), length);
        ASSERT_EQ(counted, tree.Ordinal(plain)) << "length " << length;
        ASSERT_EQ(countedPath.Depth, plain.Depth);
        if (plain.Depth > 0) {
          ASSERT_EQ(countedPath.Leaf().Page, plain.Leaf().Page);
          ASSERT_EQ(countedPath.Leaf().Position, plain.Leaf().Position);
        }
      }
    }
    for (int probe = 0; probe < 3 && !model_.empty(); ++probe) {
      const size_t ordinal = rng() % model_.size();
      const TIndexPath path = tree.PathOfOrdinal(static_cast<int64_t>(ordinal));
      ASSERT_GT(path.Depth, 0);
      std::vector<uint8_t> key;
      int32_t recordNo = 0;
      tree.EntryAt(path, key, recordNo);
      ASSERT_EQ(key, model_[ordinal].first) << "ordinal " << ordinal;
      ASSERT_EQ(recordNo, model_[ordinal].second);
      ASSERT_EQ(tree.Ordinal(path), static_cast<int64_t>(ordinal));
    }
    EXPECT_EQ(tree.PathOfOrdinal(static_cast<int64_t>(model_.size())).Depth, 0);
  }

  void CheckWhole(TIndexTree& tree) {
    ASSERT_EQ(tree.Check(), static_cast<int64_t>(model_.size()));
    std::vector<Entry> walked;
    tree.ForEach([&](const uint8_t* key, int32_t recordNo) {
      walked.emplace_back(std::vector<uint8_t>(key, key + definition_.KeySize), recordNo);
    });
    ASSERT_EQ(walked, model_);
  }

  std::vector<TFieldDescriptor> fields_;
  TIndexDefinition definition_;
  TIndexFile file_;
  int slot_ = 0;
  TableLocale locale_;
  std::vector<Entry> model_;  // sorted by the index's comparison
};

TEST_P(IndexTreeModelTest, RandomInsertsAndDeletesMatchAnOrderedModel) {
  std::mt19937 rng(1234u + static_cast<unsigned>(GetParam().Compression) * 17u +
                   static_cast<unsigned>(GetParam().Kind));
  int32_t nextId = 1;
  int maxDepth = 0;
  constexpr int kSteps = 4000;
  for (int step = 0; step < kSteps; ++step) {
    TIndexTree tree(file_, slot_);
    // Grow for the first two thirds, then shrink: splits, then merges,
    // redistributions and root collapses.
    const bool insert = model_.empty() || rng() % 100 < (step < kSteps * 2 / 3 ? 70u : 25u);
    std::vector<uint8_t> touched;
    if (insert) {
      const int32_t id = nextId++;
      const auto record = Record(fields_, {RandomValue(rng)}, id, locale_);
      touched = KeyOf(definition_, fields_, record, locale_);
      const auto it = LowerBound(touched);
      const bool fresh = it == model_.end() || Compare(it->first, touched) != 0;
      ASSERT_EQ(tree.Insert(touched.data(), id), fresh) << "step " << step;
      if (fresh) model_.insert(it, {touched, id});
    } else {
      const size_t victim = rng() % model_.size();
      touched = model_[victim].first;
      ASSERT_TRUE(tree.Delete(touched.data())) << "step " << step;
      ASSERT_FALSE(tree.Delete(touched.data()));
      model_.erase(model_.begin() + static_cast<std::ptrdiff_t>(victim));
    }
    ASSERT_NO_FATAL_FAILURE(CheckStep(tree, rng, &touched)) << "step " << step;
    maxDepth = std::max(maxDepth, tree.Descend(touched.data(), definition_.KeySize).Depth);
    if (step % 250 == 0) {
      ASSERT_NO_FATAL_FAILURE(CheckWhole(tree)) << "step " << step;
    }
    // Persist now and then, so that pages are also read back from the file.
    if (step % 500 == 499) {
      file_.WritePages();
      file_.DropPages();
    }
  }
  {
    TIndexTree tree(file_, slot_);
    ASSERT_NO_FATAL_FAILURE(CheckWhole(tree));
  }
  EXPECT_GE(maxDepth, GetParam().Kind == KeyKind::WideString ? 3 : 2);
  file_.WritePages();
  file_.WriteHeader();
  file_.Close();

  TIndexFile reopened(PathOf("model.IDX"), false);
  reopened.SetTableFields(fields_, locale_);
  reopened.Open();
  ASSERT_EQ(reopened.FindIndex(definition_.IndexName), slot_);
  TIndexTree tree(reopened, slot_);
  ASSERT_EQ(tree.Check(), static_cast<int64_t>(model_.size()));
  std::vector<Entry> walked;
  tree.ForEach([&](const uint8_t* key, int32_t recordNo) {
    walked.emplace_back(std::vector<uint8_t>(key, key + definition_.KeySize), recordNo);
  });
  EXPECT_EQ(walked, model_);
  for (size_t i = 0; i < model_.size(); i += 97) {
    EXPECT_EQ(tree.Find(model_[i].first.data()), model_[i].second);
    EXPECT_EQ(tree.Ordinal(tree.Descend(model_[i].first.data(), definition_.KeySize)), static_cast<int64_t>(i));
  }
  // Delete everything left: the index ends empty.
  for (const Entry& e : model_) ASSERT_TRUE(tree.Delete(e.first.data()));
  EXPECT_EQ(reopened.Definition(slot_).RootPage, 0);
  EXPECT_EQ(tree.RecordCount(), 0);
  reopened.Close();
}

INSTANTIATE_TEST_SUITE_P(
    KeyTypesAndCompression, IndexTreeModelTest,
    ::testing::Values(ModelCase{KeyKind::Integer, kCompressionNone}, ModelCase{KeyKind::Integer, kCompressionDupByte},
                      ModelCase{KeyKind::Integer, kCompressionTrailByte}, ModelCase{KeyKind::Integer, kCompressionFull},
                      ModelCase{KeyKind::String, kCompressionNone}, ModelCase{KeyKind::String, kCompressionDupByte},
                      ModelCase{KeyKind::String, kCompressionTrailByte}, ModelCase{KeyKind::String, kCompressionFull},
                      ModelCase{KeyKind::DescendingLargeInt, kCompressionNone},
                      ModelCase{KeyKind::DescendingLargeInt, kCompressionFull},
                      ModelCase{KeyKind::Float, kCompressionNone}, ModelCase{KeyKind::Float, kCompressionTrailByte},
                      ModelCase{KeyKind::WideString, kCompressionNone},
                      ModelCase{KeyKind::WideString, kCompressionDupByte},
                      ModelCase{KeyKind::WideString, kCompressionTrailByte},
                      ModelCase{KeyKind::WideString, kCompressionFull},
                      ModelCase{KeyKind::LocaleString, kCompressionNone},
                      ModelCase{KeyKind::LocaleString, kCompressionFull},
                      ModelCase{KeyKind::WideString, kCompressionNone, true},
                      ModelCase{KeyKind::Integer, kCompressionTrailByte, true}),
    CaseName);

}  // namespace
}  // namespace rudira
