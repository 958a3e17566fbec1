// The query component's own behaviour over a recording statement runner:
// SQL lines and ":name" parameters, the values bound (a blank string as
// NULL), prepare and unprepare, Open of a text without rows, ExecSQL,
// RequestLive and MaxRowCount, Locate and CopyOnAppend on a result, and
// master-detail through DataSource.
#include <gtest/gtest.h>

#include "components/rudira_query.h"
#include "components/support/dataset_test_support.h"
#include "components/support/fake_statement_runner.h"
#include "engine/error_codes.h"

namespace rudira {
namespace {

using comptest::MessageOf;
using dstest::FigureRow;

class QueryTest : public dstest::TDataSetTest {
 protected:
  void SetUp() override {
    TDataSetTest::SetUp();
    CreateFigureTable();
    TRUDIRATable figures;
    figures.SetDatabaseName("kyozai");
    figures.SetTableName("figure");
    figures.Open();
    for (const FigureRow& row : SampleFigures()) AppendFigure(figures, row);
    query_ = std::make_unique<TRUDIRAQuery>();
    query_->SetDatabaseName("kyozai");
  }
  void TearDown() override {
    query_.reset();
    TDataSetTest::TearDown();
  }
  // The figure query as the lessons build it.
  void SetFigureSQL() {
    query_->SQL().Clear();
    query_->SQL().Add("Select *");
    query_->SQL().Add("From figure");
    query_->SQL().Add("Where (MNB = :MNB) and (BFR > 0) order by BFR");
  }
  dstest::TFakeRunnerScope fake_;
  std::unique_ptr<TRUDIRAQuery> query_;
};

TEST_F(QueryTest, TheFigureQueryBuiltLineByLineHasOneParameter) {
  SetFigureSQL();
  ASSERT_EQ(query_->Params().Count(), 1);
  EXPECT_EQ(query_->Params()[0].Name(), "MNB");
  EXPECT_EQ(query_->Params()[0].DataType(), TFieldType::ftUnknown);
  EXPECT_EQ(query_->EngineText(), "Select *\nFrom figure\nWhere (MNB = ?) and (BFR > 0) order by BFR");
  query_->Params()[0].SetAsInteger(3);
  query_->Open();
  EXPECT_TRUE(query_->Active());
  ASSERT_EQ(fake_.Script.Prepared.size(), 1u);
  EXPECT_EQ(fake_.Script.Prepared[0], query_->EngineText());
  ASSERT_EQ(fake_.Script.Executions.size(), 1u);
  EXPECT_EQ(fake_.Script.Executions[0].Values, std::vector<std::string>{"3"});
  EXPECT_EQ(fake_.Script.Executions[0].Types, std::vector<uint8_t>{6});
  EXPECT_EQ(query_->RecordCount(), 6);
  EXPECT_TRUE(query_->Bof());
  EXPECT_EQ(query_->FieldByName("TNB").AsInteger(), 1);
}

TEST_F(QueryTest, ParameterMarkersOutsideQuotedLiterals) {
  struct Case {
    std::string Sql;
    std::vector<std::string> Names;
    std::string EngineText;
  };
  const std::vector<Case> cases = {
      {"where MNB = :MNB or TNB = :MNB", {"MNB", "MNB"}, "where MNB = ? or TNB = ?"},
      {"where DTX = ':X' and CMT = \"a:b\" and TNB=:T", {"T"}, "where DTX = ':X' and CMT = \"a:b\" and TNB=?"},
      {"where DTX = 'it''s :Y' and TES=:手数", {"手数"}, "where DTX = 'it''s :Y' and TES=?"},
      {"where t = '12::30' and a=:\"two words\"", {"two words"}, "where t = '12::30' and a=?"},
      {"select 12::30, :a,:b)", {"a", "b"}, "select 12:30, ?,?)"},
  };
  for (const Case& c : cases) {
    query_->SQL().SetText(c.Sql);
    std::vector<std::string> names;
    for (int i = 0; i < query_->Params().Count(); ++i) names.push_back(query_->Params()[i].Name());
    EXPECT_EQ(names, c.Names) << c.Sql;
    EXPECT_EQ(query_->EngineText(), c.EngineText) << c.Sql;
  }
}

TEST_F(QueryTest, MNBTwiceIsTwoParametersEachSetByItself) {
  query_->SQL().Add("select * from figure where MNB = :MNB or TNB = :MNB");
  ASSERT_EQ(query_->Params().Count(), 2);
  query_->Params()[0].SetAsInteger(1);
  EXPECT_EQ(MessageOf([&] { query_->Open(); }), "No value for parameter 'MNB'");
  EXPECT_FALSE(query_->Active());
  query_->Params()[1].SetAsInteger(2);
  query_->Open();
  EXPECT_EQ(fake_.Script.Executions.back().Values, (std::vector<std::string>{"1", "2"}));
}

TEST_F(QueryTest, AnEmptyOrBlankStringBindsAsNull) {
  query_->SQL().Add("select * from figure where DTX = :p");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "NULL"}, {"   ", "NULL"}, {"天元", "天元"}, {"ab  ", "ab"}, {std::string(300, 'x'), "blob:" + std::string(300, 'x')}};
  for (const auto& [value, bound] : cases) {
    query_->Params()[0].SetAsString(value);
    query_->Open();
    query_->Close();
    EXPECT_EQ(fake_.Script.Executions.back().Values, std::vector<std::string>{bound}) << value;
  }
  query_->Params()[0].Clear();
  query_->Open();
  EXPECT_EQ(fake_.Script.Executions.back().Values, std::vector<std::string>{"NULL"});
}

TEST_F(QueryTest, ChangingSQLClosesAndUnpreparesAndKeepsValuesOfTheSameName) {
  SetFigureSQL();
  query_->ParamByName("mnb").SetAsInteger(2);
  query_->Open();
  EXPECT_TRUE(query_->Prepared());
  query_->SQL().Add("");  // any change
  EXPECT_FALSE(query_->Active());
  EXPECT_FALSE(query_->Prepared());
  EXPECT_EQ(fake_.Script.LiveRunners, 0);
  EXPECT_EQ(query_->Params()[0].AsInteger(), 2);
  query_->Open();
  EXPECT_EQ(fake_.Script.Prepared.size(), 2u);
  // Close unprepares a query that was not prepared explicitly.
  query_->Close();
  EXPECT_FALSE(query_->Prepared());
  query_->Prepare();
  query_->Open();
  query_->Close();
  EXPECT_TRUE(query_->Prepared());
  EXPECT_EQ(fake_.Script.Prepared.size(), 3u);
}

TEST_F(QueryTest, PrepareAndOpenFailures) {
  EXPECT_EQ(MessageOf([&] { query_->Open(); }), "No SQL statement available");
  query_->SQL().Add("x");
  EXPECT_EQ(MessageOf([&] { query_->Prepare(); }), "No SQL statement available");
  query_->SQL().SetText("select * from figure");
  query_->Open();
  EXPECT_EQ(MessageOf([&] { query_->Prepare(); }), "データセットが開かれているため, この操作は実行できません");
  EXPECT_EQ(MessageOf([&] { query_->SetReadOnly(true); }), "Cannot perform this operation on an open dataset.");
}

TEST_F(QueryTest, AnUpdateOpenedIsExecutedThenFailsWithoutAResultCursor) {
  query_->SQL().Add("update figure set TNB = 0 where MNB = :MNB");
  query_->Params()[0].SetAsInteger(1);
  fake_.Script.RowsAffected = 3;
  EXPECT_EQ(MessageOf([&] { query_->Open(); }), "Error creating table handle.");
  EXPECT_FALSE(query_->Active());
  EXPECT_EQ(fake_.Script.Executions.size(), 1u);
  EXPECT_EQ(query_->RowsAffected(), 3);
  EXPECT_EQ(fake_.Script.LiveRunners, 0);

  fake_.Script.RowsAffected = 2;
  query_->ExecSQL();
  EXPECT_EQ(query_->RowsAffected(), 2);
  EXPECT_FALSE(query_->Active());
  EXPECT_EQ(fake_.Script.Executions.size(), 2u);
}

TEST_F(QueryTest, AnSQLErrorDuringExecutionUnprepares) {
  query_->SQL().Add("select * from figure");
  query_->Prepare();
  fake_.Script.FailExecuteWith = RUDIRA_SQLPARSE;
  EXPECT_NE(MessageOf([&] { query_->Open(); }).find("RUDIRA Engine Error # 11949"), std::string::npos);
  EXPECT_FALSE(query_->Prepared());
  fake_.Script.FailExecuteWith = 0;
  query_->Open();
  EXPECT_EQ(fake_.Script.Prepared.size(), 2u);
}

TEST_F(QueryTest, RequestLiveMaxRowCountAndReadOnlyResults) {
  query_->SQL().Add("select * from figure");
  query_->SetRequestLive(true);
  query_->SetMaxRowCount(10);
  query_->Open();
  ASSERT_EQ(fake_.Script.Made.size(), 1u);
  EXPECT_EQ(fake_.Script.Made[0], (std::pair<bool, int32_t>{true, 10}));
  query_->SetMaxRowCount(4);
  EXPECT_EQ(fake_.Script.LastMaxRowCount, 4);
  EXPECT_TRUE(query_->CanModify());
  query_->Close();

  fake_.Script.ReadOnlyResult = true;
  query_->Open();
  EXPECT_TRUE(query_->ReadOnly());
  EXPECT_EQ(MessageOf([&] { query_->Edit(); }), "Cannot modify a read-only dataset.");
  EXPECT_EQ(query_->EngineVersion(), "3.30");
}

TEST_F(QueryTest, HiddenResultColumnsGetNoFieldAndFieldsKnowTheirOrigin) {
  query_->SQL().Add("select * from figure");
  fake_.Script.HiddenFields = {8};  // CMT
  query_->Open();
  EXPECT_EQ(query_->FieldCount(), 8);
  EXPECT_EQ(query_->FindField("CMT"), nullptr);
  EXPECT_EQ(query_->FieldByName("TNB").Index(), 7);
  EXPECT_EQ(query_->FieldByName("TNB").AsInteger(), 1);
  EXPECT_EQ(query_->FieldByName("TNB").Origin(), "F.9");

  TRUDIRATable table;
  table.SetDatabaseName("kyozai");
  table.SetTableName("figure");
  table.Open();
  EXPECT_EQ(table.FieldByName("PST").Origin(), "figure.PST");
}

TEST_F(QueryTest, LocateThreeFieldsOnAResultFoundAndNotFound) {
  query_->SQL().Add("select * from figure");
  query_->Open();
  EXPECT_TRUE(query_->Locate("COL;PST;BTO", {int16_t{1}, int16_t{300}, int16_t{2}}, {}));
  EXPECT_EQ(query_->RecNo(), 5);
  EXPECT_EQ(query_->FieldByName("MNB").AsInteger(), 2);
  EXPECT_FALSE(query_->Locate("COL;PST;BTO", {int16_t{1}, int16_t{300}, int16_t{3}}, {}));
  EXPECT_EQ(query_->RecNo(), 5);
}

TEST_F(QueryTest, CopyOnAppendAndRenumberingThroughAResult) {
  query_->SQL().Add("select * from figure");
  query_->Open();
  query_->CopyOnAppend = true;
  query_->SetRecNo(2);
  query_->Append();
  EXPECT_EQ(query_->FieldByName("PST").AsInteger(), 300);
  EXPECT_EQ(query_->FieldByName("COL").AsInteger(), 2);
  query_->FieldByName("TNB").SetAsInteger(9);
  query_->Post();
  EXPECT_EQ(query_->RecordCount(), 7);
  // The figure display renumbers TNB through Edit and Next.
  int n = 0;
  query_->First();
  while (!query_->Eof()) {
    query_->Edit();
    query_->FieldByName("TNB").SetAsInteger(++n);
    query_->Next();
  }
  EXPECT_EQ(Walk(*query_, "TNB"), (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7"}));
}

TEST_F(QueryTest, TheMasterSuppliesUnboundParametersAndReopensTheDetail) {
  CreateContentsTable();
  TRUDIRATable contents;
  contents.SetDatabaseName("kyozai");
  contents.SetTableName("mokuji");
  contents.Open();
  AppendContents(contents, 1, "星の定石");
  AppendContents(contents, 2, "小目の定石");
  contents.First();
  TDataSource source(&contents);

  query_->SQL().Add("select * from figure where MNB = :MNB");
  query_->SetDataSource(&source);
  query_->Open();
  EXPECT_EQ(fake_.Script.Executions.back().Values, std::vector<std::string>{"1"});
  contents.Next();
  EXPECT_TRUE(query_->Active());
  EXPECT_EQ(fake_.Script.Executions.back().Values, std::vector<std::string>{"2"});
  // An explicit value wins over the master's.
  query_->Params()[0].SetAsInteger(3);
  contents.First();
  EXPECT_EQ(fake_.Script.Executions.back().Values, std::vector<std::string>{"3"});

  TDataSource own(query_.get());
  EXPECT_EQ(MessageOf([&] { query_->SetDataSource(&own); }), "Circular data links are not allowed.");
  TRUDIRAQuery detail;
  TDataSource detailSource(&detail);
  detail.SetDataSource(&own);
  EXPECT_EQ(MessageOf([&] { query_->SetDataSource(&detailSource); }), "Circular data links are not allowed.");
  detail.SetDataSource(nullptr);
}

}  // namespace
}  // namespace rudira
