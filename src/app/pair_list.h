#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <QVector>

namespace sorowa {

class ReportIndex;

// One row per line pair of the shown report. Today it knows each pair's number and whether
// it holds a change; the line numbers of each side and the scores come in as further columns
// when the comparison hands them over.
class PairListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kPair, kState, kColumnCount };

  using QAbstractTableModel::QAbstractTableModel;

  void SetPairs(const ReportIndex& index);
  void Clear();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QVector<bool> changed_;
};

// The pane beside the report that lists the pairs; choosing a row moves the report there.
class PairList : public QTableView {
  Q_OBJECT

 public:
  explicit PairList(QWidget* parent = nullptr);

  PairListModel& Model() { return model_; }
  // A width that shows every column whole.
  int PreferredWidth() const;
  // Marks the row of pair without moving the report again.
  void SelectPair(int pair);

 signals:
  void PairChosen(int pair);

 private:
  PairListModel model_;
  bool selecting_ = false;
};

}  // namespace sorowa
