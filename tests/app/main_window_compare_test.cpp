// The Compare command from the window: the report it writes and shows, the status line,
// failures in an error box, cancelling, and a stop signal while it runs.

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>

#include "app/compare_progress.h"
#include "app/compare_status.h"
#include "app/stop_signal_watcher.h"
#include "main_window_test.h"
#include "process/stop_signals.h"

void MainWindowTest::CompareWritesReportIntoTmpDir() {
  // The real process-wide store, pointed at a private temporary directory.
  QTemporaryDir tmpDir;
  ScopedTmpDir scoped(QFile::encodeName(tmpDir.path()));
  window_ = std::make_unique<MainWindow>(*dialogs_, sorowa::ProcessReportStore());
  window_->show();

  Source()->setPlainText(QStringLiteral("吾輩は猫である。\r\n\r\n名前はまだ無い。"));
  Target()->setPlainText(QStringLiteral("吾輩は犬である。\n名前はもう有る。\n"));
  Child<QCheckBox>("charDpBox")->setChecked(true);
  QTest::mouseClick(Child<QPushButton>("compareButton"), Qt::LeftButton);

  const QStringList files = ReportFiles(tmpDir.path());
  QCOMPARE(files.size(), 1);
  const QString path = QDir(tmpDir.path()).filePath(files.front());
  QVERIFY(QRegularExpression(QStringLiteral("^s[0-9a-v]+\\.[0-9a-v]*\\.htm$"))
              .match(files.front())
              .hasMatch());
  const QByteArray report = ReadAll(path);
  QVERIFY(report.startsWith("<html><meta"));
  QVERIFY(report.endsWith("</body></html>"));
  QCOMPARE(report.count("<hr><br>"), 2);
  QVERIFY(report.contains(QStringLiteral("猫").toUtf8()));
  QVERIFY(report.contains("class=\"different\""));

  // The editors hold the normalised texts; the view was given the file by its path.
  QCOMPARE(Source()->Text(), QStringLiteral("吾輩は猫である。\n名前はまだ無い。\n"));
  QCOMPARE(Target()->Text(), QStringLiteral("吾輩は犬である。\n名前はもう有る。\n"));
  QCOMPARE(Child<QLabel>("sourceLineCount")->text(), QStringLiteral("2"));
  QCOMPARE(View()->ReportPath(), path);
  QTRY_COMPARE_WITH_TIMEOUT(View()->url(), QUrl::fromLocalFile(path), 20000);
  QVERIFY(dialogs_->errors.isEmpty());
}

void MainWindowTest::StatusLineSumsUpTheCompare_data() {
  QTest::addColumn<QString>("source");
  QTest::addColumn<QString>("target");
  QTest::addColumn<bool>("alignLines");
  QTest::addColumn<QString>("status");
  const QString three = QStringLiteral("吾輩は猫である。\n\n名前はまだ無い。\n猫だ。");
  QTest::newRow("by position")
      << three << QStringLiteral("吾輩は猫である。") << false
      << QStringLiteral(
             "相違のある行の組 0 / 1 · 文字誤り率 57.89 % (形態素 57.14 %) · 未対応 ソース 2 / "
             "ターゲット 0 · "
             "ソースがターゲットより 2 行多く、"
             "ソースの 3–4 行目は比較していません。「行を対応付け」をオンにすると内容で行を対応付"
             "けます。");
  QTest::newRow("by content") << three << QStringLiteral("吾輩は猫である。") << true
                              << QStringLiteral(
                                     "相違のある行の組 2 / 3 · 文字誤り率 57.89 % (形態素 "
                                     "57.14 %) · 未対応 ソース 2 / ターゲット 0");
  QTest::newRow("empty target")
      << QStringLiteral("猫だ。") << QStringLiteral("\n\n") << false
      << QStringLiteral(
             "相違のある行の組 0 / 0 · 文字誤り率 100.00 % (形態素 100.00 %) · 未対応 ソース 1 / "
             "ターゲット 0 · "
             "ターゲットに行がありません。ソースの 1 "
             "行目は比較していません。");
}

// After each Compare the line under the report says how many pairs were written and how
// many lines of each side have no partner, and why when lines were left out.
void MainWindowTest::StatusLineSumsUpTheCompare() {
  QFETCH(QString, source);
  QFETCH(QString, target);
  QFETCH(bool, alignLines);
  QFETCH(QString, status);
  Source()->setPlainText(source);
  Target()->setPlainText(target);
  Child<QCheckBox>("alignLinesBox")->setChecked(alignLines);
  QCOMPARE(window_->IsOptionChecked(sorowa::OptionId::AlignLines), alignLines);
  QVERIFY(!RunCompareInto(tmp_->path()).isEmpty());
  QCOMPARE(Child<QLabel>("compareStatus")->text(), status);
  QVERIFY(dialogs_->errors.isEmpty());
}

void MainWindowTest::StatusLineShowsTheScores_data() {
  QTest::addColumn<int>("n");  // reference characters
  QTest::addColumn<int>("distance");
  QTest::addColumn<int>("morphemeN");  // -1: no morpheme figures
  QTest::addColumn<int>("morphemeDistance");
  QTest::addColumn<bool>("failed");
  QTest::addColumn<QString>("scores");  // what follows the counts
  QTest::newRow("none asked") << -1 << 0 << -1 << 0 << false << QString();
  QTest::newRow("characters") << 400 << 5 << -1 << 0 << false
                              << QStringLiteral(" · 文字誤り率 1.25 %");
  QTest::newRow("with morphemes") << 3 << 2 << 200 << 3 << false
                                  << QStringLiteral(" · 文字誤り率 66.67 % (形態素 1.50 %)");
  QTest::newRow("more errors than characters")
      << 1 << 3 << 0 << 2 << false << QStringLiteral(" · 文字誤り率 300.00 %");
  QTest::newRow("no reference characters") << 0 << 4 << 0 << 2 << false << QString();
  QTest::newRow("a pair too long to score")
      << -1 << 0 << -1 << 0 << true
      << QStringLiteral(" · 長すぎる行の組があり、文字誤り率を計算できませんでした");
}

// The corpus rates are the summed distances over the summed reference lengths.
void MainWindowTest::StatusLineShowsTheScores() {
  QFETCH(int, n);
  QFETCH(int, distance);
  QFETCH(int, morphemeN);
  QFETCH(int, morphemeDistance);
  QFETCH(bool, failed);
  QFETCH(QString, scores);
  sorowa::CompareResult result;
  result.pairs.resize(1);
  result.source.lines = 1;
  result.target.lines = 1;
  if (n >= 0) {
    result.scores.emplace();
    result.scores->totals.chars.n = static_cast<std::uint64_t>(n);
    result.scores->totals.chars.insertions = static_cast<std::uint64_t>(distance);
    if (morphemeN >= 0) {
      result.scores->totals.morphemes = sorowa::ErrorCounts{
          static_cast<std::uint64_t>(morphemeN), static_cast<std::uint64_t>(morphemeDistance)};
    }
  }
  if (failed) result.scoresError = "line pair 1 cannot be scored: too long";
  // With a pair's score at hand, the count says how many pairs differ.
  const bool counted = result.scores.has_value();
  if (counted) {
    sorowa::PairScore changed;
    changed.status = sorowa::PairStatus::Changed;
    result.scores->pairs.push_back(changed);
  }
  QCOMPARE(sorowa::CompareStatusText(result),
           (counted ? QStringLiteral("相違のある行の組 1 / 1") : QStringLiteral("行の組 1")) +
               scores + QStringLiteral(" · 未対応 ソース 0 / ターゲット 0"));
}

void MainWindowTest::CompareFailureShowsErrorBox_data() {
  QTest::addColumn<QString>("kind");
  QTest::newRow("missing directory") << "missing";
  QTest::newRow("not a directory") << "file";
  QTest::newRow("read-only directory") << "readonly";
}

void MainWindowTest::CompareFailureShowsErrorBox() {
  QFETCH(QString, kind);
  QTemporaryDir good;
  QTemporaryDir bad;
  QString badPath;
  if (kind == QLatin1String("missing")) {
    badPath = bad.filePath(QStringLiteral("gone"));
  } else if (kind == QLatin1String("file")) {
    badPath = bad.filePath(QStringLiteral("plain-file"));
    QFile file(badPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
  } else if (geteuid() == 0) {
    // Permission bits do not stop root; /proc refuses new files to everyone.
    badPath = QStringLiteral("/proc/self");
  } else {
    badPath = bad.path();
    QVERIFY(QFile::setPermissions(badPath, QFile::ReadOwner | QFile::ExeOwner));
  }

  window_ = std::make_unique<MainWindow>(*dialogs_, sorowa::ProcessReportStore());
  window_->show();
  Source()->setPlainText(QStringLiteral("一行目\n\n二行目"));
  Target()->setPlainText(QStringLiteral("一行目\n二行目"));
  QString shown;
  {
    ScopedTmpDir scoped(QFile::encodeName(good.path()));
    window_->Compare();
    shown = View()->ReportPath();
    QVERIFY(!shown.isEmpty());
  }
  Source()->setPlainText(QStringLiteral("三行目\r\n\r\n"));
  {
    ScopedTmpDir scoped(QFile::encodeName(badPath));
    window_->Compare();
  }
  QFile::setPermissions(bad.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

  QCOMPARE(dialogs_->errors.size(), 1);
  QCOMPARE(dialogs_->errors.front().text, QStringLiteral("比較を最後まで行えませんでした。"));
  QCOMPARE(dialogs_->cursorsWhileShown, QList<Qt::CursorShape>{Qt::ArrowCursor});
  // In Japanese, naming the place.
  QVERIFY2(dialogs_->errors.front().details.contains(QStringLiteral("レポート")) ||
               dialogs_->errors.front().details.contains(QStringLiteral("一時フォルダー")),
           qPrintable(dialogs_->errors.front().details));
  QVERIFY(!dialogs_->errors.front().details.contains(QStringLiteral("cannot")));
  // Nothing else changed: the earlier report stays, the editors keep the normalised text,
  // the window stays open.
  QCOMPARE(View()->ReportPath(), shown);
  QCOMPARE(Source()->Text(), QStringLiteral("三行目\n"));
  QVERIFY(window_->isVisible());
  QCOMPARE(ReportFiles(good.path()).size(), 1);
  if (kind != QLatin1String("readonly") || geteuid() != 0) {
    QVERIFY(ReportFiles(badPath).isEmpty());
  }
}

void MainWindowTest::CompareShowsBusyCursorAndEngineMessages() {
  bool busyDuringCompare = false;
  window_->SetMorphBackendFactory([&](const sorowa::MessageSink& show) {
    const QCursor* cursor = QApplication::overrideCursor();
    busyDuringCompare = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
    show({"MeCab", "辞書が見つかりません"});
    return std::unique_ptr<sorowa::MorphBackend>();
  });
  Source()->setPlainText(QStringLiteral("あ"));
  Target()->setPlainText(QStringLiteral("い"));
  window_->Compare();
  QVERIFY(busyDuringCompare);
  QVERIFY(QApplication::overrideCursor() == nullptr);
  QCOMPARE(dialogs_->messages, QStringList{QStringLiteral("辞書が見つかりません")});
  // The box itself waits for the user and shows the ordinary arrow.
  QCOMPARE(dialogs_->cursorsWhileShown, QList<Qt::CursorShape>{Qt::ArrowCursor});
  QVERIFY(dialogs_->errors.isEmpty());
  QCOMPARE(ReportFiles(tmp_->path()).size(), 1);
}

void MainWindowTest::CancelKeepsEarlierReport() {
  window_->show();
  Source()->setPlainText(QStringLiteral("短い\n"));
  Target()->setPlainText(QStringLiteral("短く\n"));
  const QString first = RunCompareInto(tmp_->path());
  QVERIFY(!first.isEmpty());

  QString many;
  for (int i = 0; i < 3000; ++i) many += QStringLiteral("行%1の文です\n\n").arg(i);
  Source()->setPlainText(many);
  Target()->setPlainText(many);

  // The dialog appears at once and the first chance to press Cancel is taken. Meanwhile a
  // click on the window does nothing, and yet no modal window keeps the window system's
  // close request from the window.
  window_->SetProgressDelay(std::chrono::milliseconds(0));
  QString label;
  bool blocked = false;
  QTimer::singleShot(0, window_.get(), [&] {
    auto* dialog = window_->findChild<QProgressDialog*>();
    if (dialog == nullptr) return;
    label = dialog->labelText();
    const QString text = Source()->Text();
    QTest::mouseClick(Child<QCheckBox>("charDpBox"), Qt::LeftButton);
    QTest::keyClick(Source(), Qt::Key_X);
    blocked = !Child<QCheckBox>("charDpBox")->isChecked() && Source()->Text() == text &&
              QGuiApplication::modalWindow() == nullptr;
    auto* cancel = dialog->findChild<QPushButton*>();
    if (cancel != nullptr) QTest::mouseClick(cancel, Qt::LeftButton);
  });
  const QString second = RunCompareInto(tmp_->path());

  QVERIFY2(label.contains(QStringLiteral("/ 3000")), qPrintable(label));
  QVERIFY(blocked);
  QVERIFY(second.isEmpty());
  QCOMPARE(ReportFiles(tmp_->path()).size(), 1);
  QCOMPARE(View()->ReportPath(), first);
  QVERIFY(dialogs_->errors.isEmpty());
  QVERIFY(window_->findChild<QProgressDialog*>() == nullptr);
  QVERIFY(QApplication::overrideCursor() == nullptr);
  // The editors were normalised before the pairs were compared, and stay so.
  QCOMPARE(Source()->blockCount(), 3001);
}

// A table of minutes brings the dialog up at once, long before the pairs' delay, with its
// estimate and share done; its Cancel stops the Compare as for the pairs.
void MainWindowTest::LongTableShowsItsEstimateAndCancels() {
  window_->show();
  sorowa::CompareProgress progress(window_.get(), std::chrono::minutes(1));
  sorowa::LongWorkStatus status;
  status.pair = 2;
  status.sourceLength = 1000000;
  status.targetLength = 900000;
  status.seconds = 540;
  status.done = 0.25;
  QVERIFY(progress.UpdateLongWork(status));
  auto* dialog = window_->findChild<QProgressDialog*>();
  QVERIFY(dialog != nullptr);
  QVERIFY(dialog->isVisible());
  const QString label = dialog->labelText();
  QVERIFY2(label.contains(QStringLiteral("3 組目")) && label.contains(QStringLiteral("9 分")) &&
               label.contains(QStringLiteral("25%")),
           qPrintable(label));
  QCOMPARE(dialog->value(), dialog->maximum() / 4);
  dialog->cancel();
  QTest::qWait(60);  // past the interval in which updates are skipped
  QVERIFY(!progress.UpdateLongWork(status));
  QVERIFY(!progress.Update(3, 10));
}

void MainWindowTest::ClosingDuringCompareCancelsIt() {
  window_->show();
  QString many;
  for (int i = 0; i < 3000; ++i) many += QStringLiteral("閉じる前の行%1\n").arg(i);
  Source()->setPlainText(many);
  Target()->setPlainText(many);
  window_->SetProgressDelay(std::chrono::milliseconds(0));
  bool visibleAfterClose = true;
  QTimer::singleShot(0, window_.get(), [&] {
    window_->close();
    // Compare is still on the stack; the window must not go away under it.
    visibleAfterClose = window_->isVisible();
  });
  const QString written = RunCompareInto(tmp_->path());
  QVERIFY(visibleAfterClose);
  QVERIFY(written.isEmpty());
  // The partial report has gone with the Compare.
  QCOMPARE(QDir(tmp_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
  QVERIFY(!window_->isVisible());
  QVERIFY(dialogs_->errors.isEmpty());
}

// A report in the temporary folder goes once a newer one replaces it, the last one when
// the window closes; a saved copy stays, even in that folder.
void MainWindowTest::TemporaryReportsGoAway() {
  Source()->setPlainText(QStringLiteral("一つ目\n"));
  Target()->setPlainText(QStringLiteral("一つめ\n"));
  const QString first = RunCompareInto(tmp_->path());
  QVERIFY(!first.isEmpty());
  dialogs_->savePath = tmp_->filePath(QStringLiteral("saved.htm"));
  window_->Save();
  Source()->setPlainText(QStringLiteral("二つ目\n"));
  const QString second = RunCompareInto(tmp_->path());
  QVERIFY(!second.isEmpty());
  QStringList expected{QStringLiteral("saved.htm"), QFileInfo(second).fileName()};
  expected.sort();
  QCOMPARE(ReportFiles(tmp_->path()), expected);
  window_->close();
  QCOMPARE(ReportFiles(tmp_->path()), QStringList{QStringLiteral("saved.htm")});
}

// A pair bigger than a part is shown a few whole tables at a time, and a table too big for
// the view is a notice with a button to the web browser.
void MainWindowTest::BigPairsAreShownTableByTable() {
  const qint64 mb = qint64{1} << 20;
  auto table = [](qint64 bytes) {
    QByteArray cells =
        "<table>\n<tr>\n<td rowspan=2 width=50px><span class=\"caption\">文字単位"
        "でDPマッチング</span></td>\n";
    while (cells.size() < bytes) cells += "<td class=\"same\">x</td>\n";
    return cells + "</tr>\n</table>\n<br>";
  };
  const QString path = tmp_->filePath(QStringLiteral("big.htm"));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("<html><head></head><body>");
  file.write(table(1000) + "<hr><br>");
  file.write(table(3 * mb) + table(2 * mb) + table(ReportView::kMaxTableBytes + 1) + "<hr><br>");
  file.write(table(1000) + "<hr><br>");
  file.write("</body></html>");
  file.close();
  window_->show();
  window_->ShowReport(std::filesystem::path(path.toStdString()));

  // Pair 1, then the three tables of pair 2 one by one (two would not fit in a part), then
  // pair 3.
  struct Part {
    int pair;
    int table;  // -1: whole pairs
  };
  const Part parts[] = {{0, -1}, {1, 0}, {1, 1}, {1, 2}, {2, -1}};
  QVERIFY(View()->IsPaged());
  QCOMPARE(View()->PageCount(), 5);
  for (int page = 0; page < 5; ++page) {
    QCOMPARE(View()->PageFirstPair(page), parts[page].pair);
    QCOMPARE(View()->PageTables(page).count, parts[page].table < 0 ? 0 : 3);
    QCOMPARE(View()->PageTables(page).first, std::max(parts[page].table, 0));
    QCOMPARE(View()->PageTooBig(page), page == 3);
  }
  QCOMPARE(View()->PageOfPair(1), 1);
  QCOMPARE(View()->PageOfPair(2), 4);

  QSignalSpy loaded(View(), &ReportView::PageLoaded);
  View()->ShowPage(3);
  QVERIFY(loaded.wait(30000));
  QVERIFY(Child<QWidget>("openInBrowser")->isVisible());
  const QString bar = Child<QLabel>("pageText")->text();
  QVERIFY2(bar.contains(QStringLiteral("組 2 の表 3 / 3")), qPrintable(bar));
  // The notice names the table and its size; Save still copies the whole file.
  QString notice;
  View()->page()->toPlainText([&notice](const QString& text) { notice = text; });
  QTRY_VERIFY_WITH_TIMEOUT(!notice.isEmpty(), 10000);
  QVERIFY2(notice.contains(QStringLiteral("組 2 の表「文字単位でDPマッチング」は 6.0 MB")),
           qPrintable(notice));
  dialogs_->savePath = tmp_->filePath(QStringLiteral("copy.htm"));
  window_->Save();
  QCOMPARE(QFileInfo(dialogs_->savePath).size(), QFileInfo(path).size());
  View()->ShowPage(2);
  QVERIFY(loaded.wait(30000));
  QVERIFY(!Child<QWidget>("openInBrowser")->isVisible());

  // On a review page a pair is one row: one too big is a part of its own, whose notice
  // stands in the pairs' table in place of the row.
  auto row = [](int pair, qint64 bytes) {
    return QStringLiteral("<tr id=\"p%1\" class=\"c\"><td>%1</td><td>%1</td><td class=\"a\">")
               .arg(pair)
               .toUtf8() +
           QByteArray(bytes, 'x') + "</td><td class=\"b\">y</td></tr>\n";
  };
  const QString review = tmp_->filePath(QStringLiteral("review.htm"));
  QFile page(review);
  QVERIFY(page.open(QIODevice::WriteOnly));
  page.write("<!DOCTYPE html>\n<html><body><table class=\"rv\"><tbody>\n");
  page.write(row(1, 1000) + row(2, ReportView::kMaxTableBytes + 1) + row(3, 1000));
  page.write("</tbody></table></body></html>\n");
  page.close();
  window_->ShowReport(std::filesystem::path(review.toStdString()));
  QVERIFY(View()->Index().isReview());
  QCOMPARE(View()->PageCount(), 3);
  QCOMPARE(View()->PageTooBig(1), true);
  QCOMPARE(View()->PageTables(1).count, 0);
  View()->ShowPage(1);
  QVERIFY(loaded.wait(30000));
  QVERIFY(Child<QWidget>("openInBrowser")->isVisible());
  notice.clear();
  View()->page()->toPlainText([&notice](const QString& text) { notice = text; });
  QTRY_VERIFY_WITH_TIMEOUT(!notice.isEmpty(), 10000);
  QVERIFY2(notice.contains(QStringLiteral("組 2 は 6.0 MB")), qPrintable(notice));
}

void MainWindowTest::StopSignalCancelsCompareAndCloses() {
  sorowa::StopSignalWatcher watcher;
  connect(&watcher, &sorowa::StopSignalWatcher::StopRequested, window_.get(),
          &MainWindow::CloseForStopSignal);
  window_->show();
  QString source;
  QString target;
  for (int i = 0; i < 20000; ++i) {
    source += QStringLiteral("止める前の行%1は長い\n").arg(i);
    target += QStringLiteral("止めた後の行%1は短い\n").arg(i);
  }
  Source()->setPlainText(source);
  Target()->setPlainText(target);
  window_->SetProgressDelay(std::chrono::milliseconds(0));
  // As a logout or kill would, while the Compare writes its report.
  QTimer::singleShot(0, window_.get(), [] { ::raise(SIGTERM); });
  const QString written = RunCompareInto(tmp_->path());
  QVERIFY(written.isEmpty());
  QCOMPARE(sorowa::StopSignal(), SIGTERM);
  QVERIFY(!window_->isVisible());
  QVERIFY(window_->findChild<QProgressDialog*>() == nullptr);
  QCOMPARE(QDir(tmp_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
  QVERIFY(dialogs_->errors.isEmpty());
}
