// Canned result rows are held in the result table's caches while they are
// made and written back in batches: every row of a result larger than a
// batch arrives, a second execution holds only its own rows, and a run that
// fails partway leaves a result table that the next run fills correctly.
#include <stdexcept>

#include "tests/sql/support/select_fixture.h"

namespace rudira::selecttest {
namespace {

using Lines = std::vector<std::string>;

constexpr int32_t kRows = 1300;  // more than two batches of result rows

class SelectResultRows : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    CreateTable("big", {{"A"}, {"B"}}, {{"", {1}}});
    std::vector<Row> rows;
    for (int32_t a = 1; a <= kRows; ++a) rows.push_back({a, a % 7});
    Insert("big", rows);
  }

  static Lines Expected(int32_t below) {
    Lines lines;
    for (int32_t a = 1; a <= kRows; ++a) {
      if (a % 7 < below) lines.push_back(std::to_string(a) + "|" + std::to_string(a % 7));
    }
    return lines;
  }
};

TEST_F(SelectResultRows, EveryRowOfALargeResultArrivesAndAReRunHoldsOnlyItsOwn) {
  TSelectExecutor executor(*session_, *db_, false, -1);
  executor.Prepare("SELECT A, B FROM big WHERE B < 6 ORDER BY A");
  executor.Execute({}, nullptr);
  EXPECT_EQ(Rows(executor), Expected(6));
  EXPECT_EQ(executor.ResultCursor()->GetRecordCount(), static_cast<int32_t>(Expected(6).size()));
  executor.Prepare("SELECT A, B FROM big WHERE B < 2 ORDER BY A");
  executor.Execute({}, nullptr);
  EXPECT_EQ(Rows(executor), Expected(2));
}

TEST_F(SelectResultRows, ARunThatFailsPartwayLeavesATableTheNextRunFills) {
  TSelectExecutor executor(*session_, *db_, false, -1);
  executor.Prepare("SELECT A, B FROM big WHERE B < 6");
  executor.SetProgressCallback([](int percent, bool&) {
    if (percent >= 60 && percent < 100) throw std::runtime_error("stopped by the test");
  });
  EXPECT_THROW(executor.Execute({}, nullptr), std::runtime_error);
  executor.SetProgressCallback(nullptr);
  executor.Execute({}, nullptr);
  EXPECT_EQ(Rows(executor), Expected(6));
}

}  // namespace
}  // namespace rudira::selecttest
