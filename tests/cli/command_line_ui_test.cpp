#include "command_line_ui.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace sorowa {
namespace {

using std::chrono::seconds;
using std::chrono::steady_clock;

// A stream whose written bytes can be read back: a pipe, or a pseudo-terminal when the
// code under test must believe it talks to a terminal.
class Capture {
 public:
  explicit Capture(bool terminal) {
    int writeFd = -1;
    if (terminal) {
      readFd_ = posix_openpt(O_RDWR | O_NOCTTY);
      if (readFd_ < 0 || grantpt(readFd_) != 0 || unlockpt(readFd_) != 0) return;
      writeFd = open(ptsname(readFd_), O_RDWR | O_NOCTTY);
      if (writeFd < 0) return;
      termios raw{};  // no "\n" to "\r\n" translation
      tcgetattr(writeFd, &raw);
      cfmakeraw(&raw);
      tcsetattr(writeFd, TCSANOW, &raw);
    } else {
      int fds[2];
      if (pipe(fds) != 0) return;
      readFd_ = fds[0];
      writeFd = fds[1];
    }
    stream_ = fdopen(writeFd, "w");
  }
  ~Capture() {
    if (stream_ != nullptr) std::fclose(stream_);
    if (readFd_ >= 0) close(readFd_);
  }
  std::FILE* stream() const { return stream_; }

  // Everything written so far.
  std::string Take() {
    std::fflush(stream_);
    std::string text;
    pollfd pfd{readFd_, POLLIN, 0};
    while (poll(&pfd, 1, 50) > 0 && (pfd.revents & POLLIN) != 0) {
      char buffer[4096];
      const ssize_t n = read(readFd_, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
  }

 private:
  int readFd_ = -1;
  std::FILE* stream_ = nullptr;
};

TEST(CommandLineUiTest, Editors) {
  Capture out(false), err(false);
  CommandLineUi ui(u"源", u"先", {}, true, out.stream(), err.stream());
  EXPECT_EQ(ui.EditorText(Editor::Source), u"源");
  EXPECT_EQ(ui.EditorText(Editor::Target), u"先");
  ui.SetEditorText(Editor::Target, u"先\r\n");
  EXPECT_EQ(ui.EditorText(Editor::Target), u"先\r\n");
  EXPECT_EQ(ui.EditorText(Editor::Source), u"源");
}

struct NotesCase {
  const char* name;
  LinePairing pairing;
  std::vector<std::size_t> sourceLineNumbers;
  std::vector<std::size_t> targetLineNumbers;
  bool aligned;
  std::string err;  // what ShowResult prints
};

void PrintTo(const NotesCase& c, std::ostream* os) { *os << c.name; }

class UnpairedLines : public testing::TestWithParam<NotesCase> {};

TEST_P(UnpairedLines, AreNamedOnStandardError) {
  const NotesCase& c = GetParam();
  Capture out(false), err(false);
  CommandLineUi ui(u"", u"", {}, true, out.stream(), err.stream());
  ui.SetFileNames("a.txt", "b.txt");
  ui.ShowResult(DescribePairing(c.pairing, c.sourceLineNumbers, c.targetLineNumbers, c.aligned));
  EXPECT_EQ(err.Take(), c.err);
  EXPECT_FALSE(ui.failed());
  ASSERT_TRUE(ui.result().has_value());
  EXPECT_EQ(ui.result()->pairs.size(), c.pairing.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnpairedLines,
    testing::Values(
        NotesCase{"SourceLonger",
                  PairLinesByPosition(5, 2),
                  {1, 2, 41, 42, 43},
                  {1, 2},
                  false,
                  "sorowa-compare: Source has 3 lines more than Target; lines 41\u201343 of "
                  "a.txt were not compared; --align-lines pairs lines by content\n"},
        NotesCase{"TargetLongerByOne",
                  PairLinesByPosition(1, 2),
                  {1},
                  {1, 7},
                  false,
                  "sorowa-compare: Target has 1 line more than Source; line 7 of b.txt was not "
                  "compared; --align-lines pairs lines by content\n"},
        NotesCase{"EmptyTarget",
                  PairLinesByPosition(2, 0),
                  {1, 3},
                  {},
                  false,
                  "sorowa-compare: Target has no lines (b.txt is empty or holds only line "
                  "breaks); lines 1\u20133 of a.txt were not compared\n"},
        NotesCase{"NoLinesAtAll",
                  {},
                  {},
                  {},
                  true,
                  "sorowa-compare: Source and Target have no lines (a.txt and b.txt are empty "
                  "or hold only line breaks)\n"},
        // By content nothing is left out; only an empty side is worth a word.
        NotesCase{"AlignedWithLoneLines",
                  {{0, 1, 0, 1}, {1, 1, 0, 0}, {0, 0, 1, 2}},
                  {1, 2},
                  {1, 2, 3},
                  true,
                  ""},
        NotesCase{"AlignedEmptyTarget",
                  {{0, 1, 0, 0}, {1, 1, 0, 0}},
                  {1, 2},
                  {},
                  true,
                  "sorowa-compare: Target has no lines (b.txt is empty or holds only line "
                  "breaks); every line of a.txt is shown alone\n"}),
    [](const testing::TestParamInfo<NotesCase>& info) { return info.param.name; });

TEST(CommandLineUiTest, MessagesGoToStandardErrorAndOnlyErrorsFail) {
  Capture out(false), err(false);
  CommandLineUi ui(u"", u"", {}, true, out.stream(), err.stream());
  ui.ShowMessage({"MeCab", "no dictionary"});
  ui.ShowMessage({"", "plain"});
  EXPECT_FALSE(ui.failed());
  ui.ShowReport("/tmp/s1..htm");
  EXPECT_EQ(out.Take(), "/tmp/s1..htm\n");
  ui.ReportError("cannot write the report");
  EXPECT_TRUE(ui.failed());
  EXPECT_EQ(err.Take(),
            "sorowa-compare: MeCab: no dictionary\n"
            "sorowa-compare: plain\n"
            "sorowa-compare: cannot write the report\n");
}

TEST(CommandLineUiTest, NamedOutputPrintsNoPath) {
  Capture out(false), err(false);
  CommandLineUi ui(u"", u"", {}, false, out.stream(), err.stream());
  ui.ShowReport("report.htm");
  EXPECT_EQ(out.Take(), "");
}

struct ProgressCase {
  const char* name;
  bool terminal;
  steady_clock::duration delay;
  bool shown;
};

void PrintTo(const ProgressCase& c, std::ostream* os) { *os << c.name; }

class Progress : public testing::TestWithParam<ProgressCase> {};

TEST_P(Progress, ShownOnlyOnATerminalAfterTheDelayAndErasedBeforeMessages) {
  const ProgressCase& c = GetParam();
  Capture out(false), err(c.terminal);
  ASSERT_NE(err.stream(), nullptr);
  CommandLineUi ui(u"", u"", {}, true, out.stream(), err.stream(), c.delay);
  EXPECT_TRUE(ui.ReportProgress(1, 12));
  EXPECT_TRUE(ui.ReportProgress(12, 12));
  ui.ReportError("failed");
  const std::string text = err.Take();
  if (!c.shown) {
    EXPECT_EQ(text, "sorowa-compare: failed\n");
    return;
  }
  const std::string first = "\rsorowa-compare: pair 1 of 12";
  const std::string last = "\rsorowa-compare: pair 12 of 12";
  EXPECT_EQ(text.rfind(first, 0), 0u) << text;
  EXPECT_NE(text.find(last), std::string::npos) << text;
  // The error starts on a line from which the progress text has been blanked out.
  const std::string erased = "\r" + std::string(last.size() - 1, ' ') + "\r";
  EXPECT_TRUE(text.ends_with(erased + "sorowa-compare: failed\n")) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Progress,
    testing::Values(ProgressCase{"TerminalAfterDelay", true, seconds(0), true},
                    ProgressCase{"TerminalBeforeDelay", true, seconds(3600), false},
                    ProgressCase{"PipeAfterDelay", false, seconds(0), false}),
    [](const testing::TestParamInfo<ProgressCase>& info) { return info.param.name; });

TEST(CommandLineUiTest, ProgressLineIsErasedWhenTheRunEnds) {
  Capture out(false), err(true);
  {
    CommandLineUi ui(u"", u"", {}, true, out.stream(), err.stream(), seconds(0));
    ui.ReportProgress(3, 5);
    ui.ShowReport("/tmp/r.htm");
  }
  const std::string line = "sorowa-compare: pair 3 of 5";
  EXPECT_EQ(err.Take(), "\r" + line + "\r" + std::string(line.size(), ' ') + "\r");
  EXPECT_EQ(out.Take(), "/tmp/r.htm\n");
}

}  // namespace
}  // namespace sorowa
