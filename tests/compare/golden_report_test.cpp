#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/utf8.h"
#include "compare/compare_line_pairs.h"
#include "compare_test_support.h"
#include "fake_morph_backend.h"

namespace sorowa {
namespace {

using testing_support::ReadFile;

// Every table, every separator and every escape of a small but busy pair of texts, byte for
// byte. Regenerate with SOROWA_UPDATE_GOLDEN=1 only after checking the differences by eye.
TEST(GoldenReportTest, AllOptionsMatchStoredReport) {
  const std::string dir = SOROWA_TEST_DATA_DIR;
  const std::u16string source = DecodeUtf8(ReadFile(dir + "/golden_source.txt"));
  const std::u16string target = DecodeUtf8(ReadFile(dir + "/golden_target.txt"));
  ASSERT_FALSE(source.empty());

  testing_support::BackendLog log;
  CompareHooks hooks;
  hooks.morphBackendFactory = testing_support::ClassRunFactory(&log);
  std::string bytes(ReportHead());
  CompareLinePairs(source, target, bytes, {true, true, true, true, true}, hooks);
  bytes += ReportFoot();

  const std::string goldenPath = dir + "/golden_report.htm";
  if (std::getenv("SOROWA_UPDATE_GOLDEN")) {
    std::ofstream(goldenPath, std::ios::binary) << bytes;
  }
  EXPECT_EQ(bytes, ReadFile(goldenPath));
}

}  // namespace
}  // namespace sorowa
