// The dataset framework on real tables: what data links are told, failing
// posts and the error actions, required fields, the order of events,
// OnFilterRecord, block reading, disabled controls and BLOB streams.
#include <gtest/gtest.h>

#include <cstring>

#include "components/rudira_blob_stream.h"
#include "components/rudira_table.h"
#include "components/support/dataset_test_support.h"
#include "engine/error_codes.h"

namespace rudira {
namespace {

using comptest::MessageOf;
using dstest::FigureRow;
using dstest::TLinkRecorder;
using Calls = std::vector<std::string>;

class DataSetTest : public dstest::TDataSetTest {
 protected:
  void SetUp() override {
    TDataSetTest::SetUp();
    CreateFigureTable();
    CreateContentsTable();
    figures_.reset(NewTable(nullptr, "figure"));
    figures_->Open();
    for (const FigureRow& row : SampleFigures()) AppendFigure(*figures_, row);
    contents_.reset(NewTable(nullptr, "mokuji"));
    contents_->Open();
    AppendContents(*contents_, 1, "星の定石");
    AppendContents(*contents_, 2, "小目の定石");
    contents_->First();
  }
  void TearDown() override {
    figures_.reset();
    contents_.reset();
    TDataSetTest::TearDown();
  }
  std::unique_ptr<TRUDIRATable> figures_;
  std::unique_ptr<TRUDIRATable> contents_;
};

TEST_F(DataSetTest, ALinkIsToldWhatAGridNeeds) {
  figures_->Close();
  TDataSource source(figures_.get());
  TLinkRecorder link;
  link.SetDataSource(&source);
  EXPECT_TRUE(link.Take().empty());  // inactive dataset: nothing to show

  figures_->Open();
  EXPECT_EQ(link.Take(), (Calls{"active", "changed"}));
  figures_->Next();
  EXPECT_EQ(link.Take(), (Calls{"check", "scrolled 1"}));
  figures_->MoveBy(2);
  EXPECT_EQ(link.Take(), (Calls{"check", "scrolled 2"}));
  figures_->Last();
  EXPECT_EQ(link.Take(), (Calls{"check", "changed"}));
  figures_->Next();  // already at the end: no scroll
  EXPECT_EQ(link.Take(), (Calls{"check"}));

  figures_->Edit();
  EXPECT_EQ(link.Take(), (Calls{"editing on", "record"}));
  figures_->FieldByName("TNB").SetAsInteger(5);
  EXPECT_EQ(link.Take(), (Calls{"field TNB"}));
  figures_->Post();
  EXPECT_EQ(link.Take(), (Calls{"update", "check", "editing off", "changed"}));

  figures_->Append();
  EXPECT_EQ(link.Take(), (Calls{"check", "editing on", "changed"}));
  figures_->Cancel();
  EXPECT_EQ(link.Take(), (Calls{"check", "editing off", "changed"}));

  figures_->Delete();
  EXPECT_EQ(link.Take(), (Calls{"check", "changed"}));
  figures_->Refresh();
  EXPECT_EQ(link.Take(), (Calls{"check", "changed"}));

  figures_->Close();
  EXPECT_EQ(link.Take(), (Calls{"inactive"}));
  link.SetDataSource(nullptr);
}

TEST_F(DataSetTest, DisabledControlsHearOneChangeAtTheEnd) {
  TDataSource source(figures_.get());
  TLinkRecorder link;
  link.SetDataSource(&source);
  link.Take();
  figures_->DisableControls();
  figures_->First();
  while (!figures_->Eof()) figures_->Next();
  EXPECT_TRUE(link.Take().empty());
  figures_->EnableControls();
  EXPECT_EQ(link.Take(), (Calls{"changed"}));
  // The data source's own events follow the same events.
  int stateChanges = 0;
  int dataChanges = 0;
  source.OnStateChange = [&](TDataSource&) { ++stateChanges; };
  source.OnDataChange = [&](TDataSource&, TField*) { ++dataChanges; };
  figures_->Edit();
  figures_->Cancel();
  EXPECT_EQ(stateChanges, 2);
  EXPECT_GE(dataChanges, 2);
  link.SetDataSource(nullptr);
}

TEST_F(DataSetTest, AFailingPostStaysInEditOrInsertState) {
  contents_->Append();
  contents_->FieldByName("MNB").SetAsInteger(1);
  contents_->FieldByName("ITM").SetAsString("重複");
  EXPECT_EQ(CodeOfEngine([&] { contents_->Post(); }), RUDIRA_KEYVIOL);
  EXPECT_EQ(contents_->State(), TDataSetState::dsInsert);
  EXPECT_EQ(contents_->FieldByName("ITM").AsString(), "重複");
  // A move stores the pending record first: it fails the same way and does
  // not move.
  EXPECT_EQ(CodeOfEngine([&] { contents_->First(); }), RUDIRA_KEYVIOL);
  EXPECT_EQ(contents_->State(), TDataSetState::dsInsert);
  contents_->FieldByName("MNB").SetAsInteger(3);
  contents_->Post();
  EXPECT_EQ(contents_->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(contents_->RecordCount(), 3);

  contents_->First();
  contents_->Edit();
  contents_->FieldByName("MNB").SetAsInteger(2);
  EXPECT_EQ(CodeOfEngine([&] { contents_->Post(); }), RUDIRA_KEYVIOL);
  EXPECT_EQ(contents_->State(), TDataSetState::dsEdit);
  contents_->Cancel();
  EXPECT_EQ(contents_->FieldByName("MNB").AsInteger(), 1);
  EXPECT_EQ(Walk(*contents_, "MNB"), (Calls{"1", "2", "3"}));

  contents_->Append();
  contents_->FieldByName("MNB").SetAsInteger(4);
  EXPECT_EQ(MessageOf([&] { contents_->Post(); }), "Field 'ITM' must have a value.");
  EXPECT_EQ(contents_->State(), TDataSetState::dsInsert);
  contents_->Cancel();
}

TEST_F(DataSetTest, PostErrorActionsRetryOrAbort) {
  int asked = 0;
  contents_->OnPostError = [&](TDataSet& dataSet, const EDatabaseError&, TDataAction& action) {
    ++asked;
    if (asked == 1) {
      dataSet.FieldByName("MNB").SetAsInteger(7);  // corrected: try again
      action = TDataAction::daRetry;
    } else {
      action = TDataAction::daAbort;
    }
  };
  contents_->Append();
  contents_->FieldByName("MNB").SetAsInteger(1);
  contents_->FieldByName("ITM").SetAsString("x");
  contents_->Post();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(contents_->FieldByName("MNB").AsInteger(), 7);

  contents_->Append();
  contents_->FieldByName("MNB").SetAsInteger(1);
  contents_->FieldByName("ITM").SetAsString("y");
  EXPECT_THROW(contents_->Post(), EAbort);
  EXPECT_EQ(contents_->State(), TDataSetState::dsInsert);
  contents_->Cancel();
}

TEST_F(DataSetTest, EventsRunAroundTheirOperations) {
  Calls events;
  auto record = [&](const char* name) { return [&events, name](TDataSet&) { events.push_back(name); }; };
  figures_->BeforeEdit = record("BeforeEdit");
  figures_->AfterEdit = record("AfterEdit");
  figures_->BeforePost = record("BeforePost");
  figures_->AfterPost = record("AfterPost");
  figures_->BeforeScroll = record("BeforeScroll");
  figures_->AfterScroll = record("AfterScroll");
  figures_->BeforeInsert = record("BeforeInsert");
  figures_->AfterInsert = record("AfterInsert");
  figures_->OnNewRecord = [&](TDataSet& dataSet) {
    events.push_back("OnNewRecord");
    dataSet.FieldByName("MNB").SetAsInteger(9);
  };
  figures_->BeforeDelete = record("BeforeDelete");
  figures_->AfterDelete = record("AfterDelete");
  figures_->BeforeCancel = record("BeforeCancel");
  figures_->AfterCancel = record("AfterCancel");

  figures_->First();
  figures_->Edit();
  figures_->FieldByName("TNB").SetAsInteger(11);
  figures_->Next();
  EXPECT_EQ(events, (Calls{"BeforeScroll", "AfterScroll", "BeforeEdit", "AfterEdit", "BeforePost", "AfterPost",
                           "BeforeScroll", "AfterScroll"}));
  events.clear();
  figures_->Append();
  EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 9);
  EXPECT_FALSE(figures_->Modified());  // OnNewRecord values are no change of the user's
  figures_->Cancel();
  figures_->Delete();
  EXPECT_EQ(events, (Calls{"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "AfterScroll",
                           "BeforeCancel", "AfterCancel", "BeforeDelete", "BeforeScroll", "AfterDelete",
                           "AfterScroll"}));
}

TEST_F(DataSetTest, OnFilterRecordHidesRejectedRecords) {
  figures_->OnFilterRecord = [](TDataSet& dataSet, bool& accept) {
    EXPECT_EQ(dataSet.State(), TDataSetState::dsFilter);
    accept = dataSet.FieldByName("COL").AsInteger() == 1;
  };
  figures_->SetFiltered(true);
  EXPECT_EQ(Walk(*figures_, "TNB"), (Calls{"1", "3", "2", "1"}));
  figures_->Last();
  figures_->Prior();
  EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 2);
  EXPECT_EQ(figures_->FieldByName("TES").AsInteger(), 1);

  // An exception inside the callback is reported and the record accepted.
  figures_->OnFilterRecord = [](TDataSet& dataSet, bool& accept) {
    if (dataSet.FieldByName("TNB").AsInteger() == 2) throw EDatabaseError("broken filter");
    accept = false;
  };
  EXPECT_EQ(Walk(*figures_, "TNB"), (Calls{"2", "2"}));
  figures_->SetFiltered(false);
  EXPECT_EQ(Walk(*figures_, "TNB").size(), 6u);
}

TEST_F(DataSetTest, FilterTextSelectsRecordsWhileFiltered) {
  figures_->SetFilter("(COL = 1) and (BFR >= 0)");
  EXPECT_EQ(Walk(*figures_, "TNB").size(), 6u);  // not Filtered yet
  figures_->SetFiltered(true);
  EXPECT_EQ(Walk(*figures_, "TNB"), (Calls{"1", "3", "2", "1"}));
  EXPECT_TRUE(figures_->Locate("PST", {int16_t{300}}, {}));
  EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 2);  // the first row with PST 300 is filtered out
  EXPECT_TRUE(figures_->Lookup("PST", {int16_t{61}}, "MNB").size() == 1);
  EXPECT_EQ(std::get<int32_t>(figures_->Lookup("PST", {int16_t{61}}, "MNB")[0]), 1);

  figures_->First();
  figures_->Edit();
  figures_->FieldByName("DTX").SetAsString("Star");
  figures_->Post();
  figures_->SetFilter("DTX = 'STAR'");
  EXPECT_TRUE(Walk(*figures_, "TNB").empty());
  EXPECT_TRUE(figures_->IsEmpty());
  figures_->SetFilterOptions({.CaseInsensitive = true});
  EXPECT_EQ(Walk(*figures_, "DTX"), (Calls{"Star"}));
  // Both filters apply together.
  figures_->SetFilter("MNB <> 3");
  figures_->OnFilterRecord = [](TDataSet& dataSet, bool& accept) { accept = dataSet.FieldByName("TES").AsInteger() > 0; };
  figures_->First();
  EXPECT_EQ(Walk(*figures_, "TNB"), (Calls{"2", "3", "2"}));

  EXPECT_EQ(CodeOfEngine([&] { figures_->SetFilter("COL = = 1"); }), RUDIRA_INVALIDFILTER);
  figures_->Close();
  EXPECT_EQ(CodeOfEngine([&] { figures_->Open(); }), RUDIRA_INVALIDFILTER);
  EXPECT_FALSE(figures_->Active());
  figures_->SetFiltered(false);
  figures_->Open();
  EXPECT_EQ(figures_->RecordCount(), 6);
}

TEST_F(DataSetTest, BlockReadingServesTheSameRecordsAndKeepsPositions) {
  const Calls all = Walk(*figures_, "TNB");
  for (int size : {1, 4, 100, INT32_MAX}) {
    figures_->SetBlockReadSize(size);
    EXPECT_EQ(Walk(*figures_, "TNB"), all) << size;
    figures_->First();
    figures_->Next();
    figures_->Next();  // the third record, from a block
    figures_->SetBlockReadSize(0);
    EXPECT_EQ(figures_->RecNo(), 3) << size;
    figures_->Next();
    EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 2) << size;
    figures_->SetBlockReadSize(size);
    figures_->Edit();  // leaves the block: the edit is on the record shown
    figures_->FieldByName("TNB").SetAsInteger(40);
    figures_->Post();
    EXPECT_EQ(figures_->RecNo(), 4) << size;
    figures_->Edit();
    figures_->FieldByName("TNB").SetAsInteger(1);
    figures_->Post();
    figures_->SetBlockReadSize(0);
  }
}

TEST_F(DataSetTest, BlobStreamsWriteAndReadMemoValues) {
  figures_->First();
  TField& memo = figures_->FieldByName("CMT");
  EXPECT_EQ(MessageOf([&] { TRUDIRABlobStream stream(memo, TBlobStreamMode::bmWrite); }),
            "Table is not in edit or insert mode.");
  figures_->Edit();
  const std::string text = "黒は星に打つ。白の三々入りに備える。";
  {
    auto stream = figures_->CreateBlobStream(memo, TBlobStreamMode::bmWrite);
    EXPECT_EQ(stream->Write(text.data(), 9), 9u);
    EXPECT_EQ(stream->Write(text.data() + 9, text.size() - 9), text.size() - 9);
    EXPECT_EQ(stream->Size(), static_cast<int64_t>(text.size()));
  }
  EXPECT_TRUE(figures_->Modified());
  figures_->Post();
  figures_->Next();
  figures_->Prior();
  EXPECT_EQ(memo.AsString(), text);
  {
    TRUDIRABlobStream stream(memo, TBlobStreamMode::bmRead);
    std::string part(6, '\0');
    EXPECT_EQ(stream.Seek(3, TSeekOrigin::soBeginning), 3);
    EXPECT_EQ(stream.Read(part.data(), 6), 6u);
    EXPECT_EQ(part, text.substr(3, 6));
    EXPECT_EQ(stream.Seek(-3, TSeekOrigin::soEnd), static_cast<int64_t>(text.size()) - 3);
    std::string tail(10, '\0');
    EXPECT_EQ(stream.Read(tail.data(), 10), 3u);
    EXPECT_EQ(stream.Read(tail.data(), 10), 0u);  // the end is no error
    EXPECT_EQ(MessageOf([&] { stream.Seek(-1, TSeekOrigin::soBeginning); }), "Invalid stream position.");
  }
  // Read-write appends at the end; the field's text follows.
  figures_->Edit();
  {
    TRUDIRABlobStream stream(memo, TBlobStreamMode::bmReadWrite);
    stream.Seek(0, TSeekOrigin::soEnd);
    stream.Write("！", std::strlen("！"));
  }
  EXPECT_EQ(memo.AsString(), text + "！");
  figures_->Cancel();
  EXPECT_EQ(memo.AsString(), text);
  memo.SetReadOnly(true);
  figures_->Edit();
  EXPECT_EQ(MessageOf([&] { TRUDIRABlobStream stream(memo, TBlobStreamMode::bmWrite); }),
            "Field CMT cannot be modified.");
  figures_->Cancel();
}

TEST_F(DataSetTest, CalculatedFieldsAreComputedForEveryRecordShown) {
  figures_->Close();
  figures_->AddCalculatedField("Label", TFieldType::ftString, 20);
  figures_->AddCalculatedField("Twice", TFieldType::ftInteger);
  int calls = 0;
  std::string refused;
  figures_->OnCalcFields = [&](TDataSet& dataSet) {
    ++calls;
    EXPECT_EQ(dataSet.State(), TDataSetState::dsCalcFields);
    dataSet.FieldByName("Label").SetAsString(dataSet.FieldByName("MNB").AsString() + "-" +
                                             dataSet.FieldByName("TNB").AsString());
    dataSet.FieldByName("Twice").SetAsInteger(2 * dataSet.FieldByName("PST").AsInteger());
    refused = MessageOf([&] { dataSet.FieldByName("TNB").SetAsInteger(0); });
  };
  figures_->Open();
  ASSERT_EQ(figures_->FieldCount(), 11);
  EXPECT_TRUE(figures_->FieldByName("Label").Calculated());
  EXPECT_EQ(Walk(*figures_, "Label"), (Calls{"1-1", "1-2", "1-3", "2-1", "2-2", "3-1"}));
  EXPECT_EQ(refused, "Field TNB cannot be modified.");
  figures_->SetRecNo(3);
  EXPECT_EQ(figures_->FieldByName("Twice").AsInteger(), 144);
  EXPECT_EQ(MessageOf([&] { figures_->FieldByName("Label").SetAsString("x"); }), "Field Label cannot be modified.");

  // With AutoCalcFields a change in an edit recomputes them at once.
  figures_->Edit();
  figures_->FieldByName("TNB").SetAsInteger(30);
  EXPECT_EQ(figures_->FieldByName("Label").AsString(), "1-30");
  figures_->AutoCalcFields = false;
  calls = 0;
  figures_->FieldByName("PST").SetAsInteger(1);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(figures_->FieldByName("Twice").AsInteger(), 144);
  figures_->Cancel();
  EXPECT_EQ(figures_->FieldByName("Label").AsString(), "1-3");
  EXPECT_EQ(MessageOf([&] { figures_->AddCalculatedField("More", TFieldType::ftInteger); }),
            "Cannot perform this operation on an open dataset.");
}

TEST_F(DataSetTest, MemoFieldsReadAndWriteAsText) {
  figures_->SetRecNo(2);
  figures_->Edit();
  figures_->FieldByName("CMT").SetAsString("コメント");
  figures_->Post();
  figures_->First();
  EXPECT_TRUE(figures_->FieldByName("CMT").IsNull());
  figures_->Next();
  EXPECT_EQ(figures_->FieldByName("CMT").AsString(), "コメント");
  EXPECT_FALSE(figures_->FieldByName("CMT").IsNull());
}

}  // namespace
}  // namespace rudira
