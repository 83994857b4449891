#include "app/pair_list.h"

#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <QStyle>

#include "app/report_index.h"

namespace sorowa {

void PairListModel::SetPairs(const ReportIndex& index) {
  beginResetModel();
  changed_.clear();
  changed_.reserve(index.pairCount());
  for (int i = 0; i < index.pairCount(); ++i) changed_.push_back(index.pairChanged(i));
  endResetModel();
}

void PairListModel::Clear() {
  beginResetModel();
  changed_.clear();
  endResetModel();
}

int PairListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(changed_.size());
}

int PairListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant PairListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= changed_.size()) return QVariant();
  const bool changed = changed_[index.row()];
  if (role == Qt::DisplayRole) {
    if (index.column() == kPair) return index.row() + 1;
    return changed ? QStringLiteral("相違") : QStringLiteral("同一");
  }
  if (role == Qt::BackgroundRole && changed && index.column() == kState) {
    return QBrush(QColor(0xff, 0xcc, 0xcc));  // the report's colour for a partial match
  }
  if (role == Qt::TextAlignmentRole && index.column() == kPair) {
    return int(Qt::AlignRight | Qt::AlignVCenter);
  }
  return QVariant();
}

QVariant PairListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  return section == kPair ? QStringLiteral("組") : QStringLiteral("状態");
}

PairList::PairList(QWidget* parent) : QTableView(parent) {
  setModel(&model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  // Fixed widths from the font: measuring every row of a long report would take long.
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->resizeSection(PairListModel::kPair,
                                    fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
  horizontalHeader()->setStretchLastSection(true);
  setWordWrap(false);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (!selecting_ && current.isValid()) emit PairChosen(current.row());
          });
}

int PairList::PreferredWidth() const {
  return horizontalHeader()->sectionSize(PairListModel::kPair) +
         fontMetrics().horizontalAdvance(QStringLiteral("相違相違")) + 12 +
         style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * frameWidth();
}

void PairList::SelectPair(int pair) {
  if (pair < 0 || pair >= model_.rowCount()) return;
  selecting_ = true;
  const QModelIndex row = model_.index(pair, 0);
  selectionModel()->setCurrentIndex(
      row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(row);
  selecting_ = false;
}

}  // namespace sorowa
