#include "app/report_printer.h"

#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <exception>

#include "app/dialogs.h"
#include "app/pdf_join.h"
#include "app/report_view.h"

namespace sorowa {
namespace {

bool IsPdfFile(const QPrinter& printer) {
  return printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
}

// Lets a view go once it is out of its own signals, and hears nothing more from it.
void Dismiss(std::unique_ptr<QWebEngineView>& view, QObject* listener) {
  if (!view) return;
  view->page()->disconnect(listener);
  view->disconnect(listener);
  view.release()->deleteLater();
}

}  // namespace

ReportPrinter::ReportPrinter(ReportView& view, Dialogs& dialogs, QObject* parent)
    : QObject(parent), view_(view), dialogs_(dialogs) {}

ReportPrinter::~ReportPrinter() = default;

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
  emit Started(IsPdfFile(*printer_) ? printer_->outputFileName() : QString());
  // A report shown in parts prints the part shown.
  const int first = view_.PageFirstPair(view_.ShownPage());
  const int end =
      view_.IsPaged() ? view_.PageEndPair(view_.ShownPage()) : view_.Index().pairCount();
  const bool toPdf =
      IsPdfFile(*printer_) || !QStandardPaths::findExecutable(QStringLiteral("lp")).isEmpty();
  QVector<int> starts{first};
  if (toPdf) {
    spool_ = std::make_unique<QTemporaryDir>();
    if (!spool_->isValid()) {
      End(false, QStringLiteral("印刷用の一時フォルダーを作れませんでした: %1")
                     .arg(spool_->errorString()));
      return;
    }
    const ReportIndex& index = view_.Index();
    starts = SplitIntoRuns(
        first, end, [&index](int pair) { return index.pairEnd(pair) - index.pairStart(pair); });
  }
  for (int i = 0; i < starts.size(); ++i) {
    auto run = std::make_unique<Run>();
    run->url = view_.PrintUrl(starts[i], i + 1 < starts.size() ? starts[i + 1] : end);
    if (toPdf) run->pdf = spool_->filePath(QStringLiteral("part-%1.pdf").arg(i + 1));
    runs_.push_back(std::move(run));
  }
  for (const std::unique_ptr<Run>& run : runs_) StartRun(*run);
}

void ReportPrinter::StartRun(Run& run) {
  run.view = std::make_unique<QWebEngineView>();
  run.view->resize(view_.size().expandedTo(QSize(800, 600)));
  // The browser renders and prints only for a view that is shown; this one is shown
  // without ever reaching the screen.
  run.view->setAttribute(Qt::WA_DontShowOnScreen);
  run.view->show();
  connect(run.view.get(), &QWebEngineView::loadFinished, this,
          [this, &run](bool ok) { OnRunLoaded(run, ok); });
  connect(run.view->page(), &QWebEnginePage::pdfPrintingFinished, this,
          [this, &run](const QString&, bool ok) { OnRunPrinted(run, ok); });
  connect(run.view.get(), &QWebEngineView::printFinished, this, &ReportPrinter::OnBrowserPrinted);
  run.view->load(run.url);
}

void ReportPrinter::OnRunLoaded(Run& run, bool ok) {
  if (!printer_) return;
  if (!ok) {
    End(false, QStringLiteral("レポートのファイルを読み込めませんでした。"));
    return;
  }
  if (run.pdf.isEmpty()) {
    run.view->print(printer_.get());
  } else {
    run.view->page()->printToPdf(run.pdf, printer_->pageLayout());
  }
}

void ReportPrinter::OnRunPrinted(Run& run, bool ok) {
  if (!printer_) return;
  if (!ok) {
    End(false, QStringLiteral("%1 に書き込めませんでした。").arg(run.pdf));
    return;
  }
  run.done = true;
  // The run's browser process is not needed any more.
  Dismiss(run.view, this);
  for (const std::unique_ptr<Run>& other : runs_) {
    if (!other->done) return;
  }
  OnAllPrinted();
}

void ReportPrinter::OnAllPrinted() {
  QStringList parts;
  for (const std::unique_ptr<Run>& run : runs_) parts << run->pdf;
  QByteArray pdf;
  try {
    pdf = JoinPdfFiles(parts);
  } catch (const std::bad_alloc&) {
    End(false, QStringLiteral("PDF をまとめるためのメモリーが足りません。"));
    return;
  } catch (const std::exception& error) {
    // qpdf's own words, in English, help whoever looks into it.
    End(false, QStringLiteral("印刷した部分を一つの PDF にまとめられませんでした。\n"
                              "（技術的な詳細: %1）")
                   .arg(QString::fromLocal8Bit(error.what())));
    return;
  }
  const QString path = IsPdfFile(*printer_) ? printer_->outputFileName()
                                            : spool_->filePath(QStringLiteral("sorowa.pdf"));
  // Whole or not at all: an earlier file of that name stays until the new one is complete.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.commit()) {
    End(false, QStringLiteral("%1 に書き込めませんでした: %2").arg(path, file.errorString()));
    return;
  }
  if (IsPdfFile(*printer_)) {
    End(true);
  } else {
    SendToPrinter(path);
  }
}

void ReportPrinter::SendToPrinter(const QString& pdf) {
  auto* lp = new QProcess(this);
  QStringList arguments;
  if (!printer_->printerName().isEmpty())
    arguments << QStringLiteral("-d") << printer_->printerName();
  arguments << QStringLiteral("-t") << printer_->docName();
  if (printer_->copyCount() > 1)
    arguments << QStringLiteral("-n") << QString::number(printer_->copyCount());
  arguments << pdf;
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
  for (std::unique_ptr<Run>& run : runs_) Dismiss(run->view, this);
  runs_.clear();
  spool_.reset();
  if (!ok) {
    dialogs_.ShowError(parent_, QStringLiteral("レポートを印刷できませんでした。"), problem);
  }
  emit Finished(ok);
}

}  // namespace sorowa
