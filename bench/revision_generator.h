#pragma once

// Revised documents with known line correspondence, to measure line pairing. A Source
// document of real prose (bench_text.h) is revised the way manuscripts are: words edited
// inside lines, paragraphs inserted and deleted, lines split in two and merged, neighbouring
// lines swapped, blank lines scattered in. Every step records which Source line each Target
// line came from.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pairing/line_pair.h"

namespace sorowa::bench {

struct RevisionOptions {
  std::size_t sourceLines = 1000;  // non-empty Source lines
  double wordEditRate = 0.08;      // share of the words (pseudo-bunsetsu) edited in a line
  double editedLineShare = 1.0;    // share of the lines whose words are edited
  double splitRate = 0.03;         // per Source line: split in two
  double mergeRate = 0.03;         // per Source line: merged with the next one
  double swapRate = 0.01;          // per Target line: swapped with the next one
  double paragraphDeleteRate = 0.05;
  double paragraphInsertRate = 0.05;  // per paragraph: a new paragraph before it
  double blankLineRate = 0.1;         // per line: an empty line before it
  std::uint64_t seed = 1;
  // Lines of corpus words in random order instead of the corpus's sentences: any number of
  // distinct lines, for documents longer than the corpus.
  bool wordSalad = false;

  // Shapes whose line breaks differ between the two sides.
  // A paragraph per Source line (its 1 to 7 lines joined); splits and merges do not apply.
  bool paragraphPerLine = false;
  // Every Target line cut into lines of this many code units (0: not), as a typesetter
  // breaks a paragraph.
  std::size_t wrapWidth = 0;
  // Every Target line garbled as OCR output is, at a character error rate drawn evenly from
  // 0 to this: characters replaced by others of the corpus, dropped, or added.
  double garbleRate = 0;
  // After every this many Target lines, a page number and a running head (Target only).
  std::size_t pageLines = 0;
  // Per paragraph: its Target lines moved at least three paragraphs away.
  double moveRate = 0;
};

// A link joins a Source line to a Target line it became (both numbers count non-empty lines
// only, as the aligner sees them); a split line has two, two merged lines one each.
using Link = std::pair<std::size_t, std::size_t>;

struct RevisedDocument {
  // Physical lines, empty ones included.
  std::vector<std::u16string> sourceText;
  std::vector<std::u16string> targetText;
  // The non-empty lines, what the aligner is given.
  std::vector<std::u16string> source;
  std::vector<std::u16string> target;
  std::vector<Link> links;  // sorted
  // The links of the lines that moved: those of moved paragraphs and of both lines of every
  // swapped pair (a pairing in order keeps at most one of the two). Sorted.
  std::vector<Link> movedLinks;
};

RevisedDocument MakeRevision(const RevisionOptions& options);

// Corpus words in random order, about `length` code units.
std::u16string WordSaladLine(std::size_t length, std::uint64_t seed);

// The links a pairing makes: one per (Source line, Target line) of every entry with both sides.
std::vector<Link> PairingLinks(const LinePairing& pairing);

struct LinkScore {
  double precision = 0;
  double recall = 0;
  double f1 = 0;
};
LinkScore ScoreLinks(const std::vector<Link>& truth, std::vector<Link> found);

// The character error rate of a pairing on a document: the summed Levenshtein distance of its
// pairs over code points (joined lines compared joined, a line alone counting its length),
// the same over the two texts with every line break removed, and the pairs with both sides.
struct PairingCost {
  std::uint64_t summed = 0;
  std::uint64_t flattened = 0;
  std::size_t twoSided = 0;
};
PairingCost MeasureCost(const std::vector<std::u16string>& source,
                        const std::vector<std::u16string>& target, const LinePairing& pairing);

// The moved links that some pairing can have: those whose Source line is linked to consecutive
// Target lines and whose Target line to consecutive Source lines.
std::vector<Link> PossibleMovedLinks(const RevisedDocument& document);

// Moved-line links: recall over the possible moved links (PossibleMovedLinks) that the pairing
// has, marked moved or not; precision over the links of the pairs it marks moved.
LinkScore ScoreMoves(const RevisedDocument& document, const LinePairing& pairing);

// The true pairing as entries of consecutive lines: each Source line with the run of Target
// lines from its first link to its last (page numbers and running heads inside it included),
// Source lines whose runs overlap joined; lines without links alone. For documents without
// moves; its cost (MeasureCost) is what the known structure costs.
LinePairing TruthPairing(const RevisedDocument& document);

// The best that any pairing in order can do: the largest set of true links that keeps the order
// (swapped neighbours keep one of the two). Its F1 is the ceiling.
LinePairing OraclePairing(const RevisedDocument& document);

// Baselines for comparison.
// Line i with line i.
LinePairing PositionPairing(std::size_t sourceLines, std::size_t targetLines);
// The obvious method: a DP over a diagonal band of half-width |n - m| + 100 lines, with steps
// 1:1, 1:2, 2:1 worth the Dice similarity of the character bigram multisets minus threshold
// (joined text for 1:2 and 2:1), and 1:0, 0:1 worth nothing.
LinePairing BigramBandPairing(const std::vector<std::u16string>& source,
                              const std::vector<std::u16string>& target, double threshold);

}  // namespace sorowa::bench
