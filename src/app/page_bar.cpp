#include "app/page_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QToolButton>

#include "app/report_view.h"

namespace sorowa {

PageBar::PageBar(ReportView& view, QWidget* parent) : QWidget(parent), view_(view) {
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("pageText"));
  previous_ = new QToolButton(this);
  previous_->setObjectName(QStringLiteral("previousPage"));
  previous_->setText(QStringLiteral("◀ 前の部分"));
  next_ = new QToolButton(this);
  next_->setObjectName(QStringLiteral("nextPage"));
  next_->setText(QStringLiteral("次の部分 ▶"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(previous_);
  row->addWidget(text_, 1, Qt::AlignCenter);
  row->addWidget(next_);
  // From the part asked for last, so that two quick clicks go two parts on.
  connect(previous_, &QToolButton::clicked, this,
          [this] { view_.ShowPage(view_.RequestedPage() - 1); });
  connect(next_, &QToolButton::clicked, this,
          [this] { view_.ShowPage(view_.RequestedPage() + 1); });
  connect(&view_, &ReportView::PageRequested, this, &PageBar::Update);
  connect(&view_, &ReportView::PageLoaded, this, &PageBar::Update);
  hide();
}

void PageBar::Update() {
  setVisible(view_.IsPaged());
  if (!view_.IsPaged()) return;
  const QLocale japanese(QLocale::Japanese);
  // What is on screen, and the part on its way while one loads: a big part takes seconds.
  const int shown = view_.ShownPage();
  QString text;
  if (shown >= 0) {
    text = QStringLiteral(
               "大きなレポートのため分けて表示しています: 組 %1〜%2（全 %3 組、%4 / %5 "
               "部分）")
               .arg(japanese.toString(view_.PageFirstPair(shown) + 1),
                    japanese.toString(view_.PageEndPair(shown)),
                    japanese.toString(view_.Index().pairCount()))
               .arg(shown + 1)
               .arg(view_.PageCount());
  }
  if (view_.IsLoading()) {
    if (!text.isEmpty()) text += QStringLiteral(" — ");
    text += QStringLiteral("%1 / %2 部分を読み込んでいます…")
                .arg(view_.RequestedPage() + 1)
                .arg(view_.PageCount());
  }
  text_->setText(text);
  const int page = view_.RequestedPage();
  previous_->setEnabled(page > 0);
  next_->setEnabled(page + 1 < view_.PageCount());
}

}  // namespace sorowa
