#include "app/pair_navigator.h"

#include <QPointer>
#include <QVariantList>
#include <QWebEnginePage>

#include "app/report_view.h"

namespace sorowa {
namespace {

// The page's pair at the top of the window and the vertical scroll position.
const char kPairAtTop[] = R"JS((function () {
  const hrs = document.getElementsByTagName('hr');
  const y = window.scrollY;
  let lo = 0, hi = hrs.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (hrs[mid].getBoundingClientRect().bottom + y > y + 1) hi = mid; else lo = mid + 1;
  }
  return [Math.min(lo, Math.max(hrs.length - 1, 0)), y];
})())JS";

// Scrolls to the top of the page's pair %1 and, when its first changed cell lies beyond the
// right edge, to that cell.
const char kScrollToPair[] = R"JS((function (i) {
  const hrs = document.getElementsByTagName('hr');
  if (i >= hrs.length) {
    // Some tables of one big pair, without its end.
    window.scrollTo(0, 0);
    return 0;
  }
  const before = i > 0 ? hrs[i - 1] : null;
  const end = hrs[i];
  const top = before ? before.getBoundingClientRect().bottom + window.scrollY : 0;
  let cell = null;
  for (let n = before ? before.nextSibling : document.body.firstChild; n && n !== end;
       n = n.nextSibling) {
    if (n.nodeType !== 1) continue;
    cell = n.matches('.partial, .different') ? n : n.querySelector('.partial, .different');
    if (cell) break;
  }
  let x = 0;
  if (cell) {
    const r = cell.getBoundingClientRect();
    if (r.right + window.scrollX > window.innerWidth - 16) x = Math.max(0, r.left + window.scrollX - 80);
  }
  window.scrollTo(x, top);
  return window.scrollY;
})(%1))JS";

// The same two on a review page, whose pairs are the rows of its pairs' table: they wrap
// and never reach beyond the right edge.
const char kReviewPairAtTop[] = R"JS((function () {
  const rows = document.querySelectorAll('table.rv > tbody > tr');
  const y = window.scrollY;
  let lo = 0, hi = rows.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (rows[mid].getBoundingClientRect().bottom > 1) hi = mid; else lo = mid + 1;
  }
  return [Math.min(lo, Math.max(rows.length - 1, 0)), y];
})())JS";

const char kReviewScrollToPair[] = R"JS((function (i) {
  const rows = document.querySelectorAll('table.rv > tbody > tr');
  if (i >= rows.length) return -1;
  window.scrollTo(0, rows[i].getBoundingClientRect().top + window.scrollY);
  return window.scrollY;
})(%1))JS";

}  // namespace

PairNavigator::PairNavigator(ReportView& view, QObject* parent) : QObject(parent), view_(view) {
  connect(&view_, &ReportView::PageLoaded, this, &PairNavigator::OnPageLoaded);
}

void PairNavigator::OnPageLoaded(int page, bool ok) {
  // A pair waits for its part only as long as nothing was asked for since.
  const bool mine = pending_ >= 0 && pendingRequest_ == view_.RequestSerial();
  const int pair = pending_;
  pending_ = -1;
  // A new report, or a part the user chose: nothing moved to yet in it.
  current_ = -1;
  scrollYAfterMove_ = -1;
  if (!ok || !mine) return;
  current_ = pair;
  ScrollToLocalPair(pair - view_.PageFirstPair(page));
  emit PairShown(pair);
}

void PairNavigator::ShowPair(int pair) {
  if (!view_.HasReport() || pair < 0 || pair >= view_.Index().pairCount()) return;
  const int page = view_.PageOfPair(pair);
  if (view_.IsLoading() || page != view_.ShownPage()) {
    // Moved to once its part is on screen, unless something else is asked for first. A
    // part already on its way is not loaded again.
    view_.ShowPage(page);
    pending_ = pair;
    pendingRequest_ = view_.RequestSerial();
    return;
  }
  current_ = pair;
  ScrollToLocalPair(pair - view_.PageFirstPair(page));
  emit PairShown(pair);
}

void PairNavigator::ScrollToLocalPair(int pair) {
  const quint64 serial = view_.RequestSerial();
  const char* script = view_.Index().isReview() ? kReviewScrollToPair : kScrollToPair;
  // The page answers every script, also while it is destroyed, which may be after this
  // navigator; such an answer holds nothing.
  const QPointer<PairNavigator> self(this);
  view_.page()->runJavaScript(QString::fromLatin1(script).arg(pair),
                              [self, serial](const QVariant& y) {
                                if (self && y.isValid() && serial == self->view_.RequestSerial())
                                  self->scrollYAfterMove_ = y.toDouble();
                              });
}

void PairNavigator::Step(int direction) {
  if (!view_.HasReport() || view_.Index().pairCount() == 0) return;
  if (view_.IsLoading() || view_.ShownPage() < 0) {
    // The page cannot say where the user is: go on from the pair on its way, or from the
    // top of the part asked for.
    const bool waiting = pending_ >= 0 && pendingRequest_ == view_.RequestSerial();
    const int first = view_.PageFirstPair(view_.RequestedPage());
    StepFromPair(direction, waiting ? pending_ : direction > 0 ? first - 1 : first);
    return;
  }
  const quint64 serial = view_.RequestSerial();
  const QPointer<PairNavigator> self(this);
  view_.page()->runJavaScript(
      QString::fromLatin1(view_.Index().isReview() ? kReviewPairAtTop : kPairAtTop),
      [self, direction, serial](const QVariant& v) {
        const QVariantList result = v.toList();
        // An answer about a page that something asked since has replaced is no answer.
        if (!self || result.size() != 2 || serial != self->view_.RequestSerial()) return;
        self->StepFrom(direction,
                       self->view_.PageFirstPair(self->view_.ShownPage()) + result[0].toInt(),
                       result[1].toDouble());
      });
}

bool PairNavigator::IsChange(int pair) const {
  return isChange_ ? isChange_(pair) : view_.Index().pairChanged(pair);
}

void PairNavigator::StepFrom(int direction, int pairAtTop, double scrollY) {
  // Where the user is: the pair last moved to while the view has not been scrolled since,
  // otherwise the pair at the top of the window.
  int from = pairAtTop;
  if (current_ >= 0 && scrollY == scrollYAfterMove_) from = current_;
  // Before the first move, a change in the very first pair counts as the next one.
  if (direction > 0 && current_ < 0 && scrollY <= 0)
    from = view_.PageFirstPair(view_.ShownPage()) - 1;
  StepFromPair(direction, from);
}

void PairNavigator::StepFromPair(int direction, int from) {
  const int pairs = view_.Index().pairCount();
  for (int pair = from + direction; pair >= 0 && pair < pairs; pair += direction) {
    if (IsChange(pair)) {
      ShowPair(pair);
      return;
    }
  }
  emit NoFurtherChange(direction);
}

}  // namespace sorowa
