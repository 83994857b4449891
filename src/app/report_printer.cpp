#include "app/report_printer.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/dialogs.h"
#include "app/report_view.h"

namespace sorowa {
namespace {

// DP tables (one column per character or unit, a caption cell spanning both rows) are cut
// between columns into tables that fit, each with the caption again; matching tables (one
// cell of units per row) are let wrap inside their cells.
// All tables are measured first and changed afterwards: a change between two measurements
// would make the browser lay the whole page out again for each table.
const char kWrapTables[] = R"JS((function (avail) {
  const plans = [];
  for (const t of Array.from(document.getElementsByTagName('table'))) {
    if (t.getBoundingClientRect().width <= avail) continue;
    const rows = Array.from(t.rows);
    if (rows.length === 0) continue;
    if (t.querySelector('td.le')) {
      plans.push({table: t, wrap: true});
      continue;
    }
    const first = rows[0].cells[0];
    const caption = first && first.rowSpan > 1 ? first : null;
    const captionWidth = caption ? caption.getBoundingClientRect().width : 0;
    const columns = rows.map(r => Array.from(r.cells).filter(c => c !== caption));
    const n = Math.max(...columns.map(c => c.length));
    const chunks = [];
    let start = 0, used = captionWidth;
    for (let k = 0; k < n; k++) {
      let w = 0;
      for (const c of columns) if (c[k]) w = Math.max(w, c[k].getBoundingClientRect().width);
      if (k > start && used + w > avail) {
        chunks.push([start, k]);
        start = k;
        used = captionWidth;
      }
      used += w;
    }
    chunks.push([start, n]);
    plans.push({table: t, rows, caption, columns, chunks});
  }
  for (const p of plans) {
    const t = p.table;
    if (p.wrap) {
      for (const td of t.querySelectorAll('td.le')) {
        td.style.whiteSpace = 'normal';
        td.style.wordBreak = 'break-all';
      }
      t.style.width = avail + 'px';
      continue;
    }
    const parent = t.parentNode;
    const pieces = document.createDocumentFragment();
    p.chunks.forEach(([a, b], i) => {
      const part = t.cloneNode(false);
      p.rows.forEach((r, ri) => {
        const tr = r.cloneNode(false);
        if (ri === 0 && p.caption) tr.appendChild(i === 0 ? p.caption : p.caption.cloneNode(true));
        for (let k = a; k < b; k++) if (p.columns[ri][k]) tr.appendChild(p.columns[ri][k]);
        part.appendChild(tr);
      });
      pieces.appendChild(part);
      if (i + 1 < p.chunks.length) pieces.appendChild(document.createElement('br'));
    });
    parent.replaceChild(pieces, t);
  }
  return plans.length;
})(%1))JS";

bool IsPdfFile(const QPrinter& printer) {
  return printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
}

}  // namespace

ReportPrinter::ReportPrinter(ReportView& view, Dialogs& dialogs, QObject* parent)
    : QObject(parent), view_(view), dialogs_(dialogs) {}

ReportPrinter::~ReportPrinter() = default;

QString ReportPrinter::WrapTablesScript(double width) {
  return QString::fromLatin1(kWrapTables).arg(width, 0, 'f', 1);
}

void ReportPrinter::Print(QWidget* parent) {
  if (!view_.HasReport()) {
    dialogs_.ShowError(parent, QStringLiteral("印刷するレポートがまだありません。"),
                       QStringLiteral("先に［比較］を押してレポートを作ってください。"));
    return;
  }
  if (IsPrinting()) {
    dialogs_.ShowError(parent, QStringLiteral("前の印刷がまだ終わっていません。"),
                       QStringLiteral("終わってからもう一度［印刷］を押してください。"));
    return;
  }
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setDocName(view_.title().isEmpty() ? QStringLiteral("Sorowa") : view_.title());
  if (!dialogs_.AskPrintSettings(parent, *printer)) return;

  printer_ = std::move(printer);
  parent_ = parent;
  url_ = view_.url().isEmpty() ? QUrl::fromLocalFile(view_.ReportPath()) : view_.url();
  printView_ = std::make_unique<QWebEngineView>();
  printView_->resize(view_.size().expandedTo(QSize(800, 600)));
  // The browser renders and prints only for a view that is shown; this one is shown
  // without ever reaching the screen.
  printView_->setAttribute(Qt::WA_DontShowOnScreen);
  printView_->show();
  connect(printView_.get(), &QWebEngineView::loadFinished, this, &ReportPrinter::OnLoaded);
  connect(printView_->page(), &QWebEnginePage::pdfPrintingFinished, this,
          &ReportPrinter::OnPdfWritten);
  connect(printView_.get(), &QWebEngineView::printFinished, this, &ReportPrinter::OnBrowserPrinted);
  printView_->load(url_);
}

void ReportPrinter::OnLoaded(bool ok) {
  if (!printer_) return;
  if (!ok) {
    End(false, QStringLiteral("レポートのファイルを読み込めませんでした。"));
    return;
  }
  const QRectF paper = printer_->pageLayout().paintRect(QPageLayout::Point);
  // CSS pixels are 1/96 inch, points 1/72; a little room for rounding.
  const double width = paper.width() * 96.0 / 72.0 - 8.0;
  printView_->page()->runJavaScript(WrapTablesScript(width),
                                    [this](const QVariant&) { OnLaidOut(); });
}

void ReportPrinter::OnLaidOut() {
  if (!printer_) return;
  QString pdf;
  if (IsPdfFile(*printer_)) {
    pdf = printer_->outputFileName();
  } else if (!QStandardPaths::findExecutable(QStringLiteral("lp")).isEmpty()) {
    spool_ = std::make_unique<QTemporaryDir>();
    if (!spool_->isValid()) {
      End(false, QStringLiteral("印刷用の一時ファイルを作れませんでした。"));
      return;
    }
    pdf = spool_->filePath(QStringLiteral("sorowa.pdf"));
  } else {
    printView_->print(printer_.get());
    return;
  }
  printView_->page()->printToPdf(pdf, printer_->pageLayout());
}

void ReportPrinter::OnPdfWritten(const QString& path, bool ok) {
  if (!printer_) return;
  if (!ok) {
    End(false, QStringLiteral("%1 に書き込めませんでした。").arg(path));
    return;
  }
  if (IsPdfFile(*printer_)) {
    End(true);
    return;
  }
  auto* lp = new QProcess(this);
  QStringList arguments;
  if (!printer_->printerName().isEmpty())
    arguments << QStringLiteral("-d") << printer_->printerName();
  arguments << QStringLiteral("-t") << printer_->docName();
  if (printer_->copyCount() > 1)
    arguments << QStringLiteral("-n") << QString::number(printer_->copyCount());
  arguments << path;
  connect(lp, &QProcess::finished, this, [this, lp](int code, QProcess::ExitStatus status) {
    lp->deleteLater();
    const bool sent = status == QProcess::NormalExit && code == 0;
    End(sent, sent ? QString()
                   : QStringLiteral("印刷システム（lp）がレポートを受け付けませんでした: %1")
                         .arg(QString::fromLocal8Bit(lp->readAllStandardError()).trimmed()));
  });
  connect(lp, &QProcess::errorOccurred, this, [this, lp](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    lp->deleteLater();
    End(false, QStringLiteral("印刷システム（lp）を起動できませんでした。"));
  });
  lp->start(QStringLiteral("lp"), arguments);
}

void ReportPrinter::OnBrowserPrinted(bool ok) {
  if (!printer_) return;
  End(ok, ok ? QString() : QStringLiteral("プリンターの設定を確かめて、もう一度お試しください。"));
}

void ReportPrinter::End(bool ok, const QString& problem) {
  printer_.reset();
  // The view may still be inside one of its own signals; let it go afterwards.
  if (printView_) printView_.release()->deleteLater();
  spool_.reset();
  if (!ok) {
    dialogs_.ShowError(parent_, QStringLiteral("レポートを印刷できませんでした。"), problem);
  }
  emit Finished(ok);
}

}  // namespace sorowa
