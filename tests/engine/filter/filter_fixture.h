// Helpers of the filter and range tests: the people table, filters from
// text, the view of a cursor as a set of IDs, and error messages.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/cursor/cursor_fixture.h"
#include "engine/data_filter.h"

namespace rudira::filtertest {

using cursortest::CodeOf;
using cursortest::FieldSpec;
using cursortest::IndexSpec;

class FilterTest : public cursortest::CursorTest {
 protected:
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
