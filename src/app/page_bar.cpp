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
  connect(previous_, &QToolButton::clicked, this,
          [this] { view_.ShowPage(view_.CurrentPage() - 1); });
  connect(next_, &QToolButton::clicked, this, [this] { view_.ShowPage(view_.CurrentPage() + 1); });
  connect(&view_, &ReportView::PageLoaded, this, &PageBar::Update);
  hide();
}

void PageBar::Update() {
  setVisible(view_.IsPaged());
  if (!view_.IsPaged()) return;
  const QLocale japanese(QLocale::Japanese);
  const int page = view_.CurrentPage();
  text_->setText(
      QStringLiteral(
          "大きなレポートのため分けて表示しています: 組 %1〜%2（全 %3 組、%4 / %5 部分）")
          .arg(japanese.toString(view_.PageFirstPair(page) + 1),
               japanese.toString(view_.PageEndPair(page)),
               japanese.toString(view_.Index().pairCount()))
          .arg(page + 1)
          .arg(view_.PageCount()));
  previous_->setEnabled(page > 0);
  next_->setEnabled(page + 1 < view_.PageCount());
}

}  // namespace sorowa
