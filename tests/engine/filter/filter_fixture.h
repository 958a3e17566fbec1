// Helpers of the filter and range tests: tables whose indexes may be
// case-insensitive or descending, records by field values, and the view of a
// cursor as a list of IDs.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/cursor/cursor_fixture.h"
#include "engine/data_filter.h"

namespace rudira::filtertest {

using cursortest::CodeOf;
using cursortest::FieldSpec;

struct KeySpec {
  std::string Name;
  std::vector<uint16_t> Fields;  // 1-based field numbers
  bool Unique = true;
  bool Descending = false;
  bool CaseInsensitive = false;
};

class FilterTest : public cursortest::CursorTest {
 protected:
  void CreateKeyedTable(const std::string& name, const std::vector<FieldSpec>& specs, const KeySpec& primary,
                        const std::vector<KeySpec>& secondaries, const TableLocale& locale = {}) {
    DataFileDefinition definition;
    definition.LanguageId = locale.LanguageId;
    definition.SortId = locale.SortId;
    for (size_t i = 0; i < specs.size(); ++i) {
      TFieldDescriptor field;
      field.FieldNo = static_cast<uint16_t>(i + 1);
      field.FieldName = specs[i].Name;
      field.FieldType = specs[i].Type;
      field.SubType = specs[i].SubType;
      field.Size = specs[i].Size;
      definition.Fields.push_back(field);
    }
    PrepareFieldDefinitions(definition.Fields, "db", name);
    auto indexOf = [&](const KeySpec& spec) {
      TIndexDefinition index;
      index.IndexName = spec.Name;
      index.Unique = spec.Unique ? 1 : 0;
      index.Descending = spec.Descending ? 1 : 0;
      index.CaseInsensitive = spec.CaseInsensitive ? 1 : 0;
      index.IndexFieldCount = static_cast<uint8_t>(spec.Fields.size());
      for (size_t i = 0; i < spec.Fields.size(); ++i) index.FieldNumbers[i] = spec.Fields[i];
      if (index.IndexFieldCount > 0) PrepareIndexDefinition(index, definition.Fields, false, name);
      return index;
    };
    TableIndexDefinitions indexes;
    indexes.Primary = indexOf(primary);
    for (const KeySpec& spec : secondaries) indexes.Secondaries.push_back(indexOf(spec));
    ASSERT_EQ(db_->CreateTable(name, false, false, definition, indexes), 0);
  }

  // "people" with five persons (see CursorTest::CreatePeople for the
  // fields and indexes): IDs 10..50, cities Kyoto, Osaka, Kobe.
  std::unique_ptr<TDataCursor> People() {
    CreatePeople();
    auto cursor = Open("people");
    AddPerson(*cursor, 30, "Chiyo", "Osaka", 41);
    AddPerson(*cursor, 10, "Aiko", "Kyoto", 25);
    AddPerson(*cursor, 50, "Eri", "Kyoto", 33);
    AddPerson(*cursor, 20, "Botan", "Osaka", 19);
    AddPerson(*cursor, 40, "Daiki", "Kobe", 52);
    AddPerson(*cursor, 60, "Aiya", "Kyoto", 30);
    cursor->SetToBegin();
    return cursor;
  }

  // Adds and activates a filter from text.
  static TFilter* Filter(TDataCursor& cursor, const std::string& text, const TCursorFilterOptions& options = {}) {
    TFilter* filter = cursor.AddFilter(text, options);
    cursor.ActivateFilter(filter);
    return filter;
  }

  static std::set<int32_t> IdSet(TDataCursor& cursor) {
    const std::vector<int32_t> ids = Walk(cursor);
    return {ids.begin(), ids.end()};
  }

  // The message of the engine error `action` raised, or "" when none.
  static std::string MessageOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const ERUDIRAEngineError& error) {
      return error.what();
    }
    return {};
  }
};

}  // namespace rudira::filtertest
