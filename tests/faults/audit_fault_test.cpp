// sorowa-compare against what an outside audit found, as root and as an unprivileged user:
// links planted in the results folder, outputs that are inputs, options dropped on one path,
// results merged twice, inputs that are not regular files, result names that clash, the
// messages, two runs into one folder, set-user-ID files and links given to -o, UTF-32, the
// documented quirks of the scores, and a table of minutes. Every case runs the program as a
// child with a Japanese locale in its environment, checks its exit status and its message
// (one line or none, English, nothing raw from a file name) and what it left on disk, in the
// folders it was given and outside them.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "score/stats_document.h"
#include "score/stats_json.h"
#include "support/files.h"
#include "support/run_program.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

using testing_support::ReadFile;
using testing_support::RunOptions;
using testing_support::RunProgram;
using testing_support::RunResult;

constexpr const char* kBinary = SOROWA_COMPARE_BINARY;
constexpr uid_t kNobody = 65534;
constexpr auto kHangLimit = std::chrono::seconds(120);
constexpr std::string_view kSecret = "precious, not to be touched";

// Writes the file, making its folders first.
void WriteFile(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  testing_support::WriteFile(path, bytes);
}

enum class User { Invoker, Nobody };

// What a case prepares and looks at: the work folder and, inside it, a victim folder of
// root's that no result may ever reach.
struct Place {
  fs::path work;
  fs::path Victim() const { return work / "victim"; }
  std::string operator()(std::string_view relative) const { return (work / relative).string(); }
};

struct AuditCase {
  const char* name;  // starts with the audit's item: Item01_...
  std::vector<User> users;
  std::function<void(const Place&)> arrange;
  std::vector<std::string> args;  // "WORK/x" stands for the work folder's x
  int status;
  std::vector<std::string> errHas = {};  // parts of standard error
  // More to check afterwards; gets the place and the outcome.
  std::function<void(const Place&, const RunResult&)> check = {};
  // Runs in the child just before exec (after the switch of user).
  std::function<void()> beforeExec = {};
  // Called every few milliseconds while the child runs, until it returns true.
  std::function<bool(pid_t)> whileRunning = {};
  // beforeExec limits the address space or the processes, which a sanitized build cannot
  // start under.
  bool limitsResources = false;
};

struct AuditRun {
  AuditCase c;
  User user;
};

void PrintTo(const AuditRun& run, std::ostream* os) { *os << run.c.name; }

// Two documents under src/ and tgt/, which make a batch with a few lines each.
void TwoDocuments(const Place& place) {
  for (const char* name : {"a.txt", "b.txt"}) {
    WriteFile(place.work / "src" / name, "私は学生です。\n今日はいい天気\n");
    WriteFile(place.work / "tgt" / name, "私は先生です。\n今日は いい天気です\n");
  }
}

void Files(const Place& place) {
  WriteFile(place.work / "s.txt", "私は学生です。\n");
  WriteFile(place.work / "t.txt", "私は先生です。\n");
}

// The folder of root's that results must never reach, with a file in it.
void Victim(const Place& place) {
  fs::create_directories(place.Victim());
  WriteFile(place.Victim() / "secret", kSecret);
  fs::permissions(place.Victim() / "secret", fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(place.Victim(), fs::perms::owner_all);
}

void ExpectVictimUntouched(const Place& place) {
  EXPECT_EQ(ReadFile(place.Victim() / "secret"), kSecret);
  EXPECT_EQ(std::distance(fs::directory_iterator(place.Victim()), {}), 1)
      << "something was written into the victim folder";
}

void ExpectRegular(const fs::path& path) {
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path))) << path << " is not a plain file";
}

void MakeFifo(const fs::path& path) {
  fs::create_directories(path.parent_path());
  ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0) << std::strerror(errno);
}

// A stats file of one document, written by the library as a batch would.
void WriteStats(const fs::path& path, const std::string& source, std::uint64_t n) {
  StatsDocument document;
  document.totals.chars.n = n;
  document.totals.pairs = 1;
  document.totals.identical = 1;
  document.classes[kScoreClassCount - 1].n = n;  // "other"
  document.source = source;
  document.target = source + ".t";
  StatsDocument corpus;
  corpus.manyDocuments = true;
  AddDocument(corpus, document);
  WriteFile(path, WriteStatsJson(corpus));
}

// Unrelated lines of kanji: a character table of length * length cells.
std::string UnrelatedLine(std::size_t length, unsigned seed) {
  std::mt19937 random(seed);
  std::u16string line;
  for (std::size_t k = 0; k < length; ++k) line += static_cast<char16_t>(u'一' + random() % 3000);
  return ToUtf8(line) + "\n";
}

class Audit : public ::testing::TestWithParam<AuditRun> {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty());
    place_.work = folder_.path();
    fs::create_directory(place_.work / "tmp");
  }

  // Hands the work folder, all but the victim, to user, so that it can work there.
  void HandOver(User user) {
    if (user != User::Nobody) return;
    auto give = [](const fs::path& path) {
      if (::lchown(path.c_str(), kNobody, kNobody) != 0) ADD_FAILURE() << path;
    };
    give(place_.work);
    for (auto it = fs::recursive_directory_iterator(place_.work);
         it != fs::recursive_directory_iterator(); ++it) {
      if (it->path() == place_.Victim()) {
        it.disable_recursion_pending();
        continue;
      }
      give(it->path());
    }
  }

  RunResult Run(const AuditCase& c, User user) {
    std::vector<std::string> args;
    for (const std::string& arg : c.args) {
      args.push_back(arg.starts_with("WORK/") ? place_(arg.substr(5)) : arg);
    }
    RunOptions options;
    // The program speaks English on the command line whatever the locale says.
    options.env = {{"TMPDIR", place_("tmp")}, {"LANG", "ja_JP.UTF-8"}, {"LC_ALL", ""}};
    options.hangLimit = kHangLimit;
    options.whileRunning = c.whileRunning;
    const std::string work = place_.work.string();
    options.beforeExec = [work, user, &c] {
      if (::chdir(work.c_str()) != 0) ::_exit(125);
      if (user == User::Nobody &&
          (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
        ::_exit(124);
      }
      if (c.beforeExec) c.beforeExec();
    };
    return RunProgram(kBinary, args, options);
  }

  testing_support::TempDir folder_{"sorowa-audit"};
  Place place_;
};

TEST_P(Audit, ClearOutcomeAndNothingLost) {
  const AuditCase& c = GetParam().c;
  const User user = GetParam().user;
  if (user == User::Nobody && ::geteuid() != 0) {
    GTEST_SKIP() << "switching to the user nobody needs root";
  }
#if defined(SOROWA_SANITIZED)
  if (c.limitsResources) GTEST_SKIP() << "the sanitizers need more memory and threads";
#endif
  Victim(place_);
  c.arrange(place_);
  HandOver(user);
  const RunResult outcome = Run(c, user);
  ASSERT_FALSE(outcome.killed) << "hung: " << outcome.err;
  EXPECT_EQ(outcome.status, c.status) << outcome.err;
  for (const std::string& part : c.errHas) {
    EXPECT_NE(outcome.err.find(part), std::string::npos)
        << "no '" << part << "' in " << outcome.err;
  }
  // Every line a message of the program's, in English, with nothing raw from a name: no
  // control character but the line ends, no byte beyond ASCII (no name here has one).
  std::istringstream lines(outcome.err);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_TRUE(line.starts_with("sorowa-compare: ") || line.starts_with("Try 'sorowa-compare"))
        << line;
    for (char byte : line) {
      const auto value = static_cast<unsigned char>(byte);
      EXPECT_TRUE(value >= 0x20 && value < 0x7F) << "byte " << int(value) << " in: " << line;
    }
  }
  ExpectVictimUntouched(place_);
  if (c.check) c.check(place_, outcome);
}

std::vector<std::string> Batch(std::vector<std::string> more = {}) {
  std::vector<std::string> args{"--batch", "WORK/src", "WORK/tgt", "--out-dir", "WORK/out"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

const std::vector<User> kRoot{User::Invoker};
const std::vector<User> kNobodyOnly{User::Nobody};
const std::vector<User> kBoth{User::Invoker, User::Nobody};

// 1. Links planted in the results folder are replaced, never written through.
const AuditCase kItem01[] = {
    {"Item01_LinkedStatsTsvIsReplaced",
     kBoth,
     [](const Place& p) {
       TwoDocuments(p);
       fs::create_directories(p.work / "out");
       fs::create_symlink(p.Victim() / "secret", p.work / "out/stats.tsv");
     },
     Batch(),
     0,
     {},
     [](const Place& p, const RunResult&) { ExpectRegular(p.work / "out/stats.tsv"); }},
    {"Item01_LinkedReportIsReplaced",
     kBoth,
     [](const Place& p) {
       TwoDocuments(p);
       fs::create_directories(p.work / "out");
       fs::create_symlink(p.Victim() / "secret", p.work / "out/a.txt.htm");
     },
     Batch(),
     0,
     {},
     [](const Place& p, const RunResult&) {
       ExpectRegular(p.work / "out/a.txt.htm");
       EXPECT_TRUE(ReadFile(p.work / "out/a.txt.htm").ends_with("</html>"));
     }},
    {"Item01_LinkedIndexToAFifoDoesNotHang",
     kRoot,
     [](const Place& p) {
       TwoDocuments(p);
       MakeFifo(p.work / "fifo");
       fs::create_directories(p.work / "out");
       fs::create_symlink(p.work / "fifo", p.work / "out/index.html");
     },
     Batch(),
     0,
     {},
     [](const Place& p, const RunResult&) { ExpectRegular(p.work / "out/index.html"); }},
    {"Item01_LinkedSubfolderIsNotEntered",
     kBoth,
     [](const Place& p) {
       TwoDocuments(p);
       WriteFile(p.work / "src/sub/c.txt", "あ\n");
       WriteFile(p.work / "tgt/sub/c.txt", "い\n");
       fs::create_directories(p.work / "out");
       fs::create_directory_symlink(p.Victim(), p.work / "out/sub");
     },
     Batch(),
     1,
     {"out/sub': it is a symbolic link"},
     [](const Place& p, const RunResult&) { ExpectRegular(p.work / "out/stats.json"); }},
};

// 2. No output is an input, nor the same file as another output.
const AuditCase kItem02[] = {
    {"Item02_BatchIntoItsSourceFolder",
     kRoot,
     TwoDocuments,
     {"--batch", "WORK/src", "WORK/tgt", "--out-dir", "WORK/src"},
     2,
     {"--out-dir", "is the Source folder"},
     [](const Place& p, const RunResult&) {
       EXPECT_EQ(std::distance(fs::directory_iterator(p.work / "src"), {}), 2);
     }},
    {"Item02_BatchIntoASubfolderOfItsTarget",
     kRoot,
     TwoDocuments,
     {"--batch", "WORK/src", "WORK/tgt", "--out-dir", "WORK/tgt/results"},
     2,
     {"the Target folder"},
     [](const Place& p, const RunResult&) { EXPECT_FALSE(fs::exists(p.work / "tgt/results")); }},
    {"Item02_ReportOverTheSource",
     kRoot,
     Files,
     {"-o", "WORK/s.txt", "WORK/s.txt", "WORK/t.txt"},
     2,
     {"would replace the Source file"},
     [](const Place& p, const RunResult&) {
       EXPECT_EQ(ReadFile(p.work / "s.txt"), "私は学生です。\n");
     }},
    {"Item02_PairsThroughALinkToTheSource",
     kRoot,
     [](const Place& p) {
       Files(p);
       fs::create_symlink(p.work / "s.txt", p.work / "link");
     },
     {"--pairs", "WORK/link", "WORK/s.txt", "WORK/t.txt"},
     2,
     {"would replace the Source file"}},
    {"Item02_ReportAndStatsToOneNewFile",
     kRoot,
     Files,
     {"-o", "WORK/x", "--stats", "WORK/./x", "WORK/s.txt", "WORK/t.txt"},
     2,
     {"-o and --stats name the same file"},
     [](const Place& p, const RunResult&) { EXPECT_FALSE(fs::exists(p.work / "x")); }},
    // The list's document x has its report at out/x.htm, which is the listed Target.
    {"Item02_ListedFileWhereAReportGoes",
     kRoot,
     [](const Place& p) {
       WriteFile(p.work / "x", "あ\n");
       WriteFile(p.work / "out/x.htm", "い\n");
       WriteFile(p.work / "list", "x\tout/x.htm\n");
     },
     {"--batch-list", "WORK/list", "--out-dir", "WORK/out"},
     2,
     {"is the document file"},
     [](const Place& p, const RunResult&) { EXPECT_EQ(ReadFile(p.work / "out/x.htm"), "い\n"); }},
};

// 3. --max-table-memory holds in a batch too.
const AuditCase kItem03[] = {
    {"Item03_MaxTableMemoryInABatch",
     kRoot,
     TwoDocuments,
     Batch({"--none", "--char-dp", "--max-table-memory", "100"}),
     1,
     {"too long to align"}},
};

// 4. Each result is merged once.
const AuditCase kItem04[] = {
    {"Item04_SameFileTwice",
     kRoot,
     [](const Place& p) { WriteStats(p.work / "a.json", "d", 5); },
     {"--merge-stats", "WORK/all.json", "WORK/a.json", "WORK/a.json"},
     2,
     {"are the same file"},
     [](const Place& p, const RunResult&) { EXPECT_FALSE(fs::exists(p.work / "all.json")); }},
    {"Item04_SameShardInTwoCopies",
     kRoot,
     [](const Place& p) {
       WriteStats(p.work / "a.json", "d", 5);
       WriteStats(p.work / "copy.json", "d", 5);
     },
     {"--merge-stats", "WORK/all.json", "WORK/a.json", "WORK/copy.json"},
     1,
     {"both hold the document"},
     [](const Place& p, const RunResult&) { EXPECT_FALSE(fs::exists(p.work / "all.json")); }},
    {"Item04_OutputAmongTheInputs",
     kRoot,
     [](const Place& p) {
       WriteStats(p.work / "a.json", "d", 5);
       WriteStats(p.work / "b.json", "e", 5);
     },
     {"--merge-stats", "WORK/a.json", "WORK/a.json", "WORK/b.json"},
     2,
     {"would replace the input"}},
};

// 5. Inputs that are not regular files fail their documents at once.
const AuditCase kItem05[] = {
    {"Item05_FifoInTheList",
     kRoot,
     [](const Place& p) {
       Files(p);
       MakeFifo(p.work / "fifo");
       WriteFile(p.work / "list", "fifo\tt.txt\ns.txt\tt.txt\n");
     },
     {"--batch-list", "WORK/list", "--out-dir", "WORK/out"},
     1,
     {"cannot read 'fifo': not a regular file (a FIFO)"},
     [](const Place& p, const RunResult& o) {
       EXPECT_LT(o.seconds, 30);
       ExpectRegular(p.work / "out/stats.json");
     }},
    {"Item05_FifoInTheSourceFolder",
     kRoot,
     [](const Place& p) {
       TwoDocuments(p);
       fs::remove(p.work / "src/a.txt");
       MakeFifo(p.work / "src/a.txt");
     },
     Batch(),
     1,
     {"src/a.txt': not a regular file"},
     [](const Place&, const RunResult& o) {
       EXPECT_EQ(o.err.find("there is no"), std::string::npos) << o.err;
     }},
    {"Item05_LinkedSubfolderIsRead",
     kRoot,
     [](const Place& p) {
       TwoDocuments(p);
       WriteFile(p.work / "src/sub/c.txt", "あ\n");
       WriteFile(p.work / "elsewhere/c.txt", "い\n");
       fs::create_directory_symlink(p.work / "elsewhere", p.work / "tgt/sub");
     },
     Batch(),
     0,
     {},
     [](const Place& p, const RunResult&) { ExpectRegular(p.work / "out/sub/c.txt.htm"); }},
};

// 6. A report never needs a folder where another result goes.
const AuditCase kItem06[] = {
    {"Item06_SourceSubfolderNamedStatsJson",
     kRoot,
     [](const Place& p) {
       TwoDocuments(p);
       WriteFile(p.work / "src/stats.json/c.txt", "あ\n");
       WriteFile(p.work / "tgt/stats.json/c.txt", "い\n");
     },
     Batch(),
     1,
     {"would need the folder", "the batch's stats.json"},
     [](const Place& p, const RunResult&) {
       ExpectRegular(p.work / "out/stats.json");
       ExpectRegular(p.work / "out/a.txt.htm");
     }},
    {"Item06_DocumentBesideAFolderOfItsReportName",
     kRoot,
     [](const Place& p) {
       TwoDocuments(p);
       WriteFile(p.work / "src/x", "あ\n");
       WriteFile(p.work / "tgt/x", "い\n");
       WriteFile(p.work / "src/x.htm/y", "う\n");
       WriteFile(p.work / "tgt/x.htm/y", "え\n");
     },
     Batch(),
     1,
     {"x.htm/y.htm' would need the folder", "the report of 'x'"},
     [](const Place& p, const RunResult&) { ExpectRegular(p.work / "out/x.htm"); }},
};

// 7. Messages: with context, in English, naming the right file, nothing raw.
const AuditCase kItem07[] = {
    {"Item07_NoThreadToBeHad",
     kNobodyOnly,
     Files,
     {"WORK/s.txt", "WORK/t.txt"},
     1,
     {"cannot start a thread to compare the line pairs: Resource temporarily unavailable"},
     {},
     [] {
       // The user's processes, this one included, are all it may have: no thread starts.
       const rlimit one{1, 1};
       if (::setrlimit(RLIMIT_NPROC, &one) != 0) ::_exit(123);
     },
     {},
     true},
    {"Item07_UnreadableSubfolderNamesItself",
     kNobodyOnly,
     [](const Place& p) {
       TwoDocuments(p);
       fs::create_directories(p.work / "src/locked");
       fs::permissions(p.work / "src/locked", fs::perms::none);
     },
     Batch(),
     1,
     {"cannot read the Source folder '", "src/locked': Permission denied"}},
    {"Item07_StopWhileOpeningAFifo",
     kRoot,
     [](const Place& p) {
       Files(p);
       MakeFifo(p.work / "fifo");
     },
     {"WORK/fifo", "WORK/t.txt"},
     128 + SIGINT,
     {},
     [](const Place&, const RunResult& o) { EXPECT_EQ(o.err, ""); },
     {},
     [](pid_t pid) {
       ::usleep(300'000);  // it waits for a writer by now
       ::kill(pid, SIGINT);
       return true;
     }},
    {"Item07_ControlCharactersInANameAreEscaped",
     kRoot,
     Files,
     {"WORK/no\nsuch\x1B[31m", "WORK/t.txt"},
     1,
     {"no\\nsuch\\x1B[31m'"}},
    {"Item07_ListWithAByteOrderMark",
     kRoot,
     [](const Place& p) {
       Files(p);
       WriteFile(p.work / "list", "\xEF\xBB\xBFs.txt\tt.txt\n");
     },
     {"--batch-list", "WORK/list", "--out-dir", "WORK/out"},
     0,
     {},
     [](const Place& p, const RunResult&) { ExpectRegular(p.work / "out/s.txt.htm"); }},
    {"Item07_ReportNameOf255Bytes",
     kRoot,
     Files,
     {"-o", "WORK/" + std::string(251, 'r') + ".htm", "WORK/s.txt", "WORK/t.txt"},
     0,
     {},
     [](const Place& p, const RunResult&) {
       ExpectRegular(p.work / (std::string(251, 'r') + ".htm"));
     }},
    {"Item07_MergeOverflowNamesTheFile",
     kRoot,
     [](const Place& p) {
       WriteStats(p.work / "big.json", "d", std::uint64_t{1} << 63);
       WriteStats(p.work / "bigger.json", "e", std::uint64_t{1} << 63);
     },
     {"--merge-stats", "WORK/all.json", "WORK/big.json", "WORK/bigger.json"},
     1,
     {"bigger.json: the counts are too large to add up"}},
    // MeCab cannot map its dictionary, which is there: it is memory that is missing.
    {"Item07_MecabUnderAMemoryLimit",
     kRoot,
     Files,
     {"WORK/s.txt", "WORK/t.txt"},
     0,
     {"sorowa-compare: MeCab: MeCab ran out of memory loading its dictionary "},
     {},
     [] {
       const rlimit limit{80 << 20, 80 << 20};
       if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(123);
     },
     {},
     true},
};

// 8. Actions that do not go together are refused.
const AuditCase kItem08[] = {
    {"Item08_MergeWithBatch",
     kRoot,
     TwoDocuments,
     {"--merge-stats", "WORK/all.json", "--batch", "WORK/src", "WORK/tgt", "--out-dir", "WORK/out"},
     2,
     {"--merge-stats", "--batch"},
     [](const Place& p, const RunResult&) { EXPECT_FALSE(fs::exists(p.work / "out")); }},
    {"Item08_MergeWithATable",
     kRoot,
     [](const Place& p) { WriteStats(p.work / "a.json", "d", 5); },
     {"--merge-stats", "WORK/all.json", "WORK/a.json", "--char-dp"},
     2,
     {"not --char-dp"}},
    {"Item08_BatchWithAStatsFormat",
     kRoot,
     TwoDocuments,
     Batch({"--stats-format", "tsv"}),
     2,
     {"--stats-format does not go with it"}},
};

// 9. One run at a time in a folder, and the three summary files all or none.
const AuditCase kItem09[] = {
    {"Item09_SecondRunIntoALockedFolder",
     kRoot,
     [](const Place& p) {
       TwoDocuments(p);
       fs::create_directories(p.work / "out");
       // Another run holds the folder: this process, for as long as the test lives.
       static int held = -1;
       if (held >= 0) ::close(held);
       held = ::open((p.work / "out").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
       ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
     },
     Batch(),
     1,
     {"another run is writing into the results folder"},
     [](const Place& p, const RunResult&) { EXPECT_TRUE(fs::is_empty(p.work / "out")); }},
    {"Item09_SummaryFilesAllOrNone",
     kRoot,
     [](const Place& p) {
       TwoDocuments(p);
       WriteFile(p.work / "out/stats.json", "old");
       WriteFile(p.work / "out/stats.tsv", "old");
       fs::create_directories(p.work / "out/index.html");
     },
     Batch(),
     1,
     {"index.html': it is a folder"},
     [](const Place& p, const RunResult&) {
       EXPECT_EQ(ReadFile(p.work / "out/stats.json"), "old");
       EXPECT_EQ(ReadFile(p.work / "out/stats.tsv"), "old");
       for (const auto& entry : fs::directory_iterator(p.work / "out")) {
         EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
       }
     }},
};

// 10. -o drops set-user-ID, and follows a link whether its file exists or not.
const AuditCase kItem10[] = {
    {"Item10_SetUserIdIsDropped",
     kRoot,
     [](const Place& p) {
       Files(p);
       WriteFile(p.work / "r.htm", "old");
       fs::permissions(p.work / "r.htm", static_cast<fs::perms>(04755));
     },
     {"-o", "WORK/r.htm", "WORK/s.txt", "WORK/t.txt"},
     0,
     {},
     [](const Place& p, const RunResult&) {
       EXPECT_EQ(fs::status(p.work / "r.htm").permissions(), static_cast<fs::perms>(0755));
     }},
    {"Item10_DanglingLinkIsFollowedAsALiveOneIs",
     kRoot,
     [](const Place& p) {
       Files(p);
       fs::create_symlink("new.htm", p.work / "dangling");
       WriteFile(p.work / "live.htm", "old");
       fs::create_symlink("live.htm", p.work / "live");
     },
     {"-o", "WORK/dangling", "--pairs", "WORK/live", "WORK/s.txt", "WORK/t.txt"},
     0,
     {},
     [](const Place& p, const RunResult&) {
       EXPECT_TRUE(fs::is_symlink(p.work / "dangling"));
       EXPECT_TRUE(fs::is_symlink(p.work / "live"));
       EXPECT_TRUE(ReadFile(p.work / "new.htm").ends_with("</html>"));
       EXPECT_EQ(ReadFile(p.work / "live.htm"), "1\t1\n");
     }},
};

// 11. UTF-32 files are read by their byte order mark, with or without --encoding auto.
std::string Utf32(std::u32string_view text, bool little) {
  std::string bytes = little ? std::string("\xFF\xFE\0\0", 4) : std::string("\0\0\xFE\xFF", 4);
  for (char32_t c : text) {
    for (int k = 0; k < 4; ++k) bytes += static_cast<char>(c >> (little ? 8 * k : 8 * (3 - k)));
  }
  return bytes;
}

void ExpectNoDifference(const Place&, const RunResult& o) {
  const StatsDocument stats = ReadStatsJson(o.out, "stats");
  EXPECT_EQ(stats.totals.chars.n, 7u);
  EXPECT_EQ(stats.totals.chars.distance(), 0u);
}

const AuditCase kItem11[] = {
    {"Item11_Utf32LittleEndian",
     kRoot,
     [](const Place& p) {
       WriteFile(p.work / "s.txt", Utf32(U"今日は𩸽です。\n", true));
       WriteFile(p.work / "t.txt", "今日は𩸽です。\n");
     },
     {"--no-report", "--stats", "-", "WORK/s.txt", "WORK/t.txt"},
     0,
     {},
     ExpectNoDifference},
    {"Item11_Utf32BigEndianWithAuto",
     kRoot,
     [](const Place& p) {
       WriteFile(p.work / "s.txt", Utf32(U"今日は𩸽です。\n", false));
       WriteFile(p.work / "t.txt", "今日は𩸽です。\n");
     },
     {"--encoding", "auto", "--no-report", "--stats", "-", "WORK/s.txt", "WORK/t.txt"},
     0,
     {},
     ExpectNoDifference},
};

// 12. What docs/scores.md says of white space among morphemes and of --fold-kana alone.
const AuditCase kItem12[] = {
    {"Item12_SpacesBetweenMorphemesCount",
     kRoot,
     [](const Place& p) {
       WriteFile(p.work / "s.txt", "今日は 晴れ です\n");
       WriteFile(p.work / "t.txt", "今日は晴れです\n");
     },
     {"--no-report", "--stats", "-", "--stats-units", "chars,morphemes", "WORK/s.txt",
      "WORK/t.txt"},
     0,
     {},
     [](const Place&, const RunResult& o) {
       const StatsDocument stats = ReadStatsJson(o.out, "stats");
       ASSERT_TRUE(stats.totals.morphemes.has_value());
       EXPECT_EQ(stats.totals.morphemes->deletions, 2u);
       EXPECT_EQ(stats.totals.morphemes->distance(), 2u);
     }},
    {"Item12_FoldKanaAloneSpellsOutCompatibilityForms",
     kRoot,
     [](const Place& p) {
       WriteFile(p.work / "s.txt", "㍍\nｶﾞ\n");
       // ｶ becomes か, and the half-width voiced mark, of no script of its own, stays.
       WriteFile(p.work / "t.txt", "めえとる\nかﾞ\n");
     },
     {"--fold-kana", "--no-report", "--stats", "-", "WORK/s.txt", "WORK/t.txt"},
     0,
     {},
     [](const Place&, const RunResult& o) {
       const StatsDocument stats = ReadStatsJson(o.out, "stats");
       EXPECT_EQ(stats.totals.chars.distance(), 0u);
       EXPECT_EQ(stats.totals.chars.n, 6u);
     }},
};

// 13. A table of minutes is announced with its estimate, and Ctrl+C stops it at once.
const AuditCase kItem13[] = {
    {"Item13_LongTableIsAnnouncedAndStops",
     kRoot,
     [](const Place& p) {
       WriteFile(p.work / "s.txt", UnrelatedLine(200000, 1));
       WriteFile(p.work / "t.txt", UnrelatedLine(200000, 2));
     },
     {"--none", "--char-dp", "WORK/s.txt", "WORK/t.txt"},
     128 + SIGINT,
     {"sorowa-compare: line pair 1: aligning 200000 and 200000 elements will take about "},
     [](const Place& p, const RunResult& o) {
       EXPECT_LT(o.seconds, 90);
       EXPECT_TRUE(fs::is_empty(p.work / "tmp")) << "the partial report was left";
     },
     {},
     // Well after the announcement, which comes within a second, and long before the table's
     // end, which is ten seconds away at the very least.
     [](pid_t pid) {
       static std::chrono::steady_clock::time_point started;
       const auto now = std::chrono::steady_clock::now();
       if (started == std::chrono::steady_clock::time_point{}) started = now;
       if (now - started < std::chrono::seconds(4)) return false;
       started = {};
       ::kill(pid, SIGINT);
       return true;
     }},
};

std::vector<AuditRun> AllRuns() {
  std::vector<AuditRun> runs;
  const auto add = [&runs](const auto& table) {
    for (const AuditCase& c : table) {
      for (User user : c.users) runs.push_back({c, user});
    }
  };
  add(kItem01);
  add(kItem02);
  add(kItem03);
  add(kItem04);
  add(kItem05);
  add(kItem06);
  add(kItem07);
  add(kItem08);
  add(kItem09);
  add(kItem10);
  add(kItem11);
  add(kItem12);
  add(kItem13);
  return runs;
}

INSTANTIATE_TEST_SUITE_P(Findings, Audit, ::testing::ValuesIn(AllRuns()),
                         [](const ::testing::TestParamInfo<AuditRun>& info) {
                           return std::string(info.param.c.name) +
                                  (info.param.user == User::Nobody ? "_AsNobody" : "");
                         });

}  // namespace
}  // namespace sorowa
