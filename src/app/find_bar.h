#pragma once

#include <QWidget>
#include <optional>

class QLabel;
class QLineEdit;

namespace sorowa {

class ReportView;

// The bar over the report for finding text in it, forwards and backwards, with the number of
// matches in the page shown; the match found is selected. Text split over the cells of a row
// is found too. A big report shown in parts is
// searched part by part: the count is that of the part shown, and going on past its last
// (or first) match moves to the next (or previous) part that holds the text.
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
  void FindInPage(const QString& text, bool backward);
  // Runs the page's search; an empty text clears it.
  void RunFind(const QString& text, bool backward);
  void ShowResult(int activeMatch, int matchCount);
  void OnPageLoaded(int page, bool ok);
  // Whether a part this bar asked for is still on its way.
  bool WaitingForPage() const;

  ReportView& view_;
  QLineEdit* field_ = nullptr;
  QLabel* matches_ = nullptr;
  // The last result in the part shown, and for which text.
  QString resultText_;
  int activeMatch_ = 0;
  int matchCount_ = 0;
  bool noOtherPart_ = false;  // no other part holds the text
  // A search to make once the part it moved to has loaded: backward or not, and the view's
  // request it waits for.
  std::optional<bool> pendingBackward_;
  quint64 pendingRequest_ = 0;
};

}  // namespace sorowa
