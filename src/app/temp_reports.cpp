#include "app/temp_reports.h"

#include <QFile>

namespace sorowa {

void TempReports::Adopt(const QString& path) {
  if (path.isEmpty() || paths_.contains(path)) return;
  paths_.push_back(path);
  RemoveUnused();
}

void TempReports::Hold(const QString& path) {
  if (paths_.contains(path)) ++holds_[path];
}

void TempReports::Release(const QString& path) {
  const auto held = holds_.find(path);
  if (held == holds_.end()) return;
  if (--held.value() == 0) holds_.erase(held);
  RemoveUnused();
}

void TempReports::RemoveAll() {
  for (const QString& path : paths_) QFile::remove(path);
  paths_.clear();
  holds_.clear();
}

void TempReports::RemoveUnused() {
  for (qsizetype i = 0; i + 1 < paths_.size();) {
    if (holds_.contains(paths_[i])) {
      ++i;
      continue;
    }
    // A file already gone (removed by hand, say) is no matter.
    QFile::remove(paths_[i]);
    paths_.removeAt(i);
  }
}

}  // namespace sorowa
