// Random appends, modifications and deletions on a table with a primary key,
// a case-insensitive unique index, a non-unique index and a memo field,
// written alternately by this process and a forked one, each checking the
// table against the same model; then checked again after re-opening.
//
// Both processes draw the same operations from the step number, so each
// keeps the whole model while it carries out only its own steps.
#include "engine/cursor/cursor_fixture.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "storage/index_tree.h"

namespace rudira::cursortest {
namespace {

struct Row {
  std::string Name;  // unique ignoring case: it carries the id
  int16_t Group = 0;
  std::string Memo;  // up to a few blocks long
};
using Model = std::map<int32_t, Row>;

// What step `step` does: to the record `Id` an append when absent, else a
// deletion or a change to the values drawn here.
struct Operation {
  int32_t Id = 0;
  bool Delete = false;
  Row Values;
};

Operation OperationAt(int step) {
  std::mt19937 random(static_cast<uint32_t>(step) * 7919u + 13u);
  Operation op;
  op.Id = static_cast<int32_t>(random() % 40) + 1;
  op.Delete = random() % 3 == 0;
  std::string name = "kaede" + std::to_string(op.Id);
  for (char& c : name) {
    if (random() % 2) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  op.Values.Name = name;
  op.Values.Group = static_cast<int16_t>(random() % 5);
  op.Values.Memo = std::string(random() % 1200, static_cast<char>('a' + step % 26)) + std::to_string(step);
  return op;
}

void ApplyToModel(Model& model, const Operation& op) {
  if (model.count(op.Id) == 0) {
    model[op.Id] = op.Values;
  } else if (op.Delete) {
    model.erase(op.Id);
  } else {
    model[op.Id] = op.Values;
  }
}

class CursorModelTest : public CursorTest {
 protected:
  static constexpr int kMemo = 4;

  void SetUp() override {
    CursorTest::SetUp();
    CreateTable("model",
                {FieldSpec("ID", kFieldTypeInteger), FieldSpec("NAME", kFieldTypeString, 12),
                 FieldSpec("GRP", kFieldTypeSmallInt), FieldSpec("M", kFieldTypeBlob, 0, kSubTypeMemo)},
                IndexSpec("", {1}), {IndexSpec("ByName", {2}, true, false, /*caseInsensitive=*/true), IndexSpec("ByGroup", {3}, false)});
  }

  // A cursor of `session` on the table, in primary-key order, seeing other
  // processes' writes at its next operation.
  static std::unique_ptr<TDataCursor> OpenModel(TDataSession& session, TDataDirectory& db) {
    session.SetStrictChangeDetection(true);
    auto cursor = std::make_unique<TDataCursor>(session, db);
    cursor->SetTableName("model");
    cursor->OpenCursor();
    return cursor;
  }

  static void Store(TDataCursor& cursor, std::vector<uint8_t>& record, int32_t id, const Row& row) {
    Set(cursor, record, "ID", id);
    Set(cursor, record, "NAME", row.Name);
    Set(cursor, record, "GRP", row.Group);
    cursor.TruncateBlob(kMemo, record.data(), 0);
    cursor.PutBlob(kMemo, record.data(), 0, row.Memo.size(), reinterpret_cast<const uint8_t*>(row.Memo.data()));
  }

  // Carries out `op` on the table; `model` is the state before it.
  static void Execute(TDataCursor& cursor, const Model& model, const Operation& op) {
    std::vector<uint8_t> key = Blank(cursor);
    Set(cursor, key, "ID", op.Id);
    const bool found = cursor.Find(key.data(), false, nullptr, 0, 0, false);
    if (found != (model.count(op.Id) != 0)) throw std::runtime_error("find disagrees with the model");
    if (!found) {
      std::vector<uint8_t> record = Blank(cursor);
      Store(cursor, record, op.Id, op.Values);
      cursor.AppendRecord(record.data());
      return;
    }
    // The record as found; locking it compares this copy with the record.
    std::vector<uint8_t> record(cursor.RecordSize());
    if (cursor.GetCurrentRecord(record.data()) != 0) throw std::runtime_error("no current record");
    if (!op.Delete && cursor.GetCurrentRecord(record.data(), true) != 0) throw std::runtime_error("not locked");
    if (op.Delete) {
      cursor.DeleteRecord(record.data());
    } else {
      Store(cursor, record, op.Id, op.Values);
      cursor.ModifyRecord(record.data());
    }
  }

  // The table as read through the three indexes, compared with `model`;
  // an empty text when they agree, else what differs or the error raised.
  static std::string Difference(TDataCursor& cursor, const Model& model) {
    try {
      return Compare(cursor, model);
    } catch (const std::exception& error) {
      return error.what();
    }
  }
  static std::string Compare(TDataCursor& cursor, const Model& model) {
    auto readRows = [&](const std::string& index) {
      cursor.SetIndexName(index);
      std::vector<std::pair<int32_t, Row>> rows;
      std::vector<uint8_t> record(cursor.RecordSize());
      cursor.SetToBegin();
      while (cursor.GetNextRecord(record.data()) == 0) {
        Row row;
        row.Name = TextOf(cursor, record, "NAME");
        const TFieldValue group = Get(cursor, record, "GRP");
        if (const auto* g = std::get_if<int16_t>(&group)) row.Group = *g;
        const size_t size = cursor.GetBlobSize(kMemo, record.data());
        row.Memo.assign(size, '\0');
        cursor.GetBlob(kMemo, record.data(), 0, size, reinterpret_cast<uint8_t*>(row.Memo.data()));
        rows.emplace_back(IntOf(cursor, record), row);
      }
      return rows;
    };
    const auto byId = readRows("");
    if (byId.size() != model.size()) return "count " + std::to_string(byId.size());
    auto expected = model.begin();
    for (const auto& [id, row] : byId) {
      if (id != expected->first || row.Name != expected->second.Name || row.Group != expected->second.Group ||
          row.Memo != expected->second.Memo) {
        return "record " + std::to_string(id);
      }
      ++expected;
    }
    // Names in upper-case order; groups ascending with every id once.
    auto upper = [](std::string text) {
      for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return text;
    };
    std::vector<std::string> names;
    for (const auto& [id, row] : readRows("ByName")) names.push_back(upper(row.Name));
    if (!std::is_sorted(names.begin(), names.end()) || names.size() != model.size()) return "ByName order";
    std::vector<int32_t> ids;
    int16_t lastGroup = -1;
    for (const auto& [id, row] : readRows("ByGroup")) {
      if (row.Group < lastGroup) return "ByGroup order";
      lastGroup = row.Group;
      ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    std::vector<int32_t> modelIds;
    for (const auto& [id, row] : model) modelIds.push_back(id);
    if (ids != modelIds) return "ByGroup records";
    cursor.SetIndexName("");
    TIndexFile& index = cursor.Table()->IndexFile();
    for (int slot : {0, 1, 2}) {
      if (TIndexTree(index, slot).Check() != static_cast<int64_t>(model.size())) return "tree " + std::to_string(slot);
    }
    return {};
  }
};

TEST_F(CursorModelTest, TwoProcessesWritingAlternatelyMatchOneModel) {
  constexpr int kSteps = 240;
  // The child's state, made in the child after the fork.
  std::unique_ptr<TDataSession> childSession;
  std::unique_ptr<TDataCursor> childCursor;
  Model childModel;
  int childNext = 0;  // the next step the child's model has not taken
  TSteppedChild child;
  std::vector<TSteppedChild::Step> steps;
  auto ChildStep = [&](int step) -> int {
    if (!childSession) {
      childSession = std::make_unique<TDataSession>();
      childSession->SetPrivateDir(dir_);
      childCursor = OpenModel(*childSession, *childSession->OpenDatabase("db", dir_));
    }
    for (; childNext < step; ++childNext) ApplyToModel(childModel, OperationAt(childNext));
    const Operation op = OperationAt(step);
    Execute(*childCursor, childModel, op);
    ApplyToModel(childModel, op);
    ++childNext;
    const std::string difference = Difference(*childCursor, childModel);
    if (!difference.empty()) std::fprintf(stderr, "other process, step %d: %s\n", step, difference.c_str());
    return difference.empty() ? 0 : 1;
  };
  for (int step = 1; step < kSteps; step += 2) {
    steps.push_back([&, step]() -> int {
      try {
        return ChildStep(step);
      } catch (const std::exception& error) {
        std::fprintf(stderr, "other process, step %d: %s\n", step, error.what());
        return 2;
      }
    });
  }
  child.Start(std::move(steps));

  auto cursor = OpenModel(*session_, *db_);
  Model model;
  for (int step = 0; step < kSteps; ++step) {
    const Operation op = OperationAt(step);
    if (step % 2 == 0) {
      ASSERT_NO_THROW(Execute(*cursor, model, op)) << "step " << step;
    } else {
      ASSERT_EQ(child.Go(), 0) << "the other process at step " << step;
    }
    ApplyToModel(model, op);
    ASSERT_EQ(Difference(*cursor, model), "") << "step " << step;
  }
  EXPECT_EQ(child.Finish(), 0);

  cursor.reset();
  session_ = std::make_unique<TDataSession>();
  session_->SetPrivateDir(dir_);
  db_ = session_->OpenDatabase("db", dir_);
  EXPECT_EQ(Difference(*OpenModel(*session_, *db_), model), "");
}

}  // namespace
}  // namespace rudira::cursortest
