#include "engine/exp_token.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "engine/support/expression_harness.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

using test::DumpTree;
using test::ExpressionHarness;

TEST(ExpTokenTest, ValueBufferStartsAt251BytesAndGrowsInGranules) {
  TExpTokenPtr node = TExpTokenStack::TakePtr();
  EXPECT_EQ(node->Value.size(), kExpValueInitialSize);
  node->SetBytes(std::string(300, 'x'));
  EXPECT_EQ(node->Value.size(), kExpValueInitialSize + kExpValueGranule);
  EXPECT_EQ(node->ValueLength, 300u);
  EXPECT_EQ(node->Value[300], 0);
  node->SetBytes(std::string(kExpValueInitialSize + 2 * kExpValueGranule, 'y'));  // one byte more with the terminator
  EXPECT_EQ(node->Value.size(), kExpValueInitialSize + 3 * kExpValueGranule);
}

TEST(ExpTokenTest, PoolKeepsAtMost64ResetNodes) {
  std::vector<TExpToken*> taken;
  for (int i = 0; i < 100; ++i) taken.push_back(TExpTokenStack::Take());
  taken[0]->TokenText = "used";
  taken[0]->SetInt32(7);
  taken[0]->SetType(kFieldTypeInteger);
  for (TExpToken* node : taken) TExpTokenStack::Free(node);
  EXPECT_EQ(TExpTokenStack::SpareCount(), TExpTokenStack::kMaxSpare);
  std::vector<TExpToken*> again;
  for (size_t i = 0; i < TExpTokenStack::kMaxSpare; ++i) {
    TExpToken* node = TExpTokenStack::Take();
    EXPECT_TRUE(node->TokenText.empty());
    EXPECT_TRUE(node->IsNull);
    EXPECT_EQ(node->DataType, 0);
    EXPECT_EQ(node->Int32(), 0);
    again.push_back(node);
  }
  EXPECT_EQ(TExpTokenStack::SpareCount(), 0u);
  for (TExpToken* node : again) TExpTokenStack::Free(node);
}

TEST(ExpTokenTest, FreeingATreeReturnsEveryNodeFromSeveralThreads) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      ExpressionHarness harness;
      for (int i = 0; i < 200; ++i) {
        TExpTokenPtr root = harness.Check("A = 'x' OR B > 30 AND NOT C OR B IN (1, 2, 3)");
        TExpTokenPtr value = EvaluateExpression(*root, harness);
        EXPECT_EQ(value->UInt16(), 1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_LE(TExpTokenStack::SpareCount(), TExpTokenStack::kMaxSpare);
}

TEST(ExpTokenTest, TreeQueries) {
  ExpressionHarness harness;
  TExpTokenPtr constant = harness.Check("1 + 2 = 3");
  EXPECT_FALSE(ContainsColumn(constant.get()));
  EXPECT_EQ(FirstColumn(constant.get()), nullptr);
  TExpTokenPtr columns = harness.Check("1 = 2 OR UPPER(A) = 'X' AND B > 1");
  EXPECT_TRUE(ContainsColumn(columns.get()));
  ASSERT_NE(FirstColumn(columns.get()), nullptr);
  EXPECT_EQ(FirstColumn(columns.get())->ColumnName, "A");
  EXPECT_FALSE(ContainsAggregate(columns.get()));
  TExpTokenPtr aggregate = harness.Check("SUM(B) + 1", kAllowAggregates);
  EXPECT_TRUE(ContainsAggregate(aggregate.get()));

  TExpTokenPtr flag = harness.Check("C");
  ASSERT_TRUE(RewriteBooleanColumn(flag.get()));
  EXPECT_EQ(DumpTree(*flag), "(= C True)");
  EXPECT_EQ(flag->Left->FieldNo, 3);
  EXPECT_EQ(flag->Left->Parent, flag.get());
  EXPECT_FALSE(RewriteBooleanColumn(columns.get()));
  // The rewritten tree evaluates: C is false in the record.
  flag->SetType(kFieldTypeBoolean);
  EXPECT_FALSE(EvaluateCondition(*flag, harness));
}

}  // namespace
}  // namespace rudira
