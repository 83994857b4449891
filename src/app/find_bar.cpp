#include "app/find_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

#include "app/report_view.h"

namespace sorowa {
namespace {

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
  connect(view_.page(), &QWebEnginePage::findTextFinished, this, &FindBar::ShowResult);
  connect(&view_, &ReportView::PageLoaded, this, &FindBar::OnPageLoaded);
  hide();
}

void FindBar::Open() {
  show();
  field_->setFocus();
  field_->selectAll();
}

void FindBar::Close() {
  view_.findText(QString());  // takes the highlight away
  matches_->clear();
  hide();
  view_.setFocus();
}

void FindBar::Find(bool backward) {
  const QString text = field_->text();
  if (text.isEmpty()) {
    view_.findText(QString());
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
  view_.findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
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

void FindBar::ShowResult(const QWebEngineFindTextResult& result) {
  const QString text = field_->text();
  if (text.isEmpty()) return;
  resultText_ = text;
  activeMatch_ = result.activeMatch();
  matchCount_ = result.numberOfMatches();
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
