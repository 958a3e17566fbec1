// Four forked processes append, modify and delete records of one table for
// a bounded time, with pessimistic and with optimistic record locking; each
// logs the changes it committed to a file of its own. Afterwards every
// logged change must be present with its last value, the indexes must
// agree with the data file, the record count must be exact and the
// engine's verification must pass.
//
// A run lasts a few seconds per locking protocol; MOMIRO_STRESS_SECONDS=N
// makes each run last N seconds, e.g.
//   MOMIRO_STRESS_SECONDS=300 engine_tests --gtest_filter='MultiProcessStress*'
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/error_codes.h"
#include "engine/stress/stress_table.h"

namespace rudira::stresstest {
namespace {

constexpr int kWriters = 4;
// Ids of writer k are k * kIdSpace + 1, + 2, ...: appends never collide.
constexpr int32_t kIdSpace = 1000000;

// The documented answers to a conflict with another user: the record is
// locked elsewhere (10258), it changed or went since it was read (8708),
// it went and no record follows it, so the cursor stands on none (8709),
// or a table lock stayed taken past its retries (10249).
bool ExpectedConflict(uint16_t code) {
  return code == RUDIRA_RECLOCKFAILED || code == RUDIRA_KEYORRECDELETED || code == RUDIRA_NOCURRREC ||
         code == RUDIRA_LOCKTIMEOUT;
}

class MultiProcessStressTest : public StressTableTest, public ::testing::WithParamInterface<uint8_t> {
 protected:
  std::string LogPath(int writer) const { return dir_ + "writer" + std::to_string(writer) + ".log"; }

  // One writer process: random appends, modifications and deletions until
  // the time is up. Logs "A id 1", "M id version" (the version written) and
  // "D id version" (the version deleted) after each commit. Returns its
  // exit status: 0, or 1 after an error that is no conflict.
  int Writer(int writer, double seconds) {
    TDataSession session;
    session.SetPrivateDir(dir_);
    session.SetStrictChangeDetection(true);
    session.SetLockProtocol(GetParam());
    session.SetLockRetryCount(3);
    session.SetLockWaitTime(2);
    TDataDirectory* db = session.OpenDatabase("db", dir_);
    TDataCursor cursor(session, *db);
    cursor.SetTableName(kTable);
    cursor.OpenCursor();
    FILE* log = std::fopen(LogPath(writer).c_str(), "w");
    if (log == nullptr) return 1;
    std::mt19937 random(static_cast<uint32_t>(writer) * 7717u + GetParam());
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int32_t nextId = writer * kIdSpace + 1;
    int changes = 0;
    int conflicts = 0;
    std::vector<uint8_t> record(cursor.RecordSize());
    while (std::chrono::steady_clock::now() < end) {
      try {
        const int32_t count = cursor.GetRecordCount();
        const uint32_t choice = random() % 10;
        if (count < 12 || choice < 3) {
          const int32_t id = nextId++;
          cursor.InitRecord(record.data());
          Store(cursor, record, id, 1);
          cursor.AppendRecord(record.data());
          std::fprintf(log, "A %d 1\n", id);
        } else {
          if (!cursor.SetToRecordNo(static_cast<int32_t>(random() % count) + 1)) continue;
          if (cursor.GetCurrentRecord(record.data()) != 0) continue;
          const int32_t id = IntOf(cursor, record, "ID");
          const int32_t version = IntOf(cursor, record, "VER");
          if (choice < 8) {
            if (cursor.GetCurrentRecord(record.data(), true) != 0) continue;
            Store(cursor, record, id, version + 1);
            cursor.ModifyRecord(record.data());
            std::fprintf(log, "M %d %d\n", id, version + 1);
          } else {
            cursor.DeleteRecord(record.data());
            std::fprintf(log, "D %d %d\n", id, version);
          }
        }
        std::fflush(log);
        ++changes;
      } catch (const ERUDIRAEngineError& error) {
        if (!ExpectedConflict(error.ErrorCode())) {
          std::fprintf(stderr, "writer %d: %s\n", writer, error.what());
          return 1;
        }
        ++conflicts;
        try {
          cursor.CancelRecord();
        } catch (const ERUDIRAEngineError& cancel) {
          std::fprintf(stderr, "writer %d, cancel: %s\n", writer, cancel.what());
          return 1;
        }
      }
    }
    std::fclose(log);
    cursor.CloseCursor();
    std::fprintf(stderr, "writer %d: %d changes, %d conflicts\n", writer, changes, conflicts);
    return 0;
  }

  // Reads the writers' logs into the expected final version of each
  // record. Adds a failure for a change that contradicts another: a second
  // writer of one version, a gap in a record's versions, a change after
  // its deletion.
  std::map<int32_t, int32_t> ExpectedVersions() {
    std::map<int32_t, std::set<int32_t>> versions;  // every version written
    std::map<int32_t, int32_t> deletedAt;            // version deleted
    for (int writer = 0; writer < kWriters; ++writer) {
      std::ifstream in(LogPath(writer));
      std::string line;
      while (std::getline(in, line)) {
        std::istringstream fields(line);
        char op = 0;
        int32_t id = 0, version = 0;
        fields >> op >> id >> version;
        if (op == 'D') {
          EXPECT_TRUE(deletedAt.emplace(id, version).second) << "record " << id << " deleted twice";
        } else {
          EXPECT_TRUE(versions[id].insert(version).second)
              << "version " << version << " of record " << id << " written twice: a lost update";
        }
      }
    }
    std::map<int32_t, int32_t> expected;
    for (const auto& [id, written] : versions) {
      // Versions 1, 2, ... without a gap: no change went unlogged.
      EXPECT_EQ(*written.begin(), 1) << "record " << id;
      EXPECT_EQ(*written.rbegin(), static_cast<int32_t>(written.size())) << "record " << id << " has gaps";
      const auto deleted = deletedAt.find(id);
      if (deleted == deletedAt.end()) {
        expected[id] = *written.rbegin();
      } else {
        EXPECT_EQ(deleted->second, *written.rbegin()) << "record " << id << " changed after its deletion";
      }
    }
    for (const auto& [id, version] : deletedAt) EXPECT_TRUE(versions.count(id)) << "record " << id;
    return expected;
  }
};

TEST_P(MultiProcessStressTest, EveryCommittedChangeIsPresentAndIndexesAgree) {
  CreateStressTable();
  DropSession();
  const double seconds = StressSeconds(2.5);
  std::vector<pid_t> children;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 250;
      try {
        status = Writer(writer, seconds);
      } catch (const std::exception& error) {
        std::fprintf(stderr, "writer %d: %s\n", writer, error.what());
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (size_t writer = 0; writer < children.size(); ++writer) {
    int status = 0;
    ASSERT_EQ(::waitpid(children[writer], &status, 0), children[writer]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer " << writer << " status " << status;
  }

  const std::map<int32_t, int32_t> expected = ExpectedVersions();
  NewSession();
  std::map<int32_t, StoredRow> rows;
  ASSERT_EQ(ReadDataFile(rows), "");
  std::map<int32_t, int32_t> stored;
  for (const auto& [id, row] : rows) stored[id] = row.Version;
  EXPECT_EQ(stored, expected);
  EXPECT_EQ(EngineErrorText([&] { return CheckIndexes(rows); }), "");
}

INSTANTIATE_TEST_SUITE_P(LockProtocols, MultiProcessStressTest,
                         ::testing::Values(kLockProtocolPessimistic, kLockProtocolOptimistic),
                         [](const ::testing::TestParamInfo<uint8_t>& info) {
                           return info.param == kLockProtocolPessimistic ? "Pessimistic" : "Optimistic";
                         });

}  // namespace
}  // namespace rudira::stresstest
