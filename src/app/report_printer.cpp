#include "app/report_printer.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <exception>

#include "app/dialogs.h"
#include "app/pdf_join.h"
#include "app/report_saver.h"
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

void ReportPrinter::Print(QWidget* parent, const QString& docName) {
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
  // The dialog proposes the PDF file after the document's name, less its extension.
  printer->setDocName(docName);
  // Room to hold the paper and to write on, wherever the printer's own default is tighter.
  printer->setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
  if (!dialogs_.AskPrintSettings(parent, *printer)) return;

  printer_ = std::move(printer);
  parent_ = parent;
  const bool toPdf =
      IsPdfFile(*printer_) || !QStandardPaths::findExecutable(QStringLiteral("lp")).isEmpty();
  // The whole report, but the browser's own printing takes one page: then the part shown.
  int first = 0;
  int end = view_.Index().pairCount();
  QString part;
  if (!toPdf && view_.IsPaged()) {
    const int shown = std::max(view_.ShownPage(), 0);
    first = view_.PageFirstPair(shown);
    end = view_.PageEndPair(shown);
    part = QStringLiteral("組 %1〜%2（全 %3 組のうち表示中の部分だけ）")
               .arg(first + 1)
               .arg(end)
               .arg(view_.Index().pairCount());
  }
  emit Started(IsPdfFile(*printer_) ? printer_->outputFileName() : QString(), part);
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
  nextRun_ = 0;
  runsDone_ = 0;
  // A report in parts takes a while: a minute for each ten or so parts.
  if (view_.IsPaged() && toPdf) ShowProgress();
  StartRuns();
}

void ReportPrinter::Cancel() {
  if (!IsPrinting()) return;
  emit Cancelled();
  End(false);
}

void ReportPrinter::ShowProgress() {
  progress_ = std::make_unique<QProgressDialog>(parent_);
  progress_->setWindowTitle(QStringLiteral("Sorowa"));
  progress_->setCancelButtonText(QStringLiteral("キャンセル"));
  // The window stays usable meanwhile; a Compare may even replace the report shown.
  progress_->setWindowModality(Qt::NonModal);
  progress_->setAutoClose(false);
  progress_->setAutoReset(false);
  progress_->setMinimumDuration(0);
  progress_->setRange(0, static_cast<int>(runs_.size()));
  progress_->setValue(0);
  progress_->setLabelText(QStringLiteral("レポートを印刷しています… 0 / %1").arg(runs_.size()));
  connect(progress_.get(), &QProgressDialog::canceled, this, &ReportPrinter::Cancel);
  progress_->show();
}

void ReportPrinter::StartRuns() {
  int running = 0;
  for (std::size_t i = 0; i < nextRun_; ++i) running += runs_[i]->done ? 0 : 1;
  for (; nextRun_ < runs_.size() && running < kMaxRuns; ++nextRun_, ++running) {
    StartRun(*runs_[nextRun_]);
  }
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
  ++runsDone_;
  // The run's browser process is not needed any more.
  Dismiss(run.view, this);
  if (progress_) {
    progress_->setValue(runsDone_);
    progress_->setLabelText(
        QStringLiteral("レポートを印刷しています… %1 / %2").arg(runsDone_).arg(runs_.size()));
  }
  if (runsDone_ < static_cast<int>(runs_.size())) {
    StartRuns();
    return;
  }
  OnAllPrinted();
}

void ReportPrinter::OnAllPrinted() {
  QStringList parts;
  for (const std::unique_ptr<Run>& run : runs_) parts << run->pdf;
  const QString joined = spool_->filePath(QStringLiteral("sorowa.pdf"));
  try {
    JoinPdfFiles(parts, joined);
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
  if (!IsPdfFile(*printer_)) {
    SendToPrinter(joined);
    return;
  }
  // Whole or not at all: an earlier file of that name stays until the new one is complete.
  const QString problem = ReportSaver::CopyReport(joined, printer_->outputFileName());
  if (!problem.isEmpty()) {
    End(false, problem);
    return;
  }
  End(true);
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
  if (progress_) {
    // Cancel may come from the dialog's own signal.
    progress_->hide();
    progress_.release()->deleteLater();
  }
  for (std::unique_ptr<Run>& run : runs_) Dismiss(run->view, this);
  runs_.clear();
  spool_.reset();
  if (!ok && !problem.isEmpty()) {
    dialogs_.ShowError(parent_, QStringLiteral("レポートを印刷できませんでした。"), problem);
  }
  emit Finished(ok);
}

}  // namespace sorowa
