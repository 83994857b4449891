#include "compare/compare_line_pairs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "align/char_dp_table.h"
#include "align/dp_limits.h"
#include "align/stop_request.h"
#include "align/unit_dp_table.h"
#include "align/unit_match_table.h"
#include "compare/split_lines.h"
#include "segment/morph_analyzer.h"

namespace sorowa {
namespace {

// The tables of one pair that need segments: morphemes and pseudo-bunsetsu, each computed
// at most once per line and only when a table asks for them, Source before Target.
void WriteSegmentedSections(MorphAnalyzer& analyzer, const std::u16string& source,
                            const std::u16string& target, ReportBuffer& report,
                            const CompareOptions& options) {
  SegmentList sourceMorphemes;
  SegmentList targetMorphemes;
  if (options.morphemeDp || options.morphemeMatch) {
    analyzer.SplitMorphemes(source, sourceMorphemes);
    analyzer.SplitMorphemes(target, targetMorphemes);
  }
  if (options.morphemeDp) {
    WriteUnitDpTable(sourceMorphemes, targetMorphemes, report, u"形態素");
    report += kTableBreak;
  }
  if (options.pseudoBunsetsuDp || options.pseudoBunsetsuMatch) {
    SegmentList sourceUnits;
    SegmentList targetUnits;
    analyzer.SplitPseudoBunsetsu(source, sourceUnits);
    analyzer.SplitPseudoBunsetsu(target, targetUnits);
    if (options.pseudoBunsetsuDp) {
      WriteUnitDpTable(sourceUnits, targetUnits, report, u"疑似文節");
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
               std::size_t pairIndex, ReportBuffer& report, const CompareOptions& options) {
  try {
    if (options.charDp) {
      WriteCharDpTable(source, target, report);
      report += kTableBreak;
    }
    WriteSegmentedSections(analyzer, source, target, report, options);
  } catch (const TableTooLargeError& error) {
    throw TableTooLargeError(error, pairIndex + 1);
  }
  report += kPairSeparator;
}

// A run of consecutive pairs that one worker writes; the driver hands them on in order.
struct PairBlock {
  std::size_t first = 0;
  std::size_t last = 0;
  ReportBuffer text;
  std::vector<std::size_t> pairEnds;  // end of each pair's fragment in text
  std::exception_ptr error;
  bool done = false;
};

// Line pairs are independent, so several workers may write them at once. The driver thread
// only hands finished pairs on, in order, and keeps reporting progress while it waits, so a
// window stays responsive and can cancel even during one long pair. Results do not depend on
// the number of workers: the first failing pair in line order is the one reported.
class PairScheduler {
 public:
  PairScheduler(const std::vector<std::u16string>& sourceLines,
                const std::vector<std::u16string>& targetLines, std::size_t pairs,
                const CompareOptions& options, std::vector<MorphAnalyzer*> analyzers)
      : sourceLines_(sourceLines), targetLines_(targetLines), options_(options) {
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

  void Deliver(ReportBuffer& report, const CompareHooks& hooks, std::size_t pairs) {
    using namespace std::chrono_literals;
    for (PairBlock& block : blocks_) {
      std::unique_lock lock(mutex_);
      while (!block.done) {
        if (!hooks.progress) {
          finished_.wait(lock);
        } else if (!finished_.wait_for(lock, 100ms, [&block] { return block.done; })) {
          lock.unlock();
          hooks.progress(block.first, pairs);  // may end the command
          lock.lock();
        }
      }
      lock.unlock();
      if (block.error) std::rethrow_exception(block.error);
      std::size_t begin = 0;
      for (std::size_t k = 0; k < block.pairEnds.size(); ++k) {
        if (hooks.progress) hooks.progress(block.first + k, pairs);
        report.append(block.text, begin, block.pairEnds[k] - begin);
        begin = block.pairEnds[k];
      }
      GiveSpare(std::move(block.text));
      if (hooks.pairWritten) hooks.pairWritten(report);
    }
  }

 private:
  // Block texts are handed back and reused with their capacity: a fresh string for every
  // block would grow through new pages from the kernel each time, which costs more than
  // writing the tables.
  ReportBuffer TakeSpare() {
    std::lock_guard lock(mutex_);
    if (spares_.empty()) return ReportBuffer();
    ReportBuffer text = std::move(spares_.back());
    spares_.pop_back();
    text.clear();
    return text;
  }
  void GiveSpare(ReportBuffer text) {
    std::lock_guard lock(mutex_);
    spares_.push_back(std::move(text));
  }

  void Work(MorphAnalyzer& analyzer) {
    const ScopedStopFlag stopFlag(stop_);
    for (;;) {
      const std::size_t index = next_.fetch_add(1);
      if (index >= blocks_.size() || index > firstError_ || stop_) return;
      PairBlock& block = blocks_[index];
      ReportBuffer text = TakeSpare();
      std::vector<std::size_t> pairEnds;
      std::exception_ptr error;
      try {
        for (std::size_t pair = block.first; pair < block.last && !stop_; ++pair) {
          WritePair(analyzer, sourceLines_[pair], targetLines_[pair], pair, text, options_);
          pairEnds.push_back(text.size());
        }
      } catch (const WorkStopped&) {
        return;  // nobody waits for this block any more
      } catch (...) {
        error = std::current_exception();
      }
      {
        std::lock_guard lock(mutex_);
        block.text = std::move(text);
        block.pairEnds = std::move(pairEnds);
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

  const std::vector<std::u16string>& sourceLines_;
  const std::vector<std::u16string>& targetLines_;
  const CompareOptions& options_;
  std::vector<PairBlock> blocks_;
  std::vector<ReportBuffer> spares_;
  std::mutex mutex_;
  std::condition_variable finished_;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> firstError_{static_cast<std::size_t>(-1)};
  std::vector<std::thread> threads_;
};

// How many workers the pairs get. One when the analyser cannot be shared, or when two
// pairs' tables at once might not fit in memory, so that a Compare never fails on more
// threads where it would pass on one.
std::size_t WorkerCount(const std::vector<std::u16string>& sourceLines,
                        const std::vector<std::u16string>& targetLines, std::size_t pairs,
                        std::size_t requested) {
  std::size_t workers = requested;
  if (workers == 0) workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
  workers = std::min(workers, pairs / 16 + 1);
  if (workers <= 1) return 1;
  std::size_t largest = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    largest = std::max(largest, (sourceLines[i].size() + 1) * (targetLines[i].size() + 1));
  }
  return largest <= DpMemoryLimit() / (2 * workers) ? workers : 1;
}

}  // namespace

void CompareLinePairs(const std::u16string& sourceText, const std::u16string& targetText,
                      ReportBuffer& report, const CompareOptions& options,
                      const CompareHooks& hooks) {
  std::vector<std::u16string> sourceLines;
  std::vector<std::u16string> targetLines;
  SplitLines(sourceText, sourceLines);
  SplitLines(targetText, targetLines);

  // Set up for every Compare, even with no lines, so the analyser's start-up message (if
  // any) is shown every time; released on the way out, also by an exception.
  MorphAnalyzer analyzer(hooks.showMessage, hooks.morphBackendFactory);
  analyzer.SetLanguage(0);

  const std::size_t pairs = std::min(sourceLines.size(), targetLines.size());
  if (pairs > 0) {
    std::vector<std::unique_ptr<MorphAnalyzer>> clones;
    std::vector<MorphAnalyzer*> analyzers{&analyzer};
    const std::size_t workers = WorkerCount(sourceLines, targetLines, pairs, hooks.threads);
    while (analyzers.size() < workers) {
      std::unique_ptr<MorphAnalyzer> clone = analyzer.CloneForThread();
      if (!clone) break;
      analyzers.push_back(clone.get());
      clones.push_back(std::move(clone));
    }
    PairScheduler scheduler(sourceLines, targetLines, pairs, options, std::move(analyzers));
    scheduler.Deliver(report, hooks, pairs);
  }
  if (hooks.progress) hooks.progress(pairs, pairs);
}

}  // namespace sorowa
