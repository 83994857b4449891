#include "score/pair_scorer.h"

#include <stdexcept>

#include "score/code_points.h"

namespace sorowa {
namespace {

// Confusions are keyed by code point; a lone surrogate has none and is shown, and counted,
// as U+FFFD, which is what the UTF-8 of the stats files can hold.
char32_t Shown(std::uint32_t element) {
  return element >= 0xD800 && element <= 0xDFFF ? U'\uFFFD' : static_cast<char32_t>(element);
}

}  // namespace

ErrorCounts CountScript(const std::vector<EditOp>& script, std::size_t referenceLength) {
  ErrorCounts counts;
  counts.n = referenceLength;
  for (EditOp op : script) {
    counts.substitutions += op == EditOp::Substitute;
    counts.deletions += op == EditOp::Delete;
    counts.insertions += op == EditOp::Insert;
  }
  return counts;
}

PairScore PairScorer::Score(const PairInput& input, PairDetail& detail,
                            std::vector<EditOp>* charScript) {
  if (!input.reference && !input.hypothesis) {
    throw std::invalid_argument("a line pair needs a Source or a Target line");
  }
  detail = PairDetail{};
  ToCodePoints(input.reference.value_or(std::u16string_view{}), reference_);
  ToCodePoints(input.hypothesis.value_or(std::u16string_view{}), hypothesis_);
  aligner_.Align(reference_, hypothesis_);

  PairScore score;
  score.source = input.sourceSide;
  score.target = input.targetSide;
  score.moved = input.moved;
  score.chars = CountScript(aligner_.script(), reference_.size());
  std::size_t i = 0;
  std::size_t j = 0;
  for (EditOp op : aligner_.script()) {
    switch (op) {
      case EditOp::Match:
        ++detail.classes[static_cast<std::size_t>(ClassifyForScore(reference_[i++]))].n;
        ++j;
        break;
      case EditOp::Substitute: {
        ClassCounts& cls =
            detail.classes[static_cast<std::size_t>(ClassifyForScore(reference_[i]))];
        ++cls.n;
        ++cls.errors;
        ++detail.confusions
              .substitutions[ConfusionCounts::Key(Shown(reference_[i++]), Shown(hypothesis_[j++]))];
        break;
      }
      case EditOp::Delete: {
        ClassCounts& cls =
            detail.classes[static_cast<std::size_t>(ClassifyForScore(reference_[i]))];
        ++cls.n;
        ++cls.errors;
        ++detail.confusions.deletions[Shown(reference_[i++])];
        break;
      }
      case EditOp::Insert:
        ++detail.confusions.insertions[Shown(hypothesis_[j++])];
        break;
    }
  }

  // Kept before the morphemes take the aligner over.
  if (charScript != nullptr) *charScript = aligner_.script();

  if (!input.reference) {
    score.status = PairStatus::TargetOnly;
  } else if (!input.hypothesis) {
    score.status = PairStatus::SourceOnly;
  } else {
    score.status = score.chars.distance() == 0 ? PairStatus::Identical : PairStatus::Changed;
  }

  if (input.morphemes) {
    static const SegmentList kNone;
    const SegmentList* reference = input.reference ? input.referenceMorphemes : &kNone;
    const SegmentList* hypothesis = input.hypothesis ? input.hypothesisMorphemes : &kNone;
    if (reference == nullptr || hypothesis == nullptr) {
      throw std::invalid_argument("morpheme scores need the morphemes of both lines");
    }
    score.morphemes = ScoreMorphemes(*reference, *hypothesis);
  }
  return score;
}

ErrorCounts PairScorer::ScoreMorphemes(const SegmentList& reference,
                                       const SegmentList& hypothesis) {
  // Ids only need to agree within the pair.
  morphemeIds_.clear();
  auto intern = [this](const SegmentList& list, std::vector<std::uint32_t>& ids) {
    ids.clear();
    for (const Segment& morpheme : list) {
      const auto next = static_cast<std::uint32_t>(morphemeIds_.size());
      ids.push_back(morphemeIds_.try_emplace(morpheme, next).first->second);
    }
  };
  intern(reference, reference_);
  intern(hypothesis, hypothesis_);
  aligner_.Align(reference_, hypothesis_);
  return CountScript(aligner_.script(), reference_.size());
}

}  // namespace sorowa
