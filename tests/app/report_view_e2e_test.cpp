// The window on a real X server (run under xvfb-run): the report view really loads the
// report that Compare wrote, shows all its cells, and prints and saves it.
#include <signal.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWebEnginePage>
#include <memory>

#include "app/main_window.h"
#include "app/pair_list.h"
#include "app/pair_navigator.h"
#include "app/plain_text_editor.h"
#include "app/report_printer.h"
#include "app/report_view.h"
#include "app/startup.h"
#include "app/stop_signal_watcher.h"
#include "compare/report_store.h"
#include "fake_dialogs.h"
#include "process/stop_signals.h"

using sorowa::MainWindow;
using sorowa::PlainTextEditor;
using sorowa::ReportView;
using sorowa::testing::FakeDialogs;

namespace {

constexpr int kLoadTimeoutMs = 60000;
constexpr int kPrintTimeoutMs = 240000;

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

// The memory of this process's browser processes, in megabytes.
qint64 BrowserMemoryMb() {
  auto field = [](const QString& pid, const QByteArray& name) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return QByteArray();
    for (const QByteArray& line : status.readAll().split('\n')) {
      if (line.startsWith(name)) return line.mid(name.size()).trimmed();
    }
    return QByteArray();
  };
  const qint64 self = QCoreApplication::applicationPid();
  qint64 kilobytes = 0;
  for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    if (field(pid, "Name:") != "QtWebEngineProc") continue;
    // Only this test's: the other tests on the machine have browsers too.
    qint64 ancestor = pid.toLongLong();
    for (int depth = 0; depth < 8 && ancestor > 1 && ancestor != self; ++depth) {
      ancestor = field(QString::number(ancestor), "PPid:").toLongLong();
    }
    if (ancestor == self) kilobytes += field(pid, "VmRSS:").split(' ').front().toLongLong();
  }
  return kilobytes / 1024;
}

// count lines of 40 to 80 kana and kanji, and the same lines with about one character in
// twelve changed: a revised manuscript. The same seed gives the same texts.
std::pair<QString, QString> RevisedTexts(int count, quint32 seed, int longest = 80,
                                         int shortest = 40) {
  static const QString kChars = QStringLiteral(
      "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわを"
      "ん日本語文章東京大学研究開発情報処理機械翻訳評価結果方法問題解決時間空間世界社会経済");
  QRandomGenerator random(seed);
  QString source;
  QString target;
  for (int i = 0; i < count; ++i) {
    const int length = shortest + random.bounded(longest - shortest + 1);
    for (int k = 0; k < length; ++k) {
      const QChar c = kChars.at(random.bounded(kChars.size()));
      source += c;
      target += random.bounded(12) == 0 ? kChars.at(random.bounded(kChars.size())) : c;
    }
    source += QStringLiteral("。\n");
    target += QStringLiteral("。\n");
  }
  return {source, target};
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
  void BigReportShowsInParts();
  void PrintedPdfFitsTheWidestLine();
  void HugePairIsShownTableByTable();
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
  // The status line says where it went.
  const QString status = window_->findChild<QLabel*>(QStringLiteral("compareStatus"))->text();
  QVERIFY2(status.endsWith(QStringLiteral("printed.pdf に印刷しました。")), qPrintable(status));
}

void ReportViewEndToEndTest::MissingReportShowsErrorBox() {
  // A report removed from the temporary directory before the view got to it.
  window_->ShowReport(
      std::filesystem::path(tmp_->filePath(QStringLiteral("gone.htm")).toStdString()));
  QTRY_COMPARE_WITH_TIMEOUT(dialogs_->errors.size(), 1, kLoadTimeoutMs);
  QCOMPARE(dialogs_->errors.front().text, QStringLiteral("レポートを表示できませんでした。"));
  QVERIFY(window_->isVisible());
}

void ReportViewEndToEndTest::BigReportShowsInParts() {
  // 20,000 lines with the default tables: a report of about 200 MB, far more elements than
  // the browser can hold as one page.
  window_->findChild<QCheckBox*>(QStringLiteral("charDpBox"))->setChecked(false);
  // And a last line to find, in the last part only.
  const QString marker = QStringLiteral("ＥＮＤマーカー");
  const auto [source, target] = RevisedTexts(20000, 20);
  Editor("sourceEditor")->setPlainText(source + marker);
  Editor("targetEditor")->setPlainText(target + marker);
  QSignalSpy pages(View(), &ReportView::PageLoaded);
  QElapsedTimer clock;
  clock.start();
  window_->Compare();
  const qint64 compared = clock.elapsed();
  QVERIFY(pages.wait(kLoadTimeoutMs));
  const qint64 shown = clock.elapsed();
  qInfo("20,000 lines: compared in %lld ms, first part shown after %lld ms", compared, shown);
  QCOMPARE(pages.takeFirst().at(1).toBool(), true);
  QVERIFY(dialogs_->errors.isEmpty());
  QVERIFY(View()->IsPaged());
  QCOMPARE(View()->Index().pairCount(), 20001);
  // The page holds the pairs of its part, and scrolls.
  const int inPage =
      Evaluate(View(), QStringLiteral("document.getElementsByTagName('hr').length")).toInt();
  QCOMPARE(inPage, View()->PageEndPair(0));
  QVERIFY(Evaluate(View(), QStringLiteral("window.scrollTo(0, 5000); window.scrollY")).toInt() > 0);

  // While the next part loads, a click on row 3 of the pair list and Down five times: the
  // last choice wins, and the bar follows the part shown.
  auto* list = window_->findChild<sorowa::PairList*>(QStringLiteral("pairList"));
  auto* bar = window_->findChild<QLabel*>(QStringLiteral("pageText"));
  QTest::mouseClick(window_->findChild<QToolButton*>(QStringLiteral("nextPage")), Qt::LeftButton);
  QVERIFY(View()->IsLoading());
  QVERIFY2(bar->text().contains(
               QStringLiteral("2 / %1 部分を読み込んでいます").arg(View()->PageCount())),
           qPrintable(bar->text()));
  const QRect row3 = list->visualRect(list->model()->index(2, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row3.center());
  for (int i = 0; i < 5; ++i) QTest::keyClick(list, Qt::Key_Down);
  QVERIFY(pages.wait(kLoadTimeoutMs));
  QTest::qWait(2000);  // the old code moved back to row 3 once the part had loaded
  QCOMPARE(list->currentIndex().row(), 7);
  QCOMPARE(window_->findChild<sorowa::PairNavigator*>()->CurrentPair(), 7);
  QCOMPARE(View()->ShownPage(), 0);
  QVERIFY2(bar->text().endsWith(QStringLiteral("1 / %1 部分）").arg(View()->PageCount())),
           qPrintable(bar->text()));
  QVERIFY(!window_->findChild<QToolButton*>(QStringLiteral("previousPage"))->isEnabled());
  pages.clear();

  // Find says its count is the part's, and goes on to the part that has the text.
  window_->OpenFind();
  auto* field = window_->findChild<QLineEdit*>(QStringLiteral("findField"));
  auto* matches = window_->findChild<QLabel*>(QStringLiteral("findMatches"));
  field->setText(marker);
  QTRY_COMPARE_WITH_TIMEOUT(matches->text(), QStringLiteral("見つかりません（この部分のみ）"),
                            kLoadTimeoutMs);
  QTest::keyClick(field, Qt::Key_Return);
  QVERIFY(pages.wait(kLoadTimeoutMs));
  QCOMPARE(View()->ShownPage(), View()->PageCount() - 1);
  QTRY_VERIFY_WITH_TIMEOUT(matches->text().startsWith(QStringLiteral("1 / ")), kLoadTimeoutMs);
  QVERIFY2(matches->text().endsWith(QStringLiteral("件（この部分のみ）")),
           qPrintable(matches->text()));

  // The first change is reached across the parts.
  int first = 0;
  while (!View()->Index().pairChanged(first)) ++first;
  window_->findChild<sorowa::PairNavigator*>()->ShowPair(first);
  QVERIFY(pages.wait(kLoadTimeoutMs));
  QCOMPARE(View()->ShownPage(), 0);
  QVERIFY(dialogs_->errors.isEmpty());
}

void ReportViewEndToEndTest::PrintedPdfFitsTheWidestLine() {
  // 400 pairs with the character table as well, the widest line 300 characters long, and a
  // last line to find: a report of some 10 MB, shown in parts and printed whole.
  auto [source, target] = RevisedTexts(400, 300, 200);
  const QString widest = QString(300, QChar(u'長')) + QStringLiteral("末尾の十文字です。");
  const QString last = QStringLiteral("最後の行の目印です。");
  source = widest + QStringLiteral("\n") + source + last;
  target = widest + QStringLiteral("\n") + target + last;
  Editor("sourceEditor")->setPlainText(source);
  Editor("targetEditor")->setPlainText(target);
  QVERIFY(!CompareAndWait().isEmpty());
  QVERIFY(View()->IsPaged());

  const QString pdf = tmp_->filePath(QStringLiteral("printed.pdf"));
  dialogs_->acceptPrint = true;
  double paperRight = 0;  // where the margin begins, in points from the left edge
  dialogs_->setUpPrinter = [&](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    paperRight = printer.pageLayout().paintRect(QPageLayout::Point).right();
  };
  auto* printer = window_->findChild<sorowa::ReportPrinter*>();
  auto* status = window_->findChild<QLabel*>(QStringLiteral("compareStatus"));

  // A report in parts prints with a progress dialog, whose Cancel stops it without a word.
  QSignalSpy ended(printer, &sorowa::ReportPrinter::Finished);
  window_->Print();
  auto* progress = window_->findChild<QProgressDialog*>();
  QVERIFY(progress != nullptr && progress->isVisible());
  QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
  QTRY_COMPARE(ended.size(), 1);
  QCOMPARE(ended.takeFirst().at(0).toBool(), false);
  QVERIFY(dialogs_->errors.isEmpty());
  QVERIFY(!QFile::exists(pdf));
  QVERIFY2(status->text().endsWith(QStringLiteral("印刷を取り消しました。")),
           qPrintable(status->text()));

  QSignalSpy finished(printer, &sorowa::ReportPrinter::Finished);
  QElapsedTimer clock;
  clock.start();
  window_->Print();
  // The time is recorded, not asserted: on a busy machine it says little (see
  // bench/print_pdf.cpp for the measurement).
  QVERIFY(finished.wait(kPrintTimeoutMs));
  const qint64 took = clock.elapsed();
  QCOMPARE(finished.takeFirst().at(0).toBool(), true);
  QVERIFY(dialogs_->errors.isEmpty());
  const qint64 size = QFileInfo(pdf).size();
  qInfo("400 pairs in %d parts printed to PDF: %lld bytes in %lld ms", View()->PageCount(), size,
        took);
  QVERIFY(size > 1000);
  QVERIFY2(size <= 10 * 1024 * 1024, qPrintable(QString::number(size)));

  // Every character of the widest line is on paper, its end included.
  QProcess text;
  text.start(QStringLiteral("pdftotext"),
             {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
  if (!text.waitForStarted()) QSKIP("pdftotext is not installed (Debian package poppler-utils)");
  QVERIFY(text.waitForFinished(60000));
  QString words = QString::fromUtf8(text.readAllStandardOutput());
  words.remove(QRegularExpression(QStringLiteral("\\s")));
  QVERIFY2(words.contains(QStringLiteral("末尾の十文字です。")),
           "the end of the widest line is cut off");
  QVERIFY2(words.contains(last), "the last part is not printed");
  QVERIFY(words.count(QChar(u'長')) >= 300 * 2);

  // And all of it within the paper's printable width: text cut off at the margin would
  // still be in the file, beyond it.
  QProcess boxes;
  boxes.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
  QVERIFY(boxes.waitForFinished(60000));
  const QString layout = QString::fromUtf8(boxes.readAllStandardOutput());
  int placed = 0;
  double right = 0;
  QRegularExpressionMatchIterator word =
      QRegularExpression(QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" "
                                        "xMax=\"([0-9.]+)\""))
          .globalMatch(layout);
  while (word.hasNext()) {
    right = std::max(right, word.next().captured(2).toDouble());
    ++placed;
  }
  QVERIFY(placed > 1000);
  QVERIFY2(right <= paperRight + 1, qPrintable(QStringLiteral("text reaches %1 pt, the margin "
                                                              "begins at %2 pt")
                                                   .arg(right)
                                                   .arg(paperRight)));
}

// Two lines of 200,000 characters with all five tables: a single pair of 38 MB. It is
// shown a table or two at a time, the biggest tables as notices, the bar says what is
// loading, and the browser stays under 2 GB.
void ReportViewEndToEndTest::HugePairIsShownTableByTable() {
  for (QCheckBox* box : window_->findChildren<QCheckBox*>()) {
    box->setChecked(box->objectName() != QLatin1String("alignLinesBox"));
  }
  const auto [source, target] = RevisedTexts(1, 200, 200000, 200000);
  Editor("sourceEditor")->setPlainText(source);
  Editor("targetEditor")->setPlainText(target);
  QSignalSpy pages(View(), &ReportView::PageLoaded);
  window_->Compare();
  QVERIFY(dialogs_->errors.isEmpty());
  QVERIFY(View()->IsPaged());
  QCOMPARE(View()->Index().pairCount(), 1);
  QCOMPARE(View()->PageCount(), 5);
  auto* bar = window_->findChild<QLabel*>(QStringLiteral("pageText"));
  qint64 peak = 0;
  for (int page = 0; page < View()->PageCount(); ++page) {
    QCOMPARE(View()->PageTables(page).first, page);
    QElapsedTimer clock;
    clock.start();
    if (page > 0) View()->ShowPage(page);
    QVERIFY2(bar->text().contains(QStringLiteral("部分を読み込んでいます")),
             qPrintable(bar->text()));
    while (View()->IsLoading() && clock.elapsed() < kLoadTimeoutMs) {
      QTest::qWait(200);
      peak = std::max(peak, BrowserMemoryMb());
    }
    QVERIFY(!View()->IsLoading());
    QVERIFY(pages.size() > 0 && pages.takeLast().at(1).toBool());
    // The page is laid out once a script answers.
    const int cells =
        Evaluate(View(), QStringLiteral("document.querySelectorAll('td, span').length")).toInt();
    peak = std::max(peak, BrowserMemoryMb());
    qInfo("part %d (%s): %d elements, shown after %lld ms", page + 1,
          View()->PageTooBig(page) ? "notice" : "tables", cells, clock.elapsed());
    if (View()->PageTooBig(page)) QVERIFY(cells < 10);
  }
  qInfo("browser processes at most %lld MB", peak);
  QVERIFY2(peak < 2048, qPrintable(QString::number(peak)));
  // The two DP tables and the morpheme matching table are too big; the pseudo-bunsetsu ones
  // are shown.
  QCOMPARE(View()->PageTooBig(0), true);
  QCOMPARE(View()->PageTooBig(2), false);
  QCOMPARE(View()->PageTooBig(3), false);
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
