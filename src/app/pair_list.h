#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <optional>
#include <vector>

#include "compare/compare_result.h"

class QTextDocument;

namespace sorowa {

class ReportIndex;

enum class PairState : quint8 { Identical, Changed, SourceOnly, TargetOnly };

// One row of the pair list: the lines of each side, what became of them (and whether they
// moved) and, when the comparison scored the pair, its character error rate.
struct PairRow {
  PairSide source;
  PairSide target;
  bool moved = false;
  PairState state = PairState::Identical;
  std::optional<double> errorRate;
  // The page of each side's first line, when its text came from a document with pages.
  std::uint32_t sourcePage = 0;
  std::uint32_t targetPage = 0;
};

// The rows for a Compare's pairs. With scores, each pair's state and character error rate
// come from its score, which saw the texts as the report shows them (normalised when asked).
// Without them, identical and changed come from the compared texts: after a Compare the
// editors hold the compared lines, one block each and in order, and the pairs take them in
// that order, so the blocks are walked once. When the pairs and the editors do not agree (an
// editor changed since), the report's index decides instead: a pair is changed when one of
// its cells is not "same".
std::vector<PairRow> PairRows(const CompareResult& result, const QTextDocument& source,
                              const QTextDocument& target, const ReportIndex& index);

// One row per line pair of the shown report: the line numbers of each side as the pairs file
// writes them, a mark for identical, changed or one side only (移動 before it for a moved
// pair), and the character error rate
// when the pairs carry scores (its column stays hidden otherwise). Built for tens of
// thousands of rows: the texts are made when a row is drawn.
class PairListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kSource, kTarget, kState, kErrorRate, kColumnCount };
  // The row's error rate as a number, -1 without one: what the list sorts by.
  static constexpr int kSortRole = Qt::UserRole;

  using QAbstractTableModel::QAbstractTableModel;

  void SetRows(std::vector<PairRow> rows);
  // Only what the report file tells: which pairs hold a change, without line numbers.
  void SetPairs(const ReportIndex& index);
  void Clear() { SetRows({}); }

  bool HasErrorRates() const { return hasErrorRates_; }
  // The largest line number of either side, for the columns' widths.
  std::size_t LargestLine() const { return largestLine_; }
  // Whether any side names its page.
  bool HasPages() const { return hasPages_; }
  // Whether the row's lines differ or stand alone.
  bool IsChange(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  void Reset(std::vector<PairRow> rows, bool hasLines);

  std::vector<PairRow> rows_;
  bool hasLines_ = false;
  bool hasErrorRates_ = false;
  bool hasPages_ = false;
  std::size_t largestLine_ = 0;
};

// The order of the pair list's rows.
enum class PairOrder { Report, ErrorRate };

// What the pair list shows of the model: every pair or only those that differ or stand
// alone, in report order or by error rate, highest first (pairs without a rate last; equal
// rates keep report order).
class PairListFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

  void SetChangedOnly(bool changedOnly);
  void SetOrder(PairOrder order);

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  bool changedOnly_ = false;
};

// The pane beside the report that lists the pairs; choosing a row moves the report there.
// Rows are named by their pair (the model's row) whatever the filter shows.
class PairList : public QTableView {
  Q_OBJECT

 public:
  explicit PairList(QWidget* parent = nullptr);

  PairListModel& Model() { return model_; }
  // Shows only the changes, or every pair; in report order or by error rate. The pair
  // chosen stays chosen where it is still shown, and the report stays where it is.
  void SetChangedOnly(bool changedOnly);
  void SetOrder(PairOrder order);
  // A width that shows every column whole for line numbers up to five digits, the error
  // rate's included.
  int PreferredWidth() const;
  // Marks the row of pair without moving the report again; none when the filter hides it.
  void SelectPair(int pair);
  // The pair shown in a row of the list, and the list's row of a pair (-1 when hidden).
  int PairAtRow(int row) const;
  int RowOfPair(int pair) const;

 signals:
  void PairChosen(int pair);

 private:
  void FitColumns();
  int ErrorRateWidth() const;

  PairListModel model_;
  PairListFilter filter_;
  bool selecting_ = false;
  int currentPair_ = -1;  // the pair last chosen or marked
};

}  // namespace sorowa
