// TDataFile::Sort on real files: order of keys, both methods and their run
// files, numbering, truncation, header and index counters, and errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/locale_services.h"
#include "storage/file_list.h"
#include "storage/index_file.h"
#include "storage/os_process.h"
#include "storage/record_layout.h"
#include "storage/support/storage_test_support.h"
#include "storage/support/sort_test_support.h"

namespace rudira::sorttest {
namespace {

namespace fs = std::filesystem;
using storagetest::CodeOf;

// Run length 3 and a cache of 3 records: a table of more than three records
// is never wholly cached and is sorted externally.
constexpr int32_t kSmallRunLength = 3;

enum class Method { kInCache, kExternal };

std::string MethodName(const ::testing::TestParamInfo<Method>& info) {
  return info.param == Method::kInCache ? "InCache" : "External";
}

class SortMethodTest : public TSortTest, public ::testing::WithParamInterface<Method> {
 protected:
  FileOptions Options(FileOptions options = {}) const {
    if (GetParam() == Method::kExternal) options.MaxBufferCount = kSmallRunLength;
    return options;
  }
  // Sorts and checks that the method the test is about was the one used.
  TSortOutcome SortChecked(TDataFile& file, const TSortRequest& request) {
    const TSortOutcome outcome = file.Sort(request);
    if (GetParam() == Method::kInCache) {
      EXPECT_EQ(outcome.RunCount, 0);
    } else {
      EXPECT_GT(outcome.RunCount, 0);
    }
    EXPECT_EQ(RunFileCount(), 0u);
    return outcome;
  }
};

TEST_P(SortMethodTest, EmptyTableStaysEmpty) {
  auto file = MakeFile("t", Options());
  const TSortOutcome outcome = file->Sort(SortBy(*file, {"K"}));
  EXPECT_EQ(outcome.RowCount, 0);
  EXPECT_EQ(file->Header().NextRecordNumber, 1);
  EXPECT_EQ(file->FileSize(), file->DataStart());
}

TEST_P(SortMethodTest, EqualKeysKeepTheirOrderOfCreation) {
  for (const bool uniqueIds : {true, false}) {
    SCOPED_TRACE(uniqueIds ? "distinct ids" : "all ids 0");
    auto file = MakeFile(uniqueIds ? "ids" : "noids", Options());
    const std::vector<std::pair<int32_t, std::string>> input = {
        {2, "first2"}, {1, "first1"}, {2, "second2"}, {1, "second1"}, {2, "third2"}, {1, "third1"}, {2, "fourth2"}};
    for (const auto& [k, s] : input) Insert(*file, k, s, std::nullopt, uniqueIds);
    SortChecked(*file, SortBy(*file, {"K"}));
    EXPECT_EQ(Texts(*file), (std::vector<std::string>{"first1", "second1", "third1", "first2", "second2", "third2",
                                                      "fourth2"}));
  }
}

TEST_P(SortMethodTest, OutputRowsAreNumberedByPosition) {
  auto file = MakeFile("t", Options());
  for (int32_t k : {30, 10, 20, 50, 40}) Insert(*file, k, "", std::nullopt);
  file->Sort(SortBy(*file, {"K"}));
  const std::vector<Row> rows = Rows(*file);
  ASSERT_EQ(rows.size(), 5u);
  for (int32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(rows[i].K, 10 * (i + 1));
    EXPECT_EQ(rows[i].RecordNo, i + 1);
    EXPECT_EQ(rows[i].UniqueId, i + 1);
  }
}

TEST_P(SortMethodTest, NullsComeFirstAndDescendingReversesFieldsButNotTies) {
  auto file = MakeFile("t", Options());
  Insert(*file, 2, "a", std::nullopt);
  Insert(*file, std::nullopt, "n", std::nullopt);
  Insert(*file, -5, "b", std::nullopt);
  Insert(*file, 2, "c", std::nullopt);
  Insert(*file, 7, "d", std::nullopt);
  SortChecked(*file, SortBy(*file, {"K"}));
  EXPECT_EQ(Texts(*file), (std::vector<std::string>{"n", "b", "a", "c", "d"}));
  SortChecked(*file, SortBy(*file, {"K"}, {"K"}));
  EXPECT_EQ(Texts(*file), (std::vector<std::string>{"d", "a", "c", "b", "n"}));
}

TEST_P(SortMethodTest, CaseInsensitiveAndDescendingStrings) {
  struct Case {
    bool caseInsensitive;
    bool descending;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {false, false, {"A", "B", "C", "a", "b"}},
      {true, false, {"A", "a", "b", "B", "C"}},
      {false, true, {"b", "a", "C", "B", "A"}},
      {true, true, {"C", "b", "B", "A", "a"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case-insensitive " << c.caseInsensitive << " descending " << c.descending);
    auto file = MakeFile("t" + std::to_string(n++), Options());
    for (const char* s : {"b", "A", "a", "C", "B"}) Insert(*file, std::nullopt, s, std::nullopt);
    TSortRequest request = SortBy(*file, {"S"}, c.descending ? std::vector<std::string>{"S"} : std::vector<std::string>{});
    request.Order.CaseInsensitive = c.caseInsensitive;
    SortChecked(*file, request);
    EXPECT_EQ(Texts(*file), c.expected);
  }
}

TEST_P(SortMethodTest, LocaleOrdersTextsAndNegatesDescendingFields) {
  if (!LocaleInstalled(kUsEnglishLanguageId, 0)) GTEST_SKIP() << "no US English collation";
  FileOptions options;
  options.LanguageId = static_cast<int16_t>(kUsEnglishLanguageId);
  auto file = MakeFile("t", Options(options));
  for (const char* s : {"banana", "Apple", "cherry", "apple", "Banana"}) Insert(*file, 1, s, std::nullopt);
  SortChecked(*file, SortBy(*file, {"S"}));
  EXPECT_EQ(Texts(*file), (std::vector<std::string>{"apple", "Apple", "banana", "Banana", "cherry"}));
  // Descending text first, then ascending K: K is equal, so the text decides.
  SortChecked(*file, SortBy(*file, {"S", "K"}, {"S"}));
  EXPECT_EQ(Texts(*file), (std::vector<std::string>{"cherry", "Banana", "banana", "Apple", "apple"}));
}

TEST_P(SortMethodTest, EncryptedTableSortsAndReopens) {
  FileOptions options;
  options.Encrypted = true;
  auto file = MakeFile("t", Options(options));
  for (int32_t k : {3, 1, 4, 1, 5, 9, 2, 6}) Insert(*file, k, "v" + std::to_string(k), std::nullopt);
  SortChecked(*file, SortBy(*file, {"K"}));
  file->WriteRecords();
  file->WriteHeader();
  file->Close();
  file->Open();
  EXPECT_EQ(Texts(*file), (std::vector<std::string>{"v1", "v1", "v2", "v3", "v4", "v5", "v6", "v9"}));
}

TEST_P(SortMethodTest, DeletedSlotsAreLeftOutAndTheFreeChainIsGone) {
  auto file = MakeFile("t", Options());
  for (int32_t k : {5, 4, 3, 2, 1}) Insert(*file, k, "", std::nullopt);
  file->DeleteRecord(2);
  file->DeleteRecord(4);
  file->Sort(SortBy(*file, {"K"}));
  EXPECT_EQ(file->Header().FirstFreeRecord, 0);
  EXPECT_EQ(file->RecordSlotCount(), 3);
  std::vector<std::optional<int32_t>> keys;
  for (const Row& row : Rows(*file)) keys.push_back(row.K);
  EXPECT_EQ(keys, (std::vector<std::optional<int32_t>>{1, 3, 5}));
  for (int32_t n = 1; n <= 3; ++n) EXPECT_EQ(RecordStatus(file->GetRecord(n)->Data()), kRecordInUse);
}

TEST_P(SortMethodTest, HeaderAndIndexCountersFollowTheOutput) {
  auto file = MakeFile("t", Options());
  TIndexFile index(dir_ + "t.IDX", false);
  index.CreateNew();
  index.SetActiveRecordCount(10);
  for (int32_t k = 10; k >= 1; --k) Insert(*file, k, "", std::nullopt, /*uniqueId=*/false);
  TSortRequest request = SortBy(*file, {"K"});
  request.IndexFile = &index;
  request.Output.RowLimit = 4;
  file->WriteHeader();
  const int32_t changeCount = file->Header().ChangeCount;
  EXPECT_EQ(file->Sort(request).RowCount, 4);
  EXPECT_EQ(index.ActiveRecordCount(), 4);
  EXPECT_EQ(file->Header().NextRecordNumber, 5);
  EXPECT_TRUE(file->HeaderModified());
  // The ids 1..4 are taken now: the next insert's id must not repeat one.
  EXPECT_GE(file->Header().LastAutoIncValue, 4);
  file->WriteRecords();
  file->WriteHeader();
  EXPECT_EQ(file->Header().ChangeCount, changeCount + 1);
  index.Close();
}

TEST_P(SortMethodTest, RowLimitLeavesExactlyThatManyRecords) {
  auto file = MakeFile("t", Options());
  for (int32_t k : {7, 3, 9, 1, 5, 8, 2, 10, 4, 6}) Insert(*file, k, "", std::nullopt);
  TSortRequest request = SortBy(*file, {"K"});
  request.Output.RowLimit = 2;
  SortChecked(*file, request);
  file->WriteRecords();
  file->WriteHeader();
  EXPECT_EQ(file->FileSize(), file->DataStart() + 2 * file->RecordSize());
  file->Close();
  file->Open();
  ASSERT_EQ(file->RecordSlotCount(), 2);
  EXPECT_EQ(Rows(*file)[0].K, 1);
  EXPECT_EQ(Rows(*file)[1].K, 2);
}

INSTANTIATE_TEST_SUITE_P(BothMethods, SortMethodTest, ::testing::Values(Method::kInCache, Method::kExternal),
                         MethodName);

// --- the external method -------------------------------------------------

using ExternalSortTest = TSortTest;

TEST_F(ExternalSortTest, SeveralRunsGiveTheOrderOfTheInCacheSort) {
  constexpr int32_t kRecords = 50;
  FileOptions small;
  small.MaxBufferCount = 8;
  auto external = MakeFile("external", small);
  auto inCache = MakeFile("incache");
  for (int32_t i = 0; i < kRecords; ++i) {
    const int32_t k = (i * 37) % 11;  // many equal keys
    const std::string s = "s" + std::to_string((i * 13) % 17);
    Insert(*external, k, s, i);
    Insert(*inCache, k, s, i);
  }
  ASSERT_LT(external->Cache().Count(), static_cast<size_t>(kRecords));
  size_t filesDuringMerge = 0;
  TSortRequest request = SortBy(*external, {"K", "S"}, {"S"});
  request.Output.Filter = [&](const uint8_t*) {
    filesDuringMerge = std::max(filesDuringMerge, RunFileCount());
    return true;
  };
  const TSortOutcome outcome = external->Sort(request);
  EXPECT_EQ(outcome.RunCount, (kRecords + 7) / 8);  // runs of R = 8 records
  EXPECT_EQ(filesDuringMerge, static_cast<size_t>(outcome.RunCount));
  EXPECT_EQ(RunFileCount(), 0u);

  TSortRequest sameOrder = SortBy(*inCache, {"K", "S"}, {"S"});
  EXPECT_EQ(inCache->Sort(sameOrder).RunCount, 0);
  EXPECT_EQ(Rows(*external), Rows(*inCache));
}

TEST_F(ExternalSortTest, MoreRunsThanOneMergeHoldsAreMergedInGroupsFirst) {
  // Runs of one record: 300 runs, merged as 128 + 128 + 44 into three runs,
  // then those three into the output.
  constexpr int32_t kRecords = 300;
  FileOptions single;
  single.MaxBufferCount = 1;
  single.Encrypted = true;
  auto external = MakeFile("external", single);
  FileOptions plain;
  plain.Encrypted = true;
  auto inCache = MakeFile("incache", plain);
  for (int32_t i = 0; i < kRecords; ++i) {
    const int32_t k = (i * 89) % 23;
    Insert(*external, k, "r" + std::to_string(i), i, /*uniqueId=*/false);
    Insert(*inCache, k, "r" + std::to_string(i), i, /*uniqueId=*/false);
  }
  size_t filesDuringLastMerge = 0;
  TSortRequest request = SortBy(*external, {"K"});
  request.Output.Filter = [&](const uint8_t*) {
    filesDuringLastMerge = std::max(filesDuringLastMerge, RunFileCount());
    return true;
  };
  const TSortOutcome outcome = external->Sort(request);
  EXPECT_EQ(outcome.RunCount, kRecords);
  EXPECT_EQ(outcome.MergePasses, 1);
  EXPECT_EQ(filesDuringLastMerge, 3u);
  EXPECT_EQ(RunFileCount(), 0u);
  EXPECT_EQ(inCache->Sort(SortBy(*inCache, {"K"})).RunCount, 0);
  EXPECT_EQ(Rows(*external), Rows(*inCache));
}

TEST_F(ExternalSortTest, RunsLongerThanTheirReadAheadMergeInKeyOrder) {
  // More than 1 MiB of records in runs of 8192: the merge reads each run in
  // several blocks, so records come from a block read after the first. Many
  // keys share their first eight bytes (K alone; S descending, then K).
  constexpr int32_t kRecords = 40000;
  for (const bool encrypted : {false, true}) {
    for (const bool byText : {false, true}) {
      SCOPED_TRACE(std::string(encrypted ? "encrypted" : "plain") + (byText ? " by S, K" : " by K"));
      FileOptions options;
      options.Encrypted = encrypted;
      auto file = MakeFile(std::string(encrypted ? "scrambled" : "plain") + (byText ? "S" : "K"), options);
      std::vector<Row> expected;
      for (int32_t i = 0; i < kRecords; ++i) {
        const int32_t k = (i * 7919) % 613;
        const std::string s = "s" + std::to_string(i % 97);
        Insert(*file, k, s, i);
        expected.push_back({0, i + 1, k, s, i});
      }
      ASSERT_GT(static_cast<int64_t>(kRecords) * file->RecordSize(), int64_t{kSortRunBytes});
      const TSortOutcome outcome =
          file->Sort(byText ? SortBy(*file, {"S", "K"}, {"S"}) : SortBy(*file, {"K"}));
      EXPECT_GT(outcome.RunCount, 1);
      EXPECT_EQ(outcome.RowCount, kRecords);
      std::stable_sort(expected.begin(), expected.end(), [&](const Row& a, const Row& b) {
        if (byText && a.S != b.S) return a.S > b.S;
        return *a.K < *b.K;
      });
      for (size_t i = 0; i < expected.size(); ++i) {
        expected[i].RecordNo = static_cast<int32_t>(i + 1);
        expected[i].UniqueId = static_cast<int32_t>(i + 1);
      }
      EXPECT_EQ(Rows(*file), expected);
      EXPECT_EQ(RunFileCount(), 0u);
      file->Close();
    }
  }
}

TEST_F(ExternalSortTest, MemoryTableUsesMemoryRunFilesAndRemovesThem) {
  FileOptions memory;
  memory.InMemory = true;
  memory.MaxBufferCount = 2;
  auto file = MakeFile("memory", memory);
  for (int32_t k : {5, 9, 1, 7, 3, 8, 2}) Insert(*file, k, "", std::nullopt);
  const size_t listedBefore = GlobalFileList().Count();
  size_t listedDuringMerge = 0;
  TSortRequest request = SortBy(*file, {"K"});
  request.Output.Filter = [&](const uint8_t*) {
    listedDuringMerge = std::max(listedDuringMerge, GlobalFileList().Count());
    return true;
  };
  const TSortOutcome outcome = file->Sort(request);
  EXPECT_EQ(outcome.RunCount, 4);
  EXPECT_EQ(listedDuringMerge, listedBefore + 4);
  EXPECT_EQ(GlobalFileList().Count(), listedBefore);
  EXPECT_EQ(RunFileCount(), 0u);
  std::vector<std::optional<int32_t>> keys;
  for (const Row& row : Rows(*file)) keys.push_back(row.K);
  EXPECT_EQ(keys, (std::vector<std::optional<int32_t>>{1, 2, 3, 5, 7, 8, 9}));
  file->Close();
  file->Remove();
}

TEST_F(ExternalSortTest, RunFilesAreNamedFromTheThreadIdInThePrivateDirectory) {
  FileOptions small;
  small.MaxBufferCount = 2;
  auto file = MakeFile("t", small);
  for (int32_t k : {4, 3, 2, 1, 0}) Insert(*file, k, "", std::nullopt);
  std::vector<std::string> names;
  TSortRequest request = SortBy(*file, {"K"});
  request.Output.Filter = [&](const uint8_t*) {
    if (names.empty()) {
      for (const auto& entry : fs::directory_iterator(dir_)) {
        if (entry.path().extension() == ".TMP") names.push_back(entry.path().filename().string());
      }
    }
    return true;
  };
  EXPECT_EQ(file->Sort(request).RunCount, 3);
  ASSERT_EQ(names.size(), 3u);
  const std::string prefix = std::to_string(OsCurrentThreadId()).substr(0, 5);
  for (const std::string& name : names) {
    EXPECT_EQ(name.rfind(prefix, 0), 0u) << name;
    const std::string counter = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    EXPECT_FALSE(counter.empty()) << name;
    EXPECT_EQ(counter.find_first_not_of("0123456789"), std::string::npos) << name;
  }
}

TEST_F(ExternalSortTest, ThrowingCallbackPropagatesAndLeavesNoRunFile) {
  FileOptions small;
  small.MaxBufferCount = 4;
  auto file = MakeFile("t", small);
  for (int32_t k = 20; k >= 1; --k) Insert(*file, k % 5, "", k);
  struct Case {
    const char* name;
    bool engineError;
  };
  for (const Case c : {Case{"engine error", true}, Case{"other exception", false}}) {
    SCOPED_TRACE(c.name);
    size_t filesSeen = 0;
    TSortRequest request = SortBy(*file, {"K"});
    request.Output.Accumulate = [&](const uint8_t*, uint8_t*) {
      filesSeen = RunFileCount();
      if (c.engineError) RaiseEngineError(RUDIRA_INVALIDFILTER, {.TableName = "t"});
      throw std::runtime_error("callback failed");
    };
    if (c.engineError) {
      EXPECT_EQ(CodeOf([&] { file->Sort(request); }), RUDIRA_INVALIDFILTER);
    } else {
      EXPECT_THROW(file->Sort(request), std::runtime_error);
    }
    EXPECT_EQ(filesSeen, 5u);
    EXPECT_EQ(RunFileCount(), 0u);
  }
}

// --- the in-cache method -------------------------------------------------

using InCacheSortTest = TSortTest;

TEST_F(InCacheSortTest, ThrowingCallbackLeavesTheRecordsAsTheyWere) {
  auto file = MakeFile("t");
  for (int32_t k : {3, 1, 2, 1}) Insert(*file, k, "x", k);
  file->WriteRecords();
  const std::vector<Row> before = Rows(*file);
  TSortRequest request = SortBy(*file, {"K"});
  request.Output.StartGroup = [](uint8_t*, uint8_t* record) {
    record[9] = 0;  // the change must not reach the cached record
    throw std::runtime_error("callback failed");
  };
  EXPECT_THROW(file->Sort(request), std::runtime_error);
  EXPECT_EQ(Rows(*file), before);
  EXPECT_EQ(file->Header().NextRecordNumber, 5);
}

TEST_F(InCacheSortTest, TheCacheHoldsTheOutputRowsAfterwards) {
  auto file = MakeFile("t");
  for (int32_t k : {3, 1, 2}) Insert(*file, k, "", std::nullopt);
  file->Sort(SortBy(*file, {"K"}));
  EXPECT_EQ(file->Cache().Count(), 3u);
  EXPECT_FALSE(file->Cache().AnyModified());
  // What the cache holds is what the file holds.
  const std::vector<Row> cached = Rows(*file);
  file->DropCache();
  EXPECT_EQ(Rows(*file), cached);
}

// --- errors ----------------------------------------------------------------

TEST_F(TSortTest, TooManyOrUnknownSortFieldsAreRefused) {
  auto file = MakeFile("t");
  Insert(*file, 1, "", std::nullopt);
  TSortRequest tooMany = SortBy(*file, {"K"});
  tooMany.Order.Fields.assign(kMaxSortFields + 1, tooMany.Order.Fields.front());
  EXPECT_EQ(CodeOf([&] { file->Sort(tooMany); }), RUDIRA_FLDLIMIT);

  TSortRequest atLimit = SortBy(*file, {"K"});
  atLimit.Order.Fields.assign(kMaxSortFields, atLimit.Order.Fields.front());
  EXPECT_EQ(CodeOf([&] { file->Sort(atLimit); }), 0);

  TSortRequest unknown = SortBy(*file, {"K"});
  unknown.Order.Fields.front().Field.FieldNo = 4;
  EXPECT_EQ(CodeOf([&] { file->Sort(unknown); }), RUDIRA_OUTOFRANGE);
  TSortRequest otherLayout = SortBy(*file, {"S"});
  otherLayout.Order.Fields.front().Field.Offset += 1;
  EXPECT_EQ(CodeOf([&] { file->Sort(otherLayout); }), RUDIRA_OUTOFRANGE);
}

}  // namespace
}  // namespace rudira::sorttest
