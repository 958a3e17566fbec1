// momiro-sgf as a user runs it: a problem imported into a database made by
// make-kyozai and exported again, a supplied lesson exported and imported
// under a new number, and refused runs that leave the database's files as
// they were.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "lessons/sgf_lesson_import.h"
#include "lessons/sgf_reader.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int status = -1;
  std::string out;  // standard output and standard error together
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

Result RunSgf(const std::string& arguments) {
  Result result;
  FILE* pipe = popen((std::string(MOMIRO_SGF_PATH) + " " + arguments + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class MomiroSgfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("momiro_sgf_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    database_ = root_ / "kyozai";
    const std::string make = std::string(MAKE_KYOZAI_PATH) + " " + Quote(database_.string()) + " " +
                             Quote(std::string(LESSON_SOURCE_DIR) + "/110_atari.txt") + " > /dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path Write(const std::string& name, const std::string& text) {
    const fs::path path = root_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string Db() const { return " --database " + Quote(database_.string()); }
  // Every file of the database with its bytes.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(database_)) {
      files[entry.path().filename().string()] = ReadFile(entry.path());
    }
    return files;
  }

  fs::path root_;
  fs::path database_;
};

const char* const kProblem =
    "(;GM[1]FF[4]SZ[19]AB[aa][ba]AW[ab]C[黒番]"
    "(;B[bb]C[正解];W[cb])"
    "(;B[ca];W[bb]C[白が取ります]))";

TEST_F(MomiroSgfTest, AnImportedProblemIsExportedAgain) {
  const fs::path file = Write("problem.sgf", kProblem);
  const Result imported = RunSgf("import " + Quote(file.string()) + " --contents 1001 --title " + Quote("詰碁一") + Db());
  ASSERT_EQ(imported.status, 0) << imported.out;
  EXPECT_NE(imported.out.find(momiro::kSgfImported), std::string::npos) << imported.out;

  const fs::path out = root_ / "out.sgf";
  const Result exported = RunSgf("export 1001 " + Quote(out.string()) + Db());
  ASSERT_EQ(exported.status, 0) << exported.out;
  const momiro::SgfCollection back = momiro::ReadSgf(ReadFile(out));
  const momiro::SgfNode& tree = *back.trees.at(0);
  EXPECT_EQ(tree.Value("GN"), "詰碁一");
  EXPECT_EQ(momiro::SgfToLessonRows(tree), momiro::SgfToLessonRows(*momiro::ReadSgf(kProblem).trees.at(0)));
}

TEST_F(MomiroSgfTest, ASuppliedLessonIsExportedAndImportedUnderANewNumber) {
  const fs::path out = root_ / "110.sgf";
  const Result exported = RunSgf("export 110 " + Quote(out.string()) + Db());
  ASSERT_EQ(exported.status, 0) << exported.out;
  const momiro::SgfCollection lesson = momiro::ReadSgf(ReadFile(out));
  EXPECT_EQ(lesson.trees.at(0)->Value("GN"), "石の取り方とアタリ");
  const Result imported = RunSgf("import " + Quote(out.string()) + " --contents 1110 --title " + Quote("複写") + Db());
  ASSERT_EQ(imported.status, 0) << imported.out;
  const fs::path again = root_ / "1110.sgf";
  ASSERT_EQ(RunSgf("export 1110 " + Quote(again.string()) + Db()).status, 0);
  EXPECT_EQ(momiro::SgfToLessonRows(*momiro::ReadSgf(ReadFile(again)).trees.at(0)),
            momiro::SgfToLessonRows(*lesson.trees.at(0)));
}

TEST_F(MomiroSgfTest, RefusedRunsLeaveTheDatabaseAsItWas) {
  const fs::path good = Write("good.sgf", kProblem);
  ASSERT_EQ(RunSgf("import " + Quote(good.string()) + " --contents 1001 --title a" + Db()).status, 0);
  const std::map<std::string, std::string> before = Files();
  const fs::path broken = Write("broken.sgf", "(;AB[aa]\n;B[bb]C[閉じない");
  const fs::path onStone = Write("stone.sgf", "(;AB[aa];B[bb]\n  ;W[aa])");
  struct Case {
    std::string arguments;
    int status;
    std::string words;
  };
  const std::vector<Case> cases{
      {"import " + Quote(broken.string()) + " --contents 1002 --title b", 1, "（行 2、列 8）"},
      {"import " + Quote(onStone.string()) + " --contents 1002 --title b", 1, "（行 2、列 3）"},
      {"import " + Quote(good.string()) + " --contents 1001 --title b", 1, "1001"},
      {"import " + Quote(good.string()) + " --contents 500 --title b", 1, "500"},
      {"import " + Quote((root_ / "missing.sgf").string()) + " --contents 1002 --title b", 1, "missing.sgf"},
      {"export 4242 " + Quote((root_ / "none.sgf").string()), 1, "4242"},
      {"import " + Quote(good.string()) + " --title b", 2, "usage"},
      {"export 1001", 2, "usage"},
      {"convert x", 2, "usage"},
  };
  for (const Case& c : cases) {
    const Result result = RunSgf(c.arguments + Db());
    EXPECT_EQ(result.status, c.status) << c.arguments << "\n" << result.out;
    EXPECT_NE(result.out.find(c.words), std::string::npos) << c.arguments << "\n" << result.out;
    EXPECT_EQ(Files(), before) << c.arguments;
  }
  EXPECT_FALSE(fs::exists(root_ / "none.sgf"));
}

}  // namespace
