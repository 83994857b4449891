// Names that someone else already took in the temporary directory: the store must skip
// them without truncating a file or writing through a planted symlink.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "compare/report_store.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class TakenNamesTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "sorowa-store-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    victimDir_ = dir_ / "elsewhere";
    fs::create_directory(victimDir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Name(std::uint32_t sequence) const {
    return dir_ / TempReportStore::FileName(static_cast<std::uint64_t>(getpid()), sequence);
  }

  fs::path dir_;
  fs::path victimDir_;
};

TEST_F(TakenNamesTest, SkipsFilesAndSymlinksAndLeavesTheirTargetsAlone) {
  const fs::path victim = victimDir_ / "victim.txt";
  const fs::path notYetThere = victimDir_ / "created-through-link";
  WriteFile(victim, "precious");
  fs::create_symlink(victim, Name(0));
  WriteFile(Name(1), "someone else's report");
  fs::create_symlink(notYetThere, Name(2));  // dangling: must not be created through
  fs::create_directory(Name(3));

  TempReportStore store(dir_);
  const fs::path first = store.Write("<html>first</html>");
  EXPECT_EQ(first, Name(4));
  EXPECT_EQ(ReadFile(first), "<html>first</html>");
  struct stat info {};
  ASSERT_EQ(::lstat(first.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  const fs::path second = store.Write("second");
  EXPECT_EQ(second, Name(5));
  EXPECT_EQ(ReadFile(first), "<html>first</html>");
  EXPECT_EQ(ReadFile(second), "second");

  EXPECT_EQ(ReadFile(victim), "precious");
  EXPECT_TRUE(fs::is_symlink(Name(0)));
  EXPECT_EQ(ReadFile(Name(1)), "someone else's report");
  EXPECT_TRUE(fs::is_symlink(Name(2)));
  EXPECT_FALSE(fs::exists(notYetThere));
  EXPECT_TRUE(fs::is_empty(Name(3)));
  EXPECT_EQ(std::distance(fs::directory_iterator(victimDir_), fs::directory_iterator()), 1);
}

TEST_F(TakenNamesTest, FreeFirstNameIsUsedAndNothingElseAppears) {
  TempReportStore store(dir_);
  EXPECT_EQ(store.Write("x"), Name(0));
  EXPECT_EQ(store.Write("y"), Name(1));
  // Only the two reports and the victim folder: no temporary files left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace sorowa
