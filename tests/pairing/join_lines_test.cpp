#include "pairing/join_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "distance/levenshtein.h"
#include "pairing/align_lines.h"

namespace sorowa {
namespace {

using Lines = std::vector<std::u16string>;

std::vector<std::uint32_t> Joined(const Lines& lines, std::size_t first, std::size_t count) {
  pairing::JoinedText joined;
  pairing::JoinLines(lines, first, count, joined);
  return joined.text;
}

// How a document is revised: characters added and dropped, the text garbled as OCR output is,
// every paragraph wrapped, a paragraph moved far and two neighbours swapped.
struct Shape {
  const char* name;
  double edits;      // characters dropped or added
  double garbling;   // most characters garbled per line, evenly 0 to this
  std::size_t wrap;  // 0: the Target keeps the Source's lines
  bool moves;
};
void PrintTo(const Shape& shape, std::ostream* out) { *out << shape.name; }

struct Document {
  Lines source;
  Lines target;
  // (Source line, Target line) of the moved lines.
  std::vector<std::pair<std::size_t, std::size_t>> movedLinks;
};

// Paragraphs of words drawn from a vocabulary of kana and kanji, one a Source line; no text is
// deleted or inserted, so the pairing should lose nothing against the texts with their breaks
// removed.
Document Generate(const Shape& shape, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  const std::u16string letters =
      u"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりる"
      u"れろわをんアイウエオカキクケコサシスセソ日本語文書行対応比較原稿校正印刷版面";
  std::vector<std::u16string> words(600);
  for (auto& word : words) {
    for (std::size_t k = 0, length = 2 + random() % 4; k < length; ++k) {
      word += letters[random() % letters.size()];
    }
  }
  const auto paragraph = [&] {
    std::u16string text;
    for (std::size_t k = 0, length = 4 + random() % 30; k < length; ++k) {
      text += words[random() % words.size()];
    }
    return text + u"。";
  };
  Document document;
  for (int k = 0; k < 60; ++k) document.source.push_back(paragraph());

  // Each Target paragraph remembers its Source line.
  std::vector<std::pair<std::size_t, std::u16string>> revised;
  for (std::size_t s = 0; s < document.source.size(); ++s) {
    std::u16string text;
    for (char16_t c : document.source[s]) {
      if (chance(random) < shape.edits / 3) text += letters[random() % letters.size()];
      if (chance(random) >= shape.edits / 3) text += c;
    }
    revised.emplace_back(s, text);
  }
  std::vector<bool> moved(revised.size(), false);
  if (shape.moves) {
    std::rotate(revised.begin() + 10, revised.begin() + 11, revised.begin() + 40);  // 10 to 39
    std::swap(revised[45], revised[46]);
    moved[39] = moved[45] = moved[46] = true;
  }
  for (std::size_t p = 0; p < revised.size(); ++p) {
    const auto& [s, text] = revised[p];
    const std::size_t width = shape.wrap > 0 ? shape.wrap : text.size();
    for (std::size_t at = 0; at < text.size(); at += width) {
      std::u16string line = text.substr(at, width);
      if (shape.garbling > 0) {
        const double rate = chance(random) * shape.garbling;
        for (char16_t& c : line) {
          if (chance(random) < rate) c = letters[random() % letters.size()];
        }
      }
      if (moved[p]) document.movedLinks.emplace_back(s, document.target.size());
      document.target.push_back(line);
    }
  }
  return document;
}

class JoinLinesPropertyTest : public testing::TestWithParam<Shape> {};

// The pairing holds every line once, lists the Target lines in order and keeps the pairs not
// marked moved in order on both sides; its pairs' summed distance, lines alone counting their
// length, stays within 1 % of the distance of the texts with their line breaks removed, with
// at least 0.9 pairs of both sides per line of the side with fewer lines; and moved lines are
// paired with their counterparts.
TEST_P(JoinLinesPropertyTest, PairsGeneratedRevisionsWithinTheBound) {
  LevenshteinAligner aligner;
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    const Document document = Generate(GetParam(), seed);
    const LinePairing pairing = AlignLines(document.source, document.target);
    std::vector<int> sourceSeen(document.source.size(), 0);
    std::size_t nextTarget = 0;
    std::size_t nextSource = 0;
    std::size_t twoSided = 0;
    std::uint64_t summed = 0;
    std::vector<std::pair<std::size_t, std::size_t>> links;
    for (const LinePair& pair : pairing) {
      for (std::size_t k = 0; k < pair.sourceCount; ++k) ++sourceSeen[pair.sourceFirst + k];
      if (pair.targetCount > 0) {
        ASSERT_EQ(pair.targetFirst, nextTarget) << "seed " << seed;
        nextTarget += pair.targetCount;
      }
      if (!pair.moved && pair.sourceCount > 0) {
        ASSERT_GE(pair.sourceFirst, nextSource) << "seed " << seed;
        nextSource = pair.sourceFirst + pair.sourceCount;
      }
      twoSided += pair.sourceCount > 0 && pair.targetCount > 0;
      summed += aligner.Distance(Joined(document.source, pair.sourceFirst, pair.sourceCount),
                                 Joined(document.target, pair.targetFirst, pair.targetCount));
      for (std::size_t s = 0; s < pair.sourceCount; ++s) {
        for (std::size_t t = 0; t < pair.targetCount; ++t) {
          links.emplace_back(pair.sourceFirst + s, pair.targetFirst + t);
        }
      }
    }
    EXPECT_EQ(nextTarget, document.target.size()) << "seed " << seed;
    EXPECT_EQ(std::count(sourceSeen.begin(), sourceSeen.end(), 1),
              static_cast<std::ptrdiff_t>(document.source.size()))
        << "seed " << seed;
    const std::uint64_t flattened =
        aligner.Distance(Joined(document.source, 0, document.source.size()),
                         Joined(document.target, 0, document.target.size()));
    if (!GetParam().moves) {
      EXPECT_LE(summed, flattened + flattened / 100) << "seed " << seed;
    } else {
      EXPECT_LE(summed, flattened) << "moved pairs cost their own edits only; seed " << seed;
    }
    EXPECT_GE(10 * twoSided, 9 * std::min(document.source.size(), document.target.size()))
        << "seed " << seed;
    std::sort(links.begin(), links.end());
    for (const auto& link : document.movedLinks) {
      EXPECT_TRUE(std::binary_search(links.begin(), links.end(), link))
          << "moved Source line " << link.first << " not paired with Target line " << link.second
          << "; seed " << seed;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, JoinLinesPropertyTest,
                         testing::Values(Shape{"Wrapped", 0.05, 0, 33, false},
                                         Shape{"Garbled", 0, 0.6, 0, false},
                                         Shape{"WrappedAndGarbled", 0, 0.4, 25, false},
                                         Shape{"Moved", 0.05, 0, 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorowa
