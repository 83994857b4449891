// Save and Print: with no report yet, a copy of the report shown, and a copy that fails.

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "main_window_test.h"

void MainWindowTest::SaveAndPrintWithoutReport() {
  window_->show();
  QTest::mouseClick(Child<QPushButton>("saveButton"), Qt::LeftButton);
  QCOMPARE(dialogs_->errors.size(), 1);
  QVERIFY(dialogs_->errors.at(0).text.contains(QStringLiteral("保存するレポートがまだありません")));
  QVERIFY(dialogs_->suggestedPaths.isEmpty());

  QTest::mouseClick(Child<QPushButton>("printButton"), Qt::LeftButton);
  QCOMPARE(dialogs_->errors.size(), 2);
  QVERIFY(dialogs_->errors.at(1).text.contains(QStringLiteral("印刷するレポートがまだありません")));
  QCOMPARE(dialogs_->printDialogs, 0);
}

void MainWindowTest::SaveCopiesShownReport() {
  Source()->setPlainText(QStringLiteral("保存する文\n"));
  Target()->setPlainText(QStringLiteral("保存した文\n"));
  const QString report = RunCompareInto(tmp_->path());
  QVERIFY(!report.isEmpty());

  // Cancelling the dialog writes nothing.
  window_->Save();
  QCOMPARE(dialogs_->suggestedPaths.size(), 1);
  QVERIFY(dialogs_->errors.isEmpty());

  QTemporaryDir out;
  dialogs_->savePath = out.filePath(QStringLiteral("結果.html"));
  // An existing file is replaced as a whole.
  QFile existing(dialogs_->savePath);
  QVERIFY(existing.open(QIODevice::WriteOnly));
  existing.write(QByteArray(100000, 'x'));
  existing.close();

  window_->Save();
  QCOMPARE(dialogs_->suggestedPaths.size(), 2);
  // No file was opened: the name says so, with today's date.
  QCOMPARE(QFileInfo(dialogs_->suggestedPaths.back()).fileName(),
           QStringLiteral("sorowa-比較-%1.htm").arg(QDate::currentDate().toString(Qt::ISODate)));
  QVERIFY(dialogs_->errors.isEmpty());
  QCOMPARE(ReadAll(dialogs_->savePath), ReadAll(report));
}

void MainWindowTest::SaveFailureShowsErrorBox() {
  Source()->setPlainText(QStringLiteral("あ"));
  Target()->setPlainText(QStringLiteral("い"));
  const QString report = RunCompareInto(tmp_->path());
  QVERIFY(!report.isEmpty());

  dialogs_->savePath = tmp_->filePath(QStringLiteral("no/such/folder/report.htm"));
  window_->Save();
  QCOMPARE(dialogs_->errors.size(), 1);
  QCOMPARE(dialogs_->errors.front().text, QStringLiteral("レポートを保存できませんでした。"));
  QVERIFY(dialogs_->errors.front().details.contains(QStringLiteral("report.htm")));

  // The shown report has gone from the temporary directory: the copy fails cleanly and
  // leaves nothing behind.
  QVERIFY(QFile::remove(report));
  dialogs_->savePath = tmp_->filePath(QStringLiteral("copy.htm"));
  window_->Save();
  QCOMPARE(dialogs_->errors.size(), 2);
  QVERIFY(!QFile::exists(dialogs_->savePath));
}
