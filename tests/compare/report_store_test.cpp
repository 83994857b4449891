#include "compare/report_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "compare/compare_errors.h"
#include "compare_test_support.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

TEST(TempReportStoreNameTest, ProcessIdInBase32AndSequence) {
  EXPECT_EQ(TempReportStore::FileName(0, 0), "s0..htm");
  EXPECT_EQ(TempReportStore::FileName(31, 0), "sv..htm");
  EXPECT_EQ(TempReportStore::FileName(32, 1), "s10.1.htm");
  EXPECT_EQ(TempReportStore::FileName(12345, 32766), "sc1p.vvu.htm");
}

class ReportStoreTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.empty()); }
  static std::string Read(const fs::path& path) { return testing_support::ReadFile(path); }
  testing_support::TempDir temp_;
  fs::path dir_ = temp_.path();
};

TEST_F(ReportStoreTest, SkipsTakenNamesAndNeverFollowsLinks) {
  const fs::path victim = dir_ / "victim";
  std::ofstream(victim) << "precious";
  fs::create_symlink(victim, dir_ / TempReportStore::FileName(getpid(), 0));
  std::ofstream(dir_ / TempReportStore::FileName(getpid(), 1)) << "someone else's";

  TempReportStore store(dir_);
  const fs::path path = store.Write("report");
  EXPECT_EQ(path.filename().string(), TempReportStore::FileName(getpid(), 2));
  EXPECT_EQ(Read(path), "report");
  EXPECT_EQ(Read(victim), "precious");
  EXPECT_EQ(Read(dir_ / TempReportStore::FileName(getpid(), 1)), "someone else's");
}

TEST_F(ReportStoreTest, NoNameLeftIsAnErrorNotAFileBesideTheDirectory) {
  for (std::uint32_t sequence = 0; sequence <= TempReportStore::kMaxSequence; ++sequence) {
    std::ofstream(dir_ / TempReportStore::FileName(getpid(), sequence));
  }
  TempReportStore store(dir_);
  EXPECT_THROW(store.Write("report"), ReportWriteError);
  EXPECT_FALSE(fs::exists(dir_.string() + ".htm"));
}

TEST_F(ReportStoreTest, FileStoreReplacesAtomicallyAndLeavesNoTemporary) {
  const fs::path target = dir_ / "out.htm";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  FileReportStore store(target);
  EXPECT_EQ(store.Write("new"), target);
  EXPECT_EQ(Read(target), "new");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1);
}

TEST_F(ReportStoreTest, FileStoreFailuresLeaveNothing) {
  const fs::path missing = dir_ / "no-such-folder" / "out.htm";
  try {
    FileReportStore(missing).Write("x");
    ADD_FAILURE() << "a missing folder must fail";
  } catch (const ReportWriteError& error) {
    EXPECT_EQ(error.details().kind, ErrorKind::ReportNotCreated);
    EXPECT_EQ(error.details().path, missing.parent_path().string());
    EXPECT_EQ(error.details().systemError, ENOENT);
  }
  if (fs::exists("/dev/full")) {
    try {
      FileReportStore("/dev/full").Write("x");
      ADD_FAILURE() << "writing to a full device must fail";
    } catch (const ReportWriteError& error) {
      EXPECT_NE(std::string(error.what()).find("/dev/full"), std::string::npos);
    }
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 0);
}

TEST_F(ReportStoreTest, AbandonedWritersLeaveNothingBehind) {
  const fs::path target = dir_ / "out.htm";
  std::ofstream(target) << "old";
  {
    TempReportStore temp(dir_);
    std::unique_ptr<ReportWriter> writer = temp.Begin();
    writer->Append("half a report");
    FileReportStore file(target);
    std::unique_ptr<ReportWriter> replacing = file.Begin();
    replacing->Append("half a report");
  }
  EXPECT_EQ(Read(target), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1) << "only the old file is left";
}

TEST_F(ReportStoreTest, StreamedPiecesArriveInOrder) {
  TempReportStore store(dir_);
  std::unique_ptr<ReportWriter> writer = store.Begin();
  writer->Append("a");
  writer->Append("");
  writer->Append("bc");
  EXPECT_EQ(Read(writer->Commit()), "abc");
}

TEST_F(ReportStoreTest, TemporaryDirectoryTreatsAnEmptyVariableAsUnset) {
  const std::string dir = dir_.string();
  const char* const names[] = {"TMPDIR", "TMP", "TEMP", "TEMPDIR"};
  std::map<std::string, std::string> saved;
  for (const char* name : names) {
    if (const char* value = std::getenv(name)) saved[name] = value;
    ::unsetenv(name);
  }
  // TMPDIR and TMP as set (null: unset), and the directory expected.
  const std::tuple<const char*, const char*, std::string> cases[] = {
      {dir.c_str(), nullptr, dir},
      {"", nullptr, "/tmp"},
      {nullptr, nullptr, "/tmp"},
      {"", dir.c_str(), dir},
      {dir.c_str(), "/nowhere", dir}};
  for (const auto& [tmpdir, tmp, expected] : cases) {
    for (const auto& [name, value] : {std::pair("TMPDIR", tmpdir), std::pair("TMP", tmp)}) {
      value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    EXPECT_EQ(TemporaryDirectory(), fs::path(expected)) << (tmpdir ? tmpdir : "unset");
  }
  ::setenv("TMPDIR", (dir + "/missing").c_str(), 1);
  EXPECT_THROW(TemporaryDirectory(), ReportWriteError);
  for (const char* name : names) {
    saved.contains(name) ? ::setenv(name, saved[name].c_str(), 1) : ::unsetenv(name);
  }
}

}  // namespace
}  // namespace sorowa
