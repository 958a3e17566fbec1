// Running rudira-sql in a fresh directory per test.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace rudira_sql_test {

namespace fs = std::filesystem;

struct RunResult {
  std::string Out;
  std::string Err;
  int Status = -1;
};

inline std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh directory for one test, removed with the object.
class TestDirectory {
 public:
  TestDirectory() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::path(::testing::TempDir()) /
            ("rudira_sql_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
             std::to_string(::getpid()));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TestDirectory() { fs::remove_all(path_); }
  TestDirectory(const TestDirectory&) = delete;
  TestDirectory& operator=(const TestDirectory&) = delete;

  const fs::path& Path() const { return path_; }

  // Runs rudira-sql in this directory with `args`, standard input from
  // `input`.
  RunResult Run(const std::vector<std::string>& args, const std::string& input = {}) const {
    const fs::path in = path_ / ".stdin";
    const fs::path out = path_ / ".stdout";
    const fs::path err = path_ / ".stderr";
    std::ofstream(in, std::ios::binary) << input;
    std::string command = "cd " + Quoted(path_.string()) + " && " + Quoted(RUDIRA_SQL_PATH);
    for (const std::string& arg : args) command += " " + Quoted(arg);
    command += " < " + Quoted(in.string()) + " > " + Quoted(out.string()) + " 2> " + Quoted(err.string());
    const int raw = std::system(command.c_str());
    RunResult result;
    result.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.Out = ReadFile(out);
    result.Err = ReadFile(err);
    return result;
  }

  // Makes the lesson database `kyozai` here from one supplied lesson.
  bool MakeKyozai() const {
    const std::string command = Quoted(MAKE_KYOZAI_PATH) + " " + Quoted((path_ / "kyozai").string()) + " " +
                                Quoted(std::string(LESSON_SOURCE_DIR) + "/110_atari.txt") + " > /dev/null";
    return std::system(command.c_str()) == 0;
  }

 private:
  fs::path path_;
};

}  // namespace rudira_sql_test
