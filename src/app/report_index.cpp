#include "app/report_index.h"

#include <QByteArrayView>
#include <QFile>
#include <algorithm>
#include <string_view>

namespace sorowa {

ReportIndex ReportIndex::Build(const QString& path, qint64 tablesOfPairsOver) {
  ReportIndex index;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return index;
  index.fileSize_ = file.size();
  const uchar* mapped = index.fileSize_ > 0 ? file.map(0, index.fileSize_) : nullptr;
  QByteArray readBytes;
  if (mapped == nullptr && index.fileSize_ > 0) {
    readBytes = file.readAll();
    if (readBytes.size() != index.fileSize_) return index;
  }
  const std::string_view bytes =
      mapped != nullptr
          ? std::string_view(reinterpret_cast<const char*>(mapped),
                             static_cast<std::size_t>(index.fileSize_))
          : std::string_view(readBytes.constData(), static_cast<std::size_t>(readBytes.size()));

  if (index.BuildReview(bytes)) return index;

  constexpr std::string_view kBody = "<body>";
  constexpr std::string_view kSeparator = "<hr><br>";
  constexpr std::string_view kFoot = "</body></html>";
  // Every table of a pair is followed by a line break; the user's text, always escaped,
  // never holds the tag.
  constexpr std::string_view kTableEnd = "</table>\n<br>";
  const std::size_t body = bytes.find(kBody);
  index.headEnd_ = body == std::string_view::npos ? 0 : static_cast<qint64>(body + kBody.size());
  index.footStart_ = bytes.ends_with(kFoot) ? static_cast<qint64>(bytes.size() - kFoot.size())
                                            : static_cast<qint64>(bytes.size());

  std::size_t from = static_cast<std::size_t>(index.headEnd_);
  for (;;) {
    const std::size_t at = bytes.find(kSeparator, from);
    if (at == std::string_view::npos) break;
    const std::size_t end = at + kSeparator.size();
    const std::string_view pair = bytes.substr(from, end - from);
    index.pairEnds_.push_back(static_cast<qint64>(end));
    index.changed_.push_back(pair.find("class=\"partial\"") != std::string_view::npos ||
                             pair.find("class=\"different\"") != std::string_view::npos);
    if (tablesOfPairsOver >= 0 && static_cast<qint64>(pair.size()) > tablesOfPairsOver) {
      for (std::size_t table = pair.find(kTableEnd); table != std::string_view::npos;
           table = pair.find(kTableEnd, table + kTableEnd.size())) {
        const std::size_t tableEnd = table + kTableEnd.size();
        if (tableEnd + kSeparator.size() < pair.size()) {
          index.tableEnds_.push_back(static_cast<qint64>(from + tableEnd));
        }
      }
    }
    from = end;
  }
  index.ok_ = true;
  return index;
}

bool ReportIndex::BuildReview(std::string_view bytes) {
  // The pairs' table of a review page, its rows each one line; the head's own tables come
  // before it.
  constexpr std::string_view kRows = "<table class=\"rv\">";
  constexpr std::string_view kBody = "<tbody>\n";
  constexpr std::string_view kRowEnd = "</tr>\n";
  constexpr std::string_view kIdentical = "class=\"i\"";
  if (!bytes.starts_with("<!DOCTYPE html>")) return false;
  const std::size_t table = bytes.find(kRows);
  const std::size_t body = table == std::string_view::npos ? table : bytes.find(kBody, table);
  if (body == std::string_view::npos) return false;
  review_ = true;
  headEnd_ = static_cast<qint64>(body + kBody.size());
  std::size_t from = body + kBody.size();
  for (;;) {
    if (!bytes.substr(from).starts_with("<tr id=\"p")) break;
    const std::size_t at = bytes.find(kRowEnd, from);
    if (at == std::string_view::npos) break;
    const std::size_t end = at + kRowEnd.size();
    const std::size_t start = bytes.find('>', from);
    pairEnds_.push_back(static_cast<qint64>(end));
    changed_.push_back(bytes.substr(from, start - from).find(kIdentical) == std::string_view::npos);
    from = end;
  }
  footStart_ = static_cast<qint64>(from);
  ok_ = true;
  return true;
}

int ReportIndex::PairAt(qint64 offset) const {
  return static_cast<int>(std::upper_bound(pairEnds_.begin(), pairEnds_.end(), offset) -
                          pairEnds_.begin());
}

QVector<qint64> ReportIndex::TableEnds(int i) const {
  const auto begin = std::upper_bound(tableEnds_.begin(), tableEnds_.end(), pairStart(i));
  const auto end = std::lower_bound(begin, tableEnds_.end(), pairEnd(i));
  return QVector<qint64>(begin, end);
}

}  // namespace sorowa
