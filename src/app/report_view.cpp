#include "app/report_view.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>

namespace sorowa {

ReportView::ReportView(QWidget* parent) : QWebEngineView(parent) {
  // The page's back and forward history could bring an older report back into view; keep
  // track of what is actually shown, so that Save copies that one.
  connect(this, &QWebEngineView::urlChanged, this, [this](const QUrl& url) {
    if (url.isLocalFile()) reportPath_ = url.toLocalFile();
  });
  connect(page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    // A load replaced by a newer Compare ends as "stopped", not "failed", and is no error.
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && info.url().isLocalFile() &&
        info.url().toLocalFile() == reportPath_) {
      emit ReportLoadFailed(info.errorString());
    }
  });
}

void ReportView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copy = pageAction(QWebEnginePage::Copy);
  copy->setText(QStringLiteral("コピー(&C)"));
  menu.addAction(copy);
  QAction* selectAll = pageAction(QWebEnginePage::SelectAll);
  selectAll->setText(QStringLiteral("すべて選択(&A)"));
  menu.addAction(selectAll);
  menu.exec(event->globalPos());
}

void ReportView::ShowReport(const QString& filePath) {
  reportPath_ = filePath;
  load(QUrl::fromLocalFile(filePath));
}

}  // namespace sorowa
