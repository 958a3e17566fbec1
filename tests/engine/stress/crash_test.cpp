// A child process writes to the stress table (appends, modifications with
// new memos and index keys, deletions) and is killed with SIGKILL at a
// random moment, in several seeded rounds (MOMIRO_CRASH_ROUNDS=N for more).
// Afterwards the table opens and its data file holds every change the
// child had finished; the one it was in the middle of is there entirely,
// not at all, or reads as damaged with an engine error naming the file.
// The indexes agree with the data file and the engine's verification
// passes, or, only with an operation in flight, the check names the index
// that disagrees or the engine error names the table.
//
// The child writes each operation's intent ("B op id version") before it
// starts and "C" once the operation returned, with plain write(2) calls:
// what the kernel took survives the kill, so the log is exact.
#include <fcntl.h>
#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/stress/stress_table.h"

namespace rudira::stresstest {
namespace {

// Rounds of the test; MOMIRO_CRASH_ROUNDS=N runs N instead.
int Rounds() {
  const char* text = std::getenv("MOMIRO_CRASH_ROUNDS");
  const int rounds = text ? std::atoi(text) : 0;
  return rounds > 0 ? rounds : 8;
}

struct Intent {
  char Op = 0;  // 'A'ppend, 'M'odify, 'D'elete
  int32_t Id = 0;
  int32_t Version = 0;  // the version written, or deleted
};

class CrashTest : public StressTableTest {
 protected:
  std::string LogPath() const { return dir_ + "crash.log"; }

  static void Say(int fd, const std::string& text) {
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) ::_exit(3);
  }

  // The child: writes until it is killed; one byte to `ready` after each
  // finished operation.
  [[noreturn]] void Writer(uint32_t seed, int ready) {
    const int log = ::open(LogPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    TDataSession session;
    session.SetPrivateDir(dir_);
    TDataDirectory* db = session.OpenDatabase("db", dir_);
    TDataCursor cursor(session, *db);
    cursor.SetTableName(kTable);
    cursor.OpenCursor();
    std::mt19937 random(seed);
    std::map<int32_t, int32_t> live;  // id -> version
    int32_t nextId = 1;
    std::vector<uint8_t> record(cursor.RecordSize());
    for (;;) {
      const uint32_t choice = random() % 10;
      if (live.size() < 6 || choice < 4) {
        const int32_t id = nextId++;
        Say(log, "B A " + std::to_string(id) + " 1\n");
        cursor.InitRecord(record.data());
        Store(cursor, record, id, 1);
        cursor.AppendRecord(record.data());
        live[id] = 1;
      } else {
        auto it = live.begin();
        std::advance(it, random() % live.size());
        const int32_t id = it->first;
        std::vector<uint8_t> key = Blank(cursor);
        Set(cursor, key, "ID", id);
        if (!cursor.Find(key.data(), false, record.data(), 0, 0, false)) ::_exit(4);
        if (choice < 9) {
          Say(log, "B M " + std::to_string(id) + " " + std::to_string(it->second + 1) + "\n");
          if (cursor.GetCurrentRecord(record.data(), true) != 0) ::_exit(5);
          Store(cursor, record, id, it->second + 1);
          cursor.ModifyRecord(record.data());
          ++it->second;
        } else {
          Say(log, "B D " + std::to_string(id) + " " + std::to_string(it->second) + "\n");
          cursor.DeleteRecord(record.data());
          live.erase(it);
        }
      }
      Say(log, "C\n");
      Say(ready, "x");
    }
  }

  // Reads the log: the version of every record whose last change finished,
  // and the change in flight at the kill (Op 0 when there was none).
  void ReadLog(std::map<int32_t, int32_t>& finished, Intent& inFlight) {
    std::ifstream in(LogPath());
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string tag;
      fields >> tag;
      if (tag == "B") {
        inFlight = {};
        fields >> inFlight.Op >> inFlight.Id >> inFlight.Version;
      } else if (tag == "C") {
        if (inFlight.Op == 'D') {
          finished.erase(inFlight.Id);
        } else {
          finished[inFlight.Id] = inFlight.Version;
        }
        inFlight = {};
      }
    }
  }

  struct AfterKill {
    std::map<int32_t, StoredRow> Rows;          // records of the data file
    std::map<int32_t, std::string> Unreadable;  // records whose memo raised, by id
  };
  // Reads the data file record by record in natural order; a record whose
  // values hold no version fails the test.
  std::string ReadRecords(AfterKill& table) {
    auto natural = Open(kTable, [](TDataCursor& c) { c.SetNaturalOrder(true); });
    std::vector<uint8_t> record(natural->RecordSize());
    natural->SetToBegin();
    for (int slotErrors = 0;;) {
      try {
        if (natural->GetNextRecord(record.data()) != 0) break;
      } catch (const ERUDIRAEngineError& error) {
        // A slot the index file lists as in use that the data file does not
        // hold: its record is unknown (id 0); the walk goes on past it.
        table.Unreadable[0] = error.what();
        if (++slotErrors > 3) return "the walk does not get past damaged slots";
        continue;
      }
      const int32_t id = IntOf(*natural, record, "ID");
      try {
        const StoredRow row = Read(*natural, record);
        const RowValues expected = ValuesOf(row.Id, row.Version);
        if (row.Values.Name != expected.Name || row.Values.Group != expected.Group || row.Values.Memo != expected.Memo) {
          return Describe(row) + " holds values of no version";
        }
        if (!table.Rows.emplace(id, row).second) return "record " + std::to_string(id) + " twice";
      } catch (const ERUDIRAEngineError& error) {
        table.Unreadable[id] = error.what();
      }
    }
    return {};
  }

  void RemoveTable() {
    for (const char* extension : {".DAT", ".IDX", ".BLB"}) std::filesystem::remove(dir_ + kTable + extension);
  }
};

TEST_F(CrashTest, AfterAKillTheTableReadsCleanOrTheEngineNamesTheDamage) {
  std::mt19937 random(20261210);
  for (int round = 0; round < Rounds(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    CreateStressTable();
    DropSession();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const uint32_t seed = random();
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(ready[0]);
      try {
        Writer(seed, ready[1]);
      } catch (const std::exception& error) {
        std::fprintf(stderr, "writer: %s\n", error.what());
      }
      ::_exit(2);
    }
    ::close(ready[1]);
    // Let it finish some operations, then kill it somewhere in the next.
    const int operations = 20 + static_cast<int>(random() % 120);
    char byte = 0;
    for (int i = 0; i < operations; ++i) ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the writer stopped";
    ::usleep(random() % 3000);
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::close(ready[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself, status " << status;

    std::map<int32_t, int32_t> finished;
    Intent inFlight;
    ReadLog(finished, inFlight);
    const std::string during = std::string("killed during '") + (inFlight.Op ? inFlight.Op : '-') + "' of record " +
                               std::to_string(inFlight.Id);
    NewSession();
    // The table opens, and its data file holds every finished change; the
    // change in flight is there entirely or not at all, or its memo or its
    // slot alone reads as damaged.
    AfterKill table;
    ASSERT_EQ(EngineErrorText([&] { return ReadRecords(table); }), "") << during;
    for (const auto& [id, version] : finished) {
      const auto row = table.Rows.find(id);
      if (id == inFlight.Id) {
        EXPECT_TRUE(inFlight.Op != 'M' || row != table.Rows.end() || table.Unreadable.count(id))
            << "record " << id << " lost, " << during;
        continue;
      }
      EXPECT_TRUE(row != table.Rows.end() && row->second.Version == version)
          << "record " << id << " version " << version << " lost, " << during;
    }
    for (const auto& [id, row] : table.Rows) {
      const auto done = finished.find(id);
      const bool asFinished = done != finished.end() && done->second == row.Version;
      const bool asInFlight = id == inFlight.Id && row.Version == inFlight.Version && inFlight.Op != 'D';
      EXPECT_TRUE(asFinished || asInFlight) << Describe(row) << " was never written, " << during;
    }
    for (const auto& [id, error] : table.Unreadable) {
      EXPECT_NE(inFlight.Op, 0) << error;
      if (id == 0) {
        // The slot of the record in flight: named by the table.
        EXPECT_NE(error.find(std::string("'") + kTable + "'"), std::string::npos) << error;
      } else {
        EXPECT_EQ(id, inFlight.Id) << error << ", " << during;
        // A memo: the BLOB file is named (its block chain or the value's stamp).
        EXPECT_NE(error.find(std::string(kTable) + ".BLB"), std::string::npos) << error;
      }
    }
    // The indexes agree with the data file, or the damage the operation in
    // flight left is found: an index holding an entry more or less than
    // the data file, or an engine error naming the table.
    const std::string indexes = EngineErrorText([&] { return CheckIndexes(table.Rows); });
    if (inFlight.Op == 0) {
      EXPECT_EQ(indexes, "");
    } else if (!indexes.empty()) {
      EXPECT_TRUE(indexes.find("index") != std::string::npos || indexes.find(kTable) != std::string::npos) << indexes;
    }
    std::fprintf(stderr, "round %d, %s: %s%s\n", round, during.c_str(), indexes.empty() ? "indexes agree" : indexes.c_str(),
                 table.Unreadable.empty() ? "" : (", " + table.Unreadable.begin()->second).c_str());
    DropSession();
    RemoveTable();
    NewSession();
  }
}

}  // namespace
}  // namespace rudira::stresstest
