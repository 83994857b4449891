#include "app/pair_list.h"

#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>

#include "app/report_index.h"

namespace sorowa {
namespace {

// Takes the editor's blocks in order, one per compared line.
class BlockWalker {
 public:
  explicit BlockWalker(const QTextDocument& document) : block_(document.begin()) {}

  // The lines of side joined, as the comparison joined them; false when the blocks run out
  // or the line numbers do not go up (a moved pair's Source lines stand elsewhere).
  bool Take(const PairSide& side, QString& text) {
    text.clear();
    if (side.count == 0) return true;
    if (side.first <= lastLine_) return false;
    for (std::size_t k = 0; k < side.count; ++k) {
      if (!block_.isValid()) return false;
      text += block_.text();
      block_ = block_.next();
    }
    lastLine_ = side.last;
    return true;
  }

 private:
  QTextBlock block_;
  std::size_t lastLine_ = 0;
};

// After a Compare an editor holds its lines each followed by a line break: one block per
// line and an empty one at the end.
bool HoldsComparedLines(const QTextDocument& document, const SideSummary& side) {
  return static_cast<std::size_t>(document.blockCount()) == side.lines + 1 &&
         document.lastBlock().length() == 1;
}

bool MarkChangesFromTexts(std::vector<PairRow>& rows, const CompareResult& result,
                          const QTextDocument& source, const QTextDocument& target) {
  if (!HoldsComparedLines(source, result.source) || !HoldsComparedLines(target, result.target)) {
    return false;
  }
  BlockWalker sourceBlocks(source);
  BlockWalker targetBlocks(target);
  QString sourceText;
  QString targetText;
  std::vector<bool> changed(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!sourceBlocks.Take(rows[i].source, sourceText) ||
        !targetBlocks.Take(rows[i].target, targetText)) {
      return false;
    }
    changed[i] = sourceText != targetText;
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].state == PairState::Identical && changed[i]) rows[i].state = PairState::Changed;
  }
  return true;
}

// The scores of the report's pairs: they come first, in report order (the surplus lines of
// position mode follow them), and are taken only when each pair finds its own, side for side.
const std::vector<PairScore>* ScoresOfPairs(const CompareResult& result) {
  if (!result.scores || result.scores->pairs.size() < result.pairs.size()) return nullptr;
  for (std::size_t i = 0; i < result.pairs.size(); ++i) {
    const PairScore& score = result.scores->pairs[i];
    if (score.source != FormatPairSide(result.pairs[i].source) ||
        score.target != FormatPairSide(result.pairs[i].target)) {
      return nullptr;
    }
  }
  return &result.scores->pairs;
}

PairState StateOf(PairStatus status) {
  switch (status) {
    case PairStatus::Identical:
      return PairState::Identical;
    case PairStatus::Changed:
      return PairState::Changed;
    case PairStatus::SourceOnly:
      return PairState::SourceOnly;
    case PairStatus::TargetOnly:
      return PairState::TargetOnly;
  }
  return PairState::Changed;
}

QString StateText(PairState state, bool moved) {
  if (moved)
    return state == PairState::Identical ? QStringLiteral("移動・同一")
                                         : QStringLiteral("移動・相違");
  switch (state) {
    case PairState::Identical:
      return QStringLiteral("同一");
    case PairState::Changed:
      return QStringLiteral("相違");
    case PairState::SourceOnly:
      return QStringLiteral("ソースのみ");
    case PairState::TargetOnly:
      return QStringLiteral("ターゲットのみ");
  }
  return QString();
}

}  // namespace

std::vector<PairRow> PairRows(const CompareResult& result, const QTextDocument& source,
                              const QTextDocument& target, const ReportIndex& index) {
  std::vector<PairRow> rows;
  rows.reserve(result.pairs.size());
  const std::vector<PairScore>* scores = ScoresOfPairs(result);
  for (std::size_t i = 0; i < result.pairs.size(); ++i) {
    const PairRecord& record = result.pairs[i];
    PairRow row;
    row.source = record.source;
    row.target = record.target;
    row.moved = record.moved;
    if (record.source.empty()) row.state = PairState::TargetOnly;
    if (record.target.empty()) row.state = PairState::SourceOnly;
    if (scores != nullptr) {
      const PairScore& score = (*scores)[i];
      row.state = StateOf(score.status);
      row.errorRate = score.chars.rate();
    }
    rows.push_back(row);
  }
  // The scores compared the texts as the report shows them, normalised where the options
  // said so; the editors hold them as typed.
  if (scores == nullptr && !MarkChangesFromTexts(rows, result, source, target)) {
    // Unknown pairs count as changed: the next-change keys had better stop at them.
    const bool indexed = static_cast<std::size_t>(index.pairCount()) == rows.size();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].state == PairState::Identical &&
          (!indexed || index.pairChanged(static_cast<int>(i)))) {
        rows[i].state = PairState::Changed;
      }
    }
  }
  return rows;
}

void PairListModel::SetRows(std::vector<PairRow> rows) { Reset(std::move(rows), true); }

void PairListModel::Reset(std::vector<PairRow> rows, bool hasLines) {
  beginResetModel();
  rows_ = std::move(rows);
  hasLines_ = hasLines;
  hasErrorRates_ = false;
  hasPages_ = false;
  largestLine_ = 0;
  for (const PairRow& row : rows_) {
    hasErrorRates_ = hasErrorRates_ || row.errorRate.has_value();
    hasPages_ = hasPages_ || row.sourcePage != 0 || row.targetPage != 0;
    for (const PairSide* side : {&row.source, &row.target}) {
      if (side->count > 0) largestLine_ = std::max(largestLine_, side->last);
    }
  }
  endResetModel();
}

void PairListModel::SetPairs(const ReportIndex& index) {
  std::vector<PairRow> rows(static_cast<std::size_t>(index.pairCount()));
  for (int i = 0; i < index.pairCount(); ++i) {
    if (index.pairChanged(i)) rows[static_cast<std::size_t>(i)].state = PairState::Changed;
  }
  Reset(std::move(rows), false);
}

bool PairListModel::IsChange(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size() &&
         rows_[static_cast<std::size_t>(row)].state != PairState::Identical;
}

int PairListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PairListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant PairListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size()) return QVariant();
  const PairRow& row = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case kSource:
        case kTarget:
          if (!hasLines_) return QString();
          {
            const bool source = index.column() == kSource;
            QString text = QString::fromStdString(FormatPairSide(source ? row.source : row.target));
            const std::uint32_t page = source ? row.sourcePage : row.targetPage;
            if (page != 0) text += QStringLiteral(" (p.%1)").arg(page);
            return text;
          }
        case kState:
          return StateText(row.state, row.moved);
        case kErrorRate:
          if (!row.errorRate) return QString();
          return QStringLiteral("%1%").arg(*row.errorRate * 100.0, 0, 'f', 1);
      }
      return QVariant();
    case Qt::BackgroundRole:
      // The report's colours: partial for a changed pair, different for a lone line.
      if (index.column() != kState) return QVariant();
      if (row.state == PairState::Changed) return QBrush(QColor(0xff, 0xcc, 0xcc));
      if (row.state != PairState::Identical) return QBrush(QColor(0xef, 0x77, 0x74));
      return QVariant();
    case Qt::TextAlignmentRole:
      return int((index.column() == kState ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    case kSortRole:
      return row.errorRate.value_or(-1.0);
  }
  return QVariant();
}

QVariant PairListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return QVariant();
  if (role == Qt::DisplayRole) {
    switch (section) {
      case kSource:
        return QStringLiteral("ソース");
      case kTarget:
        return QStringLiteral("ターゲット");
      case kState:
        return QStringLiteral("状態");
      case kErrorRate:
        return QStringLiteral("文字誤り率");
    }
  }
  if (role == Qt::ToolTipRole && (section == kSource || section == kTarget)) {
    return QStringLiteral(
        "ファイルの行番号（空行も数えます）。12+13 は二行を、12-40 は 12 行目から 40 行目までの"
        "行をつないで比較した組（間の空行は組に入りません）。状態が「移動」の組は、相手の行が"
        "離れた位置にあります。(p.3) は文書のページ（つないだ組では最初の行のページ）");
  }
  return QVariant();
}

void PairListFilter::SetChangedOnly(bool changedOnly) {
  if (changedOnly == changedOnly_) return;
  changedOnly_ = changedOnly;
  invalidateRowsFilter();
}

void PairListFilter::SetOrder(PairOrder order) {
  // Column -1 is the model's own order, that of the report.
  sort(order == PairOrder::ErrorRate ? PairListModel::kErrorRate : -1, Qt::DescendingOrder);
}

bool PairListFilter::filterAcceptsRow(int row, const QModelIndex& parent) const {
  if (!changedOnly_ || parent.isValid()) return true;
  const auto* pairs = static_cast<const PairListModel*>(sourceModel());
  return pairs->IsChange(row);
}

bool PairListFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const double a = left.data(PairListModel::kSortRole).toDouble();
  const double b = right.data(PairListModel::kSortRole).toDouble();
  // Descending order puts the greater first; among equal rates the later pair counts as
  // the greater, so that report order stays.
  if (a != b) return a < b;
  return left.row() > right.row();
}

PairList::PairList(QWidget* parent) : QTableView(parent) {
  filter_.setSourceModel(&model_);
  setModel(&filter_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  // Fixed sizes from the font: measuring every row of a long report would take long.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setStretchLastSection(true);
  setWordWrap(false);
  FitColumns();
  connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
    currentPair_ = -1;
    FitColumns();
  });
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (selecting_ || !current.isValid()) return;
            currentPair_ = PairAtRow(current.row());
            emit PairChosen(currentPair_);
          });
}

void PairList::FitColumns() {
  const QFontMetrics metrics = fontMetrics();
  const QString digits(std::max(5, static_cast<int>(QString::number(model_.LargestLine()).size())),
                       QLatin1Char('0'));
  const QString pages = model_.HasPages() ? QStringLiteral(" (p.0000)") : QString();
  const int lines = metrics.horizontalAdvance(digits + QLatin1Char('+') + digits + pages) + 12;
  for (int column : {PairListModel::kSource, PairListModel::kTarget}) {
    horizontalHeader()->resizeSection(
        column,
        std::max(lines, metrics.horizontalAdvance(
                            model_.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()) +
                            16));
  }
  horizontalHeader()->resizeSection(
      PairListModel::kState, metrics.horizontalAdvance(QStringLiteral("ターゲットのみ")) + 12);
  setColumnHidden(PairListModel::kErrorRate, !model_.HasErrorRates());
  if (model_.HasErrorRates()) {
    horizontalHeader()->resizeSection(PairListModel::kErrorRate, ErrorRateWidth());
  }
}

int PairList::ErrorRateWidth() const {
  return fontMetrics().horizontalAdvance(
             model_.headerData(PairListModel::kErrorRate, Qt::Horizontal, Qt::DisplayRole)
                 .toString()) +
         16;
}

int PairList::PreferredWidth() const {
  // The error rate column counts even while hidden: every Compare of the window brings it.
  int width = ErrorRateWidth();
  for (int column : {PairListModel::kSource, PairListModel::kTarget, PairListModel::kState}) {
    width += horizontalHeader()->sectionSize(column);
  }
  return width + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * frameWidth();
}

void PairList::SetChangedOnly(bool changedOnly) {
  // Hiding the current row moves the current index to a neighbour, which is no choice of
  // the user's.
  selecting_ = true;
  filter_.SetChangedOnly(changedOnly);
  selecting_ = false;
  SelectPair(currentPair_);
}

void PairList::SetOrder(PairOrder order) {
  selecting_ = true;
  filter_.SetOrder(order);
  selecting_ = false;
  SelectPair(currentPair_);
}

void PairList::SelectPair(int pair) {
  if (pair < 0 || pair >= model_.rowCount()) return;
  currentPair_ = pair;
  selecting_ = true;
  const int row = RowOfPair(pair);
  if (row < 0) {
    selectionModel()->clear();
  } else {
    const QModelIndex index = filter_.index(row, 0);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
  }
  selecting_ = false;
}

int PairList::PairAtRow(int row) const { return filter_.mapToSource(filter_.index(row, 0)).row(); }

int PairList::RowOfPair(int pair) const {
  const QModelIndex index = filter_.mapFromSource(model_.index(pair, 0));
  return index.isValid() ? index.row() : -1;
}

}  // namespace sorowa
