#include "compare/compare_line_pairs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "align/char_dp_table.h"
#include "align/report_buffer.h"
#include "align/unit_dp_table.h"
#include "align/unit_match_table.h"
#include "base/memory_budget.h"
#include "base/stop_request.h"
#include "compare/split_lines.h"
#include "pairing/align_lines.h"
#include "distance/levenshtein.h"
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
// never is), and either may be two lines joined.
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
  // The sides as the pairs file writes them: "12", "12+13" or "-".
  std::string SourceSide(std::size_t index) const {
    const LinePair& pair = pairing_[index];
    return FormatPairSide(MakePairSide(source_.lineNumbers, pair.sourceFirst, pair.sourceCount));
  }
  std::string TargetSide(std::size_t index) const {
    const LinePair& pair = pairing_[index];
    return FormatPairSide(MakePairSide(target_.lineNumbers, pair.targetFirst, pair.targetCount));
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

// Which row holds the pair's only line, when one side is missing.
std::optional<LoneSide> LoneSideOf(const std::u16string& source, const std::u16string& target) {
  if (target.empty()) return LoneSide::Source;
  if (source.empty()) return LoneSide::Target;
  return std::nullopt;
}

// A unit DP table: the usual one, or for a pair with a missing side its lone line's units.
void WriteUnitDp(const SegmentList& sourceUnits, const SegmentList& targetUnits,
                 std::optional<LoneSide> lone, ReportBuffer& report,
                 std::u16string_view captionWord) {
  if (!lone) {
    WriteUnitDpTable(sourceUnits, targetUnits, report, captionWord);
  } else {
    WriteLoneUnitDpTable(*lone == LoneSide::Source ? sourceUnits : targetUnits, *lone, report,
                         captionWord);
  }
}

// A worker's unit lists, kept from pair to pair so that their room is used again. The scores
// reuse the tables' morphemes when they were computed.
struct PairUnits {
  SegmentList sourceMorphemes;
  SegmentList targetMorphemes;
  SegmentList sourceUnits;
  SegmentList targetUnits;
  bool morphemesComputed = false;
  // An unchanged line's units are split once and stand for both sides: the Target's lists
  // are then left as they are.
  bool sameLines = false;
  const SegmentList& TargetMorphemes() const {
    return sameLines ? sourceMorphemes : targetMorphemes;
  }
  const SegmentList& TargetUnits() const { return sameLines ? sourceUnits : targetUnits; }
};

// The tables of one pair that need segments: morphemes and pseudo-bunsetsu, each computed
// at most once per line and only when a table asks for them, Source before Target. A
// missing side has no units; the matching tables then show the other side's units alone.
void WriteSegmentedSections(MorphAnalyzer& analyzer, const std::u16string& source,
                            const std::u16string& target, std::optional<LoneSide> lone,
                            PairUnits& units, ReportBuffer& report, const CompareOptions& options) {
  const bool hasSource = lone != LoneSide::Target;
  const bool hasTarget = lone != LoneSide::Source;
  units.sameLines = !lone && source == target;
  const bool splitTarget = hasTarget && !units.sameLines;
  SegmentList& sourceMorphemes = units.sourceMorphemes;
  const SegmentList& targetMorphemes = units.TargetMorphemes();
  if (options.morphemeDp || options.morphemeMatch) {
    sourceMorphemes.clear();
    units.targetMorphemes.clear();
    if (hasSource) analyzer.SplitMorphemes(source, sourceMorphemes);
    if (splitTarget) analyzer.SplitMorphemes(target, units.targetMorphemes);
    units.morphemesComputed = true;
  }
  if (options.morphemeDp) {
    WriteUnitDp(sourceMorphemes, targetMorphemes, lone, report, u"形態素");
    report += kTableBreak;
  }
  if (options.pseudoBunsetsuDp || options.pseudoBunsetsuMatch) {
    SegmentList& sourceUnits = units.sourceUnits;
    const SegmentList& targetUnits = units.TargetUnits();
    sourceUnits.clear();
    units.targetUnits.clear();
    if (hasSource) analyzer.SplitPseudoBunsetsu(source, sourceUnits);
    if (splitTarget) analyzer.SplitPseudoBunsetsu(target, units.targetUnits);
    if (options.pseudoBunsetsuDp) {
      WriteUnitDp(sourceUnits, targetUnits, lone, report, u"疑似文節");
      report += kTableBreak;
    }
    if (options.pseudoBunsetsuMatch) {
      WriteUnitMatchTable(sourceUnits, targetUnits, report, u"疑似文節");
      report += kTableBreak;
    }
  }
  if (options.morphemeMatch) {
    WriteUnitMatchTable(sourceMorphemes, targetMorphemes, report, u"形態素");
    report += kTableBreak;
  }
}

// One pair's tables, <br>s and separator. A pair too large to align names its number.
void WritePair(MorphAnalyzer& analyzer, const std::u16string& source, const std::u16string& target,
               std::size_t pairIndex, PairUnits& units, ReportBuffer& report,
               const CompareOptions& options) {
  const std::optional<LoneSide> lone = LoneSideOf(source, target);
  try {
    if (options.charDp) {
      if (!lone) {
        WriteCharDpTable(source, target, report);
      } else {
        WriteLoneCharDpTable(*lone == LoneSide::Source ? source : target, *lone, report);
      }
      report += kTableBreak;
    }
    WriteSegmentedSections(analyzer, source, target, lone, units, report, options);
  } catch (const TableTooLargeError& error) {
    throw TableTooLargeError(error, pairIndex + 1);
  }
  report += kPairSeparator;
}

// What the workers do besides writing tables.
struct WorkPlan {
  std::size_t reportPairs = 0;  // pairs beyond these are scored only (position mode's surplus)
  bool scores = false;
  bool morphemeScores = false;
};

// Workers hand their text on in pieces of about this size, also in the middle of a pair.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

// A stretch of report bytes a worker handed on, with the ends of the pairs that finish in
// it (offsets into bytes).
struct Piece {
  ReportBytes bytes;
  std::vector<std::size_t> pairEnds;
};

// A run of consecutive pairs that one worker handles; the driver hands them on in order.
struct PairBlock {
  std::size_t first = 0;
  std::size_t last = 0;
  std::vector<Piece> pieces;  // handed on by the worker
  std::size_t taken = 0;      // how many of them the driver has taken
  StatsDocument scores;       // the block's pairs and their sums, complete once done
  std::string scoreError;     // the first pair of the block that could not be scored
  std::exception_ptr error;
  bool done = false;
};

// Line pairs are independent, so several workers may write them at once. The driver thread
// only hands finished pieces on, in order, and keeps reporting progress while it waits, so a
// window stays responsive and can cancel even during one long pair. A long pair goes on in
// pieces while it is written, so its report never sits whole in memory. Results do not
// depend on the number of workers: the first failing pair in line order is the one reported.
class PairScheduler {
 public:
  PairScheduler(const PairTexts& texts, const CompareOptions& options, const WorkPlan& plan,
                std::vector<MorphAnalyzer*> analyzers)
      : texts_(texts), options_(options), plan_(plan) {
    const std::size_t pairs = texts.size();
    const std::size_t workers = analyzers.size();
    // Every block costs the driver a wake-up (and a switch of threads on a busy machine),
    // so blocks are as long as they can be while the workers still finish together: they
    // shrink towards the end, where one worker would otherwise wait for the other's last
    // block. Blocks stay small enough that a worker's text stays well below the size at
    // which every allocation becomes fresh pages from the kernel.
    for (std::size_t first = 0; first < pairs;) {
      const std::size_t size = std::clamp<std::size_t>((pairs - first) / (workers * 8), 1, 32);
      PairBlock block;
      block.first = first;
      block.last = std::min(pairs, first + size);
      first = block.last;
      blocks_.push_back(std::move(block));
    }
    threads_.reserve(workers);
    for (MorphAnalyzer* analyzer : analyzers) {
      try {
        threads_.emplace_back([this, analyzer] { Work(analyzer); });
      } catch (const std::system_error&) {
        // Out of threads: the ones already running do all the work. With none running,
        // the error ends the command (no running thread is left behind to join).
        if (threads_.empty()) throw;
        break;
      }
    }
  }

  ~PairScheduler() {
    stop_ = true;
    for (std::thread& thread : threads_) thread.join();
  }

  // Hands the report pairs' bytes on and appends the scores in pair order; scores that could
  // not be computed leave scoreError set instead.
  void Deliver(std::string& report, const CompareHooks& hooks, std::optional<StatsDocument>& scores,
               std::string& scoreError) {
    using namespace std::chrono_literals;
    const std::size_t pairs = texts_.size();
    for (PairBlock& block : blocks_) {
      for (;;) {
        std::unique_lock lock(mutex_);
        const auto ready = [&block] { return block.done || block.taken < block.pieces.size(); };
        awaited_ = &block;
        while (!ready()) {
          if (!hooks.progress) {
            finished_.wait(lock);
          } else if (!finished_.wait_for(lock, 100ms, ready)) {
            lock.unlock();
            hooks.progress(nextPair_, pairs);  // may end the command
            lock.lock();
          }
        }
        awaited_ = nullptr;
        if (block.taken == block.pieces.size()) {
          lock.unlock();
          if (block.error) std::rethrow_exception(block.error);
          break;
        }
        Piece piece = std::move(block.pieces[block.taken++]);
        lock.unlock();
        DeliverPiece(piece, report, hooks, pairs);
        GiveSpare(std::move(piece.bytes));
      }
      if (scores) {
        if (!block.scoreError.empty()) {
          scoreError = std::move(block.scoreError);
          scores.reset();
        } else {
          AppendPairs(*scores, std::move(block.scores));
        }
      }
    }
  }

 private:
  // Progress hears of each pair before any of its bytes go on; should it end the command,
  // the pairs before that one still go.
  void DeliverPiece(const Piece& piece, std::string& report, const CompareHooks& hooks,
                    std::size_t pairs) {
    const std::string_view bytes = piece.bytes.view();
    const auto emit = [&](std::string_view part) {
      if (part.empty()) return;
      if (hooks.reportBytes) {
        hooks.reportBytes(part);
      } else {
        report.append(part);
      }
    };
    const auto announce = [&](std::size_t at) {
      if (announced_ || !hooks.progress) return;
      try {
        hooks.progress(nextPair_, pairs);
      } catch (...) {
        emit(bytes.substr(0, at));
        throw;
      }
      announced_ = true;
    };
    std::size_t begin = 0;
    for (const std::size_t end : piece.pairEnds) {
      announce(begin);
      begin = end;
      ++nextPair_;
      announced_ = false;
    }
    if (begin < bytes.size()) announce(begin);
    emit(bytes);
  }

  // Byte buffers are handed back and reused with their room: fresh memory for every piece
  // would come as new pages from the kernel each time, which costs more than writing the
  // tables.
  ReportBytes TakeSpare() {
    std::lock_guard lock(mutex_);
    if (spares_.empty()) return {};
    ReportBytes bytes = std::move(spares_.back());
    spares_.pop_back();
    bytes.size = 0;
    return bytes;
  }
  void GiveSpare(ReportBytes bytes) {
    std::lock_guard lock(mutex_);
    spares_.push_back(std::move(bytes));
  }

  void Post(PairBlock& block, Piece piece) {
    bool wake = false;
    {
      std::lock_guard lock(mutex_);
      block.pieces.push_back(std::move(piece));
      wake = awaited_ == &block;
    }
    if (wake) finished_.notify_one();
  }

  // Scores one pair into the block, with the tables' morphemes when they were computed. A
  // pair too long to score stops the block's scoring; later blocks skip theirs.
  void ScorePair(std::size_t index, std::size_t pair, const std::u16string& source,
                 const std::u16string& target, MorphAnalyzer* analyzer, PairUnits& units,
                 PairScorer& scorer, PairDetail& detail, PairBlock& block) {
    if (!block.scoreError.empty() || index > firstScoreError_) return;
    const bool hasSource = texts_.HasSource(pair);
    const bool hasTarget = texts_.HasTarget(pair);
    PairInput input;
    input.sourceSide = texts_.SourceSide(pair);
    input.targetSide = texts_.TargetSide(pair);
    if (hasSource) input.reference = source;
    if (hasTarget) input.hypothesis = target;
    if (plan_.morphemeScores) {
      if (!units.morphemesComputed) {
        units.sameLines = false;
        units.sourceMorphemes.clear();
        units.targetMorphemes.clear();
        if (hasSource) analyzer->SplitMorphemes(source, units.sourceMorphemes);
        if (hasTarget) analyzer->SplitMorphemes(target, units.targetMorphemes);
        units.morphemesComputed = true;
      }
      input.morphemes = true;
      input.referenceMorphemes = &units.sourceMorphemes;
      input.hypothesisMorphemes = &units.TargetMorphemes();
    }
    try {
      AddPair(block.scores, scorer.Score(input, detail), detail);
    } catch (const ScoreTooLargeError& error) {
      block.scoreError =
          "line pair " + std::to_string(pair + 1) + " cannot be scored: " + error.what();
      std::size_t known = firstScoreError_.load();
      while (index < known && !firstScoreError_.compare_exchange_weak(known, index)) {
      }
    }
  }

  void Work(MorphAnalyzer* analyzer) {
    const ScopedStopFlag stopFlag(stop_);
    ReportBuffer text;
    PairUnits units;
    PairScorer scorer;
    PairDetail detail;
    std::u16string sourceScratch;
    std::u16string targetScratch;
    for (;;) {
      const std::size_t index = next_.fetch_add(1);
      if (index >= blocks_.size() || index > firstError_ || stop_) return;
      PairBlock& block = blocks_[index];
      // Where the text not yet handed on begins, and where the pairs since then end, as
      // positions in all the text this worker wrote.
      std::size_t pieceStart = text.written();
      std::vector<std::size_t> pairEnds;
      text.HandOverAt(kPieceBytes, [&](ReportBytes& bytes) {
        Piece piece;
        for (const std::size_t end : pairEnds) piece.pairEnds.push_back(end - pieceStart);
        pairEnds.clear();
        pieceStart += bytes.size;
        piece.bytes = std::exchange(bytes, TakeSpare());
        Post(block, std::move(piece));
      });
      std::exception_ptr error;
      try {
        for (std::size_t pair = block.first; pair < block.last && !stop_; ++pair) {
          const std::u16string& source = texts_.Source(pair, sourceScratch);
          const std::u16string& target = texts_.Target(pair, targetScratch);
          units.morphemesComputed = false;
          units.sameLines = false;
          if (options_.writeTables && pair < plan_.reportPairs) {
            WritePair(*analyzer, source, target, pair, units, text, options_);
            pairEnds.push_back(text.written());
          }
          if (plan_.scores) {
            ScorePair(index, pair, source, target, analyzer, units, scorer, detail, block);
          }
        }
        text.HandOver();  // the rest of the block
      } catch (const WorkStopped&) {
        return;  // nobody waits for this block any more
      } catch (...) {
        error = std::current_exception();
        text.clear();  // the failed pair's beginning is never shown
      }
      bool wake = false;
      {
        std::lock_guard lock(mutex_);
        block.error = error;
        block.done = true;
        wake = awaited_ == &block;
      }
      if (wake) finished_.notify_one();
      if (error) {
        // Pairs after a failed one will never be shown; earlier ones still will.
        std::size_t known = firstError_.load();
        while (index < known && !firstError_.compare_exchange_weak(known, index)) {
        }
      }
    }
  }

  const PairTexts& texts_;
  const CompareOptions& options_;
  const WorkPlan plan_;
  std::vector<PairBlock> blocks_;
  std::vector<ReportBytes> spares_;
  std::mutex mutex_;
  // The driver is the only one to wait on finished_, and only for the block in awaited_:
  // the workers wake it for that block alone, not for every piece of the blocks ahead.
  std::condition_variable finished_;
  const PairBlock* awaited_ = nullptr;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> firstError_{static_cast<std::size_t>(-1)};
  std::atomic<std::size_t> firstScoreError_{static_cast<std::size_t>(-1)};
  std::vector<std::thread> threads_;
  // The driver's: the first pair not yet handed on whole, and whether progress has heard of
  // it.
  std::size_t nextPair_ = 0;
  bool announced_ = false;
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
    const bool fits =
        pair.sourceCount <= 2 && pair.targetCount <= 2 && pair.sourceCount + pair.targetCount > 0 &&
        pair.sourceFirst <= sourceLines && pair.sourceCount <= sourceLines - pair.sourceFirst &&
        pair.targetFirst <= targetLines && pair.targetCount <= targetLines - pair.targetFirst;
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

// Writes and scores the pairs with the analyser (if any) already set up, and tells what was
// written.
CompareResult WritePairs(const SplitText& source, const SplitText& target,
                         const LinePairing& pairing, bool linesAligned, MorphAnalyzer* analyzer,
                         std::string& report, const CompareOptions& options,
                         const CompareHooks& hooks) {
  CheckPairing(pairing, source.lines.size(), target.lines.size());
  WorkPlan plan;
  plan.reportPairs = pairing.size();
  plan.scores = options.scores != ScoreUnits::None;
  // Without a back-end every line would have no morphemes and the figures would be wrong;
  // the analyser has already said why it is missing.
  plan.morphemeScores = options.scores == ScoreUnits::CharsAndMorphemes && analyzer != nullptr &&
                        analyzer->hasBackend();

  std::optional<StatsDocument> scores;
  LinePairing withUnpaired;
  const LinePairing* work = &pairing;
  if (plan.scores) {
    scores.emplace();
    scores->options.normalization = options.normalization;
    scores->options.alignLines = linesAligned;
    scores->options.morphemes = plan.morphemeScores;
    if (plan.morphemeScores) scores->totals.morphemes.emplace();
    withUnpaired = pairing;
    AppendUnpaired(pairing, source.lines.size(), target.lines.size(), withUnpaired);
    if (withUnpaired.size() > pairing.size()) work = &withUnpaired;
  }

  const std::size_t items = work->size();
  std::string scoreError;
  if (items > 0 && (options.writeTables || plan.scores)) {
    const PairTexts texts(source, target, *work);
    const std::size_t workers = WorkerCount(texts, hooks.threads);
    std::vector<std::unique_ptr<MorphAnalyzer>> clones;
    std::vector<MorphAnalyzer*> analyzers{analyzer};
    while (analyzers.size() < workers) {
      if (analyzer == nullptr) {
        analyzers.push_back(nullptr);
        continue;
      }
      std::unique_ptr<MorphAnalyzer> clone = analyzer->CloneForThread();
      if (!clone) break;
      analyzers.push_back(clone.get());
      clones.push_back(std::move(clone));
    }
    PairScheduler scheduler(texts, options, plan, std::move(analyzers));
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
// lines, so its start-up message (if any) is shown every time; a run of scores alone loads it
// only for morpheme figures.
bool CompareNeedsAnalyzer(const CompareOptions& options) {
  return options.writeTables || options.scores == ScoreUnits::CharsAndMorphemes;
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
