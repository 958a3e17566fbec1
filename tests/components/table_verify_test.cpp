// The table component's verification: its progress and log events on a
// sound table, open or closed, and the finding on a table whose data file
// changed behind its index.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "components/rudira_table.h"
#include "components/support/dataset_test_support.h"

namespace rudira {
namespace {

using dstest::FigureRow;

class TableVerifyTest : public dstest::TDataSetTest {
 protected:
  void SetUp() override {
    TDataSetTest::SetUp();
    CreateFigureTable();
    figures_.reset(NewTable(nullptr, "figure"));
    figures_->Open();
    for (const FigureRow& row : SampleFigures()) AppendFigure(*figures_, row);
    figures_->OnVerifyProgress = [this](TRUDIRATable& table, const std::string& step, int percent) {
      EXPECT_EQ(&table, figures_.get());
      progress_.emplace_back(step, percent);
    };
    figures_->OnVerifyLog = [this](TRUDIRATable&, const std::string& message) { log_.push_back(message); };
  }
  void TearDown() override {
    figures_.reset();
    TDataSetTest::TearDown();
  }
  bool Logged(const std::string& prefix) const {
    return std::any_of(log_.begin(), log_.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
  }
  std::unique_ptr<TRUDIRATable> figures_;
  std::vector<std::pair<std::string, int>> progress_;
  std::vector<std::string> log_;
};

TEST_F(TableVerifyTest, ASoundTableOpenOrClosedTellsEveryStep) {
  for (bool open : {true, false}) {
    SCOPED_TRACE(open ? "open" : "closed");
    progress_.clear();
    log_.clear();
    if (!open) figures_->Close();
    EXPECT_TRUE(figures_->VerifyTable());
    EXPECT_EQ(figures_->Active(), open);
    ASSERT_FALSE(log_.empty());
    EXPECT_EQ(log_.back(), "OK");
    std::vector<std::string> steps;
    for (const auto& [step, percent] : progress_) steps.push_back(step);
    EXPECT_EQ(steps, (std::vector<std::string>{"Headers", "Records", "Index MNB", "Index Sys Deleted", "BLOBs"}));
    ASSERT_FALSE(progress_.empty());
    EXPECT_EQ(progress_.back().second, 100);
  }
}

TEST_F(TableVerifyTest, AnIndexEntryThatNoLongerHoldsItsRecordIsLogged) {
  figures_->Close();
  // MNB of record 1 changed in the data file: after the 127-byte header,
  // nine 768-byte descriptors, the status, number, auto-increment and
  // null-flag bytes of the record.
  {
    std::fstream file("kyozai/figure.DAT", std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(file);
    file.seekp(127 + 768 * 9 + 10);
    const char value[4] = {99, 0, 0, 0};
    file.write(value, sizeof value);
  }
  EXPECT_FALSE(figures_->VerifyTable());
  EXPECT_TRUE(Logged("index MNB: the entry of record 1 does not hold its values")) << log_.front();
  EXPECT_EQ(log_.back(), "DAMAGED (1 problem)");
  figures_->Open();
  log_.clear();
  EXPECT_FALSE(figures_->VerifyTable());
  EXPECT_EQ(log_.back(), "DAMAGED (1 problem)");
}

}  // namespace
}  // namespace rudira
