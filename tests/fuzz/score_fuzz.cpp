// Differential check of the scores' edit distance and script: whatever the band, the saved
// states and the recomputation do, the script must be exactly the plain full-table DP's
// (same tie-break), the distance its cost, and the distance alone the same number. The same
// input, read as text, goes through the pair scorer, whose counts must add up.
//
// Input: one byte for the alphabet (bits 0-3: 1 to 16 symbols; bit 4: symbols spread over
// the 32-bit range; bit 5: swap the sides), one byte for the first band's half-width (0 for
// the default), one byte for the interval between saved states (0 for the default), two bytes
// of reference length, then one element per byte, reference first.

#include "../distance/levenshtein_reference.h"
#include "fuzz_support.h"
#include "score/pair_scorer.h"

namespace sorowa::fuzz {
namespace {

void CheckScript(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b,
                 const LevenshteinOptions& options) {
  static LevenshteinAligner aligner;  // kept across inputs, as a scoring thread keeps it
  const std::vector<EditOp> expected = testing::ReferenceScript(a, b);
  const std::size_t distance = aligner.Align(a, b, options);
  const std::string sizes = "n=" + std::to_string(a.size()) + " m=" + std::to_string(b.size());
  FUZZ_CHECK(distance == testing::ScriptCost(expected), "distance differs: " + sizes);
  FUZZ_CHECK(aligner.script() == expected, "script differs from the reference: " + sizes);
  FUZZ_CHECK(aligner.Distance(a, b, options) == distance, "Distance differs from Align: " + sizes);
}

void CheckPairScore(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  // Elements become code units of a small Japanese alphabet with surrogates in it, so that
  // pairs, lone halves and every class occur.
  static const std::u16string kUnits = u"漢かカA1、 \xD842\xDFB7\xDC00";
  std::u16string reference;
  std::u16string hypothesis;
  for (std::uint32_t x : a) reference += kUnits[x % kUnits.size()];
  for (std::uint32_t x : b) hypothesis += kUnits[x % kUnits.size()];
  static PairScorer scorer;
  PairDetail detail;
  const PairScore score = scorer.Score({"1", "1", reference, hypothesis}, detail);
  std::uint64_t classN = 0;
  std::uint64_t classErrors = 0;
  for (const ClassCounts& c : detail.classes) {
    classN += c.n;
    classErrors += c.errors;
  }
  FUZZ_CHECK(classN == score.chars.n, "classes do not add up to n");
  FUZZ_CHECK(classErrors == score.chars.substitutions + score.chars.deletions,
             "class errors are not s + d");
  std::uint64_t events = 0;
  for (const auto& [key, count] : detail.confusions.substitutions) events += count;
  for (const auto& [key, count] : detail.confusions.deletions) events += count;
  for (const auto& [key, count] : detail.confusions.insertions) events += count;
  FUZZ_CHECK(events == score.chars.distance(), "confusions do not add up to the distance");
  FUZZ_CHECK((score.status == PairStatus::Identical) == (reference == hypothesis),
             "identical status wrong");
}

}  // namespace
}  // namespace sorowa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorowa::fuzz;
  ByteReader in(data, size);
  const std::uint8_t header = in.Byte();
  const std::uint32_t alphabet = 1 + (header & 0x0F);
  sorowa::LevenshteinOptions options;
  options.firstHalfWidth = in.Byte();
  options.checkpointInterval = in.Byte();
  const std::size_t n = in.Word() % (in.remaining() + 1);
  std::vector<std::uint32_t> a;
  std::vector<std::uint32_t> b;
  for (std::size_t k = 0; k < n; ++k) a.push_back(in.Byte() % alphabet);
  while (!in.empty()) b.push_back(in.Byte() % alphabet);
  CheckPairScore(a, b);
  if ((header & 0x10) != 0) {
    for (auto* side : {&a, &b}) {
      for (std::uint32_t& x : *side) x = x * 0x9E3779B1u + 0xFFFFFF00u;
    }
  }
  if ((header & 0x20) != 0) a.swap(b);
  CheckScript(a, b, options);
  return 0;
}
