#include "app/find_bar.h"

#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QWebEnginePage>

#include "app/report_view.h"

namespace sorowa {
namespace {

// Finds text in the page as the report file search does (report_text_search.h): the texts of
// a table row run on from cell to cell, while the browser's own search stops at each cell and
// would miss a text the report split over two. The matches of a text are found once per page
// and kept in it; each call selects the next (or previous) one, going round, scrolls it into
// view and returns [its number from 1, the number of matches]. An empty text clears.
const char kFindScript[] = R"JS((function (args) {
  const [needle, backward, review] = args;
  const selection = window.getSelection();
  if (needle === '') {
    selection.removeAllRanges();
    window.sorowaFind = null;
    return [0, 0];
  }
  const lower = (t) => t.replace(/[A-Z]/g, (c) => c.toLowerCase());
  let state = window.sorowaFind;
  if (!state || state.needle !== needle) {
    state = window.sorowaFind = {needle: needle, matches: [], active: -1};
    const want = lower(needle);
    const blocks = 'tr,table,p,div,li,header,tbody,thead' + (review ? ',td,th' : '');
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    let block = null;
    let run = {text: '', nodes: []};
    const flush = () => {
      for (let at = run.text.indexOf(want); at >= 0; at = run.text.indexOf(want, at + 1)) {
        state.matches.push({run: run, at: at});
      }
      run = {text: '', nodes: []};
    };
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
      if (!/[^ \n\r\t]/.test(node.data)) continue;
      const owner = node.parentElement ? node.parentElement.closest(blocks) : null;
      if (owner !== block) {
        flush();
        block = owner;
      }
      run.nodes.push({node: node, start: run.text.length});
      run.text += lower(node.data);
    }
    flush();
  }
  const count = state.matches.length;
  if (count === 0) {
    selection.removeAllRanges();
    return [0, 0];
  }
  state.active = state.active < 0 ? (backward ? count - 1 : 0)
                                  : (state.active + (backward ? count - 1 : 1)) % count;
  const match = state.matches[state.active];
  const point = (offset, end) => {
    const nodes = match.run.nodes;
    let i = nodes.length - 1;
    while (i > 0 && (end ? nodes[i].start >= offset : nodes[i].start > offset)) --i;
    return [nodes[i].node, offset - nodes[i].start];
  };
  const range = document.createRange();
  range.setStart(...point(match.at, false));
  range.setEnd(...point(match.at + needle.length, true));
  selection.removeAllRanges();
  selection.addRange(range);
  range.startContainer.parentElement.scrollIntoView({block: 'center', inline: 'center'});
  return [state.active + 1, count];
})(%1))JS";

QToolButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setText(text);
  button->setObjectName(QLatin1String(name));
  button->setAutoRaise(true);
  return button;
}

// Enter finds the next match, Shift+Enter the previous one; Escape closes the bar.
class FindField : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  std::function<void(bool)> onEnter;
  std::function<void()> onEscape;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && onEnter) {
      onEnter(event->modifiers() & Qt::ShiftModifier);
      event->accept();
      return;
    }
    if (event->key() == Qt::Key_Escape && onEscape) {
      onEscape();
      event->accept();
      return;
    }
    QLineEdit::keyPressEvent(event);
  }
};

}  // namespace

FindBar::FindBar(ReportView& view, QWidget* parent) : QWidget(parent), view_(view) {
  auto* field = new FindField(this);
  field->onEnter = [this](bool backward) { Find(backward); };
  field->onEscape = [this] { Close(); };
  field_ = field;
  field_->setObjectName(QStringLiteral("findField"));
  field_->setPlaceholderText(QStringLiteral("レポート内を検索"));
  field_->setClearButtonEnabled(true);
  matches_ = new QLabel(this);
  matches_->setObjectName(QStringLiteral("findMatches"));
  QToolButton* previous = MakeButton(QStringLiteral("▲ 前へ"), "findPrevious", this);
  QToolButton* next = MakeButton(QStringLiteral("▼ 次へ"), "findNext", this);
  QToolButton* close = MakeButton(QStringLiteral("✕"), "findClose", this);
  close->setToolTip(QStringLiteral("検索を閉じる"));

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  row->addWidget(new QLabel(QStringLiteral("検索:"), this));
  row->addWidget(field_, 1);
  row->addWidget(previous);
  row->addWidget(next);
  row->addWidget(matches_);
  row->addWidget(close);

  connect(field_, &QLineEdit::textChanged, this, [this] { Find(false); });
  connect(previous, &QToolButton::clicked, this, &FindBar::FindPrevious);
  connect(next, &QToolButton::clicked, this, &FindBar::FindNext);
  connect(close, &QToolButton::clicked, this, &FindBar::Close);
  connect(&view_, &ReportView::PageLoaded, this, &FindBar::OnPageLoaded);
  hide();
}

void FindBar::Open() {
  show();
  field_->setFocus();
  field_->selectAll();
}

void FindBar::Close() {
  RunFind(QString(), false);  // takes the selection away
  matches_->clear();
  hide();
  view_.setFocus();
}

void FindBar::Find(bool backward) {
  const QString text = field_->text();
  if (text.isEmpty()) {
    RunFind(QString(), false);
    matches_->clear();
    resultText_.clear();
    return;
  }
  // Past the last match of the part shown (or before its first), or none in it: on to the
  // next part that has one.
  const bool atEdge =
      matchCount_ == 0 || (backward ? activeMatch_ <= 1 : activeMatch_ >= matchCount_);
  if (view_.IsPaged() && text == resultText_ && atEdge && !WaitingForPage()) {
    const int from = view_.ShownPage() >= 0 ? view_.ShownPage() : view_.RequestedPage();
    const int page = view_.PageWithText(text, from, backward);
    noOtherPart_ = page < 0;
    if (page >= 0) {
      matches_->setText(
          QStringLiteral("%1 / %2 部分を読み込んでいます…").arg(page + 1).arg(view_.PageCount()));
      view_.ShowPage(page);
      pendingBackward_ = backward;
      pendingRequest_ = view_.RequestSerial();
      return;
    }
  }
  FindInPage(text, backward);
}

bool FindBar::WaitingForPage() const {
  return pendingBackward_ && pendingRequest_ == view_.RequestSerial() && view_.IsLoading();
}

void FindBar::FindInPage(const QString& text, bool backward) {
  if (text != resultText_) noOtherPart_ = false;
  RunFind(text, backward);
}

void FindBar::RunFind(const QString& text, bool backward) {
  const QJsonArray args{text, backward, view_.Index().isReview()};
  const QString json = QString::fromUtf8(QJsonDocument(args).toJson(QJsonDocument::Compact));
  const quint64 serial = view_.RequestSerial();
  // The page answers every script, also while it is destroyed, which may be after this bar.
  const QPointer<FindBar> self(this);
  auto answer = [self, text, serial](const QVariant& result) {
    // An answer from a page since replaced, or for a text since changed, is no answer.
    const QVariantList counts = result.toList();
    if (!self || text.isEmpty() || counts.size() != 2 || serial != self->view_.RequestSerial() ||
        text != self->field_->text()) {
      return;
    }
    self->ShowResult(counts[0].toInt(), counts[1].toInt());
  };
  view_.page()->runJavaScript(QString::fromLatin1(kFindScript).arg(json), answer);
}

void FindBar::OnPageLoaded(int, bool ok) {
  // A new page: the browser's earlier matches are gone.
  activeMatch_ = 0;
  matchCount_ = 0;
  // The direction of this bar's own search, unless something else was asked for since.
  const bool backward =
      pendingRequest_ == view_.RequestSerial() && pendingBackward_.value_or(false);
  pendingBackward_.reset();
  if (!ok || isHidden() || field_->text().isEmpty()) return;
  resultText_ = field_->text();
  FindInPage(field_->text(), backward);
}

void FindBar::ShowResult(int activeMatch, int matchCount) {
  resultText_ = field_->text();
  activeMatch_ = activeMatch;
  matchCount_ = matchCount;
  QString shown = matchCount_ == 0
                      ? QStringLiteral("見つかりません")
                      : QStringLiteral("%1 / %2 件").arg(activeMatch_).arg(matchCount_);
  if (view_.IsPaged()) {
    // Say plainly that the count is not the whole report's.
    shown += noOtherPart_ ? QStringLiteral("（この部分のみ。ほかの部分にはありません）")
                          : QStringLiteral("（この部分のみ）");
  }
  matches_->setText(shown);
}

QString FindBar::MatchText() const { return matches_->text(); }

}  // namespace sorowa
