#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "compare/compare_line_pairs.h"
#include "compare_test_support.h"
#include "fake_morph_backend.h"

namespace sorowa {
namespace {

using testing_support::ReadFile;

// Texts are UTF-8; decoding here keeps the test free of the command line's decoder.
std::u16string DecodeUtf8(const std::string& bytes) {
  std::u16string out;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    char32_t c;
    int extra;
    if (b < 0x80)
      c = b, extra = 0;
    else if (b < 0xE0)
      c = b & 0x1F, extra = 1;
    else if (b < 0xF0)
      c = b & 0x0F, extra = 2;
    else
      c = b & 0x07, extra = 3;
    for (int k = 1; k <= extra; ++k) c = (c << 6) | (bytes[i + k] & 0x3F);
    i += 1 + extra;
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

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
