#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QWebEngineFindTextResult;

namespace sorowa {

class ReportView;

// The bar over the report for finding text in it: the browser's own search, forwards and
// backwards, with the number of matches in the page shown.
class FindBar : public QWidget {
  Q_OBJECT

 public:
  explicit FindBar(ReportView& view, QWidget* parent = nullptr);

  // Shows the bar and puts the caret into its field.
  void Open();
  void Close();
  void FindNext() { Find(false); }
  void FindPrevious() { Find(true); }
  QString MatchText() const;

 private:
  void Find(bool backward);
  void ShowResult(const QWebEngineFindTextResult& result);

  ReportView& view_;
  QLineEdit* field_ = nullptr;
  QLabel* matches_ = nullptr;
};

}  // namespace sorowa
