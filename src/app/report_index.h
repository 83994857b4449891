#pragma once

#include <QString>
#include <QVector>
#include <string_view>

namespace sorowa {

// Where the line pairs of a report file are, found from its bytes: in the tables, every pair
// ends with the separator "<hr><br>"; on a review page every pair is one row of the pairs'
// table, ending in "</tr>\n" (src/compare/review_page.h). User text, always escaped, can
// contain neither. The report file itself is not changed; the index only lets the window
// show a big report part by part and know which pairs hold a change.
class ReportIndex {
 public:
  // Reads the file. An unreadable file gives an empty index with ok() false. For the pairs
  // bigger than tablesOfPairsOver bytes (none when negative), it also finds where their
  // tables end, so that such a pair can be shown a few tables at a time.
  static ReportIndex Build(const QString& path, qint64 tablesOfPairsOver = -1);

  bool ok() const { return ok_; }
  qint64 fileSize() const { return fileSize_; }
  int pairCount() const { return static_cast<int>(pairEnds_.size()); }
  // Whether the file is a review page rather than the tables.
  bool isReview() const { return review_; }
  // The head (up to and including "<body>", on a review page up to the first row) and the
  // foot ("</body></html>", on a review page from the end of the last row).
  qint64 headEnd() const { return headEnd_; }
  qint64 footStart() const { return footStart_; }
  // Byte range of pair i (from 0), separator included.
  qint64 pairStart(int i) const { return i == 0 ? headEnd_ : pairEnds_[i - 1]; }
  qint64 pairEnd(int i) const { return pairEnds_[i]; }
  // Whether any cell of pair i is other than "same".
  bool pairChanged(int i) const { return changed_[i]; }
  // The pair whose bytes hold offset; pairCount() past the last pair.
  int PairAt(qint64 offset) const;
  // Where each table of pair i but the last ends (after its "<br>"), when Build was asked to
  // find them for that pair; empty otherwise. The last table ends with the pair.
  QVector<qint64> TableEnds(int i) const;

 private:
  // Reads the rows of a review page; false, leaving the index as it was, for the tables.
  bool BuildReview(std::string_view bytes);

  bool ok_ = false;
  bool review_ = false;
  qint64 fileSize_ = 0;
  qint64 headEnd_ = 0;
  qint64 footStart_ = 0;
  QVector<qint64> pairEnds_;
  QVector<bool> changed_;
  QVector<qint64> tableEnds_;  // of the pairs asked for, in file order
};

}  // namespace sorowa
