#include "compare/report_stream.h"

#include <cstddef>

#include "compare/report_document.h"

namespace sorowa {
namespace {

constexpr std::size_t kDirectBytes = std::size_t{16} << 10;
constexpr std::size_t kWriteBytes = std::size_t{64} << 10;

}  // namespace

ReportStream::ReportStream(ReportWriter& writer, ReportKind kind)
    : writer_(writer), foot_(kind == ReportKind::Tables) {
  if (kind == ReportKind::Tables) pending_ = ReportHead();
}

void ReportStream::Append(std::string_view bytes) {
  if (bytes.size() < kDirectBytes) {
    pending_ += bytes;
    if (pending_.size() >= kWriteBytes) {
      writer_.Append(pending_);
      pending_.clear();
    }
    return;
  }
  if (!pending_.empty()) {
    writer_.Append(pending_);
    pending_.clear();
  }
  writer_.Append(bytes);
}

void ReportStream::Finish() {
  if (foot_) pending_ += ReportFoot();
  writer_.Append(pending_);
  pending_.clear();
}

}  // namespace sorowa
