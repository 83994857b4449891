// Quality of the line pairing on revised prose with known truth (revision_generator.h):
// precision, recall and F1 over (Source line, Target line) links, for the aligner and for the
// baselines, per document size and word edit rate.
//
//   pairing_quality [--sizes=300,1000,5000] [--rates=0.05,0.08,0.1,0.15] [--seeds=5]
//                   [--methods=position,bigram,aligner] [--threshold=0.4]
//                   [--write=DIR] [tuning: --pairThreshold=55 --pairCost=300 ...]
//
// --threshold is the bigram baseline's. --write=DIR also writes each document as
// DIR/<size>-<rate>-<seed>-{source,target}.txt (physical lines, blank ones included) and
// -links.txt (1-based physical line numbers, a tab between), for tools outside this program.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench_text.h"
#include "pairing/align_lines.h"
#include "pairing/line_similarity.h"
#include "revision_generator.h"

namespace {

using namespace sorowa;
using namespace sorowa::bench;

std::vector<double> ParseList(const std::string& text) {
  std::vector<double> values;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) values.push_back(std::stod(item));
  return values;
}

std::vector<std::string> ParseWords(const std::string& text) {
  std::vector<std::string> words;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) words.push_back(item);
  return words;
}

bool SetTuning(AlignLinesTuning& tuning, const std::string& name, const std::string& value) {
  const auto number = std::stoull(value);
  if (name == "pairThreshold")
    tuning.pairThreshold = static_cast<int>(number);
  else if (name == "pairCost")
    tuning.pairCost = static_cast<int>(number);
  else if (name == "partThreshold")
    tuning.partThreshold = static_cast<int>(number);
  else if (name == "splitCost")
    tuning.splitCost = static_cast<int>(number);
  else if (name == "contextBonus")
    tuning.contextBonus = static_cast<int>(number);
  else if (name == "exhaustivePairs")
    tuning.exhaustivePairs = number;
  else if (name == "exhaustiveWork")
    tuning.exhaustiveWork = number;
  else if (name == "bandHalfWidth")
    tuning.bandHalfWidth = number;
  else if (name == "gramCandidates")
    tuning.gramCandidates = number;
  else if (name == "gramsPerLine")
    tuning.gramsPerLine = number;
  else if (name == "gramLineLimit")
    tuning.gramLineLimit = number;
  else if (name == "joinLines")
    tuning.joinLines = number != 0;
  else if (name == "findMoves")
    tuning.findMoves = number != 0;
  else if (name == "cutBandHalfWidth")
    tuning.cutBandHalfWidth = static_cast<std::uint32_t>(number);
  else if (name == "cutBudget")
    tuning.cutBudget = static_cast<std::uint32_t>(number);
  else if (name == "pairMatchShare")
    tuning.pairMatchShare = static_cast<std::uint32_t>(number);
  else if (name == "cutMostLevel")
    tuning.cutMostLevel = static_cast<std::int64_t>(number);
  else if (name == "aloneShare")
    tuning.aloneShare = static_cast<std::uint32_t>(number);
  else if (name == "cutReachCells")
    tuning.cutReachCells = static_cast<std::uint32_t>(number);
  else if (name == "moveMatchMargin")
    tuning.moveMatchMargin = static_cast<std::uint32_t>(number);
  else if (name == "moveMatchShare")
    tuning.moveMatchShare = static_cast<std::uint32_t>(number);
  else if (name == "pathDirectCells")
    tuning.pathDirectCells = number;
  else if (name == "pathExactCells")
    tuning.pathExactCells = number;
  else
    return false;
  return true;
}

// Physical 1-based line numbers of the non-empty lines.
std::vector<std::size_t> PhysicalNumbers(const std::vector<std::u16string>& text) {
  std::vector<std::size_t> numbers;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (!text[k].empty()) numbers.push_back(k + 1);
  }
  return numbers;
}

void WriteDocument(const std::filesystem::path& stem, const RevisedDocument& document) {
  std::ofstream(stem.string() + "-source.txt", std::ios::binary)
      << JoinLinesUtf8(document.sourceText);
  std::ofstream(stem.string() + "-target.txt", std::ios::binary)
      << JoinLinesUtf8(document.targetText);
  const auto sourceNumbers = PhysicalNumbers(document.sourceText);
  const auto targetNumbers = PhysicalNumbers(document.targetText);
  std::ofstream links(stem.string() + "-links.txt", std::ios::binary);
  for (const auto& [s, t] : document.links) {
    links << sourceNumbers[s] << '\t' << targetNumbers[t] << '\n';
  }
}

std::string Utf8(const std::u16string& line) {
  std::string text = JoinLinesUtf8({line});
  text.pop_back();
  return text;
}

std::size_t show = 0;

// Prints the aligner's wrong and missed links with the lines around them, for tuning.
void ShowErrors(const RevisedDocument& document, const LinePairing& pairing, std::size_t most) {
  auto found = PairingLinks(pairing);
  std::sort(found.begin(), found.end());
  std::vector<Link> wrong, missed;
  std::set_difference(found.begin(), found.end(), document.links.begin(), document.links.end(),
                      std::back_inserter(wrong));
  std::set_difference(document.links.begin(), document.links.end(), found.begin(), found.end(),
                      std::back_inserter(missed));
  // Links that no pairing in order could have are not the aligner's fault.
  auto possible = PairingLinks(OraclePairing(document));
  std::sort(possible.begin(), possible.end());
  std::erase_if(missed, [&](const Link& link) {
    return !std::binary_search(possible.begin(), possible.end(), link);
  });
  const auto entryOf = [&](bool sourceSide, std::size_t line) {
    for (const LinePair& pair : pairing) {
      const std::size_t first = sourceSide ? pair.sourceFirst : pair.targetFirst;
      const std::size_t count = sourceSide ? pair.sourceCount : pair.targetCount;
      if (line >= first && line < first + count) {
        char text[64];
        std::snprintf(text, sizeof text, "[%zu+%zu : %zu+%zu]", pair.sourceFirst, pair.sourceCount,
                      pair.targetFirst, pair.targetCount);
        return std::string(text);
      }
    }
    return std::string("?");
  };
  std::size_t shown = 0;
  for (const auto* list : {&wrong, &missed}) {
    for (const auto& [s, t] : *list) {
      if (shown++ >= most) return;
      std::printf("%s S%zu %s T%zu %s\n  S: %s\n  T: %s\n", list == &wrong ? "WRONG" : "MISSED", s,
                  entryOf(true, s).c_str(), t, entryOf(false, t).c_str(),
                  Utf8(document.source[s]).c_str(), Utf8(document.target[t]).c_str());
      if (std::getenv("SHOW_AROUND") != nullptr) {
        for (const LinePair& pair : pairing) {
          if (pair.sourceFirst + 3 < s || pair.sourceFirst > s + 3) continue;
          std::string left, right;
          for (std::size_t k = 0; k < pair.sourceCount; ++k)
            left += Utf8(document.source[pair.sourceFirst + k]);
          for (std::size_t k = 0; k < pair.targetCount; ++k)
            right += Utf8(document.target[pair.targetFirst + k]);
          std::printf("    [%zu+%zu : %zu+%zu] %s | %s\n", pair.sourceFirst, pair.sourceCount,
                      pair.targetFirst, pair.targetCount, left.substr(0, 60).c_str(),
                      right.substr(0, 60).c_str());
        }
      }
    }
  }
}

// Quantiles of the LCS ratio of true one-to-one pairs and of unrelated pairs (a Source line
// with a Target line from far away), by the two lines' total length: where the thresholds
// belong.
void Calibrate(const std::vector<double>& rates, int seeds) {
  const std::size_t bounds[] = {12, 20, 30, 45, 70, 100, 150, 250, 100000};
  for (double rate : rates) {
    std::map<std::size_t, std::vector<double>> truePairs, unrelated;
    pairing::LcsScanner scanner;
    for (int seed = 1; seed <= seeds; ++seed) {
      RevisionOptions revision;
      revision.sourceLines = 2000;
      revision.wordEditRate = rate;
      revision.seed = static_cast<std::uint64_t>(seed) * 31 + 5;
      const RevisedDocument document = MakeRevision(revision);
      std::vector<std::size_t> count(document.source.size()), countT(document.target.size());
      for (const auto& [s, t] : document.links) ++count[s], ++countT[t];
      const auto bucket = [&](std::size_t length) {
        std::size_t k = 0;
        while (length > bounds[k]) ++k;
        return bounds[k];
      };
      const auto ratio = [&](const std::u16string& a, const std::u16string& b) {
        scanner.SetPattern(a);
        return 2.0 * static_cast<double>(scanner.Length(b)) /
               static_cast<double>(a.size() + b.size());
      };
      for (const auto& [s, t] : document.links) {
        if (count[s] != 1 || countT[t] != 1) continue;
        const auto& a = document.source[s];
        const auto& b = document.target[t];
        truePairs[bucket(a.size() + b.size())].push_back(ratio(a, b));
        // A line three lines further: same topic, different line.
        const std::size_t near = (t + 3) % document.target.size();
        if (std::binary_search(document.links.begin(), document.links.end(), Link{s, near}))
          continue;
        const auto& c = document.target[near];
        unrelated[bucket(a.size() + c.size())].push_back(ratio(a, c));
      }
    }
    std::printf(
        "word edits %.2f: LCS ratio quantiles (1%%, 5%%, 50%%) true | (50%%, 95%%, 99%%) "
        "unrelated\n",
        rate);
    for (std::size_t bound : bounds) {
      auto& t = truePairs[bound];
      auto& u = unrelated[bound];
      std::sort(t.begin(), t.end());
      std::sort(u.begin(), u.end());
      const auto q = [](const std::vector<double>& v, double p) {
        return v.empty() ? 0.0 : v[static_cast<std::size_t>(p * (v.size() - 1))];
      };
      std::printf("  length <= %6zu  true %5zu: %.2f %.2f %.2f | unrelated %5zu: %.2f %.2f %.2f\n",
                  bound, t.size(), q(t, 0.01), q(t, 0.05), q(t, 0.5), u.size(), q(u, 0.5),
                  q(u, 0.95), q(u, 0.99));
    }
  }
}

// A document of one of the shapes whose line breaks differ, or that move lines:
//   wrapped  a paragraph per Source line against the revision wrapped at 20 to 45 code units
//            (by seed), words edited at `rate`;
//   wrapped-dropped  the same with 2 % of the paragraphs deleted and 2 % added;
//   garbled  the same lines garbled as OCR output at up to `rate` character errors per line;
//   ocr      a paragraph per Source line against its wrapped lines garbled at up to `rate`,
//            with a page number and a running head every 30 lines;
//   pages    the same lines, words edited at `rate`, with a page number and a running head
//            every 30 lines;
//   moves    the revision of the F1 table (words edited at `rate`) with 3 % of the paragraphs
//            moved and 2 % of the lines swapped with the next one;
//   revision the revision of the F1 table, words edited at `rate`;
//   revision100k, proof: see ShapeOptions.
bool salad = false;   // --salad=1: corpus words in random order, for documents beyond the corpus
bool measure = true;  // --measure=0: only write the documents (--write), for timing elsewhere

bool ShapeOptions(const std::string& shape, double size, double rate, int seed,
                  RevisionOptions& revision) {
  revision.wordSalad = salad;
  revision.sourceLines = static_cast<std::size_t>(size);
  revision.seed = static_cast<std::uint64_t>(seed) * 7777 + static_cast<std::uint64_t>(size) + 13;
  const auto sameBreaks = [&] {
    revision.splitRate = 0;
    revision.mergeRate = 0;
    revision.swapRate = 0;
    revision.paragraphDeleteRate = 0;
    revision.paragraphInsertRate = 0;
  };
  if (shape == "wrapped" || shape == "wrapped-dropped") {
    sameBreaks();
    revision.paragraphPerLine = true;
    revision.wrapWidth = 20 + static_cast<std::size_t>(seed * 7) % 26;
    revision.wordEditRate = rate;
    if (shape == "wrapped-dropped") {
      revision.paragraphDeleteRate = 0.02;
      revision.paragraphInsertRate = 0.02;
    }
  } else if (shape == "proof") {
    // A manuscript of `size` paragraphs against its proof broken every 40 code units, words
    // edited at `rate`, 1 % of the paragraphs dropped and 1 % added.
    sameBreaks();
    revision.paragraphPerLine = true;
    revision.wrapWidth = 40;
    revision.wordEditRate = rate;
    revision.paragraphDeleteRate = 0.01;
    revision.paragraphInsertRate = 0.01;
  } else if (shape == "garbled") {
    sameBreaks();
    revision.editedLineShare = 0;
    revision.garbleRate = rate;
  } else if (shape == "ocr") {
    sameBreaks();
    revision.editedLineShare = 0;
    revision.paragraphPerLine = true;
    revision.wrapWidth = 20 + static_cast<std::size_t>(seed * 7) % 26;
    revision.garbleRate = rate;
    revision.pageLines = 30;
  } else if (shape == "pages") {
    sameBreaks();
    revision.wordEditRate = rate;
    revision.pageLines = 30;
  } else if (shape == "revision") {
    revision.wordEditRate = rate;
  } else if (shape == "revision100k") {
    // The line pairing's speed benchmark: a tenth of the lines edited at `rate`, half a per
    // cent of paragraphs deleted and inserted, a few lines split and merged (pairing_bench.cpp).
    revision.wordEditRate = rate;
    revision.editedLineShare = 0.1;
    revision.paragraphInsertRate = 0.005;
    revision.paragraphDeleteRate = 0.005;
    revision.splitRate = 0.002;
    revision.mergeRate = 0.002;
    revision.swapRate = 0;
  } else if (shape == "moves") {
    revision.wordEditRate = rate;
    revision.moveRate = 0.03;
    revision.swapRate = 0.02;
  } else {
    return false;
  }
  revision.blankLineRate = 0;
  return true;
}

// The shapes' figures: the summed distance of the pairs against the distance with the line
// breaks removed, the same for the true pairing (where no line moved), two-sided pairs per
// line of the side with fewer lines, links and moves.
int MeasureShape(const std::string& shape, const std::vector<double>& sizes,
                 const std::vector<double>& rates, int seeds, const AlignLinesOptions& options,
                 const std::string& writeDir) {
  std::printf("%-8s %6s %5s %8s %8s %8s %8s %8s %8s %8s %8s %8s %8s %8s\n", "shape", "lines",
              "rate", "cost", "worst", "truth", "worst", "pairs", "worst", "linkF1", "moveP",
              "moveR", "moveF1", "ms/doc");
  for (double size : sizes) {
    for (double rate : rates) {
      double cost = 0, worstCost = 0, pairs = 0, worstPairs = 2, f1 = 0, time = 0;
      double truthCost = 0, worstTruth = 0;
      double moveP = 0, moveR = 0;
      std::size_t movedTruth = 0, movedMarked = 0, movedRight = 0, movedFound = 0;
      for (int seed = 1; seed <= seeds; ++seed) {
        RevisionOptions revision;
        if (!ShapeOptions(shape, size, rate, seed, revision)) {
          std::fprintf(stderr, "pairing_quality: unknown shape %s\n", shape.c_str());
          return 2;
        }
        const RevisedDocument document = MakeRevision(revision);
        if (!writeDir.empty()) {
          char stem[96];
          std::snprintf(stem, sizeof stem, "%s-%zu-%.2f-%d", shape.c_str(), revision.sourceLines,
                        rate, seed);
          WriteDocument(std::filesystem::path(writeDir) / stem, document);
        }
        if (!measure) continue;
        const auto start = std::chrono::steady_clock::now();
        const LinePairing pairing = AlignLines(document.source, document.target, options);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        time += elapsed.count();
        const PairingCost measured = MeasureCost(document.source, document.target, pairing);
        if (revision.moveRate == 0 && revision.swapRate == 0) {
          const PairingCost truth =
              MeasureCost(document.source, document.target, TruthPairing(document));
          const double truthRatio =
              truth.flattened == 0 ? 1.0 : static_cast<double>(truth.summed) / truth.flattened;
          truthCost += truthRatio;
          worstTruth = std::max(worstTruth, truthRatio);
        }
        const double ratio = measured.flattened == 0
                                 ? (measured.summed == 0 ? 1.0 : 1e9)
                                 : static_cast<double>(measured.summed) / measured.flattened;
        cost += ratio;
        worstCost = std::max(worstCost, ratio);
        if (std::getenv("SHOW_COST") != nullptr) {
          std::printf("  seed %d cost %.4f summed %llu flattened %llu\n", seed, ratio,
                      (unsigned long long)measured.summed, (unsigned long long)measured.flattened);
          for (const LinePair& pair : pairing) {
            if (pair.sourceCount > 0 && pair.targetCount > 0 && !pair.moved &&
                !std::getenv("SHOW_ALL"))
              continue;
            std::string left, right;
            for (std::size_t k = 0; k < pair.sourceCount; ++k)
              left += Utf8(document.source[pair.sourceFirst + k]);
            for (std::size_t k = 0; k < pair.targetCount; ++k)
              right += Utf8(document.target[pair.targetFirst + k]);
            std::printf("    %s[%zu+%zu : %zu+%zu] %s | %s\n", pair.moved ? "MOVED " : "",
                        pair.sourceFirst, pair.sourceCount, pair.targetFirst, pair.targetCount,
                        left.substr(0, 90).c_str(), right.substr(0, 90).c_str());
          }
        }
        const double perLine = static_cast<double>(measured.twoSided) /
                               std::min(document.source.size(), document.target.size());
        pairs += perLine;
        worstPairs = std::min(worstPairs, perLine);
        f1 += ScoreLinks(document.links, PairingLinks(pairing)).f1;
        const LinkScore moves = ScoreMoves(document, pairing);
        moveP += moves.precision;
        moveR += moves.recall;
        // Pooled over the documents too, for the F1 of all moved links together.
        LinePairing movedPairs;
        for (const LinePair& pair : pairing) {
          if (pair.moved) movedPairs.push_back(pair);
        }
        const auto marked = PairingLinks(movedPairs);
        movedMarked += marked.size();
        for (const Link& link : marked) {
          movedRight += std::binary_search(document.links.begin(), document.links.end(), link);
        }
        const std::size_t possible = PossibleMovedLinks(document).size();
        movedTruth += possible;
        movedFound += static_cast<std::size_t>(std::round(moves.recall * possible));
        if (show > 0) ShowErrors(document, pairing, show);
        if (std::getenv("SHOW_MOVES") != nullptr) {
          auto found = PairingLinks(pairing);
          std::sort(found.begin(), found.end());
          for (const Link& link : PossibleMovedLinks(document)) {
            if (std::binary_search(found.begin(), found.end(), link)) continue;
            std::printf("  MISSED MOVE S%zu T%zu\n    S: %s\n    T: %s\n", link.first, link.second,
                        Utf8(document.source[link.first]).substr(0, 120).c_str(),
                        Utf8(document.target[link.second]).substr(0, 120).c_str());
          }
          for (const LinePair& pair : pairing) {
            if (!pair.moved) continue;
            for (const Link& link : PairingLinks({pair})) {
              if (!std::binary_search(document.links.begin(), document.links.end(), link)) {
                std::printf("  WRONG MOVE S%zu T%zu [%zu+%zu : %zu+%zu]\n    S: %s\n    T: %s\n",
                            link.first, link.second, pair.sourceFirst, pair.sourceCount,
                            pair.targetFirst, pair.targetCount,
                            Utf8(document.source[link.first]).substr(0, 120).c_str(),
                            Utf8(document.target[link.second]).substr(0, 120).c_str());
              }
            }
          }
        }
      }
      const double precision = movedMarked == 0 ? 1.0 : double(movedRight) / movedMarked;
      const double recall = movedTruth == 0 ? 1.0 : double(movedFound) / movedTruth;
      const double moveF1 =
          precision + recall == 0 ? 0 : 2 * precision * recall / (precision + recall);
      std::printf(
          "%-8s %6.0f %5.2f %8.4f %8.4f %8.4f %8.4f %8.3f %8.3f %8.4f %8.4f %8.4f %8.4f %8.1f\n",
          shape.c_str(), size, rate, cost / seeds, worstCost, truthCost / seeds, worstTruth,
          pairs / seeds, worstPairs, f1 / seeds, precision, recall, moveF1, 1000 * time / seeds);
      std::fflush(stdout);
    }
  }
  return 0;
}

struct Tally {
  double precision = 0, recall = 0, f1 = 0, worstF1 = 1, seconds = 0;
  int runs = 0;
  void Add(const LinkScore& score, double time) {
    precision += score.precision;
    recall += score.recall;
    f1 += score.f1;
    worstF1 = std::min(worstF1, score.f1);
    seconds += time;
    ++runs;
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<double> sizes{300, 1000, 5000};
  std::vector<double> rates{0.05, 0.08, 0.10, 0.15};
  std::vector<std::string> methods{"oracle", "position", "bigram", "aligner"};
  int seeds = 5;
  double threshold = 0.4;
  std::string writeDir;
  std::string shape;
  AlignLinesOptions options;
  for (int k = 1; k < argc; ++k) {
    const std::string argument = argv[k];
    const auto equals = argument.find('=');
    if (argument.rfind("--", 0) != 0 || equals == std::string::npos) {
      std::fprintf(stderr, "pairing_quality: bad argument %s\n", argv[k]);
      return 2;
    }
    const std::string name = argument.substr(2, equals - 2);
    const std::string value = argument.substr(equals + 1);
    if (name == "sizes")
      sizes = ParseList(value);
    else if (name == "rates")
      rates = ParseList(value);
    else if (name == "seeds")
      seeds = std::stoi(value);
    else if (name == "methods")
      methods = ParseWords(value);
    else if (name == "threshold")
      threshold = std::stod(value);
    else if (name == "write")
      writeDir = value;
    else if (name == "show")
      show = std::stoul(value);
    else if (name == "shape")
      shape = value;
    else if (name == "salad")
      salad = value != "0";
    else if (name == "measure")
      measure = value != "0";
    else if (name == "calibrate") {
      Calibrate(rates, std::stoi(value));
      return 0;
    } else if (!SetTuning(options.tuning, name, value)) {
      std::fprintf(stderr, "pairing_quality: unknown option --%s\n", name.c_str());
      return 2;
    }
  }
  if (!writeDir.empty()) std::filesystem::create_directories(writeDir);
  if (!shape.empty()) return MeasureShape(shape, sizes, rates, seeds, options, writeDir);

  std::printf("%6s %5s %-9s %9s %9s %9s %9s %10s\n", "lines", "edits", "method", "precision",
              "recall", "F1", "worst F1", "ms/doc");
  for (double size : sizes) {
    for (double rate : rates) {
      std::map<std::string, Tally> tallies;
      for (int seed = 1; seed <= seeds; ++seed) {
        RevisionOptions revision;
        revision.sourceLines = static_cast<std::size_t>(size);
        revision.wordEditRate = rate;
        revision.seed = static_cast<std::uint64_t>(seed) * 7777 + static_cast<std::uint64_t>(size);
        const RevisedDocument document = MakeRevision(revision);
        if (!writeDir.empty()) {
          char stem[64];
          std::snprintf(stem, sizeof stem, "%zu-%.2f-%d", revision.sourceLines, rate, seed);
          WriteDocument(std::filesystem::path(writeDir) / stem, document);
        }
        for (const std::string& method : methods) {
          const auto start = std::chrono::steady_clock::now();
          LinePairing pairing;
          if (method == "oracle") {
            pairing = OraclePairing(document);
          } else if (method == "position") {
            pairing = PositionPairing(document.source.size(), document.target.size());
          } else if (method == "bigram") {
            pairing = BigramBandPairing(document.source, document.target, threshold);
          } else if (method == "aligner") {
            pairing = AlignLines(document.source, document.target, options);
          } else {
            std::fprintf(stderr, "pairing_quality: unknown method %s\n", method.c_str());
            return 2;
          }
          const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
          tallies[method].Add(ScoreLinks(document.links, PairingLinks(pairing)), elapsed.count());
          if (show > 0 && method == "aligner") ShowErrors(document, pairing, show);
        }
      }
      for (const std::string& method : methods) {
        const Tally& tally = tallies[method];
        std::printf("%6.0f %5.2f %-9s %9.4f %9.4f %9.4f %9.4f %10.1f\n", size, rate, method.c_str(),
                    tally.precision / tally.runs, tally.recall / tally.runs, tally.f1 / tally.runs,
                    tally.worstF1, 1000 * tally.seconds / tally.runs);
      }
      std::fflush(stdout);
    }
  }
  return 0;
}
