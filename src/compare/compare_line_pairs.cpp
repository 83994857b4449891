#include "compare/compare_line_pairs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "align/char_dp_table.h"
#include "align/dp_limits.h"
#include "align/report_buffer.h"
#include "align/stop_request.h"
#include "align/unit_dp_table.h"
#include "align/unit_match_table.h"
#include "compare/split_lines.h"
#include "pairing/align_lines.h"
#include "segment/morph_analyzer.h"

namespace sorowa {
namespace {

// The line pairs to write: either side may be missing (an empty text, which a real line
// never is), and either may be two lines joined.
class PairTexts {
 public:
  PairTexts(const std::vector<std::u16string>& sourceLines,
            const std::vector<std::u16string>& targetLines, const LinePairing& pairing)
      : sourceLines_(sourceLines), targetLines_(targetLines), pairing_(pairing) {}

  std::size_t size() const { return pairing_.size(); }
  // The side's text of pair index; scratch holds it when lines are joined.
  const std::u16string& Source(std::size_t index, std::u16string& scratch) const {
    return Join(sourceLines_, pairing_[index].sourceFirst, pairing_[index].sourceCount, scratch);
  }
  const std::u16string& Target(std::size_t index, std::u16string& scratch) const {
    return Join(targetLines_, pairing_[index].targetFirst, pairing_[index].targetCount, scratch);
  }
  std::size_t SourceLength(std::size_t index) const {
    return Length(sourceLines_, pairing_[index].sourceFirst, pairing_[index].sourceCount);
  }
  std::size_t TargetLength(std::size_t index) const {
    return Length(targetLines_, pairing_[index].targetFirst, pairing_[index].targetCount);
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

  const std::vector<std::u16string>& sourceLines_;
  const std::vector<std::u16string>& targetLines_;
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

// A worker's unit lists, kept from pair to pair so that their room is used again.
struct PairUnits {
  SegmentList sourceMorphemes;
  SegmentList targetMorphemes;
  SegmentList sourceUnits;
  SegmentList targetUnits;
};

// The tables of one pair that need segments: morphemes and pseudo-bunsetsu, each computed
// at most once per line and only when a table asks for them, Source before Target. A
// missing side has no units; the matching tables then show the other side's units alone.
void WriteSegmentedSections(MorphAnalyzer& analyzer, const std::u16string& source,
                            const std::u16string& target, std::optional<LoneSide> lone,
                            PairUnits& units, ReportBuffer& report, const CompareOptions& options) {
  const bool hasSource = lone != LoneSide::Target;
  const bool hasTarget = lone != LoneSide::Source;
  SegmentList& sourceMorphemes = units.sourceMorphemes;
  SegmentList& targetMorphemes = units.targetMorphemes;
  sourceMorphemes.clear();
  targetMorphemes.clear();
  if (options.morphemeDp || options.morphemeMatch) {
    if (hasSource) analyzer.SplitMorphemes(source, sourceMorphemes);
    if (hasTarget) analyzer.SplitMorphemes(target, targetMorphemes);
  }
  if (options.morphemeDp) {
    WriteUnitDp(sourceMorphemes, targetMorphemes, lone, report, u"形態素");
    report += kTableBreak;
  }
  if (options.pseudoBunsetsuDp || options.pseudoBunsetsuMatch) {
    SegmentList& sourceUnits = units.sourceUnits;
    SegmentList& targetUnits = units.targetUnits;
    sourceUnits.clear();
    targetUnits.clear();
    if (hasSource) analyzer.SplitPseudoBunsetsu(source, sourceUnits);
    if (hasTarget) analyzer.SplitPseudoBunsetsu(target, targetUnits);
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

// Workers hand their text on in pieces of about this size, also in the middle of a pair.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

// A stretch of report bytes a worker handed on, with the ends of the pairs that finish in
// it (offsets into bytes).
struct Piece {
  ReportBytes bytes;
  std::vector<std::size_t> pairEnds;
};

// A run of consecutive pairs that one worker writes; the driver hands them on in order.
struct PairBlock {
  std::size_t first = 0;
  std::size_t last = 0;
  std::vector<Piece> pieces;  // handed on by the worker
  std::size_t taken = 0;      // how many of them the driver has taken
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
  PairScheduler(const PairTexts& texts, const CompareOptions& options,
                std::vector<MorphAnalyzer*> analyzers)
      : texts_(texts), options_(options) {
    const std::size_t pairs = texts.size();
    const std::size_t workers = analyzers.size();
    // Small blocks keep each worker's text well below the size at which every allocation
    // becomes fresh pages from the kernel.
    const std::size_t blockSize = std::clamp<std::size_t>(pairs / (workers * 16), 1, 8);
    for (std::size_t first = 0; first < pairs; first += blockSize) {
      PairBlock block;
      block.first = first;
      block.last = std::min(pairs, first + blockSize);
      blocks_.push_back(std::move(block));
    }
    threads_.reserve(workers);
    for (MorphAnalyzer* analyzer : analyzers) {
      try {
        threads_.emplace_back([this, analyzer] { Work(*analyzer); });
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

  void Deliver(std::string& report, const CompareHooks& hooks, std::size_t pairs) {
    using namespace std::chrono_literals;
    for (PairBlock& block : blocks_) {
      for (;;) {
        std::unique_lock lock(mutex_);
        const auto ready = [&block] { return block.done || block.taken < block.pieces.size(); };
        while (!ready()) {
          if (!hooks.progress) {
            finished_.wait(lock);
          } else if (!finished_.wait_for(lock, 100ms, ready)) {
            lock.unlock();
            hooks.progress(nextPair_, pairs);  // may end the command
            lock.lock();
          }
        }
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
    {
      std::lock_guard lock(mutex_);
      block.pieces.push_back(std::move(piece));
    }
    finished_.notify_all();
  }

  void Work(MorphAnalyzer& analyzer) {
    const ScopedStopFlag stopFlag(stop_);
    ReportBuffer text;
    PairUnits units;
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
          WritePair(analyzer, texts_.Source(pair, sourceScratch),
                    texts_.Target(pair, targetScratch), pair, units, text, options_);
          pairEnds.push_back(text.written());
        }
        text.HandOver();  // the rest of the block
      } catch (const WorkStopped&) {
        return;  // nobody waits for this block any more
      } catch (...) {
        error = std::current_exception();
        text.clear();  // the failed pair's beginning is never shown
      }
      {
        std::lock_guard lock(mutex_);
        block.error = error;
        block.done = true;
      }
      finished_.notify_all();
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
  std::vector<PairBlock> blocks_;
  std::vector<ReportBytes> spares_;
  std::mutex mutex_;
  std::condition_variable finished_;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> firstError_{static_cast<std::size_t>(-1)};
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

struct SplitText {
  std::vector<std::u16string> lines;
  std::vector<std::size_t> lineNumbers;
};

SplitText Split(const std::u16string& text) {
  SplitText split;
  SplitLines(text, split.lines, split.lineNumbers);
  return split;
}

// Writes the pairs with the analyser already set up, and tells what was written.
CompareResult WritePairs(const SplitText& source, const SplitText& target,
                         const LinePairing& pairing, bool linesAligned, MorphAnalyzer& analyzer,
                         std::string& report, const CompareOptions& options,
                         const CompareHooks& hooks) {
  CheckPairing(pairing, source.lines.size(), target.lines.size());
  const std::size_t pairs = pairing.size();
  if (pairs > 0) {
    const PairTexts texts(source.lines, target.lines, pairing);
    std::vector<std::unique_ptr<MorphAnalyzer>> clones;
    std::vector<MorphAnalyzer*> analyzers{&analyzer};
    const std::size_t workers = WorkerCount(texts, hooks.threads);
    while (analyzers.size() < workers) {
      std::unique_ptr<MorphAnalyzer> clone = analyzer.CloneForThread();
      if (!clone) break;
      analyzers.push_back(clone.get());
      clones.push_back(std::move(clone));
    }
    PairScheduler scheduler(texts, options, std::move(analyzers));
    scheduler.Deliver(report, hooks, pairs);
  }
  if (hooks.progress) hooks.progress(pairs, pairs);
  return DescribePairing(pairing, source.lineNumbers, target.lineNumbers, linesAligned);
}

}  // namespace

CompareResult CompareLinePairs(const std::u16string& sourceText, const std::u16string& targetText,
                               std::string& report, const CompareOptions& options,
                               const CompareHooks& hooks) {
  const SplitText source = Split(sourceText);
  const SplitText target = Split(targetText);

  // Set up for every Compare, even with no lines, so the analyser's start-up message (if
  // any) is shown every time; released on the way out, also by an exception.
  MorphAnalyzer analyzer(hooks.showMessage, hooks.morphBackendFactory);
  analyzer.SetLanguage(0);

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
  return WritePairs(source, target, pairing, options.alignLines, analyzer, report, options, hooks);
}

CompareResult CompareLinePairs(const std::u16string& sourceText, const std::u16string& targetText,
                               const LinePairing& pairing, std::string& report,
                               const CompareOptions& options, const CompareHooks& hooks) {
  const SplitText source = Split(sourceText);
  const SplitText target = Split(targetText);
  MorphAnalyzer analyzer(hooks.showMessage, hooks.morphBackendFactory);
  analyzer.SetLanguage(0);
  return WritePairs(source, target, pairing, options.alignLines, analyzer, report, options, hooks);
}

}  // namespace sorowa
