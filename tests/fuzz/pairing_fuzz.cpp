// The line aligner on any pair of line lists. Whatever the lines, the pairing must
//  - hold every line of both sides exactly once, and list the Target lines in order;
//  - keep the pairs that are not marked moved in order on both sides, with the Source lines
//    alone where they stand between them, and make every moved pair of lines of both sides
//    that match as much as a moved pair must;
//  - with the box aligner alone (joinLines off): use the shapes 1:1, 1:2, 2:1, 1:0 and 0:1 in
//    order on both sides, pair every line that occurs once on each side with its twin unless
//    a pair already in the pairing crosses them or holds one of them, and, where every pair
//    of lines is compared (small inputs), never leave a line and its twin both alone between
//    the same two pairs: pairing them would only gain;
//  - end only by returning, or by the exception thrown from the checkpoint.
// The line joiner itself, on all lines as one block: its band's distances are never below the
// exact ones, and its chains run in order from corner to corner.
//
// Input: a header byte (bits 0-1: the box aligner's tuning: default, a tiny filter that
// compares only a few candidate pairs, LCS always estimated, no context bonus; bit 2: the
// Target is made from the Source by edit bytes rather than read as text; bit 3: the
// checkpoint throws at the call counted by the next byte; bit 4: the box aligner alone; bits
// 5-6: the joiner's tuning: default, k-gram runs and straight lines even on small texts, a
// band without width or reach, unrelated texts from 64 code points on), the Source text
// (fuzz_support's ReadText, up to byte 0xFE), then the Target text or one edit byte per
// Source line.

#include <algorithm>
#include <functional>
#include <map>
#include <span>
#include <stdexcept>

#include "distance/levenshtein.h"
#include "fuzz_support.h"
#include "pairing/align_lines.h"
#include "pairing/join_lines.h"

namespace sorowa::fuzz {
namespace {

using Lines = std::vector<std::u16string>;

struct Cancelled : std::runtime_error {
  Cancelled() : std::runtime_error("cancelled") {}
};

Lines SplitAtBreaks(const std::u16string& text) {
  Lines lines;
  std::u16string line;
  for (char16_t c : text) {
    if (c == u'\r' || c == u'\n') {
      if (!line.empty()) lines.push_back(std::move(line));
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

// The Target as a revision of the Source, one edit byte per Source line.
Lines Revise(const Lines& source, ByteReader& in) {
  Lines target;
  for (std::size_t i = 0; i < source.size(); ++i) {
    std::u16string line = source[i];
    const std::uint8_t edit = in.Byte();
    switch (edit % 8) {
      case 0:
        continue;  // deleted
      case 1:
        target.push_back(source[edit / 8 % source.size()]);  // some line again
        break;
      case 2:
        if (line.size() > 1) {  // split
          const std::size_t cut = 1 + edit / 8 % (line.size() - 1);
          target.push_back(line.substr(0, cut));
          line.erase(0, cut);
        }
        break;
      case 3:
        if (i + 1 < source.size()) line += source[++i];  // merged
        break;
      case 4: {
        const char16_t c = AlphabetChar(in);  // edited
        if (c != u'\r' && c != u'\n') line[edit / 8 % line.size()] = c;
        break;
      }
      case 5:
        if (i + 1 < source.size()) {  // swapped
          target.push_back(source[++i]);
        }
        break;
      default:
        break;
    }
    target.push_back(std::move(line));
  }
  return target;
}

AlignLinesTuning Tuning(int variant, bool boxes, int joinVariant) {
  AlignLinesTuning tuning;
  tuning.joinLines = !boxes;
  switch (joinVariant) {
    case 1:
      tuning.pathDirectCells = 16;
      tuning.pathExactCells = 64;
      break;
    case 2:
      tuning.cutBandHalfWidth = 0;
      tuning.cutReachCells = 0;
      break;
    case 3:
      tuning.joinUnrelatedLength = 64;
      break;
    default:
      break;
  }
  switch (variant) {
    case 1:
      tuning.exhaustivePairs = 0;
      tuning.bandHalfWidth = 1;
      tuning.gramCandidates = 2;
      tuning.gramsPerLine = 2;
      tuning.gramLineLimit = 2;
      break;
    case 2:
      tuning.lcsWorkLimit = 1;
      break;
    case 3:
      tuning.contextBonus = 0;
      break;
    default:
      break;
  }
  return tuning;
}

std::vector<std::uint32_t> CodePoints(const Lines& lines, std::size_t first, std::size_t count) {
  pairing::JoinedText joined;
  pairing::JoinLines(lines, first, count, joined);
  return joined.text;
}

// Every line once; the Target lines in order; the Source lines in order outside moved pairs;
// moved pairs with lines of both sides that match enough.
void CheckListing(const LinePairing& pairing, const Lines& source, const Lines& target,
                  const AlignLinesTuning& tuning) {
  std::vector<int> seen(source.size(), 0);
  std::size_t nextSource = 0;
  std::size_t nextTarget = 0;
  LevenshteinAligner aligner;
  for (const LinePair& pair : pairing) {
    FUZZ_CHECK(pair.sourceCount + pair.targetCount > 0, "an empty entry");
    FUZZ_CHECK(pair.sourceFirst + pair.sourceCount <= source.size() &&
                   pair.targetFirst + pair.targetCount <= target.size(),
               "an entry beyond the lines");
    for (std::size_t k = 0; k < pair.sourceCount; ++k) ++seen[pair.sourceFirst + k];
    if (pair.targetCount > 0) {
      FUZZ_CHECK(pair.targetFirst == nextTarget,
                 "Target line " + std::to_string(nextTarget) + " skipped or repeated");
      nextTarget += pair.targetCount;
    }
    if (pair.moved) {
      FUZZ_CHECK(pair.sourceCount > 0 && pair.targetCount > 0, "a moved entry of one side");
      const auto a = CodePoints(source, pair.sourceFirst, pair.sourceCount);
      const auto b = CodePoints(target, pair.targetFirst, pair.targetCount);
      aligner.Align(a, b);
      const auto matches = static_cast<std::uint64_t>(
          std::count(aligner.script().begin(), aligner.script().end(), EditOp::Match));
      FUZZ_CHECK(200 * matches >= tuning.moveMatchShare * (a.size() + b.size()) +
                                      100 * std::uint64_t{tuning.moveMatchMargin},
                 "a moved pair of lines that hardly match");
    } else if (pair.sourceCount > 0) {
      FUZZ_CHECK(pair.sourceFirst >= nextSource, "Source line " + std::to_string(pair.sourceFirst) +
                                                     " out of order outside a moved pair");
      nextSource = pair.sourceFirst + pair.sourceCount;
    }
  }
  FUZZ_CHECK(nextTarget == target.size(), "Target lines left out at the end");
  for (std::size_t i = 0; i < source.size(); ++i) {
    FUZZ_CHECK(seen[i] == 1,
               "Source line " + std::to_string(i) + " in " + std::to_string(seen[i]) + " entries");
  }
}

// The joiner on all lines as one block: its band's distances are those of real paths, so
// never below the exact ones (the block's, and each corner's distance before it), and its
// chain at any level runs in order from the first corner to the last. (What the pieces cost
// beyond the block's distance the chain only estimates: join_lines.h.)
void CheckJoiner(const Lines& source, const Lines& target, const AlignLinesTuning& tuning) {
  if (source.empty() || target.empty()) return;
  const std::vector<std::uint32_t> sourceIds(source.size(), 0);
  const std::vector<std::uint32_t> targetIds(target.size(), 0);
  const pairing::LineSet lines{source, target, sourceIds, targetIds};
  const std::function<void()> none;
  pairing::WorkMeter meter(none);
  pairing::LineJoiner joiner(lines, tuning, meter);
  const pairing::Gap gap{0, static_cast<std::uint32_t>(source.size()), 0,
                         static_cast<std::uint32_t>(target.size())};
  const std::size_t block = joiner.Measure(gap);
  LevenshteinAligner aligner;
  const auto a = CodePoints(source, 0, source.size());
  const auto b = CodePoints(target, 0, target.size());
  const std::uint64_t exact = aligner.Distance(a, b);
  FUZZ_CHECK(joiner.BlockDistance(block) >= exact, "the band's distance " +
                                                       std::to_string(joiner.BlockDistance(block)) +
                                                       " below the exact " + std::to_string(exact));
  const auto corners = joiner.Corners(block);
  // Offsets of the line ends, for the exact distances before a corner (a sample of corners
  // on large inputs).
  const auto offsets = [](const Lines& side) {
    std::vector<std::size_t> starts{0};
    for (const auto& line : side) starts.push_back(starts.back() + CodePoints({line}, 0, 1).size());
    return starts;
  };
  const auto sourceStarts = offsets(source);
  const auto targetStarts = offsets(target);
  const std::size_t stride = corners.size() / 24 + 1;
  for (std::size_t k = 0; k < corners.size(); k += stride) {
    const pairing::Corner& corner = corners[k];
    const std::span<const std::uint32_t> before(a.data(), sourceStarts[corner.source]);
    const std::span<const std::uint32_t> across(b.data(), targetStarts[corner.target]);
    FUZZ_CHECK(corner.before >= aligner.Distance(before, across),
               "a corner's distance below the exact one");
  }
  std::vector<std::uint32_t> chain;
  for (std::int64_t level : {1, 3, 8, 1000}) {
    joiner.Chain(block, level, chain);
    FUZZ_CHECK(!chain.empty() && chain.front() == 0 && chain.back() + 1 == corners.size(),
               "a chain not from the first corner to the last");
    for (std::size_t k = 1; k < chain.size(); ++k) {
      const pairing::Corner& from = corners[chain[k - 1]];
      const pairing::Corner& to = corners[chain[k]];
      FUZZ_CHECK(to.source >= from.source && to.target >= from.target &&
                     (to.source > from.source || to.target > from.target),
                 "a chain out of order");
    }
  }
}

// Every line once, in order, in entries of the five shapes.
void CheckCoverage(const LinePairing& pairing, std::size_t n, std::size_t m) {
  std::size_t nextSource = 0;
  std::size_t nextTarget = 0;
  for (const LinePair& pair : pairing) {
    const std::size_t s = pair.sourceCount;
    const std::size_t t = pair.targetCount;
    const bool known = (s == 1 && t <= 2) || (s == 2 && t == 1) || (s == 0 && t == 1);
    FUZZ_CHECK(known, "an entry of shape " + std::to_string(s) + ":" + std::to_string(t));
    if (pair.sourceCount > 0) {
      FUZZ_CHECK(pair.sourceFirst == nextSource,
                 "Source line " + std::to_string(nextSource) + " skipped or repeated");
      nextSource += pair.sourceCount;
    }
    if (pair.targetCount > 0) {
      FUZZ_CHECK(pair.targetFirst == nextTarget,
                 "Target line " + std::to_string(nextTarget) + " skipped or repeated");
      nextTarget += pair.targetCount;
    }
  }
  FUZZ_CHECK(nextSource == n && nextTarget == m, "lines left out at the end");
}

void CheckTwins(const LinePairing& pairing, const Lines& source, const Lines& target) {
  std::map<std::u16string, std::pair<int, int>> counts;
  for (const auto& line : source) ++counts[line].first;
  for (const auto& line : target) ++counts[line].second;
  std::map<std::u16string, std::size_t> targetAt;
  for (std::size_t j = 0; j < target.size(); ++j) targetAt[target[j]] = j;
  for (std::size_t i = 0; i < source.size(); ++i) {
    const auto& [inSource, inTarget] = counts[source[i]];
    if (inSource != 1 || inTarget != 1) continue;
    const std::size_t j = targetAt[source[i]];
    bool explained = false;
    for (const LinePair& pair : pairing) {
      if (pair.sourceCount == 0 || pair.targetCount == 0) continue;
      const std::size_t sourceLast = pair.sourceFirst + pair.sourceCount - 1;
      const std::size_t targetLast = pair.targetFirst + pair.targetCount - 1;
      const bool holds =
          (pair.sourceFirst <= i && i <= sourceLast) || (pair.targetFirst <= j && j <= targetLast);
      const bool crosses =
          (sourceLast < i && pair.targetFirst > j) || (pair.sourceFirst > i && targetLast < j);
      if (holds || crosses) explained = true;
    }
    FUZZ_CHECK(explained, "unique identical lines " + std::to_string(i) + " and " +
                              std::to_string(j) + " left apart with nothing in the way");
  }
}

// Between two entries with both sides, no Source line alone equals a Target line alone.
void CheckNoTwinsLeftAlone(const LinePairing& pairing, const Lines& source, const Lines& target) {
  std::vector<std::size_t> alone;
  for (std::size_t k = 0; k <= pairing.size(); ++k) {
    if (k == pairing.size() || (pairing[k].sourceCount > 0 && pairing[k].targetCount > 0)) {
      for (std::size_t a : alone) {
        for (std::size_t b : alone) {
          if (pairing[a].sourceCount == 1 && pairing[b].targetCount == 1) {
            FUZZ_CHECK(source[pairing[a].sourceFirst] != target[pairing[b].targetFirst],
                       "identical lines " + std::to_string(pairing[a].sourceFirst) + " and " +
                           std::to_string(pairing[b].targetFirst) + " both left alone");
          }
        }
      }
      alone.clear();
    } else {
      alone.push_back(k);
    }
  }
}

// Whether the whole input is small enough for every pair of lines to be compared (then every
// gap between anchors is too).
bool Exhaustive(const Lines& source, const Lines& target, const AlignLinesTuning& tuning) {
  std::uint64_t words = 0;
  std::uint64_t units = 0;
  for (const auto& line : source) words += (line.size() + 63) / 64;
  for (const auto& line : target) units += line.size();
  return static_cast<std::uint64_t>(source.size()) * target.size() <= tuning.exhaustivePairs &&
         words * units <= tuning.exhaustiveWork;
}

}  // namespace
}  // namespace sorowa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorowa::fuzz;
  ByteReader in(data, size);
  const std::uint8_t header = in.Byte();
  const int cancelAt = (header & 8) != 0 ? in.Byte() : -1;
  const Lines source = SplitAtBreaks(ReadText(in, 6000, true));
  const Lines target =
      (header & 4) != 0 ? Revise(source, in) : SplitAtBreaks(ReadText(in, 6000, true));

  const bool boxes = (header & 16) != 0;
  sorowa::AlignLinesOptions options;
  options.tuning = Tuning(header & 3, boxes, (header >> 5) & 3);
  int calls = 0;
  options.checkpoint = [&] {
    if (calls++ == cancelAt) throw Cancelled();
  };
  sorowa::LinePairing pairing;
  try {
    pairing = sorowa::AlignLines(source, target, options);
  } catch (const Cancelled&) {
    return 0;
  } catch (const std::exception& error) {
    FUZZ_CHECK(false, std::string("exception: ") + error.what());
  }
  CheckListing(pairing, source, target, options.tuning);
  if (boxes) {
    CheckCoverage(pairing, source.size(), target.size());
    CheckTwins(pairing, source, target);
    if (Exhaustive(source, target, options.tuning)) CheckNoTwinsLeftAlone(pairing, source, target);
  } else if (cancelAt < 0) {
    CheckJoiner(source, target, options.tuning);
  }
  return 0;
}
