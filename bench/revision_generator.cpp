#include "revision_generator.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <unordered_set>

#include "bench_text.h"
#include "distance/levenshtein.h"
#include "score/code_points.h"
#include "segment/char_class.h"

namespace sorowa::bench {
namespace {

// The sentences of the Debian Reference and, where installed, of three more Debian manuals in
// Japanese, each once: about 4,000 sentences, 210,000 code units. A document of 5,000 lines
// uses most of them; beyond that the text starts over.
const std::vector<std::u16string>& Sentences() {
  static const std::vector<std::u16string> sentences = [] {
    std::vector<std::u16string> all = ProseSentences();
    const std::pair<const char*, const char*> more[] = {
        {"/usr/share/developers-reference/ja", ".html"},
        {"/usr/share/doc/maint-guide-ja/html", ".ja.html"},
        {"/usr/share/doc/debian-policy/ja/policy.html", ".html"}};
    for (const auto& [dir, suffix] : more) {
      const auto found = ReadProseSentences(dir, suffix);
      all.insert(all.end(), found.begin(), found.end());
    }
    std::unordered_set<std::u16string> seen;
    std::vector<std::u16string> distinct;
    for (auto& sentence : all) {
      if (seen.insert(sentence).second) distinct.push_back(std::move(sentence));
    }
    return distinct;
  }();
  return sentences;
}

// A line cut into pseudo-bunsetsu, the program's phrase-like units ("設定ファイル", "を",
// "使います"): the words that a reviser replaces, drops or adds.
std::vector<std::u16string> Words(const std::u16string& line) {
  std::vector<std::u16string> words;
  std::size_t start = 0;
  for (std::size_t k = 1; k <= line.size(); ++k) {
    if (k == line.size() || IsUnitBoundary(ClassifyChar(line[k - 1]), ClassifyChar(line[k]))) {
      words.push_back(line.substr(start, k - start));
      start = k;
    }
  }
  return words;
}

// Every word of the corpus, as often as it occurs: replacements and additions drawn from it
// are as common or rare as words are.
const std::vector<std::u16string>& WordPool() {
  static const std::vector<std::u16string> pool = [] {
    std::vector<std::u16string> all;
    for (const auto& sentence : Sentences()) {
      for (auto& word : Words(sentence)) all.push_back(std::move(word));
    }
    return all;
  }();
  return pool;
}

// The line with about `rate` of its words edited: replaced by another word, dropped, followed
// by an added word, or respelt (kanji read in katakana, kana changed: ReviseProse at a high
// rate within the word).
std::u16string ReviseWords(const std::u16string& line, double rate, std::mt19937_64& random) {
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  const auto& pool = WordPool();
  std::u16string out;
  for (const std::u16string& word : Words(line)) {
    if (chance(random) >= rate) {
      out += word;
      continue;
    }
    switch (random() % 4) {
      case 0:
        out += pool[random() % pool.size()];
        break;
      case 1:
        break;
      case 2:
        out += word;
        out += pool[random() % pool.size()];
        break;
      default:
        out += ReviseProse(word, 0.5, random());
        break;
    }
  }
  return out.empty() ? line : out;
}

// Whole sentences of about `length` code units from sentence `next` on (cut to `length` when
// one sentence is much longer); `next` moves past them.
std::u16string NextProseLine(std::size_t& next, std::size_t length) {
  const auto& sentences = Sentences();
  std::u16string line;
  while (line.size() < length) {
    const std::u16string& sentence = sentences[next];
    if (!line.empty() && line.size() + sentence.size() / 2 > length) break;
    line += sentence;
    next = (next + 1) % sentences.size();
  }
  if (line.size() > length + length / 2) line.resize(length);
  return line;
}

std::u16string SaladLine(std::size_t length, std::mt19937_64& random) {
  const auto& pool = WordPool();
  std::u16string line;
  while (line.size() < length) line += pool[random() % pool.size()];
  return line;
}

// Paragraphs of 1 to 7 lines whose lengths spread evenly on a log scale from 8 to 120 code
// units: from headings and one-sentence lines to short paragraphs on a line.
std::vector<std::u16string> NewParagraph(std::size_t& next, bool salad, std::mt19937_64& random) {
  std::uniform_real_distribution<double> logLength(std::log(8.0), std::log(120.0));
  const std::size_t lines = 1 + random() % 7;
  std::vector<std::u16string> paragraph;
  for (std::size_t k = 0; k < lines; ++k) {
    const auto length = static_cast<std::size_t>(std::lround(std::exp(logLength(random))));
    paragraph.push_back(salad ? SaladLine(length, random) : NextProseLine(next, length));
  }
  return paragraph;
}

// Where a line is cut in two: after a full stop or comma well inside it if there is one, else
// somewhere in its middle half.
std::size_t SplitPoint(const std::u16string& line, std::mt19937_64& random) {
  std::vector<std::size_t> stops;
  for (std::size_t k = line.size() / 5; k + 1 < line.size() - line.size() / 5; ++k) {
    if (line[k] == u'。' || line[k] == u'、') stops.push_back(k + 1);
  }
  if (!stops.empty()) return stops[random() % stops.size()];
  const std::size_t quarter = line.size() / 4;
  return quarter + random() % std::max<std::size_t>(1, line.size() - 2 * quarter);
}

struct TargetLine {
  std::u16string text;
  std::vector<std::size_t> from;
  bool moved = false;
};

// A character of the corpus, as often as it occurs there.
char16_t CorpusChar(std::mt19937_64& random) {
  const auto& sentences = Sentences();
  for (;;) {
    const std::u16string& sentence = sentences[random() % sentences.size()];
    if (!sentence.empty()) return sentence[random() % sentence.size()];
  }
}

// The line as OCR might read it at about `rate` character errors: three in four a character
// read as another (drawn from the corpus, so as common as characters are), else one dropped
// or one added.
std::u16string Garble(const std::u16string& line, double rate, std::mt19937_64& random) {
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  std::u16string out;
  for (char16_t c : line) {
    if (chance(random) >= rate) {
      out += c;
      continue;
    }
    const auto kind = random() % 8;
    if (kind < 6) {
      char16_t other = CorpusChar(random);
      while (other == c) other = CorpusChar(random);
      out += other;
    } else if (kind == 7) {
      out += c;
      out += CorpusChar(random);
    }
  }
  return out.empty() ? line.substr(0, 1) : out;
}

}  // namespace

RevisedDocument MakeRevision(const RevisionOptions& options) {
  std::mt19937_64 random(options.seed * 0x9E3779B97F4A7C15ULL + 12345);
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  const std::size_t corpus = Sentences().size();
  std::size_t next = random() % corpus;
  std::vector<std::vector<std::u16string>> paragraphs;
  std::size_t total = 0;
  while (total < options.sourceLines) {
    paragraphs.push_back(NewParagraph(next, options.wordSalad, random));
    if (total + paragraphs.back().size() > options.sourceLines) {
      paragraphs.back().resize(options.sourceLines - total);
    }
    total += paragraphs.back().size();
  }
  if (options.paragraphPerLine) {
    for (auto& paragraph : paragraphs) {
      std::u16string joined;
      for (const auto& line : paragraph) joined += line;
      paragraph = {joined};
    }
  }
  // Inserted paragraphs are text that follows the document's in the corpus.
  std::size_t elsewhere = next;

  const auto revise = [&](const std::u16string& line) {
    return chance(random) < options.editedLineShare
               ? ReviseWords(line, options.wordEditRate, random)
               : line;
  };

  RevisedDocument document;
  std::vector<std::vector<TargetLine>> targetParagraphs;
  std::size_t s = 0;
  for (const auto& paragraph : paragraphs) {
    if (chance(random) < options.paragraphInsertRate) {
      targetParagraphs.emplace_back();
      auto inserted = NewParagraph(elsewhere, options.wordSalad, random);
      if (options.paragraphPerLine) {
        std::u16string joined;
        for (const auto& line : inserted) joined += line;
        inserted = {joined};
      }
      for (auto& line : inserted) targetParagraphs.back().push_back({std::move(line), {}});
    }
    targetParagraphs.emplace_back();
    auto& target = targetParagraphs.back();
    const bool deleted = chance(random) < options.paragraphDeleteRate;
    for (std::size_t k = 0; k < paragraph.size(); ++k, ++s) {
      document.source.push_back(paragraph[k]);
      if (deleted) continue;
      const double roll = chance(random);
      if (roll < options.mergeRate && k + 1 < paragraph.size()) {
        document.source.push_back(paragraph[k + 1]);
        target.push_back({revise(paragraph[k]) + revise(paragraph[k + 1]), {s, s + 1}});
        ++k;
        ++s;
      } else if (roll < options.mergeRate + options.splitRate && paragraph[k].size() >= 4) {
        const std::u16string revised = revise(paragraph[k]);
        const std::size_t cut = SplitPoint(revised, random);
        target.push_back({revised.substr(0, cut), {s}});
        target.push_back({revised.substr(cut), {s}});
      } else {
        target.push_back({revise(paragraph[k]), {s}});
      }
    }
  }
  if (options.moveRate > 0) {
    // Each chosen paragraph goes at least three paragraphs away, either way.
    const std::size_t count = targetParagraphs.size();
    for (std::size_t p = 0; p < count && count > 7; ++p) {
      if (chance(random) >= options.moveRate || targetParagraphs[p].empty()) continue;
      std::size_t to = p;
      while (to + 3 > p && to < p + 3) to = random() % count;
      auto paragraph = std::move(targetParagraphs[p]);
      for (auto& line : paragraph) line.moved = true;
      targetParagraphs.erase(targetParagraphs.begin() + static_cast<std::ptrdiff_t>(p));
      targetParagraphs.insert(targetParagraphs.begin() + static_cast<std::ptrdiff_t>(to),
                              std::move(paragraph));
    }
  }
  std::vector<TargetLine> target;
  for (auto& paragraph : targetParagraphs) {
    for (auto& line : paragraph) target.push_back(std::move(line));
  }
  for (std::size_t k = 0; k + 1 < target.size(); ++k) {
    if (chance(random) < options.swapRate) {
      std::swap(target[k], target[k + 1]);
      // The two parts of one split line trade places within their pair: no line moved.
      if (target[k].from != target[k + 1].from) target[k].moved = target[k + 1].moved = true;
      ++k;
    }
  }
  if (options.wrapWidth > 0) {
    std::vector<TargetLine> wrapped;
    for (auto& line : target) {
      for (std::size_t at = 0; at < line.text.size(); at += options.wrapWidth) {
        wrapped.push_back({line.text.substr(at, options.wrapWidth), line.from, line.moved});
      }
    }
    target = std::move(wrapped);
  }
  if (options.garbleRate > 0) {
    std::uniform_real_distribution<double> rate(0.0, options.garbleRate);
    for (auto& line : target) line.text = Garble(line.text, rate(random), random);
  }
  if (options.pageLines > 0) {
    // The running head repeats the document's first line, as a chapter title would be.
    const std::u16string head = u"第一章　" + document.source.front().substr(0, 12);
    std::vector<TargetLine> pages;
    std::size_t page = 1;
    for (std::size_t k = 0; k < target.size(); ++k) {
      if (k > 0 && k % options.pageLines == 0) {
        const std::string number = std::to_string(page++);
        pages.push_back({std::u16string(number.begin(), number.end()), {}});
        pages.push_back({head, {}});
      }
      pages.push_back(std::move(target[k]));
    }
    target = std::move(pages);
  }

  for (std::size_t t = 0; t < target.size(); ++t) {
    for (std::size_t from : target[t].from) {
      document.links.emplace_back(from, t);
      if (target[t].moved) document.movedLinks.emplace_back(from, t);
    }
    document.target.push_back(std::move(target[t].text));
  }
  std::sort(document.links.begin(), document.links.end());
  std::sort(document.movedLinks.begin(), document.movedLinks.end());
  for (const auto* side : {&document.source, &document.target}) {
    auto& text = side == &document.source ? document.sourceText : document.targetText;
    for (const auto& line : *side) {
      while (chance(random) < options.blankLineRate) text.emplace_back();
      text.push_back(line);
    }
  }
  return document;
}

std::u16string WordSaladLine(std::size_t length, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  return SaladLine(length, random);
}

std::vector<Link> PairingLinks(const LinePairing& pairing) {
  std::vector<Link> links;
  for (const LinePair& pair : pairing) {
    for (std::size_t s = 0; s < pair.sourceCount; ++s) {
      for (std::size_t t = 0; t < pair.targetCount; ++t) {
        links.emplace_back(pair.sourceFirst + s, pair.targetFirst + t);
      }
    }
  }
  return links;
}

LinkScore ScoreLinks(const std::vector<Link>& truth, std::vector<Link> found) {
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  std::vector<Link> right;
  std::set_intersection(truth.begin(), truth.end(), found.begin(), found.end(),
                        std::back_inserter(right));
  LinkScore score;
  score.precision = found.empty() ? 1.0 : static_cast<double>(right.size()) / found.size();
  score.recall = truth.empty() ? 1.0 : static_cast<double>(right.size()) / truth.size();
  score.f1 = score.precision + score.recall == 0
                 ? 0
                 : 2 * score.precision * score.recall / (score.precision + score.recall);
  return score;
}

namespace {

std::vector<std::uint32_t> JoinedCodePoints(const std::vector<std::u16string>& lines,
                                            std::size_t first, std::size_t count) {
  std::vector<std::uint32_t> all;
  std::vector<std::uint32_t> one;
  for (std::size_t k = first; k < first + count; ++k) {
    ToCodePoints(lines[k], one);
    all.insert(all.end(), one.begin(), one.end());
  }
  return all;
}

}  // namespace

PairingCost MeasureCost(const std::vector<std::u16string>& source,
                        const std::vector<std::u16string>& target, const LinePairing& pairing) {
  PairingCost cost;
  LevenshteinAligner aligner;
  std::vector<bool> sourceSeen(source.size(), false);
  std::vector<bool> targetSeen(target.size(), false);
  for (const LinePair& pair : pairing) {
    const auto a = JoinedCodePoints(source, pair.sourceFirst, pair.sourceCount);
    const auto b = JoinedCodePoints(target, pair.targetFirst, pair.targetCount);
    cost.summed += aligner.Distance(a, b);
    if (pair.sourceCount > 0 && pair.targetCount > 0) ++cost.twoSided;
    for (std::size_t k = 0; k < pair.sourceCount; ++k) sourceSeen[pair.sourceFirst + k] = true;
    for (std::size_t k = 0; k < pair.targetCount; ++k) targetSeen[pair.targetFirst + k] = true;
  }
  // Lines in no entry count as alone.
  std::vector<std::uint32_t> one;
  for (std::size_t k = 0; k < source.size(); ++k) {
    if (!sourceSeen[k]) ToCodePoints(source[k], one), cost.summed += one.size();
  }
  for (std::size_t k = 0; k < target.size(); ++k) {
    if (!targetSeen[k]) ToCodePoints(target[k], one), cost.summed += one.size();
  }
  cost.flattened = aligner.Distance(JoinedCodePoints(source, 0, source.size()),
                                    JoinedCodePoints(target, 0, target.size()));
  return cost;
}

std::vector<Link> PossibleMovedLinks(const RevisedDocument& document) {
  // A pair joins consecutive lines, so a link can be had only when each of its lines is
  // linked to consecutive lines of the other side: not a split line whose parts a swap took
  // apart.
  std::vector<std::vector<std::size_t>> targetsOf(document.source.size());
  std::vector<std::vector<std::size_t>> sourcesOf(document.target.size());
  for (const auto& [s, t] : document.links) {
    targetsOf[s].push_back(t);
    sourcesOf[t].push_back(s);
  }
  const auto consecutive = [](std::vector<std::size_t> lines) {
    std::sort(lines.begin(), lines.end());
    return lines.empty() || lines.back() - lines.front() + 1 == lines.size();
  };
  std::vector<Link> possible;
  for (const Link& link : document.movedLinks) {
    if (consecutive(targetsOf[link.first]) && consecutive(sourcesOf[link.second])) {
      possible.push_back(link);
    }
  }
  return possible;
}

LinePairing TruthPairing(const RevisedDocument& document) {
  std::vector<std::size_t> first(document.source.size(), SIZE_MAX);
  std::vector<std::size_t> last(document.source.size(), 0);
  for (const auto& [s, t] : document.links) {
    first[s] = std::min(first[s], t);
    last[s] = std::max(last[s], t);
  }
  LinePairing pairing;
  std::vector<bool> covered(document.target.size(), false);
  for (std::size_t s = 0; s < document.source.size();) {
    if (first[s] == SIZE_MAX) {
      pairing.push_back({s, 1, 0, 0});
      ++s;
      continue;
    }
    std::size_t end = s + 1;
    std::size_t from = first[s];
    std::size_t to = last[s];
    while (end < document.source.size() && first[end] != SIZE_MAX && first[end] <= to) {
      to = std::max(to, last[end]);
      ++end;
    }
    pairing.push_back({s, end - s, from, to - from + 1});
    for (std::size_t t = from; t <= to; ++t) covered[t] = true;
    s = end;
  }
  for (std::size_t t = 0; t < document.target.size(); ++t) {
    if (!covered[t]) pairing.push_back({0, 0, t, 1});
  }
  return pairing;
}

LinkScore ScoreMoves(const RevisedDocument& document, const LinePairing& pairing) {
  std::vector<Link> found = PairingLinks(pairing);
  std::sort(found.begin(), found.end());
  const std::vector<Link> possible = PossibleMovedLinks(document);
  std::vector<Link> recalled;
  std::set_intersection(possible.begin(), possible.end(), found.begin(), found.end(),
                        std::back_inserter(recalled));
  LinePairing movedPairs;
  for (const LinePair& pair : pairing) {
    if (pair.moved) movedPairs.push_back(pair);
  }
  std::vector<Link> marked = PairingLinks(movedPairs);
  std::sort(marked.begin(), marked.end());
  std::vector<Link> right;
  std::set_intersection(marked.begin(), marked.end(), document.links.begin(), document.links.end(),
                        std::back_inserter(right));
  LinkScore score;
  score.recall = possible.empty() ? 1.0 : static_cast<double>(recalled.size()) / possible.size();
  score.precision = marked.empty() ? 1.0 : static_cast<double>(right.size()) / marked.size();
  score.f1 = score.precision + score.recall == 0
                 ? 0
                 : 2 * score.precision * score.recall / (score.precision + score.recall);
  return score;
}

LinePairing OraclePairing(const RevisedDocument& document) {
  // The truth as entries: a Target line from two Source lines is a merge, a Source line with
  // two Target lines a split, the rest one to one.
  std::vector<std::vector<std::size_t>> targetsOf(document.source.size());
  std::vector<std::vector<std::size_t>> sourcesOf(document.target.size());
  for (const auto& [s, t] : document.links) {
    targetsOf[s].push_back(t);
    sourcesOf[t].push_back(s);
  }
  LinePairing entries;
  // Parts that a swap moved apart can only be kept one at a time.
  for (std::size_t s = 0; s < targetsOf.size(); ++s) {
    if (targetsOf[s].size() == 2 && targetsOf[s][1] == targetsOf[s][0] + 1) {
      entries.push_back({s, 1, targetsOf[s][0], 2});
    } else {
      for (std::size_t t : targetsOf[s]) {
        if (sourcesOf[t].size() == 1) entries.push_back({s, 1, t, 1});
      }
    }
  }
  for (std::size_t t = 0; t < sourcesOf.size(); ++t) {
    if (sourcesOf[t].size() == 2) entries.push_back({sourcesOf[t][0], 2, t, 1});
  }
  std::sort(entries.begin(), entries.end(), [](const LinePair& a, const LinePair& b) {
    return a.sourceFirst != b.sourceFirst ? a.sourceFirst < b.sourceFirst
                                          : a.targetFirst < b.targetFirst;
  });
  // Heaviest chain by links, quadratic: documents are small.
  std::vector<std::size_t> best(entries.size()), previous(entries.size(), entries.size());
  std::size_t last = entries.size();
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const std::size_t links = entries[k].sourceCount * entries[k].targetCount;
    best[k] = links;
    for (std::size_t p = 0; p < k; ++p) {
      if (entries[p].sourceFirst + entries[p].sourceCount <= entries[k].sourceFirst &&
          entries[p].targetFirst + entries[p].targetCount <= entries[k].targetFirst &&
          best[p] + links > best[k]) {
        best[k] = best[p] + links;
        previous[k] = p;
      }
    }
    if (last == entries.size() || best[k] > best[last]) last = k;
  }
  LinePairing chain;
  for (std::size_t k = last; k < entries.size(); k = previous[k]) chain.push_back(entries[k]);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

LinePairing PositionPairing(std::size_t sourceLines, std::size_t targetLines) {
  return PairLinesByPosition(sourceLines, targetLines);
}

namespace {

std::vector<std::uint32_t> Bigrams(const std::u16string& line) {
  std::vector<std::uint32_t> grams;
  if (line.size() == 1) grams.push_back(line[0]);
  for (std::size_t k = 0; k + 1 < line.size(); ++k) {
    grams.push_back((std::uint32_t{line[k]} << 16) | line[k + 1]);
  }
  std::sort(grams.begin(), grams.end());
  return grams;
}

double Dice(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  if (a.empty() && b.empty()) return 0;
  std::size_t common = 0;
  for (std::size_t x = 0, y = 0; x < a.size() && y < b.size();) {
    if (a[x] < b[y]) {
      ++x;
    } else if (b[y] < a[x]) {
      ++y;
    } else {
      ++common;
      ++x;
      ++y;
    }
  }
  return 2.0 * static_cast<double>(common) / static_cast<double>(a.size() + b.size());
}

}  // namespace

LinePairing BigramBandPairing(const std::vector<std::u16string>& source,
                              const std::vector<std::u16string>& target, double threshold) {
  const std::size_t n = source.size();
  const std::size_t m = target.size();
  std::vector<std::vector<std::uint32_t>> s(n), t(m), s2(n), t2(m);
  for (std::size_t i = 0; i < n; ++i) {
    s[i] = Bigrams(source[i]);
    if (i + 1 < n) s2[i] = Bigrams(source[i] + source[i + 1]);
  }
  for (std::size_t j = 0; j < m; ++j) {
    t[j] = Bigrams(target[j]);
    if (j + 1 < m) t2[j] = Bigrams(target[j] + target[j + 1]);
  }
  const auto width = static_cast<std::int64_t>((n > m ? n - m : m - n) + 100);
  const auto centre = [&](std::size_t i) {
    return n == 0 ? std::int64_t{0} : static_cast<std::int64_t>(i * m / n);
  };
  const auto inBand = [&](std::size_t i, std::size_t j) {
    return std::llabs(static_cast<std::int64_t>(j) - centre(i)) <= width;
  };
  // score and step per cell of the band, stored row by row from column centre(i) - width.
  const auto columns = static_cast<std::size_t>(2 * width + 1);
  std::vector<double> score((n + 1) * columns, -1e300);
  std::vector<std::uint8_t> step((n + 1) * columns, 0);
  const auto cell = [&](std::size_t i, std::size_t j) {
    return i * columns + static_cast<std::size_t>(static_cast<std::int64_t>(j) - centre(i) + width);
  };
  const auto get = [&](std::size_t i, std::size_t j) {
    return inBand(i, j) ? score[cell(i, j)] : -1e300;
  };
  for (std::size_t i = 0; i <= n; ++i) {
    const std::int64_t from = std::max<std::int64_t>(0, centre(i) - width);
    const std::int64_t to = std::min<std::int64_t>(static_cast<std::int64_t>(m), centre(i) + width);
    for (std::int64_t jj = from; jj <= to; ++jj) {
      const auto j = static_cast<std::size_t>(jj);
      double best = i == 0 && j == 0 ? 0 : -1e300;
      std::uint8_t how = 0;
      const auto consider = [&](double value, std::uint8_t kind) {
        if (value > best) {
          best = value;
          how = kind;
        }
      };
      if (i > 0) consider(get(i - 1, j), 1);
      if (j > 0) consider(get(i, j - 1), 2);
      if (i > 0 && j > 0) consider(get(i - 1, j - 1) + Dice(s[i - 1], t[j - 1]) - threshold, 3);
      if (i > 0 && j > 1) consider(get(i - 1, j - 2) + Dice(s[i - 1], t2[j - 2]) - threshold, 4);
      if (i > 1 && j > 0) consider(get(i - 2, j - 1) + Dice(s2[i - 2], t[j - 1]) - threshold, 5);
      score[cell(i, j)] = best;
      step[cell(i, j)] = how;
    }
  }
  LinePairing pairs;
  for (std::size_t i = n, j = m; i > 0 || j > 0;) {
    switch (step[cell(i, j)]) {
      case 1:
        pairs.push_back({--i, 1, j, 0});
        break;
      case 2:
        pairs.push_back({i, 0, --j, 1});
        break;
      case 3:
        pairs.push_back({--i, 1, --j, 1});
        break;
      case 4:
        j -= 2;
        pairs.push_back({--i, 1, j, 2});
        break;
      case 5:
        i -= 2;
        pairs.push_back({i, 2, --j, 1});
        break;
      default:
        return pairs;  // outside the band: cannot happen with |n - m| in the width
    }
  }
  std::reverse(pairs.begin(), pairs.end());
  return pairs;
}

}  // namespace sorowa::bench
