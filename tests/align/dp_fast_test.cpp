// Differential test of the fast alignment paths against the plain reference: the full table
// filled with SIMD, the band, and the dispatcher, with each instruction set and cost width,
// in both directions. Small alphabets put ties everywhere, which is where a wrong tie order
// or a misplaced swap shows; related pairs keep the band near its edges.
//
// SOROWA_DP_FAST_PAIRS sets the number of random pairs (default 100,000, a tenth of that
// under AddressSanitizer); SOROWA_DP_FAST_SEED changes the seed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "align/char_dp_table.h"
#include "align/dp_align.h"
#include "align/dp_table.h"
#include "align/unit_dp_table.h"

namespace sorowa {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kDefaultPairs = 10'000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr std::size_t kDefaultPairs = 10'000;
#else
constexpr std::size_t kDefaultPairs = 100'000;
#endif
#else
constexpr std::size_t kDefaultPairs = 100'000;
#endif

std::size_t EnvNumber(const char* name, std::size_t fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  return static_cast<std::size_t>(std::strtoull(text, nullptr, 10));
}

std::string Describe(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += std::to_string(static_cast<unsigned>(c)) + ' ';
  return out;
}

// Prose with the edits a reviser makes, so that real Japanese character statistics (long
// runs of kana, repeated particles) are among the inputs.
const std::vector<std::u16string>& JapaneseLines() {
  static const std::vector<std::u16string> lines = {
      u"パッケージ管理システムはソフトウェアの導入と削除を安全に行うための仕組みです。",
      u"設定ファイルを書き換える前に、元のファイルを別の名前で保存しておきましょう。",
      u"このコマンドは管理者の権限で実行しなければならないので注意してください。",
      u"ネットワークの設定が正しくないと、更新の取得に失敗することがあります。",
      u"古いカーネルは自動的には削除されないため、ディスクの空き容量を時々確認します。",
      u"文字コードの違いによって、同じ文章でも表示が崩れてしまう場合がある。",
      u"東京都の図書館では、毎週土曜日に子供向けの読み聞かせ会を開いている。",
      u"私は昨日、友達と一緒に新しくできた駅前の喫茶店へ行ってみました。",
      u"ですます調とである調を一つの文書の中で混ぜないように気を付けること。",
      u"𠮷野家の「牛丼」は、𩸽の塩焼きと並んで人気がある……らしい。",
  };
  return lines;
}

std::u16string Katakana(std::mt19937_64& random, std::size_t length) {
  std::u16string out;
  for (std::size_t k = 0; k < length; ++k) out += static_cast<char16_t>(u'ア' + random() % 80);
  return out;
}

// Realistic revisions: readings in katakana, particles dropped or added, neighbours swapped,
// characters changed.
std::u16string Revise(std::u16string line, std::mt19937_64& random) {
  static const std::u16string particles = u"はがをにでとものへや";
  const std::size_t edits = random() % 5;
  for (std::size_t e = 0; e < edits && !line.empty(); ++e) {
    const std::size_t at = random() % line.size();
    switch (random() % 5) {
      case 0:
        line.replace(at, std::min<std::size_t>(2, line.size() - at),
                     Katakana(random, 2 + random() % 3));
        break;
      case 1:
        line.erase(at, 1);
        break;
      case 2:
        line.insert(at, 1, particles[random() % particles.size()]);
        break;
      case 3:
        if (at + 1 < line.size()) std::swap(line[at], line[at + 1]);
        break;
      default:
        line[at] = static_cast<char16_t>(u'一' + random() % 200);
        break;
    }
  }
  return line;
}

struct PairMaker {
  std::mt19937_64 random;

  std::size_t Length() {
    // Mostly short pairs, which are cheap and rich in border effects; some up to 300.
    const std::uint64_t kind = random() % 10;
    if (kind < 5) return random() % 41;
    if (kind < 8) return random() % 121;
    return random() % 301;
  }

  // Any code unit, surrogates and NUL included.
  std::u16string Alphabet(std::size_t size) {
    std::u16string alphabet;
    while (alphabet.size() < size) {
      char16_t c = 0;
      switch (random() % 4) {
        case 0:
          c = static_cast<char16_t>(0xD800 + random() % 0x800);
          break;
        case 1:
          c = static_cast<char16_t>(random() % 3);
          break;
        default:
          c = static_cast<char16_t>(random() % 0x10000);
          break;
      }
      if (alphabet.find(c) == std::u16string::npos) alphabet += c;
    }
    return alphabet;
  }

  std::u16string Text(const std::u16string& alphabet, std::size_t length) {
    std::u16string text;
    for (std::size_t k = 0; k < length; ++k) text += alphabet[random() % alphabet.size()];
    return text;
  }

  std::u16string Mutate(std::u16string text, const std::u16string& alphabet) {
    const std::size_t edits = random() % (2 + text.size() / 8);
    for (std::size_t e = 0; e < edits; ++e) {
      const std::size_t at = text.empty() ? 0 : random() % text.size();
      const std::uint64_t op = random() % 4;
      if (op == 0 || text.empty()) {
        text.insert(at, 1, alphabet[random() % alphabet.size()]);
      } else if (op == 1) {
        text.erase(at, 1);
      } else if (op == 2) {
        text[at] = alphabet[random() % alphabet.size()];
      } else if (at + 1 < text.size()) {
        std::swap(text[at], text[at + 1]);
      }
    }
    return text;
  }

  std::pair<std::u16string, std::u16string> Next() {
    const std::uint64_t kind = random() % 10;
    if (kind < 2) {
      const auto& lines = JapaneseLines();
      std::u16string line = lines[random() % lines.size()];
      if (random() % 3 == 0) line += lines[random() % lines.size()];
      return {line, Revise(line, random)};
    }
    const std::u16string alphabet = Alphabet(kind < 9 ? 1 + random() % 4 : 50 + random() % 200);
    std::u16string source = Text(alphabet, Length());
    std::u16string target = kind < 6 ? Mutate(source, alphabet) : Text(alphabet, Length());
    return {source, target};
  }
};

std::u16string ReportFromStarts(const std::u16string& source, const std::u16string& target,
                                const ColumnStarts& starts) {
  std::u16string report;
  const std::vector<std::u16string> pieces =
      GroupSourcePieces(std::span<const char16_t>(source), starts, target.size());
  std::vector<std::u16string> targetTexts;
  for (char16_t c : target) targetTexts.emplace_back(1, c);
  WriteDpTable(report, u"文字", pieces, targetTexts);
  return report;
}

// The table of lines that hold a surrogate pair: the characters (a pair, or any other
// code unit) are numbered here on their own and aligned by the reference.
std::u16string CharacterReport(const std::u16string& source, const std::u16string& target) {
  std::map<std::u16string, std::uint32_t> ids;
  auto characters = [&ids](const std::u16string& line, std::vector<std::uint32_t>& numbers) {
    std::vector<std::u16string> texts;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const bool pair = line[i] >= 0xD800 && line[i] <= 0xDBFF && i + 1 < line.size() &&
                        line[i + 1] >= 0xDC00 && line[i + 1] <= 0xDFFF;
      texts.push_back(line.substr(i, pair ? 2 : 1));
      if (pair) ++i;
      numbers.push_back(ids.try_emplace(texts.back(), ids.size()).first->second);
    }
    return texts;
  };
  std::vector<std::uint32_t> s;
  std::vector<std::uint32_t> t;
  const std::vector<std::u16string> sourceTexts = characters(source, s);
  const std::vector<std::u16string> targetTexts = characters(target, t);
  const ColumnStarts starts =
      DpAlignReference(std::span<const std::uint32_t>(s), std::span<const std::uint32_t>(t));
  std::u16string report;
  WriteDpTable(report, u"文字",
               GroupSourcePieces(std::span<const std::u16string>(sourceTexts), starts, t.size()),
               targetTexts);
  return report;
}

bool HoldsSurrogatePair(const std::u16string& line) {
  for (std::size_t i = 1; i < line.size(); ++i) {
    if (line[i - 1] >= 0xD800 && line[i - 1] <= 0xDBFF && line[i] >= 0xDC00 && line[i] <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

struct Variant {
  const char* name;
  ColumnStarts (*align)(std::span<const char16_t>, std::span<const char16_t>, std::size_t gap);
};

DpFastOptions Options(DpInstructionSet set, bool wide, std::size_t firstBand = 0) {
  DpFastOptions options;
  options.instructionSet = set;
  options.wideCosts = wide;
  options.firstBandWidth = firstBand;
  return options;
}

// Only checkpoints, close together and thinned early, so that the traceback recomputes many
// stretches of every length.
DpFastOptions Checkpoints(DpFastOptions options, std::size_t interval, std::size_t bytes = 0) {
  options.checkpointInterval = interval;
  options.checkpointBytes = bytes;
  return options;
}

// A narrow follower often misses the least-cost path, which leaves the bounded pass a loose
// upper bound and many cells near its edges.
DpFastOptions Follow(DpFastOptions options, std::size_t width) {
  options.followWidth = width;
  return options;
}

// Each forced path. The narrow first band (the length gap itself) makes the band widen
// several times and puts many traceback cells near its edge.
const std::vector<Variant>& Variants() {
  using enum DpInstructionSet;
  static const std::vector<Variant> variants = {
      {"DpAlign", [](auto s, auto t, std::size_t) { return DpAlign(s, t); }},
      {"simd sse2",
       [](auto s, auto t, std::size_t) { return DpAlignSimd(s, t, Options(Sse2, false)); }},
      {"simd sse2 32-bit",
       [](auto s, auto t, std::size_t) { return DpAlignSimd(s, t, Options(Sse2, true)); }},
      {"simd avx2",
       [](auto s, auto t, std::size_t) { return DpAlignSimd(s, t, Options(Avx2, false)); }},
      {"simd avx2 32-bit",
       [](auto s, auto t, std::size_t) { return DpAlignSimd(s, t, Options(Avx2, true)); }},
      {"band sse2 narrow",
       [](auto s, auto t, std::size_t gap) {
         return DpAlignBand(s, t, Options(Sse2, false, gap + 1));
       }},
      {"band avx2 narrow",
       [](auto s, auto t, std::size_t gap) {
         return DpAlignBand(s, t, Options(Avx2, false, gap + 1));
       }},
      {"band avx2 32-bit",
       [](auto s, auto t, std::size_t gap) {
         return DpAlignBand(s, t, Options(Avx2, true, gap + 3));
       }},
      {"band default", [](auto s, auto t, std::size_t) { return DpAlignBand(s, t); }},
      {"bounded", [](auto s, auto t, std::size_t) { return DpAlignBounded(s, t); }},
      {"bounded sse2 loose",
       [](auto s, auto t, std::size_t) {
         return DpAlignBounded(s, t, Follow(Options(Sse2, false), 2));
       }},
      {"bounded avx2 32-bit checkpoints",
       [](auto s, auto t, std::size_t) {
         return DpAlignBounded(s, t, Checkpoints(Follow(Options(Avx2, true), 8), 5));
       }},
      {"simd sse2 checkpoints thinned",
       [](auto s, auto t, std::size_t) {
         return DpAlignSimd(s, t, Checkpoints(Options(Sse2, false), 3, 300));
       }},
      {"band avx2 narrow checkpoints",
       [](auto s, auto t, std::size_t gap) {
         return DpAlignBand(s, t, Checkpoints(Options(Avx2, false, gap + 1), 4));
       }},
  };
  return variants;
}

// Checks DpAlign and the table writer on every pair, and the forced paths given by the
// indexes (all of them when empty), each against the reference.
void CheckPair(const std::u16string& source, const std::u16string& target,
               std::vector<std::size_t> variants = {}) {
  // The table writers handle empty lines themselves; the alignment never sees them.
  if (source.empty() || target.empty()) {
    std::u16string report = u"kept";
    WriteCharDpTable(source, target, report);
    ASSERT_EQ(report, u"kept");
    return;
  }
  const std::span<const char16_t> s(source);
  const std::span<const char16_t> t(target);
  const ColumnStarts expected = DpAlignReference(s, t);
  const std::size_t gap =
      source.size() > target.size() ? source.size() - target.size() : target.size() - source.size();
  if (variants.empty()) {
    for (std::size_t k = 0; k < Variants().size(); ++k) variants.push_back(k);
  }
  for (std::size_t index : variants) {
    const Variant& variant = Variants()[index % Variants().size()];
    const ColumnStarts got = variant.align(s, t, gap);
    ASSERT_EQ(got, expected) << variant.name << "\nsource: " << Describe(source)
                             << "\ntarget: " << Describe(target);
  }
  std::u16string report;
  WriteCharDpTable(source, target, report);
  // The table keeps a surrogate pair whole; other lines are aligned code unit by code unit,
  // as the reference has just done.
  ASSERT_EQ(report, HoldsSurrogatePair(source) || HoldsSurrogatePair(target)
                        ? CharacterReport(source, target)
                        : ReportFromStarts(source, target, expected))
      << "source: " << Describe(source) << "\ntarget: " << Describe(target);
}

TEST(DpFastTest, MatchesReferenceOnRandomPairs) {
  if (!DpHasAvx2()) GTEST_LOG_(INFO) << "no AVX2 here: its variants run the SSE2 kernels";
  const std::size_t pairs = EnvNumber("SOROWA_DP_FAST_PAIRS", kDefaultPairs);
  PairMaker maker{std::mt19937_64(EnvNumber("SOROWA_DP_FAST_SEED", 20261208))};
  for (std::size_t k = 0; k < pairs; ++k) {
    const auto [source, target] = maker.Next();
    // Both directions: the band and the kernels treat rows and columns differently. The
    // forced paths take turns, so that each sees tens of thousands of pairs in time.
    const std::size_t forced = Variants().size() - 1;
    CheckPair(source, target, {0, 1 + 2 * k % forced, 1 + (2 * k + 1) % forced});
    CheckPair(target, source, {0, 1 + (2 * k + 4) % forced, 1 + (2 * k + 5) % forced});
    if (testing::Test::HasFatalFailure()) return;
  }
}

TEST(DpFastTest, MatchesReferenceOnLongerLines) {
  // Past the reference threshold by far, and across several band doublings.
  std::mt19937_64 random(7);
  PairMaker maker{std::mt19937_64(8)};
  for (int round = 0; round < 6; ++round) {
    const std::u16string alphabet = maker.Alphabet(round < 3 ? 2 + round : 3000);
    const std::u16string source = maker.Text(alphabet, 900 + random() % 400);
    std::u16string target = source;
    for (int e = 0; e < 20 * (round + 1); ++e) target = maker.Mutate(target, alphabet);
    CheckPair(source, target);
    CheckPair(target, source);
  }
}

TEST(DpFastTest, UnitIdsAboveSixteenBitsAreRenumbered) {
  // Ids that agree in their low 16 bits must still count as different.
  std::mt19937_64 random(11);
  const std::vector<std::uint32_t> values = {0x10000, 0x20000, 0xFFFFFFFF, 0x1, 0x10001};
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint32_t> source(60 + random() % 100);
    std::vector<std::uint32_t> target(60 + random() % 100);
    for (auto& x : source) x = values[random() % values.size()];
    for (auto& x : target) x = values[random() % values.size()];
    const std::span<const std::uint32_t> s(source);
    const std::span<const std::uint32_t> t(target);
    const ColumnStarts expected = DpAlignReference(s, t);
    ASSERT_EQ(DpAlign(s, t), expected);
    ASSERT_EQ(DpAlignSimd(s, t), expected);
    ASSERT_EQ(DpAlignBand(s, t, Options(DpInstructionSet::Best, false, 1)), expected);
  }
}

TEST(DpFastTest, UnitTableMatchesReference) {
  PairMaker maker{std::mt19937_64(12)};
  const SegmentList vocabulary = {u"私", u"は", u"学生", u"です", u"大", u"学", u"生", u"だ"};
  for (int round = 0; round < 500; ++round) {
    SegmentList source(maker.random() % 90);
    SegmentList target(maker.random() % 90);
    for (auto& unit : source) unit = vocabulary[maker.random() % vocabulary.size()];
    for (auto& unit : target) unit = vocabulary[maker.random() % vocabulary.size()];
    std::u16string report = u"kept";
    WriteUnitDpTable(source, target, report, u"形態素");
    if (source.empty() || target.empty()) {
      ASSERT_EQ(report, u"kept");
      continue;
    }
    // The reference over the unit texts themselves, without the table's interning.
    std::vector<std::uint32_t> sourceIds;
    std::vector<std::uint32_t> targetIds;
    for (const auto& unit : source)
      sourceIds.push_back(static_cast<std::uint32_t>(
          std::find(vocabulary.begin(), vocabulary.end(), unit) - vocabulary.begin()));
    for (const auto& unit : target)
      targetIds.push_back(static_cast<std::uint32_t>(
          std::find(vocabulary.begin(), vocabulary.end(), unit) - vocabulary.begin()));
    const ColumnStarts starts = DpAlignReference(std::span<const std::uint32_t>(sourceIds),
                                                 std::span<const std::uint32_t>(targetIds));
    std::u16string expected = u"kept";
    WriteDpTable(expected, u"形態素",
                 GroupSourcePieces(std::span<const Segment>(source), starts, target.size()),
                 target);
    ASSERT_EQ(report, expected);
  }
}

// Distinct elements with one dropped from the Target and one changed: the only least-cost
// alignment pairs everything else straight, and the dropped element joins the next column.
struct KnownPair {
  std::u16string source;
  std::u16string target;
  ColumnStarts starts;
};

KnownPair DroppedAndChanged(std::size_t length, std::size_t dropped, std::size_t changed) {
  KnownPair pair;
  for (std::size_t k = 0; k < length; ++k) pair.source += static_cast<char16_t>(0x1000 + k);
  pair.target = pair.source;
  pair.target.erase(dropped, 1);
  pair.target[changed] = u'#';
  for (std::size_t k = 0; k <= pair.target.size(); ++k) {
    pair.starts.push_back(static_cast<std::int32_t>(k <= dropped ? k : k + 1));
  }
  return pair;
}

TEST(DpFastTest, LinesBeyondSixteenBitCostsUseWideLanes) {
  const KnownPair small = DroppedAndChanged(300, 120, 200);
  ASSERT_EQ(DpAlignReference(std::span<const char16_t>(small.source),
                             std::span<const char16_t>(small.target)),
            small.starts);
  // Over 32,000 elements the costs no longer fit 16-bit lanes, except in the bounded pass,
  // which keeps only cells below its bound; the reference would need a gigabyte here, so the
  // known alignment stands in for it.
  const KnownPair large = DroppedAndChanged(33000, 20000, 30000);
  EXPECT_EQ(
      DpAlign(std::span<const char16_t>(large.source), std::span<const char16_t>(large.target)),
      large.starts);
  EXPECT_EQ(
      DpAlignBand(std::span<const char16_t>(large.source), std::span<const char16_t>(large.target),
                  Options(DpInstructionSet::Sse2, false, 1)),
      large.starts);
  EXPECT_EQ(DpAlignBounded(std::span<const char16_t>(large.source),
                           std::span<const char16_t>(large.target)),
            large.starts);
}

TEST(DpFastTest, LongLinesAlignInLittleMemory) {
  // Two similar lines of 20,000 characters: the full table's 2-bit steps alone would take
  // 100 MB; every way keeps checkpoints instead and fits in 4 MB, though not in 1 MB.
  PairMaker maker{std::mt19937_64(13)};
  const std::u16string alphabet = maker.Alphabet(2000);
  const std::u16string source = maker.Text(alphabet, 20000);
  std::u16string target = source;
  for (std::size_t at = 100; at < target.size(); at += 997) target[at] = u'#';
  const std::span<const char16_t> s(source);
  const std::span<const char16_t> t(target);
  ColumnStarts expected;
  for (std::size_t k = 0; k <= target.size(); ++k) expected.push_back(static_cast<int>(k));
  SetDpMemoryLimit(std::size_t{4} << 20);
  EXPECT_EQ(DpAlignSimd(s, t), expected);
  EXPECT_EQ(DpAlign(s, t), expected);
  EXPECT_EQ(DpAlignBounded(s, t), expected);
  SetDpMemoryLimit(std::size_t{1} << 20);
  try {
    DpAlignSimd(s, t);
    ADD_FAILURE() << "expected TableTooLargeError";
  } catch (const TableTooLargeError& error) {
    // The refusal gives the estimate: memory, and time for the 400 million cells.
    EXPECT_NE(std::string(error.what()).find(" MiB and well under a second, over the memory"),
              std::string::npos)
        << error.what();
  }
  SetDpMemoryLimit(0);
}

}  // namespace
}  // namespace sorowa
