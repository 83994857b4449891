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

// Enter finds the next match, Shift+Enter the previous one.
class FindField : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  std::function<void(bool)> onEnter;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && onEnter) {
      onEnter(event->modifiers() & Qt::ShiftModifier);
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
    return;
  }
  view_.findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

void FindBar::ShowResult(const QWebEngineFindTextResult& result) {
  if (field_->text().isEmpty()) return;
  if (result.numberOfMatches() == 0) {
    matches_->setText(QStringLiteral("見つかりません"));
  } else {
    matches_->setText(
        QStringLiteral("%1 / %2 件").arg(result.activeMatch()).arg(result.numberOfMatches()));
  }
}

QString FindBar::MatchText() const { return matches_->text(); }

}  // namespace sorowa
