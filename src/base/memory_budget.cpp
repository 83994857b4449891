#include "base/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <limits>

namespace sorowa {
namespace {

std::atomic<std::size_t> overrideLimit{0};

// One decimal, so that two figures near each other never read as the same number.
std::string TenthsOfMebibytes(std::size_t bytes) {
  const std::size_t tenths = bytes / ((std::size_t{1} << 20) / 10);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MiB";
}

std::string Megabytes(std::size_t bytes) {
  if (bytes == std::numeric_limits<std::size_t>::max()) return "more than the address space";
  if (bytes < (std::size_t{1} << 20)) return std::to_string(bytes) + " bytes";
  return TenthsOfMebibytes(bytes);
}

// " and about N s" of work, rounded to two significant figures; nothing when unknown.
std::string Duration(double seconds) {
  if (!(seconds >= 0)) return "";
  if (seconds < 1) return " and well under a second";
  double rounded = seconds;
  double scale = 1;
  while (rounded >= 100) {
    rounded /= 10;
    scale *= 10;
  }
  const auto figure = static_cast<long long>(rounded + 0.5) * static_cast<long long>(scale);
  return " and about " + std::to_string(figure) + " s";
}

std::size_t DefaultLimit() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  std::size_t physical = (pages > 0 && pageSize > 0)
                             ? static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize)
                             : std::size_t{1} << 32;
  std::size_t limit = physical / 2;
  rlimit addressSpace{};
  if (getrlimit(RLIMIT_AS, &addressSpace) == 0 && addressSpace.rlim_cur != RLIM_INFINITY) {
    limit = std::min<std::size_t>(limit, addressSpace.rlim_cur / 2);
  }
  return limit;
}

}  // namespace

namespace {

ErrorDetails TableDetails(std::size_t sourceLength, std::size_t targetLength, std::size_t bytes,
                          std::size_t limit, double seconds) {
  ErrorDetails details;
  details.kind = ErrorKind::TableTooLarge;
  details.size = bytes;
  details.limit = limit;
  details.sourceLength = sourceLength;
  details.targetLength = targetLength;
  details.seconds = seconds;
  return details;
}

}  // namespace

TableTooLargeError::TableTooLargeError(std::size_t sourceLength, std::size_t targetLength,
                                       std::size_t bytes, std::size_t limit, double seconds)
    : EngineError(TableDetails(sourceLength, targetLength, bytes, limit, seconds),
                  "a line pair of " + std::to_string(sourceLength) + " and " +
                      std::to_string(targetLength) +
                      " elements is too long to align: its table would need " + Megabytes(bytes) +
                      Duration(seconds) + ", over the memory limit of " + Megabytes(limit) +
                      "; split the long lines or turn off the character DP table") {}

namespace {

ErrorDetails WithPair(ErrorDetails details, std::size_t linePair) {
  details.pair = linePair;
  return details;
}

}  // namespace

TableTooLargeError::TableTooLargeError(const TableTooLargeError& inner, std::size_t linePair)
    : EngineError(WithPair(inner.details(), linePair),
                  "line pair " + std::to_string(linePair) + ": " + inner.what()) {}

ScoreTooLargeError::ScoreTooLargeError(std::size_t referenceLength, std::size_t hypothesisLength,
                                       std::size_t bytes, std::size_t limit)
    : std::runtime_error("a line pair of " + std::to_string(referenceLength) + " and " +
                         std::to_string(hypothesisLength) +
                         " elements is too long to score: its edit script would need " +
                         TenthsOfMebibytes(bytes) + ", over the memory limit of " +
                         TenthsOfMebibytes(limit) + "; split the long lines") {}

std::size_t DpMemoryLimit() {
  const std::size_t forced = overrideLimit.load(std::memory_order_relaxed);
  if (forced != 0) return forced;
  static const std::size_t defaultLimit = DefaultLimit();
  return defaultLimit;
}

void SetDpMemoryLimit(std::size_t bytes) { overrideLimit.store(bytes, std::memory_order_relaxed); }

void CheckDpMemory(std::size_t sourceLength, std::size_t targetLength, std::size_t bytes,
                   double seconds) {
  const std::size_t limit = DpMemoryLimit();
  if (bytes > limit) throw TableTooLargeError(sourceLength, targetLength, bytes, limit, seconds);
}

}  // namespace sorowa
