#pragma once

#include <QObject>
#include <QVariant>
#include <functional>

namespace sorowa {

class ReportView;

// Moves the report view to a line pair: to its top and, when the pair has a change, far
// enough to the right that its first changed cell shows. Pairs are found in the loaded page
// by script: the n-th pair of a page begins after its (n-1)-th "<hr>", or on a review page
// is the n-th row of its pairs' table. Which pairs hold a
// change is known for the whole report (the view's index of the report file, or the change
// test given), so a big report shown in parts moves from part to part.
class PairNavigator : public QObject {
  Q_OBJECT

 public:
  explicit PairNavigator(ReportView& view, QObject* parent = nullptr);

  // Pairs counted from 0 over the whole report.
  void ShowPair(int pair);
  void NextChange() { Step(+1); }
  void PreviousChange() { Step(-1); }
  int CurrentPair() const { return current_; }
  // Which pairs the next and previous change keys stop at; without one, the pairs with a
  // cell other than "same".
  void SetChangeTest(std::function<bool(int)> isChange) { isChange_ = std::move(isChange); }

 signals:
  void PairShown(int pair);
  // No changed pair lies further in that direction (+1 after, -1 before).
  void NoFurtherChange(int direction);

 private:
  void Step(int direction);
  void StepFrom(int direction, int pairAtTop, double scrollY);
  void StepFromPair(int direction, int from);
  void ScrollToLocalPair(int pair);
  void OnPageLoaded(int page, bool ok);

  bool IsChange(int pair) const;

  ReportView& view_;
  std::function<bool(int)> isChange_;
  int current_ = -1;  // last pair moved to; -1 since the report was loaded
  double scrollYAfterMove_ = -1;
  int pending_ = -1;            // pair to move to once its part has loaded
  quint64 pendingRequest_ = 0;  // the view's request that pending_ waits for
};

}  // namespace sorowa
