#include "app/report_index.h"

#include <QByteArrayView>
#include <QFile>
#include <algorithm>
#include <string_view>

namespace sorowa {

ReportIndex ReportIndex::Build(const QString& path) {
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

  constexpr std::string_view kBody = "<body>";
  constexpr std::string_view kSeparator = "<hr><br>";
  constexpr std::string_view kFoot = "</body></html>";
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
    from = end;
  }
  index.ok_ = true;
  return index;
}

int ReportIndex::PairAt(qint64 offset) const {
  return static_cast<int>(std::upper_bound(pairEnds_.begin(), pairEnds_.end(), offset) -
                          pairEnds_.begin());
}

}  // namespace sorowa
