#include "compare/pair_scheduler.h"

#include <algorithm>
#include <chrono>
#include <string_view>
#include <system_error>
#include <utility>

#include "base/memory_budget.h"
#include "base/stop_request.h"

namespace sorowa {
namespace {

// Workers hand their text on in pieces of about this size, also in the middle of a pair.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

// Lowers first to index unless it already names an earlier block.
void KeepFirst(std::atomic<std::size_t>& first, std::size_t index) {
  std::size_t known = first.load();
  while (index < known && !first.compare_exchange_weak(known, index)) {
  }
}

}  // namespace

PairScheduler::PairScheduler(PairWork work)
    : work_(std::move(work)), meters_(std::make_unique<LongWorkMeter[]>(work_.workers)) {
  const std::size_t pairs = work_.pairs;
  const std::size_t workers = work_.workers;
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
  for (std::size_t worker = 0; worker < workers; ++worker) {
    try {
      threads_.emplace_back([this, worker] { Work(worker); });
    } catch (const std::system_error& error) {
      // Out of threads: the ones already running do all the work. With none running,
      // the error ends the command (no running thread is left behind to join).
      if (threads_.empty()) throw ThreadNotStartedError(error, "to compare the line pairs");
      break;
    }
  }
}

PairScheduler::~PairScheduler() {
  stop_ = true;
  for (std::thread& thread : threads_) thread.join();
}

void PairScheduler::Deliver(std::string& report, const CompareHooks& hooks,
                            std::optional<StatsDocument>& scores, std::string& scoreError) {
  using namespace std::chrono_literals;
  const std::size_t pairs = work_.pairs;
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
          ReportLongWork(hooks);
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

// The pair the driver waits for may be held up by one long table; the worker writing it
// tells its meter.
void PairScheduler::ReportLongWork(const CompareHooks& hooks) {
  if (!hooks.longWork) return;
  for (std::size_t worker = 0; worker < work_.workers; ++worker) {
    const std::optional<LongWorkStatus> status = meters_[worker].Read();
    if (status && status->pair == nextPair_) {
      hooks.longWork(*status);  // may end the command
      return;
    }
  }
}

// Progress hears of each pair before any of its bytes go on; should it end the command,
// the pairs before that one still go.
void PairScheduler::DeliverPiece(const Piece& piece, std::string& report, const CompareHooks& hooks,
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
ReportBytes PairScheduler::TakeSpare() {
  std::lock_guard lock(mutex_);
  if (spares_.empty()) return {};
  ReportBytes bytes = std::move(spares_.back());
  spares_.pop_back();
  bytes.size = 0;
  return bytes;
}

void PairScheduler::GiveSpare(ReportBytes bytes) {
  std::lock_guard lock(mutex_);
  spares_.push_back(std::move(bytes));
}

void PairScheduler::Post(PairBlock& block, Piece piece) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    block.pieces.push_back(std::move(piece));
    wake = awaited_ == &block;
  }
  if (wake) finished_.notify_one();
}

// Scores one pair into the block. A pair too long to score stops the block's scoring; later
// blocks skip theirs.
void PairScheduler::ScorePair(std::size_t index, std::size_t pair, PairWorker& worker,
                              PairBlock& block) {
  if (!block.scoreError.empty() || index > firstScoreError_) return;
  try {
    worker.Score(block.scores);
  } catch (const ScoreTooLargeError& error) {
    block.scoreError =
        "line pair " + std::to_string(pair + 1) + " cannot be scored: " + error.what();
    KeepFirst(firstScoreError_, index);
  }
}

void PairScheduler::Work(std::size_t workerIndex) {
  const ScopedStopFlag stopFlag(stop_);
  LongWorkMeter& meter = meters_[workerIndex];
  const ScopedLongWorkMeter boundMeter(meter);
  ReportBuffer text;
  const std::unique_ptr<PairWorker> worker = work_.makeWorker(workerIndex);
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
        meter.StartPair(pair);
        worker->StartPair(pair);
        if (pair < work_.reportPairs) {
          worker->WriteTables(text);
          pairEnds.push_back(text.written());
        }
        if (work_.scores) ScorePair(index, pair, *worker, block);
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
    // Pairs after a failed one will never be shown; earlier ones still will.
    if (error) KeepFirst(firstError_, index);
  }
}

}  // namespace sorowa
