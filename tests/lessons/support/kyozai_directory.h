// A lesson database `kyozai` built by the test: a fresh temporary directory
// becomes the current directory, so the database name "kyozai" (the
// directory kyozai under the current directory) reaches it, and the tables
// `mokuji` and `figure` are created there with the engine and filled with
// the rows of an in-memory lesson database.
//
// `figure` has no primary index, so rows come in the order they were
// written and appended rows come last; `mokuji` has its primary index on
// MNB. The previous current directory comes back and the directory is
// removed when the object goes.
#ifndef MOMIRO_TESTS_LESSONS_SUPPORT_KYOZAI_DIRECTORY_H_
#define MOMIRO_TESTS_LESSONS_SUPPORT_KYOZAI_DIRECTORY_H_

#include <filesystem>
#include <string>

#include "memory_query.h"

namespace momiro::testing {

class KyozaiDirectory {
 public:
  // Creates the directory and enters it; createTables false leaves it
  // without a kyozai directory.
  explicit KyozaiDirectory(bool createTables = true);
  ~KyozaiDirectory();
  KyozaiDirectory(const KyozaiDirectory&) = delete;
  KyozaiDirectory& operator=(const KyozaiDirectory&) = delete;

  const std::filesystem::path& Path() const { return root_; }
  // Appends every row of both tables of `source` in their slot order.
  void Write(MemoryDatabase& source);

 private:
  std::filesystem::path previous_;
  std::filesystem::path root_;
};

// Whether SQL statements can be run in this build: false while the query
// components have no statement execution to reach.
bool SqlExecutionAvailable();

}  // namespace momiro::testing

#endif  // MOMIRO_TESTS_LESSONS_SUPPORT_KYOZAI_DIRECTORY_H_
