#include "align/suffix_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace sorowa {
namespace {

// Against sorting the suffixes by comparison, on texts whose few symbols make long runs and
// repeats (where induced sorting recurses), and on a wide alphabet.
TEST(SuffixArrayTest, AgreesWithSortedSuffixes) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    const std::int32_t alphabetSize = round % 10 == 9 ? 1000 : 1 + round % 4;
    std::vector<std::int32_t> text(random() % (round % 20 == 19 ? 3000 : 60));
    for (std::int32_t& symbol : text) symbol = random() % alphabetSize;

    std::vector<std::int32_t> expected(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) expected[i] = static_cast<std::int32_t>(i);
    std::sort(expected.begin(), expected.end(), [&](std::int32_t a, std::int32_t b) {
      return std::lexicographical_compare(text.begin() + a, text.end(), text.begin() + b,
                                          text.end());
    });
    const std::vector<std::int32_t> suffixes = BuildSuffixArray(text, alphabetSize);
    ASSERT_EQ(suffixes, expected) << "round " << round;

    std::vector<std::int32_t> inverse(text.size());
    for (std::size_t r = 0; r < text.size(); ++r) inverse[suffixes[r]] = r;
    const std::vector<std::int32_t> lcp = BuildLcpArray(text, suffixes, inverse);
    ASSERT_EQ(lcp.size(), text.size() + 1);
    EXPECT_EQ(lcp.front(), -1);
    EXPECT_EQ(lcp.back(), -1);
    for (std::size_t r = 1; r < text.size(); ++r) {
      const auto a = text.begin() + suffixes[r - 1];
      const auto b = text.begin() + suffixes[r];
      const auto length = std::mismatch(a, text.end(), b, text.end()).first - a;
      ASSERT_EQ(lcp[r], length) << "round " << round << ", rank " << r;
    }
  }
}

}  // namespace
}  // namespace sorowa
