#include "compare/pair_scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>

#include "base/memory_budget.h"

namespace sorowa {
namespace {

// One run of the scheduler over made-up pairs: some fail to write, some to score, some are
// longer than a piece, and each takes a random time, so that blocks finish out of order.
struct Trial {
  std::size_t pairs = 0;
  std::size_t reportPairs = 0;
  std::size_t workers = 1;
  bool scores = false;
  bool streamed = false;  // through hooks.reportBytes rather than the report string
  std::set<std::size_t> tableErrors;
  std::set<std::size_t> scoreErrors;
  std::set<std::size_t> longPairs;
  std::vector<int> delayMicroseconds;
};

Trial MakeTrial(std::uint32_t seed) {
  std::mt19937 random(seed);
  const auto below = [&random](std::size_t n) { return std::size_t{random()} % n; };
  Trial trial;
  trial.pairs = 1 + below(300);
  trial.reportPairs = below(3) == 0 ? below(trial.pairs + 1) : trial.pairs;
  trial.workers = 1 + below(4);
  trial.scores = below(3) != 0;
  trial.streamed = below(2) == 0;
  // Failures come a few pairs apart, often in one block.
  const auto failures = [&](std::set<std::size_t>& pairs) {
    if (below(2) == 0) return;
    for (std::size_t pair = below(trial.pairs), k = 1 + below(3); pair < trial.pairs && k-- > 0;) {
      pairs.insert(pair);
      pair += 1 + below(3);
    }
  };
  failures(trial.tableErrors);
  failures(trial.scoreErrors);
  if (below(4) == 0) trial.longPairs.insert(below(trial.pairs));
  for (std::size_t k = 0; k < trial.pairs; ++k) {
    trial.delayMicroseconds.push_back(below(4) == 0 ? static_cast<int>(below(400)) : 0);
  }
  return trial;
}

// A pair's text: its number, and past the size of a piece for a long pair.
std::string PairText(const Trial& trial, std::size_t pair) {
  std::string text = "[" + std::to_string(pair) + "]";
  if (trial.longPairs.contains(pair)) text.append((std::size_t{3} << 19), 'x');
  return text;
}

const ScoreTooLargeError kScoreError(1000, 2000, 3000, 4000);

// The last pair any worker started, and the last it scored.
struct Seen {
  std::mutex mutex;
  std::optional<std::size_t> started;
  std::optional<std::size_t> scored;
  void Note(std::optional<std::size_t>& last, std::size_t pair) {
    const std::lock_guard lock(mutex);
    last = std::max(last.value_or(0), pair);
  }
};

class FakeWorker final : public PairWorker {
 public:
  FakeWorker(const Trial& trial, Seen& seen) : trial_(trial), seen_(seen) {}
  void StartPair(std::size_t pair) override {
    pair_ = pair;
    seen_.Note(seen_.started, pair);
    std::this_thread::sleep_for(std::chrono::microseconds(trial_.delayMicroseconds[pair]));
  }
  void WriteTables(ReportBuffer& report) override {
    if (trial_.tableErrors.contains(pair_)) {
      throw std::runtime_error("pair " + std::to_string(pair_));
    }
    report += PairText(trial_, pair_);
  }
  void Score(StatsDocument& scores) override {
    seen_.Note(seen_.scored, pair_);
    if (trial_.scoreErrors.contains(pair_)) throw kScoreError;
    PairScore record;
    record.source = std::to_string(pair_);
    AddPair(scores, std::move(record), PairDetail{});
  }

 private:
  const Trial& trial_;
  Seen& seen_;
  std::size_t pair_ = 0;
};

// Whatever the workers and the order they finish in: the report holds the pairs in order;
// the failure reported is the first failing pair's, nothing of it or any later pair is
// handed on, and a lone worker starts no pair after it; the scores come in pair order, or
// name the first pair that could not be scored, after which a lone worker scores no more.
TEST(PairSchedulerTest, HandsPairsOnInOrderAndReportsTheFirstFailure) {
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    const Trial trial = MakeTrial(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::string report;
    std::string streamed;
    std::size_t lastDone = 0;
    CompareHooks hooks;
    hooks.progress = [&](std::size_t done, std::size_t total) {
      EXPECT_EQ(total, trial.pairs);
      EXPECT_GE(done, lastDone);
      lastDone = done;
    };
    if (trial.streamed) hooks.reportBytes = [&](std::string_view bytes) { streamed += bytes; };
    std::optional<StatsDocument> scores;
    if (trial.scores) scores.emplace();
    std::string scoreError;

    const auto firstTableError = trial.tableErrors.begin();
    const bool tablesFail =
        firstTableError != trial.tableErrors.end() && *firstTableError < trial.reportPairs;
    const std::size_t shownPairs = tablesFail ? *firstTableError : trial.reportPairs;
    std::string expected;
    for (std::size_t pair = 0; pair < shownPairs; ++pair) expected += PairText(trial, pair);

    PairWork work;
    work.pairs = trial.pairs;
    work.reportPairs = trial.reportPairs;
    work.scores = trial.scores;
    work.workers = trial.workers;
    Seen seen;
    work.makeWorker = [&](std::size_t) { return std::make_unique<FakeWorker>(trial, seen); };
    std::string error;
    {
      PairScheduler scheduler(std::move(work));
      try {
        scheduler.Deliver(report, hooks, scores, scoreError);
      } catch (const std::runtime_error& e) {
        error = e.what();
      }
    }
    const std::string& delivered = trial.streamed ? streamed : report;
    if (trial.streamed) {
      EXPECT_TRUE(report.empty());
    }
    if (tablesFail) {
      EXPECT_EQ(error, "pair " + std::to_string(*firstTableError));
      EXPECT_TRUE(expected.starts_with(delivered));
      if (trial.workers == 1) {
        EXPECT_EQ(seen.started, *firstTableError);
      }
      continue;
    }
    EXPECT_EQ(error, "");
    EXPECT_EQ(delivered, expected);
    if (!trial.scores) continue;
    if (!trial.scoreErrors.empty()) {
      EXPECT_FALSE(scores.has_value());
      EXPECT_EQ(scoreError, "line pair " + std::to_string(*trial.scoreErrors.begin() + 1) +
                                " cannot be scored: " + kScoreError.what());
      if (trial.workers == 1) {
        EXPECT_EQ(seen.scored, *trial.scoreErrors.begin());
      }
      continue;
    }
    ASSERT_TRUE(scores.has_value());
    EXPECT_EQ(scoreError, "");
    ASSERT_EQ(scores->pairs.size(), trial.pairs);
    for (std::size_t pair = 0; pair < trial.pairs; ++pair) {
      EXPECT_EQ(scores->pairs[pair].source, std::to_string(pair));
    }
    EXPECT_EQ(scores->totals.pairs, trial.pairs);
  }
}

}  // namespace
}  // namespace sorowa
