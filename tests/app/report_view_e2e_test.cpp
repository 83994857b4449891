// The window on a real X server (run under xvfb-run): the report view really loads the
// report that Compare wrote, shows all its cells, and prints and saves it.
#include <signal.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <memory>

#include "app/main_window.h"
#include "app/plain_text_editor.h"
#include "app/report_printer.h"
#include "app/report_view.h"
#include "app/startup.h"
#include "app/stop_signal_watcher.h"
#include "compare/report_store.h"
#include "compare/stop_signals.h"
#include "fake_dialogs.h"

using sorowa::MainWindow;
using sorowa::PlainTextEditor;
using sorowa::ReportView;
using sorowa::testing::FakeDialogs;

namespace {

constexpr int kLoadTimeoutMs = 60000;

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs a script in the page and waits for its result.
QVariant Evaluate(ReportView* view, const QString& script) {
  QVariant result;
  bool done = false;
  view->page()->runJavaScript(script, [&](const QVariant& value) {
    result = value;
    done = true;
  });
  if (!QTest::qWaitFor([&] { return done; }, kLoadTimeoutMs)) return QVariant();
  return result;
}

}  // namespace

class ReportViewEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void ViewShowsEveryCellOfTheReport();
  void SecondCompareReplacesTheShownReport();
  void PrintWritesThePageShown();
  void MissingReportShowsErrorBox();
  // Last: the signal's handler is process-wide and leaves the default action behind.
  void StopSignalClosesTheWindowAfterAPageLoaded();

 private:
  PlainTextEditor* Editor(const char* name) const {
    return window_->findChild<PlainTextEditor*>(QLatin1String(name));
  }
  ReportView* View() const { return window_->findChild<ReportView*>(QStringLiteral("reportView")); }
  // Presses Compare and waits until the view has loaded the new report; returns its path.
  QString CompareAndWait();

  std::unique_ptr<QTemporaryDir> tmp_;
  std::unique_ptr<FakeDialogs> dialogs_;
  std::unique_ptr<sorowa::TempReportStore> store_;
  std::unique_ptr<MainWindow> window_;
};

void ReportViewEndToEndTest::init() {
  tmp_ = std::make_unique<QTemporaryDir>();
  QVERIFY(tmp_->isValid());
  dialogs_ = std::make_unique<FakeDialogs>();
  store_ = std::make_unique<sorowa::TempReportStore>(tmp_->path().toStdString());
  window_ = std::make_unique<MainWindow>(*dialogs_, *store_);
  window_->resize(1000, 700);
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  window_->findChild<QCheckBox*>(QStringLiteral("charDpBox"))->setChecked(true);
}

void ReportViewEndToEndTest::cleanup() {
  window_.reset();
  store_.reset();
  dialogs_.reset();
  tmp_.reset();
}

QString ReportViewEndToEndTest::CompareAndWait() {
  QSignalSpy loaded(View(), &QWebEngineView::loadFinished);
  QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("compareButton")),
                    Qt::LeftButton);
  if (!loaded.wait(kLoadTimeoutMs) || loaded.isEmpty()) return QString();
  if (!loaded.takeFirst().at(0).toBool()) return QString();
  return View()->ReportPath();
}

void ReportViewEndToEndTest::ViewShowsEveryCellOfTheReport() {
  Editor("sourceEditor")
      ->setPlainText(QStringLiteral("吾輩は猫である。\n名前はまだ無い。\n<b>タグ</b>&amp;"));
  Editor("targetEditor")
      ->setPlainText(QStringLiteral("吾輩は犬である。\n名前はもう有る。\n<b>タグ</b>&amp;"));
  const QString path = CompareAndWait();
  QVERIFY(!path.isEmpty());
  QCOMPARE(View()->url(), QUrl::fromLocalFile(path));
  QVERIFY(dialogs_->errors.isEmpty());

  const QString report = QString::fromUtf8(ReadAll(path));
  int total = 0;
  for (const char* status : {"same", "partial", "different"}) {
    const int inFile =
        int(report.count(QStringLiteral("<td class=\"%1\"").arg(QLatin1String(status))));
    const QVariant inPage = Evaluate(
        View(),
        QStringLiteral("document.querySelectorAll('td.%1').length").arg(QLatin1String(status)));
    QVERIFY2(inPage.isValid(), status);
    QCOMPARE(inPage.toInt(), inFile);
    total += inFile;
  }
  QVERIFY(total > 0);
  QVERIFY(report.count(QStringLiteral("<td class=\"different\"")) > 0);
  // The page decoded the file as UTF-8 and did not take the user's text for markup.
  QCOMPARE(Evaluate(View(), QStringLiteral("document.body.innerText.includes('猫')")).toBool(),
           true);
  QCOMPARE(Evaluate(View(), QStringLiteral("document.querySelectorAll('td b').length")).toInt(), 0);
}

void ReportViewEndToEndTest::SecondCompareReplacesTheShownReport() {
  Editor("sourceEditor")->setPlainText(QStringLiteral("一つ目"));
  Editor("targetEditor")->setPlainText(QStringLiteral("一つめ"));
  const QString first = CompareAndWait();
  QVERIFY(!first.isEmpty());
  Editor("sourceEditor")->setPlainText(QStringLiteral("二つ目\n三つ目"));
  Editor("targetEditor")->setPlainText(QStringLiteral("二つめ\n三つめ"));
  const QString second = CompareAndWait();
  QVERIFY(!second.isEmpty());
  QVERIFY(second != first);
  QCOMPARE(View()->url(), QUrl::fromLocalFile(second));
  QCOMPARE(Evaluate(View(), QStringLiteral("document.querySelectorAll('hr').length")).toInt(), 2);
}

void ReportViewEndToEndTest::PrintWritesThePageShown() {
  Editor("sourceEditor")->setPlainText(QStringLiteral("印刷する行\n次の行"));
  Editor("targetEditor")->setPlainText(QStringLiteral("印刷した行\n次の行"));
  QVERIFY(!CompareAndWait().isEmpty());

  const QString pdf = tmp_->filePath(QStringLiteral("printed.pdf"));
  dialogs_->acceptPrint = true;
  dialogs_->setUpPrinter = [&](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
  };
  auto* printer = window_->findChild<sorowa::ReportPrinter*>();
  QVERIFY(printer != nullptr);
  QSignalSpy finished(printer, &sorowa::ReportPrinter::Finished);
  QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("printButton")),
                    Qt::LeftButton);
  QCOMPARE(dialogs_->printDialogs, 1);
  QVERIFY(finished.wait(kLoadTimeoutMs));
  QCOMPARE(finished.takeFirst().at(0).toBool(), true);
  QVERIFY(dialogs_->errors.isEmpty());
  const QByteArray bytes = ReadAll(pdf);
  QVERIFY(bytes.startsWith("%PDF"));
  QVERIFY(bytes.size() > 1000);
}

void ReportViewEndToEndTest::MissingReportShowsErrorBox() {
  // A report removed from the temporary directory before the view got to it.
  window_->ShowReport(
      std::filesystem::path(tmp_->filePath(QStringLiteral("gone.htm")).toStdString()));
  QTRY_COMPARE_WITH_TIMEOUT(dialogs_->errors.size(), 1, kLoadTimeoutMs);
  QCOMPARE(dialogs_->errors.front().text, QStringLiteral("レポートを表示できませんでした。"));
  QVERIFY(window_->isVisible());
}

// The program installs its handlers once the window exists; the web engine, fully started
// only by the first page, must not have replaced them by then.
void ReportViewEndToEndTest::StopSignalClosesTheWindowAfterAPageLoaded() {
  sorowa::StopSignalWatcher watcher;
  connect(&watcher, &sorowa::StopSignalWatcher::StopRequested, window_.get(),
          &MainWindow::CloseForStopSignal);
  Editor("sourceEditor")->setPlainText(QStringLiteral("止める"));
  Editor("targetEditor")->setPlainText(QStringLiteral("止めた"));
  QVERIFY(!CompareAndWait().isEmpty());
  ::raise(SIGHUP);
  QTRY_VERIFY_WITH_TIMEOUT(!window_->isVisible(), kLoadTimeoutMs);
  QCOMPARE(sorowa::StopSignal(), SIGHUP);
}

int main(int argc, char** argv) {
  sorowa::PrepareWebEngine();
  QApplication app(argc, argv);
  ReportViewEndToEndTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "report_view_e2e_test.moc"
