#include "compare/compare_line_pairs.h"

#include <algorithm>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "align/report_buffer.h"
#include "base/memory_budget.h"
#include "compare/pair_scheduler.h"
#include "compare/pair_tables.h"
#include "compare/review_page.h"
#include "compare/split_lines.h"
#include "pairing/align_lines.h"
#include "score/pair_scorer.h"
#include "segment/morph_analyzer.h"
#include "text/text_normalizer.h"

namespace sorowa {
namespace {

struct SplitText {
  std::vector<std::u16string> lines;
  std::vector<std::size_t> lineNumbers;
};

// The lines of a text with their line numbers, normalised when the options ask for it. A
// line that normalisation empties is dropped as SplitLines drops an empty line: it has
// nothing to compare and nothing to score, and the tables are never given an empty line.
SplitText Split(const std::u16string& text, const TextNormalizer* normalizer) {
  SplitText split;
  SplitLines(text, split.lines, split.lineNumbers);
  if (normalizer != nullptr) {
    std::size_t kept = 0;
    for (std::size_t k = 0; k < split.lines.size(); ++k) {
      std::u16string line = normalizer->Apply(split.lines[k]);
      if (line.empty()) continue;
      split.lines[kept] = std::move(line);
      split.lineNumbers[kept] = split.lineNumbers[k];
      ++kept;
    }
    split.lines.resize(kept);
    split.lineNumbers.resize(kept);
  }
  return split;
}

// The line pairs to work on: either side may be missing (an empty text, which a real line
// never is), and either may be several lines joined.
class PairTexts {
 public:
  PairTexts(const SplitText& source, const SplitText& target, const LinePairing& pairing)
      : source_(source), target_(target), pairing_(pairing) {}

  std::size_t size() const { return pairing_.size(); }
  // The side's text of pair index; scratch holds it when lines are joined.
  const std::u16string& Source(std::size_t index, std::u16string& scratch) const {
    return Join(source_.lines, pairing_[index].sourceFirst, pairing_[index].sourceCount, scratch);
  }
  const std::u16string& Target(std::size_t index, std::u16string& scratch) const {
    return Join(target_.lines, pairing_[index].targetFirst, pairing_[index].targetCount, scratch);
  }
  std::size_t SourceLength(std::size_t index) const {
    return Length(source_.lines, pairing_[index].sourceFirst, pairing_[index].sourceCount);
  }
  std::size_t TargetLength(std::size_t index) const {
    return Length(target_.lines, pairing_[index].targetFirst, pairing_[index].targetCount);
  }
  bool HasSource(std::size_t index) const { return pairing_[index].sourceCount != 0; }
  bool HasTarget(std::size_t index) const { return pairing_[index].targetCount != 0; }
  bool Moved(std::size_t index) const { return pairing_[index].moved; }
  // The sides as the pairs file writes them: "12", "12+13", "12-40" or "-".
  std::string SourceSide(std::size_t index) const {
    const LinePair& pair = pairing_[index];
    return FormatPairSide(MakePairSide(source_.lineNumbers, pair.sourceFirst, pair.sourceCount));
  }
  std::string TargetSide(std::size_t index) const {
    const LinePair& pair = pairing_[index];
    return FormatPairSide(MakePairSide(target_.lineNumbers, pair.targetFirst, pair.targetCount));
  }
  PairRecord Record(std::size_t index) const {
    const LinePair& pair = pairing_[index];
    return {MakePairSide(source_.lineNumbers, pair.sourceFirst, pair.sourceCount),
            MakePairSide(target_.lineNumbers, pair.targetFirst, pair.targetCount), pair.moved};
  }
  // Where each joined line after the first begins in the side's text, in code units.
  void SourceJoins(std::size_t index, std::vector<std::size_t>& joins) const {
    Joins(source_.lines, pairing_[index].sourceFirst, pairing_[index].sourceCount, joins);
  }
  void TargetJoins(std::size_t index, std::vector<std::size_t>& joins) const {
    Joins(target_.lines, pairing_[index].targetFirst, pairing_[index].targetCount, joins);
  }

 private:
  static const std::u16string& Join(const std::vector<std::u16string>& lines, std::size_t first,
                                    std::size_t count, std::u16string& scratch) {
    static const std::u16string kNone;
    if (count == 0) return kNone;
    if (count == 1) return lines[first];
    // Joined with nothing between, as one line.
    scratch.clear();
    for (std::size_t k = first; k < first + count; ++k) scratch += lines[k];
    return scratch;
  }
  static void Joins(const std::vector<std::u16string>& lines, std::size_t first, std::size_t count,
                    std::vector<std::size_t>& joins) {
    joins.clear();
    std::size_t at = 0;
    for (std::size_t k = first; k + 1 < first + count; ++k) joins.push_back(at += lines[k].size());
  }
  static std::size_t Length(const std::vector<std::u16string>& lines, std::size_t first,
                            std::size_t count) {
    std::size_t length = 0;
    for (std::size_t k = first; k < first + count; ++k) length += lines[k].size();
    return length;
  }

  const SplitText& source_;
  const SplitText& target_;
  const LinePairing& pairing_;
};

// What the scoring pass of a review keeps of each pair for its row: the character edit
// script and the error rate. Each pair's slots are written by the one worker that scores it.
struct ReviewScripts {
  explicit ReviewScripts(std::size_t pairs) : scripts(pairs), rates(pairs), scored(pairs, 0) {}
  std::vector<std::vector<EditOp>> scripts;
  std::vector<std::optional<double>> rates;
  std::vector<char> scored;  // not vector<bool>: its elements are written from several threads
};

// One worker's work on a pair: its tables, then its scores, with the tables' morphemes when
// they were computed.
class LinePairWorker final : public PairWorker {
 public:
  LinePairWorker(const PairTexts& texts, const CompareOptions& options, bool morphemeScores,
                 MorphAnalyzer* analyzer, ReviewScripts* review = nullptr)
      : texts_(texts),
        options_(options),
        morphemeScores_(morphemeScores),
        analyzer_(analyzer),
        review_(review) {}

  void StartPair(std::size_t pair) override {
    pair_ = pair;
    source_ = &texts_.Source(pair, sourceScratch_);
    target_ = &texts_.Target(pair, targetScratch_);
    units_.morphemesComputed = false;
    units_.sameLines = false;
  }

  void WriteTables(ReportBuffer& report) override {
    WritePairTables(*analyzer_, *source_, *target_, pair_, units_, report, options_);
  }

  void Score(StatsDocument& scores) override {
    const bool hasSource = texts_.HasSource(pair_);
    const bool hasTarget = texts_.HasTarget(pair_);
    PairInput input;
    input.sourceSide = texts_.SourceSide(pair_);
    input.targetSide = texts_.TargetSide(pair_);
    input.moved = texts_.Moved(pair_);
    if (hasSource) input.reference = *source_;
    if (hasTarget) input.hypothesis = *target_;
    if (morphemeScores_) {
      if (!units_.morphemesComputed) {
        units_.sameLines = false;
        units_.sourceMorphemes.clear();
        units_.targetMorphemes.clear();
        if (hasSource) analyzer_->SplitMorphemes(*source_, units_.sourceMorphemes);
        if (hasTarget) analyzer_->SplitMorphemes(*target_, units_.targetMorphemes);
        units_.morphemesComputed = true;
      }
      input.morphemes = true;
      input.referenceMorphemes = &units_.sourceMorphemes;
      input.hypothesisMorphemes = &units_.TargetMorphemes();
    }
    if (review_ == nullptr) {
      AddPair(scores, scorer_.Score(input, detail_), detail_);
      return;
    }
    PairScore score = scorer_.Score(input, detail_, &review_->scripts[pair_]);
    review_->rates[pair_] = score.chars.rate();
    review_->scored[pair_] = 1;
    AddPair(scores, std::move(score), detail_);
  }

 private:
  const PairTexts& texts_;
  const CompareOptions& options_;
  const bool morphemeScores_;
  MorphAnalyzer* const analyzer_;
  ReviewScripts* const review_;
  PairUnits units_;
  PairScorer scorer_;
  PairDetail detail_;
  std::u16string sourceScratch_;
  std::u16string targetScratch_;
  std::size_t pair_ = 0;
  const std::u16string* source_ = nullptr;
  const std::u16string* target_ = nullptr;
};

// How many workers the pairs get. One when the analyser cannot be shared, or when two
// pairs' tables at once might not fit in memory, so that a Compare never fails on more
// threads where it would pass on one.
std::size_t WorkerCount(const PairTexts& texts, std::size_t requested) {
  const std::size_t pairs = texts.size();
  std::size_t workers = requested;
  if (workers == 0) workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
  workers = std::min(workers, pairs / 16 + 1);
  if (workers <= 1) return 1;
  std::size_t largest = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    largest = std::max(largest, (texts.SourceLength(i) + 1) * (texts.TargetLength(i) + 1));
  }
  return largest <= DpMemoryLimit() / (2 * workers) ? workers : 1;
}

// A pairing that names a line the texts do not have would read past the line lists.
void CheckPairing(const LinePairing& pairing, std::size_t sourceLines, std::size_t targetLines) {
  for (const LinePair& pair : pairing) {
    const bool fits = pair.sourceCount + pair.targetCount > 0 && pair.sourceFirst <= sourceLines &&
                      pair.sourceCount <= sourceLines - pair.sourceFirst &&
                      pair.targetFirst <= targetLines &&
                      pair.targetCount <= targetLines - pair.targetFirst;
    if (!fits) {
      throw std::logic_error(
          "a line pair names lines " + std::to_string(pair.sourceFirst) + "+" +
          std::to_string(pair.sourceCount) + " and " + std::to_string(pair.targetFirst) + "+" +
          std::to_string(pair.targetCount) + " of texts with " + std::to_string(sourceLines) +
          " and " + std::to_string(targetLines) + " lines");
    }
  }
}

// Lines no pair holds: in position mode, the surplus lines of the longer text.
void AppendUnpaired(const LinePairing& pairing, std::size_t sourceLines, std::size_t targetLines,
                    LinePairing& work) {
  std::vector<bool> sourceUsed(sourceLines, false);
  std::vector<bool> targetUsed(targetLines, false);
  for (const LinePair& pair : pairing) {
    for (std::size_t k = 0; k < pair.sourceCount; ++k) sourceUsed[pair.sourceFirst + k] = true;
    for (std::size_t k = 0; k < pair.targetCount; ++k) targetUsed[pair.targetFirst + k] = true;
  }
  for (std::size_t i = 0; i < sourceLines; ++i) {
    if (!sourceUsed[i]) work.push_back({i, 1, targetLines, 0});
  }
  for (std::size_t i = 0; i < targetLines; ++i) {
    if (!targetUsed[i]) work.push_back({sourceLines, 0, i, 1});
  }
}

// One analyser per worker: the one set up, and clones of it for the others. Fewer workers
// when the analyser cannot be cloned.
class WorkerAnalyzers {
 public:
  WorkerAnalyzers(MorphAnalyzer* analyzer, std::size_t workers) : analyzers_{analyzer} {
    while (analyzers_.size() < workers) {
      if (analyzer == nullptr) {
        analyzers_.push_back(nullptr);
        continue;
      }
      std::unique_ptr<MorphAnalyzer> clone = analyzer->CloneForThread();
      if (!clone) break;
      analyzers_.push_back(clone.get());
      clones_.push_back(std::move(clone));
    }
  }
  std::size_t size() const { return analyzers_.size(); }
  MorphAnalyzer* operator[](std::size_t worker) const { return analyzers_[worker]; }

 private:
  std::vector<MorphAnalyzer*> analyzers_;
  std::vector<std::unique_ptr<MorphAnalyzer>> clones_;
};

// What the rows of a review page need besides the texts and the scripts.
struct ReviewPlan {
  std::vector<PairStatus> status;
  std::vector<char> shown;
  std::vector<std::size_t> nextChange;  // the number of the next change shown, 0 for none
  std::span<const std::uint32_t> sourcePages;
  std::span<const std::uint32_t> targetPages;
};

std::uint32_t PageOfSide(const PairSide& side, std::span<const std::uint32_t> pages) {
  return !side.empty() && side.first >= 1 && side.first <= pages.size() ? pages[side.first - 1] : 0;
}

// Writes a pair's row of the review page from what the scoring pass kept of it. The scoring
// stops at the first pair too long to score; a pair after it is aligned here by the same
// scorer, and one that cannot be aligned at all is shown unmarked.
class ReviewRowWorker final : public PairWorker {
 public:
  ReviewRowWorker(const PairTexts& texts, const ReviewPlan& plan, const ReviewScripts& kept)
      : texts_(texts), plan_(plan), kept_(kept) {}

  void StartPair(std::size_t pair) override { pair_ = pair; }

  void WriteTables(ReportBuffer& report) override {
    if (!plan_.shown[pair_]) return;
    const PairRecord record = texts_.Record(pair_);
    ReviewRow row;
    row.number = pair_ + 1;
    row.sides = &record;
    row.moved = record.moved;
    row.sourcePage = PageOfSide(record.source, plan_.sourcePages);
    row.targetPage = PageOfSide(record.target, plan_.targetPages);
    row.status = plan_.status[pair_];
    row.source = texts_.Source(pair_, sourceScratch_);
    row.target = texts_.Target(pair_, targetScratch_);
    texts_.SourceJoins(pair_, sourceJoins_);
    texts_.TargetJoins(pair_, targetJoins_);
    row.sourceJoins = sourceJoins_;
    row.targetJoins = targetJoins_;
    row.nextChange = plan_.nextChange[pair_];
    if (kept_.scored[pair_]) {
      row.script = &kept_.scripts[pair_];
      row.rate = kept_.rates[pair_];
    } else {
      try {
        PairInput input;
        if (texts_.HasSource(pair_)) input.reference = row.source;
        if (texts_.HasTarget(pair_)) input.hypothesis = row.target;
        row.rate = scorer_.Score(input, detail_, &script_).chars.rate();
        row.script = &script_;
      } catch (const ScoreTooLargeError&) {
        // Shown unmarked; the page's head says why the figures are missing.
      }
    }
    AppendReviewRow(report, row, html_);
  }

  void Score(StatsDocument&) override {}  // the scoring pass has scored every pair

 private:
  const PairTexts& texts_;
  const ReviewPlan& plan_;
  const ReviewScripts& kept_;
  PairScorer scorer_;
  PairDetail detail_;
  std::vector<EditOp> script_;
  std::u16string sourceScratch_;
  std::u16string targetScratch_;
  std::vector<std::size_t> sourceJoins_;
  std::vector<std::size_t> targetJoins_;
  std::string html_;
  std::size_t pair_ = 0;
};

// The status of every pair, which are shown and the next change after each, with the head's
// counts. Whether two texts are equal decides a pair's status as its distance would.
ReviewPlan PlanReview(const LinePairing& pairs, const PairTexts& texts, bool changedOnly,
                      ReviewHead& head) {
  const std::size_t items = pairs.size();
  ReviewPlan plan;
  plan.status.resize(items);
  plan.shown.resize(items);
  plan.nextChange.assign(items, 0);
  std::u16string sourceScratch;
  std::u16string targetScratch;
  for (std::size_t k = 0; k < items; ++k) {
    const LinePair& pair = pairs[k];
    PairStatus& status = plan.status[k];
    if (pair.targetCount == 0) {
      status = PairStatus::SourceOnly;
      ++head.sourceOnly;
      head.sourceAloneLines += pair.sourceCount;
    } else if (pair.sourceCount == 0) {
      status = PairStatus::TargetOnly;
      ++head.targetOnly;
      head.targetAloneLines += pair.targetCount;
    } else if (texts.Source(k, sourceScratch) == texts.Target(k, targetScratch)) {
      status = PairStatus::Identical;
      ++head.identical;
    } else {
      status = PairStatus::Changed;
      ++head.changed;
    }
    head.movedPairs += pair.moved ? 1 : 0;
    plan.shown[k] = !(changedOnly && status == PairStatus::Identical);
    head.leftOut += plan.shown[k] ? 0 : 1;
  }
  for (std::size_t k = items, next = 0; k-- > 0;) {
    plan.nextChange[k] = next;
    if (plan.shown[k] && plan.status[k] != PairStatus::Identical) next = k + 1;
    if (k == 0) head.firstChange = next;
  }
  return plan;
}

// The review page: every pair, those that the report by position leaves out included, is
// scored first, keeping each pair's edit script, since the page's head gives the figures of
// all of them; then the head and the rows are written, marked from the kept scripts.
CompareResult WriteReview(const SplitText& source, const SplitText& target,
                          const LinePairing& pairing, bool linesAligned, MorphAnalyzer* analyzer,
                          std::string& report, const CompareOptions& options,
                          const CompareHooks& hooks) {
  CheckPairing(pairing, source.lines.size(), target.lines.size());
  const bool morphemeScores = options.scores == ScoreUnits::CharsAndMorphemes &&
                              analyzer != nullptr && analyzer->hasBackend();
  LinePairing pairs = pairing;
  AppendUnpaired(pairing, source.lines.size(), target.lines.size(), pairs);
  const std::size_t items = pairs.size();
  const PairTexts texts(source, target, pairs);
  const std::function<void(std::string_view)> emit = [&](std::string_view bytes) {
    if (hooks.reportBytes) {
      hooks.reportBytes(bytes);
    } else {
      report += bytes;
    }
  };

  std::optional<StatsDocument> scores;
  scores.emplace();
  scores->options.normalization = options.normalization;
  scores->options.alignLines = linesAligned;
  scores->options.morphemes = morphemeScores;
  if (morphemeScores) scores->totals.morphemes.emplace();
  std::string scoreError;
  ReviewScripts kept(items);
  const std::size_t workers = items == 0 ? 1 : WorkerCount(texts, hooks.threads);
  if (items > 0) {
    const WorkerAnalyzers analyzers(morphemeScores ? analyzer : nullptr, workers);
    PairWork work;
    work.pairs = items;
    work.scores = true;
    work.workers = analyzers.size();
    work.makeWorker = [&](std::size_t worker) -> std::unique_ptr<PairWorker> {
      return std::make_unique<LinePairWorker>(texts, options, morphemeScores, analyzers[worker],
                                              &kept);
    };
    PairScheduler scheduler(std::move(work));
    std::string none;
    scheduler.Deliver(none, hooks, scores, scoreError);
  }

  ReviewHead head;
  head.sourceName = options.sourceName;
  head.targetName = options.targetName;
  head.scores = scores ? &*scores : nullptr;
  head.scoresError = scoreError;
  ReviewPlan plan = PlanReview(pairs, texts, options.changedOnly, head);
  plan.sourcePages = options.sourcePages;
  plan.targetPages = options.targetPages;

  std::string headBytes;
  AppendReviewHead(headBytes, head);
  emit(headBytes);
  if (items > 0) {
    PairWork work;
    work.pairs = items;
    work.reportPairs = items;
    work.workers = workers;
    work.makeWorker = [&](std::size_t) -> std::unique_ptr<PairWorker> {
      return std::make_unique<ReviewRowWorker>(texts, plan, kept);
    };
    PairScheduler scheduler(std::move(work));
    std::optional<StatsDocument> noScores;
    std::string noError;
    scheduler.Deliver(report, hooks, noScores, noError);
  }
  emit(ReviewFoot());
  if (hooks.progress) hooks.progress(items, items);

  // The page shows the surplus lines too, so the result describes them as pairs of their own.
  CompareResult result =
      DescribePairing(pairs, source.lineNumbers, target.lineNumbers, linesAligned);
  if (options.scores != ScoreUnits::None) {
    result.scores = std::move(scores);
    result.scoresError = std::move(scoreError);
  }
  return result;
}

// Writes and scores the pairs with the analyser (if any) already set up, and tells what was
// written.
CompareResult WritePairs(const SplitText& source, const SplitText& target,
                         const LinePairing& pairing, bool linesAligned, MorphAnalyzer* analyzer,
                         std::string& report, const CompareOptions& options,
                         const CompareHooks& hooks) {
  if (options.writeTables && options.report == ReportKind::Review) {
    return WriteReview(source, target, pairing, linesAligned, analyzer, report, options, hooks);
  }
  CheckPairing(pairing, source.lines.size(), target.lines.size());
  PairWork work;
  work.reportPairs = options.writeTables ? pairing.size() : 0;
  work.scores = options.scores != ScoreUnits::None;
  // Without a back-end every line would have no morphemes and the figures would be wrong;
  // the analyser has already said why it is missing.
  const bool morphemeScores = options.scores == ScoreUnits::CharsAndMorphemes &&
                              analyzer != nullptr && analyzer->hasBackend();

  std::optional<StatsDocument> scores;
  LinePairing withUnpaired;
  const LinePairing* pairs = &pairing;
  if (work.scores) {
    scores.emplace();
    scores->options.normalization = options.normalization;
    scores->options.alignLines = linesAligned;
    scores->options.morphemes = morphemeScores;
    if (morphemeScores) scores->totals.morphemes.emplace();
    withUnpaired = pairing;
    AppendUnpaired(pairing, source.lines.size(), target.lines.size(), withUnpaired);
    if (withUnpaired.size() > pairing.size()) pairs = &withUnpaired;
  }

  const std::size_t items = pairs->size();
  std::string scoreError;
  if (items > 0 && (options.writeTables || work.scores)) {
    const PairTexts texts(source, target, *pairs);
    const WorkerAnalyzers analyzers(analyzer, WorkerCount(texts, hooks.threads));
    work.pairs = items;
    work.workers = analyzers.size();
    work.makeWorker = [&](std::size_t worker) -> std::unique_ptr<PairWorker> {
      return std::make_unique<LinePairWorker>(texts, options, morphemeScores, analyzers[worker]);
    };
    PairScheduler scheduler(std::move(work));
    scheduler.Deliver(report, hooks, scores, scoreError);
  }
  if (hooks.progress) hooks.progress(items, items);
  CompareResult result =
      DescribePairing(pairing, source.lineNumbers, target.lineNumbers, linesAligned);
  result.scores = std::move(scores);
  result.scoresError = std::move(scoreError);
  return result;
}

// Texts of at least this many code units together are split on two threads.
constexpr std::size_t kSplitOnTwoThreads = std::size_t{1} << 18;

// The lines of both texts, the analyser and the normaliser of one Compare.
class CompareSetup {
 public:
  CompareSetup(const std::u16string& sourceText, const std::u16string& targetText,
               const CompareOptions& options, const CompareHooks& hooks) {
    // Only one core works until the pairs are handed out, so on long texts the Target is
    // split on a thread of its own (with a normaliser of its own: one is not to be shared)
    // while this one splits the Source and loads the analyser.
    std::future<SplitText> targetSplit;
    if (sourceText.size() + targetText.size() >= kSplitOnTwoThreads) {
      try {
        targetSplit = std::async(std::launch::async, [&targetText, &options] {
          std::unique_ptr<TextNormalizer> normalizer;
          if (options.normalization.any()) {
            normalizer = std::make_unique<TextNormalizer>(options.normalization);
          }
          return Split(targetText, normalizer.get());
        });
      } catch (const std::system_error&) {
        // No thread to be had: the Target is split here after the Source.
      }
    }
    if (options.normalization.any()) {
      normalizer_ = std::make_unique<TextNormalizer>(options.normalization);
    }
    source = Split(sourceText, normalizer_.get());
    // Both texts are split before the analyser is asked for, which may still be setting
    // itself up elsewhere.
    if (!targetSplit.valid()) target = Split(targetText, normalizer_.get());
    analyzer = hooks.analyzer;
    if (analyzer == nullptr && CompareNeedsAnalyzer(options)) {
      // Released on the way out, also by an exception.
      own_ = std::make_unique<MorphAnalyzer>(hooks.showMessage, hooks.morphBackendFactory);
      own_->SetLanguage(0);
      analyzer = own_.get();
    }
    if (targetSplit.valid()) target = targetSplit.get();
  }

  SplitText source;
  SplitText target;
  MorphAnalyzer* analyzer = nullptr;

 private:
  std::unique_ptr<TextNormalizer> normalizer_;
  std::unique_ptr<MorphAnalyzer> own_;
};

}  // namespace

// The analyser is set up for every Compare that writes tables, even with none on or no
// lines, so its start-up message (if any) is shown every time; a run of scores alone, or a
// review page, loads it only for morpheme figures.
bool CompareNeedsAnalyzer(const CompareOptions& options) {
  return (options.writeTables && options.report == ReportKind::Tables) ||
         options.scores == ScoreUnits::CharsAndMorphemes;
}

CompareResult CompareLinePairs(const std::u16string& sourceText, const std::u16string& targetText,
                               std::string& report, const CompareOptions& options,
                               const CompareHooks& hooks) {
  CompareSetup setup(sourceText, targetText, options, hooks);
  const SplitText& source = setup.source;
  const SplitText& target = setup.target;

  LinePairing pairing;
  if (options.alignLines) {
    AlignLinesOptions alignOptions;
    if (hooks.progress) {
      // Until the pairs are known there is nothing done to count; at least as many pairs
      // as the longer side has lines will follow.
      const std::size_t atLeast = std::max(source.lines.size(), target.lines.size());
      alignOptions.checkpoint = [&hooks, atLeast] { hooks.progress(0, atLeast); };
    }
    pairing = AlignLines(source.lines, target.lines, alignOptions);
  } else {
    pairing = PairLinesByPosition(source.lines.size(), target.lines.size());
  }
  return WritePairs(source, target, pairing, options.alignLines, setup.analyzer, report, options,
                    hooks);
}

CompareResult CompareLinePairs(const std::u16string& sourceText, const std::u16string& targetText,
                               const LinePairing& pairing, std::string& report,
                               const CompareOptions& options, const CompareHooks& hooks) {
  CompareSetup setup(sourceText, targetText, options, hooks);
  return WritePairs(setup.source, setup.target, pairing, options.alignLines, setup.analyzer, report,
                    options, hooks);
}

}  // namespace sorowa
