// Documents through sorowa-compare: found by their content or named by --input-format, read
// into lines whose pages reach the JSON pairs and the review page; a hostile document ends the run
// with one message and no report.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "document_writers.h"
#include "support/files.h"
#include "support/run_program.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;
using testing_support::FolderEntries;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::WriteFile;

class DocumentInput : public testing::Test {
 protected:
  RunResult Run(const std::vector<std::string>& args) {
    testing_support::RunOptions options;
    options.env.emplace("TMPDIR", tmp_.string());
    return RunProgram(SOROWA_COMPARE_BINARY, args, options);
  }

  // The arguments, each file name among them made a path in the work folder.
  std::vector<std::string> WithPaths(std::vector<std::string> args,
                                     const std::vector<std::string>& more) const {
    args.insert(args.end(), more.begin(), more.end());
    for (std::string& arg : args) {
      if (arg.find('.') != std::string::npos && !arg.starts_with("--")) {
        arg = (work_ / arg).string();
      }
    }
    return args;
  }

  testing_support::TempDir temp_{"sorowa-documents"};
  fs::path work_ = temp_.path();
  fs::path tmp_ = [this] {
    fs::create_directory(work_ / "tmp");
    return work_ / "tmp";
  }();
};

TEST_F(DocumentInput, LinesAndPagesReachTheScoresAndTheReviewPage) {
  const std::vector<std::u16string> lines = testdocs::SampleLines(12, 21, true);
  // The OCR has pages of five lines; the manuscript has none.
  const std::vector<std::vector<std::u16string>> pages = {{lines.begin(), lines.begin() + 5},
                                                          {lines.begin() + 5, lines.begin() + 10},
                                                          {lines.begin() + 10, lines.end()}};
  WriteFile(work_ / "ocr.html", testdocs::WriteHocr(pages));
  WriteFile(work_ / "manuscript.docx", testdocs::WriteDocx(lines, true).bytes);
  WriteFile(work_ / "manuscript.bin", testdocs::WriteDocx(lines, true).bytes);

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"manuscript.docx", "ocr.html"},
        std::vector<std::string>{"--source-input-format", "docx", "--target-input-format=hocr",
                                 "manuscript.bin", "ocr.html"}}) {
    const RunResult r = Run(WithPaths({"--no-report", "--stats", "s.json"}, args));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto stats = nlohmann::json::parse(ReadFile(work_ / "s.json"));
    const auto& pairs = stats.at("pairs");
    ASSERT_EQ(pairs.size(), lines.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      EXPECT_EQ(pairs[i].at("status"), "identical") << i;
      EXPECT_FALSE(pairs[i].contains("source_page"));
      EXPECT_EQ(pairs[i].at("target_page"), i / 5 + 1) << i;
    }
  }

  // The review page names each Target line's page under its number; the manuscript has none.
  const RunResult r =
      Run(WithPaths({"--report", "review", "-o", "r.htm"}, {"manuscript.docx", "ocr.html"}));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string page = ReadFile(work_ / "r.htm");
  const auto count = [&page](const std::string& text) {
    std::size_t n = 0;
    for (auto at = page.find(text); at != std::string::npos; at = page.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("<br>(p.1)"), 5u);
  EXPECT_EQ(count("<br>(p.2)"), 5u);
  EXPECT_EQ(count("<br>(p.3)"), 2u);
  EXPECT_EQ(count("<br>(p."), lines.size());
}

TEST_F(DocumentInput, BatchReadsEachFileInItsFormat) {
  const std::vector<std::u16string> lines = testdocs::SampleLines(8, 30, true);
  fs::create_directories(work_ / "src");
  fs::create_directories(work_ / "ocr");
  WriteFile(work_ / "src" / "a", testdocs::WriteOdt(lines, true).bytes);
  WriteFile(work_ / "ocr" / "a", testdocs::WriteAlto({lines}));
  const RunResult r = Run({"--batch", "--no-report", "--out-dir", (work_ / "out").string(),
                           (work_ / "src").string(), (work_ / "ocr").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto stats = nlohmann::json::parse(ReadFile(work_ / "out" / "stats.json"));
  const auto& totals = stats.at("documents").at(0).at("totals");
  EXPECT_EQ(totals.at("pairs"), lines.size());
  EXPECT_EQ(totals.at("identical"), lines.size());
}

TEST_F(DocumentInput, RefusedDocumentsLeaveNoReport) {
  WriteFile(work_ / "a.txt", "本文\n");
  WriteFile(work_ / "bomb.docx",
            testdocs::WriteZipBomb({}, "word/document.xml", 1ull << 30, 1ull << 30));
  WriteFile(work_ / "scan.pdf", "%PDF-1.7\nnothing that poppler can read\n");
  const struct {
    std::vector<std::string> args;
    int status;
    const char* says;
  } cases[] = {
      {{"a.txt", "bomb.docx"}, 1, "bomb.docx: refused: the unpacked size of word/document.xml"},
      {{"a.txt", "scan.pdf"}, 1, "scan.pdf: not a readable PDF file"},
      {{"--input-format", "odt", "a.txt", "a.txt"}, 1, "a.txt: not a readable OpenDocument"},
      {{"--input-format", "rtf", "a.txt", "a.txt"}, 2, "unknown input format 'rtf'"},
  };
  for (const auto& test : cases) {
    const RunResult r = Run(WithPaths({"-o", "out.htm"}, test.args));
    EXPECT_EQ(r.status, test.status) << r.err;
    EXPECT_TRUE(r.err.starts_with("sorowa-compare: ")) << r.err;
    EXPECT_NE(r.err.find(test.says), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(work_ / "out.htm"));
    EXPECT_TRUE(FolderEntries(tmp_).empty());
  }
}

}  // namespace
}  // namespace sorowa
