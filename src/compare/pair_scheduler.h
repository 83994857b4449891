#pragma once

// Line pairs written and scored on several threads, handed on in pair order. Internal to
// compare/: CompareLinePairs says what a pair's work is, the scheduler when and where it runs.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "align/report_buffer.h"
#include "base/long_work.h"
#include "compare/compare_line_pairs.h"
#include "score/stats_document.h"

namespace sorowa {

// What one worker does with a pair, on that worker's thread. Each worker has one of its own,
// so it may keep its room from pair to pair.
class PairWorker {
 public:
  virtual ~PairWorker() = default;
  // Makes pair the one the calls below are about.
  virtual void StartPair(std::size_t pair) = 0;
  // Appends the pair's part of the report.
  virtual void WriteTables(ReportBuffer& report) = 0;
  // Adds the pair's record to scores; throws ScoreTooLargeError for a pair too long to score.
  virtual void Score(StatsDocument& scores) = 0;
};

struct PairWork {
  std::size_t pairs = 0;
  std::size_t reportPairs = 0;  // the first pairs, shown in the report; the others are scored only
  bool scores = false;
  std::size_t workers = 1;
  // Worker k's PairWorker, made on its thread when it starts.
  std::function<std::unique_ptr<PairWorker>(std::size_t worker)> makeWorker;
};

// Line pairs are independent, so several workers may write them at once. The driver thread
// only hands finished pieces on, in order, and keeps reporting progress while it waits, so a
// window stays responsive and can cancel even during one long pair. A long pair goes on in
// pieces while it is written, so its report never sits whole in memory. Results do not
// depend on the number of workers: the first failing pair in line order is the one reported,
// and no pair after it is handed on.
class PairScheduler {
 public:
  // Starts the workers (fewer when the system has no more threads to give; none only by
  // throwing ThreadNotStartedError).
  explicit PairScheduler(PairWork work);
  // Stops the workers that are still at work and waits for them.
  ~PairScheduler();
  PairScheduler(const PairScheduler&) = delete;
  PairScheduler& operator=(const PairScheduler&) = delete;

  // Hands the report pairs' bytes on (to hooks.reportBytes, or else appended to report) and
  // appends the scores in pair order. A pair's failure is rethrown once the pairs before it
  // are handed on. Scores that could not be computed leave scoreError set and scores empty
  // instead; the first such pair in line order is named.
  void Deliver(std::string& report, const CompareHooks& hooks, std::optional<StatsDocument>& scores,
               std::string& scoreError);

 private:
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

  void DeliverPiece(const Piece& piece, std::string& report, const CompareHooks& hooks,
                    std::size_t pairs);
  ReportBytes TakeSpare();
  void GiveSpare(ReportBytes bytes);
  void Post(PairBlock& block, Piece piece);
  void ScorePair(std::size_t index, std::size_t pair, PairWorker& worker, PairBlock& block);
  void Work(std::size_t workerIndex);
  void ReportLongWork(const CompareHooks& hooks);

  const PairWork work_;
  // One for each worker, for the long tables it announces.
  std::unique_ptr<LongWorkMeter[]> meters_;
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

}  // namespace sorowa
