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
  openInBrowser_ = new QToolButton(this);
  openInBrowser_->setObjectName(QStringLiteral("openInBrowser"));
  openInBrowser_->setText(QStringLiteral("ブラウザで開く"));
  openInBrowser_->setToolTip(QStringLiteral("レポート全体をブラウザで開きます"));
  openInBrowser_->hide();
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(previous_);
  row->addWidget(text_, 1, Qt::AlignCenter);
  row->addWidget(openInBrowser_);
  row->addWidget(next_);
  // From the part asked for last, so that two quick clicks go two parts on.
  connect(previous_, &QToolButton::clicked, this,
          [this] { view_.ShowPage(view_.RequestedPage() - 1); });
  connect(next_, &QToolButton::clicked, this,
          [this] { view_.ShowPage(view_.RequestedPage() + 1); });
  connect(openInBrowser_, &QToolButton::clicked, this, &PageBar::OpenInBrowser);
  connect(&view_, &ReportView::PageRequested, this, &PageBar::Update);
  connect(&view_, &ReportView::PageLoaded, this, &PageBar::Update);
  hide();
}

QString PageBar::ShownText() const {
  const int shown = view_.ShownPage();
  if (shown < 0) return QString();
  const QLocale japanese(QLocale::Japanese);
  const QString pairs = japanese.toString(view_.Index().pairCount());
  const ReportView::TableRange tables = view_.PageTables(shown);
  if (tables.count > 0) {
    const QString which = tables.end == tables.first + 1
                              ? QString::number(tables.first + 1)
                              : QStringLiteral("%1〜%2").arg(tables.first + 1).arg(tables.end);
    return QStringLiteral(
               "大きな行の組のため表ごとに分けて表示しています: 組 %1 の表 %2 / %3（全 %4 組、"
               "%5 / %6 部分）")
        .arg(japanese.toString(view_.PageFirstPair(shown) + 1), which)
        .arg(tables.count)
        .arg(pairs)
        .arg(shown + 1)
        .arg(view_.PageCount());
  }
  return QStringLiteral(
             "大きなレポートのため分けて表示しています: 組 %1〜%2（全 %3 組、%4 / %5 部分）")
      .arg(japanese.toString(view_.PageFirstPair(shown) + 1),
           japanese.toString(view_.PageEndPair(shown)), pairs)
      .arg(shown + 1)
      .arg(view_.PageCount());
}

void PageBar::Update() {
  setVisible(view_.IsPaged());
  if (!view_.IsPaged()) return;
  // What is on screen, and the part on its way while one loads: a big part takes seconds.
  QString text = ShownText();
  if (view_.IsLoading()) {
    if (!text.isEmpty()) text += QStringLiteral(" — ");
    text += QStringLiteral("%1 / %2 部分を読み込んでいます…")
                .arg(view_.RequestedPage() + 1)
                .arg(view_.PageCount());
  }
  text_->setText(text);
  // A table too big to show is a notice in the view; the browser can still show the file.
  openInBrowser_->setVisible(view_.ShownPage() >= 0 && view_.PageTooBig(view_.ShownPage()));
  const int page = view_.RequestedPage();
  previous_->setEnabled(page > 0);
  next_->setEnabled(page + 1 < view_.PageCount());
}

}  // namespace sorowa
